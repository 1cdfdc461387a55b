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
                "Warning2_skin.ini", "Warning3_skin.ini", "loading_skin.ini", "apps_skin.ini"]
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


def cell_font(height):
    """A face at roughly the cell height the programs ask for (they give cell heights)."""
    return ImageFont.truetype(FONT, max(6, int(round(height * 0.86))))


def wrapped(draw, rect, text, font, colour):
    """Word-wrapped text from the top of rect, as DT_WORDBREAK lays it out."""
    left, top, right, _ = rect
    line, y = "", top
    for word in text.split():
        trial = (line + " " + word).strip()
        if line and draw.textlength(trial, font=font) > right - left:
            draw.text((left, y), line, font=font, fill=colour)
            line, y = word, y + font.size + 4
        else:
            line = trial
    draw.text((left, y), line, font=font, fill=colour)


def captions(draw, info, text_rect, text, height, colour=(141, 145, 148)):
    x0, y0, x1, y1 = text_rect
    draw.text((info.left + (x0 + x1) / 2, info.top + (y0 + y1) / 2), text, font=cell_font(height), fill=colour,
              anchor="mm")


def preview_dialogs(skin, out):
    """The dialogs as the programs draw them: skin pictures plus the texts drawn at run time."""
    def window(file_name):
        ini = IniFile(os.path.join(skin, file_name))
        img = Image.open(image_path(skin, ini.get("SCREEN", "Main"))).convert("RGB")
        return ini, img, ImageDraw.Draw(img), buttons(ini, "BUTTONINFO")

    def strings(file_name):
        return IniFile(os.path.join(skin, file_name))

    shots = []
    ini, img, draw, info = window("menu_skin.ini")
    for key, b in info.items():
        draw.text((b.left + 5, (b.top + b.bottom) / 2 - 2), b.caption, font=cell_font(13), fill=(141, 145, 148),
                  anchor="lm")
    shots.append(img)
    ini, img, draw, info = window("macro_skin.ini")
    for key in ["2", "3", "5", "10", "11", "12", "13"]:
        captions(draw, info[key], (6, 6, 65, 32), info[key].caption, 14)
    draw.rectangle([16, 37, 164, 292], fill=(255, 255, 255))
    for i, line in enumerate(["Left Ctrl Press", "Delay 25 ms", "C Press", "Delay 100 ms", "C Release", "Delay 25 ms",
                              "Left Ctrl Release", "Delay 0 ms"]):
        if i == 3:  # the selected line
            draw.rectangle([16, 37 + 14 * i, 164, 50 + 14 * i], fill=(0xD0, 0xD0, 0xC8))
        draw.text((17, 38 + 14 * i), line, font=cell_font(13), fill=(0xD0, 0xD0, 0x28) if i == 3 else (150, 150, 150))
    draw.rectangle([280, 182, 319, 198], fill=(255, 255, 255))
    draw.text((281, 183), "100", font=cell_font(13), fill=(0, 0, 0))
    shots.append(img)
    ini, img, draw, info = window("repeat_skin.ini")
    texts = strings("repeat_str.ini")
    for key, rect in (("1", (93, 55, 160, 75)), ("2", (93, 88, 260, 107)), ("3", (93, 118, 305, 142))):
        wrapped(draw, rect, texts.get("STRING", key), cell_font(16), (0x8B, 0x90, 0x93))
    for key in ("4", "5"):
        captions(draw, info[key], (5, 4, 42, 25), info[key].caption, 14)
    shots.append(img)
    texts = strings("waning_str.ini")
    for file_name, key, rect in (("Warning1_skin.ini", "2", (73, 84, 355, 143)),
                                 ("Warning2_skin.ini", "1", (70, 92, 355, 143)),
                                 ("Warning3_skin.ini", "3", (73, 92, 355, 143)),
                                 ("Warning2_skin.ini", "6", (73, 92, 355, 143))):
        ini, img, draw, info = window(file_name)
        wrapped(draw, rect, texts.get("STRING", key), cell_font(16), (0x8B, 0x90, 0x93))
        shots.append(img)
    ini, img, draw, info = window("loading_skin.ini")
    bar = buttons(ini, "BAR_POSITION")["1"]
    down = Image.open(image_path(skin, ini.get("SCREEN", "Down"))).convert("RGB")
    filled = (bar.right - bar.left) * 60 // 100
    img.paste(down.crop((bar.left, bar.top, bar.left + filled, bar.bottom)), (bar.left, bar.top))
    draw.text((22, 30), strings("loading_str.ini").get("STRING", "1"), font=cell_font(15), fill=(200, 200, 200))
    shots.append(img)
    ini, img, draw, info = window("apps_skin.ini")
    draw.rectangle([24, 76, 395, 311], fill=(12, 13, 16))
    rules = ["game1.exe  -  Profile 2", "game2.exe  -  Profile 4", "chrome.exe  (title \"YouTube\")  -  Profile 3"]
    for i, line in enumerate(rules):
        if i == 1:  # the selected rule, and its profile button
            draw.rectangle([24, 76 + 22 * i, 395, 97 + 22 * i], fill=(8, 62, 84))
        draw.text((27, 87 + 22 * i), line, font=cell_font(16), fill=(0, 198, 255) if i == 1 else (214, 218, 224),
                  anchor="lm")
    down = Image.open(image_path(skin, ini.get("SCREEN", "Down"))).convert("RGB")
    selected = info["7"]
    img.paste(down.crop((selected.left, selected.top, selected.right, selected.bottom)), (selected.left, selected.top))
    shots.append(img)
    width = 2 * max(s.width for s in shots) + 30
    x = y = row = 10
    places = []
    for shot in shots:
        if x + shot.width > width:
            x, y, row = 10, y + row + 10, 0
        places.append((x, y))
        x, row = x + shot.width + 10, max(row, shot.height)
    sheet = Image.new("RGB", (width, y + row + 10), (236, 238, 242))
    for shot, place in zip(shots, places):
        sheet.paste(shot, place)
    sheet.save(os.path.join(out, "preview_dialogs.png"))


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
    preview_dialogs(skin, out)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit("usage: gallery.py SKIN_FOLDER GALLERY_FOLDER")
    gallery(sys.argv[1], sys.argv[2])
