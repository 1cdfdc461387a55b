#!/usr/bin/env bash
# QELT_OSD: accepts a valid record and shows it near the bottom centre of the screen, refuses a
# malformed one, stays single, and ends on WM_DESTROY posted the way the agent does it.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../../.." && pwd)"
OUT="${QELT_OUT:-$ROOT/build/out}"
source "$ROOT/scripts/wine-env.sh"
[ -n "${DISPLAY:-}" ] || { echo "SKIP: needs an X display" >&2; exit 77; }
TOOL="$OUT/qelt_testtool.exe"
WORK="$(mktemp -d "${TMPDIR:-/tmp}/qelt-osd.XXXXXX")"
tool() { wine "$TOOL" "$@" 2>/dev/null | tr -d '\r'; }
osd_pid=""
fail() { echo "FAIL: $*" >&2; exit 1; }
cleanup() {
  local status=$?
  tool find "MIVO OSD" >/dev/null && tool post "MIVO OSD" WM_CLOSE 0 0 >/dev/null
  [ -n "$osd_pid" ] && { sleep 0.2; kill "$osd_pid" 2>/dev/null; wait "$osd_pid" 2>/dev/null; }
  rm -rf "$WORK"
  exit $status
}
trap cleanup EXIT

record() {  # FILE TEXT DURATION [LENGTH] [BREAK_TERMINATOR]
  /usr/bin/python3 - "$@" <<'PY'
import struct, sys
out, text, duration = sys.argv[1], sys.argv[2], int(sys.argv[3])
length = int(sys.argv[4]) if len(sys.argv) > 4 else 1044
def field(s):
    b = s.encode("utf-16le") + b"\0\0"
    return b + b"\0" * (512 - len(b))
data = field(text) + struct.pack("<iiiIi", 0, duration, 0, 0x001980FF, 30) + field("System")
if len(sys.argv) > 5:
    data = b"A\0" * 256 + data[512:]
with open(out, "wb") as f:
    f.write((data + b"\0" * max(0, length - len(data)))[:length])
PY
}

tool find "MIVO OSD" >/dev/null && fail "a display is already running"
(cd "$OUT" && exec wine ./QELT_OSD.exe >/dev/null 2>&1) &
osd_pid=$!
tool wait "MIVO OSD" --timeout 10000 >/dev/null || fail "no display window"

# A second start ends at once, leaving one window.
(cd "$OUT" && timeout 10 wine ./QELT_OSD.exe >/dev/null 2>&1) || fail "second display did not end"
[ "$(tool list | grep -c $'\tMIVO OSD$')" = 1 ] || fail "more than one display window"

record "$WORK/good.bin" "Profile 3" 3000
[ "$(tool copydata "MIVO OSD" 0 "$(winepath -w "$WORK/good.bin" 2>/dev/null)")" = 1 ] || fail "valid record refused"
tool wait "MIVO OSD" --visible --timeout 3000 >/dev/null || fail "display not shown"
read -r l t r b < <(tool rect "MIVO OSD")
screen_w=1280; screen_h=1024
read -r screen_w screen_h < <(xdpyinfo | awk '/dimensions/ {split($2, d, "x"); print d[1], d[2]}')
centre=$(( (l + r) / 2 ))
[ $((centre - screen_w / 2)) -ge -2 ] && [ $((centre - screen_w / 2)) -le 2 ] || fail "not centred: $l $r"
[ "$t" -gt $((screen_h / 2)) ] && [ "$b" -le "$screen_h" ] || fail "not in the lower half: $t $b"
[ $((r - l)) -gt 60 ] && [ $((b - t)) -ge 30 ] || fail "too small for the text: $l $t $r $b"

for bad in "1043" "1045" "1044 noterminator"; do
  record "$WORK/bad.bin" "Profile 1" 1500 $bad
  [ "$(tool copydata "MIVO OSD" 0 "$(winepath -w "$WORK/bad.bin" 2>/dev/null)")" = 0 ] || fail "record $bad accepted"
done

# Hidden again after its duration.
record "$WORK/short.bin" "Profile 2" 200
tool copydata "MIVO OSD" 0 "$(winepath -w "$WORK/short.bin" 2>/dev/null)" >/dev/null
deadline=$((SECONDS + 5))
while wine "$TOOL" wait "MIVO OSD" --visible --timeout 10 >/dev/null 2>&1; do
  [ $SECONDS -lt $deadline ] || fail "display still shown after its duration"
  sleep 0.1
done

tool post "MIVO OSD" WM_DESTROY 0 0 >/dev/null
tool wait-gone "MIVO OSD" --timeout 5000 >/dev/null || fail "display did not end on WM_DESTROY"
wait "$osd_pid"; osd_pid=""
echo "PASS"
