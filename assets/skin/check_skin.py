#!/usr/bin/python3
"""Checks a skin folder against what the programs read from it.

usage: check_skin.py SKIN_FOLDER

Reads the folder only through its files (as the programs do) and reports every problem found;
the exit status is 1 when there is any. The expectations below are written out here on their own,
independently of the generator's description, so that a slip in the description shows up.
"""
import os
import sys

from PIL import Image, ImageChops

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from skin_reader import IniFile, buttons, image_path  # noqa: E402

# Key positions of the 103-key board, by index (virtual-key codes).
KEY_POSITIONS_103 = bytes.fromhex(
    "1B 70 71 72 73 74 75 76 77 78 79 7A 7B 2C 91 13 C0 31 32 33"
    "34 35 36 37 38 39 30 BD BB 08 2D 24 21 90 6F 6A 6D 09 51 57"
    "45 52 54 59 55 49 4F 50 DB DD DC 2E 23 22 67 68 69 6B 14 41"
    "53 44 46 47 48 4A 4B 4C BA DE 0D 64 65 66 A0 5A 58 43 56 42"
    "4E 4D BC BE BF A1 26 61 62 63 6C A2 5B A4 20 A5 00 5D A3 25"
    "28 27 60 6E E2 16 19 3D 1A 3A 3C 1D 1C 1E".replace(" ", ""))

# The display name each virtual key must carry on the picture.
KEY_NAMES = {
    0x1B: "Esc", 0x2C: "Print Screen", 0x91: "Scroll Lock", 0x13: "Pause", 0xC0: "Grave",
    0xBD: "Minus", 0xBB: "Equals", 0x08: "Backspace", 0x2D: "Insert", 0x24: "Home", 0x21: "Page Up",
    0x90: "Num Lock", 0x6F: "Num Divide", 0x6A: "Num Multiply", 0x6D: "Num Subtract", 0x09: "Tab",
    0xDB: "Left Bracket", 0xDD: "Right Bracket", 0xDC: "Backslash", 0x2E: "Delete", 0x23: "End",
    0x22: "Page Down", 0x6B: "Num Add", 0x14: "Caps Lock", 0xBA: "Semicolon", 0xDE: "Quote", 0x0D: "Enter",
    0xA0: "Left Shift", 0xBC: "Comma", 0xBE: "Period", 0xBF: "Slash", 0xA1: "Right Shift", 0x26: "Up",
    0x6C: "Num Enter", 0xA2: "Left Ctrl", 0x5B: "Left Win", 0xA4: "Left Alt", 0x20: "Space",
    0xA5: "Right Alt", 0x00: "Fn", 0x5D: "Menu", 0xA3: "Right Ctrl", 0x25: "Left", 0x28: "Down",
    0x27: "Right", 0x6E: "Num Decimal", 0xE2: "ISO Backslash", 0x16: "IME On", 0x19: "Kanji",
    0x3D: "Ext 3D", 0x1A: "IME Off", 0x3A: "Ext 3A", 0x3C: "Yen", 0x1D: "No Convert", 0x1C: "Convert",
    0x1E: "Accept",
}
KEY_NAMES.update({0x70 + i: "F%d" % (i + 1) for i in range(12)})
KEY_NAMES.update({0x30 + i: str(i) for i in range(10)})
KEY_NAMES.update({0x41 + i: chr(0x41 + i) for i in range(26)})
KEY_NAMES.update({0x60 + i: "Num %d" % i for i in range(10)})

# Physical rows, left to right: same top edge, strictly increasing left edges, rows top to bottom.
PHYSICAL_ROWS = [
    [0x1B] + list(range(0x70, 0x7C)) + [0x2C, 0x91, 0x13],
    [0xC0, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0x30, 0xBD, 0xBB, 0x08, 0x2D, 0x24, 0x21,
     0x90, 0x6F, 0x6A, 0x6D],
    [0x09] + [ord(c) for c in "QWERTYUIOP"] + [0xDB, 0xDD, 0xDC, 0x2E, 0x23, 0x22, 0x67, 0x68, 0x69, 0x6B],
    [0x14] + [ord(c) for c in "ASDFGHJKL"] + [0xBA, 0xDE, 0x0D, 0x64, 0x65, 0x66],
    [0xA0] + [ord(c) for c in "ZXCVBNM"] + [0xBC, 0xBE, 0xBF, 0xA1, 0x26, 0x61, 0x62, 0x63, 0x6C],
    [0xA2, 0x5B, 0xA4, 0x20, 0xA5, 0x00, 0x5D, 0xA3, 0x25, 0x28, 0x27, 0x60, 0x6E],
]
# Keys stacked in one column share their left edge.
COLUMNS = [[0x1B, 0xC0, 0x09, 0x14, 0xA0, 0xA2], [0x2D, 0x2E, 0x25], [0x26, 0x28],
           [0x90, 0x67, 0x64, 0x61, 0x60], [0x6D, 0x6B, 0x6C]]

