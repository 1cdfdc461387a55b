#!/usr/bin/env bash
# Soak run of the agent on the simulated keyboard (not part of CI): CYCLES cycles (default 200)
# taking turns at a driver stop/start, a session lock/unlock and a burst of device-change
# notifications, with a download of a long profile every tenth cycle. After each cycle a profile
# key is injected and must reach Config.config. Prints the longest time the agent stayed unhooked
# after the device was back (limit 5 s), lost events (must be 0), the agent's handle count and
# private memory at the first and the last cycle, and its CPU time over 30 s without a device
# (the back-off must not spin). Usage: bench/agent_soak.sh [CYCLES]   (after scripts/build.sh)
set -euo pipefail
source "$(dirname "$0")/bench_env.sh"
kbsim="$tools/kbsim/kbsim.exe"
tt="$tools/qelt_testtool.exe"
probe="$root/build/bench/agent_probe.exe"
cycles="${1:-200}"
agent_pid=""
loading_pid=""
work="$(mktemp -d)"
# The downloads need a profile of their own: the prefix's data folder is put back afterwards.
data="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Roaming/Mivo"
saved="$(mktemp -d)"

finish() {
  set +e
  if [ -n "$agent_pid" ] && kill -0 "$agent_pid" 2>/dev/null; then
    wine "$tt" post "Func QELT HID" WM_CLOSE 0 0 >/dev/null 2>&1
    wait "$agent_pid" 2>/dev/null
  fi
  if [ -n "$loading_pid" ] && kill -0 "$loading_pid" 2>/dev/null; then
    wine "$tt" post DLGLoading WM_CLOSE 0 0 >/dev/null 2>&1
    wait "$loading_pid" 2>/dev/null
  fi
  if [ -f "$saved/replaced" ]; then
    rm -rf "$data"
    [ -d "$saved/Mivo" ] && mv "$saved/Mivo" "$data"
  fi
  rm -rf "$saved" "$work"
  bench_end
}
trap finish EXIT

now_ms() { date +%s%3N; }
kb() { wine "$kbsim" "$@" </dev/null 2>/dev/null | tr -d '\r'; }
post() { wine "$tt" post "Func QELT HID" "$@" >/dev/null; }
current_profile() { sed -n 's/^CURRENTPROFILE=\([0-9-]*\).*/\1/p' "$data/Config.config" 2>/dev/null | tr -d '\r' | head -n1; }
linux_pid_of() {
  local cand
  for cand in $(pgrep -f "$1" -U "$(id -u)"); do
    if { tr '\0' '\n' < "/proc/$cand/environ"; } 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX"; then
      echo "$cand"
    fi
  done | tail -n1
}
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }

wine "$kbsim" install >/dev/null 2>&1
wine "$kbsim" start >/dev/null
if wine "$tt" find "Func QELT HID" >/dev/null 2>&1; then
  echo "soak: an agent is already running in this prefix; stop it first" >&2
  exit 1
fi
if [ -d "$data" ]; then cp -a "$data" "$saved/Mivo"; fi
touch "$saved/replaced"
rm -rf "$data"
mkdir -p "$data"
steps="$(python3 -c "print(','.join(['04/1', '04/0'][k % 2] for k in range(300)))")"
slots=()
for slot in 0 1 2 3 4 5 6 7 8 9; do slots+=("$slot:32:$((59 + slot)):$steps"); done
python3 "$root/tests/harness/make_profile.py" "$data/Profile1" "${slots[@]}"
printf '[CONFIG]\r\nCURRENTPROFILE=0\r\nLIGHT=1\r\nDEVICEPSTATS=1\r\n' > "$data/Config.config"

(cd "$out" && QELT_DIAG_STDERR=1 exec wine ./QELT_Core.exe >/dev/null 2>"$work/agent.diag") &
agent_pid=$!
wine "$tt" wait "Func QELT HID" --timeout 20000 >/dev/null
wine "$tt" send "Func QELT HID" WM_NULL 0 0 --timeout 20000 >/dev/null
kb wait hooked 20000 >/dev/null || { echo "soak: not hooked at start" >&2; exit 1; }
first_memory="$(wine "$probe" memory | tr -d '\r')"

