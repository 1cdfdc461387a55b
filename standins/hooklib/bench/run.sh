#!/usr/bin/env bash
# Prints how fast key events injected with SendInput reach a window through Plexin.dll, how many
# are lost, and what the hook costs the typing (plexin_bench.cpp). Run after scripts/build.sh.
#   standins/hooklib/bench/run.sh [EVENTS] [--handler-ms MS]
# The display and Wine server come from the scenario harness (its session lock keeps scenarios,
# which type keys of their own, out of the way).
source "$(dirname "${BASH_SOURCE[0]}")/../../../tests/harness/lib.sh"
scenario_begin plexin_bench
bench="$QELT_ROOT/build/bench/plexin_bench.exe"
[ -f "$bench" ] || fail "no $bench (build first: scripts/build.sh)"
wine "$bench" "$@" </dev/null | tr -d '\r'
