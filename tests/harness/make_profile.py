#!/usr/bin/env python3
"""Writes a profile file the way the programs store one: OUTPUT [SLOT:FUNID:MAPPINGKEY[:PATH|:STEPS]]...
STEPS is a comma list of CODE/VALUE pairs in hex/decimal (press 04/1, release 04/0, pause FF/50)."""
import sys


def macro_value(steps):
    data = bytearray(5600)
    for i, (code, value) in enumerate(steps):
        data[i * 8] = code
        data[i * 8 + 4:i * 8 + 8] = value.to_bytes(4, "little", signed=True)
    return data.hex().upper() + "%02X" % (sum(data) % 256)


def main():
    out, slot_args = sys.argv[1], sys.argv[2:]
    slots = {}
    for slot_arg in slot_args:
        parts = slot_arg.split(":", 3)
        slots[int(parts[0])] = parts[1:]
    lines = ["[Setting]", "MacroLength=0", "DiableWinKey=1"]
    for slot in range(10):
        fun, key, extra = (slots.get(slot, ["255", "255", ""]) + [""])[:3]
        lines += [f"[BUTTONCONFIG{slot}]", f"FunID={fun}", f"Mappinkey={key}"]
        steps = []
        if int(fun) == 16:
            lines.append(f"APP Path={extra}")
        elif int(fun) == 32 and extra:
            steps = [(int(c, 16), int(v)) for c, v in (p.split("/") for p in extra.split(","))]
        lines += [f"[MACROG{slot}]", "RepeatOption=1", f"Macro={macro_value(steps)}", f"MacroLength={len(steps)}"]
    with open(out, "w", newline="") as f:
        f.write("\r\n".join(lines) + "\r\n")


if __name__ == "__main__":
    main()
