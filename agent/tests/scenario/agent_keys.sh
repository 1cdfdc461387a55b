#!/usr/bin/env bash
# Key events from the simulated keyboard: a profile key, a launch key, media keys, the volume
# repeat, and the two device notices.
source "$(dirname "$0")/agent_lib.sh"
HERE="$(cd "$(dirname "$0")" && pwd)"

inject() { kbsim inject "$@" >/dev/null || fail "kbsim inject $*"; }
hex_utf16() { printf '%s' "$1" | iconv -f ascii -t utf-16le | od -An -tx1 -v | tr -d ' \n'; }
key_lines() { grep -c "key vk=$1 .*flags=$2 " "$WORK/hook.log" || true; }

device_up
reset_data
write_config 0 1 1
launch_dir="$(winepath -w "$WORK" 2>/dev/null | tr -d '\r')"
printf 'echo started> "%s\\launched.txt"\r\n' "$launch_dir" > "$WORK/launch.bat"
# Profile 3: slot 4 (event word 0xFD05) starts the batch file.
/usr/bin/python3 "$HERE/make_profile.py" "$DATA/Profile3" "4:16:60:$launch_dir\\launch.bat"
start_peer "$EDITOR_TITLE" "$WORK/editor.log"
start_peer "MIVO OSD" "$WORK/osd.log"
start_hookprobe "$WORK/hook.log"
start_agent

# Profile key 4: configuration, editor and display.
inject 01F4
wait_log "$WORK/osd.log" "copydata" 15
wait_config CURRENTPROFILE 3
expect_config PC_MODE 0
expect_config DEVICEPSTATS 1
log_has "$WORK/editor.log" "msg=0x7e9 wParam=0x3 lParam=0x401" || fail "editor not told"
record="$(grep -m1 -o 'cbData=1044 bytes=[0-9a-f]*' "$WORK/osd.log" | sed 's/.*bytes=//')"
[ ${#record} -eq 2088 ] || fail "display record of ${#record} hex digits"
text="$(hex_utf16 "Profile 4")0000"
[ "${record:0:${#text}}" = "$text" ] || fail "display text: ${record:0:40}"
[ "${record:1024:40}" = "00000000dc05000000000000ff8019001e000000" ] || fail "display values: ${record:1024:40}"
face="$(hex_utf16 System)0000"
[ "${record:1064:${#face}}" = "$face" ] || fail "display face: ${record:1064:28}"

# Launch key 5 starts slot 4 of the profile just made current.
inject FD05
wait_until 15 test -f "$WORK/launched.txt" || fail "the slot's program did not start"

# Media keys are synthesised on the host: next track and play/pause extended, mute not.
inject B500 CD00 E200
wait_until 10 sh -c "grep -q 'key vk=0xad .*flags=0x90 ' '$WORK/hook.log'" || fail "no mute key"
[ "$(key_lines 0xb0 0x11)" = 1 ] && [ "$(key_lines 0xb0 0x91)" = 1 ] || fail "next track: $(grep 0xb0 "$WORK/hook.log")"
[ "$(key_lines 0xb3 0x11)" = 1 ] && [ "$(key_lines 0xb3 0x91)" = 1 ] || fail "play/pause"
[ "$(key_lines 0xad 0x10)" = 1 ] || fail "mute"

# Volume up held: one tap at once, then one every 100 ms until the release word.
inject E900
wait_until 10 sh -c "[ \$(grep -c 'key vk=0xaf .*flags=0x10 ' '$WORK/hook.log') -ge 6 ]" || fail "volume repeat"
inject 0000
sleep 0.3  # let a tap already queued arrive before the count is taken
taps="$(key_lines 0xaf 0x10)"
sleep 0.5  # no tap may follow the release
[ "$(key_lines 0xaf 0x10)" = "$taps" ] || fail "volume taps went on after the release"
times="$(grep 'key vk=0xaf .*flags=0x10 ' "$WORK/hook.log" | sed -E 's/.* t=([0-9]+).*/\1/')"
gaps="$(echo "$times" | awk 'NR>1 {print int(($1-p)/1000)} {p=$1}' | sort -n)"
median="$(echo "$gaps" | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}')"
[ "$median" -ge 80 ] && [ "$median" -le 160 ] || fail "volume repeat every $median ms: $gaps"

# Keyboard away and back: icon and DEVICEPSTATS follow, the editor is asked to close.
inject 00BE
wait_config DEVICEPSTATS 0 10
log_has "$WORK/editor.log" "close" || fail "editor not closed"
tool tray | grep -q __winex11_tray_icon && fail "icon still shown"
inject 00BD
wait_config DEVICEPSTATS 1 10
wait_until 5 sh -c "wine '$TOOL' tray 2>/dev/null | grep -q __winex11_tray_icon" || fail "icon not shown again"
expect_config CURRENTPROFILE 3

stop_agent
echo "PASS"
