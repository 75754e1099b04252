#!/usr/bin/env python3
"""Runs the Win32 layer's own checks (a console exe) under Wine, once with
ANSI code page 932 and once with 1252, each in a fresh prefix.

    python3 tests/wine/test_platform.py --exe EXE --work DIR [--cache DIR]
"""

import argparse
import os
import re
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import wineharness as wh  # noqa: E402

CASES = [
    # name,              LANG,          ANSI code page the row needs
    ("platform-acp932",  "ja_JP.UTF-8", 932),
    ("platform-acp1252", "C.UTF-8",     1252),
]


def run_case(name, lang, code_page, args, template):
    with wh.Case(template, os.path.join(args.work, "cases", name), None, lang=lang) as case:
        if case.code_page != code_page:
            return ["%s gives code page %d here, the row needs %d" % (lang, case.code_page, code_page)]
        out_path = os.path.join(case.dir, "stdout.txt")
        with open(out_path, "wb") as out:
            p = subprocess.run(["wine", args.exe], env=case.env(), stdout=out,
                               stderr=subprocess.DEVNULL, timeout=120, cwd=case.dir)
        with open(out_path, "rb") as f:
            lines = f.read().decode("utf-8", "replace").splitlines()
        for line in lines:
            print("    %s: %s" % (name, line))
        counts = [re.fullmatch(r"(\d+) passed, (\d+) failed", l.strip()) for l in lines]
        counts = [(int(m.group(1)), int(m.group(2))) for m in counts if m]
        problems = []
        if p.returncode != 0:
            problems.append("exit code %d" % p.returncode)
        if not counts or counts[-1][0] == 0 or counts[-1][1] != 0:
            problems.append("closing counts %r, want some passed and none failed"
                            % (counts[-1] if counts else None,))
        return problems


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--exe", required=True)
    ap.add_argument("--work", required=True)
    ap.add_argument("--cache", default=os.environ.get("WINE_TEMPLATE_CACHE"))
    args = ap.parse_args()
    args.exe, args.work = os.path.abspath(args.exe), os.path.abspath(args.work)
    template = wh.ensure_template(args.cache or os.path.join(args.work, "cache"))
    passed = failed = 0
    for name, lang, code_page in CASES:
        try:
            problems = run_case(name, lang, code_page, args, template)
        except (wh.HarnessError, subprocess.TimeoutExpired) as e:
            problems = ["harness: %s" % e]
        if problems:
            failed += 1
            print("FAIL %s (LANG=%s): %s" % (name, lang, "; ".join(problems)))
        else:
            passed += 1
            print("ok   %s (LANG=%s)" % (name, lang))
    print("%d passed, %d failed" % (passed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
