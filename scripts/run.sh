#!/usr/bin/env bash
# Builds the suite and runs it under Wine on the simulated keyboard: installs and starts the
# keyboard stand-in, starts the agent QELT_Core, presses profile key 3 on the simulated keyboard
# and saves a screenshot of the on-screen display, then opens the editor QELT_Settings and saves
# a screenshot of it. On a terminal it then waits for Enter, so both can be tried by hand;
# otherwise it ends there.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
scripts/setup.sh
scripts/build.sh

source scripts/wine-env.sh
source scripts/xvfb.sh
out="$root/build/out"
run="$root/build/run"
mkdir -p "$run"
kbsim() { wine "$out/kbsim/kbsim.exe" "$@" </dev/null | tr -d '\r'; }
testtool() { wine "$out/qelt_testtool.exe" "$@" </dev/null | tr -d '\r'; }

agent_pid=""
editor_pid=""
cleanup() {
  if [ -n "$editor_pid" ]; then
    testtool post "Zorvane Gear QELT Settings" WM_CLOSE 0 0 >/dev/null 2>&1 || true
    for _ in $(seq 50); do kill -0 "$editor_pid" 2>/dev/null || break; sleep 0.1; done
    kill "$editor_pid" 2>/dev/null || true
  fi
  if [ -n "$agent_pid" ]; then
    testtool post "Func QELT HID" WM_CLOSE 0 0 >/dev/null 2>&1 || true
    for _ in $(seq 50); do kill -0 "$agent_pid" 2>/dev/null || break; sleep 0.1; done
    kill "$agent_pid" 2>/dev/null || true
  fi
  kbsim stop >/dev/null 2>&1 || true
  if [ -n "$QELT_XVFB_PID" ]; then wine_down; xvfb_stop; fi
}
trap cleanup EXIT

if [ -z "${DISPLAY:-}" ]; then
  wine_down   # a server started without a display keeps the wrong desktop
  xvfb_start
  echo "run: no display here; started Xvfb on $DISPLAY"
fi
wine_up

echo "run: installing and starting the simulated keyboard"
kbsim install >/dev/null
kbsim start >/dev/null

echo "run: starting QELT_Core (diagnostics in $run/agent.log)"
(cd "$out" && QELT_DIAG_STDERR=1 exec wine ./QELT_Core.exe </dev/null >"$run/agent.log" 2>&1) &
agent_pid=$!
testtool wait "Func QELT HID" --timeout 20000 >/dev/null
kbsim wait hooked 20000 >/dev/null
echo "run: the agent has the keyboard open: $(kbsim state | grep -E '^hooked ')"

echo "run: pressing profile key 3 on the simulated keyboard"
kbsim inject 01F3 >/dev/null
testtool wait "MIVO OSD" --visible --timeout 10000 >/dev/null
sleep 0.5   # let the display fade in before the picture is taken
import -display "$DISPLAY" -window root "$run/demo.png"
echo "run: screenshot of the display: $run/demo.png"
config="$(find "$WINEPREFIX/drive_c/users" -path '*/AppData/Roaming/Mivo/Config.config' 2>/dev/null | head -n 1)"
echo "run: $config says: $(grep -i '^CURRENTPROFILE' "$config" 2>/dev/null | tr -d '\r')"

echo "run: starting QELT_Settings (diagnostics in $run/editor.log)"
(cd "$out" && QELT_DIAG_STDERR=1 exec wine ./QELT_Settings.exe </dev/null >"$run/editor.log" 2>&1) &
editor_pid=$!
testtool wait "Zorvane Gear QELT Settings" --visible --timeout 30000 >/dev/null
testtool send "Zorvane Gear QELT Settings" WM_NULL 0 0 --timeout 30000 >/dev/null
import -display "$DISPLAY" -window root -crop 1000x632+0+0 "$run/editor.png"
echo "run: screenshot of the editor: $run/editor.png"

if [ -t 0 ]; then
  cat <<EOT

The agent and the editor are running on display $DISPLAY with the simulated keyboard. Program a
key in the editor (a VNC viewer or xdotool on that display): click M1, click a key of the
keyboard picture, click the label beside M1 and choose a function (Macro opens the recorder:
Record, type, Stop, OK), then Apply. In another shell:
  cd $root && source scripts/wine-env.sh
  wine build/out/kbsim/kbsim.exe tables 1         # what the keyboard holds for profile 1
  wine build/out/kbsim/kbsim.exe journal          # every request the agent sent it
  wine build/out/kbsim/kbsim.exe inject 01F2      # profile key 2 (01F1-01F5): the editor follows
  wine build/out/kbsim/kbsim.exe inject B500      # a media key
  import -display $DISPLAY -window root shot.png
Press Enter to stop.
EOT
  read -r _
fi
