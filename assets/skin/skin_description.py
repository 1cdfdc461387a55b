"""The shipped skin, described once.

Everything the generator writes (INI files, window images, masks, indicator images) comes from
this file: a window's buttons are listed here with their rectangle, label and look, and the
generator both paints them and writes their rectangles, so pictures and rectangles cannot drift
apart. Coordinates are client pixels of the window; sizes are (width, height).
"""

PRODUCT = "Zorvane Gear"
APP_TITLE = "Zorvane Gear QELT Settings"
DRIVER_VERSION = "Driver 1.0.0"
WEB_PAGE_URL = ""     # the web button's address; empty: the help page shipped beside the programs
LANGUAGE = 1          # language number of the texts below (1: English)
KEYBOARD_MODEL = 103  # key position table the agent uses
BUTTON_FONT_HEIGHT = 14   # function-label captions on the main window
PROFILE_FONT_HEIGHT = 14

# One accent colour on a dark ground.
PALETTE = {
    "ground": (16, 17, 21),
    "topbar": (11, 12, 15),
    "panel": (24, 26, 31),
    "panel_edge": (46, 50, 58),
    "text": (214, 218, 224),
    "muted": (120, 126, 136),
    "faint": (72, 77, 86),
    "accent": (0, 198, 255),
    "accent_light": (128, 224, 255),
    "accent_deep": (8, 62, 84),
    "key": (40, 44, 52),
    "key_top": (50, 55, 64),
    "key_skirt": (27, 29, 35),
    "legend": (226, 230, 236),
    "field": (12, 13, 16),
}

# ---------------------------------------------------------------------------------------------
# The keyboard picture
# ---------------------------------------------------------------------------------------------

# Physical key positions the keyboard reports, by index (Windows virtual-key codes). A slot's key
# is an index into this table, so key button k of the picture must be the physical key at index k.
KEY_POSITIONS_103 = [
    0x1B, 0x70, 0x71, 0x72, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7A, 0x7B, 0x2C, 0x91, 0x13, 0xC0, 0x31, 0x32, 0x33,
    0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0x30, 0xBD, 0xBB, 0x08, 0x2D, 0x24, 0x21, 0x90, 0x6F, 0x6A, 0x6D, 0x09, 0x51, 0x57,
    0x45, 0x52, 0x54, 0x59, 0x55, 0x49, 0x4F, 0x50, 0xDB, 0xDD, 0xDC, 0x2E, 0x23, 0x22, 0x67, 0x68, 0x69, 0x6B, 0x14, 0x41,
    0x53, 0x44, 0x46, 0x47, 0x48, 0x4A, 0x4B, 0x4C, 0xBA, 0xDE, 0x0D, 0x64, 0x65, 0x66, 0xA0, 0x5A, 0x58, 0x43, 0x56, 0x42,
    0x4E, 0x4D, 0xBC, 0xBE, 0xBF, 0xA1, 0x26, 0x61, 0x62, 0x63, 0x6C, 0xA2, 0x5B, 0xA4, 0x20, 0xA5, 0x00, 0x5D, 0xA3, 0x25,
    0x28, 0x27, 0x60, 0x6E, 0xE2, 0x16, 0x19, 0x3D, 0x1A, 0x3A, 0x3C, 0x1D, 0x1C, 0x1E,
]

KEY_PITCH = 38                # one key unit, pixels
KEY_GAP = 4                   # space between two key caps
BOARD_ORIGIN = (63, 100)      # top-left of the Esc key's unit cell

# Rows of the board, left to right. A key is (name, virtual key, legend, x in units, width in
# units[, height in units]). The name is the key's display name (no commas); the legend is what
# the cap shows (a line break puts the shifted symbol above the base one). Tooltips are the names.
def _run(x0, keys, width=1.0):
    return [(name, vk, legend, x0 + i * width, width) for i, (name, vk, legend) in enumerate(keys)]

_LETTERS = lambda s, x0: _run(x0, [(c, ord(c), c) for c in s])

