#!/usr/bin/python3
"""Writes the complete skin folder from skin_description.py.

usage: generate_skin.py OUTPUT_FOLDER

Each window is painted once per visual state (normal, mouse over, pressed, greyed and, for the
main window, without legends). Everything that is not a button is painted identically in every
state, so a button's state image cut at its rectangle always matches the painted background.
Images are drawn at twice the size and reduced by box averaging, which keeps every stroke inside
the rectangle it was drawn for.
"""
import os
import sys

from PIL import Image, ImageDraw, ImageFont

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import skin_description as D  # noqa: E402

SCALE = 2
FONT_DIR = "/usr/share/fonts/truetype/dejavu"
STATES = ("main", "over", "down", "disabled", "notext")
P = D.PALETTE
_fonts = {}


def font(size, bold=False, condensed=False):
    name = "DejaVuSans%s%s.ttf" % ("Condensed" if condensed else "", "-Bold" if bold else "")
    key = (name, size)
    if key not in _fonts:
        _fonts[key] = ImageFont.truetype(os.path.join(FONT_DIR, name), int(round(size * SCALE)))
    return _fonts[key]


def s(v):
    return int(round(v * SCALE))


def box(rect, inset=0.0, dy=0.0):
    x, y, w, h = rect
    return [s(x + inset), s(y + inset + dy), s(x + w - inset) - 1, s(y + h - inset + dy) - 1]


