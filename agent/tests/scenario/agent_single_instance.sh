#!/usr/bin/env bash
# A second start ends at once: no second window, no device request, no file written.
source "$(dirname "$0")/agent_lib.sh"

device_up
reset_data
write_config 1 1 1
start_agent
kbsim reset >/dev/null
before="$(md5sum "$CONFIG") $(stat -c %Y.%N "$CONFIG" 2>/dev/null || stat -c %Y "$CONFIG")"
files_before="$(ls -A "$DATA")"

# What any program start costs here, so the bound below measures the agent, not Wine.
base_ns=$(date +%s%N)
tool now >/dev/null
baseline_ms=$(( ($(date +%s%N) - base_ns) / 1000000 ))

start_ns=$(date +%s%N)
(cd "$OUT" && QELT_DIAG_STDERR=1 exec wine ./QELT_Core.exe >/dev/null 2>"$WORK/second.log") &
second=$!
deadline=$((SECONDS + 10))
while kill -0 "$second" 2>/dev/null && [ $SECONDS -lt $deadline ]; do sleep 0.02; done
kill -0 "$second" 2>/dev/null && { kill "$second"; fail "the second agent keeps running"; }
wait "$second"; code=$?
elapsed_ms=$(( ($(date +%s%N) - start_ns) / 1000000 ))
[ "$code" = 0 ] || fail "second agent ended with $code"
# The first agent's start-up pause alone is 2000 ms; the second never gets that far.
[ "$elapsed_ms" -lt $((baseline_ms + 1500)) ] || fail "the second agent took $elapsed_ms ms (a plain start $baseline_ms ms)"
[ ! -s "$WORK/second.log" ] || fail "the second agent wrote: $(cat "$WORK/second.log")"
[ "$(tool list | grep -cF "$AGENT_TITLE")" = 1 ] || fail "windows: $(tool list | grep -F "$AGENT_TITLE")"
after="$(md5sum "$CONFIG") $(stat -c %Y.%N "$CONFIG" 2>/dev/null || stat -c %Y "$CONFIG")"
[ "$before" = "$after" ] || fail "Config.config changed"
[ "$files_before" = "$(ls -A "$DATA")" ] || fail "data folder changed"
[ -z "$(kbsim journal)" ] || fail "the second agent reached the keyboard: $(kbsim journal)"

stop_agent
echo "PASS"
