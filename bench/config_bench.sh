#!/usr/bin/env bash
# Builds the configuration benchmark when needed and runs it under Wine: save and load timings
# in one process, then loads in fresh processes (nothing cached), as the editor loads at start;
# each load also by the per-key reference path.
#   bench/config_bench.sh [runs]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
runs="${1:-9}"
# Configure every time: a build tree made before bench/ existed does not know the target.
cmake -S . -B build -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null 2>&1 || { echo "configure failed" >&2; exit 1; }
# QELT_CONFIG_BENCH_EXE: another build of the benchmark (for example one kept from before a
# change), run the same way.
exe="${QELT_CONFIG_BENCH_EXE:-build/bench/config_bench.exe}"
[ -n "${QELT_CONFIG_BENCH_EXE:-}" ] || ninja -C build -j2 config_bench >/dev/null
source scripts/wine-env.sh
wine_up
output="$(wine "$exe" "$runs" --keep </dev/null | tr -d '\r')"
echo "$output" | grep -v '^data folder'
folder="$(echo "$output" | sed -n 's/^data folder for cold loads: //p')"
# Both read paths in turn, so that a burst of other work on the machine falls on both alike.
sections=()
by_key=()
for _ in $(seq "$runs"); do
  sections+=("$(wine "$exe" --load-once "$folder" </dev/null | tr -d '\r')")
  by_key+=("$(wine "$exe" --load-once "$folder" --key-by-key </dev/null | tr -d '\r')")
done
report() {
  local label="$1"; shift
  printf '%s\n' "$@" | sort -g | awk -v n="$runs" -v label="$label" '
    { t[NR] = $1 }
    END { printf "%-44s median %8.2f ms   min %8.2f   max %8.2f   (%d runs)\n",
          label, t[int(n / 2) + 1], t[1], t[n], n }'
}
report "load everything (editor start), new process" "${sections[@]}"
report "  same, key by key (reference path)" "${by_key[@]}"
wine "$exe" --cleanup "$folder" </dev/null
