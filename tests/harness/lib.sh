# Scenario test harness, sourced by the scripts in tests/scenarios/ (see README.md here).
#
#   source "$(dirname "${BASH_SOURCE[0]}")/../harness/lib.sh"
#   scenario_begin                 # display, Wine server, work folder, teardown trap
#   start_program agent QELT_Core.exe
#   wait_window "Func QELT HID"
#   ...
#   scenario_pass
#
# Every wait has a deadline (seconds, scaled by QELT_TIMEOUT_SCALE); there are no fixed sleeps.
# Helpers that check something end the scenario with "FAIL[name]: ..." and exit status 1.

# shellcheck disable=SC2034  # variables set here for the scenarios (WINDOW_HWND, MENU_HWND...)

QELT_HARNESS_DIR="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
QELT_SOURCE_DIR="$(cd "$QELT_HARNESS_DIR/../.." && pwd)"
# shellcheck source=scripts/wine-env.sh
source "$QELT_SOURCE_DIR/scripts/wine-env.sh"
# shellcheck source=scripts/xvfb.sh
source "$QELT_SOURCE_DIR/scripts/xvfb.sh"

# Set by CTest (tests/CMakeLists.txt); the defaults serve a script run by hand.
: "${QELT_OUT:=$QELT_ROOT/build/out}"
: "${QELT_TESTS_DIR:=$QELT_ROOT/build/tests}"
: "${QELT_TIMEOUT_SCALE:=1}"
QELT_TESTTOOL="$QELT_OUT/qelt_testtool.exe"

QELT_SCENARIO_NAME=""
QELT_SCENARIO_DIR=""
declare -A QELT_PROGRAM_PIDS=()
QELT_PROGRAM_NAMES=()
QELT_OWNED_TITLES=()
QELT_TEARDOWN_HOOKS=()
QELT_OWNS_DISPLAY=0
QELT_SESSION_READY=0  # display and Wine server set up: the teardown may run Wine programs
QELT_SETUP_LOCK_FD=""
QELT_USERS_LOCK_FD=""

# ---------------------------------------------------------------------------------------------
# Messages and checks

note() { echo "scenario[$QELT_SCENARIO_NAME]: $*" >&2; }

fail() {
    echo "FAIL[$QELT_SCENARIO_NAME]: $*" >&2
    exit 1
}

# expect_eq ACTUAL EXPECTED WHAT
expect_eq() {
    [ "$1" = "$2" ] || fail "$3: expected '$2', got '$1'"
}

# expect_match TEXT REGEX WHAT
expect_match() {
    [[ "$1" =~ $2 ]] || fail "$3: '$1' does not match /$2/"
}

scenario_pass() {
    note "PASS"
    exit 0
}