KEY_ROWS = [
    (0.0, [("Esc", 0x1B, "Esc", 0, 1)]
          + _run(2, [("F%d" % i, 0x6F + i, "F%d" % i) for i in range(1, 5)])
          + _run(6.5, [("F%d" % i, 0x6F + i, "F%d" % i) for i in range(5, 9)])
          + _run(11, [("F%d" % i, 0x6F + i, "F%d" % i) for i in range(9, 13)])
          + _run(15.5, [("Print Screen", 0x2C, "PrtSc"), ("Scroll Lock", 0x91, "ScrLk"), ("Pause", 0x13, "Pause")])),
    (1.5, _run(0, [("Grave", 0xC0, "~\n`"), ("1", 0x31, "!\n1"), ("2", 0x32, "@\n2"), ("3", 0x33, "#\n3"),
                   ("4", 0x34, "$\n4"), ("5", 0x35, "%\n5"), ("6", 0x36, "^\n6"), ("7", 0x37, "&\n7"),
                   ("8", 0x38, "*\n8"), ("9", 0x39, "(\n9"), ("0", 0x30, ")\n0"), ("Minus", 0xBD, "_\n-"),
                   ("Equals", 0xBB, "+\n=")])
          + [("Backspace", 0x08, "Backspace", 13, 2)]
          + _run(15.5, [("Insert", 0x2D, "Ins"), ("Home", 0x24, "Home"), ("Page Up", 0x21, "PgUp")])
          + _run(19, [("Num Lock", 0x90, "Num\nLock"), ("Num Divide", 0x6F, "/"), ("Num Multiply", 0x6A, "*"),
                      ("Num Subtract", 0x6D, "-")])),
    (2.5, [("Tab", 0x09, "Tab", 0, 1.5)]
          + _LETTERS("QWERTYUIOP", 1.5)
          + _run(11.5, [("Left Bracket", 0xDB, "{\n["), ("Right Bracket", 0xDD, "}\n]")])
          + [("Backslash", 0xDC, "|\n\\", 13.5, 1.5)]
          + _run(15.5, [("Delete", 0x2E, "Del"), ("End", 0x23, "End"), ("Page Down", 0x22, "PgDn")])
          + _run(19, [("Num 7", 0x67, "7"), ("Num 8", 0x68, "8"), ("Num 9", 0x69, "9")])
          + [("Num Add", 0x6B, "+", 22, 1, 2)]),
    (3.5, [("Caps Lock", 0x14, "Caps Lock", 0, 1.75)]
          + _LETTERS("ASDFGHJKL", 1.75)
          + _run(10.75, [("Semicolon", 0xBA, ":\n;"), ("Quote", 0xDE, "\"\n'")])
          + [("Enter", 0x0D, "Enter", 12.75, 2.25)]
          + _run(19, [("Num 4", 0x64, "4"), ("Num 5", 0x65, "5"), ("Num 6", 0x66, "6")])),
    (4.5, [("Left Shift", 0xA0, "Shift", 0, 2.25)]
          + _LETTERS("ZXCVBNM", 2.25)
          + _run(9.25, [("Comma", 0xBC, "<\n,"), ("Period", 0xBE, ">\n."), ("Slash", 0xBF, "?\n/")])
          + [("Right Shift", 0xA1, "Shift", 12.25, 2.75)]
          + [("Up", 0x26, "icon:up", 16.5, 1)]
          + _run(19, [("Num 1", 0x61, "1"), ("Num 2", 0x62, "2"), ("Num 3", 0x63, "3")])
          + [("Num Enter", 0x6C, "Enter", 22, 1, 2)]),
    (5.5, _run(0, [("Left Ctrl", 0xA2, "Ctrl"), ("Left Win", 0x5B, "Win"), ("Left Alt", 0xA4, "Alt")], 1.25)
          + [("Space", 0x20, "", 3.75, 6.25)]
          + _run(10, [("Right Alt", 0xA5, "Alt"), ("Fn", 0x00, "Fn"), ("Menu", 0x5D, "Menu"), ("Right Ctrl", 0xA3, "Ctrl")], 1.25)
          + _run(15.5, [("Left", 0x25, "icon:left"), ("Down", 0x28, "icon:down"), ("Right", 0x27, "icon:right")])
          + [("Num 0", 0x60, "0", 19, 2), ("Num Decimal", 0x6E, ".", 21, 1)]),
    # Keys of international and IME layouts, which this board shows in a strip of their own.
    (6.85, _run(3.5, [("ISO Backslash", 0xE2, "ISO\n\\"), ("IME On", 0x16, "IME\nOn"), ("Kanji", 0x19, "Kanji"),
                      ("Ext 3D", 0x3D, "Ext\n3D"), ("IME Off", 0x1A, "IME\nOff"), ("Ext 3A", 0x3A, "Ext\n3A"),
                      ("Yen", 0x3C, "Yen"), ("No Convert", 0x1D, "No\nConv"), ("Convert", 0x1C, "Conv"),
                      ("Accept", 0x1E, "Accept")], 1.5)),
]
INTL_ROW_LABEL = "INTERNATIONAL\nAND IME KEYS"

