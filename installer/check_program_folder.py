#!/usr/bin/env python3
"""Checks the program folder the installer ships (build/out) and the installer itself.

- The folder holds what ships and nothing else: the three programs, the hook library, qeltctl,
  the key-name file, the skin and the help page (developer tools, stand-ins and benchmarks live
  in other build folders).
- Every program and library imports system libraries only: the runtime is linked in, so nothing
  else has to be on the target machine.
- Every program and library, the installer and the agent's about box carry the version set in
  CMake.
- Every program carries the application manifest (Common Controls 6, the supported Windows
  versions, the DPI awareness), embedded as it is written in the source tree.
"""
import argparse
import os
import struct
import subprocess
import sys

SHIPPED = {
    "QELT_Settings.exe", "QELT_Core.exe", "QELT_OSD.exe", "Plexin.dll", "qeltctl.exe",
    "table.xml", "Skins", "help",
    "skins",  # a link to Skins for case-sensitive file systems; the installer leaves it out
}
SYSTEM_LIBRARIES = {
    "advapi32.dll", "comctl32.dll", "comdlg32.dll", "gdi32.dll", "gdiplus.dll", "kernel32.dll",
    "msvcrt.dll", "ole32.dll", "oleaut32.dll", "psapi.dll", "shell32.dll", "shlwapi.dll",
    "user32.dll", "uxtheme.dll", "version.dll", "winmm.dll", "wtsapi32.dll",
}
FIXED_FILE_INFO_SIGNATURE = struct.pack("<I", 0xFEEF04BD)


def file_version(path):
    """FILEVERSION of the file's VS_FIXEDFILEINFO as "a.b.c.d", or None."""
    data = open(path, "rb").read()
    at = data.find(FIXED_FILE_INFO_SIGNATURE)
    if at < 0:
        return None
    _, _, ms, ls = struct.unpack_from("<IIII", data, at)
    return f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}"


def imports(objdump, path):
    output = subprocess.run([objdump, "-p", path], capture_output=True, text=True, check=True).stdout
    return [line.split(":", 1)[1].strip() for line in output.splitlines() if "DLL Name:" in line]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program-folder", required=True)
    parser.add_argument("--installer", required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--objdump", required=True)
    parser.add_argument("--manifest", required=True)
    args = parser.parse_args()
    folder = args.program_folder
    expected_version = args.version + ".0"
    problems = []

    present = set(os.listdir(folder))
    for name in sorted(present - SHIPPED):
        problems.append(f"{name}: in the program folder but does not ship (developer tools go to build/devtools)")
    for name in sorted(SHIPPED - present):
        problems.append(f"{name}: missing from the program folder")
    if not os.path.isfile(os.path.join(folder, "help", "index.html")):
        problems.append("help/index.html: missing")

    manifest = open(args.manifest, "rb").read()
    binaries = [name for name in sorted(present) if name.lower().endswith((".exe", ".dll"))]
    for name in binaries:
        path = os.path.join(folder, name)
        for library in imports(args.objdump, path):
            if library.lower() not in SYSTEM_LIBRARIES:
                problems.append(f"{name}: imports {library}, which is not part of Windows")
        version = file_version(path)
        if version != expected_version:
            problems.append(f"{name}: version {version}, expected {expected_version}")
        if name.lower().endswith(".exe") and manifest not in open(path, "rb").read():
            problems.append(f"{name}: does not carry the application manifest {os.path.basename(args.manifest)}")

    about = os.path.join(folder, "Skins", "about.ini")
    if os.path.isfile(about) and f"Version {args.version}" not in open(about, encoding="cp1252").read():
        problems.append(f"Skins/about.ini: the about box does not say Version {args.version}")

    if not os.path.isfile(args.installer):
        problems.append(f"{args.installer}: no installer (is makensis installed? scripts/setup.sh)")
    elif file_version(args.installer) != expected_version:
        problems.append(f"{args.installer}: version {file_version(args.installer)}, expected {expected_version}")

    for problem in problems:
        print(problem)
    if problems:
        return 1
    print(f"{len(binaries)} programs and libraries and the installer at version {expected_version}, "
          f"the programs with their manifest; "
          f"the program folder holds {len(present)} entries, all shipped")
    return 0


if __name__ == "__main__":
    sys.exit(main())
