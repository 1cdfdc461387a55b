#!/usr/bin/env bash
# Record without the hook library (Plexin.dll missing from a copy of the program folder) tells
# the user which file is missing and where, and keeps the macro as it was: the step list is not
# cleared, nothing is recorded, Record may be pressed again, and OK leaves the slot its macro.
# Nothing is written. With the agent running on the simulated keyboard.
source "$(dirname "${BASH_SOURCE[0]}")/../harness/lib.sh"
scenario_begin

device_up
reset_data_dir
write_config 0 1 1
make_profile 0 "0:32:4:04/1,FF/25,04/0,FF/0"  # M1: a macro of its own
start_agent

copy="$(copy_program_folder)"
damage_file "$copy/Plexin.dll" missing
sum="$(data_checksum)"
start_editor editor "$copy/QELT_Settings.exe"

click_slot 0
choose_function 0 1  # Macro: the macro editor opens with M1's macro
wait_dialog
macro_editor="$DIALOG"
list="hwnd:$(tt children "$macro_editor" | awk -F'\t' '$5 == "ListBox" { print $1; exit }')"
[ "$list" != "hwnd:" ] || fail "no step list in the macro editor"
line_count() { tt send "$list" 0x18B 0 0; }  # LB_GETCOUNT
lines="$(line_count)"
[ "$lines" -gt 0 ] || fail "M1's macro is not listed ($lines lines)"

for attempt in 1 2; do
    click_skin "$macro_editor" macro_skin.ini BUTTONINFO 2  # Record
    wait_message_box "$QELT_PROBLEM_TITLE" 15
    window_screenshot "$QELT_PROBLEM_TITLE" "record-$attempt-message.png" >/dev/null
    text="$(message_box_text "$QELT_PROBLEM_TITLE")"
    note "record $attempt: $text"
    expect_match "$text" "^Recording needs the keyboard hook library Plexin\.dll" "message"
    [[ "$text" == *"$(windows_path "$copy")\\"* ]] || fail "the message does not name the folder $copy: $text"
    expect_match "$text" "Reinstall Zorvane Gear QELT" "what to do"
    expect_match "$text" "The macro has not been changed" "what happened to the macro"
    expect_eq "$(line_count)" "$lines" "step list lines while the message shows (attempt $attempt)"
    answer_message_box "$QELT_PROBLEM_TITLE"
    expect_eq "$(line_count)" "$lines" "step list lines after the message (attempt $attempt)"
done
wait_diag editor 'LoadLibraryW \(Plexin.dll\) failed' 5 >/dev/null

# OK keeps the macro: it is there when the macro editor opens again.
click_skin "$macro_editor" macro_skin.ini BUTTONINFO 13  # OK
tt wait-gone "$macro_editor" --timeout "$(_timeout_ms 10)" || fail "the macro editor did not close"
click_slot 0
choose_function 0 1
wait_dialog
list="hwnd:$(tt children "$DIALOG" | awk -F'\t' '$5 == "ListBox" { print $1; exit }')"
expect_eq "$(line_count)" "$lines" "M1's macro when the macro editor opens again"
click_skin "$DIALOG" macro_skin.ini BUTTONINFO 14  # Cancel
tt wait-gone "$DIALOG" --timeout "$(_timeout_ms 10)" || fail "the macro editor did not close"

click_editor BUTTONINFO 2
expect_exit editor 0 15
expect_eq "$(data_checksum)" "$sum" "data folder"
scenario_pass
