#!/usr/bin/env python3
"""Draws Dornavel's application icon and writes it as a multi-size .ico file.

The picture: on a dark rounded tile, four coloured bytes A B C D, an arrow, and the same
four bytes in reverse order. The icon is committed as resources/dornavel.ico; run this
again only to change the picture:

    scripts/make-icon.py resources/dornavel.ico

Only the Python standard library is used. Sizes up to 64 px are stored as 32-bit bitmaps,
256 px as PNG, the way Windows expects them.
"""
import struct
import sys
import zlib

SIZES = [16, 20, 24, 32, 40, 48, 64, 256]
SAMPLES = 4  # samples per pixel along each axis, for smooth edges

TILE = (0x26, 0x32, 0x38)
BYTE_COLOURS = [(0xE5, 0x39, 0x35), (0xFF, 0xB3, 0x00), (0x43, 0xA0, 0x47), (0x1E, 0x88, 0xE5)]
ARROW = (0xF5, 0xF5, 0xF5)


def rounded_rect(x0, y0, x1, y1, radius):
    """A test for points inside a rectangle with rounded corners (unit coordinates)."""
    def inside(x, y):
        if x < x0 or x > x1 or y < y0 or y > y1:
            return False
        cx = min(max(x, x0 + radius), x1 - radius)
        cy = min(max(y, y0 + radius), y1 - radius)
        return (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius
    return inside


def down_triangle(x0, x1, y0, y1):
    """A test for points inside a triangle pointing down, its top edge from x0 to x1."""
    middle = (x0 + x1) / 2
    half = (x1 - x0) / 2

    def inside(x, y):
        if y < y0 or y > y1:
            return False
        reach = half * (y1 - y) / (y1 - y0)
        return abs(x - middle) <= reach
    return inside


def shapes():
    """The shapes of the picture, bottom first, each with its colour."""
    drawn = [(rounded_rect(0.03, 0.03, 0.97, 0.97, 0.18), TILE)]
    block, gap, left = 0.16, 0.04, 0.12
    for row_top, colours in ((0.14, BYTE_COLOURS), (0.66, BYTE_COLOURS[::-1])):
        for index, colour in enumerate(colours):
            x0 = left + index * (block + gap)
            drawn.append((rounded_rect(x0, row_top, x0 + block, row_top + 0.20, 0.03), colour))
    drawn.append((down_triangle(0.36, 0.64, 0.40, 0.60), ARROW))
    return drawn


def render(size):
    """The picture at size x size pixels, as rows of (r, g, b, a) from the top."""
    drawn = shapes()
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            red = green = blue = covered = 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = (px + (sx + 0.5) / SAMPLES) / size
                    y = (py + (sy + 0.5) / SAMPLES) / size
                    for inside, colour in reversed(drawn):
                        if inside(x, y):
                            red += colour[0]
                            green += colour[1]
                            blue += colour[2]
                            covered += 1
                            break
            if covered:
                row.append((round(red / covered), round(green / covered), round(blue / covered),
                            round(255 * covered / SAMPLES ** 2)))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


def png(rows):
    """The picture as a PNG file (8-bit RGBA)."""
    size = len(rows)
    raw = b"".join(b"\0" + bytes(v for pixel in row for v in pixel) for row in rows)

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def dib(rows):
    """The picture as an icon bitmap: 32-bit BGRA from the bottom row up, then the mask."""
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
    stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(stride)
        for x, pixel in enumerate(row):
            if pixel[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + colour + bytes(mask)


def ico(images):
    """An .ico file holding the images, given as (size, data) pairs."""
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    body = b""
    for size, data in images:
        side = 0 if size >= 256 else size
        directory += struct.pack("<BBBBHHII", side, side, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
        body += data
    return directory + body


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make-icon.py OUTPUT.ico")
    images = []
    for size in SIZES:
        rows = render(size)
        images.append((size, png(rows) if size >= 256 else dib(rows)))
    with open(sys.argv[1], "wb") as out:
        out.write(ico(images))


if __name__ == "__main__":
    main()
