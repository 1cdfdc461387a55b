#!/usr/bin/env bash
# Starting without the keyboard: no tray icon, DEVICEPSTATS=0 while the editor's CURRENTPROFILE
# and LIGHT stay, and the editor's requests are still answered (a download runs its progress).
source "$(dirname "${BASH_SOURCE[0]}")/../harness/lib.sh"
scenario_begin

device_down
reset_data_dir
write_config 3 2 1
# Wine's tray may still show an icon of an agent an earlier scenario ended: only a new one counts.
icons_before="$(tt tray | grep -c . || true)"
start_agent
diag_has agent "Hide icon and write device NULL" || fail "no hide diagnostic"
expect_config DEVICEPSTATS 0
expect_config CURRENTPROFILE 3
expect_config LIGHT 2
icons_after="$(tt tray | grep -c . || true)"
[ "$icons_after" -le "$icons_before" ] || fail "a tray icon is shown without the device"

agent_job 1 2 15

# A download request without a "DLGLoading" window is given up after a bounded wait; a reload
# sent meanwhile is answered at once and runs once the download request is given up.
post_agent 0x7EA 1 1
expect_eq "$(send_message "$QELT_AGENT_TITLE" 0x7EA 0 0 --timeout 1000)" 1 "answer to a reload while a request waits"
wait_diag agent 'no "DLGLoading" window appeared' 20 >/dev/null

# The reload read the file: the agent now knows CURRENTPROFILE 3 and keeps it on shut-down.
stop_agent
expect_config CURRENTPROFILE 3
expect_config LIGHT 2
expect_config DEVICEPSTATS 0
scenario_pass
