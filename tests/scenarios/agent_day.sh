#!/usr/bin/env bash
# The agent through a day on the simulated keyboard: a lock in the middle of a long download (the
# download ends whole, then the device closes), quick profile clicks during a download (the
# keyboard and the agent end on the last profile asked for), a driver that stops and starts again
# while the agent runs (found again without a session change), and a held volume key with a
# pending keyboard notice when the session locks (the taps stop, the notice is dropped).
# ctest-timeout: 300
source "$(dirname "${BASH_SOURCE[0]}")/../harness/lib.sh"
scenario_begin

LOCK=0x2B1  # WM_WTSSESSION_CHANGE: wParam 7 lock, 8 unlock
osd_log="$QELT_SCENARIO_DIR/osd.log"
hook_log="$QELT_SCENARIO_DIR/hook.log"

device_up
reset_data_dir
write_config 0 1 1
# Profile 1: ten macros of 300 steps, a download of about ten seconds.
steps="$(python3 -c "print(','.join(['04/1', '04/0'][k % 2] for k in range(300)))")"
slots=()
for slot in 0 1 2 3 4 5 6 7 8 9; do slots+=("$slot:32:$((59 + slot)):$steps"); done
make_profile 1 "${slots[@]}"
start_peer "MIVO OSD" osd.log
start_hookprobe "$hook_log"
start_agent

# --- A lock at 50 % of the download: the download runs to its end, then the closing steps. ---
kbsim reset >/dev/null
start_agent_job 1 1 loading1.log
wait_log_line "$QELT_SCENARIO_DIR/loading1.log" 'msg=0x7eb wParam=0x1 lParam=0x32' 15 >/dev/null
post_agent $LOCK 7 0
finish_agent_job 40
wait_kbsim_state hooked no 10
wait_config DEVICEPSTATS 0 10
expect_download_of 1
expect_tables_clean 2 >/dev/null
codes="$(kbsim_journal_codes)"
expect_match "$codes" '002224A4 (00222408 )*00222404 $' "the key map sent last before the unhook"
diag_has agent "not updated" && fail "the download counted as failed"
post_agent $LOCK 8 0
wait_kbsim_state hooked yes 10
wait_config DEVICEPSTATS 1 10

# --- P1, P3, P5, P3 clicked while a download runs: the keyboard and the agent end on P3. ---
kbsim reset >/dev/null
start_agent_job 1 1 loading2.log
wait_log_line "$QELT_SCENARIO_DIR/loading2.log" 'msg=0x7eb wParam=0x1 lParam=0x19' 15 >/dev/null
for profile in 0 2 4 2; do
    write_config "$profile" 1 1  # the editor writes the file before it asks
    post_agent 0x7EA 3 "$profile"
done
finish_agent_job 40
wait_kbsim_state current_profile 3 10
expect_eq "$(kbsim journal | grep -c '^00222544')" 1 "set-profile requests sent after the download"
# The agent's own current profile is P3 too: the lock writes its record back.
post_agent $LOCK 7 0
wait_config DEVICEPSTATS 0 10
expect_config CURRENTPROFILE 2
post_agent $LOCK 8 0
wait_kbsim_state hooked yes 10

# --- The driver stops and starts again while the agent runs. ---
device_down
post_agent WM_DEVICECHANGE 7 0  # what Windows sends when a device goes
wait_diag agent "device check failed" 10 >/dev/null
wait_config DEVICEPSTATS 0 10
device_up
# No notification when it comes back: the agent's own attempts find it (2 s, then 4 s...).
wait_kbsim_state hooked yes 20
wait_config DEVICEPSTATS 1 10
inject 01F4
wait_config CURRENTPROFILE 3 10
_shown() { osd_texts "$osd_log" | grep -qx "Profile 4"; }
wait_until 10 "Profile 4 on the display" _shown
# And with a notification when it comes back: found 2 s later.
device_down
post_agent WM_DEVICECHANGE 7 0
wait_config DEVICEPSTATS 0 10
device_up
post_agent WM_DEVICECHANGE 7 0
wait_kbsim_state hooked yes 10

# --- A held volume key and a keyboard-back notice, then a lock: the taps stop, no icon comes. ---
taps() { grep -c 'key vk=0xaf .*flags=0x10 ' "$hook_log" || true; }
inject E900
wait_log_count "$hook_log" 'key vk=0xaf .*flags=0x10 ' 3 5 >/dev/null
inject 00BD
post_agent $LOCK 7 0
wait_config DEVICEPSTATS 0 10
after_lock="$(taps)"
# Watched for 1.5 s: a running repeat taps every 100 ms, the notice would have shown after 1 s.
end=$((SECONDS + 2))
while [ $SECONDS -lt $end ]; do
    [ "$(taps)" -le $((after_lock + 1)) ] || fail "volume taps go on after the lock: $(taps) after $after_lock"
    [ "$(config_value DEVICEPSTATS)" = 0 ] || fail "DEVICEPSTATS written 1 with the device closed"
    agent_answers_within 1000 || fail "the agent does not answer"
done
post_agent $LOCK 8 0
wait_kbsim_state hooked yes 10

stop_agent
scenario_pass