SCREEN = ["Mask", "Main", "Down", "Over", "Disabled"]
# Window files: section keys each window reads, and the keys that may stay empty.
WINDOWS = {
    "main.ini": {"BUTTONINFO": [str(i) for i in range(1, 37)]},
    "menu_skin.ini": {"BUTTONINFO": [str(i) for i in range(1, 14)]},
    "macro_skin.ini": {"BUTTONINFO": ["1", "2", "3", "4", "5", "6", "7", "8", "10", "11", "12", "13", "14"],
                       "optional": ["4"]},
    "repeat_skin.ini": {"BUTTONINFO": ["1", "2", "3", "4", "5"]},
    "Warning1_skin.ini": {"BUTTONINFO": ["1", "2"]},
    "Warning2_skin.ini": {"BUTTONINFO": ["1"]},
    "Warning3_skin.ini": {"BUTTONINFO": ["1", "2"]},
    "loading_skin.ini": {"BAR_POSITION": ["1"]},
    "apps_skin.ini": {"BUTTONINFO": [str(i) for i in range(1, 11)]},
}
STRINGS = {
    "repeat_str.ini": ["1", "2", "3"], "waning_str.ini": ["1", "2", "3", "4", "6"], "loading_str.ini": ["1"],
    "trayicon_str.ini": ["1", "3"], "trayicon1_str.ini": ["1"], "about.ini": ["1", "2", "3"],
}
# Areas the programs draw into themselves (text, list, edit field): no button may cover them.
DRAWN_AREAS = {
    "main.ini": [(185, 5, 376, 21)],
    "macro_skin.ini": [(16, 37, 165, 293), (280, 182, 320, 199)],
    "repeat_skin.ini": [(93, 55, 160, 75), (93, 88, 260, 107), (93, 118, 305, 142)],
    "Warning1_skin.ini": [(73, 84, 355, 143)],
    "Warning2_skin.ini": [(70, 92, 355, 143)],
    "Warning3_skin.ini": [(73, 92, 355, 143)],
    "loading_skin.ini": [(22, 30, 250, 48)],
    "apps_skin.ini": [(24, 76, 396, 312)],
}
# Buttons whose caption the program draws into a fixed text rectangle: minimum size.
TEXT_RECT_MIN = {
    ("macro_skin.ini", k): (65, 32) for k in ["2", "3", "5", "10", "11", "12", "13"]}
TEXT_RECT_MIN.update({("repeat_skin.ini", k): (42, 25) for k in ["4", "5"]})
TEXT_RECT_MIN.update({("main.ini", str(k)): (34, 34) for k in range(24, 34)})
MENU_BELOW, MENU_ABOVE = 145, 161  # room the caller leaves for the menu below / above the label


class Report:
    def __init__(self):
        self.problems = []

    def fail(self, where, text):
        self.problems.append("%s: %s" % (where, text))


def overlaps(a, b):
    return a[0] < b[2] and b[0] < a[2] and a[1] < b[3] and b[1] < a[3]


def inside(a, b):
    return b[0] <= a[0] and b[1] <= a[1] and a[2] <= b[2] and a[3] <= b[3]


def check_text_file(report, path):
    raw = open(path, "rb").read()
    try:
        raw.decode("ascii")
    except UnicodeDecodeError:
        report.fail(os.path.basename(path), "not plain ASCII")
    if raw.replace(b"\r\n", b"").count(b"\n") or raw.replace(b"\r\n", b"").count(b"\r"):
        report.fail(os.path.basename(path), "line ends are not all CRLF")


