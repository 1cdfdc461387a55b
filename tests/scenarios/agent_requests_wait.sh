#!/usr/bin/env bash
# The agent's window keeps answering while the editor's requests run or wait: requests without a
# "DLGLoading" window wait on a timer instead of holding the window, wait their turn in order
# (a repeat of the last one waiting is not queued twice), and a media key pressed during a
# download acts before the download ends.
source "$(dirname "${BASH_SOURCE[0]}")/../harness/lib.sh"
scenario_begin

hook_log="$QELT_SCENARIO_DIR/hook.log"
loading_log="$QELT_SCENARIO_DIR/loading.log"
_skipped_once() { [ "$(diag_count agent 'no "DLGLoading" window appeared')" -ge 1 ]; }

device_up
reset_data_dir
write_config 0 1 1
make_profile 1 0:32:59:04/1,04/0
make_profile 2 0:32:59:05/1,05/0
start_hookprobe "$hook_log"
start_agent
kbsim reset >/dev/null

# Three requests and no dialog: each would have held the window for its whole bounded wait.
close_window DLGLoading
post_agent 0x7EA 1 0
post_agent 0x7EA 1 1
post_agent 0x7EA 1 1
post_agent 0x7EA 2 2
for _ in 1 2 3; do
    agent_answers_within 1000 || fail "the agent's window did not answer WM_NULL within 1 s"
done
wait_diag agent "request 1 for profile 1 is already waiting" 5 >/dev/null
# The first request gives up after its 10 s; then a dialog appears and the other two run, in order.
wait_until 15 "the first request given up" _skipped_once
start_peer DLGLoading "$loading_log"
wait_log_count "$loading_log" 'msg=0x7eb wParam=0x0 lParam=0x0' 2 20 >/dev/null
expect_eq "$(progress_of "$loading_log")" "1,25 1,50 1,75 1,100 0,0 1,25 1,50 1,75 1,100 0,0 " "progress of the two jobs"
journal="$(kbsim journal)"
expect_eq "$(grep -v '^00222408' <<<"$journal" | cut -d' ' -f1-2 | tr '\n' ' ')" \
    "00222480 02 00222494 0A 00222480 02 0022249C 84 00222480 02 002224A4 0A 00222480 03 002224A4 0A 00222480 01 00222544 01 " \
    "download of profile 1, then reset of profile 2 (profile 0 current)"
expect_eq "$(diag_count agent 'no "DLGLoading" window appeared')" 1 "requests given up"
close_window DLGLoading

# A media key in the middle of a download acts at once, not after the download.
kbsim reset >/dev/null
start_agent_job 1 2 loading2.log
wait_log_line "$QELT_SCENARIO_DIR/loading2.log" 'msg=0x7eb wParam=0x1 lParam=0x19' 10 >/dev/null
inject B500
key="$(wait_log_line "$hook_log" 'key vk=0xb0 .*flags=0x11 ' 5)"
agent_answers_within 1000 || fail "the agent's window did not answer WM_NULL during a download"
done_line="$(wait_log_line "$QELT_SCENARIO_DIR/loading2.log" 'msg=0x7eb wParam=0x0 lParam=0x0' 20)"
[ "$(log_field "$key" t)" -lt "$(log_field "$done_line" t)" ] ||
    fail "the media key acted only after the download: key $key, end $done_line"
finish_agent_job

stop_agent
scenario_pass
