#!/usr/bin/env bash
# QELT_OSD: accepts a valid record and shows it near the bottom centre of the screen, refuses a
# malformed one, stays single, and ends on WM_DESTROY posted the way the agent does it.
source "$(dirname "${BASH_SOURCE[0]}")/../harness/lib.sh"
scenario_begin

# record FILE TEXT DURATION [LENGTH] [BREAK_TERMINATOR]: an OSD_MESSAGE as the agent sends it.
record() {
    python3 - "$QELT_SCENARIO_DIR/$1" "${@:2}" <<'PY'
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
send_record() { tt copydata "MIVO OSD" 0 "$QELT_SCENARIO_DIR/$1"; }
osd_hidden() { ! tt wait "MIVO OSD" --visible --timeout 10 >/dev/null 2>&1; }

window_exists "MIVO OSD" && fail "a display is already running"
start_program osd QELT_OSD.exe
wait_window "MIVO OSD" 10

# A second start ends at once, leaving one window.
start_program second QELT_OSD.exe
expect_exit second 0 10
expect_eq "$(tt list | grep -c $'\tMIVO OSD$')" 1 "display windows"

record good.bin "Profile 3" 3000
expect_eq "$(send_record good.bin)" 1 "answer to a valid record"
wait_window "MIVO OSD" 3 --visible
read -r l t r b <<<"$(window_rect "MIVO OSD")"
read -r screen_w screen_h < <(xdpyinfo | awk '/dimensions/ {split($2, d, "x"); print d[1], d[2]}')
centre=$(((l + r) / 2))
[ $((centre - screen_w / 2)) -ge -2 ] && [ $((centre - screen_w / 2)) -le 2 ] || fail "not centred: $l $r"
[ "$t" -gt $((screen_h / 2)) ] && [ "$b" -le "$screen_h" ] || fail "not in the lower half: $t $b"
[ $((r - l)) -gt 60 ] && [ $((b - t)) -ge 30 ] || fail "too small for the text: $l $t $r $b"

for bad in "1043" "1045" "1044 noterminator"; do
    # shellcheck disable=SC2086  # LENGTH [BREAK_TERMINATOR]
    record bad.bin "Profile 1" 1500 $bad
    expect_eq "$(send_record bad.bin)" 0 "answer to the record $bad"
done

# Hidden again after its duration.
record short.bin "Profile 2" 200
send_record short.bin >/dev/null
wait_until 5 "display hidden after its duration" osd_hidden

post_message "MIVO OSD" WM_DESTROY 0 0
wait_gone "MIVO OSD" 5
expect_exit osd 0 5
scenario_pass
