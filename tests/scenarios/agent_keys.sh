#!/usr/bin/env bash
# Key events from the simulated keyboard: a profile key, a launch key, media keys, the volume
# repeat, and the two device notices.
source "$(dirname "${BASH_SOURCE[0]}")/../harness/lib.sh"
scenario_begin

hook_log="$QELT_SCENARIO_DIR/hook.log"
hex_utf16() { printf '%s' "$1" | iconv -f ascii -t utf-16le | od -An -tx1 -v | tr -d ' \n'; }
key_lines() { grep -c "key vk=$1 .*flags=$2 " "$hook_log" || true; }
icon_shown() { tt tray 2>/dev/null | grep -q __winex11_tray_icon; }
icon_hidden() { ! icon_shown; }

device_up
reset_data_dir
write_config 0 1 1
launch_dir="$(windows_path "$QELT_SCENARIO_DIR")"
printf 'echo started> "%s\\launched.txt"\r\n' "$launch_dir" >"$QELT_SCENARIO_DIR/launch.bat"
# Profile 3: slot 4 (event word 0xFD05) starts the batch file.
make_profile 3 "4:16:60:$launch_dir\\launch.bat"
start_peer "$QELT_EDITOR_TITLE" editor.log
start_peer "MIVO OSD" osd.log
start_hookprobe "$hook_log"
start_agent

# Profile key 4: configuration, editor and display.
inject 01F4
line="$(wait_log_line "$QELT_SCENARIO_DIR/osd.log" '^copydata ' 15)"
wait_config CURRENTPROFILE 3
expect_config PC_MODE 0
expect_config DEVICEPSTATS 1
grep -q "msg=0x7e9 wParam=0x3 lParam=0x401" "$QELT_SCENARIO_DIR/editor.log" || fail "editor not told"
expect_eq "$(log_field "$line" cbData)" 1044 "display record size"
record="$(log_field "$line" bytes)"
text="$(hex_utf16 "Profile 4")0000"
expect_eq "${record:0:${#text}}" "$text" "display text"
expect_eq "${record:1024:40}" "00000000dc05000000000000ff8019001e000000" "display values"
face="$(hex_utf16 System)0000"
expect_eq "${record:1064:${#face}}" "$face" "display face"

# Launch key 5 starts slot 4 of the profile just made current.
inject FD05
wait_until 15 "the slot's program started" test -f "$QELT_SCENARIO_DIR/launched.txt"

# Media keys are synthesised on the host: next track and play/pause extended, mute not.
inject B500 CD00 E200
wait_log_line "$hook_log" 'key vk=0xad .*flags=0x90 ' >/dev/null
expect_eq "$(key_lines 0xb0 0x11) $(key_lines 0xb0 0x91)" "1 1" "next track down and up"
expect_eq "$(key_lines 0xb3 0x11) $(key_lines 0xb3 0x91)" "1 1" "play/pause down and up"
expect_eq "$(key_lines 0xad 0x10)" 1 "mute"

# Volume up held: one tap at once, then one every 100 ms until the release word.
inject E900
wait_log_count "$hook_log" 'key vk=0xaf .*flags=0x10 ' 6 >/dev/null
inject 0000
# After the release the taps stop: the count stays the same for 400 ms (at 100 ms a running
# timer would change it four times).
last_taps=-1
last_change=0
_taps_settled() {
    local taps now
    taps="$(key_lines 0xaf 0x10)"
    now=$(date +%s%3N)
    if [ "$taps" != "$last_taps" ]; then
        last_taps=$taps
        last_change=$now
        return 1
    fi
    [ $((now - last_change)) -ge 400 ]
}
wait_until 5 "volume taps stop after the release" _taps_settled
times="$(grep 'key vk=0xaf .*flags=0x10 ' "$hook_log" | sed -E 's/.* t=([0-9]+).*/\1/')"
gaps="$(echo "$times" | awk 'NR>1 {print int(($1-p)/1000)} {p=$1}' | sort -n)"
median="$(echo "$gaps" | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}')"
[ "$median" -ge 80 ] && [ "$median" -le 160 ] || fail "volume repeat every $median ms: $gaps"

# Keyboard away and back: icon and DEVICEPSTATS follow, the editor is asked to close.
inject 00BE
wait_config DEVICEPSTATS 0 10
wait_log_line "$QELT_SCENARIO_DIR/editor.log" '^close ' 5 >/dev/null
wait_until 5 "icon hidden" icon_hidden
inject 00BD
wait_config DEVICEPSTATS 1 10
wait_until 5 "icon shown again" icon_shown
expect_config CURRENTPROFILE 3

stop_agent
scenario_pass
