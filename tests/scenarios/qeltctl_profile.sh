#!/usr/bin/env bash
# qeltctl status and qeltctl profile against the real agent and the simulated keyboard: the
# current profile written to Config.config and made current on the keyboard (PC mode too), and
# the answers a script has to tell apart: the agent missing, no keyboard, the editor open.
source "$(dirname "${BASH_SOURCE[0]}")/../harness/lib.sh"
scenario_begin

device_up
reset_data_dir
write_config 1 1 1

# No agent: status says so; a profile is still saved, and the failure says the keyboard was not told.
expect_qeltctl 1 status
expect_eq "$QELTCTL_OUT" "agent: not running
keyboard: unknown (the agent is not running)
profile: 2
editor: closed" "status without the agent"
expect_qeltctl 1 profile 4
expect_match "$QELTCTL_ERR" "agent \(QELT_Core\) is not running: profile 4 is saved" "profile without the agent"
expect_config CURRENTPROFILE 3

start_agent
expect_qeltctl 0 status
expect_eq "$QELTCTL_OUT" "agent: running
keyboard: connected
profile: 4
editor: closed" "status with the agent"

# A profile: Config.config (only its current profile changes), then the keyboard, which takes
# the request a moment after qeltctl has ended.
_made_current() { [ "$(kbsim journal)" = "$(printf '00222480 %s\n00222544 %s' "$1" "$1")" ]; }
for case in "2 1 02" "5 4 05" "pc 5 00" "PC 5 00" "1 0 01" "pc 5 00"; do
    read -r argument index number <<<"$case"
    kbsim reset >/dev/null
    expect_qeltctl 0 profile "$argument"
    expect_config CURRENTPROFILE "$index"
    expect_config LIGHT 1
    expect_config DEVICEPSTATS 1
    wait_until 10 "keyboard requests for profile $argument" _made_current "$number"
    expect_eq "$(kbsim_state current_profile)" "$((10#$number))" "the keyboard's current profile"
done
expect_eq "$QELTCTL_OUT" "PC mode is the current profile." "what profile prints"
expect_qeltctl 0 status
expect_match "$QELTCTL_OUT" $'\nprofile: PC mode\n' "status in PC mode"

# The editor open: profile, apply and reset refuse and change nothing; status still answers.
start_peer "$QELT_EDITOR_TITLE" editor.log
before="$(data_checksum)"
kbsim reset >/dev/null
for command in "profile 3" "apply 3" "reset 3"; do
    # shellcheck disable=SC2086  # the command's words
    expect_qeltctl 3 $command
    expect_match "$QELTCTL_ERR" "settings editor \(QELT_Settings\) is open; close it first" "$command with the editor open"
done
expect_eq "$(data_checksum)" "$before" "configuration files after the refusals"
expect_eq "$(kbsim journal)" "" "keyboard requests after the refusals"
expect_qeltctl 0 status
expect_match "$QELTCTL_OUT" "editor: open" "status with the editor open"
if grep -q 'msg=0x7ea' "$QELT_SCENARIO_DIR/editor.log"; then fail "qeltctl wrote to the editor"; fi
close_window "$QELT_EDITOR_TITLE"

# The agent without the keyboard: the profile is saved, the failure says why.
stop_agent
device_down
start_agent
expect_config DEVICEPSTATS 0
expect_qeltctl 1 status
expect_match "$QELTCTL_OUT" "keyboard: not connected" "status without the keyboard"
expect_qeltctl 1 profile 2
expect_match "$QELTCTL_ERR" "agent reports no keyboard: profile 2 is saved" "profile without the keyboard"
expect_config CURRENTPROFILE 1

stop_agent
scenario_pass
