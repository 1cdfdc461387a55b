#!/usr/bin/env bash
# Keys typed on the (X) keyboard, not injected, reach a window of another process through
# Plexin.dll as WM_RECORDED_KEY: press and release, plain and extended, flags 0x00/0x80 (+0x01).
source "$(dirname "${BASH_SOURCE[0]}")/../harness/lib.sh"
scenario_begin

title="Plexin Target $$"
log="$QELT_SCENARIO_DIR/target.log"
start_testtool target window "$title" --log "$log"
wait_window "$title" 15 --visible
start_program host "$QELT_TESTS_DIR/plexin_host.exe" "$title"
wait_log_line "$QELT_SCENARIO_DIR/host.out" '^hooked' 15 >/dev/null

point_at "$title"
press_keys a Right
mapfile -t events < <(wait_log_count "$log" '^msg msg=0x40a ' 4)
expected=("0x1e0041 0x0" "0x1e0041 0x80" "0x4d0027 0x1" "0x4d0027 0x81")
for i in 0 1 2 3; do
    expect_eq "$(log_field "${events[$i]}" wParam) $(log_field "${events[$i]}" lParam)" "${expected[$i]}" \
        "WM_RECORDED_KEY $((i + 1)) (wParam lParam)"
done
scenario_pass