KEY_COUNT = 154          # KEYS entries "20" to "173"
FIRST_UNUSED_KEY = 114   # 114 to 117: positions this board does not have
FIRST_FIXED_KEY = 118    # 118 and up: keys shown on the picture that cannot be programmed

# Keys the keyboard handles itself (profile and media keys): shown, never programmable.
# (name, legend or icon, x, y, width, height) in pixels.
FIXED_KEYS = (
    [("Profile key %d" % p, "P%d" % p, 139 + (p - 1) * 36, 64, 32, 22) for p in range(1, 6)]
    + [(name, icon, 675 + i * 38, 64, 34, 22) for i, (name, icon) in enumerate([
        ("Mute", "icon:mute"), ("Volume Down", "icon:voldown"), ("Volume Up", "icon:volup"), ("Previous Track", "icon:prev"),
        ("Play Pause", "icon:play"), ("Stop", "icon:stop"), ("Next Track", "icon:next")])]
)

# ---------------------------------------------------------------------------------------------
# Windows. A button is (key, name, (x, y, w, h), caption, selected flag, look[, painted text]).
# Looks: "command" (text painted on the image), "primary" (same, accent edge), "tile" (the program
# draws the caption), "label" (the program draws the caption, left), "menuitem", "radio",
# "icon:<name>", "led", "bar". A rectangle of (0, 0, 0, 0) is an entry the skin leaves empty.
# ---------------------------------------------------------------------------------------------

FUNCTION_NAMES = [  # menu items 0..12, in menu order; the main window shows them as function names
    "No function", "Macro", "Ctrl+X Cut", "Ctrl+C Copy", "Ctrl+V Paste", "Ctrl+Z Undo",
    "Ctrl+A Select all", "Ctrl+F Find", "Ctrl+N New", "Ctrl+P Print", "Ctrl+S Save",
    "Launch program", "Key disabled",
]

