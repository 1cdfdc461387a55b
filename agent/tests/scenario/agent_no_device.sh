#!/usr/bin/env bash
# Starting without the keyboard: no tray icon, DEVICEPSTATS=0 while the editor's CURRENTPROFILE
# and LIGHT stay, and the editor's requests are still answered (a download runs its progress).
source "$(dirname "$0")/agent_lib.sh"

device_down
reset_data
write_config 3 2 1
# Wine's tray may still show an icon of an agent an earlier scenario ended: only a new one counts.
icons_before="$(tool tray | grep -c . || true)"
start_agent
log_has "$WORK/agent.log" "Hide icon and write device NULL" || fail "no hide diagnostic"
expect_config DEVICEPSTATS 0
expect_config CURRENTPROFILE 3
expect_config LIGHT 2
icons_after="$(tool tray | grep -c . || true)"
[ "$icons_after" -le "$icons_before" ] || fail "a tray icon is shown without the device"

start_peer DLGLoading "$WORK/loading.log"
post_agent 0x7EA 0 0
post_agent 0x7EA 1 2
wait_log "$WORK/loading.log" "msg=0x7eb wParam=0x0 lParam=0x0" 15
got="$(progress_of "$WORK/loading.log")"
[ "$got" = "1,25 1,50 1,75 1,100 0,0 " ] || fail "progress was '$got'"
close_window DLGLoading

# A download request without a "DLGLoading" window is given up after a bounded wait; the agent
# then answers again.
post_agent 0x7EA 1 1
wait_log "$WORK/agent.log" 'no "DLGLoading" window appeared' 20
tool send "$AGENT_TITLE" 0x7EA 0 0 --timeout 5000 >/dev/null || fail "agent does not answer after the skipped job"

# The reload read the file: the agent now knows CURRENTPROFILE 3 and keeps it on shut-down.
stop_agent
expect_config CURRENTPROFILE 3
expect_config LIGHT 2
expect_config DEVICEPSTATS 0
echo "PASS"
