#!/usr/bin/env bash
# The user guide beside the programs: the main window's web button (the shipped skin names no
# address) and the macro editor's Help button ask the platform to open help\index.html in the
# program folder; the page is self-contained: every picture it shows is there beside it, and it
# fetches nothing from elsewhere.
source "$(dirname "${BASH_SOURCE[0]}")/../harness/lib.sh"
scenario_begin

page="$QELT_OUT/help/index.html"
[ -f "$page" ] || fail "no help page in the program folder"
python3 - "$page" <<'PY' || fail "the help page is not self-contained"
import html.parser, os, sys, urllib.parse
page = sys.argv[1]
folder = os.path.dirname(page)

class References(html.parser.HTMLParser):
    def __init__(self):
        super().__init__()
        self.found, self.ids = [], set()
    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        if "id" in attrs:
            self.ids.add(attrs["id"])
        for name in ("src", "href"):
            if attrs.get(name):
                self.found.append((tag, name, attrs[name]))

parser = References()
parser.feed(open(page, encoding="utf-8").read())
problems, pictures = [], 0
for tag, name, value in parser.found:
    if value.startswith("#"):
        if value[1:] not in parser.ids:
            problems.append(f"link to a missing section {value}")
        continue
    if urllib.parse.urlparse(value).scheme:
        # Only plain links may leave the page (the user chooses to follow them); nothing it shows.
        if tag != "a":
            problems.append(f"<{tag} {name}> fetched from elsewhere: {value}")
        continue
    target = os.path.normpath(os.path.join(folder, urllib.parse.unquote(value)))
    if not target.startswith(folder + os.sep) or not os.path.isfile(target):
        problems.append(f"<{tag} {name}=\"{value}\">: no file {target}")
    elif tag == "img":
        pictures += 1
for problem in problems:
    print(problem)
if pictures == 0:
    print("the page shows no pictures")
    sys.exit(1)
print(f"{pictures} pictures, all beside the page")
sys.exit(1 if problems else 0)
PY
expect_eq "$(ini_value "$QELT_OUT/Skins/main.ini" WEB_PAGE URL)" "" "the skin's web page address"

device_up
reset_data_dir
write_config 0 1 1
start_agent
start_editor
expected="Opening $(windows_path "$page")"

# The main window's web button.
click_editor BUTTONINFO 3
line="$(wait_diag editor '^Opening ' | tr -d '\r')"
expect_eq "$line" "$expected" "what the web button opens"

# The macro editor's Help button.
click_slot 0
click_key "$(key_index A)"
choose_function 0 1
wait_dialog
click_skin "$DIALOG" macro_skin.ini BUTTONINFO 1
lines="$(wait_log_count "$(diag_file editor)" '^Opening ' 2 | tr -d '\r')"
expect_eq "$(sed -n 2p <<<"$lines")" "$expected" "what the macro editor's Help button opens"
click_skin "$DIALOG" macro_skin.ini BUTTONINFO 14  # Cancel
tt wait-gone "$DIALOG" --timeout "$(_timeout_ms 10)" || fail "the macro editor did not close"

click_editor BUTTONINFO 2
expect_exit editor 0 15
stop_agent
scenario_pass
