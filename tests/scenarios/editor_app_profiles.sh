#!/usr/bin/env bash
# The editor's "Program profiles" dialog on the simulated keyboard: Cancel writes nothing; a rule
# added from the file dialog and one from the running programs, each given its profile by a click,
# are saved on OK and followed by the agent at once (game1.exe -> 2, other.exe -> 4), with
# Config.config and the open editor's profile buttons following; a rule removed again stops
# switching; a rules file that cannot be written is named to the user and the dialog stays open.
# ctest-timeout: 240
source "$(dirname "${BASH_SOURCE[0]}")/../harness/lib.sh"
scenario_begin

device_up
reset_data_dir
write_config 0 1 1
rules_file="$(qelt_data_dir)/Programs.config"

start_peer "MIVO OSD" osd.log
start_agent
diag_has agent "Program profiles: 0 rule(s)" || fail "the agent did not start without rules"
# Below the editor's window, so that they never cover it.
start_front_program game1 game1.exe "Game One" 20 660
start_front_program other other.exe "Other Program" 440 660
start_editor

# Cancel: a rule added in the dialog is dropped, no file is written.
before="$(data_checksum)"
open_app_profiles
expect_eq "$(app_rule_lines)" "0" "rules listed at first"
click_app_profiles 1
type_into_file_dialog "Open" "$(windows_path "$QELT_SCENARIO_DIR/game1.exe")"
wait_app_rule_lines 1
close_app_profiles 10
[ ! -e "$rules_file" ] || fail "Cancel wrote $rules_file"
expect_eq "$(data_checksum)" "$before" "the data folder after Cancel"

# A rules file that cannot be written (a folder holds its name): the user is told which file,
# the dialog stays open with the rule, and Cancel leaves.
mkdir "$rules_file"
open_app_profiles
choose_running_program game1.exe
wait_app_rule_lines 1
click_app_profiles 9
wait_message_box "Program profiles"
problem="hwnd:$WINDOW_HWND"
expect_match "$(message_box_text "$problem")" 'could not be saved to.*Programs\.config' "the failed save's message"
answer_message_box "$problem"
tt rect "$APPS_DIALOG" >/dev/null || fail "the dialog closed after a failed save"
expect_eq "$(app_rule_lines)" "1" "the rule kept after a failed save"
close_app_profiles 10
rmdir "$rules_file"

# game1.exe from the file dialog -> profile 2, other.exe from the running programs -> profile 4.
open_app_profiles
click_app_profiles 1
type_into_file_dialog "Open" "$(windows_path "$QELT_SCENARIO_DIR/game1.exe")"
wait_app_rule_lines 1
click_app_profiles 5
choose_running_program other.exe
wait_app_rule_lines 2
click_app_profiles 7
point_at "$APPS_LIST"   # no button's tooltip in the picture
take_picture program-profiles.png "$APPS_DIALOG" >/dev/null
[ ! -e "$rules_file" ] || fail "the rules were written before OK"
close_app_profiles 9
expect_eq "$(ini_value "$rules_file" PROGRAMS 1)" "2|game1.exe|" "the first rule saved"
expect_eq "$(ini_value "$rules_file" PROGRAMS 2)" "4|other.exe|" "the second rule saved"
wait_diag agent "Program profiles: read again, 2 rule\\(s\\)" >/dev/null

# The agent follows at once; Config.config and the open editor follow it.
bring_to_front "Game One"
wait_kbsim_state current_profile 2
wait_config CURRENTPROFILE 1
wait_editor_profile 1
bring_to_front "Other Program"
wait_kbsim_state current_profile 4
wait_config CURRENTPROFILE 3
wait_editor_profile 3
wait_osd_texts "$QELT_SCENARIO_DIR/osd.log" "Profile 2
Profile 4"

# other.exe's rule removed: it keeps the user's profile 1 from now on.
open_app_profiles   # the editor in front: no rule, the user's profile 1
wait_kbsim_state current_profile 1
wait_app_rule_lines 2
select_app_rule 2
click_app_profiles 3
wait_app_rule_lines 1
close_app_profiles 9
wait_diag agent "Program profiles: read again, 1 rule\\(s\\)" >/dev/null
expect_eq "$(ini_value "$rules_file" PROGRAMS 1)" "2|game1.exe|" "the rule left"
expect_eq "$( (ini_value "$rules_file" PROGRAMS 2) 2>/dev/null || true)" "" "the removed rule"
bring_to_front "Game One"
wait_kbsim_state current_profile 2
bring_to_front "Other Program"
wait_kbsim_state current_profile 1
wait_config CURRENTPROFILE 0
wait_editor_profile 0
stop_agent
scenario_pass
