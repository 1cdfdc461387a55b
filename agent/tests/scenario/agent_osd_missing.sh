#!/usr/bin/env bash
# A profile key with the display program missing from the agent's folder: five start attempts,
# then the agent gives up on the display; the switch itself is complete.
source "$(dirname "$0")/agent_lib.sh"

# The agent alone in a folder of its own (with its skin), without QELT_OSD.exe.
mkdir -p "$WORK/app"
cp "$OUT/QELT_Core.exe" "$WORK/app/"
cp -r "$OUT/Skins" "$WORK/app/"
OUT="$WORK/app"

close_window "MIVO OSD"
device_up
reset_data
write_config 0 1 1
start_peer "$EDITOR_TITLE" "$WORK/editor.log"
start_agent
kbsim inject 01F2 >/dev/null || fail "inject"
wait_config CURRENTPROFILE 1 15
wait_log "$WORK/editor.log" "msg=0x7e9 wParam=0x1 lParam=0x401" 10
wait_until 15 sh -c "[ \$(grep -c 'app.QELT_Core.exe' '$WORK/agent.log') -ge 5 ]" || fail "fewer than five start attempts"
expect_config PC_MODE 0
# The agent goes on with the next event at once.
kbsim inject 01F5 >/dev/null
wait_config CURRENTPROFILE 4 15
window_exists "MIVO OSD" && fail "a display window appeared"
stop_agent
[ "$(grep -c 'app.QELT_Core.exe' "$WORK/agent.log")" = 10 ] || fail "attempts: $(grep -c 'app.QELT_Core.exe' "$WORK/agent.log")"
echo "PASS"
