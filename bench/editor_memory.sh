#!/usr/bin/env bash
# The editor's private memory under Wine with the real agent and the simulated keyboard: after
# start, then after every one of its dialogs was opened once and closed (the function menu, the
# macro editor, the repeat options, the reset and apply warnings, the download progress), next to
# a trivial window program's.
# Usage: bench/editor_memory.sh [EDITOR]   (after scripts/build.sh; uses this checkout's prefix and
# the scenario library, whose work folder is build/scenarios/editor_memory). EDITOR: another
# build's QELT_Settings.exe with its Skins beside it, to compare builds; default this build's.
source "$(dirname "${BASH_SOURCE[0]}")/../tests/harness/lib.sh"
scenario_begin editor_memory

probe="$QELT_ROOT/build/bench/editor_probe.exe"
memory() { wine "$probe" memory "$1" "$2" </dev/null | tr -d '\r'; }

echo "== QELT_Settings under Wine $(wine --version 2>/dev/null), $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
start_program trivial_window "$probe" trivial
wait_window "QELT Trivial Window" 20 --visible
memory "QELT Trivial Window" "floor: trivial window program"

device_up
reset_data_dir
write_config 0 1 1
start_agent
start_editor editor "${1:-QELT_Settings.exe}"
memory "$QELT_EDITOR_TITLE" "editor after start"

# The function menu, then the macro editor it opens for slot M1 on key A, a key recorded (Repeat
# wants a macro), its repeat options (OK) and the macro editor closed with Cancel.
click_slot 0
click_key "$(key_index A)"
choose_function 0 1
wait_dialog
macro_editor="$DIALOG"
list="hwnd:$(tt children "$macro_editor" | awk -F'\t' '$5 == "ListBox" { print $1; exit }')"
click_skin "$macro_editor" macro_skin.ini BUTTONINFO 2
wait_diag editor 'loaded hook OK!' 10 >/dev/null
point_at "$macro_editor"
press_keys b
_recorded() { [ "$(tt send "$list" 0x18B 0 0)" -ge 2 ]; }  # LB_GETCOUNT: a press and a release
wait_until 10 "a recorded key" _recorded
click_skin "$macro_editor" macro_skin.ini BUTTONINFO 3
click_skin "$macro_editor" macro_skin.ini BUTTONINFO 10
_repeat_open() { _find_dialog && [ "$DIALOG" != "$macro_editor" ]; }
wait_until 10 "the repeat options" _repeat_open
click_skin "$DIALOG" repeat_skin.ini BUTTONINFO 4
tt wait-gone "$DIALOG" --timeout "$(_timeout_ms 10)" || fail "the repeat options did not close"
click_skin "$macro_editor" macro_skin.ini BUTTONINFO 14
tt wait-gone "$macro_editor" --timeout "$(_timeout_ms 10)" || fail "the macro editor did not close"

# Reset, declined at its warning; Apply, confirmed, with the download progress to its end.
click_editor BUTTONINFO 13
wait_dialog
answer_warning 1 2
click_editor BUTTONINFO 11
wait_dialog
answer_warning 3 1
wait_window DLGLoading 15 --visible
wait_gone DLGLoading 20
tt send "$QELT_EDITOR_TITLE" WM_NULL 0 0 --timeout "$(_timeout_ms 10)" >/dev/null || fail "the editor does not answer"
memory "$QELT_EDITOR_TITLE" "editor after every dialog opened once"
scenario_pass >/dev/null
