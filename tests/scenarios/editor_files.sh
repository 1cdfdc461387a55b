#!/usr/bin/env bash
# Export and import of ".Config" profile files, and the commands when the keyboard is not
# available or the agent never answers.
source "$(dirname "${BASH_SOURCE[0]}")/../harness/lib.sh"
scenario_begin

device_up
reset_data_dir
write_config 1 1 1
make_profile 1 0:3:4 "1:16:5:C:\\windows\\notepad.exe"
start_agent
start_editor

save_as() {  # PATH
    click_editor BUTTONINFO 9
    type_into_file_dialog "Save As" "$(windows_path "$1")"
}
open_file() {  # PATH
    click_editor BUTTONINFO 10
    type_into_file_dialog Open "$(windows_path "$1")"
    wait_gone Open 10
    tt send "$QELT_EDITOR_TITLE" WM_NULL 0 0 >/dev/null
}
# The profile sections of a file, one line each, without the line ends.
sections_of() { file_text "$1"; }

# Export to a new file: the profile being edited, as its own file holds it.
exported="$QELT_SCENARIO_DIR/export.Config"
rm -f "$exported"
save_as "$exported"
wait_gone "Save As" 10
wait_until 10 "exported file" test -s "$exported"
expect_eq "$(sections_of "$exported")" "$(sections_of "$(profile_file 1)")" "exported profile"

# Export over an existing file: the overwrite is confirmed first.
echo "[Setting]" >"$exported"
save_as "$exported"
wait_window Error 10 --visible  # Wine's question: the file exists, replace it?
read -r l t r b <<<"$(tt rect Error)"
xdotool mousemove $(((l + r) / 2)) $(((t + b) / 2)) key Return
wait_gone "Save As" 10
_overwritten() { file_text "$exported" | grep -q 'notepad'; }
wait_until 10 "overwritten file" _overwritten

# What the editor shows of profile 2: its button, and M1 and M2 lit as slots with a function.
expect_profile2_shown() {  # WHAT SHOT_NAME
    local shot
    shot="$(screenshot "$2")"
    expect_button_look "$shot" BUTTONINFO 5 main_down.bmp "profile 2 button $1"
    expect_button_look "$shot" BUTTONINFO 24 main_down.bmp "M1 $1"
    expect_button_look "$shot" BUTTONINFO 25 main_down.bmp "M2 $1"
}
expect_profile2_shown "before the imports" before-imports.png
sum="$(data_checksum)"

# Import of a missing file: nothing changes, neither the files nor what the editor shows.
open_file "$QELT_SCENARIO_DIR/missing.Config"
wait_diag editor "does not exist, nothing imported" 10 >/dev/null
expect_eq "$(data_checksum)" "$sum" "data folder after importing a missing file"
expect_profile2_shown "after importing a missing file" missing-import.png

# Import of a file that holds no profile (30 KB of random bytes): refused with a message naming
# it; nothing changes.
garbage="$QELT_SCENARIO_DIR/garbage.Config"
python3 -c 'import random, sys; random.seed(18); sys.stdout.buffer.write(bytes(random.getrandbits(8) for _ in range(30720)))' >"$garbage"
garbage_sum="$(sha1sum <"$garbage")"
open_file "$garbage"
wait_message_box "Import profile" 10
expect_match "$(message_box_text "Import profile")" "garbage\.Config" "the refusal names the file"
expect_match "$(message_box_text "Import profile")" "holds no profile" "the refusal says why"
answer_message_box "Import profile"
expect_eq "$(sha1sum <"$garbage")" "$garbage_sum" "the refused file"
expect_eq "$(data_checksum)" "$sum" "data folder after a refused import"
expect_profile2_shown "after a refused import" garbage-import.png
# Neither import marked the profile modified: another profile is shown without a question.
click_profile 0
wait_config CURRENTPROFILE 0
_find_dialog && fail "a question after imports that changed nothing"
click_profile 1
wait_config CURRENTPROFILE 1

# Import of a file with missing keys: read defaults, the profile is marked modified. A program
# path longer than a path can be leaves its slot (M3) without a program, and the user is told.
long_path="C:\\$(printf 'x%.0s' $(seq 1 300)).exe"
printf '[Setting]\r\nMacroLength=0\r\n[BUTTONCONFIG2]\r\nFunID=16\r\nMappinkey=30\r\nAPP Path=%s\r\n' \
    "$long_path" >"$QELT_SCENARIO_DIR/partial.Config"