def load_image(report, where, path):
    if not os.path.isfile(path):
        report.fail(where, "image file %s is missing" % path)
        return None
    try:
        img = Image.open(path)
        img.load()
    except Exception as e:  # noqa: BLE001 - any decoding failure is the finding
        report.fail(where, "image %s does not decode: %s" % (path, e))
        return None
    if img.format not in ("BMP", "GIF"):
        report.fail(where, "image %s is %s; window images must be BMP or GIF" % (path, img.format))
    if img.format == "BMP" and img.mode != "RGB":
        report.fail(where, "bitmap %s is mode %s, not 24-bit" % (path, img.mode))
    return img.convert("RGB")


def check_window(report, skin, file_name, expect):
    ini = IniFile(os.path.join(skin, file_name))
    if not ini.exists:
        report.fail(file_name, "missing")
        return None
    check_text_file(report, ini.path)
    names = SCREEN + (["Notext"] if file_name == "main.ini" else [])
    images = {}
    for name in names:
        value = ini.get("SCREEN", name)
        if not value:
            report.fail(file_name, "SCREEN %s is empty" % name)
            continue
        img = load_image(report, "%s SCREEN %s" % (file_name, name), image_path(skin, value))
        if img is not None:
            images[name] = img
    sizes = {img.size for img in images.values()}
    if len(sizes) > 1:
        report.fail(file_name, "window images differ in size: %s" % sorted(sizes))
    if "Main" not in images:
        return None
    w, h = images["Main"].size
    entries = {}
    for section, keys in expect.items():
        if section == "optional":
            continue
        found = buttons(ini, section)
        for key in keys:
            if not ini.has(section, key):
                report.fail(file_name, "%s %s is missing" % (section, key))
                continue
            info = found[key]
            if info.empty and key not in expect.get("optional", []):
                report.fail(file_name, "%s %s is empty" % (section, key))
            entries[(section, key)] = info
    if file_name == "main.ini":
        keys = buttons(ini, "KEYS")
        for k in range(154):
            key = str(20 + k)
            if key not in keys:
                report.fail(file_name, "KEYS %s is missing" % key)
            else:
                entries[("KEYS", key)] = keys[key]
    # Rectangles: well formed, inside the picture and the window's shape, apart from each other.
    mask = images.get("Mask")
    if mask is not None:
        check_mask(report, file_name, mask)
    live = [(where, info) for where, info in entries.items() if not info.empty]
    for (section, key), info in entries.items():
        if info.field_count != 7 or info.value.rsplit(",", 1)[-1] not in ("TRUE", "FALSE"):
            report.fail(file_name, "%s %s is not name,left,top,width,height,caption,flag: %r"
                        % (section, key, info.value))
    for (section, key), info in live:
        if not inside(info.rect, (0, 0, w, h)):
            report.fail(file_name, "%s %s %s lies outside the %dx%d picture" % (section, key, info.rect, w, h))
        elif mask is not None and mask.crop(info.rect).getextrema() != ((0, 0), (0, 0), (0, 0)):
            report.fail(file_name, "%s %s %s is not wholly inside the window's shape" % (section, key, info.rect))
        size = TEXT_RECT_MIN.get((file_name, key))
        if size and (info.right - info.left < size[0] or info.bottom - info.top < size[1]):
            report.fail(file_name, "%s %s is smaller than the %dx%d its caption needs" % (section, key, *size))
    for i, (a_where, a) in enumerate(live):
        for b_where, b in live[i + 1:]:
            if overlaps(a.rect, b.rect):
                report.fail(file_name, "%s %s and %s %s overlap" % (a_where + b_where))
    for area in DRAWN_AREAS.get(file_name, []):
        if not inside(area, (0, 0, w, h)):
            report.fail(file_name, "the program draws at %s, outside the window" % (area,))
        for where, info in live:
            if overlaps(area, info.rect):
                report.fail(file_name, "%s %s covers the area %s the program draws into" % (where + (area,)))
    check_states(report, file_name, images, live)
    return ini, images, entries


