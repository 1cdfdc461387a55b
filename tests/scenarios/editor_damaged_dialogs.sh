#!/usr/bin/env bash
# A dialog whose skin does not load never opens as an empty modal window the editor cannot get
# out of: the user is told which file is damaged and the dialog ends at once with its cancel
# result, leaving the editor usable. The function menu with its Main image missing, and the macro
# editor with its Main image cut short (found when the image is opened, not when first drawn),
# and the program profiles with its Main image undecodable, each in a copy of the program folder,
# with the agent running on the simulated keyboard.
source "$(dirname "${BASH_SOURCE[0]}")/../harness/lib.sh"
scenario_begin

device_up
reset_data_dir
write_config 0 1 1
start_agent

# dialog_refuses NAME WINDOW FILE: the message that names WINDOW and FILE (Windows path) is
# shown, no dialog of the editor opened, and once the message is answered the editor answers at
# once (no modal window left behind).
dialog_refuses() {
    local name="$1" window="$2" file="$3" text
    wait_message_box "$QELT_PROBLEM_TITLE" 15
    window_screenshot "$QELT_PROBLEM_TITLE" "$name-message.png" >/dev/null
    text="$(message_box_text "$QELT_PROBLEM_TITLE")"
    note "$name: $text"
    expect_match "$text" "^$window cannot open because its skin is damaged" "$name: message"
    [[ "$text" == *"$file"* ]] || fail "$name: the message does not name $file: $text"
    expect_match "$text" "Reinstall Zorvane Gear QELT" "$name: what to do"
    _find_dialog && fail "$name: a dialog of the editor is open beside the message"
    answer_message_box "$QELT_PROBLEM_TITLE"
    _find_dialog && fail "$name: a dialog of the editor is left open"
    tt send "$QELT_EDITOR_TITLE" WM_NULL 0 0 --timeout 2000 >/dev/null || fail "$name: the editor does not answer"
}

# main_image COPY FILE: the Windows path of the Main image of skin FILE, then its path here.
main_image() {
    local name
    name="$(ini_value "$1/Skins/$2" SCREEN Main)"
    echo "$(windows_path "$1/Skins")\\$name"
    echo "$1/Skins/$(tr '\\' / <<<"$name")"
}

copy="$(copy_program_folder)"

# The function menu: missing Main image.
mapfile -t menu_image < <(main_image "$copy" menu_skin.ini)
damage_file "${menu_image[1]}" missing
sum="$(data_checksum)"
start_editor editor "$copy/QELT_Settings.exe"
click_slot 0
click_key "$(key_index A)"  # a slot with a key: its function label takes clicks
click_function_label 0
dialog_refuses menu "The function menu" "${menu_image[0]}"
# Still usable: the menu is asked for again (and told again), and Close ends the editor at once.
click_function_label 0
dialog_refuses menu-again "The function menu" "${menu_image[0]}"
click_editor BUTTONINFO 2
expect_exit editor 0 15
expect_eq "$(data_checksum)" "$sum" "data folder after the function menu case"

# The macro editor: Main image cut short (the menu's put back).
cp "${menu_image[1]/#$copy/$QELT_OUT}" "${menu_image[1]}"
mapfile -t macro_image < <(main_image "$copy" macro_skin.ini)
damage_file "${macro_image[1]}" truncated
sum="$(data_checksum)"
start_editor editor2 "$copy/QELT_Settings.exe"
click_slot 0
click_key "$(key_index A)"
choose_function 0 1  # Macro
dialog_refuses macro "The macro editor" "${macro_image[0]}"
click_editor BUTTONINFO 2
expect_exit editor2 0 15
expect_eq "$(data_checksum)" "$sum" "data folder after the macro editor case"

# The program profiles: Main image undecodable (the macro editor's put back).
cp "${macro_image[1]/#$copy/$QELT_OUT}" "${macro_image[1]}"
mapfile -t apps_image < <(main_image "$copy" apps_skin.ini)
damage_file "${apps_image[1]}" undecodable
sum="$(data_checksum)"
start_editor editor3 "$copy/QELT_Settings.exe"
click_editor BUTTONINFO 36
dialog_refuses apps "The program profiles" "${apps_image[0]}"
click_editor BUTTONINFO 2
expect_exit editor3 0 15
expect_eq "$(data_checksum)" "$sum" "data folder after the program profiles case"
scenario_pass