# "1.5" as thousandths (1500); plain bash, so the harness needs no awk or bc.
_thousandths() {
    local whole="${1%%.*}" fraction=""
    [[ "$1" == *.* ]] && fraction="${1#*.}"
    fraction="${fraction}000"
    echo $((10#${whole:-0} * 1000 + 10#${fraction:0:3}))
}

# Seconds (fractions allowed) times QELT_TIMEOUT_SCALE, as whole milliseconds.
_timeout_ms() {
    echo $(($(_thousandths "$1") * $(_thousandths "$QELT_TIMEOUT_SCALE") / 1000))
}

_deadline_reached() {  # _deadline_reached START_MS TIMEOUT_MS
    local now
    now=$(date +%s%3N)
    [ $((now - $1)) -ge "$2" ]
}

# ---------------------------------------------------------------------------------------------
# Set-up and teardown

# scenario_begin [NAME]: must come first; turns on `set -euo pipefail` (a failing helper inside
# $(...) then ends the scenario too). Work folder: $QELT_SCENARIO_DIR (kept after the run).
scenario_begin() {
    set -euo pipefail
    QELT_SCENARIO_NAME="${1:-$(basename "$0" .sh)}"
    QELT_SCENARIO_DIR="${QELT_SCENARIO_WORK:-$QELT_ROOT/build/scenarios/$QELT_SCENARIO_NAME}"
    rm -rf "$QELT_SCENARIO_DIR"
    mkdir -p "$QELT_SCENARIO_DIR"
    trap _scenario_teardown EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM
    [ -f "$QELT_TESTTOOL" ] || fail "no $QELT_TESTTOOL (build first: scripts/build.sh)"
    _scenario_display_and_wine
    QELT_SESSION_READY=1
    note "DISPLAY=$DISPLAY WINEPREFIX=$WINEPREFIX work=$QELT_SCENARIO_DIR"
}

# Runs FUNCTION (with its arguments) at teardown, before the programs are closed.
on_teardown() { QELT_TEARDOWN_HOOKS+=("$*"); }

# The display and the prefix's Wine server must match: a server keeps the display (and desktop)
# it started with. Normally the test runner has started both (scripts/test.sh) and we reuse
# them. Run by hand without DISPLAY, we reuse a running server's live display, or start our own
# Xvfb and server and stop them at the end, once no other scenario is using them.
_scenario_display_and_wine() {
    mkdir -p "$WINEPREFIX"
    exec {QELT_SETUP_LOCK_FD}>"$WINEPREFIX/.qelt-scenario-setup.lock"
    flock -w 120 "$QELT_SETUP_LOCK_FD" || fail "no set-up lock on $WINEPREFIX within 120 s"
    local server server_display
    server="$(wine_server_of_prefix)"
    if [ -n "$server" ]; then
        server_display="$({ tr '\0' '\n' <"/proc/$server/environ"; } 2>/dev/null | sed -n 's/^DISPLAY=//p')"
        if [ -z "${DISPLAY:-}" ] && [ -n "$server_display" ] && xdpyinfo -display "$server_display" >/dev/null 2>&1; then
            export DISPLAY="$server_display"
        fi
        if [ "${DISPLAY:-}" != "$server_display" ] || ! xdpyinfo >/dev/null 2>&1; then
            fail "the Wine server of $WINEPREFIX (pid $server) runs with display '${server_display:-none}'," \
                 "this scenario has '${DISPLAY:-none}'; windows would not reach the screen." \
                 "Stop that server first (source scripts/wine-env.sh; wine_down) or use scripts/test.sh."
        fi
    elif [ -z "${DISPLAY:-}" ]; then
        xvfb_start || fail "cannot start Xvfb"
        QELT_OWNS_DISPLAY=1
    fi
    wine_up
    exec {QELT_USERS_LOCK_FD}>"$WINEPREFIX/.qelt-scenario-users.lock"
    flock -s "$QELT_USERS_LOCK_FD"
    flock -u "$QELT_SETUP_LOCK_FD"
}

_scenario_release_display_and_wine() {
    [ -z "$QELT_USERS_LOCK_FD" ] || flock -u "$QELT_USERS_LOCK_FD"
    [ "$QELT_OWNS_DISPLAY" = 1 ] || return 0
    # Nobody may adopt the display meanwhile; wait for scenarios that already did.
    flock -w 120 "$QELT_SETUP_LOCK_FD"
    if [ -z "$QELT_USERS_LOCK_FD" ] || flock -x -w 150 "$QELT_USERS_LOCK_FD"; then
        wine_down
        xvfb_stop
    else
        note "other scenarios still use $DISPLAY; leaving Xvfb (pid $QELT_XVFB_PID) and the Wine server running"
    fi
    flock -u "$QELT_SETUP_LOCK_FD"
}

_scenario_teardown() {
    local status=$?
    set +e
    trap - EXIT INT TERM
    local hook
    for hook in "${QELT_TEARDOWN_HOOKS[@]}"; do
        eval "$hook"
    done
    if [ "$QELT_SESSION_READY" != 1 ]; then
        _scenario_release_display_and_wine
        exit "$status"
    fi
    if [ "$status" != 0 ]; then
        screenshot failure.png >/dev/null 2>&1 && note "screen at failure: $QELT_SCENARIO_DIR/failure.png"
        note "windows at failure:"
        tt list >&2
    fi
    _close_everything
    if [ "$status" != 0 ]; then
        _dump_program_output
    fi
    _scenario_release_display_and_wine
    exit "$status"
}

# Politely first (WM_CLOSE to every window we waited for), then by our own PIDs only.
_close_everything() {
    local title name pid
    for title in "${QELT_OWNED_TITLES[@]}"; do
        tt post "$title" WM_CLOSE 0 0 >/dev/null 2>&1
    done
    local start timeout
    start=$(date +%s%3N)
    timeout=$(_timeout_ms 5)
    for name in "${QELT_PROGRAM_NAMES[@]}"; do
        pid="${QELT_PROGRAM_PIDS[$name]}"
        while kill -0 "$pid" 2>/dev/null && ! _deadline_reached "$start" "$timeout"; do
            sleep 0.05
        done
    done
    # Windows of processes our programs started (not our children): end their owners.
    for title in "${QELT_OWNED_TITLES[@]}"; do
        if tt find "$title" >/dev/null 2>&1; then
            note "window \"$title\" still open after WM_CLOSE; terminating its process"
            tt terminate "$title" >/dev/null 2>&1
        fi
    done
    for name in "${QELT_PROGRAM_NAMES[@]}"; do
        pid="${QELT_PROGRAM_PIDS[$name]}"
        if kill -0 "$pid" 2>/dev/null; then
            note "$name (pid $pid) did not end; killing it"
            kill -TERM "$pid" 2>/dev/null
            start=$(date +%s%3N)
            while kill -0 "$pid" 2>/dev/null && ! _deadline_reached "$start" 2000; do sleep 0.05; done
            kill -KILL "$pid" 2>/dev/null
        fi
        wait "$pid" 2>/dev/null
    done
}

_dump_program_output() {
    local name file
    for name in "${QELT_PROGRAM_NAMES[@]}"; do
        for file in "$QELT_SCENARIO_DIR/$name.diag" "$QELT_SCENARIO_DIR/$name.out"; do
            if [ -s "$file" ]; then
                echo "----- last lines of $file" >&2
                tail -n 40 "$file" >&2
            fi
        done
    done
}

# ---------------------------------------------------------------------------------------------
# Programs

# tt ARGS...: runs qelt_testtool (see `tt help`).
tt() {
    wine "$QELT_TESTTOOL" "$@" </dev/null
}

# start_program NAME EXE [ARGS...]: starts EXE (relative to $QELT_OUT unless absolute) in the
# background from its own folder, diagnostics on. Its stdout goes to $QELT_SCENARIO_DIR/NAME.out,
# its stderr (with the diagnostic lines) to $QELT_SCENARIO_DIR/NAME.diag.
# Environment for the program only: VAR=value start_program ...
start_program() {
    local name="$1" exe="$2"
    shift 2
    [[ "$exe" == /* ]] || exe="$QELT_OUT/$exe"
    [ -f "$exe" ] || fail "start_program $name: no $exe"
    [ -z "${QELT_PROGRAM_PIDS[$name]:-}" ] || fail "start_program: the name $name is taken"
    (cd "$(dirname "$exe")" && QELT_DIAG_STDERR=1 exec wine "$exe" "$@") \
        </dev/null >"$QELT_SCENARIO_DIR/$name.out" 2>"$QELT_SCENARIO_DIR/$name.diag" &
    QELT_PROGRAM_PIDS[$name]=$!
    QELT_PROGRAM_NAMES+=("$name")
    note "started $name (pid $!): $exe $*"
}

# start_testtool NAME ARGS...: a long-running qelt_testtool command (window, hookprobe).
start_testtool() {
    local name="$1"
    shift
    start_program "$name" "$QELT_TESTTOOL" "$@"
}

program_pid() { echo "${QELT_PROGRAM_PIDS[$1]}"; }

program_running() { kill -0 "${QELT_PROGRAM_PIDS[$1]}" 2>/dev/null; }

# wait_program_exit NAME [TIMEOUT]: waits until it ends; sets PROGRAM_STATUS to its exit status.
# Call it directly, not inside $(...): only this shell can collect its own child's status.
PROGRAM_STATUS=""
wait_program_exit() {
    local name="$1" pid="${QELT_PROGRAM_PIDS[$1]}" timeout start
    [ "$BASH_SUBSHELL" = 0 ] || fail "wait_program_exit $name: called in a subshell"
    timeout=$(_timeout_ms "${2:-10}")
    start=$(date +%s%3N)
    while kill -0 "$pid" 2>/dev/null; do
        _deadline_reached "$start" "$timeout" && fail "$name (pid $pid) still running after ${2:-10} s"
        sleep 0.05
    done
    PROGRAM_STATUS=0
    wait "$pid" 2>/dev/null || PROGRAM_STATUS=$?
}

# expect_exit NAME STATUS [TIMEOUT]: the program ends with that exit status.
expect_exit() {
    wait_program_exit "$1" "${3:-10}"
    expect_eq "$PROGRAM_STATUS" "$2" "exit status of $1"
}

# The diagnostics file of a started program (its stderr).
diag_file() { echo "$QELT_SCENARIO_DIR/$1.diag"; }

# wait_diag NAME REGEX [TIMEOUT]: waits for a diagnostic line of the program.
wait_diag() { wait_log_line "$(diag_file "$1")" "$2" "${3:-10}"; }

# ---------------------------------------------------------------------------------------------
# Windows

# own_window TITLE: the teardown closes this window (and ends its process if it stays).
own_window() {
    local title
    for title in "${QELT_OWNED_TITLES[@]}"; do
        [ "$title" = "$1" ] && return 0
    done
    QELT_OWNED_TITLES+=("$1")
}

# wait_window TITLE [TIMEOUT] [testtool options such as --visible or --class C]:
# sets WINDOW_HWND to its handle; the window becomes owned (see own_window). Call it directly,
# not inside $(...), or the teardown will not know the window.
WINDOW_HWND=""
wait_window() {
    local title="$1" timeout="${2:-10}"
    shift 2 2>/dev/null || shift
    own_window "$title"
    WINDOW_HWND="$(tt wait "$title" --timeout "$(_timeout_ms "$timeout")" "$@")" ||
        fail "no window \"$title\" within $timeout s"
}

# wait_gone TITLE [TIMEOUT]
wait_gone() {
    local title="$1" timeout="${2:-10}"
    tt wait-gone "$title" --timeout "$(_timeout_ms "$timeout")" || fail "window \"$title\" still there after $timeout s"
}

window_exists() { tt find "$1" >/dev/null 2>&1; }

# window_rect TITLE: prints "LEFT TOP RIGHT BOTTOM"; client_rect TITLE the client area.
window_rect() { tt rect "$1" || fail "no rect for \"$1\""; }
client_rect() { tt rect "$1" --client || fail "no client rect for \"$1\""; }

# post_message TITLE MSG WPARAM LPARAM / send_message (prints the result)
post_message() { tt post "$@" || fail "post $* failed"; }
send_message() { tt send "$@" || fail "send $* failed"; }

# ---------------------------------------------------------------------------------------------
# Logs

# wait_log_line FILE REGEX [TIMEOUT]: prints the first line matching the extended regex.
wait_log_line() {
    local file="$1" regex="$2" timeout start line
    timeout=$(_timeout_ms "${3:-10}")
    start=$(date +%s%3N)
    for (( ; ; )); do
        if [ -f "$file" ] && line="$(grep -E -m1 -- "$regex" "$file")"; then
            echo "$line"
            return 0
        fi
        if _deadline_reached "$start" "$timeout"; then
            echo "----- $file:" >&2
            tail -n 20 "$file" >&2 2>/dev/null
            fail "no line /$regex/ in $file within ${3:-10} s"
        fi
        sleep 0.05
    done
}

# wait_log_count FILE REGEX COUNT [TIMEOUT]: waits for COUNT matching lines, prints them.
wait_log_count() {
    local file="$1" regex="$2" count="$3" timeout start
    timeout=$(_timeout_ms "${4:-10}")
    start=$(date +%s%3N)
    for (( ; ; )); do
        if [ -f "$file" ] && [ "$(grep -E -c -- "$regex" "$file")" -ge "$count" ]; then
            grep -E -- "$regex" "$file"
            return 0
        fi
        if _deadline_reached "$start" "$timeout"; then
            echo "----- $file:" >&2
            tail -n 20 "$file" >&2 2>/dev/null
            fail "fewer than $count lines /$regex/ in $file within ${4:-10} s"
        fi
        sleep 0.05
    done
}

# wait_until TIMEOUT WHAT COMMAND...: polls COMMAND until it succeeds.
wait_until() {
    local timeout start what="$2"
    timeout=$(_timeout_ms "$1")
    shift 2
    start=$(date +%s%3N)
    until "$@"; do
        _deadline_reached "$start" "$timeout" && fail "$what: not within ${timeout} ms"
        sleep 0.05
    done
}

# log_field LINE NAME: the value of NAME=value in a log line of the test tool (a quoted value
# keeps its quotes).
log_field() {
    local re="(^| )$2=(\"([^\"\\\\]|\\\\.)*\"|[^ ]*)"
    [[ "$1" =~ $re ]] && echo "${BASH_REMATCH[2]}"
}

# ---------------------------------------------------------------------------------------------
# Mouse and keyboard (xdotool). Without a window manager keyboard focus follows the pointer:
# the helpers move the pointer onto the target first.

# click_at X Y [BUTTON]: screen coordinates; BUTTON 1 left (default), 3 right.
click_at() {
    xdotool mousemove "$1" "$2" || fail "xdotool mousemove failed"
    xdotool click "${3:-1}" || fail "xdotool click failed"
}

double_click_at() {
    xdotool mousemove "$1" "$2" || fail "xdotool mousemove failed"
    xdotool click --repeat 2 --delay 80 "${3:-1}" || fail "xdotool double click failed"
}

# click_client TITLE DX DY [BUTTON]: relative to the window's client area.
click_client() {
    local l t r b
    read -r l t r b <<<"$(client_rect "$1")"
    click_at $((l + $2)) $((t + $3)) "${4:-1}"
}

# point_at TITLE: pointer to the middle of the window's client area (gives it the keyboard).
point_at() {
    local l t r b
    read -r l t r b <<<"$(client_rect "$1")"
    xdotool mousemove $(((l + r) / 2)) $(((t + b) / 2)) || fail "xdotool mousemove failed"
}

# type_text TEXT: types into whatever is under the pointer (see point_at).
type_text() { xdotool type --delay 15 -- "$1" || fail "xdotool type failed"; }

# press_keys KEY...: X key names, e.g. Return, Escape, ctrl+c.
press_keys() { xdotool key --delay 15 -- "$@" || fail "xdotool key failed"; }

# tray_icons: the icons in Wine's own tray (shown when the display has no tray), one
# "LEFT TOP RIGHT BOTTOM" line each, left to right (the newest icon is the last).
tray_icons() {
    local handle visible pid rect class title
    { tt tray 2>/dev/null || true; } | while IFS=$'\t' read -r handle visible pid rect class title; do
        if [ "$class" != "__winex11_standalone_tray" ]; then echo "${rect//,/ }"; fi
    done | sort -n -k1,1
}

_tray_has() { [ "$(tray_icons | grep -c .)" -ge "$1" ]; }

# wait_tray_icons COUNT [TIMEOUT]: until Wine's tray holds at least COUNT icons.
wait_tray_icons() {
    wait_until "${2:-10}" "$1 tray icon(s)" _tray_has "$1"
}

# click_tray_icon N|last [BUTTON]: clicks the middle of the Nth icon (1 = leftmost).
click_tray_icon() {
    local icons line l t r b
    icons="$(tray_icons)"
    [ -n "$icons" ] || fail "no icon in Wine's tray"
    if [ "$1" = last ]; then line="$(tail -n 1 <<<"$icons")"; else line="$(sed -n "${1}p" <<<"$icons")"; fi
    [ -n "$line" ] || fail "no tray icon $1"
    read -r l t r b <<<"$line"
    click_at $(((l + r) / 2)) $(((t + b) / 2)) "${2:-1}"
}

# wait_popup_menu [TIMEOUT]: until a popup menu (TrackPopupMenu) is on the screen; sets
# MENU_HWND. Under Wine without a window manager keys do not reach a popup menu: choose an
# item with click_menu_item, dismiss it with a click elsewhere (click_at 1270 1010).
MENU_HWND=""
wait_popup_menu() {
    MENU_HWND="$(tt wait '*' --class '#32768' --visible --timeout "$(_timeout_ms "${1:-10}")")" ||
        fail "no popup menu within ${1:-10} s"
}

# click_menu_item INDEX COUNT: clicks item INDEX (1 = top) of the open popup menu, whose COUNT
# items are all plain text items of one height (no separators).
click_menu_item() {
    local l t r b height
    wait_popup_menu 5
    read -r l t r b <<<"$(tt rect "hwnd:$MENU_HWND")"
    height=$(((b - t - 2 * 3) / $2))  # a 3-pixel frame above and below the items
    click_at $(((l + r) / 2)) $((t + 3 + height * ($1 - 1) + height / 2))
}

# ---------------------------------------------------------------------------------------------
# Screen

# screenshot FILE: the whole screen as PNG (relative FILE: in the work folder); prints the path.
screenshot() {
    local file="$1"
    [[ "$file" == /* ]] || file="$QELT_SCENARIO_DIR/$file"
    import -display "$DISPLAY" -window root "$file" || fail "screenshot failed"
    echo "$file"
}

# window_screenshot TITLE FILE: only the window (its outer rect); prints the path.
window_screenshot() {
    local l t r b file
    read -r l t r b <<<"$(window_rect "$1")"
    file="$(screenshot "$2")"
    convert "$file" -crop "$((r - l))x$((b - t))+$l+$t" +repage "$file" || fail "cropping $file failed"
    echo "$file"
}

# pixel_at FILE X Y: prints the colour as #RRGGBB.
pixel_at() {
    convert "$1" -crop "1x1+$2+$3" +repage -depth 8 txt:- | sed -n 's/.*\(#[0-9A-Fa-f]\{6\}\).*/\1/p' | head -n 1 | tr 'a-f' 'A-F'
}

# ---------------------------------------------------------------------------------------------
# Files of the programs

# The programs' per-user data folder inside this prefix (Config.config, Profile0..5).
qelt_data_dir() { echo "$WINEPREFIX/drive_c/users/$(id -un)/AppData/Roaming/Mivo"; }

# Empties the data folder so a scenario starts from a first run; saves nothing.
reset_data_dir() {
    local dir
    dir="$(qelt_data_dir)"
    rm -rf "$dir"
}

# ini_value FILE SECTION KEY: prints the value as the private-profile functions read it
# (names without case, first match, ANSI or UTF-16 file); fails when the key is missing.
ini_value() {
    python3 - "$1" "$2" "$3" <<'PY' || fail "no [$2] $3 in $1"
import sys
path, section, key = sys.argv[1], sys.argv[2].lower(), sys.argv[3].lower()
data = open(path, "rb").read()
text = data[2:].decode("utf-16-le") if data[:2] == b"\xff\xfe" else data.decode("cp1252", "replace")
current = None
for line in text.splitlines():
    line = line.strip()
    if line.startswith("[") and "]" in line:
        current = line[1:line.index("]")].strip().lower()
    elif current == section and "=" in line:
        name, value = line.split("=", 1)
        if name.strip().lower() == key:
            print(value.strip())
            sys.exit(0)
sys.exit(1)
PY
}

# A Unix path as the Windows programs see it (the prefix maps / to Z:).
windows_path() { echo "Z:${1//\//\\}"; }