def check_mask(report, file_name, mask):
    r, g, b = mask.split()
    grey_levels = r.histogram()[1:255]
    if any(grey_levels) or ImageChops.difference(r, g).getbbox() or ImageChops.difference(g, b).getbbox():
        report.fail(file_name, "mask has colours other than pure black and white")
    w, h = mask.size
    if mask.getpixel((w // 2, h // 2)) != (0, 0, 0):
        report.fail(file_name, "mask leaves out the middle of the window")
    if mask.getpixel((0, 0)) != (255, 255, 255):
        report.fail(file_name, "mask has square corners (the window is meant to be rounded)")


def check_states(report, file_name, images, live):
    """Outside the buttons every state picture must equal Main (the painted background), and every
    button must look different under the mouse and when pressed."""
    main = images["Main"]
    outside = Image.new("L", main.size, 255)
    for _, info in live:
        outside.paste(0, info.rect)
    for name, img in images.items():
        if name in ("Main", "Mask") or img.size != main.size:
            continue
        diff = ImageChops.difference(img, main).convert("L").point(lambda v: 255 if v else 0)
        if ImageChops.multiply(diff, outside).getbbox():
            report.fail(file_name, "%s differs from Main outside the buttons, at %s"
                        % (name, ImageChops.multiply(diff, outside).getbbox()))
    for (section, key), info in live:
        for name in (["Down"] if section == "BAR_POSITION" else ["Over", "Down"]):
            if name in images and not ImageChops.difference(images[name].crop(info.rect),
                                                            main.crop(info.rect)).getbbox():
                report.fail(file_name, "%s %s looks the same in %s as in Main" % (section, key, name))


def check_keyboard(report, skin, entries, images):
    keys = {int(key) - 20: info for (section, key), info in entries.items() if section == "KEYS"}
    where_vk = {}
    for k, vk in enumerate(KEY_POSITIONS_103):
        info = keys.get(k)
        if info is None:
            continue
        if info.empty:
            report.fail("main.ini", "KEYS %d (position %d, %s) has no rectangle" % (20 + k, k, KEY_NAMES[vk]))
            continue
        if info.name != KEY_NAMES[vk]:
            report.fail("main.ini", "KEYS %d is %r but position %d is %s" % (20 + k, info.name, k, KEY_NAMES[vk]))
        if info.right - info.left < 28 or info.bottom - info.top < 28:
            report.fail("main.ini", "KEYS %d is too small for a slot label and its indicator" % (20 + k))
        if "Notext" in images and not ImageChops.difference(images["Notext"].crop(info.rect),
                                                            images["Main"].crop(info.rect)).getbbox():
            report.fail("main.ini", "KEYS %d looks the same in Notext as in Main" % (20 + k))
        where_vk[vk] = info
    for k in range(len(KEY_POSITIONS_103), 118):
        if k in keys and not keys[k].empty:
            report.fail("main.ini", "KEYS %d is a position the keyboard does not have, yet it can be clicked" % (20 + k))
    bindable = set(KEY_NAMES.values())
    for k in range(118, 154):
        if k in keys and not keys[k].empty and keys[k].name in bindable:
            report.fail("main.ini", "KEYS %d (%s) looks like a programmable key but cannot be bound" % (20 + k, keys[k].name))
    if len(where_vk) != len(KEY_POSITIONS_103):
        return
    previous_top = None
    for row in PHYSICAL_ROWS:
        tops = {where_vk[vk].top for vk in row}
        if len(tops) != 1:
            report.fail("main.ini", "keys of the row starting %s do not share a top edge" % KEY_NAMES[row[0]])
        lefts = [where_vk[vk].left for vk in row]
        if lefts != sorted(set(lefts)):
            report.fail("main.ini", "keys of the row starting %s are not in physical order" % KEY_NAMES[row[0]])
        top = min(tops)
        if previous_top is not None and top <= previous_top:
            report.fail("main.ini", "the row starting %s is not below the row above it" % KEY_NAMES[row[0]])
        previous_top = top
    for column in COLUMNS:
        if len({where_vk[vk].left for vk in column}) != 1:
            report.fail("main.ini", "keys %s are not in one column" % ", ".join(KEY_NAMES[vk] for vk in column))


def check_main_extras(report, skin, ini, entries):
    if ini.get_int("KEY_NUM", "NUM", -1) != 103:
        report.fail("main.ini", "KEY_NUM NUM is not 103")
    if not ini.has("LANG_INFO", "1") or ini.get_int("LANG_INFO", "1", None) is None:
        report.fail("main.ini", "LANG_INFO 1 is not a number")
    if not ini.get("Driver_Version", "Driver_Version"):
        report.fail("main.ini", "Driver_Version is empty")
    for name in ("Red", "Green", "Blue"):
        value = ini.get("SCREEN", name)
        path = image_path(skin, value)
        if not value or not os.path.isfile(path):
            report.fail("main.ini", "indicator image %s is missing" % name)
            continue
        img = Image.open(path)
        if img.format != "PNG" or img.mode != "RGBA":
            report.fail("main.ini", "indicator %s is %s %s, not a PNG with alpha" % (name, img.format, img.mode))
        elif img.size != (17, 17):
            report.fail("main.ini", "indicator %s is %dx%d; buttons draw it at 17x17" % ((name,) + img.size))
        elif img.getchannel("A").getextrema()[0] != 0:
            report.fail("main.ini", "indicator %s has no transparent pixels" % name)
    for file_name, section in (("main_font.ini", "BUTTONFONT"), ("main_profilefont.ini", "PROFILEFONT")):
        font = IniFile(os.path.join(skin, file_name))
        if not font.exists:
            report.fail(file_name, "missing")
            continue
        check_text_file(report, font.path)
        if not 8 <= font.get_int(section, "1", 0) <= 40:
            report.fail(file_name, "%s 1 is not a font height in pixels" % section)
    for s in range(10):
        tile = entries.get(("BUTTONINFO", str(24 + s)))
        if tile is not None and tile.caption != "M%d" % (s + 1):
            report.fail("main.ini", "slot button %d is labelled %r, not M%d" % (24 + s, tile.caption, s + 1))


def check_menu(report, skin, main_entries):
    ini = IniFile(os.path.join(skin, "menu_skin.ini"))
    captions = [buttons(ini, "BUTTONINFO").get(str(i)) for i in range(1, 14)]
    captions = [c.caption if c else "" for c in captions]
    if any(not c for c in captions) or len(set(captions)) != 13:
        report.fail("menu_skin.ini", "the 13 function names must be present and distinct: %s" % captions)
    mask = ini.get("SCREEN", "Mask")
    if mask and os.path.isfile(image_path(skin, mask)):
        height = Image.open(image_path(skin, mask)).size[1]
        labels = [main_entries.get(("BUTTONINFO", str(14 + s))) for s in range(10)]
        tallest = max((l.bottom - l.top for l in labels if l), default=0)
        if height > MENU_BELOW or height + tallest > MENU_ABOVE:
            report.fail("menu_skin.ini", "a menu %d high does not fit the room beside a %d high label" % (height, tallest))


def check_strings(report, skin):
    for file_name, keys in STRINGS.items():
        ini = IniFile(os.path.join(skin, file_name))
        if not ini.exists:
            report.fail(file_name, "missing")
            continue
        check_text_file(report, ini.path)
        for key in keys:
            if not ini.get("STRING", key):
                report.fail(file_name, "STRING %s is missing or empty" % key)
    tip = IniFile(os.path.join(skin, "trayicon1_str.ini")).get("STRING", "1")
    if len(tip) > 127:
        report.fail("trayicon1_str.ini", "the tray tip is longer than 127 characters")


def check(skin):
    report = Report()
    main = None
    for file_name, expect in WINDOWS.items():
        result = check_window(report, skin, file_name, expect)
        if file_name == "main.ini" and result:
            main = result
    if main:
        ini, images, entries = main
        check_keyboard(report, skin, entries, images)
        check_main_extras(report, skin, ini, entries)
        check_menu(report, skin, entries)
    check_strings(report, skin)
    for link in ("Skins", "skins"):
        parent = os.path.dirname(os.path.abspath(skin))
        if not os.path.isdir(os.path.join(parent, link)):
            report.fail(link, "the folder is not reachable under this spelling")
    return report.problems


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: check_skin.py SKIN_FOLDER")
    problems = check(sys.argv[1])
    for p in problems:
        print("skin check: " + p)
    print("skin check: %s (%d problem%s)" % ("FAILED" if problems else "ok", len(problems), "" if len(problems) == 1 else "s"))
    sys.exit(1 if problems else 0)