MAIN = {
    "file": "main.ini", "prefix": "main", "size": (1000, 632), "radius": 12, "notext": True,
    "buttons": [
        ("1", "Minimise", (924, 8, 32, 26), "Minimise", False, "icon:minimise"),
        ("2", "Close", (960, 8, 32, 26), "Close", False, "icon:close"),
        ("3", "Web", (880, 8, 36, 26), "Drivers and updates on the web", False, "icon:web"),
        ("34", "Status", (846, 8, 26, 26), "Status light", False, "led"),
    ] + [
        (str(4 + p), "Profile%d" % (p + 1), (110 + p * 90, 424, 84, 30), "Profile %d" % (p + 1), False,
         "command", "PROFILE %d" % (p + 1)) for p in range(5)
    ] + [
        ("9", "Export", (664, 424, 96, 30), "Export this profile to a file", False, "command", "Export"),
        ("10", "Import", (766, 424, 96, 30), "Import a profile file into this profile", False, "command", "Import"),
        ("13", "Reset", (868, 424, 96, 30), "Reset this profile", False, "command", "Reset"),
        ("11", "Apply", (640, 584, 96, 32), "Apply this profile to the keyboard", False, "primary", "Apply"),
        ("12", "ApplyClose", (744, 584, 120, 32), "Apply and close", False, "primary", "Apply & Close"),
        ("35", "Close2", (872, 584, 96, 32), "Close without applying", False, "command", "Close"),
        ("36", "Programs", (488, 584, 140, 32), "Profiles that follow the program in front", False, "command",
         "Program profiles"),
    ] + [
        (str(24 + s), "M%d" % (s + 1), (35 + (s % 5) * 188, 482 + (s // 5) * 44, 34, 34),
         "M%d" % (s + 1), False, "tile") for s in range(10)
    ] + [
        (str(14 + s), "Function%d" % (s + 1), (73 + (s % 5) * 188, 486 + (s // 5) * 44, 140, 26),
         "Choose the function of M%d" % (s + 1), False, "label") for s in range(10)
    ],
    "texts": [  # (x, y, text, size, colour, bold)
        (20, 7, "ZORVANE", 15, "accent", True), (20, 24, "QELT KEYBOARD SETTINGS", 9, "muted", True),
        (36, 431, "PROFILES", 10, "muted", True), (36, 464, "PROGRAMMABLE KEYS  M1 - M10", 10, "muted", True),
        (36, 591, "Pick a slot, click a key on the board, then choose its function.", 11, "muted", False),
    ],
}

MENU = {
    "file": "menu_skin.ini", "prefix": "menu", "size": (380, 133), "radius": 8,
    # Three columns: the kinds of function, then the nine shortcuts.
    "buttons": [
        (str(i + 1), "Item%d" % (i + 1),
         (6 + col * 124, 5 + row * 25, 120, 23), FUNCTION_NAMES[i], False, "menuitem")
        for i, (col, row) in enumerate([(0, 0), (0, 1), (1, 0), (1, 1), (1, 2), (1, 3), (1, 4),
                                        (2, 0), (2, 1), (2, 2), (2, 3), (0, 2), (0, 3)])
    ],
    "texts": [],
}

MACRO = {
    "file": "macro_skin.ini", "prefix": "macro", "size": (370, 312), "radius": 10, "title_height": 32,
    "buttons": [
        ("1", "Help", (330, 6, 28, 24), "Help", False, "icon:help"),
        ("2", "Record", (186, 37, 71, 38), "Record", False, "tile"),
        ("3", "Stop", (265, 37, 71, 38), "Stop", False, "tile"),
        ("4", "Spare", (0, 0, 0, 0), "", False, "none"),
        ("5", "AsTyped", (265, 83, 71, 38), "As typed", False, "tile"),
        ("6", "Delete", (186, 212, 50, 30), "Delete", False, "command", "Delete"),
        ("7", "SetDelay", (242, 212, 58, 30), "Set delay", False, "command", "Set delay"),
        ("8", "Pause", (306, 212, 48, 30), "Pause", False, "command", "Pause"),
        ("10", "Repeat", (186, 83, 71, 38), "Repeat", False, "tile"),
        ("11", "Load", (186, 129, 71, 38), "Load", False, "tile"),
        ("12", "Save", (265, 129, 71, 38), "Save", False, "tile"),
        ("13", "OK", (186, 255, 71, 38), "OK", False, "tile"),
        ("14", "Cancel", (265, 255, 71, 38), "Cancel", False, "command", "Cancel"),
    ],
    "texts": [(16, 11, "MACRO EDITOR", 12, "accent", True), (186, 184, "Delay (ms)", 11, "muted", False),
              (16, 297, "Click a step to change it.", 9, "faint", False)],
    "frames": [(13, 34, 155, 262), (276, 178, 48, 25)],  # step list and delay field
}

REPEAT = {
    "file": "repeat_skin.ini", "prefix": "repeat", "size": (330, 200), "radius": 10, "title_height": 40,
    "buttons": [
        ("1", "Once", (60, 52, 24, 24), "Play the macro once", False, "radio"),
        ("2", "Hold", (60, 85, 24, 24), "Repeat while the key is held", False, "radio"),
        ("3", "Toggle", (60, 116, 24, 24), "Repeat until the key is pressed again", False, "radio"),
        ("4", "OK", (196, 158, 47, 29), "OK", False, "tile"),
        ("5", "Cancel", (253, 158, 47, 29), "Cancel", False, "tile"),
    ],
    "texts": [(20, 14, "REPEAT MODE", 12, "accent", True)],
}

# The rules list is drawn by the program inside the frame; the buttons 1-5 give the selected rule
# its profile.
APPS = {
    "file": "apps_skin.ini", "prefix": "apps", "size": (560, 380), "radius": 10, "title_height": 40,
    "buttons": [
        ("1", "AddFile", (416, 72, 124, 30), "Add a program from its file", False, "command", "Add file..."),
        ("2", "AddRunning", (416, 110, 124, 30), "Add a program that is running", False, "command", "Running..."),
        ("3", "Remove", (416, 148, 124, 30), "Remove the selected rule", False, "command", "Remove"),
    ] + [
        (str(4 + p), "Profile%d" % (p + 1), (96 + p * 44, 330, 38, 30), "Profile %d for the selected program" % (p + 1),
         False, "command", str(p + 1)) for p in range(5)
    ] + [
        ("9", "OK", (356, 330, 88, 30), "Save the rules", False, "primary", "OK"),
        ("10", "Cancel", (452, 330, 88, 30), "Keep the rules as they were", False, "command", "Cancel"),
    ],
    "texts": [(20, 12, "PROGRAM PROFILES", 12, "accent", True),
              (20, 50, "The keyboard takes a program's profile while the program is in front.", 10, "muted", False),
              (20, 339, "PROFILE", 10, "muted", True)],
    "frames": [(20, 72, 380, 244)],  # the rules list
}

def _warning(prefix, title, icon, question):
    buttons = [("1", "OK", (314 - (98 if question else 0), 156, 90, 30), "OK", False, "primary", "OK")]
    if question:
        buttons.append(("2", "Cancel", (314, 156, 90, 30), "Cancel", False, "command", "Cancel"))
    return {"file": prefix + "_skin.ini", "prefix": prefix.lower(), "size": (420, 200), "radius": 10, "title_height": 40,
            "buttons": buttons, "texts": [(20, 12, title, 12, "accent", True)], "icon": icon}

WARNINGS = [
    _warning("Warning1", "RESET PROFILE", "warn", True),
    _warning("Warning2", "NOTICE", "info", False),
    _warning("Warning3", "PLEASE CONFIRM", "ask", True),
]

LOADING = {
    "file": "loading_skin.ini", "prefix": "loading", "size": (360, 100), "radius": 10,
    "buttons": [], "bar": ("1", "Progress", (22, 64, 316, 10), "Progress", False),
    "texts": [(22, 10, "ZORVANE GEAR", 9, "accent", True)],
}

# ---------------------------------------------------------------------------------------------
# Texts of the string files: file -> {key: text}. Plain single lines.
# ---------------------------------------------------------------------------------------------
STRING_FILES = {
    "repeat_str.ini": {
        "1": "Once",
        "2": "Repeat while held",
        "3": "Repeat until pressed again",
    },
    "waning_str.ini": {
        "1": "The keyboard is not connected. Plug it in, wait a few seconds and try again.",
        "2": "Reset this profile? All its keys, macros and programs will be cleared. OK resets, Cancel keeps it.",
        "3": "This profile has changes that are not on the keyboard yet. OK applies them, Cancel discards them.",
        "4": "Send this profile to the keyboard now? OK applies it, Cancel goes back to editing.",
        "6": "The macro is full, so recording has stopped. Keep it with OK, or record a shorter one.",
    },
    "loading_str.ini": {
        "1": "Updating the keyboard, please wait...",
    },
    "trayicon_str.ini": {
        "1": "Open QELT Settings",
        "3": "Exit",
    },
    "trayicon1_str.ini": {
        "1": "Zorvane Gear QELT",
    },
    "about.ini": {
        "1": "About Zorvane Gear QELT",
        "2": "Zorvane Gear QELT keyboard suite",
        "3": "Version {version}",  # the version set in CMake
    },
}
