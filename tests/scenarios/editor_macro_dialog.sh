#!/usr/bin/env bash
# Recording a macro in the editor: the macro function for a slot opens the macro editor, Record
# hooks the keyboard through Plexin.dll, keys typed on the (X) keyboard become the step list, the
# repeat options set the mode, OK hands the macro to the slot, and applying sends it to the
# simulated keyboard with its 25 ms pauses.
source "$(dirname "${BASH_SOURCE[0]}")/../harness/lib.sh"
scenario_begin

device_up
reset_data_dir
write_config 0 1 1
start_agent
start_editor
A=$(key_index A)

# M1 on A: the macro function opens the macro editor.
click_slot 0
click_key "$A"
choose_function 0 1
wait_dialog
editor="$DIALOG"
list="hwnd:$(tt children "$editor" | awk -F'\t' '$5 == "ListBox" { print $1; exit }')"
[ "$list" != "hwnd:" ] || fail "no step list in the macro editor"
line_count() { tt send "$list" 0x18B 0 0; }  # LB_GETCOUNT

click_skin "$editor" macro_skin.ini BUTTONINFO 2  # Record
wait_diag editor 'loaded hook OK!' 10 >/dev/null
point_at "$editor"
press_keys b c
_four_lines() { [ "$(line_count)" = 4 ]; }
wait_until 10 "four lines in the step list" _four_lines
window_screenshot "$editor" macro-recorded.png >/dev/null
click_skin "$editor" macro_skin.ini BUTTONINFO 3  # Stop

# Repeat: mode 2, confirmed.
click_skin "$editor" macro_skin.ini BUTTONINFO 10
_repeat_open() { _find_dialog && [ "$DIALOG" != "$editor" ]; }
wait_until 10 "the repeat options" _repeat_open
window_screenshot "$DIALOG" repeat-options.png >/dev/null
click_skin "$DIALOG" repeat_skin.ini BUTTONINFO 2
click_skin "$DIALOG" repeat_skin.ini BUTTONINFO 4
tt wait-gone "$DIALOG" --timeout "$(_timeout_ms 10)" || fail "the repeat options did not close"

click_skin "$editor" macro_skin.ini BUTTONINFO 13  # OK
tt wait-gone "$editor" --timeout "$(_timeout_ms 10)" || fail "the macro editor did not close"

# Apply: the keyboard plays B and C with the pauses, repeated as mode 2 says.
kbsim reset >/dev/null
click_editor BUTTONINFO 11
wait_dialog
answer_warning 3 1
wait_window DLGLoading 15
wait_gone DLGLoading 20
tables="$(expect_tables_clean 1)"
note "tables: $tables"
grep -q "M1: key 0x04 (A), param 2, type 0x20 macro, .*: press 0x05 (B), pause 25 ms, release 0x05 (B), pause 25 ms, press 0x06 (C), pause 25 ms, release 0x06 (C), pause 25 ms, end" <<<"$tables" ||
    fail "M1 is not the recorded B, C: $tables"
expect_eq "$(ini_value "$(profile_file 0)" MACROG0 MacroLength)" 8 "stored length (two keys, three pauses, closing pause)"
expect_eq "$(ini_value "$(profile_file 0)" BUTTONCONFIG0 FunID)" 32 "M1's function"

click_editor BUTTONINFO 2
expect_exit editor 0 15
stop_agent
scenario_pass
