#!/usr/bin/env bash
# The ISO key left of Z (European keyboards) in a recorded macro: recorded through the hook
# library as key code 0x64, kept in the stored macro, and sent to the keyboard with the steps after
# it; a slot bound to the picture's ISO key programs that key.
source "$(dirname "${BASH_SOURCE[0]}")/../harness/lib.sh"
scenario_begin

device_up
reset_data_dir
write_config 0 1 1
start_agent
start_editor

# M1 on A: record a, the ISO key (X keycode 94 whatever the layout), b.
click_slot 0
click_key "$(key_index A)"
choose_function 0 1
wait_dialog
macro_editor_found
editor="$MACRO_EDITOR"
record_macro_keys 11 a 94 b  # six key events and the five pauses between
click_skin "$editor" macro_skin.ini BUTTONINFO 3   # Stop
click_skin "$editor" macro_skin.ini BUTTONINFO 13  # OK
tt wait-gone "$editor" --timeout "$(_timeout_ms 10)" || fail "the macro editor did not close"

# M2 on the picture's ISO key (position 104 of the 103-key picture), a disabled key.
click_slot 1
click_key 104
choose_function 1 12
kbsim reset >/dev/null
apply_and_download
tables="$(expect_tables_clean 1)"
note "tables: $tables"
m1="$(grep "M1: " <<<"$tables")"
[[ "$m1" == *"press 0x04 (A)"*"release 0x04 (A)"*"press 0x64"*"release 0x64"*"press 0x05 (B)"*"release 0x05 (B)"*end* ]] ||
    fail "M1 is not a, the ISO key, b: $m1"
grep -q "M2: key 0x64" <<<"$tables" || fail "M2 is not on the ISO key: $tables"
expect_eq "$(ini_value "$(profile_file 0)" MACROG0 MacroLength)" 12 "stored length (six keys, six pauses)"

click_editor BUTTONINFO 2
expect_exit editor 0 15
stop_agent
scenario_pass
