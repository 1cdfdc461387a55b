#!/usr/bin/env bash
# Recording keeps up with fast typing: the editor's macro editor records while key events are
# injected with SendInput as fast as the platform takes them; prints the events per second taken
# into the step list and the number lost, below the step limit (52 events: 104 steps).
# Usage: bench/recording_bench.sh [ROUNDS]   (after scripts/build.sh; uses this checkout's prefix)
source "$(dirname "${BASH_SOURCE[0]}")/../tests/harness/lib.sh"
scenario_begin recording_bench
rounds="${1:-5}"
probe="$QELT_SOURCE_DIR/build/bench/editor_probe.exe"

device_up
reset_data_dir
write_config 0 1 1
start_agent
start_editor
click_slot 0
click_key "$(key_index A)"
for round in $(seq "$rounds"); do
    choose_function 0 1
    wait_dialog
    editor="$DIALOG"
    list="$(tt children "$editor" | awk -F'\t' '$5 == "ListBox" { print $1; exit }')"
    click_skin "$editor" macro_skin.ini BUTTONINFO 2  # Record
    wait_diag editor 'loaded hook OK!' 10 >/dev/null
    wine "$probe" record "$list" 52 | tr -d '\r'
    click_skin "$editor" macro_skin.ini BUTTONINFO 14  # Cancel
    tt wait-gone "$editor" --timeout 10000 >/dev/null
done
click_editor BUTTONINFO 2
wait_program_exit editor 15
stop_agent
scenario_pass
