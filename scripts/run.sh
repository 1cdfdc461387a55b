#!/usr/bin/env bash
# Builds the suite and runs it under Wine on the simulated keyboard.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
scripts/setup.sh
scripts/build.sh
source scripts/wine-env.sh
if [ -z "${DISPLAY:-}" ]; then
  source scripts/xvfb.sh
  xvfb_start
  echo "run: no display; started Xvfb on $DISPLAY (screenshots: import -display $DISPLAY -window root shot.png)"
fi
wine_up
cd build/out
echo "run: starting QELT_Core and QELT_Settings from $(pwd)"
wine QELT_Core.exe &
wine QELT_Settings.exe
