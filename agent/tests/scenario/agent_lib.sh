# Sourced by the agent's scenario scripts: start/stop the agent, imitate its peers, read its files.
# Needs the Wine prefix with its persistent server (scripts/wine-env.sh, wine_up) and an X display.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../../.." && pwd)"
OUT="${QELT_OUT:-$ROOT/build/out}"
# shellcheck source=/dev/null
source "$ROOT/scripts/wine-env.sh"

TOOL="$OUT/qelt_testtool.exe"
KBSIM="$OUT/kbsim/kbsim.exe"
AGENT_TITLE="Func QELT HID"
EDITOR_TITLE="Zorvane Gear QELT Settings"
WORK="$(mktemp -d "${TMPDIR:-/tmp}/qelt-agent.XXXXXX")"
AGENT_PID=""
HELPER_PIDS=()

if [ -z "${DISPLAY:-}" ]; then
  echo "SKIP: needs an X display (run under scripts/test.sh or with Xvfb)" >&2
  exit 77
fi

dump_logs() {
  for f in "$WORK"/*.log; do
    [ -f "$f" ] || continue
    echo "---- $(basename "$f")" >&2
    tail -n 40 "$f" >&2
  done
}

fail() {
  echo "FAIL: $*" >&2
  dump_logs
  exit 1
}

tool() { wine "$TOOL" "$@" 2>/dev/null | tr -d '\r'; }
kbsim() { wine "$KBSIM" "$@" 2>&1 | tr -d '\r'; }

# Polls until the command succeeds or timeout seconds pass.
wait_until() {
  local timeout="$1"; shift
  local deadline=$((SECONDS + timeout))
  until "$@"; do
    [ $SECONDS -lt "$deadline" ] || return 1
    sleep 0.05
  done
}

log_has() { grep -qF -- "$2" "$1" 2>/dev/null; }
wait_log() {  # FILE TEXT [TIMEOUT]
  wait_until "${3:-15}" log_has "$1" "$2" || fail "no '$2' in $(basename "$1") within ${3:-15} s"
}

DATA="$(winepath -u "$(wine cmd /c echo %APPDATA% 2>/dev/null | tr -d '\r')" 2>/dev/null)/Mivo"
CONFIG="$DATA/Config.config"

config_value() {  # KEY -> value in section CONFIG (empty when missing)
  [ -f "$CONFIG" ] || return 0
  grep -i "^$1=" "$CONFIG" | head -n1 | cut -d= -f2 | tr -d '\r'
}
expect_config() {  # KEY VALUE
  local got; got="$(config_value "$1")"
  [ "$got" = "$2" ] || fail "Config.config $1=$got, expected $2"
}
wait_config() {  # KEY VALUE [TIMEOUT]
  wait_until "${3:-10}" test "$(config_value "$1")" = "$2" 2>/dev/null \
    || { local got; got="$(config_value "$1")"; [ "$got" = "$2" ] || fail "Config.config $1=$got, expected $2"; }
}

# A fresh data folder holding only what the scenario writes.
reset_data() {
  rm -rf "$DATA"
  mkdir -p "$DATA"
}
write_config() {  # CURRENTPROFILE LIGHT DEVICEPSTATS
  printf '[CONFIG]\r\nCURRENTPROFILE=%s\r\nLIGHT=%s\r\nDEVICEPSTATS=%s\r\n' "$1" "$2" "$3" > "$CONFIG"
}

window_exists() { tool find "$1" >/dev/null; }

close_window() {  # TITLE: post WM_CLOSE and wait until it is gone
  if window_exists "$1"; then
    tool post "$1" WM_CLOSE 0 0 >/dev/null || true
    tool wait-gone "$1" --timeout 10000 >/dev/null || true
  fi
}

device_up() {
  kbsim install >/dev/null || fail "kbsim install"
  kbsim start >/dev/null || fail "kbsim start"
  kbsim reset >/dev/null || fail "kbsim reset"
}
device_down() { kbsim stop >/dev/null || true; }

# Starts the agent with its diagnostics in agent.log and waits until its start-up has finished
# (the device status is written at the end of it).
start_agent() {
  close_window "$AGENT_TITLE"
  : > "$WORK/agent.log"
  (cd "$OUT" && QELT_DIAG_STDERR=1 exec wine ./QELT_Core.exe >/dev/null 2>"$WORK/agent.log") &
  AGENT_PID=$!
  wait_until 20 grep -qE "write device (existing|NULL)" "$WORK/agent.log" \
    || fail "agent start-up did not finish"
  tool wait "$AGENT_TITLE" --timeout 5000 >/dev/null || fail "no agent window"
  # The window answers once its creation has returned (the status is written after the diagnostic).
  tool send "$AGENT_TITLE" WM_NULL 0 0 --timeout 20000 >/dev/null || fail "agent window does not answer"
}

stop_agent() {
  [ -n "$AGENT_PID" ] || return 0
  close_window "$AGENT_TITLE"
  local deadline=$((SECONDS + 15))
  while kill -0 "$AGENT_PID" 2>/dev/null && [ $SECONDS -lt $deadline ]; do sleep 0.05; done
  kill -0 "$AGENT_PID" 2>/dev/null && fail "agent did not end"
  wait "$AGENT_PID" 2>/dev/null || true
  AGENT_PID=""
}

# A window imitating a peer (editor, "DLGLoading", display); its messages go to LOG.
start_peer() {  # TITLE LOG [extra testtool options]
  local title="$1" log="$2"; shift 2
  : > "$log"
  wine "$TOOL" window "$title" --log "$log" --hidden "$@" >/dev/null 2>&1 &
  HELPER_PIDS+=($!)
  wait_log "$log" "ready" 10
}

start_hookprobe() {  # LOG
  : > "$1"
  wine "$TOOL" hookprobe --log "$1" >/dev/null 2>&1 &
  HELPER_PIDS+=($!)
  wait_log "$1" "ready" 10
}

post_agent() { tool post "$AGENT_TITLE" "$@" >/dev/null || fail "post to the agent: $*"; }

cleanup() {
  local status=$?
  set +e
  if [ -n "$AGENT_PID" ] && kill -0 "$AGENT_PID" 2>/dev/null; then
    tool post "$AGENT_TITLE" WM_CLOSE 0 0 >/dev/null
    local deadline=$((SECONDS + 10))
    while kill -0 "$AGENT_PID" 2>/dev/null && [ $SECONDS -lt $deadline ]; do sleep 0.05; done
    kill "$AGENT_PID" 2>/dev/null
  fi
  for title in "MIVO OSD" "DLGLoading" "$EDITOR_TITLE" "QELT Hook Probe"; do
    tool find "$title" >/dev/null && tool post "$title" WM_CLOSE 0 0 >/dev/null
  done
  for pid in "${HELPER_PIDS[@]}"; do
    local deadline=$((SECONDS + 5))
    while kill -0 "$pid" 2>/dev/null && [ $SECONDS -lt $deadline ]; do sleep 0.05; done
    kill "$pid" 2>/dev/null
  done
  wait 2>/dev/null
  [ $status -eq 0 ] && rm -rf "$WORK"
  exit $status
}
trap cleanup EXIT

# Progress messages a "DLGLoading" imitation received, as "wParam,lParam" lines.
progress_of() {  # LOG
  grep -o 'msg=0x7eb wParam=0x[0-9a-f]* lParam=0x[0-9a-f]*' "$1" \
    | sed -E 's/.*wParam=0x([0-9a-f]+) lParam=0x([0-9a-f]+)/\1,\2/' \
    | while IFS=, read -r w l; do echo "$((16#$w)),$((16#$l))"; done | tr '\n' ' '
}
