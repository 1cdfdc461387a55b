#!/usr/bin/python3
"""Shows that the skin check finds the faults it is there for.

usage: test_check_skin.py SKIN_FOLDER

Copies a good skin, breaks one thing per case and expects the check to name it; the untouched
copy must pass.
"""
import os
import shutil
import sys
import tempfile

from PIL import Image

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import check_skin  # noqa: E402
from skin_reader import IniFile, image_path  # noqa: E402


def set_value(path, section, key, value):
    lines = open(path, "rb").read().decode("ascii").split("\r\n")
    current, done = None, False
    for i, line in enumerate(lines):
        if line.startswith("["):
            current = line[1:-1].lower()
        elif current == section.lower() and line.split("=", 1)[0].lower() == key.lower():
            lines[i] = key + "=" + value if value is not None else None
            done = True
    assert done, (path, section, key)
    open(path, "wb").write("\r\n".join(l for l in lines if l is not None).encode("ascii"))


def get_value(skin, file_name, section, key):
    return IniFile(os.path.join(skin, file_name)).get(section, key)


def screen_image(skin, file_name, name):
    return image_path(skin, get_value(skin, file_name, "SCREEN", name))


def swap_names(skin, a, b):
    va, vb = get_value(skin, "main.ini", "KEYS", a), get_value(skin, "main.ini", "KEYS", b)
    na, ra = va.split(",", 1)
    nb, rb = vb.split(",", 1)
    set_value(os.path.join(skin, "main.ini"), "KEYS", a, nb + "," + ra)
    set_value(os.path.join(skin, "main.ini"), "KEYS", b, na + "," + rb)


def swap_places(skin, a, b):
    va, vb = get_value(skin, "main.ini", "KEYS", a).split(","), get_value(skin, "main.ini", "KEYS", b).split(",")
    va[1:5], vb[1:5] = vb[1:5], va[1:5]
    set_value(os.path.join(skin, "main.ini"), "KEYS", a, ",".join(va))
    set_value(os.path.join(skin, "main.ini"), "KEYS", b, ",".join(vb))


def move_key(skin, key, dx):
    v = get_value(skin, "main.ini", "KEYS", key).split(",")
    v[1] = str(int(v[1]) + dx)
    set_value(os.path.join(skin, "main.ini"), "KEYS", key, ",".join(v))


def own(path):
    """Images of a case's copy are links to the good skin; take a private copy before changing one."""
    if os.path.islink(path):
        target = os.path.realpath(path)
        os.remove(path)
        shutil.copy(target, path)
    return path


def poke(path, xy, colour):
    own(path)
    img = Image.open(path)
    fmt = img.format
    img = img.convert("RGB")
    img.putpixel(xy, colour)
    img.save(path, fmt)


def resave(path, mode=None, fmt=None):
    own(path)
    img = Image.open(path)
    (img.convert(mode) if mode else img).save(path, fmt or img.format)


def lf_only(path):
    data = open(path, "rb").read().replace(b"\r\n", b"\n")
    open(path, "wb").write(data)


# (what is broken, how, text the report must contain)
CASES = [
    ("two keys carry each other's names", lambda s: swap_names(s, "79", "80"), "KEYS 79 is 'S' but position 59 is A"),
    ("two keys of different rows trade places", lambda s: swap_places(s, "58", "79"), "not below the row above"),
    ("a key slides onto its neighbour", lambda s: move_key(s, "80", 20), "overlap"),
    ("a key leaves the picture", lambda s: move_key(s, "21", 990), "outside the"),
    ("a position the board lacks becomes clickable",
     lambda s: set_value(os.path.join(s, "main.ini"), "KEYS", "134", "Unused,10,600,30,30,,FALSE"),
     "does not have"),
    ("a grey pixel in a mask", lambda s: poke(screen_image(s, "main.ini", "Mask"), (500, 300), (128, 128, 128)),
     "other than pure black and white"),
    ("the hover picture differs outside the buttons",
     lambda s: poke(screen_image(s, "main.ini", "Over"), (20, 300), (255, 0, 0)), "Over differs from Main outside"),
    ("a button that does not react to the mouse",
     lambda s: shutil.copy(screen_image(s, "repeat_skin.ini", "Main"), own(screen_image(s, "repeat_skin.ini", "Over"))),
     "looks the same in Over"),
    ("a mask stored as JPEG", lambda s: resave(screen_image(s, "menu_skin.ini", "Mask"), fmt="JPEG"), "BMP or GIF"),
    ("an indicator without alpha", lambda s: resave(screen_image(s, "main.ini", "Red"), mode="RGB"), "PNG with alpha"),
    ("a warning text missing", lambda s: set_value(os.path.join(s, "waning_str.ini"), "STRING", "6", None),
     "STRING 6 is missing"),
    ("two menu items with one name",
     lambda s: set_value(os.path.join(s, "menu_skin.ini"), "BUTTONINFO", "2",
                         get_value(s, "menu_skin.ini", "BUTTONINFO", "1")), "distinct"),
    ("a button over the step list",
     lambda s: set_value(os.path.join(s, "macro_skin.ini"), "BUTTONINFO", "4", "Spare,20,40,30,30,x,FALSE"),
     "covers the area"),
    ("a button over the program profiles' rule list",
     lambda s: set_value(os.path.join(s, "apps_skin.ini"), "BUTTONINFO", "3", "Remove,380,148,124,30,x,FALSE"),
     "apps_skin.ini: BUTTONINFO 3 covers the area"),
    ("the main window without its program profiles button",
     lambda s: set_value(os.path.join(s, "main.ini"), "BUTTONINFO", "36", None), "BUTTONINFO 36 is missing"),
    ("a caption with a comma",
     lambda s: set_value(os.path.join(s, "main.ini"), "BUTTONINFO", "9", "Export,664,424,96,30,Save, export,FALSE"),
     "is not name,left,top"),
    ("bare line feeds", lambda s: lf_only(os.path.join(s, "about.ini")), "CRLF"),
    ("the lower-case folder name missing", lambda s: os.remove(os.path.join(os.path.dirname(s), "skins")),
     "skins: the folder is not reachable"),
]


def fresh_copy(source, work):
    root = tempfile.mkdtemp(dir=work)
    skin = os.path.join(root, "Skins")
    os.mkdir(skin)
    for name in os.listdir(source):  # text files copied, images linked
        if name.lower().endswith(".ini"):
            shutil.copy(os.path.join(source, name), os.path.join(skin, name))
        else:
            os.symlink(os.path.abspath(os.path.join(source, name)), os.path.join(skin, name))
    os.symlink("Skins", os.path.join(root, "skins"))
    return skin


def main(source):
    failures = []
    with tempfile.TemporaryDirectory() as work:
        baseline = check_skin.check(fresh_copy(source, work))
        if baseline:
            failures.append("the untouched skin does not pass: %s" % baseline[:3])
        for what, breaks, expected in CASES:
            skin = fresh_copy(source, work)
            breaks(skin)
            problems = check_skin.check(skin)
            if not any(expected in p for p in problems):
                failures.append("%s: expected a report containing %r, got %s" % (what, expected, problems[:3]))
    for f in failures:
        print("FAIL " + f)
    print("%d of %d fault cases found" % (len(CASES) - sum(1 for f in failures if ":" in f and "untouched" not in f),
                                           len(CASES)))
    return 1 if failures else 0


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: test_check_skin.py SKIN_FOLDER")
    sys.exit(main(sys.argv[1]))
