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
macro_editor_found
editor="$MACRO_EDITOR"
line_count() { macro_lines; }
_eight_lines() { [ "$(line_count)" = 8 ]; }

record_macro_keys 7 b c  # a line per step: the pauses between the keys too
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

# Save to a new ".Macro" file, then OK.
macro_file="$QELT_SCENARIO_DIR/bc.Macro"
rm -f "$macro_file"
click_skin "$editor" macro_skin.ini BUTTONINFO 12
type_into_file_dialog "Save As" "$(windows_path "$macro_file")"
_saved_macro() { file_text "$macro_file" | grep -q '^MacroLength=8'; }
wait_until 10 "the saved macro file" _saved_macro
click_skin "$editor" macro_skin.ini BUTTONINFO 13  # OK
tt wait-gone "$editor" --timeout "$(_timeout_ms 10)" || fail "the macro editor did not close"

# M2 on S: the saved file loaded into another slot.
open_macro_editor 1 "$(key_index S)"
editor="$MACRO_EDITOR"
click_skin "$editor" macro_skin.ini BUTTONINFO 11  # Load
type_into_file_dialog Open "$(windows_path "$macro_file")"
wait_until 10 "eight lines loaded" _eight_lines
click_skin "$editor" macro_skin.ini BUTTONINFO 13
tt wait-gone "$editor" --timeout "$(_timeout_ms 10)" || fail "the macro editor did not close"

# M3 on D: a key held down records one press; then typing on past the step limit stops the
# recording with one warning; Cancel leaves the slot as it was before the menu: no function.
open_macro_editor 2 "$(key_index D)"
editor="$MACRO_EDITOR"
click_skin "$editor" macro_skin.ini BUTTONINFO 2
point_at "$editor"
xdotool keydown x sleep 0.8 keyup x
_three_lines() { [ "$(line_count)" = 3 ]; }
wait_until 10 "one press and one release of a held key" _three_lines
type_text "abcdefghijklmnopqrstuvwxyzabcdefghij"
_warning_open() { _find_dialog && [ "$DIALOG" != "$editor" ]; }
wait_until 15 "the macro-full warning" _warning_open
answer_warning 2 1
_warning_open && fail "a second warning after the step limit"
expect_eq "$(line_count)" 108 "lines when the limit stopped the recording (54 key events, the pauses between, the closing pause)"
click_skin "$editor" macro_skin.ini BUTTONINFO 14  # Cancel
tt wait-gone "$editor" --timeout "$(_timeout_ms 10)" || fail "the macro editor did not close"

# Apply: the keyboard plays B and C with the pauses, repeated as mode 2 says.
kbsim reset >/dev/null
apply_and_download
tables="$(expect_tables_clean 1)"
note "tables: $tables"
grep -q "M1: key 0x04 (A), param 2, type 0x20 macro, .*: press 0x05 (B), pause 25 ms, release 0x05 (B), pause 25 ms, press 0x06 (C), pause 25 ms, release 0x06 (C), pause 25 ms, end" <<<"$tables" ||
    fail "M1 is not the recorded B, C: $tables"
expect_eq "$(ini_value "$(profile_file 0)" MACROG0 MacroLength)" 8 "stored length (two keys, three pauses, closing pause)"
expect_eq "$(ini_value "$(profile_file 0)" BUTTONCONFIG0 FunID)" 32 "M1's function"
grep -q "M2: key 0x16 (S), param 2, type 0x20 macro, .*: press 0x05 (B), pause 25 ms, release 0x05 (B)" <<<"$tables" ||
    fail "M2 is not the loaded macro: $tables"
m3="$(grep "M3: " <<<"$tables")"
[[ "$m3" == *"key 0x00, param 0, type 0x00 none"* ]] || fail "M3 after Cancel: $m3"

click_editor BUTTONINFO 2
expect_exit editor 0 15
stop_agent
scenario_pass
