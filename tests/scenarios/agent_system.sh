#!/usr/bin/env bash
# Session lock and unlock, device changes, the about box, the tray icon's double-click and the
# tray menu's exit.
source "$(dirname "${BASH_SOURCE[0]}")/../harness/lib.sh"
scenario_begin

icon_shown() { tt tray 2>/dev/null | grep -q __winex11_tray_icon; }
icon_hidden() { ! icon_shown; }
_two_device_changes() { [ "$(diag_count agent 'Device Change g_hDevice != NULL')" -ge 2 ]; }

device_up
reset_data_dir
write_config 1 1 0
start_peer "$QELT_EDITOR_TITLE" editor.log
start_agent
expect_config DEVICEPSTATS 1
expect_eq "$(kbsim_state hooked)" yes "device hooked after start"

# Lock: device closed, icon gone, editor closed, DEVICEPSTATS=0.
post_agent WM_WTSSESSION_CHANGE 7 1
wait_config DEVICEPSTATS 0 10
wait_kbsim_state hooked no 5
wait_until 5 "no icon while locked" icon_hidden
wait_log_line "$QELT_SCENARIO_DIR/editor.log" '^close ' 5 >/dev/null

# A device change while locked only writes its diagnostics.
kbsim reset >/dev/null
post_agent WM_DEVICECHANGE 7 0
wait_diag agent "Device Change g_hDevice != NULL" 10 >/dev/null
expect_eq "$(kbsim journal)" "" "requests while locked"

# Unlock: re-opened after the pause, icon back, DEVICEPSTATS=1. The window answers meanwhile.
post_agent WM_WTSSESSION_CHANGE 8 1
agent_answers_within 1000 || fail "the agent's window did not answer during the pause before the re-open"
wait_config DEVICEPSTATS 1 10
expect_eq "$(kbsim_state hooked)" yes "device hooked after the unlock"
wait_until 5 "icon after the unlock" icon_shown
diag_has agent "WTS_CONSOLE_CONNECT:Open USB Success!" || fail "no reopen diagnostic"

# A remote connect changes nothing; a device change with the device open only checks the handle
# with a request that changes nothing on the keyboard (the profile number sent last, none yet: 1).
kbsim reset >/dev/null
post_agent WM_WTSSESSION_CHANGE 3 2
post_agent WM_DEVICECHANGE 7 0
wait_until 10 "second device change diagnostic" _two_device_changes
kbsim wait journal 1 5000 >/dev/null || fail "no check after the device change"
agent_answers_within 1000 || fail "the agent does not answer"
expect_eq "$(kbsim journal)" "00222480 01" "requests after a remote connect and a device change"
expect_config DEVICEPSTATS 1
expect_eq "$(kbsim_state hooked)" yes "device still hooked after the check"

# The about box takes its title and texts from the skin's about.ini.
about_text() { ini_value "$QELT_OUT/Skins/about.ini" STRING "$1"; }
about_title="$(about_text 1)"
[ -n "$about_title" ] || fail "the skin has no about title"
post_agent WM_COMMAND 2025 0
wait_window "$about_title" 10
children="$(tt children "$about_title")"
grep -qF "$(about_text 2)" <<<"$children" || fail "about text 2: $children"
grep -qF "$(about_text 3)" <<<"$children" || fail "about text 3: $children"
close_window "$about_title" 5

# A double-click on the icon starts the editor from the agent's folder when it is not running
# (the lock above closed the test's editor window).
window_exists "$QELT_EDITOR_TITLE" && fail "an editor window is still open"
post_agent 0x7E8 129 0x203
wait_window "$QELT_EDITOR_TITLE" 15
close_window "$QELT_EDITOR_TITLE"

# Exit from the tray menu: right button on the icon opens the menu; its last item ends the agent.
start_peer "MIVO OSD" osd.log
# The menu opens at the pointer: put it on the icon, as a right click there would.
read -r il it ir ib <<<"$(tray_icons | tail -n 1)"
xdotool mousemove $(((il + ir) / 2)) $(((it + ib) / 2)) || fail "xdotool mousemove failed"
post_agent 0x7E8 129 0x204
wait_popup_menu 10
read -r l t r b <<<"$(tt rect "hwnd:$MENU_HWND")"
[ $((b - t)) -gt 10 ] || fail "tray menu too small: $l $t $r $b"
take_picture tray-menu.png "hwnd:$(tt tray | head -n 1 | cut -f1)" "hwnd:$MENU_HWND" >/dev/null
click_at $(((l + r) / 2)) $((b - 4))
wait_program_exit "$AGENT_NAME" 15
expect_config DEVICEPSTATS 1
wait_kbsim_state hooked no 5
wait_log_line "$QELT_SCENARIO_DIR/osd.log" '^close ' 5 >/dev/null
scenario_pass