open_file "$QELT_SCENARIO_DIR/partial.Config"
wait_message_box "Import profile" 10
expect_match "$(message_box_text "Import profile")" "partial\.Config" "the message names the file"
expect_match "$(message_box_text "Import profile")" "path of M3 is longer than 259" "the message names the slot"
answer_message_box "Import profile"
shot="$(screenshot partial-import.png)"
expect_button_look "$shot" BUTTONINFO 24 main_main.bmp "M1 after importing a profile without slots"
click_profile 0
wait_dialog
answer_warning 3 2  # drop the edits: Profile1 is read again
wait_config CURRENTPROFILE 0
file_text "$(profile_file 1)" | grep -q '^FunID=3' || fail "Profile1 changed by a dropped import"

# A profile file that cannot be written (a folder of its name): Apply tells which file and why,
# the keyboard gets nothing, and the edits stay pending.
open_file "$exported"
rm -f "$(profile_file 0)"
mkdir "$(profile_file 0)"
kbsim reset >/dev/null
confirm_apply
wait_message_box "Settings not saved" 20
screenshot not-saved.png >/dev/null
expect_match "$(message_box_text "Settings not saved")" "Profile0" "the message names the file"
answer_message_box "Settings not saved"
window_exists DLGLoading && fail "the download dialog stayed after a failed save"
expect_eq "$(kbsim journal)" "" "journal after a save that failed"
rmdir "$(profile_file 0)"
# Still pending: the profile's own button asks, and OK applies them now.
click_profile 0
wait_dialog
answer_warning 3 1
wait_window DLGLoading 15
wait_gone DLGLoading 20
file_text "$(profile_file 0)" | grep -q 'notepad' || fail "the pending edits were not applied after the failed save"

# Import of a valid file into profile 1, then Apply with the keyboard gone: the files are
# written and the editor warns instead of downloading.
open_file "$exported"
printf '[CONFIG]\r\nCURRENTPROFILE=0\r\nLIGHT=1\r\nDEVICEPSTATS=0\r\n' >"$(config_file)"
send_message "$QELT_EDITOR_TITLE" 0x7E9 0 0x402 >/dev/null  # the editor reads Config.config again
kbsim reset >/dev/null
confirm_apply
wait_dialog
screenshot apply-no-device.png >/dev/null
answer_warning 2 1
file_text "$(profile_file 0)" | grep -q 'notepad' || fail "Profile0 not written when the keyboard is missing"
window_exists DLGLoading && fail "a download dialog without the keyboard"

# Reset without the keyboard: the file is deleted and written again with the reset profile.
click_editor BUTTONINFO 13
wait_dialog
answer_warning 1 1
wait_dialog
answer_warning 2 1
file_text "$(profile_file 0)" | grep -q 'notepad' && fail "Profile0 not reset"
expect_eq "$(ini_value "$(profile_file 0)" Setting DiableWinKey)" 0 "reset profile written again"
expect_eq "$(kbsim journal)" "" "journal without the keyboard"

# An agent that never answers: the download dialog gives up after its time limit and the
# editor stays usable.
click_editor BUTTONINFO 2
expect_exit editor 0 15
stop_agent
write_config 0 1 1
start_peer "$QELT_AGENT_TITLE" silent-agent.log
start_editor editor2
click_editor BUTTONINFO 12
wait_window DLGLoading 15
wait_log_line "$QELT_SCENARIO_DIR/silent-agent.log" 'msg=0x7ea wParam=0x1 lParam=0x0' 10 >/dev/null
wait_gone DLGLoading 30
wait_diag editor2 "no answer from the agent within 20 s" 5 >/dev/null
expect_eq "$(grep -c 'msg=0x7ea wParam=0x0 lParam=0x0' "$QELT_SCENARIO_DIR/silent-agent.log")" 1 "reload requests"
window_exists "$QELT_EDITOR_TITLE" || fail "the editor closed after the agent did not answer"
tt send "$QELT_EDITOR_TITLE" WM_NULL 0 0 --timeout 2000 >/dev/null || fail "the editor does not answer"
click_editor BUTTONINFO 2
expect_exit editor2 0 15
scenario_pass
