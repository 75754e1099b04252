#!/usr/bin/env python3
"""Every function the exe imports must be one that Windows XP SP2's own DLLs
export: the import table, read with the toolchain's objdump, against the list
in tests/exe/xp_sp2_exports.txt (whose header says where it came from). A DLL
without a section in that list fails too, and so does an import by ordinal,
which no list of names can vouch for.

    python3 tests/exe/check_imports.py --objdump OBJDUMP --exe EXE --exports LIST
"""

import argparse
import re
import subprocess
import sys


def read_exports(path):
    """{dll (lower case): {function: floor}} from the list file."""
    exports, current = {}, None
    with open(path, encoding="utf-8") as f:
        for number, raw in enumerate(f, 1):
            line = raw.split("#", 1)[0].strip()
            if not line:
                continue
            m = re.fullmatch(r"\[([\w.]+)\]", line)
            if m:
                current = exports.setdefault(m.group(1).lower(), {})
                continue
            fields = line.split()
            if current is None or len(fields) < 3:
                raise SystemExit("%s:%d: not a '[dll]' or 'Function Floor Source' line" % (path, number))
            current[fields[0]] = fields[1]
    return exports


def read_imports(dump):
    """[(dll, name-or-None, ordinal-or-None)] from `objdump -p` output."""
    imports, dll = [], None
    for line in dump.splitlines():
        m = re.match(r"^\s*DLL Name: (\S+)", line)
        if m:
            dll = m.group(1).lower()
            continue
        if dll is None:
            continue
        if not line.strip():
            dll = None   # the table of one DLL ends at a blank line
            continue
        # by name:    "\t333be\t  136  CloseHandle"   (vma, hint, name)
        # by ordinal: "\t80000011\t   17  <none>"     (objdump prints no name)
        m = re.match(r"^\s+([0-9a-f]+)\s+(\d+)\s+(\S+)\s*$", line)
        if m:
            name = m.group(3)
            if name == "<none>":
                imports.append((dll, None, int(m.group(2))))
            else:
                imports.append((dll, name, None))
    return imports


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--objdump", required=True)
    ap.add_argument("--exe", required=True)
    ap.add_argument("--exports", required=True)
    args = ap.parse_args()

    exports = read_exports(args.exports)
    dump = subprocess.run([args.objdump, "-p", args.exe], stdout=subprocess.PIPE, check=True,
                          text=True, errors="replace").stdout
    imports = read_imports(dump)
    dlls = sorted({dll for dll, _, _ in imports})
    named_dlls = set(re.findall(r"DLL Name: (\S+)", dump))
    if not imports or len(dlls) != len({d.lower() for d in named_dlls}):
        # A change in objdump's layout must not read as "nothing to object to".
        print("FAIL could not read the import table: %d DLL(s) named, functions read for %r"
              % (len(named_dlls), dlls))
        print("0 passed, 1 failed")
        return 1

    passed = failed = 0
    for dll in dlls:
        problems = []
        functions = [(n, o) for d, n, o in imports if d == dll]
        if dll not in exports:
            problems.append("%s is not one of the system DLLs listed (%s)" % (dll, ", ".join(sorted(exports))))
        else:
            for name, ordinal in functions:
                if name is None:
                    problems.append("imported by ordinal %d; import it by name" % ordinal)
                elif name not in exports[dll]:
                    problems.append("%s is not known to exist on Windows XP SP2" % name)
        if problems:
            failed += 1
            print("FAIL %s (%d functions)" % (dll, len(functions)))
            for p in problems:
                print("    %s: %s" % (dll, p))
        else:
            passed += 1
            print("ok   %s (%d functions)" % (dll, len(functions)))
    print("%d passed, %d failed" % (passed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
