#!/usr/bin/env bash
# Copies the user guide's pictures from the scenarios' work folders (build/scenarios/NAME/) into
# docs/ (for README.md) and help/pictures/ (for help/index.html, shipped beside the programs), so
# that the pictures show the programs as they are, in the skin as it is. The scenarios take them
# (take_picture and friends in tests/harness/lib.sh): run scripts/test.sh first, or
#   scripts/update-pictures.sh --run     runs only the scenarios that take them (needs a build)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

# scenario/picture as taken, its name, where it goes (docs: README.md; help: the help page)
pictures=(
  "editor_keys/editor-main.png editor-main.png docs,help"
  "editor_keys/function-menu.png function-menu.png docs,help"
  "editor_macro_dialog/macro-recorded.png macro-editor.png docs,help"
  "editor_macro_dialog/repeat-options.png repeat-options.png docs,help"
  "editor_macro_edit/macro-edit.png macro-edit.png help"
  "editor_commands/applying.png applying.png help"
  "editor_startup/no-keyboard.png no-keyboard.png help"
  "osd_display/osd.png osd.png docs,help"
  "editor_app_profiles/program-profiles.png program-profiles.png docs,help"
  "agent_system/tray-menu.png tray-menu.png help"
  "installer/setup-folder.png setup-folder.png docs"
  "installer/setup-finish.png setup-finish.png docs"
)

if [ "${1:-}" = "--run" ]; then
  scenarios="$(for p in "${pictures[@]}"; do echo "${p%%/*}"; done | sort -u | paste -sd'|')"
  source scripts/wine-env.sh
  source scripts/xvfb.sh
  cleanup() { wine_down; xvfb_stop; }
  trap cleanup EXIT
  wine_down   # a server started without this display would keep the wrong desktop
  xvfb_start
  wine_up
  ctest --test-dir build -R "^scenario\.($scenarios)\$" --output-on-failure
fi

missing=0
for entry in "${pictures[@]}"; do
  read -r taken _ <<<"$entry"
  [ -f "build/scenarios/$taken" ] || { echo "update-pictures: no build/scenarios/$taken (run its scenario)" >&2; missing=1; }
done
[ "$missing" = 0 ] || exit 1

mkdir -p docs help/pictures
for entry in "${pictures[@]}"; do
  read -r taken name where <<<"$entry"
  for place in ${where//,/ }; do
    folder=docs
    [ "$place" = help ] && folder=help/pictures
    # Without the PNG's time stamps, a picture that did not change leaves git's copy alone.
    convert "build/scenarios/$taken" -strip -define png:exclude-chunks=date,time "$folder/$name"
    echo "update-pictures: $folder/$name"
  done
done
