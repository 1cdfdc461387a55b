#!/usr/bin/env bash
# Prints the device path figures: encoder time, download and reset against the simulated keyboard.
# Usage: bench/device_bench.sh   (after scripts/build.sh; uses this checkout's Wine prefix)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
source "$root/scripts/wine-env.sh"
wine_up
kbsim="$root/build/devtools/kbsim/kbsim.exe"
wine "$kbsim" install >/dev/null
wine "$kbsim" start >/dev/null
status=0
wine "$root/build/bench/device_bench.exe" || status=$?
wine "$kbsim" uninstall >/dev/null || true
exit $status
