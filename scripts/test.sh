#!/usr/bin/env bash
# Runs every test: unit and integration tests under Wine (with a private Xvfb for windows),
# then the native build's tests under sanitizers and its fuzzers. Installs what is missing.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
scripts/setup.sh
scripts/build.sh --native

source scripts/wine-env.sh
source scripts/xvfb.sh
cleanup() { wine_down; xvfb_stop; }
trap cleanup EXIT
# A server started earlier without this display would keep the wrong desktop: start afresh.
wine_down
xvfb_start
wine_up

status=0
# A test that fails is run once more: a Wine process now and then fails to start at all on a
# loaded machine (no output, exit in 10 ms). A test that fails twice fails the run.
ctest --test-dir build -j2 --output-on-failure --timeout 300 --repeat until-pass:2 || status=1
ctest --test-dir build-native -j2 --output-on-failure --timeout 300 || status=1
exit $status
