#!/usr/bin/env bash
# Program profiles: the time from a front-window change to the simulated keyboard receiving the
# set-profile request (median and p95 over 50 changes between a program with a rule and one
# without), and the agent's CPU over idle seconds with 50 rules and no change, and with no rules.
# Usage: bench/app_profiles_bench.sh [CHANGES] [IDLE_SECONDS]   (defaults 50 and 60; after
# scripts/build.sh; on the scenario library, work folder build/scenarios/app_profiles_bench)
source "$(dirname "${BASH_SOURCE[0]}")/../tests/harness/lib.sh"
scenario_begin app_profiles_bench

changes="${1:-50}"
idle="${2:-60}"
probe="$QELT_ROOT/build/bench/agent_probe.exe"
hz=$(getconf CLK_TCK)

# The Linux process running a Windows program of this prefix.
linux_pid_of() {
    local candidate
    for candidate in $(pgrep -f "$1" -U "$(id -u)"); do
        if tr '\0' '\n' <"/proc/$candidate/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX"; then
            echo "$candidate"
        fi
    done | tail -n 1
}
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
idle_cpu() {  # idle_cpu WHAT: the agent's CPU share over $idle seconds
    local pid before after ms
    pid="$(linux_pid_of QELT_Core.exe)"
    [ -n "$pid" ] || fail "no Linux process for the agent"
    before=$(cpu_ticks "$pid")
    sleep "$idle"  # the measured interval itself
    after=$(cpu_ticks "$pid")
    ms=$(((after - before) * 1000 / hz))
    echo "agent CPU over $idle idle seconds, $1: $ms ms ($(awk -v ms="$ms" -v s="$idle" 'BEGIN { printf "%.3f", ms / (s * 10) }') %)"
}

echo "== program profiles under Wine $(wine --version 2>/dev/null), $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
device_up
reset_data_dir
write_config 0 1 1
start_peer "MIVO OSD" osd.log
start_front_program other other.exe "Other Program" 860

start_agent
diag_has agent "following the front window" && fail "the agent watches the front window without rules"
idle_cpu "no rules (no watch, no timer)"
stop_agent

# 50 rules: 49 other programs, then agent_probe.exe (the probe's window) on profile 2.
python3 - "$(qelt_data_dir)/Programs.config" <<'PY'
import sys
lines = ["[PROGRAMS]"] + ["%d=%d|tool%02d.exe|" % (i + 1, 3 + i % 3, i) for i in range(49)] + ["50=2|agent_probe.exe|"]
open(sys.argv[1], "w", encoding="utf-16").write("\r\n".join(lines) + "\r\n")
PY
bring_to_front "Other Program"
start_agent
wait_diag "$AGENT_NAME" "Program profiles: 50 rule\\(s\\)" >/dev/null
grep -h "following the front window" "$(diag_file "$AGENT_NAME")" | sed 's/^/agent: /'
idle_cpu "50 rules, no front-window change"

wine "$probe" front "Other Program" "$changes" </dev/null | tr -d '\r'
if diag_has "$AGENT_NAME" "foreground events arrive"; then
    echo "path: foreground event hook"
else
    echo "path: poll of the foreground window (no foreground events delivered)"
fi
stop_agent
scenario_pass
