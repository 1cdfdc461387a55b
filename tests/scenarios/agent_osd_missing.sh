#!/usr/bin/env bash
# A profile key with the display program missing from the agent's folder: five start attempts,
# then the agent gives up on the display; the switch itself is complete.
source "$(dirname "${BASH_SOURCE[0]}")/../harness/lib.sh"
scenario_begin

# The agent alone in a folder of its own (with its skin), without QELT_OSD.exe.
app="$QELT_SCENARIO_DIR/app"
mkdir -p "$app"
cp "$QELT_OUT/QELT_Core.exe" "$app/"
cp -r "$QELT_OUT/Skins" "$app/"
_five_attempts() { [ "$(diag_count agent 'app\QELT_Core.exe')" -ge 5 ]; }

close_window "MIVO OSD"
device_up
reset_data_dir
write_config 0 1 1
start_peer "$QELT_EDITOR_TITLE" editor.log
start_agent "$app/QELT_Core.exe"
inject 01F2
wait_config CURRENTPROFILE 1 15
wait_log_line "$QELT_SCENARIO_DIR/editor.log" "msg=0x7e9 wParam=0x1 lParam=0x401" 10 >/dev/null
wait_until 15 "five display start attempts" _five_attempts
expect_config PC_MODE 0
# The agent goes on with the next event at once.
inject 01F5
wait_config CURRENTPROFILE 4 15
window_exists "MIVO OSD" && fail "a display window appeared"
stop_agent
expect_eq "$(diag_count agent 'app\QELT_Core.exe')" 10 "display start attempts for two profile keys"
scenario_pass
