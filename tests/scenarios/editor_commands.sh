#!/usr/bin/env bash
# The main window's commands against the real agent and the simulated keyboard: switching
# profiles, edits pending when another profile is chosen (applied or dropped) with a profile
# button or the keyboard's profile key, Apply with its progress dialog, Reset, the commands
# without the keyboard, and Apply and close.
source "$(dirname "${BASH_SOURCE[0]}")/../harness/lib.sh"
scenario_begin

device_up
reset_data_dir
write_config 0 1 1
start_agent
start_editor
# A profile file to import: Ctrl+C on F4 (key 4), a macro on F5 (key 5), a program on key 15.
import_file="$QELT_SCENARIO_DIR/sample.Config"
python3 "$QELT_HARNESS_DIR/make_profile.py" "$import_file" 0:2:4 1:32:5:04/1,FF/25,04/0,FF/0 \
    "2:16:15:C:\\windows\\notepad.exe" || fail "sample profile"

import_sample() {
    click_editor BUTTONINFO 10
    type_into_file_dialog Open "$(windows_path "$import_file")"
    wait_gone Open 10
    tt send "$QELT_EDITOR_TITLE" WM_NULL 0 0 >/dev/null
}

# A profile button: Config.config, the keyboard's current profile, the button on screen.
kbsim reset >/dev/null
click_profile 1
wait_config CURRENTPROFILE 1
wait_until 10 "set-profile 2" sh -c "wine '$QELT_KBSIM' journal 2>/dev/null | tr -d '\r' | grep -qx '00222544 02'"
shot="$(screenshot profile2.png)"
expect_button_look "$shot" BUTTONINFO 5 main_down.bmp "profile 2 button after its click"
expect_button_look "$shot" BUTTONINFO 4 main_main.bmp "profile 1 button after profile 2 was chosen"

# Edits pending (an import) and another profile chosen: OK applies them first.
import_sample
screenshot imported.png >/dev/null
kbsim reset >/dev/null
click_profile 2
wait_dialog
answer_warning 3 1
wait_window DLGLoading 15 --visible
wait_gone DLGLoading 20
wait_config CURRENTPROFILE 2
wait_until 10 "set-profile 3" sh -c "wine '$QELT_KBSIM' journal 2>/dev/null | tr -d '\r' | grep -qx '00222544 03'"
expect_download_of 1
file_text "$(profile_file 1)" | grep -q '^FunID=16' || fail "the imported profile was not saved"
tables="$(expect_tables_clean 2)"
grep -q "M3: .*type 0x11 launch, .*launch slot 3" <<<"$tables" || fail "applied profile: $tables"

# Again on profile 3, but Cancel: the edits are dropped and the file is read again.
before="$(sha1sum <"$(profile_file 2)" 2>/dev/null || echo none)"
import_sample
click_profile 0
wait_dialog
answer_warning 3 2
wait_config CURRENTPROFILE 0
expect_eq "$(sha1sum <"$(profile_file 2)" 2>/dev/null || echo none)" "$before" "Profile2 after the edits were dropped"
# Back on profile 3 nothing is pending any more: no question.
click_profile 2
wait_config CURRENTPROFILE 2
_find_dialog && fail "a question came after the edits were dropped"

# Apply with confirmation: progress shown at two points at least, the journal, the set-profile.
import_sample
kbsim reset >/dev/null
confirm_apply
levels="$(watch_download apply | tr '\n' ' ')"
note "progress bar levels seen: $levels"
partial="$(tr ' ' '\n' <<<"$levels" | grep -E '^[123]$' | sort -u | grep -c .)"
[ "$partial" -ge 2 ] || fail "the progress bar was not seen at two points: $levels"
# The user guide's picture of a download: the first screen with the bar part-way, cut to the editor.
n=0
for level in $levels; do
    n=$((n + 1))
    if [ "$level" = 2 ] || [ "$level" = 1 ] || [ "$level" = 3 ]; then
        read -r l t r b <<<"$(window_rect "$QELT_EDITOR_TITLE")"
        convert "$QELT_SCENARIO_DIR/apply-$n.png" -crop "$((r - l))x$((b - t))+$l+$t" +repage "$QELT_SCENARIO_DIR/applying.png"
        break
    fi
done
wait_until 10 "set-profile after apply" sh -c "wine '$QELT_KBSIM' journal 2>/dev/null | tr -d '\r' | tail -n1 | grep -qx '00222544 03'"
expect_download_of 2
shot="$(screenshot applied.png)"

