#!/usr/bin/env bash
# Prints the scenario harness's own costs, to set other measurements against: the start-up
# time of one testtool command, and how long a key injected with SendInput, a posted message
# and a WM_COPYDATA take to reach a hook or a window in another process (same clock: t=).
#   bash bench/harness_latency.sh [SAMPLES]
source "$(dirname "${BASH_SOURCE[0]}")/../tests/harness/lib.sh"
scenario_begin harness_latency
samples="${1:-20}"

# median and max of the numbers on stdin
summary() {
    local values count
    mapfile -t values < <(sort -n)
    count=${#values[@]}
    echo "median ${values[$((count / 2))]} max ${values[$((count - 1))]} (n=$count)"
}

elapsed_ms() {
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null
    end=$(date +%s%N)
    echo $(((end - start) / 1000000))
}

for ((i = 0; i < samples; i++)); do elapsed_ms tt now; done | summary | sed 's/^/testtool command start-up, ms: /'

title="Latency Probe $$"
log="$QELT_SCENARIO_DIR/probe.log"
start_testtool probe window "$title" --log "$log"
wait_window "$title" 15
hook_log="$QELT_SCENARIO_DIR/hook.log"
start_testtool hook hookprobe --log "$hook_log" --title "Latency Hook $$"
wait_window "Latency Hook $$" 15

for ((i = 1; i <= samples; i++)); do
    sent="$(tt post "$title" WM_APP "$i" 0 --time)"
    line="$(wait_log_line "$log" "^msg msg=0x8000 wParam=$(printf '0x%x' "$i") ")"
    echo $(($(log_field "$line" t) - ${sent#t=}))
done | summary | sed 's/^/PostMessage to a window of another process, us: /'

for ((i = 1; i <= samples; i++)); do
    sent="$(tt copydata "$title" "$i" --hex 00112233 --time | sed -n 's/^t=//p')"
    line="$(wait_log_line "$log" "^copydata .*dwData=$(printf '0x%x' "$i") ")"
    echo $(($(log_field "$line" t) - sent))
done | summary | sed 's/^/WM_COPYDATA (4 bytes) to a window of another process, us: /'

# F13 down and up per sample; each key-down is matched with its own line by order.
for ((i = 1; i <= samples; i++)); do
    sent="$(tt key 0x7C)"
    wait_log_count "$hook_log" '^key vk=0x7c .*flags=0x10 ' "$i" >/dev/null
    line="$(grep -E '^key vk=0x7c .*flags=0x10 ' "$hook_log" | sed -n "${i}p")"
    echo $(($(log_field "$line" t) - ${sent#t=}))
done | summary | sed 's/^/SendInput key to a low-level keyboard hook, us: /'

post_message "Latency Hook $$" WM_CLOSE 0 0
post_message "$title" WM_CLOSE 0 0
wait_gone "$title"
scenario_pass