longest=0
lost=0
downloads=0
for ((cycle = 1; cycle <= cycles; cycle++)); do
  case $((cycle % 3)) in
    0)  # the driver stops and starts again; Windows would announce both
      losses=$(grep -c "device check failed" "$work/agent.diag" || true)
      kb stop >/dev/null
      post WM_DEVICECHANGE 7 0
      # the agent sees it through its check; wait until it has given the handle up
      deadline=$((SECONDS + 10))
      while [ "$(grep -c "device check failed" "$work/agent.diag" || true)" -le "$losses" ] && [ $SECONDS -lt $deadline ]; do
        sleep 0.05
      done
      kb start >/dev/null
      back=$(now_ms)
      post WM_DEVICECHANGE 7 0
      ;;
    1)  # lock and unlock
      post WM_WTSSESSION_CHANGE 7 0
      kb wait unhooked 10000 >/dev/null || echo "soak: cycle $cycle: still hooked after the lock" >&2
      post WM_WTSSESSION_CHANGE 8 0
      back=$(now_ms)
      ;;
    2)  # a burst of device changes with the device open
      for _ in 1 2 3 4 5; do post WM_DEVICECHANGE 7 0; done
      back=$(now_ms)
      ;;
  esac
  if ! kb wait hooked 20000 >/dev/null; then
    echo "soak: cycle $cycle: not hooked 20 s after the device was back" >&2
    exit 1
  fi
  unhooked=$(($(now_ms) - back))
  [ "$unhooked" -le "$longest" ] || longest=$unhooked
  [ "$unhooked" -le 5000 ] || echo "soak: cycle $cycle: unhooked for $unhooked ms after the device was back" >&2
  if ((cycle % 10 == 0)); then
    # a download of the long profile, as the editor's dialog runs it
    (exec wine "$tt" window DLGLoading --hidden --log "$work/loading.log" >/dev/null 2>&1) &
    loading_pid=$!
    wine "$tt" wait DLGLoading --timeout 10000 >/dev/null
    post 0x7EA 0 0
    post 0x7EA 1 1
    downloads=$((downloads + 1))
  fi
  # a profile key: it must reach Config.config
  profile=$((cycle % 5))
  kb inject "01F$((profile + 1))" >/dev/null || { echo "soak: cycle $cycle: inject refused" >&2; lost=$((lost + 1)); }
  deadline=$((SECONDS + 10))
  while [ "$(current_profile)" != "$profile" ] && [ $SECONDS -lt $deadline ]; do sleep 0.05; done
  [ "$(current_profile)" = "$profile" ] || { echo "soak: cycle $cycle: profile key $((profile + 1)) lost" >&2; lost=$((lost + 1)); }
  if [ -n "$loading_pid" ]; then
    deadline=$((SECONDS + 30))
    while ! grep -q 'msg=0x7eb wParam=0x0 lParam=0x0' "$work/loading.log" 2>/dev/null && [ $SECONDS -lt $deadline ]; do sleep 0.1; done
    grep -q 'msg=0x7eb wParam=0x0 lParam=0x0' "$work/loading.log" || echo "soak: cycle $cycle: the download did not end" >&2
    wine "$tt" post DLGLoading WM_CLOSE 0 0 >/dev/null 2>&1 || true
    wait "$loading_pid" 2>/dev/null || true
    loading_pid=""
    rm -f "$work/loading.log"
  fi
done
last_memory="$(wine "$probe" memory | tr -d '\r')"

echo "== agent soak under Wine $(wine --version 2>/dev/null), $cycles cycles, $downloads downloads"
echo "longest unhooked after the device was back: $longest ms (limit 5000 ms)"
echo "profile keys lost: $lost"
echo "first: $first_memory"
echo "last:  $last_memory"

# Without a device: the agent's attempts back off; its CPU time stays near zero between them.
kb stop >/dev/null
post WM_DEVICECHANGE 7 0
lpid="$(linux_pid_of 'QELT_Core.exe')"
if [ -n "$lpid" ]; then
  sleep 3
  hz=$(getconf CLK_TCK)
  before=$(cpu_ticks "$lpid")
  sleep 30
  after=$(cpu_ticks "$lpid")
  attempts=$(grep -c "Cannot create device" "$work/agent.diag" || true)
  echo "agent CPU time over 30 s without a device: $(( (after - before) * 1000 / hz )) ms ($attempts open attempts in all)"
fi
kb start >/dev/null
