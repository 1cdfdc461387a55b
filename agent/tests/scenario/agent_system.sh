#!/usr/bin/env bash
# Session lock and unlock, device changes, the about box, the tray icon's double-click and the
# tray menu's exit.
source "$(dirname "$0")/agent_lib.sh"

hooked() { wine "$KBSIM" state 2>/dev/null | tr -d '\r' | grep -qx "hooked $1"; }
icon_shown() { wine "$TOOL" tray 2>/dev/null | grep -q __winex11_tray_icon; }

device_up
reset_data
write_config 1 1 0
start_peer "$EDITOR_TITLE" "$WORK/editor.log"
start_agent
expect_config DEVICEPSTATS 1
hooked yes || fail "device not hooked after start"

# Lock: device closed, icon gone, editor closed, DEVICEPSTATS=0.
post_agent 0x2B1 7 1
wait_config DEVICEPSTATS 0 10
wait_until 5 hooked no || fail "device still hooked after the lock"
icon_shown && fail "icon shown while locked"
wait_log "$WORK/editor.log" "close" 5

# A device change while locked only writes its diagnostics.
kbsim reset >/dev/null
post_agent 0x219 7 0
wait_log "$WORK/agent.log" "Device Change g_hDevice != NULL" 10
[ -z "$(kbsim journal)" ] || fail "device touched while locked: $(kbsim journal)"

# Unlock: re-opened after the pause, icon back, DEVICEPSTATS=1.
post_agent 0x2B1 8 1
wait_config DEVICEPSTATS 1 10
hooked yes || fail "device not hooked after the unlock"
wait_until 5 icon_shown || fail "no icon after the unlock"
log_has "$WORK/agent.log" "WTS_CONSOLE_CONNECT:Open USB Success!" || fail "no reopen diagnostic"

# A remote connect and a device change with the device open change nothing.
kbsim reset >/dev/null
post_agent 0x2B1 3 2
post_agent 0x219 7 0
wait_until 10 sh -c "[ \$(grep -c 'Device Change g_hDevice != NULL' '$WORK/agent.log') -ge 2 ]" \
  || fail "no device change diagnostic"
[ -z "$(kbsim journal)" ] || fail "device touched: $(kbsim journal)"
expect_config DEVICEPSTATS 1

# The about box takes its title and texts from the skin's about.ini.
about_text() { grep "^$1=" "$OUT/Skins/about.ini" | head -n1 | cut -d= -f2- | tr -d '\r'; }
about_title="$(about_text 1)"
[ -n "$about_title" ] || fail "the skin has no about title"
post_agent WM_COMMAND 2025 0
tool wait "$about_title" --timeout 10000 >/dev/null || fail "no about box titled '$about_title'"
children="$(tool children "$about_title")"
echo "$children" | grep -qF "$(about_text 2)" || fail "about text 2: $children"
echo "$children" | grep -qF "$(about_text 3)" || fail "about text 3: $children"
tool post "$about_title" WM_CLOSE 0 0 >/dev/null
tool wait-gone "$about_title" --timeout 5000 >/dev/null || fail "about box did not close"

# A double-click on the icon starts the editor from the agent's folder when it is not running
# (the lock above closed the test's editor window).
window_exists "$EDITOR_TITLE" && fail "an editor window is still open"
post_agent 0x7E8 129 0x203
tool wait "$EDITOR_TITLE" --timeout 15000 >/dev/null || fail "double-click did not start the editor"
close_window "$EDITOR_TITLE"

# Exit from the tray menu: right button on the icon opens the menu; its last item ends the agent.
start_peer "MIVO OSD" "$WORK/osd.log"
post_agent 0x7E8 129 0x204
wait_until 10 sh -c "wine '$TOOL' list 2>/dev/null | grep -q '#32768'" || fail "no tray menu"
read -r l t r b < <(tool list | grep '#32768' | head -n1 | cut -f4 | tr ',' ' ')
[ $((b - t)) -gt 10 ] || fail "tray menu too small: $l $t $r $b"
xdotool mousemove $(( (l + r) / 2 )) $((b - 4)) click 1
deadline=$((SECONDS + 15))
while kill -0 "$AGENT_PID" 2>/dev/null && [ $SECONDS -lt $deadline ]; do sleep 0.05; done
kill -0 "$AGENT_PID" 2>/dev/null && fail "agent still running after the exit command"
wait "$AGENT_PID" || true
AGENT_PID=""
expect_config DEVICEPSTATS 1
wait_until 5 hooked no || fail "device still hooked after exit"
wait_log "$WORK/osd.log" "close" 5
echo "PASS"
