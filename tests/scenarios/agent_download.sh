#!/usr/bin/env bash
# The editor's download and reset exchanges with the simulated keyboard: progress to "DLGLoading",
# the tables the keyboard receives, a request the keyboard fails, making a profile current.
source "$(dirname "${BASH_SOURCE[0]}")/../harness/lib.sh"
scenario_begin

device_up
reset_data_dir
write_config 2 1 1
# Profile 2 (device profile number 3): a shortcut slot, a launch slot and a recorded macro.
make_profile 2 0:1:30 1:16:40:'C:\windows\notepad.exe' 2:32:50:04/1,FF/50,04/0
start_agent
tt tray | grep -q __winex11_tray_icon || fail "no tray icon with the device present"
expect_config DEVICEPSTATS 1
kbsim reset >/dev/null

# Download: three tables, each after its profile number, and nothing else.
agent_job 1 2
expect_eq "$(kbsim_journal_codes)" "00222480 00222494 00222480 0022249C 00222480 002224A4 " "download journal"
expect_eq "$(kbsim journal | grep -c '^00222480 03$')" 3 "profile numbers in $(kbsim journal)"
# Exactly the tables the developer tool encodes from the same file (key map, index, data block).
mapfile -t expected < <(wine "$QELT_OUT/qeltctl.exe" tables "$(windows_path "$(profile_file 2)")" \
                          --profile 2 2>/dev/null | tr -d '\r')
expect_eq "${#expected[@]}" 3 "lines printed by qeltctl"
expect_eq "$(kbsim_sent 002224A4)" "${expected[0]}" "key map sent"
expect_eq "$(kbsim_sent 00222494)" "${expected[1]}" "index table sent"
expect_eq "$(kbsim_sent 0022249C)" "${expected[2]}" "data block sent"
tables="$(expect_tables_clean 3)"
grep -q "^profile 3: index table, data block 17 bytes, key-mapping table" <<<"$tables" || fail "tables: $tables"
grep -q "M2: .*type 0x11 launch, .*launch slot 2" <<<"$tables" || fail "launch slot: $tables"
grep -q "M3: .*type 0x20 macro, .*press 0x04 (A), pause 50 ms, release 0x04 (A), end" <<<"$tables" ||
    fail "macro slot: $tables"

# A request the keyboard refuses is reported, and the download still runs to its end.
kbsim reset >/dev/null
kbsim fail 222494 31 >/dev/null || fail "kbsim fail"
agent_job 1 2
diag_has agent "ERROR: IOCTL_SEND_INDEXTABLE failed, error=1f" || fail "no failure diagnostic"
expect_eq "$(kbsim_journal_codes)" "00222480 00222494 00222480 0022249C 00222480 002224A4 " "journal after a failure"

# Reset of profile 2 while profile 2 is current: cleared key map, then the current profile.
kbsim reset >/dev/null
agent_job 2 2
expect_eq "$(kbsim journal)" "00222480 03
002224A4 0A 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00
00222480 03
00222544 03" "reset journal"

# Making a profile current: PC mode is number 0, profile 0 number 1.
kbsim reset >/dev/null
post_agent 0x7EA 3 5
wait_kbsim_state current_profile 0
expect_eq "$(kbsim journal)" "$(printf '00222480 00\n00222544 00')" "journal of making PC mode current"
post_agent 0x7EA 3 0
wait_kbsim_state current_profile 1

# Profile indices outside the six are refused without touching the keyboard.
kbsim reset >/dev/null
post_agent 0x7EA 3 6
post_agent 0x7EA 1 -1
post_agent 0x7EA 1 0x100000002
_three_ignored() { [ "$(diag_count agent ignored)" = 3 ]; }
wait_until 10 "the three requests refused" _three_ignored
diag_has agent "request 1 with profile index 4294967298 ignored" || fail "a 64-bit profile index logged cut"
expect_eq "$(kbsim journal)" "" "journal of refused requests"

stop_agent
scenario_pass
