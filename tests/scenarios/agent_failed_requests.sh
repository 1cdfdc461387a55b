#!/usr/bin/env bash
# Requests the simulated keyboard fails: a table goes only after its own profile number, a
# download whose index table or data block did not arrive ends with the cleared key mapping (no
# key uses tables that disagree) and says so on the display, and a failed event read leaves no
# key behind.
source "$(dirname "${BASH_SOURCE[0]}")/../harness/lib.sh"
scenario_begin

osd_log="$QELT_SCENARIO_DIR/osd.log"
hook_log="$QELT_SCENARIO_DIR/hook.log"
cleared="0A 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"
not_updated() { osd_texts "$osd_log" | grep -c '^Profile 3 not updated$' || true; }
# download_failing CODE: download profile 2 while the keyboard fails the next request CODE.
download_failing() {
    kbsim reset >/dev/null
    kbsim fail "$1" 31 1 >/dev/null || fail "kbsim fail $1"
    agent_job 1 2
    expect_eq "$(kbsim journal | grep -c '^00222480 03$')" 3 "profile numbers of the download: $(kbsim journal)"
    expect_eq "$(kbsim journal | grep -c '^00222480')" 3 "profile-number requests: $(kbsim journal)"
}
key_lines() { grep -c "key vk=$1 .*flags=0x11 \|key vk=$1 .*flags=0x10 " "$hook_log" || true; }

device_up
reset_data_dir
write_config 2 1 1
make_profile 0 0:32:59:04/1,04/0
make_profile 2 0:32:59:04/1,FF/50,04/0 1:16:60:'C:\windows\notepad.exe' 2:32:61:05/1,05/0
start_peer "MIVO OSD" "$osd_log"
start_hookprobe "$hook_log"
start_agent

# Profile 0 is on the keyboard (number 1); profile 2's first profile number fails.
agent_job 1 0
profile1="$(expect_tables_clean 1)"
download_failing 222480
expect_eq "$(kbsim_journal_codes)" "00222480 00222480 0022249C 00222480 002224A4 " "journal without the index table"
expect_eq "$(kbsim_sent 002224A4)" "$cleared" "key mapping after the failed profile number"
diag_has agent "ERROR: IOCTL_SEND_INDEXTABLE not sent: its IOCTL_SET_DRIVER_PROFILEID failed" ||
    fail "no diagnostic naming the table not sent"
expect_eq "$(expect_tables_clean 1)" "$profile1" "tables of profile number 1 (a profile nobody downloaded)"
expect_tables_clean 3 >/dev/null
wait_until 10 "the display tells of the failed download" test "$(not_updated)" = 1

# Profile 2 on the keyboard, then its macros change in the file: the new index table would point
# past the old data block.
agent_job 1 2
expect_tables_clean 3 >/dev/null
make_profile 2 0:32:59:04/1,04/0 2:32:61:05/1,FF/100,05/0,06/1,FF/25,06/0
download_failing 22249C
expect_eq "$(kbsim_journal_codes)" "00222480 00222494 00222480 0022249C 00222480 002224A4 " "journal of a failed data block"
expect_eq "$(kbsim_sent 002224A4)" "$cleared" "key mapping after the failed data block"
diag_has agent "ERROR: IOCTL_SEND_DATA failed, error=1f" || fail "no diagnostic naming the data block"
expect_tables_clean 3 >/dev/null
wait_until 10 "the display tells of the second failed download" test "$(not_updated)" = 2

download_failing 222494
expect_eq "$(kbsim_sent 002224A4)" "$cleared" "key mapping after the failed index table"
diag_has agent "ERROR: IOCTL_SEND_INDEXTABLE failed, error=1f" || fail "no diagnostic naming the index table"
expect_tables_clean 3 >/dev/null
wait_until 10 "the display tells of the third failed download" test "$(not_updated)" = 3

# A download that succeeds sends the key mapping the file encodes, and says nothing.
kbsim reset >/dev/null
agent_job 1 2
mapfile -t expected < <(wine "$QELT_OUT/qeltctl.exe" tables "$(windows_path "$(profile_file 2)")" \
                          --profile 2 2>/dev/null | tr -d '\r')
expect_eq "$(kbsim_sent 002224A4)" "${expected[0]}" "key mapping of a download that succeeded"
tables="$(expect_tables_clean 3)"
grep -q "M3: key 0x07 (D), param 1, type 0x20 macro, .*press 0x05 (B), pause 100 ms" <<<"$tables" ||
    fail "profile 2 on the keyboard: $tables"
expect_eq "$(not_updated)" 3 "display texts after a download that succeeded"

# One failed event read: the next word reads the one left behind and catches up.
kbsim reset >/dev/null
kbsim fail 222408 31 1 >/dev/null || fail "kbsim fail 222408"
inject B500
wait_diag agent "ERROR: read call failed, error=1f" >/dev/null
inject E200
wait_log_line "$hook_log" 'key vk=0xad .*flags=0x90 ' >/dev/null
expect_eq "$(key_lines 0xb0)" 1 "next track after the failed read"
inject B600
wait_log_line "$hook_log" 'key vk=0xb1 .*flags=0x91 ' >/dev/null
expect_eq "$(key_lines 0xb0) $(key_lines 0xad) $(key_lines 0xb1)" "1 1 1" "one key per event word"
kbsim wait drained 5000 >/dev/null || fail "words left unread: $(kbsim state)"
expect_eq "$(kbsim_state events_read)" 3 "words read"
expect_eq "$(kbsim journal | grep -c '^00222408')" 5 "reads (one failed, three words, one that found none)"

stop_agent
scenario_pass
