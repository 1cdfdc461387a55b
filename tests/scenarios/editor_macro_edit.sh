#!/usr/bin/env bash
# Timing and steps edited in the macro editor, as the simulated keyboard gets them after one Apply:
# the delay field's value between a key's press and release, a key deleted from a recording with
# its press and release, a key held half a second recorded as typed, and a ".Macro" file's 10 s
# pause played as 10 s of pause entries rather than wrapping.
# ctest-timeout: 240
source "$(dirname "${BASH_SOURCE[0]}")/../harness/lib.sh"
scenario_begin

device_up
reset_data_dir
write_config 0 1 1
start_agent
start_editor

close_macro_editor() {  # OK (13) or Cancel (14)
    click_skin "$MACRO_EDITOR" macro_skin.ini BUTTONINFO "$1"
    tt wait-gone "$MACRO_EDITOR" --timeout "$(_timeout_ms 10)" || fail "the macro editor did not close"
}
stop_recording() {  # Stop, then the closing pause's line: LINES in all
    click_skin "$MACRO_EDITOR" macro_skin.ini BUTTONINFO 3
    wait_until 5 "$1 lines after Stop" _macro_lines_are "$1"
}

# M1 on A: the delay field set to 100, then "a" recorded.
open_macro_editor 0 "$(key_index A)"
set_macro_delay 100
record_macro_keys 3 a  # press, the pause, release
stop_recording 4
close_macro_editor 13

# M2 on S: "ab" recorded, the line of b's press clicked, Delete.
open_macro_editor 1 "$(key_index S)"
record_macro_keys 7 a b
stop_recording 8
click_macro_line 4  # A Press, pause, A Release, pause, B Press
click_skin "$MACRO_EDITOR" macro_skin.ini BUTTONINFO 6  # Delete
wait_until 5 "b's press and release deleted" _macro_lines_are 4
# A pause line selected and lengthened, for the guide's picture; then the edit undone by Set delay.
click_macro_line 1
set_macro_delay 250
click_skin "$MACRO_EDITOR" macro_skin.ini BUTTONINFO 7  # Set delay
read -r cl ct _ _ <<<"$(tt rect "$MACRO_LIST" --client)"
xdotool mousemove $((cl + 80)) $((ct + 200))  # off the buttons: no tooltip in the picture
take_picture macro-edit.png "$MACRO_EDITOR" >/dev/null
set_macro_delay 25
press_keys Return  # Enter in the field is Set delay
close_macro_editor 13

# M3 on D: as typed, a key held half a second.
open_macro_editor 2 "$(key_index D)"
click_skin "$MACRO_EDITOR" macro_skin.ini BUTTONINFO 5  # As typed
click_skin "$MACRO_EDITOR" macro_skin.ini BUTTONINFO 2  # Record
wait_diag editor 'loaded hook OK!' 10 >/dev/null
point_at "$MACRO_EDITOR"
xdotool keydown x sleep 0.5 keyup x
wait_until 10 "the held key's press, pause and release" _macro_lines_are 3
stop_recording 4
close_macro_editor 13

# M4 on F: a ".Macro" file written elsewhere with a pause of 10 s, loaded and kept.
long_file="$QELT_SCENARIO_DIR/long.Macro"
python3 "$QELT_HARNESS_DIR/make_profile.py" "$long_file" 0:32:255:04/1,FF/10000,04/0,FF/0
open_macro_editor 3 "$(key_index F)"
click_skin "$MACRO_EDITOR" macro_skin.ini BUTTONINFO 11  # Load
type_into_file_dialog Open "$(windows_path "$long_file")"
wait_until 10 "the file's four steps" _macro_lines_are 4
close_macro_editor 13

# Apply: one download carries all four.
kbsim reset >/dev/null
apply_and_download
tables="$(expect_tables_clean 1)"
note "tables: $tables"

m1="$(grep "M1: " <<<"$tables")"
[[ "$m1" == *": press 0x04 (A), pause 100 ms, release 0x04 (A), pause 25 ms, end, pause 25 ms" ]] ||
    fail "M1 is not A with the field's 100 ms: $m1"
m2="$(grep "M2: " <<<"$tables")"
[[ "$m2" == *": press 0x04 (A), pause 25 ms, release 0x04 (A), pause 25 ms, end, pause 25 ms" ]] ||
    fail "M2 is not A alone after deleting B: $m2"
m3="$(grep "M3: " <<<"$tables")"
held="$(sed -n 's/.*press 0x1B (X), pause \([0-9]*\) ms, release 0x1B (X).*/\1/p' <<<"$m3")"
[ -n "$held" ] || fail "M3 is not X pressed, a pause, X released: $m3"
[ "$held" -ge 400 ] && [ "$held" -le 700 ] || fail "X held 0.5 s recorded as $held ms (400 to 700 expected)"
note "X held 0.5 s: $held ms"
m4="$(grep "M4: " <<<"$tables")"
between="$(sed -n 's/.*press 0x04 (A), \(.*\), release 0x04 (A).*/\1/p' <<<"$m4")"
[ -n "$between" ] || fail "M4 is not A pressed, pauses, A released: $m4"
total=0
for pause in $(grep -o 'pause [0-9]* ms' <<<"$between" | awk '{print $2}'); do total=$((total + pause)); done
expect_eq "$total" 10000 "milliseconds of pause entries between A's press and release ($between)"
expect_eq "$(grep -o 'pause' <<<"$between" | wc -l)" 2 "pause entries for 10 s (255 units at most each)"
expect_eq "$(ini_value "$(profile_file 0)" MACROG3 MacroLength)" 4 "M4's stored length"

click_editor BUTTONINFO 2
expect_exit editor 0 15
stop_agent
scenario_pass
