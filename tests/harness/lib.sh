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

# Set by CTest (tests/CMakeLists.txt); the defaults serve a script run by hand. QELT_OUT is the
# program folder (what ships), QELT_TOOLS the developer tools (test tool, simulated keyboard).
: "${QELT_OUT:=$QELT_ROOT/build/out}"
: "${QELT_TOOLS:=$QELT_ROOT/build/devtools}"
: "${QELT_TESTS_DIR:=$QELT_ROOT/build/tests}"
: "${QELT_TIMEOUT_SCALE:=1}"
: "${QELT_INSTALLER:=$(ls "$QELT_ROOT"/build/installer/QELT-Setup-*.exe 2>/dev/null | head -n 1)}"
QELT_TESTTOOL="$QELT_TOOLS/qelt_testtool.exe"

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

# use_fresh_prefix: called before scenario_begin, the scenario runs in a new Wine prefix of its own
# (in a mktemp folder) with its own Wine server and its own Xvfb display; at the end both are
# stopped and the folder removed. Its first start creates the prefix (10-60 s). Sharing nothing
# with the other scenarios, it runs beside them (tests/CMakeLists.txt gives it no session lock).
QELT_FRESH_PREFIX_ROOT=""
use_fresh_prefix() {
    QELT_FRESH_PREFIX_ROOT="$(mktemp -d "${TMPDIR:-/tmp}/qelt-prefix.XXXXXX")" || fail "mktemp failed"
    export WINEPREFIX="$QELT_FRESH_PREFIX_ROOT/prefix"
    xvfb_start || fail "cannot start Xvfb"
    QELT_OWNS_DISPLAY=1
}

_remove_fresh_prefix() {
    # Only the folder made above, by its own name.
    case "$QELT_FRESH_PREFIX_ROOT" in
        "${TMPDIR:-/tmp}"/qelt-prefix.??????) rm -rf -- "$QELT_FRESH_PREFIX_ROOT" ;;
        *) note "not removing $QELT_FRESH_PREFIX_ROOT: not a folder use_fresh_prefix made" ;;
    esac
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
    if [ -n "$QELT_FRESH_PREFIX_ROOT" ]; then
        # A prefix made for this scenario alone: its server goes, then the folder.
        wine_down
        [ "$QELT_OWNS_DISPLAY" = 1 ] && xvfb_stop
        _remove_fresh_prefix
        return 0
    fi
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

# area_screenshot FILE LEFT TOP RIGHT BOTTOM: that part of the screen; prints the path.
area_screenshot() {
    local file
    file="$(screenshot "$1")"
    convert "$file" -crop "$(($4 - $2))x$(($5 - $3))+$2+$3" +repage "$file" || fail "cropping $file failed"
    echo "$file"
}

