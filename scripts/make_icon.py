#!/usr/bin/env python3
"""Draws Ostrel's icon, an EEPROM chip with an arrow into it, into a
multi-size .ico file (32-bit colour with alpha, plus the AND mask that older
systems use). Plain Python 3, no third-party modules.

usage: make_icon.py OUTPUT.ico
"""
import struct
import sys

SIZES = (16, 24, 32, 48)
DESIGN = 48.0  # the shapes below are laid out on a 48 x 48 grid
SUBSAMPLES = 4  # per axis, for smooth edges

BODY = (0x2B, 0x3A, 0x55)
BODY_EDGE = (0x14, 0x1C, 0x2B)
PIN = (0xC8, 0xCE, 0xD6)
NOTCH = (0x5A, 0x6C, 0x8C)
ARROW = (0xF5, 0xA6, 0x23)


def in_rect(x, y, left, top, right, bottom):
    return left <= x < right and top <= y < bottom


def in_rounded_rect(x, y, left, top, right, bottom, radius):
    if not in_rect(x, y, left, top, right, bottom):
        return False
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def in_triangle(x, y, a, b, c):
    def side(p, q):
        return (q[0] - p[0]) * (y - p[1]) - (q[1] - p[1]) * (x - p[0])

    d1, d2, d3 = side(a, b), side(b, c), side(c, a)
    negative = d1 < 0 or d2 < 0 or d3 < 0
    positive = d1 > 0 or d2 > 0 or d3 > 0
    return not (negative and positive)


def colour_at(x, y):
    """The colour of the topmost shape at a design point, or None."""
    # Arrow pointing down into the chip: the write direction.
    if in_rect(x, y, 20.5, 15, 27.5, 25) or in_triangle(x, y, (13, 24), (35, 24), (24, 36)):
        return ARROW
    if (x - 24) ** 2 + (y - 8) ** 2 <= 16 and y >= 8:
        return NOTCH
    if in_rounded_rect(x, y, 10, 6, 38, 42, 3):
        inner = in_rounded_rect(x, y, 11.5, 7.5, 36.5, 40.5, 2)
        return BODY if inner else BODY_EDGE
    for top in (10, 18, 26, 34):
        if in_rect(x, y, 3, top, 10, top + 4) or in_rect(x, y, 38, top, 45, top + 4):
            return PIN
    return None


def render(size):
    """Rows of (r, g, b, a), top row first."""
    scale = DESIGN / size
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            total = [0, 0, 0]
            covered = 0
            for sy in range(SUBSAMPLES):
                for sx in range(SUBSAMPLES):
                    x = (px + (sx + 0.5) / SUBSAMPLES) * scale
                    y = (py + (sy + 0.5) / SUBSAMPLES) * scale
                    c = colour_at(x, y)
                    if c is not None:
                        covered += 1
                        for i in range(3):
                            total[i] += c[i]
            if covered:
                row.append(tuple(t // covered for t in total) +
                           (255 * covered // SUBSAMPLES ** 2,))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


def bmp_entry(size):
    """An icon image: BITMAPINFOHEADER, BGRA pixels and AND mask, bottom row first."""
    rows = render(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            pixels += bytes((b, g, r, a))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        line = bytearray(mask_stride)
        for px, (_, _, _, a) in enumerate(row):
            if a < 128:
                line[px // 8] |= 0x80 >> (px % 8)
        mask += line
    return header + pixels + mask


def ico(sizes):
    images = [bmp_entry(s) for s in sizes]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, image in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    for image in images:
        out += image
    return bytes(out)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    with open(sys.argv[1], "wb") as f:
        f.write(ico(SIZES))


if __name__ == "__main__":
    main()
