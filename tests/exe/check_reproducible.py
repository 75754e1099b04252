#!/usr/bin/env python3
"""Two builds of the same source give the same exe, byte for byte, whatever
folders they are built in: copies the source to another folder, configures it
afresh into yet another folder with the settings of an existing build (read
from its CMakeCache.txt), builds the exe there and compares it with that
build's exe. The copy's and the build's folder names differ from the
originals, in length too, so any folder name that reaches the exe shows up as
a difference; the exe is also searched for the folders' names outright.

    python3 tests/exe/check_reproducible.py --source DIR --build DIR --exe EXE
        --target TARGET --work DIR [--cmake CMAKE]
"""

import argparse
import os
import re
import shutil
import struct
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from build_steps import run_build_steps  # noqa: E402

# Settings that shape the exe's bytes, copied from the reference build.
CACHE_SETTINGS = ["CMAKE_GENERATOR", "CMAKE_TOOLCHAIN_FILE", "CMAKE_BUILD_TYPE",
                  "CMAKE_CXX_FLAGS", "CMAKE_EXE_LINKER_FLAGS", "CMAKE_RC_FLAGS",
                  "ServiceHost", "Publisher"]


def read_cache(build):
    entries = {}
    with open(os.path.join(build, "CMakeCache.txt"), encoding="utf-8") as f:
        for line in f:
            m = re.match(r"^([A-Za-z_][A-Za-z0-9_.+-]*):([A-Z]+)=(.*)$", line.rstrip("\n"))
            if m:
                entries[m.group(1)] = (m.group(2), m.group(3))
    return entries


def sections(data):
    """[(name, start, end)] of a PE file's sections in the file, and the headers."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    count, = struct.unpack_from("<H", data, pe + 6)
    optional_size, = struct.unpack_from("<H", data, pe + 20)
    table = pe + 24 + optional_size
    found = [("headers", 0, table + 40 * count)]
    for i in range(count):
        name, _, _, raw_size, raw_at = struct.unpack_from("<8sIIII", data, table + 40 * i)
        found.append((name.rstrip(b"\0").decode("ascii", "replace"), raw_at, raw_at + raw_size))
    return found


def where(data, offset):
    for name, start, end in sections(data):
        if start <= offset < end:
            return "%s+0x%x" % (name, offset - start)
    return "outside every section"


def describe_difference(a, b):
    lines = ["sizes %d and %d bytes" % (len(a), len(b))]
    differing = [i for i in range(min(len(a), len(b))) if a[i] != b[i]]
    lines.append("%d differing bytes in the common length" % len(differing))
    shown = []
    for i in differing:
        if not shown or i > shown[-1] + 16:
            shown.append(i)
        if len(shown) == 8:
            break
    for i in shown:
        lines.append("first difference near 0x%x (%s): %s / %s"
                     % (i, where(a, i), a[i:i + 16].hex(), b[i:i + 16].hex()))
    return lines


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--source", required=True)
    ap.add_argument("--build", required=True, help="the build whose exe is the reference")
    ap.add_argument("--exe", required=True)
    ap.add_argument("--target", required=True)
    ap.add_argument("--work", required=True)
    ap.add_argument("--cmake", default="cmake")
    args = ap.parse_args()
    source, build = os.path.realpath(args.source), os.path.realpath(args.build)
    work = os.path.abspath(args.work)

    cache = read_cache(build)
    build_type = cache.get("CMAKE_BUILD_TYPE", ("", ""))[1]
    settings = CACHE_SETTINGS + (["CMAKE_CXX_FLAGS_" + build_type.upper()] if build_type else [])

    shutil.rmtree(work, ignore_errors=True)
    copy = os.path.join(work, "a copy of the source")
    other_build = os.path.join(work, "b")
    # Only the source: no build trees, no repository.
    shutil.copytree(source, copy, symlinks=True,
                    ignore=lambda d, names: [n for n in names if os.path.realpath(d) == source
                                             and (n == ".git" or n == "build" or
                                                  os.path.realpath(os.path.join(d, n)) == build)])

    configure = [args.cmake, "-S", copy, "-B", other_build]
    for name in settings:
        if name not in cache:
            continue
        kind, value = cache[name]
        if name == "CMAKE_GENERATOR":
            configure += ["-G", value]
            continue
        if name == "CMAKE_TOOLCHAIN_FILE" and value.startswith(source + os.sep):
            value = copy + value[len(source):]  # the copy's own toolchain file
        configure.append("-D%s:%s=%s" % (name, kind, value))

    t0 = time.monotonic()
    if not run_build_steps([configure, [args.cmake, "--build", other_build, "--target", args.target,
                                        "-j", "2"]]):
        return 1
    print("clean build of a copy in %.1f s: %s" % (time.monotonic() - t0, other_build))

    # A signed build's signature holds its signing time, so two signed builds
    # never agree; the program under the signature must. The copy is built
    # unsigned (no signing settings are copied) and compared with the
    # reference's bytes once its signature is taken off.
    reference_path = args.exe
    if cache.get("SigningCertificate", ("", ""))[1]:
        reference_path = os.path.join(work, "reference-unsigned.exe")
        osslsigncode = cache.get("OSSLSIGNCODE", ("", "osslsigncode"))[1]
        if not run_build_steps([[osslsigncode, "remove-signature", "-in", args.exe, "-out", reference_path]]):
            return 1
        print("the reference is signed; comparing the bytes under its signature")
    with open(reference_path, "rb") as f:
        reference = f.read()
    rebuilt_path = os.path.join(other_build, os.path.basename(args.exe))
    with open(rebuilt_path, "rb") as f:
        rebuilt = f.read()

    failed = 0
    if reference == rebuilt:
        print("ok   %s is byte-identical to %s (%d bytes)" % (rebuilt_path, reference_path, len(rebuilt)))
    else:
        failed += 1
        print("FAIL %s differs from %s:" % (rebuilt_path, reference_path))
        for line in describe_difference(reference, rebuilt):
            print("    " + line)

    # A folder's name in the exe would make it depend on where it was built,
    # even where the two builds happen to agree.
    leaks = []
    for label, data in (("reference", reference), ("rebuilt", rebuilt)):
        for folder in (source, build, copy, other_build):
            for encoding in ("utf-8", "utf-16-le"):
                if folder.encode(encoding) in data:
                    leaks.append("%s exe holds %s (%s)" % (label, folder, encoding))
    if leaks:
        failed += 1
        print("FAIL build folders named in the exe:")
        for leak in leaks:
            print("    " + leak)
    else:
        print("ok   no source or build folder named in either exe")
    print("%d passed, %d failed" % (2 - failed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
