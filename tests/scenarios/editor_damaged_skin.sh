#!/usr/bin/env bash
# A damaged main-window skin never traps the user. Each case damages one file in a copy of the
# program folder and starts the editor from it, with the agent running on the simulated keyboard:
# - Notext missing or undecodable: the editor opens at the size of its Main image and works.
# - Main missing, cut short or undecodable, or main.ini missing (no image loads at all): a plain
#   message names the file and says to reinstall; no editor window is left behind (its title
#   would make every later start end silently), and once the message is answered the editor has
#   ended with exit status 1, having written nothing.
# ctest-timeout: 300
source "$(dirname "${BASH_SOURCE[0]}")/../harness/lib.sh"
scenario_begin

device_up
reset_data_dir
write_config 0 1 1
start_agent

# The name of a main-window image as main.ini gives it (relative to Skins, Windows separators).
image_name() { ini_value "$1/Skins/main.ini" SCREEN "$2"; }
main_size="$(identify -format '%w %h' "$QELT_OUT/Skins/$(image_name "$QELT_OUT" Main | tr '\\' /)")"

copy="$(copy_program_folder)"
# with_damaged FILE HOW COMMAND...: runs COMMAND with FILE (relative to the copy) damaged, then
# puts the shipped file back.
with_damaged() {
    local file="$1" how="$2"
    shift 2
    damage_file "$copy/$file" "$how"
    "$@"
    cp "$QELT_OUT/$file" "$copy/$file"
}

# Usable: the window takes the size of the last image that loaded (Main) and shows the skin.
editor_works() {
    local name="$1"
    sum="$(data_checksum)"
    start_editor "$name" "$copy/QELT_Settings.exe"
    read -r l t r b <<<"$(client_rect "$QELT_EDITOR_TITLE")"
    expect_eq "$((r - l)) $((b - t))" "$main_size" "$name: editor size"
    shot="$(screenshot "$name.png")"
    expect_button_look "$shot" BUTTONINFO 4 main_down.bmp "$name: profile 1 button"
    expect_button_look "$shot" BUTTONINFO 5 main_main.bmp "$name: profile 2 button"
    window_exists "$QELT_PROBLEM_TITLE" && fail "$name: a message for a damaged Notext image"
    # A slot bound to a key: the key shows its label (drawn on Main's picture of it).
    click_slot 0
    click_key "$(key_index A)"
    tt send "$QELT_EDITOR_TITLE" WM_NULL 0 0 >/dev/null || fail "$name: the editor does not answer"
    click_editor BUTTONINFO 2  # Close: the edit is dropped
    expect_exit "$name" 0 15
    expect_eq "$(data_checksum)" "$sum" "$name: data folder"
}

notext="Skins/$(image_name "$copy" Notext | tr '\\' /)"
with_damaged "$notext" missing editor_works editor-notext-missing
with_damaged "$notext" undecodable editor_works editor-notext-undecodable

# editor_refuses NAME FILE: the editor tells the user that FILE (its Windows path) is damaged and
# ends once told so; nothing is written.
editor_refuses() {
    local name="$1" file="$2" text
    sum="$(data_checksum)"
    start_program "$name" "$copy/QELT_Settings.exe"
    wait_message_box "$QELT_PROBLEM_TITLE" 20
    window_screenshot "$QELT_PROBLEM_TITLE" "$name-message.png" >/dev/null
    text="$(message_box_text "$QELT_PROBLEM_TITLE")"
    note "$name: $text"
    expect_match "$text" "^The settings editor cannot open because its skin is damaged" "$name: message"
    [[ "$text" == *"$file"* ]] || fail "$name: the message does not name $file: $text"
    expect_match "$text" "Reinstall Zorvane Gear QELT" "$name: what to do"
    window_exists "$QELT_EDITOR_TITLE" && fail "$name: an editor window is there beside the message"
    answer_message_box "$QELT_PROBLEM_TITLE"
    expect_exit "$name" 1 15
    window_exists "$QELT_EDITOR_TITLE" && fail "$name: an editor window is left"
    expect_eq "$(data_checksum)" "$sum" "$name: data folder"
}

main_name="$(image_name "$copy" Main)"
main="Skins/$(tr '\\' / <<<"$main_name")"
for damage in missing truncated undecodable; do
    with_damaged "$main" "$damage" editor_refuses "editor-main-$damage" "$(windows_path "$copy/Skins")\\$main_name"
done
# No image loads at all.
with_damaged Skins/main.ini missing editor_refuses editor-no-main-ini "$(windows_path "$copy/Skins/main.ini")"

# The repaired copy starts: nothing was left that a start would take for a running editor.
start_editor editor-repaired "$copy/QELT_Settings.exe"
click_editor BUTTONINFO 2
expect_exit editor-repaired 0 15
scenario_pass