# Reset: the file is deleted and written again, and the keyboard's profile is cleared.
kbsim reset >/dev/null
rm -f "$QELT_SCENARIO_DIR/reset-seen"
click_editor BUTTONINFO 13
wait_dialog
answer_warning 1 1
wait_window DLGLoading 15
wait_gone DLGLoading 20
expect_eq "$(kbsim journal)" "00222480 03
002224A4 0A 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00
00222480 03
00222544 03" "reset journal"
file_text "$(profile_file 2)" | grep -q '^FunID=16' && fail "Profile2 still holds the program after the reset"
expect_eq "$(ini_value "$(profile_file 2)" Setting DiableWinKey)" 0 "reset profile's Windows-key lock"

# A profile key on the keyboard while edits are pending asks as a profile button does. Cancel:
# the edits are dropped (Profile2 read again, not the new profile's file) and profile 1 is shown.
start_peer "MIVO OSD" osd.log
import_sample
inject 01F1
wait_dialog
answer_warning 3 2
wait_config CURRENTPROFILE 0
wait_button_look BUTTONINFO 4 main_down.bmp "profile 1 button after its profile key"

# Again on profile 1, with the macro editor open when the key comes: the question waits until
# the macro editor has ended, then OK applies profile 1 (not the new one) and profile 3 is shown.
import_sample
click_slot 0
choose_function 0 1
wait_dialog
macro_editor_found
kbsim reset >/dev/null
inject 01F3
_osd_shows_3() { osd_texts "$QELT_SCENARIO_DIR/osd.log" | grep -qx "Profile 3"; }
wait_until 15 "the display showing Profile 3 (the agent has told the editor)" _osd_shows_3
dialogs="$(tt list | awk -F'\t' '$2 == 1 && $5 == "#32770" && $6 == ""' | grep -c .)"
expect_eq "$dialogs" 1 "dialogs over the editor while the macro editor is open"
click_skin "$MACRO_EDITOR" macro_skin.ini BUTTONINFO 14  # Cancel
tt wait-gone "$MACRO_EDITOR" --timeout "$(_timeout_ms 10)" || fail "the macro editor did not close"
wait_dialog
answer_warning 3 1
wait_window DLGLoading 15
wait_gone DLGLoading 20
wait_until 10 "set-profile 3 after the download" sh -c "wine '$QELT_KBSIM' journal 2>/dev/null | tr -d '\r' | tail -n1 | grep -qx '00222544 03'"
expect_download_of 0
expect_config CURRENTPROFILE 2
file_text "$(profile_file 0)" | grep -q '^FunID=16' || fail "profile 1's edits were not applied"
file_text "$(profile_file 2)" | grep -q '^FunID=16' && fail "Profile2 holds the edits dropped at the first profile key"
wait_button_look BUTTONINFO 6 main_down.bmp "profile 3 button after its profile key"

# Without the keyboard (the status the editor reads again from Config.config), neither a profile
# button with edits pending nor Apply and close goes on as if the profile were applied: the edits
# are written, the user is told, the profile stays and the editor stays open.
write_config 2 1 0
send_message "$QELT_EDITOR_TITLE" 0x7E9 0 0x402 >/dev/null
import_sample
kbsim reset >/dev/null
click_profile 0
wait_dialog
answer_warning 3 1
wait_dialog
answer_warning 2 1
expect_config CURRENTPROFILE 2
file_text "$(profile_file 2)" | grep -q '^FunID=16' || fail "Profile2 not written without the keyboard"
click_editor BUTTONINFO 12
wait_dialog
answer_warning 2 1
tt send "$QELT_EDITOR_TITLE" WM_NULL 0 0 --timeout 5000 >/dev/null || fail "the editor does not answer"
program_running editor || fail "Apply and close without the keyboard ended the editor"
window_exists DLGLoading && fail "a download dialog without the keyboard"
expect_eq "$(kbsim journal)" "" "journal without the keyboard"
write_config 2 1 1
send_message "$QELT_EDITOR_TITLE" 0x7E9 0 0x402 >/dev/null

# Apply and close: no question, the download runs and the editor ends.
import_sample
kbsim reset >/dev/null
click_editor BUTTONINFO 12
wait_window DLGLoading 15
wait_gone DLGLoading 20
expect_exit editor 0 15
wait_until 10 "set-profile after apply and close" sh -c "wine '$QELT_KBSIM' journal 2>/dev/null | tr -d '\r' | tail -n1 | grep -qx '00222544 03'"
expect_download_of 2
stop_agent
scenario_pass
