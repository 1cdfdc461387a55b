#!/usr/bin/env bash
# Prints the stand-in's timings: installs and starts the driver in this checkout's prefix, runs
# the round-trip benchmark, then stops and uninstalls the driver. Run after scripts/build.sh.
set -euo pipefail
root="$(cd "$(dirname "$0")/../../.." && pwd)"
source "$root/scripts/wine-env.sh"
wine_up
kbsim="$root/build/devtools/kbsim/kbsim.exe"
wine "$kbsim" install >/dev/null
wine "$kbsim" start >/dev/null
trap 'wine "$kbsim" uninstall >/dev/null' EXIT
wine "$root/build/bench/kbsim_roundtrip.exe" "${1:-2000}"
