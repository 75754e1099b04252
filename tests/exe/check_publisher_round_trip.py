#!/usr/bin/env python3
"""An awkward publisher's name that configure lets through comes out of the exe
byte for byte: configures the project afresh with that name, builds only the
small program that carries the same resources, and runs the resource checks on
it against the name as given here.

    python3 tests/exe/check_publisher_round_trip.py --source DIR --toolchain FILE
        --generator NAME --work DIR [--cmake CMAKE]
"""

import argparse
import os
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from build_steps import run_build_steps  # noqa: E402

# Allowed, but meaningful to CMake (list separator, variable references,
# configure_file's own @...@), to the resource compiler's preprocessor
# (comment openers, a trigraph that would be a backslash right before the
# closing quote) or to a careless escaper (quotes of the other kind, percent,
# ampersand, angle brackets); Japanese and Latin text beyond ASCII.
AWKWARD_NAME = "株式会社ルミドール Café; 'x' %s & <b> ${Publisher} @Publisher@ /* // #if ??/"


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--source", required=True)
    ap.add_argument("--toolchain", required=True)
    ap.add_argument("--generator", default="Ninja")
    ap.add_argument("--work", required=True)
    ap.add_argument("--cmake", default="cmake")
    args = ap.parse_args()

    work = os.path.abspath(args.work)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    build = os.path.join(work, "build")
    steps = [
        [args.cmake, "-S", args.source, "-B", build, "-G", args.generator,
         "-DCMAKE_TOOLCHAIN_FILE=" + args.toolchain, "-DCMAKE_BUILD_TYPE=Release",
         "-DPublisher=" + AWKWARD_NAME],
        [args.cmake, "--build", build, "--target", "resource_probe", "-j", "2"],
    ]
    if not run_build_steps(steps):
        return 1

    expected = os.path.join(work, "expected-publisher.txt")
    with open(expected, "w", encoding="utf-8", newline="") as f:
        f.write(AWKWARD_NAME)
    print("publisher: %s" % AWKWARD_NAME)
    here = os.path.dirname(os.path.abspath(__file__))
    return subprocess.call([sys.executable, os.path.join(here, "check_resources.py"),
                            "--exe", os.path.join(build, "resource_probe.exe"),
                            "--publisher-file", expected])


if __name__ == "__main__":
    sys.exit(main())
