#!/usr/bin/env bash
# Programming keys in the editor and applying them to the simulated keyboard: a shortcut, a
# program to launch (then started by the agent from the keyboard's launch key), a disabled key and
# no function; a click between the menu's items; a menu dismissed, or a macro editor cancelled,
# leaving the slot's function; a key another slot holds; a slot left without a function losing
# its key. Config.config names no current profile: the editor takes profile 0.
source "$(dirname "${BASH_SOURCE[0]}")/../harness/lib.sh"
scenario_begin

device_up
reset_data_dir
write_config 0 1 1
sed -i '/^CURRENTPROFILE=/d' "$(config_file)"
start_agent
start_editor
# Profile 0 stands for the missing value: written back at once, and the one applied below.
wait_config CURRENTPROFILE 0
launch_dir="$(windows_path "$QELT_SCENARIO_DIR")"
printf 'echo started> "%s\\launched.txt"\r\n' "$launch_dir" >"$QELT_SCENARIO_DIR/launch.bat"
A=$(key_index A) S=$(key_index S) D=$(key_index D) F=$(key_index F) G=$(key_index G) H=$(key_index H)

# M1 on A: Ctrl+V first, then Ctrl+C from a menu that a right press outside it has left open.
click_slot 0
click_key "$A"
choose_function 0 4
click_function_label 0
wait_dialog
menu="$DIALOG"
click_at 600 14 3  # the editor's top bar
click_skin "$menu" menu_skin.ini BUTTONINFO 4
tt wait-gone "$menu" --timeout "$(_timeout_ms 10)" || fail "the function menu did not take Ctrl+C"
# A left press on the top bar closes the menu without a choice; the macro item, then Cancel in the
# macro editor, changes nothing either: M1 stays Ctrl+C (the tables below).
click_function_label 0
wait_dialog
menu="$DIALOG"
click_at 600 14
tt wait-gone "$menu" --timeout "$(_timeout_ms 10)" || fail "a left press outside did not close the function menu"
choose_function 0 1
wait_dialog
macro_editor_found
click_skin "$MACRO_EDITOR" macro_skin.ini BUTTONINFO 14  # Cancel
tt wait-gone "$MACRO_EDITOR" --timeout "$(_timeout_ms 10)" || fail "the macro editor did not close"
# M2 on S: a program, chosen in the file dialog; the label shows its name.
click_slot 1
click_key "$S"
click_function_label 1
wait_dialog
take_picture function-menu.png "$QELT_EDITOR_TITLE" "$DIALOG" >/dev/null
click_skin "$DIALOG" menu_skin.ini BUTTONINFO 12
type_into_file_dialog Open "$launch_dir\\launch.bat"
wait_gone Open 10
# M3 on D: key disabled, the label greyed.
click_slot 2
click_key "$D"
choose_function 2 12
shot="$(screenshot functions.png)"
expect_button_look "$shot" BUTTONINFO 16 main_disabled.bmp "M3's label greyed for a disabled key"
# M4 on F: no function.
click_slot 3
click_key "$F"
choose_function 3 0
# M5 on G, then a click between the menu's items: no function either.
click_slot 4
click_key "$G"
choose_function 4 gap
# M6: A belongs to M1 and cannot be taken; H is bound, then M7 is chosen before any function.
click_slot 5
click_key "$A"
click_key "$H"
click_slot 6
shot="$(screenshot bindings.png)"
read -r hl ht hr hb <<<"$(skin_rect main.ini KEYS $((20 + H)))"
expect_eq "$(pixel_at "$shot" $((hl + 3)) $((ht + 3)))" "$(skin_pixel main_main.bmp $((hl + 3)) $((ht + 3)))" \
    "H shown plain after M6 was left without a function"

# Apply: the keyboard holds exactly what the profile file says.
kbsim reset >/dev/null
apply_and_download
expect_download_of 0
# The picture of the editor in the docs (docs/editor-main.png) comes from here.
tt send "$QELT_EDITOR_TITLE" WM_NULL 0 0 >/dev/null
window_screenshot "$QELT_EDITOR_TITLE" editor-main.png >/dev/null
tables="$(expect_tables_clean 1)"
note "tables: $tables"
grep -q "M1: key 0x04 (A), param 1, type 0x20 macro, .*press 0xE0 (LCtrl), pause 25 ms, press 0x06 (C)" <<<"$tables" ||
    fail "M1 is not Ctrl+C on A: $tables"
# The keyboard plays a shortcut as its macro; the file tells the function from a macro.
expect_eq "$(ini_value "$(profile_file 0)" BUTTONCONFIG0 FunID)" 2 "M1's function (Ctrl+C, not a macro)"
grep -q "M2: key 0x16 (S), .*type 0x11 launch" <<<"$tables" || fail "M2 does not launch from S: $tables"
grep -q "M3: key 0x07 (D), param 0, type 0x00 none" <<<"$tables" || fail "M3 is not a disabled D: $tables"
for slot in M4 M5 M6 M7; do
    grep -q "$slot: key 0x00, param 0, type 0x00 none" <<<"$tables" || fail "$slot is not free: $tables"
done
expect_eq "$(ini_value "$(profile_file 0)" BUTTONCONFIG1 "APP Path")" "$launch_dir\\launch.bat" "M2's program"

# The keyboard's launch key for M2 makes the agent start the program.
inject FD02
wait_until 15 "the program launched from M2" test -f "$QELT_SCENARIO_DIR/launched.txt"
click_editor BUTTONINFO 2
expect_exit editor 0 15
stop_agent
scenario_pass
