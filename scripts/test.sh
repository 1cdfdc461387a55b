#!/usr/bin/env bash
# Runs every test: unit and integration tests under Wine (with a private Xvfb for windows), and
# the native build's tests under sanitizers and its fuzzers. Installs what is missing.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
scripts/setup.sh
scripts/build.sh

# The native build and its tests run beside the Wine tests, at a lower priority: the Wine tests
# spend most of their time waiting on windows, timers and the simulated keyboard, and the
# scenarios, which share one Wine session, run one at a time anyway.
native_log="$root/build/native-tests.log"
set -m  # its own process group, so an interrupted run stops it too
( set +e
  nice -n 10 scripts/build.sh --native-only || exit 1
  nice -n 10 ctest --test-dir build-native -j2 --output-on-failure --timeout 300
) >"$native_log" 2>&1 &
native_pid=$!
set +m

source scripts/wine-env.sh
source scripts/xvfb.sh
cleanup() { kill -- -"$native_pid" 2>/dev/null || true; wine_down; xvfb_stop; }
trap cleanup EXIT
# A server started earlier without this display would keep the wrong desktop: start afresh.
wine_down
xvfb_start
wine_up

status=0
# A test that fails is run once more: a Wine process now and then fails to start at all on a
# loaded machine (no output, exit in 10 ms). A test that fails twice fails the run.
ctest --test-dir build -j2 --output-on-failure --timeout 300 --repeat until-pass:2 || status=1

wait "$native_pid" || status=1
echo "---- native build and tests (build/native-tests.log)"
cat "$native_log"
exit $status
