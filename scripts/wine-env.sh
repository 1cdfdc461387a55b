# Sourced by the project's scripts: one private Wine prefix per checkout, one persistent
# wineserver for it, torn down by its own `wineserver -k` only.
QELT_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export WINEPREFIX="${WINEPREFIX:-$QELT_ROOT/.wine}"
export WINEARCH=win64
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

wine_server_pidfile() { echo "$WINEPREFIX/.qelt-wineserver.pid"; }

# The wineserver process whose environment names this prefix (several prefixes may be running).
wine_server_of_prefix() {
  local cand
  for cand in $(pgrep -x wineserver -U "$(id -u)" 2>/dev/null) $(pgrep -x wineserver64 -U "$(id -u)" 2>/dev/null); do
    if { tr '\0' '\n' < "/proc/$cand/environ"; } 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX"; then
      echo "$cand"; return
    fi
  done
}

wine_server_running() {
  local pid
  pid="$(cat "$(wine_server_pidfile)" 2>/dev/null)" || return 1
  [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null
}

# Creates the prefix on first use, starts the persistent server and warms it up.
wine_up() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "wine: creating prefix $WINEPREFIX" >&2
    mkdir -p "$WINEPREFIX"
    wineboot -i </dev/null >/dev/null 2>&1 || true
    wineserver -w
    # No window manager under Xvfb: without these, hiding a window stalls waiting for one.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f </dev/null >/dev/null 2>&1
    wineserver -w
  fi
  if ! wine_server_running; then
    setsid wineserver -p </dev/null >/dev/null 2>&1 &
    # `wineserver -p` forks; remember the server process that serves this prefix.
    local deadline=$((SECONDS + 20)) pid=""
    while [ -z "$pid" ] && [ $SECONDS -lt $deadline ]; do
      pid="$(wine_server_of_prefix)"
      [ -n "$pid" ] || sleep 0.1
    done
    echo "$pid" > "$(wine_server_pidfile)"
    # The warm-up runs start Wine's services and the desktop process now, so they do not inherit
    # a test's pipes later (the first program that makes a window would start the desktop, and
    # CTest would wait on its output until the time limit).
    wine cmd /c exit </dev/null >/dev/null 2>&1 || true
    wine rundll32.exe user32.dll,GetDesktopWindow </dev/null >/dev/null 2>&1 || true
  fi
}

wine_down() {
  if wine_server_running; then
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
  fi
  rm -f "$(wine_server_pidfile)"
}
