#!/usr/bin/env bash
# Soak of the configuration saves (not part of the test suite; minutes long). A program saving
# the whole configuration again and again (bench/save_soak.cpp: Config.config and six profile
# files through the programs' own save) is killed (SIGKILL, no chance to tidy up) at a random
# moment, its files are checked, and it starts again, until the given number of saves have
# completed. After every kill each file must load and hold wholly one save's content: the last
# completed save's or the one that was running. Prints what it found; exit status 1 when a file
# was ever part old, part new, unreadable, or from another save.
#   bench/save_soak.sh [SAVES]   (default 200; after scripts/build.sh, in this checkout's prefix)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
saves="${1:-200}"
cmake -S . -B build -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null 2>&1 || { echo "configure failed" >&2; exit 1; }
ninja -C build -j2 save_soak >/dev/null
source scripts/wine-env.sh
wine_up
exe="build/bench/save_soak.exe"

work="$(mktemp -d /tmp/qelt-save-soak.XXXXXX)"
cleanup() {
  [ -n "${saver:-}" ] && kill -KILL "$saver" 2>/dev/null || true
  case "$work" in /tmp/qelt-save-soak.*) rm -rf "$work" ;; esac
}
trap cleanup EXIT
mkdir "$work/data"
folder="Z:$(sed 's|/|\\|g' <<<"$work/data")\\"

# check ALLOWED...: every file whole and of one of the allowed generations; the generations found
# go to `found`, files that are not go to bad_files.
bad_files=0
found=()
check() {
  local report file generation
  found=()
  report="$(wine "$exe" check "$folder" </dev/null | tr -d '\r')" || true
  while read -r file generation; do
    [ -n "$file" ] || continue
    case "$generation" in
      MIXED|UNREADABLE) echo "  $file $generation" >&2; bad_files=$((bad_files + 1)); continue ;;
    esac
    if [[ " $* " != *" $generation "* ]]; then
      echo "  $file holds save $generation, expected one of: $*" >&2
      bad_files=$((bad_files + 1))
    fi
    found+=("$generation")
  done <<<"$report"
  if [ "$(wc -l <<<"$report")" -ne 7 ]; then
    echo "  the check did not report all seven files: $report" >&2
    bad_files=$((bad_files + 1))
  fi
}

# The first save completes before any kill: from then on every file exists.
completed=0
kills=0
max_work_files=0
next=0
allowed=()
started=$SECONDS
while [ "$completed" -lt "$saves" ]; do
  out="$work/round.out"
  wine "$exe" save "$folder" "$next" >"$out" 2>/dev/null </dev/null &
  saver=$!
  if [ "$next" -eq 0 ]; then
    deadline=$((SECONDS + 120))
    until grep -q '^saved 0' "$out" 2>/dev/null || [ $SECONDS -ge $deadline ]; do sleep 0.05; done
  else
    # The random moment of the kill: 0.05 to 2.5 s after the start (a few saves and a part).
    sleep "$(awk -v r="$RANDOM" 'BEGIN { printf "%.3f", 0.05 + (r % 2450) / 1000 }')"
  fi
  kill -KILL "$saver" 2>/dev/null || true
  wait "$saver" 2>/dev/null || true
  saver=""
  kills=$((kills + 1))
  if grep -q '^failed' "$out"; then
    echo "a save failed: $(grep '^failed' "$out" | tr -d '\r')" >&2
    exit 1
  fi
  done_here="$(grep -c '^saved' "$out" || true)"
  completed=$((completed + done_here))
  last="$(tr -d '\r' <"$out" | sed -n 's/^saved //p' | tail -n1)"
  if [ -n "$last" ]; then
    allowed=("$last" "$((last + 1))")
  else
    allowed+=("$next")
  fi
  check "${allowed[@]}"
  allowed=($(printf '%s\n' "${found[@]}" | sort -un))
  work_files="$(find "$work/data" -name '~qelt*.tmp' | wc -l)"
  [ "$work_files" -gt "$max_work_files" ] && max_work_files="$work_files"
  # The next round saves generations no save has started yet.
  if [ -n "$last" ]; then next=$((last + 2)); else next=$((next + 1)); fi
done

echo "saves completed: $completed, kills: $kills ($((SECONDS - started)) s)"
echo "files checked after the kills: $((kills * 7)), not whole or from another save: $bad_files"
echo "work files left by killed saves at most: $max_work_files (a later save removes them once a minute old)"
[ "$bad_files" -eq 0 ] && echo "result: every file loaded, each wholly old or wholly new" || { echo "result: FAILED"; exit 1; }
