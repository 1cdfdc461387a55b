#!/usr/bin/env bash
# The editor's start and end with the real agent and the simulated keyboard: a first start
# creates the configuration and starts the agent, a second start does nothing visible, a start
# with the agent running tells it the current profile, the agent's profile notification and its
# WM_CLOSE reach the editor, and an agent without its keyboard stops the editor before it writes
# anything.
source "$(dirname "${BASH_SOURCE[0]}")/../harness/lib.sh"
scenario_begin

device_up
reset_data_dir

# First start, no data folder, no agent: configuration created, agent started, profile 1 shown.
start_editor
wait_window "$QELT_AGENT_TITLE" 20
expect_config CURRENTPROFILE 0
expect_config LIGHT 1
wait_kbsim_state hooked yes 20
shot="$(screenshot first-start.png)"
expect_button_look "$shot" BUTTONINFO 4 main_down.bmp "profile 1 button shown selected"
expect_button_look "$shot" BUTTONINFO 5 main_main.bmp "profile 2 button shown plain"
# The agent it started has loaded the configuration (its start-up ends by writing the status).
wait_config DEVICEPSTATS 1 20
# The buttons' tooltips show in the program as shipped (with its Common Controls 6 manifest).
point_skin "$QELT_EDITOR_TITLE" main.ini BUTTONINFO 3
wait_tooltip "Drivers and updates on the web"

# A second start ends at once and leaves the one editor window.
start_program editor2 QELT_Settings.exe
expect_exit editor2 0 15
expect_eq "$(tt list | awk -F'\t' -v t="$QELT_EDITOR_TITLE" '$6 == t' | grep -c .)" 1 "editor windows"

# Close ends the editor and writes nothing.
sum="$(data_checksum)"
click_editor BUTTONINFO 2
expect_exit editor 0 15
expect_eq "$(data_checksum)" "$sum" "data folder after close"

# With the agent running, a start tells it the current profile (device profile number 1). Without
# a Config.config the editor asks the agent for its device status instead of taking the new
# record's: no false "no keyboard", and the status the agent knows is written.
rm -f "$(config_file)"
kbsim reset >/dev/null
start_editor editor3
_find_dialog && fail "a warning at a start without Config.config while the agent has the keyboard"
expect_config DEVICEPSTATS 1
wait_until 10 "set-profile request" sh -c "wine '$QELT_KBSIM' journal 2>/dev/null | tr -d '\r' | grep -qx '00222544 01'"

# The keyboard's profile key 3: the agent writes the profile and tells the editor, which shows it.
inject 01F3
wait_config CURRENTPROFILE 2 15
wait_diag editor3 "OnMessageProcessFun lParam==WM_USER\+1 keyboard_config.CurrantProfile = 2" 15 >/dev/null
tt send "$QELT_EDITOR_TITLE" WM_NULL 0 0 >/dev/null
shot="$(screenshot notified.png)"
expect_button_look "$shot" BUTTONINFO 6 main_down.bmp "profile 3 button after the profile key"
expect_button_look "$shot" BUTTONINFO 4 main_main.bmp "profile 1 button after the profile key"

# A session lock makes the agent close the device and the editor.
post_agent WM_WTSSESSION_CHANGE 7 1
expect_exit editor3 0 15
post_agent WM_WTSSESSION_CHANGE 8 1
wait_config DEVICEPSTATS 1 20

# PC mode: no profile button lit, the agent told profile 5 (device number 0); Apply sends
# nothing; the profile buttons still leave it. Keys, 0x414 and the status toggle on the way.
write_config 5 1 1
rm -f "$(profile_file 5)"
kbsim reset >/dev/null
start_editor editor5
wait_until 10 "set-profile PC mode" sh -c "wine '$QELT_KBSIM' journal 2>/dev/null | tr -d '\r' | grep -qx '00222544 00'"
shot="$(screenshot pc-mode.png)"
for key in 4 5 6 7 8; do
    expect_button_look "$shot" BUTTONINFO "$key" main_main.bmp "profile button $key in PC mode"
done
# The status light's border is the same in every look: its lamp, at the centre, tells them apart.
expect_button_look "$shot" BUTTONINFO 34 main_main.bmp "status button at start" 13 13
expect_eq "$(send_message "$QELT_EDITOR_TITLE" 0x7EC 0 0)" 1 "result of 0x7EC"
expect_eq "$(send_message "$QELT_EDITOR_TITLE" 0x414 1 0)" 1 "result of 0x414"
shot="$(screenshot status.png)"
expect_button_look "$shot" BUTTONINFO 34 main_down.bmp "status button after one toggle" 13 13
point_at "$QELT_EDITOR_TITLE"
press_keys Escape Return space
tt send "$QELT_EDITOR_TITLE" WM_NULL 0 0 >/dev/null || fail "the editor ended on a key"
program_running editor5 || fail "the editor ended on a key"
kbsim reset >/dev/null
confirm_apply
tt send "$QELT_EDITOR_TITLE" WM_NULL 0 0 >/dev/null
window_exists DLGLoading && fail "a download in PC mode"
expect_eq "$(kbsim journal)" "" "journal after Apply in PC mode"
test -f "$(profile_file 5)" || fail "Apply in PC mode did not save the profile"
click_profile 0
wait_config CURRENTPROFILE 0
wait_until 10 "set-profile 1" sh -c "wine '$QELT_KBSIM' journal 2>/dev/null | tr -d '\r' | grep -qx '00222544 01'"
click_editor BUTTONINFO 35
expect_exit editor5 0 15

# An agent that runs without its keyboard: the editor warns and ends, and no file changes.
close_window "$QELT_AGENT_TITLE" 15
device_down
start_agent
expect_config DEVICEPSTATS 0
sum="$(data_checksum)"
start_program editor4 QELT_Settings.exe
wait_dialog 20
screenshot no-device.png >/dev/null
take_picture no-keyboard.png "$DIALOG" >/dev/null
answer_warning 2 1
expect_exit editor4 0 15
window_exists "$QELT_EDITOR_TITLE" && fail "the editor stayed open without the keyboard"
expect_eq "$(data_checksum)" "$sum" "data folder after the no-device start"
# The same without a Config.config: the agent's status, not a guess, ends the editor.
rm -f "$(config_file)"
sum="$(data_checksum)"
start_program editor6 QELT_Settings.exe
wait_dialog 20
answer_warning 2 1
expect_exit editor6 0 15
expect_eq "$(data_checksum)" "$sum" "data folder after the no-device start without Config.config"
stop_agent
scenario_pass
