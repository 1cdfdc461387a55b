#!/usr/bin/env bash
# Editor figures under Wine with the real agent and the simulated keyboard: start time next to a
# trivial window program's (the floor), private memory, profile switch, and Apply & Close next to
# the sum of the fixed pauses and timer periods of both programs.
# Usage: bench/editor_bench.sh [STARTS]   (after scripts/build.sh; uses this checkout's prefix)
set -euo pipefail
source "$(dirname "$0")/bench_env.sh"
probe="$root/build/bench/editor_probe.exe"
tool="$root/build/devtools/qelt_testtool.exe"
starts="${1:-10}"
agent_pid=""

stop_agent() {
  [ -n "$agent_pid" ] || return 0
  wine "$tool" post "Func QELT HID" WM_CLOSE 0 0 >/dev/null 2>&1 || true
  wait "$agent_pid" 2>/dev/null || true
  agent_pid=""
}
finish() {
  set +e
  wine "$tool" post "Zorvane Gear QELT Settings" WM_CLOSE 0 0 >/dev/null 2>&1
  stop_agent
  bench_end
}
trap finish EXIT

start_agent() {
  (cd "$out" && exec wine ./QELT_Core.exe >/dev/null 2>&1) &
  agent_pid=$!
  wine "$tool" wait "Func QELT HID" --timeout 20000 >/dev/null
  wine "$tool" send "Func QELT HID" WM_NULL 0 0 --timeout 20000 >/dev/null
}
# Screen centre of a main-window button (the window sits at the screen's origin).
centre() {
  local value name l t w h
  value="$(tr -d '\r' <"$out/Skins/main.ini" | sed -n "/^\[$1\]/,/^\[/p" | grep -m1 "^$2=" | cut -d= -f2)"
  IFS=, read -r name l t w h _ <<<"$value"
  echo "$((l + w / 2)) $((t + h / 2))"
}

for t in "Func QELT HID" "Zorvane Gear QELT Settings"; do
  if wine "$tool" find "$t" >/dev/null 2>&1; then echo "bench: \"$t\" is already running in this prefix; stop it first" >&2; exit 1; fi
done
wine "$root/build/devtools/kbsim/kbsim.exe" install >/dev/null 2>&1 || true
wine "$root/build/devtools/kbsim/kbsim.exe" start >/dev/null
data="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Roaming/Mivo"
mkdir -p "$data"
printf '[CONFIG]\r\nCURRENTPROFILE=0\r\nLIGHT=1\r\nDEVICEPSTATS=1\r\n' >"$data/Config.config"
editor="$(winepath -w "$out/QELT_Settings.exe" 2>/dev/null | tr -d '\r')"

echo "== QELT_Settings under Wine $(wine --version 2>/dev/null), $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
start_agent
wine "$probe" floor "$starts" | tr -d '\r'
wine "$probe" start "$editor" "$starts" | tr -d '\r'
stop_agent

# The agent wrote DEVICEPSTATS=0 as it ended; the editor must find the keyboard reported present.
printf '[CONFIG]\r\nCURRENTPROFILE=0\r\nLIGHT=1\r\nDEVICEPSTATS=1\r\n' >"$data/Config.config"
# The probe plays the agent's window, so the time includes the request's arrival.
wine "$probe" switch "$editor" $(centre BUTTONINFO 4) $(centre BUTTONINFO 5) 20 | tr -d '\r'
printf '[CONFIG]\r\nCURRENTPROFILE=0\r\nLIGHT=1\r\nDEVICEPSTATS=1\r\n' >"$data/Config.config"
rm -f "$data"/Profile0  # profile 1 from scratch: M1 free, keys A and S free
# Slot M1, keys A and S (KEYS entries 79 and 80 in the shipped skin: key indices 59 and 60), M1's label.
wine "$probe" assign "$editor" $(centre BUTTONINFO 24) $(centre KEYS 79) $(centre KEYS 80) $(centre BUTTONINFO 14) 20 | tr -d '\r'

start_agent
for run in 1 2 3; do
  (cd "$out" && exec wine ./QELT_Settings.exe >/dev/null 2>&1) &
  editor_pid=$!
  wine "$tool" wait "Zorvane Gear QELT Settings" --visible --timeout 30000 >/dev/null
  wine "$tool" send "Zorvane Gear QELT Settings" WM_NULL 0 0 --timeout 30000 >/dev/null
  wine "$probe" apply $(centre BUTTONINFO 12) | tr -d '\r'
  wait "$editor_pid" 2>/dev/null || true
done
# Dialog start timer 10 ms + job timer 500 ms + pause between the requests 500 ms + the agent's
# download of a profile without macros (its fixed pauses, bench/device_bench.sh) 3600 ms.
echo "apply: fixed pauses and timer periods of both programs: 4610.0 ms"
