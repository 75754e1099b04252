#!/usr/bin/env python3
"""Turns the text picture in icon.txt into the program's .ico file.

    python3 make_icon.py icon.txt out.ico

The .ico holds one 32x32 image of 8 bits per pixel: a 256-colour palette (the
picture's colours in the order listed, the rest black), the pixels and an AND
mask of zeros, so the icon is fully opaque. The output depends only on the
text: same picture, same bytes.
"""

import os
import re
import struct
import sys

SIZE = 32
PALETTE_SIZE = 256
COLOUR_LINE = re.compile(r"^(\S)\s+([0-9A-Fa-f]{6})(\s.*)?$")


class PictureError(Exception):
    pass


def read_picture(text):
    """Returns (colours, rows): colours as [(char, (r, g, b))], rows as 32 strings."""
    colours, rows, in_picture = [], [], False
    for number, line in enumerate(text.splitlines(), 1):
        if in_picture:
            rows.append((number, line))
            continue
        if not line.strip() or line.startswith("#"):
            continue
        if line == "--":
            in_picture = True
            continue
        m = COLOUR_LINE.match(line)
        if not m:
            raise PictureError("line %d: want a colour (a character and RRGGBB) or '--'" % number)
        char, rgb = m.group(1), m.group(2)
        if any(char == c for c, _ in colours):
            raise PictureError("line %d: colour %r is given twice" % (number, char))
        colours.append((char, tuple(int(rgb[i:i + 2], 16) for i in (0, 2, 4))))
    if not in_picture:
        raise PictureError("no '--' line before the picture")
    if len(colours) > PALETTE_SIZE:
        raise PictureError("%d colours, at most %d fit" % (len(colours), PALETTE_SIZE))
    while rows and not rows[-1][1]:
        rows.pop()  # a trailing blank line is not a row of the picture
    if len(rows) != SIZE:
        raise PictureError("the picture has %d rows, want %d" % (len(rows), SIZE))
    known = {c for c, _ in colours}
    for number, row in rows:
        if len(row) != SIZE:
            raise PictureError("line %d: %d pixels, want %d" % (number, len(row), SIZE))
        for char in row:
            if char not in known:
                raise PictureError("line %d: %r is not a listed colour" % (number, char))
    return colours, [row for _, row in rows]


def ico_bytes(colours, rows):
    index = {c: i for i, (c, _) in enumerate(colours)}
    palette = b"".join(struct.pack("<4B", b, g, r, 0) for _, (r, g, b) in colours)
    palette += b"\0" * (4 * (PALETTE_SIZE - len(colours)))
    # Bitmap rows run bottom-up; 32 bytes (8 bpp) and 4 bytes (1 bpp) per row
    # are both whole 32-bit words, so no row needs padding.
    pixels = b"".join(bytes(index[c] for c in row) for row in reversed(rows))
    mask = b"\0" * (SIZE // 8 * SIZE)
    header = struct.pack("<IiiHHIIiiII",
                         40,            # size of this header
                         SIZE,          # width
                         2 * SIZE,      # height: the colour image and the mask, stacked
                         1,             # planes
                         8,             # bits per pixel
                         0,             # no compression
                         len(pixels) + len(mask),
                         0, 0,          # resolution: unspecified
                         0,             # colours used: 0 = all 256
                         0)             # all colours important
    image = header + palette + pixels + mask
    directory = struct.pack("<HHH", 0, 1, 1)  # reserved, type 1 = icon, one image
    entry = struct.pack("<BBBBHHII",
                        SIZE, SIZE,
                        0,              # palette size: 0 means 256
                        0,              # reserved
                        1,              # planes
                        8,              # bits per pixel
                        len(image),
                        len(directory) + 16)  # the image follows this one entry
    return directory + entry + image


def main(argv):
    if len(argv) != 3:
        print(__doc__.strip().splitlines()[2].strip(), file=sys.stderr)
        return 2
    source, output = argv[1], argv[2]
    try:
        with open(source, encoding="utf-8") as f:
            colours, rows = read_picture(f.read())
    except PictureError as e:
        print("%s: %s" % (source, e), file=sys.stderr)
        return 1
    data = ico_bytes(colours, rows)
    partial = output + ".partial"
    with open(partial, "wb") as f:
        f.write(data)
    os.replace(partial, output)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
