# Sourced: starts a private Xvfb on a free display and exports DISPLAY. xvfb_stop ends it by PID.
QELT_XVFB_PID=""

xvfb_start() {
  local fifo display
  fifo="$(mktemp -u)"; mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$fifo" >/dev/null 2>&1 &
  QELT_XVFB_PID=$!
  if ! read -r -t 20 display <"$fifo"; then
    rm -f "$fifo"; echo "xvfb: no display within 20 s" >&2; return 1
  fi
  rm -f "$fifo"
  export DISPLAY=":$display"
}

xvfb_stop() {
  if [ -n "$QELT_XVFB_PID" ]; then
    kill "$QELT_XVFB_PID" 2>/dev/null || true
    wait "$QELT_XVFB_PID" 2>/dev/null || true
    QELT_XVFB_PID=""
  fi
}
