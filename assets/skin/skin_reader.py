"""Reads a skin folder the way the programs do: private-profile lookups and button entries.

Kept apart from the generator on purpose: the check and the gallery see the skin only through
the files, as the programs will.
"""
import os
import re

BUFFER = 4096  # characters the programs read a string into


class IniFile:
    """Private-profile semantics: sections and keys match without regard to case, the first
    occurrence wins, blanks around keys and values are dropped, a missing key reads as default."""

    def __init__(self, path):
        self.path = path
        self.exists = os.path.isfile(path)
        self.raw = open(path, "rb").read() if self.exists else b""
        self.sections = {}
        section = None
        for line in self.raw.decode("latin-1").splitlines():
            line = line.strip()
            if line.startswith("[") and "]" in line:
                section = self.sections.setdefault(line[1:line.index("]")].strip().lower(), {})
            elif section is not None and "=" in line:
                key, value = line.split("=", 1)
                section.setdefault(key.strip().lower(), value.strip())

    def has(self, section, key):
        return key.lower() in self.sections.get(section.lower(), {})

    def get(self, section, key, default=""):
        return self.sections.get(section.lower(), {}).get(key.lower(), default)[:BUFFER - 1]

    def get_int(self, section, key, default):
        m = re.match(r"\s*([+-]?\d+)", self.get(section, key))
        return int(m.group(1)) if m else default

    def keys(self, section):
        return list(self.sections.get(section.lower(), {}).keys())


class ButtonInfo:
    """One "name,left,top,width,height,caption,flag" entry, read as the programs read it."""

    def __init__(self, value):
        self.value = value
        if "," in value:
            self.name, rest = value.split(",", 1)
        else:
            self.name, rest = "", value
        numbers = []
        for part in rest.split(",")[:4]:
            m = re.match(r"\s*([+-]?\d+)$", part)
            if not m:
                break
            numbers.append(int(m.group(1)))
        numbers += [0] * (4 - len(numbers))
        self.left, self.top, width, height = numbers
        self.right, self.bottom = self.left + width, self.top + height
        self.selected = "TRUE" in rest
        cut = rest[:rest.rindex(",")] if "," in rest else ""
        self.caption = cut[cut.rindex(",") + 1:] if "," in cut else cut
        self.name, self.caption = self.name[:39], self.caption[:99]

    @property
    def rect(self):
        return (self.left, self.top, self.right, self.bottom)

    @property
    def empty(self):
        return self.right <= self.left or self.bottom <= self.top

    @property
    def field_count(self):
        return self.value.count(",") + 1


def image_path(skin_folder, value):
    """Image values are relative to the skin folder and may use backslashes."""
    return os.path.join(skin_folder, *value.replace("\\", "/").split("/"))


def buttons(ini, section):
    return {key: ButtonInfo(ini.get(section, key)) for key in ini.keys(section)}
