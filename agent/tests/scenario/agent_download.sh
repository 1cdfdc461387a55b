#!/usr/bin/env bash
# The editor's download and reset exchanges with the simulated keyboard: progress to "DLGLoading",
# the tables the keyboard receives, a request the keyboard fails, making a profile current.
source "$(dirname "$0")/agent_lib.sh"
HERE="$(cd "$(dirname "$0")" && pwd)"

# Runs one job the way the editor's download dialog does and checks its progress messages.
run_job() {  # REQUEST PROFILE
  close_window DLGLoading
  start_peer DLGLoading "$WORK/loading.log"
  post_agent 0x7EA 0 0
  post_agent 0x7EA "$1" "$2"
  wait_log "$WORK/loading.log" "msg=0x7eb wParam=0x0 lParam=0x0" 20
  local got; got="$(progress_of "$WORK/loading.log")"
  [ "$got" = "1,25 1,50 1,75 1,100 0,0 " ] || fail "request $1 progress was '$got'"
  close_window DLGLoading
}
journal_codes() { kbsim journal | cut -d' ' -f1 | tr '\n' ' '; }

device_up
reset_data
write_config 2 1 1
# Profile 2 (device profile number 3): a shortcut slot, a launch slot and a recorded macro.
/usr/bin/python3 "$HERE/make_profile.py" "$DATA/Profile2" 0:1:30 1:16:40:'C:\windows\notepad.exe' \
  2:32:50:04/1,FF/50,04/0
start_agent
tool tray | grep -q __winex11_tray_icon || fail "no tray icon with the device present"
expect_config DEVICEPSTATS 1
kbsim reset >/dev/null

# Download: three tables, each after its profile number, and nothing else.
run_job 1 2
[ "$(journal_codes)" = "00222480 00222494 00222480 0022249C 00222480 002224A4 " ] \
  || fail "download journal: $(kbsim journal)"
[ "$(kbsim journal | grep -c '^00222480 03$')" = 3 ] || fail "profile numbers: $(kbsim journal)"
# Exactly the tables the developer tool encodes from the same file (key map, index, data block).
mapfile -t expected < <(wine "$OUT/qeltctl.exe" tables "$(winepath -w "$DATA/Profile2" 2>/dev/null)" \
                          --profile 2 2>/dev/null | tr -d '\r')
[ ${#expected[@]} -eq 3 ] || fail "qeltctl gave ${#expected[@]} lines"
sent_bytes() { kbsim journal | grep "^$1" | head -n1 | cut -d' ' -f2-; }
[ "$(sent_bytes 002224A4)" = "${expected[0]}" ] || fail "key map sent: $(sent_bytes 002224A4), encoded: ${expected[0]}"
[ "$(sent_bytes 00222494)" = "${expected[1]}" ] || fail "index sent: $(sent_bytes 00222494), encoded: ${expected[1]}"
[ "$(sent_bytes 0022249C)" = "${expected[2]}" ] || fail "data sent: $(sent_bytes 0022249C), encoded: ${expected[2]}"
tables="$(kbsim tables 3)"
echo "$tables" | grep -q "^profile 3: index table, data block 17 bytes, key-mapping table" || fail "tables: $tables"
echo "$tables" | grep -q "M2: .*type 0x11 launch, .*launch slot 2" || fail "launch slot: $tables"
echo "$tables" | grep -q "M3: .*type 0x20 macro, .*press 0x04 (A), pause 50 ms, release 0x04 (A), end" \
  || fail "macro slot: $tables"
echo "$tables" | grep -q "warning" && fail "decoder warnings: $tables"

# A request the keyboard refuses is reported, and the download still runs to its end.
kbsim reset >/dev/null
kbsim fail 222494 31 >/dev/null || fail "kbsim fail"
run_job 1 2
log_has "$WORK/agent.log" "ERROR: IOCTL_SEND_INDEXTABLE failed, error=1f" || fail "no failure diagnostic"
[ "$(journal_codes)" = "00222480 00222494 00222480 0022249C 00222480 002224A4 " ] \
  || fail "journal after a failure: $(kbsim journal)"

# Reset of profile 2 while profile 2 is current: cleared key map, then the current profile.
kbsim reset >/dev/null
run_job 2 2
expected="00222480 03
002224A4 0A 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00
00222480 03
00222544 03"
[ "$(kbsim journal)" = "$expected" ] || fail "reset journal: $(kbsim journal)"

# Making a profile current: PC mode is number 0, profile 0 number 1.
kbsim reset >/dev/null
post_agent 0x7EA 3 5
wait_until 10 sh -c "wine '$KBSIM' state 2>/dev/null | tr -d '\r' | grep -qx 'current_profile 0'" \
  || fail "PC mode not current: $(kbsim state | grep current_profile)"
[ "$(kbsim journal)" = "$(printf '00222480 00\n00222544 00')" ] || fail "set 5 journal: $(kbsim journal)"
post_agent 0x7EA 3 0
wait_until 10 sh -c "wine '$KBSIM' state 2>/dev/null | tr -d '\r' | grep -qx 'current_profile 1'" \
  || fail "profile 0 not current"

# Profile indices outside the six are refused without touching the keyboard.
kbsim reset >/dev/null
post_agent 0x7EA 3 6
post_agent 0x7EA 1 -1
wait_until 10 sh -c "grep -c 'ignored' '$WORK/agent.log' | grep -qx 2" || fail "out-of-range requests not refused"
[ -z "$(kbsim journal)" ] || fail "out-of-range request reached the keyboard: $(kbsim journal)"

stop_agent
echo "PASS"
