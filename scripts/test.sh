#!/usr/bin/env bash
# Runs every test: unit and integration tests under Wine (with private Xvfb displays for windows),
# and the native build's tests under sanitizers and its fuzzers. Installs what is missing.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
scripts/setup.sh

source scripts/wine-env.sh
source scripts/xvfb.sh
# Two Wine sessions, each a prefix with its own server on its own display: the scenarios, which
# run one at a time within a session, are split between them (tests/CMakeLists.txt labels every
# other one second_session).
first_prefix="$WINEPREFIX"
second_prefix="$root/.wine-second"
in_session() { local prefix="$1" display="$2"; shift 2; ( export WINEPREFIX="$prefix" DISPLAY="$display"; "$@" ); }
xvfb_pids=()
native_pid=""
cleanup() {
  [ -z "$native_pid" ] || kill -- -"$native_pid" 2>/dev/null || true
  in_session "$first_prefix" "${first_display:-}" wine_down
  in_session "$second_prefix" "${second_display:-}" wine_down
  local pid
  for pid in "${xvfb_pids[@]}"; do kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
}
trap cleanup EXIT
xvfb_start; first_display="$DISPLAY"; xvfb_pids+=("$QELT_XVFB_PID")
xvfb_start; second_display="$DISPLAY"; xvfb_pids+=("$QELT_XVFB_PID")
export DISPLAY="$first_display"
# A server started earlier without this display would keep the wrong desktop: start afresh. The
# sessions (a new prefix takes half a minute) come up while the programs build.
in_session "$first_prefix" "$first_display" wine_down
in_session "$second_prefix" "$second_display" wine_down
in_session "$first_prefix" "$first_display" wine_up & first_up=$!
in_session "$second_prefix" "$second_display" wine_up & second_up=$!

scripts/build.sh
wait "$first_up"; wait "$second_up"

# The native build and its tests run beside the Wine tests, at a lower priority: the Wine tests
# spend most of their time waiting on windows, timers and the simulated keyboard.
native_log="$root/build/native-tests.log"
set -m  # its own process group, so an interrupted run stops it too
( set +e
  nice -n 10 scripts/build.sh --native-only || exit 1
  nice -n 10 ctest --test-dir build-native -j2 --output-on-failure --timeout 300
) >"$native_log" 2>&1 &
native_pid=$!
set +m

# A test that fails is run once more: a Wine process now and then fails to start at all on a
# loaded machine (no output, exit in 10 ms). A test that fails twice fails the run.
wine_tests() { ctest --test-dir build --output-on-failure --timeout 300 --repeat until-pass:2 "$@"; }
second_log="$root/build/second-session-tests.log"
in_session "$second_prefix" "$second_display" wine_tests -L second_session -j1 >"$second_log" 2>&1 &
second_pid=$!

status=0
wine_tests -LE second_session -j2 || status=1

wait "$second_pid" || status=1
echo "---- scenarios of the second Wine session (build/second-session-tests.log)"
cat "$second_log"
wait "$native_pid" || status=1
echo "---- native build and tests (build/native-tests.log)"
cat "$native_log"
exit $status
