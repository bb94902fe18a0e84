#!/usr/bin/env python3
"""Draws the program's icons and bitmaps from text pictures.

Usage: pixelart.py SOURCE.art OUTPUT.(bmp|ico)

A source holds a palette and one or more images:

    colour . c0c0c0      # one character per colour, RGB in hex
    colour _ none        # transparent (icons only)
    image 16 15          # width and height, then that many rows of that many characters
    ................
    ...

A .bmp gets the images side by side (a toolbar strip) as an 8-bit palette bitmap,
so that the button greys can be mapped to the system colours at run time. An .ico
gets one entry per image (32-bit colour with a transparency mask).
"""
import struct
import sys


def parse(path):
    palette, images, current = {}, [], None
    for number, raw in enumerate(open(path, encoding="ascii"), 1):
        line = raw.rstrip("\n")
        words = line.split("#", 1)[0].split()
        if current is not None and len(current["rows"]) < current["height"]:
            row = line.rstrip()
            if len(row) != current["width"]:
                sys.exit(f"{path}:{number}: row of {len(row)} characters, expected {current['width']}")
            for ch in row:
                if ch not in palette:
                    sys.exit(f"{path}:{number}: character {ch!r} is not in the palette")
            current["rows"].append(row)
            continue
        if not words:
            continue
        if words[0] == "colour" and len(words) == 3 and len(words[1]) == 1:
            palette[words[1]] = None if words[2] == "none" else int(words[2], 16)
        elif words[0] == "image" and len(words) == 3:
            current = {"width": int(words[1]), "height": int(words[2]), "rows": []}
            images.append(current)
        else:
            sys.exit(f"{path}:{number}: cannot read {line!r}")
    if not images or len(images[-1]["rows"]) != images[-1]["height"]:
        sys.exit(f"{path}: an image is incomplete")
    return palette, images


def write_bmp(palette, images, out):
    height = images[0]["height"]
    if any(i["height"] != height for i in images):
        sys.exit("bitmap images must share one height")
    if any(v is None for v in palette.values()):
        sys.exit("a bitmap has no transparency: use a mask colour instead")
    width = sum(i["width"] for i in images)
    colours = list(palette)
    index = {ch: n for n, ch in enumerate(colours)}
    stride = (width + 3) & ~3
    rows = []
    for y in range(height):
        row = bytearray()
        for image in images:
            row += bytes(index[ch] for ch in image["rows"][y])
        rows.append(bytes(row) + b"\0" * (stride - width))
    table = b"".join(struct.pack("<BBBB", v & 0xFF, (v >> 8) & 0xFF, v >> 16, 0)
                     for v in (palette[ch] for ch in colours))
    pixels = b"".join(reversed(rows))
    offset = 14 + 40 + len(table)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 0, len(pixels), 2835, 2835,
                       len(colours), 0)
    out.write(header + info + table + pixels)


def icon_entry(palette, image):
    w, h = image["width"], image["height"]
    colour = bytearray()
    for row in reversed(image["rows"]):
        for ch in row:
            v = palette[ch]
            colour += b"\0\0\0\0" if v is None else struct.pack("<BBBB", v & 0xFF, (v >> 8) & 0xFF,
                                                                 v >> 16, 255)
    mask_stride = ((w + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(image["rows"]):
        bits = bytearray(mask_stride)
        for x, ch in enumerate(row):
            if palette[ch] is None:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    info = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, len(colour) + len(mask), 0, 0, 0, 0)
    return info + bytes(colour) + bytes(mask)


def write_ico(palette, images, out):
    entries = [icon_entry(palette, i) for i in images]
    out.write(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for image, data in zip(images, entries):
        out.write(struct.pack("<BBBBHHII", image["width"] % 256, image["height"] % 256, 0, 0, 1, 32,
                              len(data), offset))
        offset += len(data)
    for data in entries:
        out.write(data)


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    source, target = sys.argv[1:]
    palette, images = parse(source)
    with open(target, "wb") as out:
        if target.endswith(".bmp"):
            write_bmp(palette, images, out)
        elif target.endswith(".ico"):
            write_ico(palette, images, out)
        else:
            sys.exit("the output must be a .bmp or an .ico")


main()
