#!/usr/bin/env bash
# Step editing feels instant: with the macro editor showing a macro of 54 key presses (each with
# its release and the pauses between: 216 steps, a line each), prints the median time from a click
# on a line to the editor repainted, and from a click on Delete to the editor repainted (target:
# under 30 ms each).
# Usage: bench/macro_edit_bench.sh [ROUNDS]   (after scripts/build.sh; uses this checkout's prefix)
source "$(dirname "${BASH_SOURCE[0]}")/../tests/harness/lib.sh"
scenario_begin macro_edit_bench
rounds="${1:-25}"
probe="$QELT_SOURCE_DIR/build/bench/editor_probe.exe"

steps=""
for i in $(seq 0 53); do
    code="$(printf '%02X' $((0x04 + i % 26)))"
    steps+="$code/1,FF/25,$code/0,FF/$([ "$i" = 53 ] && echo 0 || echo 25),"
done
device_up
reset_data_dir
write_config 0 1 1
make_profile 0 "0:32:59:${steps%,}"
start_agent
start_editor
click_slot 0
choose_function 0 1
wait_dialog
macro_editor_found
expect_eq "$(macro_lines)" 216 "lines of the 54-press macro"
read -r cl ct _ _ <<<"$(tt rect "$MACRO_EDITOR" --client)"
read -r l t r b <<<"$(skin_rect macro_skin.ini BUTTONINFO 6)"  # Delete
echo "== macro editor under Wine $(wine --version 2>/dev/null), $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
wine "$probe" macro-edit "${MACRO_LIST#hwnd:}" $((cl + (l + r) / 2)) $((ct + (t + b) / 2)) "$rounds" | tr -d '\r'
click_skin "$MACRO_EDITOR" macro_skin.ini BUTTONINFO 14  # Cancel
tt wait-gone "$MACRO_EDITOR" --timeout 10000 >/dev/null
click_editor BUTTONINFO 2
wait_program_exit editor 15
stop_agent
scenario_pass
