#!/usr/bin/env bash
# The installer in a fresh Wine prefix of its own: a silent install (the program folder, the Start
# menu shortcut, the Run entry, the uninstall entry), the installed agent on the simulated
# keyboard, the installed editor and qeltctl; an upgrade over itself while the agent and the
# editor run; a silent uninstall that leaves only the user's data folder; an interactive install
# that starts the agent at its end.
# ctest-timeout: 600
source "$(dirname "${BASH_SOURCE[0]}")/../harness/lib.sh"
use_fresh_prefix
scenario_begin

[ -f "$QELT_INSTALLER" ] || fail "no installer at '$QELT_INSTALLER' (scripts/build.sh makes it; scripts/setup.sh installs nsis)"
program_dir="$WINEPREFIX/drive_c/Program Files/Zorvane Gear QELT"
shortcut="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Zorvane Gear QELT Settings.lnk"
run_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\ZorvaneGearQELT'
version="$(basename "$QELT_INSTALLER" .exe)"
version="${version#QELT-Setup-}"
QELTCTL_EXE="$program_dir/qeltctl.exe"

# What the installed programs are started as: the installed copies, never the build's.
installed_files() { (cd "$program_dir" && find . -type f | sort); }
shipped_files() { { (cd "$QELT_OUT" && find . -type f -not -path './skins/*' | sort); echo ./Uninstall.exe; } | sort; }
profile_checksum() { (cd "$(qelt_data_dir)" && sha1sum Profile*) | sha1sum; }
expect_installed() {
    expect_eq "$(installed_files)" "$(shipped_files)" "installed files against the program folder"
    [ -f "$shortcut" ] || fail "no Start menu shortcut $shortcut"
    python3 -c 'import sys; d=open(sys.argv[1],"rb").read(); n="QELT_Settings.exe"; sys.exit(0 if n.encode() in d or n.encode("utf-16-le") in d else 1)' \
        "$shortcut" || fail "the shortcut does not name QELT_Settings.exe"
    expect_eq "$(reg_value "$run_key" QELT_Core)" '"C:\Program Files\Zorvane Gear QELT\QELT_Core.exe"' "Run entry"
    expect_eq "$(reg_value "$uninstall_key" DisplayVersion)" "$version" "version in the uninstall entry"
    expect_eq "$(reg_value "$uninstall_key" QuietUninstallString)" \
        '"C:\Program Files\Zorvane Gear QELT\Uninstall.exe" /S' "silent uninstall command"
}

# A silent install: files, shortcut, Run entry; nothing started.
start_program install "$QELT_INSTALLER" /S
expect_exit install 0 120
expect_installed
if [ -e "$program_dir/qelt_testtool.exe" ] || [ -e "$program_dir/kbsim" ]; then fail "developer tools installed"; fi
window_exists "$QELT_AGENT_TITLE" && fail "a silent install started the agent"

# A program that does not close (an agent hung on WM_CLOSE): the installer gives up after its
# bounded wait, says why and changes nothing.
: >"$program_dir/table.xml"
start_peer "$QELT_AGENT_TITLE" hung-agent.log --stall WM_CLOSE=60000
hung_agent="peer$QELT_PEER_COUNT"
start_program hung "$QELT_INSTALLER" /S
expect_exit hung 3 60
wait_log_line "$QELT_SCENARIO_DIR/hung-agent.log" '^close ' >/dev/null
[ -s "$program_dir/table.xml" ] && fail "files were replaced although the agent did not close"
kill "$(program_pid "$hung_agent")"
wait_program_exit "$hung_agent" 10
cp "$QELT_OUT/table.xml" "$program_dir/table.xml"

# The installed agent hooks the simulated keyboard; the installed editor shows its skin; the
# installed qeltctl applies a profile through the agent.
device_up
reset_data_dir
write_config 0 1 1
make_profile 0 0:1:30 1:32:50:04/1,FF/50,04/0
start_agent "$program_dir/QELT_Core.exe"
wait_kbsim_state hooked yes 20
expect_config DEVICEPSTATS 1
start_editor editor "$program_dir/QELT_Settings.exe"
shot="$(window_screenshot "$QELT_EDITOR_TITLE" installed-editor.png)"
expect_button_look "$(screenshot installed-screen.png)" BUTTONINFO 4 main_down.bmp "profile 1 button of the installed editor"
close_window "$QELT_EDITOR_TITLE" 15
wait_program_exit editor 15
kbsim reset >/dev/null
expect_qeltctl 0 apply 1
expect_download_of 0

# An upgrade over the running agent and editor: both are closed, the files replaced (a damaged
# one comes back), the data kept, and the agent started again.
start_editor editor2 "$program_dir/QELT_Settings.exe"
agent_before="$(tt find "$QELT_AGENT_TITLE")"
profiles_before="$(profile_checksum)"
: >"$program_dir/table.xml"
start_program upgrade "$QELT_INSTALLER" /S
expect_exit upgrade 0 120
wait_program_exit editor2 5
wait_program_exit "$AGENT_NAME" 5
cmp -s "$program_dir/table.xml" "$QELT_OUT/table.xml" || fail "table.xml was not replaced"
expect_installed
wait_window "$QELT_AGENT_TITLE" 30
[ "$WINDOW_HWND" != "$agent_before" ] || fail "the agent was not started again"
wait_kbsim_state hooked yes 20
expect_eq "$(profile_checksum)" "$profiles_before" "profiles after the upgrade"
expect_config CURRENTPROFILE 0
expect_eq "$(wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' </dev/null 2>/dev/null |
              tr -d '\r' | grep -ci zorvane)" 1 "uninstall entries after the upgrade"

# A silent uninstall closes the agent (started by the installer) and the editor, removes the
# program folder, the shortcut, the Run entry and the uninstall entry, and keeps the data.
start_editor editor3 "$program_dir/QELT_Settings.exe"
start_program uninstall "$program_dir/Uninstall.exe" /S
expect_exit uninstall 0 60
_program_folder_gone() { [ ! -e "$program_dir" ]; }
wait_until 60 "program folder removed" _program_folder_gone
wait_program_exit editor3 5
window_exists "$QELT_AGENT_TITLE" && fail "the agent still runs after the uninstall"
[ -e "$shortcut" ] && fail "the shortcut is still there"
expect_eq "$(reg_value "$run_key" QELT_Core)" "" "Run entry after the uninstall"
reg_key_exists "$uninstall_key" && fail "the uninstall entry is still there"
expect_eq "$(profile_checksum)" "$profiles_before" "profiles after the uninstall"
[ -f "$(config_file)" ] || fail "Config.config went with the uninstall"
leftovers="$(cd "$WINEPREFIX/drive_c" && find . \( -iname '*qelt*' -o -iname '*zorvane*' -o -iname 'Plexin*' \) | grep -v '/AppData/Roaming/Mivo/' || true)"
expect_eq "$leftovers" "" "files left of the suite outside the data folder"

# An interactive install (Install, then Finish) starts the agent at its end. The setup window's
# title ends in the empty page caption's space.
setup_title="Zorvane Gear QELT Setup "
start_program interactive "$QELT_INSTALLER"
wait_window "$setup_title" 60 --visible
window_screenshot "$setup_title" setup-folder.png >/dev/null
point_at "$setup_title"
press_keys Return
wait_window "$QELT_AGENT_TITLE" 60
wait_kbsim_state hooked yes 20
window_screenshot "$setup_title" setup-finish.png >/dev/null
point_at "$setup_title"
press_keys Return
expect_exit interactive 0 30
expect_installed
close_window "$QELT_AGENT_TITLE" 15
scenario_pass