# take_picture FILE TARGET...: a picture for the user guide (scripts/update-pictures.sh copies it
# into docs/ and help/): the smallest part of the screen that holds every TARGET window (a title
# or hwnd:0x...), taken again until two pictures in a row agree (nothing still painting).
take_picture() {
    local file="$1" target l t r b left=100000 top=100000 right=0 bottom=0 previous="" current=""
    shift
    for target in "$@"; do
        read -r l t r b <<<"$(window_rect "$target")"
        ((l < left)) && left=$l
        ((t < top)) && top=$t
        ((r > right)) && right=$r
        ((b > bottom)) && bottom=$b
    done
    ((left < 0)) && left=0
    ((top < 0)) && top=0
    local start timeout
    start=$(date +%s%3N)
    timeout=$(_timeout_ms 5)
    for (( ; ; )); do
        area_screenshot "$file" "$left" "$top" "$right" "$bottom" >/dev/null
        current="$(convert "$QELT_SCENARIO_DIR/$file" rgb:- | sha1sum)"
        [ "$current" = "$previous" ] && break
        _deadline_reached "$start" "$timeout" && fail "picture $file: the screen did not settle within 5 s"
        previous="$current"
    done
    echo "$QELT_SCENARIO_DIR/$file"
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

# file_text FILE: the text of a file the programs wrote, in UTF-8 without carriage returns,
# whether the file is in UTF-16 (every file the programs create) or in the ANSI code page (files
# made by earlier versions or by the scenarios). Nothing for a missing file. Use it instead of
# reading a configuration file directly: grep -q X "$file" finds nothing in a UTF-16 file.
file_text() {
    python3 - "$1" <<'PY'
import sys
try:
    data = open(sys.argv[1], "rb").read()
except OSError:
    sys.exit(0)
text = data[2:].decode("utf-16-le", "replace") if data[:2] == b"\xff\xfe" else data.decode("cp1252", "replace")
sys.stdout.write(text.replace("\r", ""))
PY
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

# reg_value KEY NAME: the data of a registry value (wine reg query), empty when it is missing.
reg_value() {
    { wine reg query "$1" /v "$2" </dev/null 2>/dev/null || true; } | tr -d '\r' |
        sed -n "s/^ *$2 \{1,\}REG_[A-Z_]* \{1,\}//p"
}

# reg_key_exists KEY
reg_key_exists() { wine reg query "$1" </dev/null >/dev/null 2>&1; }

# A Unix path as the Windows programs see it (the prefix maps / to Z:).
windows_path() { echo "Z:${1//\//\\}"; }

# ---------------------------------------------------------------------------------------------
# Peers: stand-in windows for the programs the programs under test talk to

QELT_PEER_COUNT=0

# start_peer TITLE LOG [testtool window options...]: a hidden stand-in window titled TITLE (the
# editor, "DLGLoading", "MIVO OSD"...) that logs every message it receives to LOG (relative: in
# the work folder); waits until it is ready. The window is owned (closed at teardown). Call it
# directly, not inside $(...).
start_peer() {
    local title="$1" log="$2"
    shift 2
    [[ "$log" == /* ]] || log="$QELT_SCENARIO_DIR/$log"
    : >"$log"
    QELT_PEER_COUNT=$((QELT_PEER_COUNT + 1))
    start_testtool "peer$QELT_PEER_COUNT" window "$title" --log "$log" --hidden "$@"
    own_window "$title"
    wait_log_line "$log" '^ready ' >/dev/null
}

# start_hookprobe LOG: the low-level keyboard hook probe, logging every key event to LOG.
start_hookprobe() {
    local log="$1"
    [[ "$log" == /* ]] || log="$QELT_SCENARIO_DIR/$log"
    : >"$log"
    start_testtool hookprobe hookprobe --log "$log"
    own_window "QELT Hook Probe"
    wait_log_line "$log" '^ready ' >/dev/null
}

# close_window TITLE [TIMEOUT]: posts WM_CLOSE when the window exists and waits until it is gone.
close_window() {
    window_exists "$1" || return 0
    tt post "$1" WM_CLOSE 0 0 >/dev/null 2>&1 || true
    wait_gone "$1" "${2:-10}"
}

# progress_of LOG: the WM_LOADING_PROGRESS (0x7EB) messages a "DLGLoading" stand-in received, as
# "wParam,lParam" in decimal, space-separated with a trailing space ("1,25 1,50 ... 0,0 ").
progress_of() {
    { grep -o 'msg=0x7eb wParam=0x[0-9a-f]* lParam=0x[0-9a-f]*' "$1" || true; } |
        sed -E 's/.*wParam=0x([0-9a-f]+) lParam=0x([0-9a-f]+)/\1 \2/' |
        while read -r w l; do printf '%d,%d ' "$((16#$w))" "$((16#$l))"; done
}

# osd_texts LOG: the text of each OSD_MESSAGE record a "MIVO OSD" stand-in received (the
# UTF-16 text up to its NUL at the start of the record), one per line.
osd_texts() {
    { grep -o '^copydata .* bytes=[0-9a-f]*' "$1" || true; } | sed 's/.* bytes=//' | python3 -c '
import sys
for line in sys.stdin:
    text = bytes.fromhex(line.strip())[:512].decode("utf-16-le", "replace")
    print(text.split("\0", 1)[0])'
}

# wait_osd_texts LOG TEXTS [TIMEOUT]: the last records the stand-in received read TEXTS (one per
# line, oldest first). The agent tells the display after the editor, so a text may still be on
# its way when the editor has shown the change.
_osd_last_texts_are() { [ "$(osd_texts "$1" | tail -n "$(grep -c '' <<<"$2")")" = "$2" ]; }
wait_osd_texts() { wait_until "${3:-10}" "the display showing $(paste -sd, <<<"$2")" _osd_last_texts_are "$1" "$2"; }

# ---------------------------------------------------------------------------------------------
# Programs in front (the program profiles)

# start_front_program NAME EXE TITLE X [Y]: a copy of the test tool named EXE (in the work folder)
# opening a visible 400x300 window TITLE at (X, Y) (Y default 100; 660 keeps it below the editor);
# a new window is the front window. Call it directly, not inside $(...).
start_front_program() {
    local name="$1" exe="$QELT_SCENARIO_DIR/$2" title="$3" x="$4" y="${5:-100}"
    cp "$QELT_TESTTOOL" "$exe"
    start_program "$name" "$exe" window "$title" --pos "$x,$y" --size 400x300
    wait_window "$title" 10 --visible
}

# bring_to_front TITLE: a click in the window's middle makes it the front window.
bring_to_front() { click_client "$1" 200 150; }

# ---------------------------------------------------------------------------------------------
# The agent

QELT_AGENT_TITLE="Func QELT HID"
QELT_EDITOR_TITLE="Zorvane Gear QELT Settings"
QELT_PROBLEM_TITLE="Zorvane Gear QELT"  # the editor's plain messages about a damaged installation
AGENT_NAME=""  # program name of the agent started last (start_agent)
QELT_AGENT_STARTS=0

# start_agent [EXE]: starts the agent (default QELT_Core.exe in $QELT_OUT) and waits until its
# start-up has finished: the device status is written at its end, and the window answers once
# its creation has returned. The first agent is the program "agent", later ones "agent2"...
start_agent() {
    local exe="${1:-QELT_Core.exe}"
    QELT_AGENT_STARTS=$((QELT_AGENT_STARTS + 1))
    AGENT_NAME=agent
    [ "$QELT_AGENT_STARTS" = 1 ] || AGENT_NAME="agent$QELT_AGENT_STARTS"
    start_program "$AGENT_NAME" "$exe"
    wait_diag "$AGENT_NAME" "write device (existing|NULL)" 20 >/dev/null
    wait_window "$QELT_AGENT_TITLE" 5
    tt send "$QELT_AGENT_TITLE" WM_NULL 0 0 --timeout "$(_timeout_ms 20)" >/dev/null ||
        fail "the agent's window does not answer after start-up"
}

# stop_agent [TIMEOUT]: WM_CLOSE to the agent's window; waits until the process has ended.
stop_agent() {
    [ -n "$AGENT_NAME" ] || return 0
    window_exists "$QELT_AGENT_TITLE" && tt post "$QELT_AGENT_TITLE" WM_CLOSE 0 0 >/dev/null 2>&1
    wait_program_exit "$AGENT_NAME" "${1:-15}"
}

# post_agent MSG WPARAM LPARAM: posts to the agent's window.
post_agent() { post_message "$QELT_AGENT_TITLE" "$@"; }

# agent_answers_within MS: the agent's window answers WM_NULL within MS milliseconds.
agent_answers_within() { tt send "$QELT_AGENT_TITLE" WM_NULL 0 0 --timeout "$1" >/dev/null 2>&1; }

# diag_has NAME TEXT: the program wrote a diagnostic line containing TEXT (plain text).
diag_has() { grep -qF -- "$2" "$(diag_file "$1")" 2>/dev/null; }

# diag_count NAME TEXT: how many of its diagnostic lines contain TEXT.
diag_count() { grep -cF -- "$2" "$(diag_file "$1")" 2>/dev/null || true; }

# start_agent_job REQUEST PROFILE [LOG]: what the editor's download dialog does for a download
# (1) or reset (2): a "DLGLoading" stand-in logging to LOG (default loading.log), the reload
# request, then the job. finish_agent_job [TIMEOUT] waits for the job's end, checks its four
# progress points and closes the stand-in. agent_job REQUEST PROFILE runs both.
QELT_JOB_LOG=""
start_agent_job() {
    QELT_JOB_LOG="${3:-loading.log}"
    [[ "$QELT_JOB_LOG" == /* ]] || QELT_JOB_LOG="$QELT_SCENARIO_DIR/$QELT_JOB_LOG"
    close_window DLGLoading
    start_peer DLGLoading "$QELT_JOB_LOG"
    post_agent 0x7EA 0 0
    post_agent 0x7EA "$1" "$2"
}
finish_agent_job() {
    wait_log_line "$QELT_JOB_LOG" 'msg=0x7eb wParam=0x0 lParam=0x0' "${1:-20}" >/dev/null
    expect_eq "$(progress_of "$QELT_JOB_LOG")" "1,25 1,50 1,75 1,100 0,0 " "progress of the job"
    close_window DLGLoading
}
agent_job() {
    start_agent_job "$1" "$2"
    finish_agent_job "${3:-20}"
}

# ---------------------------------------------------------------------------------------------
# The simulated keyboard (standins/kbsim)

QELT_KBSIM="$QELT_TOOLS/kbsim/kbsim.exe"

# kbsim COMMAND...: the kbsim tool (see standins/kbsim/README.md); stdout without CRs, its exit
# status passed on.
kbsim() { wine "$QELT_KBSIM" "$@" </dev/null | tr -d '\r'; }

# device_up: driver installed and started, journal and failure rules cleared. device_down: stopped.
device_up() {
    kbsim install >/dev/null || fail "kbsim install"
    kbsim start >/dev/null || fail "kbsim start"
    kbsim reset >/dev/null || fail "kbsim reset"
}
device_down() { kbsim stop >/dev/null || fail "kbsim stop"; }

# kbsim_state NAME: one value of `kbsim state` (hooked, current_profile, pending_events...).
kbsim_state() { kbsim state | sed -n "s/^$1 //p" | head -n 1; }
_kbsim_state_is() { [ "$(kbsim_state "$1")" = "$2" ]; }

# wait_kbsim_state NAME VALUE [TIMEOUT]
wait_kbsim_state() { wait_until "${3:-10}" "kbsim state $1 $2" _kbsim_state_is "$1" "$2"; }

# kbsim_journal_codes: the control codes of the journal, space-separated with a trailing space.
kbsim_journal_codes() { kbsim journal | cut -d' ' -f1 | tr '\n' ' '; }

# kbsim_sent CODE [N]: the input bytes of the Nth (default first) journaled request with that
# code (8 hex digits, as the journal prints it).
kbsim_sent() { kbsim journal | grep "^$1" | sed -n "${2:-1}p" | cut -d' ' -f2-; }

# expect_tables_clean N: `kbsim tables N` shows tables for profile number N and no warning.
expect_tables_clean() {
    local tables
    tables="$(kbsim tables "$1")" || fail "kbsim tables $1"
    [[ "$tables" != *warning* ]] || fail "warnings in the tables of profile number $1: $tables"
    echo "$tables"
}

# inject WORD...: event words for the hooked agent (kbsim inject).
inject() { kbsim inject "$@" >/dev/null || fail "kbsim inject $*"; }

# ---------------------------------------------------------------------------------------------
# Configuration files

# config_file: Config.config in the data folder; profile_file N: ProfileN.
config_file() { echo "$(qelt_data_dir)/Config.config"; }
profile_file() { echo "$(qelt_data_dir)/Profile$1"; }

# config_value KEY: the value in section CONFIG of Config.config, empty when missing.
config_value() { (ini_value "$(config_file)" CONFIG "$1") 2>/dev/null || true; }

# expect_config KEY VALUE, wait_config KEY VALUE [TIMEOUT]
expect_config() { expect_eq "$(config_value "$1")" "$2" "Config.config $1"; }
_config_is() { [ "$(config_value "$1")" = "$2" ]; }
wait_config() { wait_until "${3:-10}" "Config.config $1=$2" _config_is "$1" "$2"; }

# write_config CURRENTPROFILE LIGHT DEVICEPSTATS: a Config.config as the editor writes it.
write_config() {
    mkdir -p "$(qelt_data_dir)"
    printf '[CONFIG]\r\nCURRENTPROFILE=%s\r\nLIGHT=%s\r\nDEVICEPSTATS=%s\r\n' "$1" "$2" "$3" >"$(config_file)"
}

# make_profile N SLOT:FUNID:MAPPINGKEY[:PATH|:STEPS]...: writes ProfileN the way the programs
# store one (make_profile.py: STEPS is CODE/VALUE,... in hex/decimal, e.g. 04/1,FF/50,04/0).
make_profile() {
    local file
    file="$(profile_file "$1")"
    shift
    mkdir -p "$(qelt_data_dir)"
    python3 "$QELT_HARNESS_DIR/make_profile.py" "$file" "$@" || fail "make_profile $file $*"
}

# ---------------------------------------------------------------------------------------------
# The editor and its dialogs
#
# Windows of the editor sit where their skin puts them; buttons are found through the shipped
# skin's rectangles, so the scenarios follow the skin when it changes.

# skin_rect FILE SECTION KEY: "LEFT TOP RIGHT BOTTOM" (client pixels) of a skin button entry
# (name,left,top,width,height,caption,flag) of Skins/FILE.
skin_rect() {
    local value name left top width height
    value="$(ini_value "$QELT_OUT/Skins/$1" "$2" "$3")"
    IFS=, read -r name left top width height _ <<<"$value"
    echo "$left $top $((left + width)) $((top + height))"
}

# click_skin TARGET FILE SECTION KEY [DX DY]: clicks a skin button of the window TARGET (a title
# or hwnd:0x...), at its centre or DX DY pixels from its top-left corner.
click_skin() {
    point_skin "$@"
    xdotool click 1 || fail "xdotool click failed"
}

# point_skin TARGET FILE SECTION KEY [DX DY]: moves the pointer onto a skin entry (as click_skin
# does, without the click).
point_skin() {
    local target="$1" file="$2" section="$3" key="$4" cl ct cr cb l t r b x y
    read -r cl ct cr cb <<<"$(tt rect "$target" --client)" || fail "no window $target"
    read -r l t r b <<<"$(skin_rect "$file" "$section" "$key")"
    if [ $# -ge 6 ]; then x=$((cl + l + $5)); y=$((ct + t + $6)); else x=$((cl + (l + r) / 2)); y=$((ct + (t + b) / 2)); fi
    # Two moves: the button takes the pointer's hover on the first, then the click lands.
    xdotool mousemove "$((x - 1))" "$y" mousemove "$x" "$y" || fail "xdotool mousemove failed"
}

# wait_tooltip TEXT [TIMEOUT]: waits until a tooltip showing TEXT is visible.
_tooltip_shows() {
    tt list | awk -F'\t' -v text="$1" '$2 == 1 && $5 == "tooltips_class32" && $6 == text' | grep -q .
}
wait_tooltip() { wait_until "${2:-10}" "the tooltip \"$1\"" _tooltip_shows "$1"; }

# Editor buttons by what they are ("BUTTONINFO"/"KEYS" keys of main.ini).
click_editor() { click_skin "$QELT_EDITOR_TITLE" main.ini "$@"; }
click_profile() { click_editor BUTTONINFO $((4 + $1)); }         # profile 0-4
click_slot() { click_editor BUTTONINFO $((24 + $1)); }            # slot 0-9 (M1-M10)
click_function_label() { click_editor BUTTONINFO $((14 + $1)); }  # slot 0-9
click_key() { click_editor KEYS $((20 + $1)); }                   # key 0-153

# key_index NAME: the index (0-153) of the keyboard key the skin names NAME (A, F1, Enter...).
key_index() {
    local entry
    entry="$(tr -d '\r' <"$QELT_OUT/Skins/main.ini" | sed -n '/^\[KEYS\]/,/^\[/p' | grep -m1 "^[0-9]*=$1," | cut -d= -f1)"
    [ -n "$entry" ] || fail "no key named $1 in the skin"
    echo $((entry - 20))
}

# choose_function SLOT ITEM: opens the slot's function menu and clicks item ITEM (0-12), or,
# with ITEM "gap", a point of the menu between two items.
choose_function() {
    click_function_label "$1"
    wait_dialog
    if [ "$2" = gap ]; then
        local l t r b
        read -r l t r b <<<"$(skin_rect menu_skin.ini BUTTONINFO 1)"
        click_skin "$DIALOG" menu_skin.ini BUTTONINFO 1 $(((r - l) / 2)) $((b - t + 1))
    else
        click_skin "$DIALOG" menu_skin.ini BUTTONINFO $(($2 + 1))
    fi
    tt wait-gone "$DIALOG" --timeout "$(_timeout_ms 10)" || fail "the function menu did not close"
}

# start_editor [NAME] [EXE]: starts QELT_Settings (program name default "editor"; EXE default the
# build's) and waits until its main window is shown and answers.
start_editor() {
    start_program "${1:-editor}" "${2:-QELT_Settings.exe}"
    wait_window "$QELT_EDITOR_TITLE" 20 --visible
    tt send "$QELT_EDITOR_TITLE" WM_NULL 0 0 --timeout "$(_timeout_ms 30)" >/dev/null ||
        fail "the editor's window does not answer"
}

# The macro editor, once open (choose_function S 1, then wait_dialog): macro_editor_found sets
# MACRO_EDITOR and MACRO_LIST (its step list); macro_lines counts the list's lines (one per step,
# pauses included); record_macro_keys LINES KEY... clicks Record, types the keys on the X keyboard
# over the editor and waits until the list shows LINES lines.
macro_editor_found() {
    MACRO_EDITOR="$DIALOG"
    MACRO_LIST="hwnd:$(tt children "$MACRO_EDITOR" | awk -F'\t' '$5 == "ListBox" { print $1; exit }')"
    [ "$MACRO_LIST" != "hwnd:" ] || fail "no step list in the macro editor"
}
macro_lines() { tt send "$MACRO_LIST" 0x18B 0 0; }  # LB_GETCOUNT
_macro_lines_are() { [ "$(macro_lines)" = "$1" ]; }
record_macro_keys() {
    local lines="$1"
    shift
    click_skin "$MACRO_EDITOR" macro_skin.ini BUTTONINFO 2  # Record
    wait_diag editor 'loaded hook OK!' 10 >/dev/null
    point_at "$MACRO_EDITOR"
    press_keys "$@"
    wait_until 10 "$lines lines in the step list" _macro_lines_are "$lines"
}

# The "Program profiles" dialog (apps_skin.ini): open_app_profiles clicks the main window's
# button and sets APPS_DIALOG and APPS_LIST (its rule list); click_app_profiles KEY clicks one of
# its buttons (1 Add file, 2 Running, 3 Remove, 4-8 profiles 1-5, 9 OK, 10 Cancel); app_rule_lines
# counts the list's lines; select_app_rule N clicks line N (1 = top); choose_running_program EXE
# opens the running programs' menu and clicks EXE's item (the dialog names them in menu order in
# a diagnostic line); close_app_profiles KEY clicks OK or Cancel and waits until the dialog went.
open_app_profiles() {
    click_editor BUTTONINFO 36
    wait_dialog
    APPS_DIALOG="$DIALOG"
    APPS_LIST="hwnd:$(tt children "$APPS_DIALOG" | awk -F'\t' '$5 == "ListBox" { print $1; exit }')"
    [ "$APPS_LIST" != "hwnd:" ] || fail "no rule list in the program profiles dialog"
}
click_app_profiles() { click_skin "$APPS_DIALOG" apps_skin.ini BUTTONINFO "$1"; }
app_rule_lines() { tt send "$APPS_LIST" 0x18B 0 0; }  # LB_GETCOUNT
_app_rule_lines_are() { [ "$(app_rule_lines)" = "$1" ]; }
wait_app_rule_lines() { wait_until 10 "$1 rule(s) in the list" _app_rule_lines_are "$1"; }
select_app_rule() {
    local l t r b
    read -r l t r b <<<"$(tt rect "$APPS_LIST" --client)" || fail "no rule list"
    click_at $(((l + r) / 2)) $((t + 22 * ($1 - 1) + 11))  # lines of 22 pixels
}
_offered_more() { [ "$(diag_count editor "running program(s) offered")" -gt "$1" ]; }
choose_running_program() {
    local before line names count index=0 i=0 name
    local -a offered
    before="$(diag_count editor "running program(s) offered")"
    click_app_profiles 2
    wait_until 10 "the running programs offered" _offered_more "$before"
    line="$(grep -F "running program(s) offered" "$(diag_file editor)" | tail -n 1 | tr -d '\r')"
    count="$(sed -n 's/.*: \([0-9]*\) running program(s) offered.*/\1/p' <<<"$line")"
    names="${line##*offered: }"
    IFS=',' read -ra offered <<<"$names"
    for name in "${offered[@]}"; do
        i=$((i + 1))
        [ "${name# }" = "$1" ] && index=$i
    done
    [ "$index" -gt 0 ] || fail "$1 is not among the running programs offered: $names"
    click_menu_item "$index" "$count"
    tt wait-gone "hwnd:$MENU_HWND" --timeout "$(_timeout_ms 5)" >/dev/null 2>&1 || true
}
close_app_profiles() {
    click_app_profiles "$1"
    tt wait-gone "$APPS_DIALOG" --timeout "$(_timeout_ms 10)" || fail "the program profiles dialog did not close"
}

# open_macro_editor SLOT KEY_INDEX: binds the slot to the key, chooses Macro for it and finds the
# macro editor (MACRO_EDITOR, MACRO_LIST).
open_macro_editor() {
    click_slot "$1"
    click_key "$2"
    choose_function "$1" 1
    wait_dialog
    macro_editor_found
}
# set_macro_delay MS: types MS into the macro editor's delay field (clicked, emptied, typed).
set_macro_delay() {
    local cl ct cr cb
    read -r cl ct cr cb <<<"$(tt rect "$MACRO_EDITOR" --client)" || fail "no macro editor"
    click_at $((cl + 300)) $((ct + 190))
    press_keys End BackSpace BackSpace BackSpace BackSpace BackSpace
    type_text "$1"
}
# click_macro_line N: clicks line N (from 0) of the step list, scrolled into view first.
_macro_line_selected() { [ "$(tt send "$MACRO_LIST" 0x188 0 0)" = "$1" ]; }  # LB_GETCURSEL
click_macro_line() {
    local cl ct cr cb height top
    tt send "$MACRO_LIST" 0x197 "$1" 0 >/dev/null  # LB_SETTOPINDEX
    height="$(tt send "$MACRO_LIST" 0x1A1 "$1" 0)"  # LB_GETITEMHEIGHT
    top="$(tt send "$MACRO_LIST" 0x18E 0 0)"        # LB_GETTOPINDEX
    read -r cl ct cr cb <<<"$(tt rect "$MACRO_LIST" --client)" || fail "no step list"
    click_at $((cl + 40)) $((ct + ($1 - top) * height + height / 2))
    wait_until 5 "line $1 of the step list selected" _macro_line_selected "$1"
}

# confirm_apply: the editor's Apply clicked and its question answered with OK; apply_and_download:
# then the download dialog shown and gone.
confirm_apply() {
    click_editor BUTTONINFO 11
    wait_dialog
    answer_warning 3 1
}
apply_and_download() {
    confirm_apply
    wait_window DLGLoading 15
    wait_gone DLGLoading 20
}

# wait_dialog [TIMEOUT]: waits for the editor's untitled modal window (a warning, the function
# menu, the macro editor, the repeat options) and sets DIALOG (hwnd:0x...) and DIALOG_RECT.
_find_dialog() {
    local line
    line="$(tt list | awk -F'\t' '$2 == 1 && $5 == "#32770" && $6 == "" { print; exit }')"
    [ -n "$line" ] || return 1
    DIALOG="hwnd:$(cut -f1 <<<"$line")"
    DIALOG_RECT="$(cut -f4 <<<"$line" | tr ',' ' ')"
}
wait_dialog() { wait_until "${1:-10}" "an editor dialog" _find_dialog; }

# answer_warning SKIN BUTTON: clicks button 1 (OK, or the single button) or 2 (Cancel) of the open
# warning, whose skin file is named by its kind: reset 1, no device / macro full 2, others 3.
answer_warning() {
    local skin="$1" button="$2"
    click_skin "$DIALOG" "Warning${skin}_skin.ini" BUTTONINFO "$button"
    tt wait-gone "$DIALOG" --timeout "$(_timeout_ms 10)" || fail "the warning did not close"
}

# skin_pixel IMAGE X Y: the colour (#RRGGBB) of a skin image's pixel, for comparing with the screen.
skin_pixel() { pixel_at "$QELT_OUT/Skins/$1" "$2" "$3"; }

# expect_button_look SHOT SECTION KEY LOOK WHAT [DX DY]: the main-window button KEY of SECTION
# shows the skin image LOOK (main_down.bmp, main_main.bmp...) at a point of its border area, or
# DX DY pixels from its top-left corner (the window sits at the screen's origin). The point must
# be one where the looks to tell apart differ, or the check cannot fail.
expect_button_look() {
    local l t r b dx="${6:-3}" dy="${7:-3}"
    read -r l t r b <<<"$(skin_rect main.ini "$2" "$3")"
    expect_eq "$(pixel_at "$1" $((l + dx)) $((t + dy)))" "$(skin_pixel "$4" $((l + dx)) $((t + dy)))" "$5"
}

# wait_button_look FILE KEY LOOK WHAT [TIMEOUT]: waits until a new screenshot shows the
# main-window button as expect_button_look checks it (the editor repaints once its handler is done).
_button_look_now() { (expect_button_look "$(screenshot button-look.png)" "$@" "") 2>/dev/null; }
wait_button_look() { wait_until "${5:-10}" "$4" _button_look_now "$1" "$2" "$3"; }

# wait_editor_profile P [TIMEOUT]: the open editor (at the screen's origin, its profile buttons
# uncovered) shows its profile button P (0-4) selected.
wait_editor_profile() { wait_button_look BUTTONINFO $((4 + $1)) main_down.bmp "the editor showing profile $(($1 + 1))" "${2:-10}"; }

# copy_program_folder [NAME]: a copy of the program folder (what ships) in the work folder, to
# damage without touching the build's; prints its path ($QELT_SCENARIO_DIR/NAME, default
# "program"). Its links stay links (the folder's own: "skins" to "Skins").
# Start its programs by path: start_editor editor "$copy/QELT_Settings.exe".
copy_program_folder() {
    local copy="$QELT_SCENARIO_DIR/${1:-program}"
    [ ! -e "$copy" ] || fail "copy_program_folder: $copy exists already"
    cp -r "$QELT_OUT" "$copy" || fail "could not copy $QELT_OUT to $copy"
    echo "$copy"
}

# damage_file FILE HOW: makes a file of a program folder copy missing, truncated (its first half
# kept) or undecodable (bytes that are no image or library at all).
damage_file() {
    [[ "$1" == "$QELT_SCENARIO_DIR"/* ]] || fail "damage_file: $1 is not in the work folder"
    [ ! -L "$1" ] || fail "damage_file: $1 is a link (its target would be damaged)"
    case "$2" in
        missing) rm -f -- "$1" ;;
        truncated) truncate -s $(($(stat -c %s "$1") / 2)) "$1" ;;
        undecodable) printf 'damaged: not what this file should hold\n' >"$1" ;;
        *) fail "damage_file: no such damage: $2" ;;
    esac
}

# wait_message_box TITLE [TIMEOUT]: a plain message box (class #32770) titled TITLE is shown;
# sets WINDOW_HWND. Call it directly, not inside $(...).
wait_message_box() { wait_window "$1" "${2:-10}" --visible --class "#32770"; }

# message_box_text TARGET: the message of a message box, its lines as they are shown.
message_box_text() { tt text "$1" --child Static || fail "no message text in \"$1\""; }

# answer_message_box TARGET: clicks the message box's (first) button and waits until it has gone.
answer_message_box() {
    local button l t r b
    button="$(tt children "$1" | awk -F'\t' '$5 == "Button" { print $4; exit }')"
    [ -n "$button" ] || fail "no button in the message box \"$1\""
    IFS=, read -r l t r b <<<"$button"
    click_at $(((l + r) / 2)) $(((t + b) / 2))
    tt wait-gone "$1" --timeout "$(_timeout_ms 10)" || fail "the message box \"$1\" did not close"
}

# data_checksum: one checksum over the data folder's files (names and contents).
data_checksum() { (cd "$(qelt_data_dir)" 2>/dev/null && find . -type f -print0 | sort -z | xargs -0 -r sha1sum) | sha1sum; }

# type_into_file_dialog TITLE PATH: Wine's common file dialog TITLE ("Open", "Save As") is open:
# types the path (Windows form) and confirms.
type_into_file_dialog() {
    local title="$1" path="$2" attempt l t r b
    wait_window "$title" 10 --visible
    # Focus follows the pointer; Alt+N puts the caret in the name field wherever it was. On a
    # loaded machine the first keys can come before the dialog takes them: try again then.
    for attempt in 1 2 3; do
        read -r l t r b <<<"$(tt rect "$title")" || return 0  # already gone: the name was taken
        xdotool mousemove $(((l + r) / 2)) $(((t + b) / 2)) key --delay 20 alt+n ctrl+a || true
        xdotool type --delay 10 -- "$path" || fail "xdotool type failed"
        xdotool key Return || fail "xdotool key failed"
        tt wait-gone "$title" --timeout "$(_timeout_ms 5)" >/dev/null 2>&1 && return 0
        # A question of the dialog's own (overwrite) is answered by the caller.
        window_exists Error && return 0
        note "file dialog \"$title\" still open after typing the name (attempt $attempt)"
    done
}

# watch_download PREFIX: while "DLGLoading" is open, takes screenshots PREFIX-N.png and prints,
# per picture, how many of four points of the progress bar (at 1/8, 3/8, 5/8, 7/8 of its width)
# show the bar's fill image; ends when the dialog has closed.
watch_download() {
    local prefix="$1" n=0 bl bt br bb l t r b shot filled x y
    wait_window DLGLoading 15 --visible
    read -r bl bt br bb <<<"$(skin_rect loading_skin.ini BAR_POSITION 1)"
    y=$(((bt + bb) / 2))
    while window_exists DLGLoading; do
        read -r l t r b <<<"$(tt rect DLGLoading --client 2>/dev/null)" || break
        n=$((n + 1))
        shot="$(screenshot "$prefix-$n.png")"
        window_exists DLGLoading || break
        filled=0
        for eighth in 1 3 5 7; do
            x=$((bl + (br - bl) * eighth / 8))
            [ "$(pixel_at "$shot" $((l + x)) $((t + y)))" = "$(skin_pixel loading_down.bmp "$x" "$y")" ] &&
                filled=$((filled + 1))
        done
        echo "$filled"
    done
}

# profile_tables N: the three tables qeltctl encodes from ProfileN (key map, index, data block).
profile_tables() {
    wine "$QELT_OUT/qeltctl.exe" tables "$(windows_path "$(profile_file "$1")")" --profile "$1" 2>/dev/null | tr -d '\r'
}

# expect_download_of N: the journal holds exactly one download of ProfileN as qeltctl encodes it.
expect_download_of() {
    local expected
    mapfile -t expected < <(profile_tables "$1")
    expect_eq "${#expected[@]}" 3 "tables encoded by qeltctl for Profile$1"
    expect_eq "$(kbsim_sent 002224A4)" "${expected[0]}" "key map sent for Profile$1"
    expect_eq "$(kbsim_sent 00222494)" "${expected[1]}" "index table sent for Profile$1"
    expect_eq "$(kbsim_sent 0022249C)" "${expected[2]}" "data block sent for Profile$1"
}

# ---------------------------------------------------------------------------------------------
# qeltctl, the command-line tool beside the programs

# run_qeltctl ARGS...: runs qeltctl to its end (60 s at most); sets QELTCTL_STATUS (exit status),
# QELTCTL_OUT and QELTCTL_ERR (what it printed, without carriage returns). Call it directly, not
# inside $(...). For a run to watch while it goes: start_program NAME qeltctl.exe ARGS. QELTCTL_EXE
# names another copy (an installed one).
QELTCTL_STATUS=""
QELTCTL_OUT=""
QELTCTL_ERR=""
run_qeltctl() {
    local out="$QELT_SCENARIO_DIR/qeltctl.out" err="$QELT_SCENARIO_DIR/qeltctl.err"
    QELTCTL_STATUS=0
    timeout "$(($(_timeout_ms 60) / 1000))" wine "${QELTCTL_EXE:-$QELT_OUT/qeltctl.exe}" "$@" </dev/null >"$out" 2>"$err" ||
        QELTCTL_STATUS=$?
    QELTCTL_OUT="$(tr -d '\r' <"$out")"
    QELTCTL_ERR="$(tr -d '\r' <"$err")"
    note "qeltctl $* -> $QELTCTL_STATUS"
}

# expect_qeltctl STATUS ARGS...: runs qeltctl and checks its exit status.
expect_qeltctl() {
    local status="$1"
    shift
    run_qeltctl "$@"
    [ "$QELTCTL_STATUS" = "$status" ] ||
        fail "qeltctl $*: exit status $QELTCTL_STATUS, expected $status; printed: $QELTCTL_OUT / $QELTCTL_ERR"
}
