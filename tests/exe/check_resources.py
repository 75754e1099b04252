#!/usr/bin/env python3
"""The exe's own resources, read back by tools nobody here wrote: exiftool for
the version block, wrestool and icotool (icoutils) for the resource list, the
icon and the manifest. What those tools do not show (the string table's order
and key, the translation entry, the icon's AND mask, the manifest's namespace
declarations) is read from the extracted bytes by this script itself.

    python3 tests/exe/check_resources.py --exe EXE --publisher-file FILE

FILE holds the publisher's name the exe was configured with, as UTF-8.
"""

import argparse
import json
import os
import re
import struct
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET
import xml.parsers.expat

FILE_VERSION = "0.1.0.4"

ASM_V1 = "urn:schemas-microsoft-com:asm.v1"
ASM_V3 = "urn:schemas-microsoft-com:asm.v3"
COMPAT_V1 = "urn:schemas-microsoft-com:compatibility.v1"
SUPPORTED_OS = {
    "{e2011457-1546-43c5-a5fe-008deee3d3f0}": "Windows Vista",
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}": "Windows 7",
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}": "Windows 8",
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}": "Windows 8.1",
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}": "Windows 10 and 11",
}


def string_table(publisher):
    """The string table's entries, in their order: (key in the file, exiftool's tag, value)."""
    return [
        ("CompanyName", "CompanyName", publisher),
        ("FileDescription", "FileDescription", "Lumidor for IE設定プログラム"),
        ("FileVersion", "FileVersion", "0.1.0.4"),
        ("InternalName", "InternalName", ""),
        ("LegalCopyright", "LegalCopyright", publisher),
        ("LegalTrademarks", "LegalTrademarks", publisher),
        ("OriginalFilename", "OriginalFileName", "Lumidor Install for IE"),
        ("ProductName", "ProductName", "Lumidor for IE"),
        ("ProductVersion", "ProductVersion", "1.0.0.0"),
        ("Comments", "Comments", ""),
    ]


# The fixed part and the table's language as exiftool reports them: its
# numeric form (-n) and its own wording.
FIXED_PART = [
    # tag,                  numeric,   as printed
    ("FileVersionNumber",    "0.1.0.4", "0.1.0.4"),
    ("ProductVersionNumber", "0.1.0.4", "0.1.0.4"),
    ("FileFlagsMask",        "63",      "0x003f"),
    ("FileFlags",            "0",       "(none)"),
    ("FileOS",               "4",       "Win32"),
    ("ObjectFileType",       "1",       "Executable application"),
    ("FileSubtype",          "0",       "0"),
    ("LanguageCode",         "0411",    "Japanese"),
    ("CharacterSet",         "03A4",    "Windows, Japan (Shift - JIS X-0208)"),
]


class Checks:
    def __init__(self):
        self.passed = self.failed = 0

    def __call__(self, name, ok, why=""):
        print("%s %s%s" % ("ok  " if ok else "FAIL", name, "" if ok else ": " + why))
        if ok:
            self.passed += 1
        else:
            self.failed += 1
        return ok


def run(cmd, binary=False):
    p = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE, check=False)
    if p.returncode != 0:
        raise RuntimeError("%s failed (%d): %s" % (" ".join(cmd), p.returncode,
                                                   p.stderr.decode("utf-8", "replace")))
    return p.stdout if binary else p.stdout.decode("utf-8")


def exiftool(exe, numeric):
    out = run(["exiftool", "-j", "-a", "-charset", "utf8"] + (["-n"] if numeric else [])
              + ["-EXE:all", exe])
    # Keep every value as exiftool wrote it: a name such as "1.10" must not become 1.1.
    return json.loads(out, parse_int=str, parse_float=str)[0]


# --- the version block's raw bytes --------------------------------------------------

