#!/usr/bin/env bash
# Program profiles on the simulated keyboard: rules made with qeltctl (game1.exe -> 2,
# game2.exe -> 4); each program brought to the front makes its profile current on the keyboard,
# in Config.config, in the open editor and on the display; a program without a rule returns to the
# profile the user chose; a profile key while game1 is in front wins until the front program
# changes (the open editor's profile buttons following each switch); qeltctl app list and remove; a rules file with garbage, a profile 9, a path of 1,000
# characters and 10,000 rules does not stop the agent, and its valid rules work.
# ctest-timeout: 300
source "$(dirname "${BASH_SOURCE[0]}")/../harness/lib.sh"
scenario_begin

device_up
reset_data_dir
write_config 0 1 1
rules_file="$(qelt_data_dir)/Programs.config"

# The rules, made while the agent is stopped: it takes them at its start.
expect_qeltctl 0 app add game1.exe 2
expect_match "$QELTCTL_OUT" "it takes the rules at its next start" "app add without the agent"
expect_qeltctl 0 app add GAME2.EXE 4
expect_qeltctl 0 app add game2.exe 4   # the same program: replaced (in its place), not added
expect_qeltctl 0 app list
expect_eq "$QELTCTL_OUT" "profile 2  game1.exe
profile 4  game2.exe" "app list"

start_peer "MIVO OSD" osd.log
start_agent
diag_has agent "Program profiles: 2 rule(s)" || fail "the agent did not read the rules"
wait_diag agent "Program profiles: following the front window by" >/dev/null
# The real editor, open while the programs come to the front: its profile buttons stay uncovered
# (the programs' windows end above them). At its start it is the front window, a program without
# a rule: the user's profile 1 is already current.
start_editor

# Which way the agent follows the front window here (Wine delivers no foreground events).
if diag_has agent "foreground events arrive"; then note "path: foreground event hook"; else note "path: poll"; fi

# to_front TITLE EXE: a click makes the window the front one; waits until the agent has seen its
# program come to the front.
_seen_more() { [ "$(diag_count "$AGENT_NAME" "Program profiles: $1 in front")" -gt "$2" ]; }
to_front() {
    local before
    before="$(diag_count "$AGENT_NAME" "Program profiles: $2 in front")"
    bring_to_front "$1"
    wait_until 10 "the agent seeing $2 in front" _seen_more "$2" "$before"
}
# The profile requests the keyboard received since the last reset (reads of key events left out).
profile_requests() { kbsim journal | grep -E '^0022(2480|2544)' | tr '\n' ' '; }
_requests_are() { [ "$(profile_requests)" = "$1" ]; }
_requests_end_with() { [[ "$(profile_requests)" == *"$1" ]]; }

# The editor restates the current profile when it opens: its request has reached the keyboard
# before the journal is cleared, or it would land among game1's.
wait_until 10 "the editor's profile 1 on the keyboard" _requests_end_with "00222544 01 "
kbsim reset >/dev/null
start_front_program game1 game1.exe "Game One" 20
wait_kbsim_state current_profile 2
wait_config CURRENTPROFILE 1
wait_editor_profile 1
wait_osd_texts "$QELT_SCENARIO_DIR/osd.log" "Profile 2"
expect_eq "$(profile_requests)" "00222480 02 00222544 02 " "requests for game1"

start_front_program game2 game2.exe "Game Two" 440
wait_kbsim_state current_profile 4
wait_config CURRENTPROFILE 3
wait_editor_profile 3
wait_osd_texts "$QELT_SCENARIO_DIR/osd.log" "Profile 4"

# No rule: back to the profile chosen last (profile 1 at the start).
start_front_program other other.exe "Other Program" 860
wait_kbsim_state current_profile 1
wait_config CURRENTPROFILE 0
wait_editor_profile 0

to_front "Game One" game1.exe
wait_kbsim_state current_profile 2
wait_config CURRENTPROFILE 1

# Profile key 5 while game1 is in front: it wins. With another program in front the user's
# choice is profile 5, already current: no request; game1 again takes its rule's profile.
kbsim reset >/dev/null
inject 01F5
wait_config CURRENTPROFILE 4
wait_editor_profile 4
to_front "Other Program" other.exe
to_front "Game One" game1.exe
wait_config CURRENTPROFILE 1
wait_until 10 "game1's requests" _requests_are "00222480 02 00222544 02 "
to_front "Other Program" other.exe
wait_config CURRENTPROFILE 4
wait_kbsim_state current_profile 5

# qeltctl profile 3 while a program without a rule is in front: the profile to return to.
# (qeltctl refuses while the editor is open.)
close_window "$QELT_EDITOR_TITLE"
wait_program_exit editor 15
expect_qeltctl 0 profile 3
wait_kbsim_state current_profile 3
to_front "Game Two" game2.exe
wait_kbsim_state current_profile 4
to_front "Other Program" other.exe
wait_kbsim_state current_profile 3
wait_config CURRENTPROFILE 2

# Removing game2's rule: the agent reads the rules again; game2 keeps the chosen profile.
expect_qeltctl 0 app remove game2.exe
expect_eq "$QELTCTL_OUT" "Rule for game2.exe removed." "app remove"
wait_diag agent "Program profiles: read again, 1 rule\\(s\\)" >/dev/null
kbsim reset >/dev/null
to_front "Game Two" game2.exe
to_front "Game One" game1.exe
wait_kbsim_state current_profile 2
expect_eq "$(profile_requests)" "00222480 02 00222544 02 " "requests after game2's rule went"
expect_qeltctl 1 app remove game2.exe
expect_match "$QELTCTL_ERR" "no rule for game2.exe" "removing a rule twice"
expect_qeltctl 0 app list
expect_eq "$QELTCTL_OUT" "profile 2  game1.exe" "app list after the removal"
stop_agent

# Bad input: garbage, a profile 9, a path of 1,000 characters, then 10,000 valid rules, game1's last.
bring_to_front "Other Program"
python3 - "$rules_file" <<'PY'
import sys
lines = ["[PROGRAMS]", "garbage without an equals sign", "1=no bars at all", "2=9|game2.exe|",
         "3=2|C:\\" + "x" * 1000 + "\\game2.exe|", "4=x|game2.exe|", "5=|||"]
lines += ["%d=3|tool%05d.exe|" % (10 + i, i) for i in range(10000)]
lines.append("99999=2|game1.exe|")
open(sys.argv[1], "w", encoding="utf-16").write("\r\n".join(lines) + "\r\n")
PY
write_config 0 1 1
kbsim reset >/dev/null
started=$(date +%s%3N)
start_agent
note "agent start with 10,006 rule lines: $(( $(date +%s%3N) - started )) ms"
wait_diag "$AGENT_NAME" "Program profiles: 10001 rule\(s\)" 30 >/dev/null
expect_eq "$(diag_count "$AGENT_NAME" "not taken:")" "6" "a diagnostic per bad rule"
grep -q "rule 2 of .*profile is not 1 to 5" "$(diag_file "$AGENT_NAME")" || fail "no diagnostic for profile 9"
grep -q "rule 3 of .*program longer than 259 characters" "$(diag_file "$AGENT_NAME")" || fail "no diagnostic for the long path"
to_front "Game One" game1.exe
wait_kbsim_state current_profile 2
to_front "Other Program" other.exe
wait_kbsim_state current_profile 1
agent_answers_within 2000 || fail "the agent does not answer with 10,000 rules"
stop_agent
scenario_pass