def mix(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


def text_center(draw, rect, text, size, colour, bold=True, condensed=False, dy=0.0):
    x, y, w, h = rect
    draw.text((s(x + w / 2), s(y + h / 2 + dy)), text, font=font(size, bold, condensed), fill=colour, anchor="mm")


def fit_size(text, width, size, bold=True, condensed=False):
    while size > 7 and font(size, bold, condensed).getlength(text) > s(width):
        size -= 0.5
    return size


# ---------------------------------------------------------------------------------------------
# Icons (drawn inside a rectangle, in a colour)
# ---------------------------------------------------------------------------------------------

def icon(draw, rect, name, colour):
    x, y, w, h = rect
    cx, cy = x + w / 2, y + h / 2
    lw = s(1.6)
    if name == "minimise":
        draw.line([s(cx - 6), s(cy + 1), s(cx + 6), s(cy + 1)], fill=colour, width=lw)
    elif name == "close":
        draw.line([s(cx - 5), s(cy - 5), s(cx + 5), s(cy + 5)], fill=colour, width=lw)
        draw.line([s(cx - 5), s(cy + 5), s(cx + 5), s(cy - 5)], fill=colour, width=lw)
    elif name == "web":
        r = 7
        draw.ellipse([s(cx - r), s(cy - r), s(cx + r), s(cy + r)], outline=colour, width=s(1.3))
        draw.ellipse([s(cx - 3), s(cy - r), s(cx + 3), s(cy + r)], outline=colour, width=s(1.1))
        draw.line([s(cx - r), s(cy), s(cx + r), s(cy)], fill=colour, width=s(1.1))
    elif name == "help":
        text_center(draw, rect, "?", 14, colour)
    elif name in ("mute", "voldown", "volup"):
        ox = cx - (5 if name == "mute" else 4)
        draw.polygon([(s(ox - 6), s(cy - 2.5)), (s(ox - 3), s(cy - 2.5)), (s(ox + 1), s(cy - 6)),
                      (s(ox + 1), s(cy + 6)), (s(ox - 3), s(cy + 2.5)), (s(ox - 6), s(cy + 2.5))], fill=colour)
        if name == "mute":
            draw.line([s(ox + 4), s(cy - 3), s(ox + 10), s(cy + 3)], fill=colour, width=s(1.4))
            draw.line([s(ox + 4), s(cy + 3), s(ox + 10), s(cy - 3)], fill=colour, width=s(1.4))
        else:
            draw.line([s(ox + 4), s(cy), s(ox + 10), s(cy)], fill=colour, width=s(1.4))
            if name == "volup":
                draw.line([s(ox + 7), s(cy - 3), s(ox + 7), s(cy + 3)], fill=colour, width=s(1.4))
    elif name in ("prev", "next"):
        d = 1 if name == "next" else -1
        for off in (-5, 0):
            a = cx + d * off
            draw.polygon([(s(a - d * 0), s(cy - 4)), (s(a + d * 5), s(cy)), (s(a), s(cy + 4))], fill=colour)
        bar = cx + d * 6
        draw.line([s(bar), s(cy - 4), s(bar), s(cy + 4)], fill=colour, width=s(1.4))
    elif name == "play":
        draw.polygon([(s(cx - 7), s(cy - 5)), (s(cx), s(cy)), (s(cx - 7), s(cy + 5))], fill=colour)
        draw.rectangle([s(cx + 2), s(cy - 5), s(cx + 4), s(cy + 5)], fill=colour)
        draw.rectangle([s(cx + 6), s(cy - 5), s(cx + 8), s(cy + 5)], fill=colour)
    elif name == "stop":
        draw.rectangle([s(cx - 4), s(cy - 4), s(cx + 4), s(cy + 4)], fill=colour)
    elif name in ("up", "down", "left", "right"):
        pts = {"up": [(0, -5), (5, 3), (-5, 3)], "down": [(0, 5), (5, -3), (-5, -3)],
               "left": [(-5, 0), (3, -5), (3, 5)], "right": [(5, 0), (-3, -5), (-3, 5)]}[name]
        draw.polygon([(s(cx + px), s(cy + py)) for px, py in pts], fill=colour)
    else:
        raise ValueError("unknown icon " + name)


# ---------------------------------------------------------------------------------------------
# Looks of buttons, one function per look, each painting one state inside its rectangle only
# ---------------------------------------------------------------------------------------------

def legend(draw, rect, text, colour, dy=0.0):
    x, y, w, h = rect
    if not text:
        return
    if text.startswith("icon:"):
        icon(draw, rect, text[5:], colour)
        return
    if "\n" in text:  # two lines: centres at 30 % and 70 % of the cap's face
        top, bottom = text.split("\n")
        upper, lower = (x, y + h * 0.30 - 6, w, 12), (x, y + h * 0.70 - 6, w, 12)
        if len(top) == 1 and len(bottom) == 1:  # shifted symbol above the base symbol
            text_center(draw, upper, top, 9.5, mix(colour, P["key"], 0.3), dy=dy + 1)
            text_center(draw, lower, bottom, 12, colour, dy=dy)
        else:
            text_center(draw, upper, top, 8.5, colour, condensed=True, dy=dy + 1.5)
            text_center(draw, lower, bottom, 8.5, colour, condensed=True, dy=dy - 0.5)
        return
    size = 13 if len(text) <= 2 else 10
    text_center(draw, rect, text, fit_size(text, w - 6, size, condensed=len(text) > 2), colour,
                condensed=len(text) > 2, dy=dy - 1)


def look_key(draw, rect, state, label):
    """A key cap: a darker skirt and a lighter top face with the legend."""
    x, y, w, h = rect
    r = s(5)
    if state == "notext":  # a key bound to a slot: lit, no legend (the program draws M1..M10)
        draw.rounded_rectangle(box(rect), r, fill=(56, 150, 190))
        draw.rounded_rectangle(box((x + 2, y + 1, w - 4, h - 5)), r, fill=P["accent_light"])
        return
    skirt, face, top, ink = {
        "main": (P["key_skirt"], P["key"], P["key_top"], P["legend"]),
        "over": (P["accent_deep"], (52, 58, 70), (62, 68, 82), P["accent"]),
        "down": ((0, 120, 160), P["accent"], (70, 215, 255), (8, 14, 22)),
        "disabled": ((22, 24, 28), (30, 32, 38), (34, 36, 42), (84, 88, 96)),
    }[state]
    press = 1 if state == "down" else 0
    draw.rounded_rectangle(box(rect), r, fill=skirt)
    draw.rounded_rectangle(box((x + 2, y + 1 + press, w - 4, h - 5)), r, fill=face)
    draw.rounded_rectangle(box((x + 2, y + 1 + press, w - 4, 3)), s(2), fill=top)
    draw.rectangle(box((x + 4, y + 3 + press, w - 8, 3)), fill=face)
    if state == "over":
        draw.rounded_rectangle(box(rect), r, outline=P["accent"], width=s(1))
    legend(draw, (x, y, w, h - 3), label, ink, dy=press)


def look_command(draw, rect, state, label, primary=False):
    r = s(6)
    edge = P["accent"] if primary else (62, 68, 80)
    fill, line, ink = {
        "main": ((30, 33, 40), edge, P["text"] if not primary else P["accent"]),
        "over": ((38, 46, 58), P["accent"], P["accent"]),
        "down": (P["accent_light"], P["accent_light"], (10, 16, 24)),
        "disabled": ((22, 24, 28), (40, 43, 50), (80, 84, 92)),
        "notext": ((30, 33, 40), edge, P["text"]),
    }[state]
    draw.rounded_rectangle(box(rect), r, fill=fill, outline=line, width=s(1))
    x, y, w, h = rect
    if label:
        text_center(draw, rect, label, fit_size(label, w - 10, 11), ink, dy=-0.5)


def look_tile(draw, rect, state, _label):
    """A button whose caption the program draws in grey: darker when idle, light when selected."""
    r = s(6)
    fill, line = {
        "main": ((34, 38, 46), (62, 68, 80)),
        "over": ((40, 50, 62), P["accent"]),
        "down": (P["accent_light"], P["accent_light"]),
        "disabled": ((24, 26, 30), (40, 43, 50)),
        "notext": ((34, 38, 46), (62, 68, 80)),
    }[state]
    draw.rounded_rectangle(box(rect), r, fill=fill, outline=line, width=s(1))


def look_label(draw, rect, state, _label):
    """The function field beside a slot: a recessed display with a drop-down mark."""
    x, y, w, h = rect
    r = s(5)
    fill, line, mark = {
        "main": (P["field"], (44, 48, 56), (90, 96, 106)),
        "over": ((14, 22, 28), P["accent"], P["accent"]),
        "down": (P["accent_deep"], P["accent"], P["accent"]),
        "disabled": ((20, 21, 25), (44, 48, 56), (60, 64, 72)),
        "notext": (P["field"], (44, 48, 56), (90, 96, 106)),
    }[state]
    draw.rounded_rectangle(box(rect), r, fill=fill, outline=line, width=s(1))
    if state == "disabled":  # the function "key disabled": hatched, kept inside the field
        hatch = Image.new("RGB", (s(w), s(h)), fill)
        hd = ImageDraw.Draw(hatch)
        for i in range(-int(h), int(w) + int(h), 7):
            hd.line([s(i), s(h), s(i + h), 0], fill=(32, 34, 40), width=s(1.5))
        inner = Image.new("L", (s(w), s(h)), 0)
        ImageDraw.Draw(inner).rounded_rectangle([s(1), s(1), s(w - 1) - 1, s(h - 1) - 1], r, fill=255)
        draw.canvas.paste(hatch, (s(x), s(y)), inner)
    mx, my = x + w - 14, y + h / 2
    draw.polygon([(s(mx - 4), s(my - 2)), (s(mx + 4), s(my - 2)), (s(mx), s(my + 3))], fill=mark)


def look_menuitem(draw, rect, state, _label):
    x, y, w, h = rect
    fill = {"main": None, "over": (20, 52, 68), "down": P["accent_light"], "disabled": None, "notext": None}[state]
    if fill:
        draw.rounded_rectangle(box(rect), s(4), fill=fill)
    if state == "over":
        draw.rectangle(box((x, y + 4, 2, h - 8)), fill=P["accent"])


def look_radio(draw, rect, state, _label):
    x, y, w, h = rect
    ring, dot = {
        "main": ((92, 98, 110), None), "over": (P["accent"], None), "down": (P["accent"], P["accent"]),
        "disabled": ((50, 54, 62), None), "notext": ((92, 98, 110), None),
    }[state]
    draw.ellipse(box(rect, 2), outline=ring, width=s(2))
    if dot:
        draw.ellipse(box(rect, 7), fill=dot)


def look_icon(draw, rect, state, name):
    fill, ink = {
        "main": (None, (150, 156, 166)), "over": ((36, 42, 52), P["accent"]),
        "down": (P["accent_deep"], P["accent_light"]), "disabled": (None, (60, 64, 72)),
        "notext": (None, (150, 156, 166)),
    }[state]
    if fill:
        draw.rounded_rectangle(box(rect), s(5), fill=fill)
    icon(draw, rect, name, ink)


def look_led(draw, rect, state, _label):
    x, y, w, h = rect
    if state == "over":
        draw.rounded_rectangle(box(rect), s(5), fill=(36, 42, 52))
    if state == "down":
        draw.ellipse(box(rect, 5), fill=(0, 80, 110))
        draw.ellipse(box(rect, 8), fill=P["accent"])
        draw.ellipse(box(rect, 10.5), fill=(200, 245, 255))
    else:
        draw.ellipse(box(rect, 8), fill=(52, 58, 68) if state != "over" else (70, 90, 104))


LOOKS = {"key": look_key, "command": look_command, "primary": lambda d, r, st, l: look_command(d, r, st, l, True),
         "tile": look_tile, "label": look_label, "menuitem": look_menuitem, "radio": look_radio, "led": look_led}


def paint_button(draw, rect, look, state, label):
    if rect[2] <= 0 or rect[3] <= 0 or look == "none":
        return
    if look.startswith("icon:"):
        look_icon(draw, rect, state, look[5:])
    else:
        LOOKS[look](draw, rect, state, label)


# ---------------------------------------------------------------------------------------------
# Backgrounds
# ---------------------------------------------------------------------------------------------

def window_ground(size, title_height=None):
    w, h = size
    img = Image.new("RGB", (s(w), s(h)), P["ground"])
    draw = ImageDraw.Draw(img)
    for yy in range(s(h)):  # a faint vertical fall-off
        draw.line([0, yy, s(w), yy], fill=mix((22, 24, 29), P["ground"], yy / s(h)))
    if title_height:
        draw.rectangle([0, 0, s(w), s(title_height) - 1], fill=P["topbar"])
        draw.line([0, s(title_height) - 1, s(w), s(title_height) - 1], fill=(34, 37, 44), width=s(1))
    return img, draw


def draw_texts(draw, texts):
    for x, y, text, size, colour, bold in texts:
        draw.text((s(x), s(y)), text, font=font(size, bold), fill=P[colour])


def draw_frame(draw, rect, radius=5):
    draw.rounded_rectangle(box(rect), s(radius), fill=P["field"], outline=(48, 52, 60), width=s(1))


def window_edge(draw, size, radius):
    w, h = size
    draw.rounded_rectangle([0, 0, s(w) - 1, s(h) - 1], s(radius), outline=(52, 56, 66), width=s(1))


def mask_image(size, radius):
    """Black inside the window's outline, white outside (the platform keeps non-white pixels)."""
    w, h = size
    big = Image.new("L", (s(w), s(h)), 255)
    ImageDraw.Draw(big).rounded_rectangle([0, 0, s(w) - 1, s(h) - 1], s(radius), fill=0)
    small = big.reduce(SCALE)
    return small.point(lambda v: 0 if v < 128 else 255).convert("RGB")


# ---------------------------------------------------------------------------------------------
# Main window: the keyboard picture
# ---------------------------------------------------------------------------------------------

def keyboard_keys():
    """[(index, name, vk, legend, rect)] for the programmable positions, in physical rows."""
    ox, oy = D.BOARD_ORIGIN
    pitch, gap = D.KEY_PITCH, D.KEY_GAP
    index_of = {}
    for i, vk in enumerate(D.KEY_POSITIONS_103):
        assert vk not in index_of, "virtual key %02X appears twice in the position table" % vk
        index_of[vk] = i
    keys = []
    for row_y, row in D.KEY_ROWS:
        for entry in row:
            name, vk, label, xu, wu = entry[:5]
            hu = entry[5] if len(entry) > 5 else 1
            x0, y0 = round(ox + xu * pitch), round(oy + row_y * pitch)
            x1, y1 = round(ox + (xu + wu) * pitch), round(oy + (row_y + hu) * pitch)
            rect = (x0 + gap // 2, y0 + gap // 2, x1 - x0 - gap, y1 - y0 - gap)
            keys.append((index_of[vk], name, vk, label, rect))
    got = sorted(k[0] for k in keys)
    assert got == list(range(len(D.KEY_POSITIONS_103))), "the board must show every key position once"
    return keys


def main_window():
    desc = D.MAIN
    w, h = desc["size"]
    ground, draw = window_ground(desc["size"], title_height=42)
    # The keyboard: one slab with a strip for the keys the keyboard handles itself.
    slab = (30, 54, 940, 354)
    draw.rounded_rectangle(box(slab), s(14), fill=P["panel"], outline=P["panel_edge"], width=s(1))
    draw.line([s(63), s(93), s(937), s(93)], fill=(34, 37, 44), width=s(1))
    draw.text((s(63), s(69)), "PROFILE", font=font(9, True), fill=P["muted"])
    draw.text((s(468), s(75)), "ZORVANE", font=font(11, True), fill=(58, 63, 72), anchor="mm")
    draw.text((s(620), s(69)), "MEDIA", font=font(9, True), fill=P["muted"])
    draw.multiline_text((s(63), s(367)), D.INTL_ROW_LABEL, font=font(8, True), fill=P["muted"], spacing=s(3))
    # Lower panel: profiles, slots, commands.
    draw.rounded_rectangle(box((30, 414, 940, 152)), s(12), fill=(20, 22, 26), outline=(36, 39, 46), width=s(1))
    draw.line([s(30), s(574), s(970), s(574)], fill=(30, 33, 39), width=s(1))
    draw_texts(draw, desc["texts"])
    window_edge(draw, desc["size"], desc["radius"])

    buttons = []  # (section, key, name, rect, caption, flag, look, painted label)
    for b in desc["buttons"]:
        key, name, rect, caption, flag, look = b[:6]
        buttons.append(("BUTTONINFO", key, name, rect, caption, flag, look, b[6] if len(b) > 6 else ""))
    keys = keyboard_keys()
    for index, name, vk, label, rect in keys:
        buttons.append(("KEYS", str(20 + index), name, rect, name, False, "key", label))
    for i in range(D.FIRST_UNUSED_KEY, D.FIRST_FIXED_KEY):
        buttons.append(("KEYS", str(20 + i), "Unused", (0, 0, 0, 0), "", False, "none", ""))
    for i in range(D.FIRST_FIXED_KEY, D.KEY_COUNT):
        j = i - D.FIRST_FIXED_KEY
        if j < len(D.FIXED_KEYS):
            name, label, x, y, kw, kh = D.FIXED_KEYS[j]
            buttons.append(("KEYS", str(20 + i), name, (x, y, kw, kh), name, False, "key", label))
        else:
            buttons.append(("KEYS", str(20 + i), "Unused", (0, 0, 0, 0), "", False, "none", ""))
    return ground, buttons


def simple_window(desc):
    w, h = desc["size"]
    ground, draw = window_ground(desc["size"], title_height=desc.get("title_height"))
    for rect in desc.get("frames", []):
        draw_frame(draw, rect)
    if desc["prefix"] == "menu":
        draw.rectangle([0, 0, s(w), s(h)], fill=(28, 31, 37))
        for col in (1, 2):
            xx = 6 + col * 124 - 2
            draw.line([s(xx), s(10), s(xx), s(h - 10)], fill=(44, 48, 56), width=s(1))
    if "icon" in desc:
        cx, cy, r = 42, 104, 18
        if desc["icon"] == "warn":
            draw.polygon([(s(cx), s(cy - r)), (s(cx + r), s(cy + r - 4)), (s(cx - r), s(cy + r - 4))], fill=P["accent"])
            draw.text((s(cx), s(cy + 4)), "!", font=font(18, True), fill=(10, 16, 24), anchor="mm")
        else:
            draw.ellipse([s(cx - r), s(cy - r), s(cx + r), s(cy + r)], outline=P["accent"], width=s(2))
            draw.text((s(cx), s(cy + 1)), "i" if desc["icon"] == "info" else "?", font=font(18, True),
                      fill=P["accent"], anchor="mm")
    if desc["prefix"] == "loading":
        _, key, name, rect, caption, flag = ("BAR",) + desc["bar"]
        draw.rounded_rectangle(box(rect), s(4), fill=(10, 11, 14), outline=(40, 44, 52), width=s(1))
    draw_texts(draw, desc["texts"])
    window_edge(draw, desc["size"], desc["radius"])
    buttons = []
    for b in desc["buttons"]:
        key, name, rect, caption, flag, look = b[:6]
        buttons.append(("BUTTONINFO", key, name, rect, caption, flag, look, b[6] if len(b) > 6 else ""))
    return ground, buttons


def bar_fill(img, rect):
    """The full progress bar, painted only into the pressed-state picture."""
    draw = ImageDraw.Draw(img)
    x, y, w, h = rect
    for i in range(s(w)):
        colour = mix((0, 120, 180), P["accent"], i / s(w))
        draw.line([s(x) + i, s(y), s(x) + i, s(y + h) - 1], fill=colour)
    draw.rounded_rectangle(box(rect), s(4), outline=P["accent_light"], width=s(1))


# ---------------------------------------------------------------------------------------------
# Files
# ---------------------------------------------------------------------------------------------

def button_value(name, rect, caption, flag):
    for field in (name, caption):
        assert "," not in field and "TRUE" not in field, "field would not parse back: %r" % field
    assert len(name) <= 39 and len(caption) <= 99
    x, y, w, h = rect
    return "%s,%d,%d,%d,%d,%s,%s" % (name, x, y, w, h, caption, "TRUE" if flag else "FALSE")


def write_ini(path, sections):
    """Private-profile text: ASCII, CRLF line ends, sections in the order given."""
    lines = []
    for section, entries in sections:
        lines.append("[%s]" % section)
        for key, value in entries:
            value.encode("ascii")
            assert "\n" not in value and "\r" not in value
            lines.append("%s=%s" % (key, value))
        lines.append("")
    with open(path, "wb") as f:
        f.write("\r\n".join(lines).encode("ascii"))


def render_states(ground, buttons, states):
    images = {}
    for state in states:
        img = ground.copy()
        draw = ImageDraw.Draw(img)
        draw.canvas = img  # looks that composite (rather than draw) paste into it
        for _, _, _, rect, _, _, look, label in buttons:
            paint_button(draw, rect, look, state, label)
        images[state] = img
    return images


def save_bmp(img, path):
    img.reduce(SCALE).convert("RGB").save(path, "BMP")


def write_window(out, desc, ground, buttons, extra_sections=()):
    prefix = desc["prefix"]
    states = STATES if desc.get("notext") else STATES[:4]
    images = render_states(ground, buttons, states)
    if "bar" in desc:
        bar_fill(images["down"], desc["bar"][2])
    names = {}
    for state in states:
        file_name = "%s_%s.bmp" % (prefix, state)
        save_bmp(images[state], os.path.join(out, file_name))
        names[state] = file_name
    mask_name = "%s_mask.bmp" % prefix
    mask_image(desc["size"], desc["radius"]).save(os.path.join(out, mask_name), "BMP")
    screen = [("Mask", mask_name), ("Main", names["main"]), ("Down", names["down"]),
              ("Over", names["over"]), ("Disabled", names["disabled"])]
    if desc.get("notext"):
        screen.append(("Notext", names["notext"]))
        screen += [("Red", "indicator_red.png"), ("Green", "indicator_green.png"), ("Blue", "indicator_blue.png")]
    sections = [("SCREEN", screen)]
    by_section = {}
    for section, key, name, rect, caption, flag, look, label in buttons:
        by_section.setdefault(section, []).append((int(key), key, button_value(name, rect, caption, flag)))
    for section in ("BUTTONINFO", "KEYS"):
        if section in by_section:
            sections.append((section, [(k, v) for _, k, v in sorted(by_section[section])]))
    if "bar" in desc:
        key, name, rect, caption, flag = desc["bar"]
        sections.append(("BAR_POSITION", [(key, button_value(name, rect, caption, flag))]))
    sections += list(extra_sections)
    write_ini(os.path.join(out, desc["file"]), sections)


def indicator(path, colour, alpha_body):
    """17 x 17, drawn below a bound key's caption: a short bar at the bottom, clear above it."""
    img = Image.new("RGBA", (17 * 4, 17 * 4), (0, 0, 0, 0))
    ImageDraw.Draw(img).rounded_rectangle([4 * 1, 4 * 14, 4 * 16 - 1, 4 * 17 - 1], 6, fill=colour + (alpha_body,))
    img.resize((17, 17), Image.LANCZOS).save(path, "PNG")


def generate(out, version):
    os.makedirs(out, exist_ok=True)
    ground, buttons = main_window()
    write_window(out, D.MAIN, ground, buttons, extra_sections=[
        ("Driver_Version", [("Driver_Version", D.DRIVER_VERSION)]),
        ("LANG_INFO", [("1", str(D.LANGUAGE))]),
        ("KEY_NUM", [("NUM", str(D.KEYBOARD_MODEL))]),
        ("WEB_PAGE", [("URL", D.WEB_PAGE_URL)]),
    ])
    for desc in [D.MENU, D.MACRO, D.REPEAT] + D.WARNINGS + [D.LOADING, D.APPS]:
        ground, buttons = simple_window(desc)
        write_window(out, desc, ground, buttons)
    indicator(os.path.join(out, "indicator_red.png"), (14, 30, 42), 255)      # bound key, selected
    indicator(os.path.join(out, "indicator_green.png"), (0, 110, 150), 255)   # pressed
    indicator(os.path.join(out, "indicator_blue.png"), (14, 30, 42), 90)      # disabled: faint
    write_ini(os.path.join(out, "main_font.ini"), [("BUTTONFONT", [("1", str(D.BUTTON_FONT_HEIGHT))])])
    write_ini(os.path.join(out, "main_profilefont.ini"), [("PROFILEFONT", [("1", str(D.PROFILE_FONT_HEIGHT))])])
    for file_name, texts in D.STRING_FILES.items():
        texts = {key: text.replace("{version}", version) for key, text in texts.items()}
        write_ini(os.path.join(out, file_name), [("STRING", sorted(texts.items(), key=lambda kv: int(kv[0])))])


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit("usage: generate_skin.py OUTPUT_FOLDER VERSION")
    generate(sys.argv[1], sys.argv[2])