def parse_version_node(data, offset):
    """One node of the version block: (key, value bytes, is_text, children, end)."""
    length, value_length, value_type = struct.unpack_from("<HHH", data, offset)
    end = offset + length
    at = offset + 6
    key_end = at
    while data[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    key = data[at:key_end].decode("utf-16-le")
    at = (key_end + 2 + 3) & ~3
    size = value_length * 2 if value_type == 1 else value_length
    value = data[at:at + size]
    at = (at + size + 3) & ~3
    children = []
    while at < end:
        child = parse_version_node(data, at)
        children.append(child)
        at = (child[4] + 3) & ~3
    return key, value, value_type == 1, children, end


def text_value(value):
    text = value.decode("utf-16-le")
    return text[:-1] if text.endswith("\0") else text


def check_version_bytes(check, raw, publisher):
    key, fixed, _, children, _ = parse_version_node(raw, 0)
    check("version block is VS_VERSION_INFO", key == "VS_VERSION_INFO", "key %r" % key)
    fields = struct.unpack_from("<13I", fixed) if len(fixed) >= 52 else None
    if check("fixed part present", fields is not None and fields[0] == 0xFEEF04BD,
             "%d bytes, signature %r" % (len(fixed), fields and hex(fields[0]))):
        (_, _, file_ms, file_ls, prod_ms, prod_ls, mask, flags, os_, type_, subtype,
         date_ms, date_ls) = fields
        got = ((file_ms >> 16, file_ms & 0xFFFF, file_ls >> 16, file_ls & 0xFFFF),
               (prod_ms >> 16, prod_ms & 0xFFFF, prod_ls >> 16, prod_ls & 0xFFFF),
               mask, flags, os_, type_, subtype, date_ms, date_ls)
        want = ((0, 1, 0, 4), (0, 1, 0, 4), 0x3F, 0, 4, 1, 0, 0, 0)
        check("fixed part: versions, flags, OS, type, subtype, no date", got == want,
              "got %r, want %r" % (got, want))

    by_key = {c[0]: c for c in children}
    check("one StringFileInfo and one VarFileInfo, nothing else",
          sorted(c[0] for c in children) == ["StringFileInfo", "VarFileInfo"],
          "children %r" % [c[0] for c in children])
    tables = by_key.get("StringFileInfo", (None, None, None, []))[3]
    if check("one string table, key 041103A4", [t[0] for t in tables] == ["041103A4"],
             "tables %r" % [t[0] for t in tables]):
        got = [(e[0], text_value(e[1])) for e in tables[0][3]]
        want = [(k, v) for k, _, v in string_table(publisher)]
        check("string table: every entry, in order, byte for byte", got == want,
              "\n    got  %r\n    want %r" % (got, want))
    translations = [c for c in by_key.get("VarFileInfo", (None, None, None, []))[3]]
    got = [(c[0], struct.unpack("<%dH" % (len(c[1]) // 2), c[1])) for c in translations]
    check("translation entry: (0x0411, 0x03A4) only", got == [("Translation", (0x0411, 0x03A4))],
          "got %r" % got)


# --- the icon ---------------------------------------------------------------------------

def check_icon(check, ico, icotool_listing):
    lines = icotool_listing.split()
    want = "--icon --index=1 --width=32 --height=32 --bit-depth=8 --palette-size=256".split()
    check("icotool: one image, 32x32, 8 bpp, 256 colours", lines == want,
          "icotool -l says %r" % icotool_listing.strip())

    # Read by hand, to see the AND mask, which no tool here reports.
    reserved, kind, count = struct.unpack_from("<HHH", ico, 0)
    if not check("icon directory: one icon image", (reserved, kind, count) == (0, 1, 1),
                 "reserved %d, type %d, count %d" % (reserved, kind, count)):
        return
    width, height, colours, _, planes, bpp, size, offset = struct.unpack_from("<BBBBHHII", ico, 6)
    check("directory entry: 32x32, 256 colours, 8 bpp",
          (width, height, colours, planes, bpp) == (32, 32, 0, 1, 8),
          "%dx%d colours %d planes %d bpp %d" % (width, height, colours, planes, bpp))
    image = ico[offset:offset + size]
    (header_size, bmp_width, bmp_height, bmp_planes, bmp_bpp, compression, _, _, _,
     used, _) = struct.unpack_from("<IiiHHIIiiII", image, 0)
    check("bitmap: 32 wide, 64 high (image and mask), 8 bpp, not compressed",
          (header_size, bmp_width, bmp_height, bmp_planes, bmp_bpp, compression)
          == (40, 32, 64, 1, 8, 0),
          "header %r" % ((header_size, bmp_width, bmp_height, bmp_planes, bmp_bpp, compression),))
    palette = used or 256
    check("palette of 256 colours", palette == 256, "%d colours" % palette)
    pixels_at = header_size + 4 * palette
    pixels = image[pixels_at:pixels_at + 32 * 32]
    mask = image[pixels_at + 32 * 32:]
    # A 32-pixel row of a 1-bit mask is 4 bytes, already a whole 32-bit word.
    check("AND mask: 32 rows of 4 bytes", len(mask) == 32 * 4 and len(image) == size,
          "mask %d bytes, image %d of %d bytes" % (len(mask), len(image), size))
    check("AND mask all zero (fully opaque)", mask and not any(mask),
          "%d of %d mask bytes set" % (sum(1 for b in mask if b), len(mask)))
    check("the image is a picture, not one flat colour", len(set(pixels)) > 1,
          "every pixel has colour %r" % set(pixels))


# --- the manifest ---------------------------------------------------------------------------

def namespace_declarations(manifest):
    """[(element as written, {attribute: value} of its xmlns declarations)], document order."""
    found = []
    parser = xml.parsers.expat.ParserCreate()  # no namespace processing: see the raw names

    def start(name, attrs):
        found.append((name, {k: v for k, v in attrs.items()
                             if k == "xmlns" or k.startswith("xmlns:")}))
    parser.StartElementHandler = start
    parser.Parse(manifest, True)
    return found


def check_manifest(check, manifest):
    try:
        root = ET.fromstring(manifest)
        declared = namespace_declarations(manifest)
    except (ET.ParseError, xml.parsers.expat.ExpatError) as e:
        check("manifest is well-formed XML", False, str(e))
        return
    check("root: assembly, asm.v1, manifestVersion 1.0",
          root.tag == "{%s}assembly" % ASM_V1 and root.get("manifestVersion") == "1.0",
          "root %s manifestVersion %r" % (root.tag, root.get("manifestVersion")))

    # Windows XP's loader chokes on an element that declares a namespace twice.
    twice = [(name, decl) for name, decl in declared
             if len(set(decl.values())) != len(decl)]
    check("no element declares a namespace twice", not twice, "%r" % twice)
    trust = [(name, decl) for name, decl in declared if name.split(":")[-1] == "trustInfo"]
    check("trustInfo: written without prefix, with exactly one xmlns, asm.v3",
          trust == [("trustInfo", {"xmlns": ASM_V3})], "%r" % trust)

    levels = root.findall("{v3}trustInfo/{v3}security/{v3}requestedPrivileges/"
                          "{v3}requestedExecutionLevel".replace("{v3}", "{%s}" % ASM_V3))
    got = [(e.get("level"), e.get("uiAccess")) for e in levels]
    check("requestedExecutionLevel asInvoker, uiAccess false, once", got == [("asInvoker", "false")],
          "%r" % got)

    ids = [e.get("Id", "").lower() for e in root.findall(
        "{c}compatibility/{c}application/{c}supportedOS".replace("{c}", "{%s}" % COMPAT_V1))]
    check("supportedOS: Vista, 7, 8, 8.1, 10/11, each once",
          sorted(ids) == sorted(SUPPORTED_OS),
          "missing %r, unknown or repeated %r"
          % ([SUPPORTED_OS[i] for i in SUPPORTED_OS if i not in ids],
             [i for i in ids if i not in SUPPORTED_OS or ids.count(i) > 1]))

    identity = root.findall("{%s}assemblyIdentity" % ASM_V1)
    got = [(e.get("type"), e.get("version"), e.get("processorArchitecture")) for e in identity]
    check("assemblyIdentity: win32, the file version, x86", got == [("win32", FILE_VERSION, "x86")],
          "%r" % got)
    depends = [e.tag for e in root.iter() if e.tag.endswith("}dependency")]
    check("no dependent assemblies (the system's own common controls)", not depends, "%r" % depends)


# --- the resource list ----------------------------------------------------------------------

def resource_list(exe):
    """[(type, name, language)] as wrestool -l lists them."""
    rows = []
    for line in run(["wrestool", "-l", exe]).splitlines():
        m = re.match(r"--type=(\S+) --name=(\S+) --language=(\S+)", line)
        if m:
            rows.append((m.group(1), m.group(2).strip("'"), m.group(3)))
    return rows


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--exe", required=True)
    ap.add_argument("--publisher-file", required=True)
    args = ap.parse_args()
    with open(args.publisher_file, encoding="utf-8", newline="") as f:
        publisher = f.read()
    check = Checks()

    # The resource list: the icon group by its name, one image, one version
    # block, one manifest with the id the loader looks for.
    listing = resource_list(args.exe)
    kinds = sorted((t, n) for t, n, _ in listing)
    check("resources: icon 1, group MAINICON, version 1, manifest 1",
          kinds == [("14", "MAINICON"), ("16", "1"), ("24", "1"), ("3", "1")],
          "wrestool lists %r" % listing)

    # The version block, as exiftool reads it.
    printed, numeric = exiftool(args.exe, False), exiftool(args.exe, True)
    for tag, number, words in FIXED_PART:
        got = (numeric.get(tag), printed.get(tag))
        check("exiftool %s" % tag, got == (number, words), "got %r, want %r" % (got, (number, words)))
    for _, tag, value in string_table(publisher):
        check("exiftool %s" % tag, printed.get(tag) == value,
              "got %r, want %r" % (printed.get(tag), value))
    check_version_bytes(check, run(["wrestool", "-x", "--raw", "-t16", "-n1", args.exe], True),
                        publisher)

    with tempfile.TemporaryDirectory() as tmp:
        ico_path = os.path.join(tmp, "icon.ico")
        run(["wrestool", "-x", "-t14", "-nMAINICON", "-o", ico_path, args.exe])
        with open(ico_path, "rb") as f:
            ico = f.read()
        check_icon(check, ico, run(["icotool", "-l", ico_path]))

    check_manifest(check, run(["wrestool", "-x", "--raw", "-t24", "-n1", args.exe], True))

    print("%d passed, %d failed" % (check.passed, check.failed))
    return 1 if check.failed else 0


if __name__ == "__main__":
    sys.exit(main())
