#!/usr/bin/env bash
# A second start ends at once: no second window, no device request, no file written.
source "$(dirname "${BASH_SOURCE[0]}")/../harness/lib.sh"
scenario_begin

device_up
reset_data_dir
write_config 1 1 1
start_agent
kbsim reset >/dev/null
config_state() { md5sum "$(config_file)"; stat -c %Y.%N "$(config_file)" 2>/dev/null || stat -c %Y "$(config_file)"; }
before="$(config_state)"
files_before="$(ls -A "$(qelt_data_dir)")"

# What any program start costs here, so the bound below measures the agent, not Wine.
base_ns=$(date +%s%N)
tt now >/dev/null
baseline_ms=$(( ($(date +%s%N) - base_ns) / 1000000 ))

start_ns=$(date +%s%N)
start_program second QELT_Core.exe
expect_exit second 0 10
elapsed_ms=$(( ($(date +%s%N) - start_ns) / 1000000 ))
# The first agent's start-up pause alone is 2000 ms; the second never gets that far.
[ "$elapsed_ms" -lt $((baseline_ms + 1500)) ] || fail "the second agent took $elapsed_ms ms (a plain start $baseline_ms ms)"
[ ! -s "$(diag_file second)" ] || fail "the second agent wrote: $(cat "$(diag_file second)")"
expect_eq "$(tt list | grep -cF "$QELT_AGENT_TITLE")" 1 "agent windows"
expect_eq "$(config_state)" "$before" "Config.config"
expect_eq "$(ls -A "$(qelt_data_dir)")" "$files_before" "data folder"
expect_eq "$(kbsim journal)" "" "requests of the second agent"

stop_agent
scenario_pass
