#!/usr/bin/env bash
# The download dialog follows the agent: a stand-in agent that takes the reload and the download
# request and then ends makes the dialog close at once, not after the 20 s time limit. Nothing
# reached the keyboard, so Apply and close leaves the editor open with the edits still pending.
source "$(dirname "${BASH_SOURCE[0]}")/../harness/lib.sh"
scenario_begin

reset_data_dir
write_config 0 1 1
agent_log="$QELT_SCENARIO_DIR/agent.log"
start_peer "$QELT_AGENT_TITLE" agent.log
start_editor
wait_log_line "$agent_log" 'msg=0x7ea wParam=0x3 lParam=0x0' >/dev/null

click_editor BUTTONINFO 12
wait_window DLGLoading 15
wait_log_line "$agent_log" 'msg=0x7ea wParam=0x0 lParam=0x0' 10 >/dev/null
wait_log_line "$agent_log" 'msg=0x7ea wParam=0x1 lParam=0x0' 10 >/dev/null
start_ns=$(date +%s%N)
close_window "$QELT_AGENT_TITLE"
wait_gone DLGLoading 5
note "the dialog closed $((($(date +%s%N) - start_ns) / 1000000)) ms after the agent's window"
wait_diag editor "the agent ended before it had finished" 5 >/dev/null
program_running editor || fail "Apply and close ended the editor although nothing reached the keyboard"

# The edits still count as not applied: another profile asks first.
click_profile 1
wait_dialog
answer_warning 3 2
wait_config CURRENTPROFILE 1
scenario_pass
