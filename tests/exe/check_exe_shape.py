#!/usr/bin/env python3
"""What the shipped exe must be, read from its headers by the toolchain's objdump:
a 32-bit (PE32, i386) GUI program for subsystem version 5.01 that imports only
DLLs every Windows from XP SP2 on ships (no MinGW run-time DLLs).

    python3 tests/exe/check_exe_shape.py --objdump OBJDUMP --exe EXE
"""

import argparse
import re
import subprocess
import sys

# The system's own DLLs this program may import; compared without regard to
# case. comdlg32 is not among them: the file-open dialog loads it from the
# system folder when it is shown, after the DLL search has been narrowed.
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "advapi32.dll", "ole32.dll", "msvcrt.dll"}


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--objdump", required=True)
    ap.add_argument("--exe", required=True)
    args = ap.parse_args()
    dump = subprocess.run([args.objdump, "-p", args.exe], stdout=subprocess.PIPE, check=True,
                          text=True, errors="replace").stdout

    def field(name):
        m = re.search(r"^%s\s+(\S+)" % re.escape(name), dump, re.M)
        return m.group(1) if m else None

    dlls = {d.lower() for d in re.findall(r"DLL Name: (\S+)", dump)}
    checks = [
        ("file format pei-i386", "file format pei-i386" in dump, "not an i386 PE file"),
        ("PE32", field("Magic") == "010b", "Magic is %s" % field("Magic")),
        ("GUI subsystem", field("Subsystem") == "00000002", "Subsystem is %s" % field("Subsystem")),
        ("subsystem version 5.01",
         (field("MajorSubsystemVersion"), field("MinorSubsystemVersion")) == ("5", "1"),
         "subsystem version %s.%s" % (field("MajorSubsystemVersion"), field("MinorSubsystemVersion"))),
        ("imports only system DLLs", dlls and dlls <= SYSTEM_DLLS,
         "imports %s" % sorted(dlls - SYSTEM_DLLS) if dlls else "no imports found"),
    ]
    failed = 0
    for name, ok, why in checks:
        print("%s %s%s" % ("ok  " if ok else "FAIL", name, "" if ok else ": " + why))
        failed += not ok
    print("%d passed, %d failed" % (len(checks) - failed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
