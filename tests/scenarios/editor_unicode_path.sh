#!/usr/bin/env bash
# A program path with Cyrillic and CJK letters goes through the editor and the agent whole: an
# imported UTF-16 ".Config" in a fresh data folder, Apply, Export, the agent's reload, and the
# launch key on the simulated keyboard starting the program.
source "$(dirname "${BASH_SOURCE[0]}")/../harness/lib.sh"
scenario_begin

device_up
reset_data_dir
# The program: a batch file in a folder whose name no ANSI code page holds, leaving a marker.
program_dir="$QELT_SCENARIO_DIR/Игры/游戏"
mkdir -p "$program_dir"
marker="$QELT_SCENARIO_DIR/launched.txt"
rm -f "$marker"
printf 'echo started> "%s"\r\n' "$(windows_path "$marker")" >"$program_dir/game.bat"
program="$(windows_path "$program_dir")\\game.bat"

# The file to import, in UTF-16LE with its byte-order mark: M3 on key 60 starts the program.
import_file="$QELT_SCENARIO_DIR/unicode.Config"
PROGRAM="$program" python3 - "$import_file" <<'PY'
import os, sys
text = ("[Setting]\r\nMacroLength=0\r\nDiableWinKey=1\r\n"
        "[BUTTONCONFIG2]\r\nFunID=16\r\nMappinkey=60\r\nAPP Path=" + os.environ["PROGRAM"] + "\r\n")
open(sys.argv[1], "wb").write(b"\xff\xfe" + text.encode("utf-16-le"))
PY

start_agent  # makes the data folder and its Config.config, with the keyboard's status
start_editor
click_profile 1
wait_config CURRENTPROFILE 1

# Import into profile 2, then Apply: the agent reloads the files and downloads the profile.
click_editor BUTTONINFO 10
type_into_file_dialog Open "$(windows_path "$import_file")"
wait_gone Open 10
tt send "$QELT_EDITOR_TITLE" WM_NULL 0 0 >/dev/null
kbsim reset >/dev/null
apply_and_download
expect_download_of 1
file_text "$(profile_file 1)" | grep -qxF "APP Path=$program" || fail "Profile1 does not hold the path: $(file_text "$(profile_file 1)" | grep 'APP Path')"

# Export: the exported file holds the path as it is.
exported="$QELT_SCENARIO_DIR/export.Config"
rm -f "$exported"
click_editor BUTTONINFO 9
type_into_file_dialog "Save As" "$(windows_path "$exported")"
wait_gone "Save As" 10
wait_until 10 "exported file" test -s "$exported"
file_text "$exported" | grep -qxF "APP Path=$program" || fail "the export does not hold the path: $(file_text "$exported" | grep 'APP Path')"

# Launch key 3 (event word 0xFD03) of the profile the agent reloaded starts the program.
wait_until 10 "set-profile 2" sh -c "wine '$QELT_KBSIM' journal 2>/dev/null | tr -d '\r' | tail -n1 | grep -qx '00222544 02'"
inject FD03
wait_until 15 "the program at the path with Cyrillic and CJK letters started" test -f "$marker"
diag_has agent "LaunchAPP: starting $program" || fail "the agent's diagnostic does not name $program"
click_editor BUTTONINFO 2
expect_exit editor 0 15
stop_agent
scenario_pass
