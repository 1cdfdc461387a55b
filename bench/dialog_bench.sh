#!/usr/bin/env bash
# Builds the dialog benchmark when needed and runs it under Wine on a display: creation to first
# paint of the repeat options and the macro editor (median of N rounds, default 10).
#   bench/dialog_bench.sh [rounds]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
rounds="${1:-10}"
cmake -S . -B build -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null 2>&1 || { echo "configure failed" >&2; exit 1; }
ninja -C build -j2 dialog_bench skin_files qelt_key_table >/dev/null
source scripts/wine-env.sh
source scripts/xvfb.sh
if [ -z "${DISPLAY:-}" ]; then
  # Our own display; the prefix's server must start with it.
  cleanup() { wine_down; xvfb_stop; }
  trap cleanup EXIT
  wine_down
  xvfb_start
fi
wine_up
wine build/out/dialog_bench.exe "$rounds" </dev/null | tr -d '\r'
