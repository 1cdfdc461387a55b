#!/usr/bin/env bash
# qeltctl apply and reset against the real agent and the simulated keyboard: progress printed as
# it comes, the tables the keyboard receives, the current profile made current again; then the
# exchange itself against a stand-in agent (the two requests and their pause, the time limit, an
# agent that ends mid-job), and the failures a script has to tell apart.
source "$(dirname "${BASH_SOURCE[0]}")/../harness/lib.sh"
scenario_begin

device_up
reset_data_dir
write_config 0 1 1
# Profile 3 as the user numbers them (Profile2): a shortcut and a recorded macro.
make_profile 2 0:1:30 1:32:50:04/1,FF/50,04/0
start_agent

# Apply: the progress lines come while the job runs, then the set-profile of the current profile.
kbsim reset >/dev/null
start_program apply qeltctl.exe apply 3
wait_log_line "$QELT_SCENARIO_DIR/apply.out" '^25%' 20 >/dev/null
program_running apply || fail "qeltctl printed its progress only at its end"
expect_exit apply 0 30
expect_eq "$(tr -d '\r' <"$QELT_SCENARIO_DIR/apply.out")" "Applying profile 3...
25%
50%
75%
100%
Profile 3 applied." "what apply prints"
# The set-profile request goes out as qeltctl ends; the agent takes it a moment later.
_current_made_current() { [ "$(kbsim journal | tail -n 2)" = "$(printf '00222480 01\n00222544 01')" ]; }
wait_until 10 "the current profile (1) made current after the download" _current_made_current
expect_download_of 2
tables="$(expect_tables_clean 3)"
grep -q "M2: .*type 0x20 macro, .*press 0x04 (A), pause 50 ms, release 0x04 (A), end" <<<"$tables" ||
    fail "applied macro: $tables"
window_exists DLGLoading && fail "qeltctl left its DLGLoading window"

# Reset: the profile's file cleared, the keyboard's key mapping for it cleared.
kbsim reset >/dev/null
expect_qeltctl 0 reset 3
expect_eq "$QELTCTL_OUT" "Resetting profile 3...
25%
50%
75%
100%
Profile 3 reset." "what reset prints"
expect_eq "$(ini_value "$(profile_file 2)" BUTTONCONFIG1 FunID)" 255 "slot M2 after the reset"
expect_eq "$(kbsim journal | head -n 2)" "00222480 03
002224A4 0A 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00" "reset requests"

# The agent without the keyboard, then no agent at all: nothing changes, the reason is printed.
make_profile 2 0:1:30
stop_agent
device_down
start_agent
before="$(data_checksum)"
for command in "apply 3" "reset 3"; do
    # shellcheck disable=SC2086  # the command's words
    expect_qeltctl 1 $command
    expect_match "$QELTCTL_ERR" "agent reports no keyboard; connect it" "$command without the keyboard"
done
stop_agent
for command in "apply 3" "reset 3"; do
    # shellcheck disable=SC2086
    expect_qeltctl 1 $command
    expect_match "$QELTCTL_ERR" "agent \(QELT_Core\) is not running; start it" "$command without the agent"
done
expect_eq "$(data_checksum)" "$before" "configuration files after the failures"

# A stand-in agent that logs what it gets and never answers: the reload, 500 ms, the download of
# profile index 1; progress sent by hand is printed at once; then silence until the time limit.
write_config 0 1 1
start_peer "$QELT_AGENT_TITLE" agent.log
start_program silent qeltctl.exe apply 2 --timeout 3
reload="$(wait_log_line "$QELT_SCENARIO_DIR/agent.log" 'msg=0x7ea wParam=0x0 lParam=0x0')"
job="$(wait_log_line "$QELT_SCENARIO_DIR/agent.log" 'msg=0x7ea wParam=0x1 lParam=0x1')"
pause_us=$(($(log_field "$job" t) - $(log_field "$reload" t)))
[ "$pause_us" -ge 490000 ] && [ "$pause_us" -lt 3000000 ] || fail "pause between the requests: $pause_us us"
post_message DLGLoading 0x7EB 1 40
post_message DLGLoading 0x7EB 1 250   # outside 1-100: a sign of life, nothing printed
wait_log_line "$QELT_SCENARIO_DIR/silent.out" '^40%' 5 >/dev/null
program_running silent || fail "qeltctl ended on a progress report"
expect_exit silent 1 15
expect_match "$(cat "$QELT_SCENARIO_DIR/silent.diag")" "no answer from the agent within 3 s" "time limit message"
expect_eq "$(tr -d '\r' <"$QELT_SCENARIO_DIR/silent.out")" "Applying profile 2...
40%" "what the silent run printed"

# The end report may come before any progress; an agent that goes away is noticed at once.
start_program early qeltctl.exe reset 1
wait_log_line "$QELT_SCENARIO_DIR/agent.log" 'msg=0x7ea wParam=0x2 lParam=0x0' >/dev/null
post_message DLGLoading 0x7EB 0 0
expect_exit early 0 10
start_program gone qeltctl.exe apply 1
wait_log_count "$QELT_SCENARIO_DIR/agent.log" 'msg=0x7ea wParam=0x1 lParam=0x0' 1 >/dev/null
close_window "$QELT_AGENT_TITLE"
expect_exit gone 1 5
expect_match "$(cat "$QELT_SCENARIO_DIR/gone.diag")" "agent \(QELT_Core\) ended before it had finished" "agent gone message"

# Another "DLGLoading" (the editor's dialog, another qeltctl): the agent would report to either.
start_peer "$QELT_AGENT_TITLE" agent2.log
start_peer DLGLoading other.log
expect_qeltctl 1 apply 2
expect_match "$QELTCTL_ERR" "another download to the keyboard is running" "a second download"
if grep -q 'msg=0x7ea' "$QELT_SCENARIO_DIR/agent2.log"; then fail "requests sent during another download"; fi
scenario_pass
