#!/usr/bin/python3
"""Contact sheets of a generated skin, for review.

usage: gallery.py SKIN_FOLDER GALLERY_FOLDER

For every window file, each state image (Main, Over, Down, Disabled and Notext) is written as a
PNG with every button and key rectangle outlined and numbered, so that a rectangle that misses
its painted key shows at a glance. preview_main.png imitates the running main window: a few keys
bound to slots, the slot captions and function names drawn the way the buttons draw them.
"""
import os
import sys

from PIL import Image, ImageDraw, ImageFont

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from skin_reader import IniFile, buttons, image_path  # noqa: E402

WINDOW_FILES = ["main.ini", "menu_skin.ini", "macro_skin.ini", "repeat_skin.ini", "Warning1_skin.ini",
                "Warning2_skin.ini", "Warning3_skin.ini", "loading_skin.ini"]
STATES = ["Main", "Over", "Down", "Disabled", "Notext"]
OUTLINE = {"BUTTONINFO": (255, 214, 0), "KEYS": (255, 60, 200), "BAR_POSITION": (60, 255, 90)}
FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
FONT_BOLD = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"


def outlined(img, ini):
    img = img.convert("RGB")
    draw = ImageDraw.Draw(img)
    small = ImageFont.truetype(FONT, 8)
    for section, colour in OUTLINE.items():
        for key, info in buttons(ini, section).items():
            if info.empty:
                continue
            draw.rectangle([info.left, info.top, info.right - 1, info.bottom - 1], outline=colour)
            draw.text((info.left + 2, info.top + 1), key, font=small, fill=colour)
    return img


def preview_main(skin, out):
    """The main window as the program shows it after M1 to M3 have been bound."""
    ini = IniFile(os.path.join(skin, "main.ini"))
    menu = IniFile(os.path.join(skin, "menu_skin.ini"))
    names = [buttons(menu, "BUTTONINFO").get(str(i), None) for i in range(1, 14)]
    main = Image.open(image_path(skin, ini.get("SCREEN", "Main"))).convert("RGB")
    down = Image.open(image_path(skin, ini.get("SCREEN", "Down"))).convert("RGB")
    notext = Image.open(image_path(skin, ini.get("SCREEN", "Notext"))).convert("RGB")
    red = Image.open(image_path(skin, ini.get("SCREEN", "Red"))).convert("RGBA")
    img = main.copy()
    draw = ImageDraw.Draw(img)
    font14, font16 = ImageFont.truetype(FONT, 13), ImageFont.truetype(FONT, 15)
    draw.text((185, 5), ini.get("Driver_Version", "Driver_Version"), font=font14, fill=(160, 160, 160))
    keys = buttons(ini, "KEYS")
    info = buttons(ini, "BUTTONINFO")
    bound = {0: (20 + 59, 2), 1: (20 + 1, 1), 2: (20 + 94, 12)}  # slot: (KEYS entry, menu item)
    img.paste(down.crop(info["4"].rect), info["4"].rect[:2])  # profile 1 selected
    for slot in range(10):
        tile, label = info[str(24 + slot)], info[str(14 + slot)]
        selected = slot in bound
        source = down if selected else main
        img.paste(source.crop(tile.rect), tile.rect[:2])
        colour = (93, 97, 97) if selected else (141, 145, 148)
        draw.text(((tile.left + tile.right) / 2, (tile.top + tile.bottom) / 2), tile.caption, font=font14,
                  fill=colour, anchor="mm")
        item = bound[slot][1] if selected else 0
        draw.text((label.left + 5, (label.top + label.bottom) / 2 - 2), names[item].caption if names[item] else "",
                  font=font14, fill=(93, 97, 97), anchor="lm")
    for slot, (entry, _) in bound.items():
        key = keys[str(entry)]
        img.paste(notext.crop(key.rect), key.rect[:2])
        caption = "M%d" % (slot + 1)
        width = draw.textlength(caption, font=font16)
        cx = key.left + (key.right - key.left) // 2 - int(width) // 2
        draw.text((cx, key.top + 6), caption, font=font16, fill=(93, 97, 97))
        img.paste(red, (cx + 1 + key.left * 0, key.top + 10), red)
    img.save(os.path.join(out, "preview_main.png"))


def gallery(skin, out):
    os.makedirs(out, exist_ok=True)
    for file_name in WINDOW_FILES:
        ini = IniFile(os.path.join(skin, file_name))
        stem = os.path.splitext(file_name)[0]
        for state in STATES:
            value = ini.get("SCREEN", state)
            if not value:
                continue
            img = Image.open(image_path(skin, value))
            outlined(img, ini).save(os.path.join(out, "%s_%s.png" % (stem, state.lower())))
        mask = ini.get("SCREEN", "Mask")
        if mask:
            Image.open(image_path(skin, mask)).convert("RGB").save(os.path.join(out, "%s_mask.png" % stem))
    preview_main(skin, out)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit("usage: gallery.py SKIN_FOLDER GALLERY_FOLDER")
    gallery(sys.argv[1], sys.argv[2])
