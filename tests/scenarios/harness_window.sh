#!/usr/bin/env bash
# The harness itself: a stand-in window appears where asked, receives posted messages and
# WM_COPYDATA bytes unchanged, shows on the screen and closes on WM_CLOSE; the keyboard hook
# probe sees injected and typed keys; a hidden window's tray icon and menu can be clicked.
source "$(dirname "${BASH_SOURCE[0]}")/../harness/lib.sh"
scenario_begin

title="Harness Probe $$"
log="$QELT_SCENARIO_DIR/probe.log"
start_testtool probe window "$title" --log "$log" --pos 880,700 --size 320x240 --color 2080c0 --topmost \
    --reply WM_APP+7=42 --stall WM_APP+8=1000
wait_window "$title" 15 --visible
wait_log_line "$log" "^ready hwnd=$WINDOW_HWND " >/dev/null

# Where it was asked to be (no window manager moves it).
read -r left top right bottom <<<"$(window_rect "$title")"
expect_eq "$left $top $((right - left)) $((bottom - top))" "880 700 320 240" "window rect"

# A posted private message arrives with its parameters whole, lParam's sign included.
post_message "$title" WM_APP+1 0x1234 -1
wait_log_line "$log" '^msg msg=0x8001 wParam=0x1234 lParam=0xffffffffffffffff ' >/dev/null

# A sent one gets the answer the stand-in was told to give.
expect_eq "$(send_message "$title" WM_APP+7 5 6)" "42" "result of a sent WM_APP+7"
wait_log_line "$log" '^msg msg=0x8007 wParam=0x5 lParam=0x6 ' >/dev/null

# A peer that sits on a message: the sender's timeout ends the wait and reports the failure.
if tt send "$title" WM_APP+8 0 0 --timeout 300 2>/dev/null; then
    fail "send to a stalled window reported success"
fi
wait_log_line "$log" '^stall ms=1000 ' >/dev/null

# WM_COPYDATA: every byte of a file arrives, NULs and high bytes included.
printf 'Q\000\377\001Profile 3' >"$QELT_SCENARIO_DIR/payload.bin"
expect_eq "$(tt copydata "$title" 0x2a "$QELT_SCENARIO_DIR/payload.bin")" "1" "WM_COPYDATA result"
line="$(wait_log_line "$log" '^copydata ')"
expect_eq "$(log_field "$line" dwData) $(log_field "$line" cbData)" "0x2a 13" "WM_COPYDATA header"
expect_eq "$(log_field "$line" bytes)" "5100ff0150726f66696c652033" "WM_COPYDATA bytes"

# A wide text payload, as a display program gets it.
tt copydata "$title" 1 --wtext "Profile 2" >/dev/null
line="$(wait_log_line "$log" '^copydata .*wtext=')"
expect_eq "$(log_field "$line" wtext)" '"Profile 2"' "WM_COPYDATA text"

# On the screen: the window's own colour inside, not the display's background.
read -r cl ct cr cb <<<"$(client_rect "$title")"
shot="$(screenshot probe.png)"
expect_eq "$(pixel_at "$shot" $(((cl + cr) / 2)) $(((ct + cb) / 2)))" "#2080C0" "pixel inside the window"
expect_eq "$(pixel_at "$shot" $((left - 5)) $((top - 5)))" "$(pixel_at "$shot" 2 1000)" "pixel outside the window"

# The keyboard hook probe tells injected keys (SendInput) from typed ones (X keys).
hook_log="$QELT_SCENARIO_DIR/hook.log"
start_testtool hook hookprobe --log "$hook_log" --title "Harness Hook $$"
wait_window "Harness Hook $$" 15
tt key 0x7C >/dev/null
wait_log_line "$hook_log" '^key vk=0x7c .*flags=0x10 ' >/dev/null
wait_log_line "$hook_log" '^key vk=0x7c .*flags=0x90 ' >/dev/null
point_at "$title"
press_keys b
wait_log_line "$hook_log" '^key vk=0x42 .*flags=0x0 ' >/dev/null
wait_log_line "$hook_log" '^key vk=0x42 .*flags=0x80 ' >/dev/null
post_message "Harness Hook $$" WM_CLOSE 0 0
expect_exit hook 0

# A hidden window's tray icon, as a background program has it: a right click reaches the
# callback (WM_APP+0x3FF) and the menu it opens takes a click on an item.
tray_log="$QELT_SCENARIO_DIR/tray.log"
start_testtool tray window "Harness Tray $$" --hidden --tray-menu "Open|Settings|Exit" --log "$tray_log" \
    --close-on WM_APP+9
wait_window "Harness Tray $$" 15
wait_tray_icons 1
click_tray_icon last 3
wait_log_line "$tray_log" '^msg msg=0x83ff wParam=0x1 lParam=0x204 ' >/dev/null
wait_log_line "$tray_log" '^msg msg=0x83ff wParam=0x1 lParam=0x205 ' >/dev/null
click_menu_item 2 3
wait_log_line "$tray_log" '^menu item=2 .*text="Settings"$' >/dev/null
post_message "Harness Tray $$" WM_APP+9 0 0
wait_gone "Harness Tray $$"
wait_tray_icons_gone() { [ -z "$(tray_icons)" ]; }
wait_until 10 "tray icon removed" wait_tray_icons_gone
expect_exit tray 0

# Only the window, its corner at 0,0.
crop="$(window_screenshot "$title" probe-window.png)"
expect_eq "$(identify -format '%w %h' "$crop")" "320 240" "window screenshot size"
expect_eq "$(pixel_at "$crop" $((cl - left + 10)) $((ct - top + 10)))" "#2080C0" "window screenshot content"

# WM_CLOSE ends it: the window goes and the program exits cleanly.
post_message "$title" WM_CLOSE 0 0
wait_gone "$title"
wait_log_line "$log" '^close ' >/dev/null
expect_exit probe 0

# Configuration values read the way the programs read them, from ANSI and UTF-16 files.
printf '[General]\r\nCurrantProfile=2\r\n[Profile]\r\ncurrantprofile=7\r\n' >"$QELT_SCENARIO_DIR/ansi.ini"
printf '\xff\xfe' >"$QELT_SCENARIO_DIR/wide.ini"
printf '[general]\r\nCURRANTPROFILE = 4\r\nName=\xc3\xa9\r\n' | iconv -f utf-8 -t utf-16le >>"$QELT_SCENARIO_DIR/wide.ini"
expect_eq "$(ini_value "$QELT_SCENARIO_DIR/ansi.ini" general currantprofile)" "2" "ANSI INI value"
expect_eq "$(ini_value "$QELT_SCENARIO_DIR/wide.ini" General CurrantProfile)" "4" "UTF-16 INI value"
expect_eq "$(ini_value "$QELT_SCENARIO_DIR/wide.ini" General Name)" "é" "UTF-16 INI text"
if (ini_value "$QELT_SCENARIO_DIR/ansi.ini" General Missing) 2>/dev/null; then
    fail "a missing INI key was found"
fi

scenario_pass
