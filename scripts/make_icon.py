#!/usr/bin/env python3
"""Writes Quennick's window icon: one .ico holding four 32-bit images,
16, 32, 48 and 128 pixels square, each stored as a BMP (DIB) with alpha.

The picture is drawn with anti-aliased shapes: a rounded blue tile holding
a white list sheet with three rows and a small orange arrow (open a link).
Plain standard library only, so the script runs anywhere Python 3 does.

Usage: make_icon.py OUTPUT.ico
"""
import math
import struct
import sys

SIZES = (16, 32, 48, 128)
SUPERSAMPLE = 4


def rounded_rect_cover(x, y, x0, y0, x1, y1, r):
    """1.0 when (x, y) lies inside the rounded rectangle, else 0.0."""
    if x < x0 or x > x1 or y < y0 or y > y1:
        return 0.0
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return 1.0 if (x - cx) ** 2 + (y - cy) ** 2 <= r * r else 0.0


def in_triangle(x, y, a, b, c):
    def side(p, q):
        return (q[0] - p[0]) * (y - p[1]) - (q[1] - p[1]) * (x - p[0])
    d1, d2, d3 = side(a, b), side(b, c), side(c, a)
    neg = d1 < 0 or d2 < 0 or d3 < 0
    pos = d1 > 0 or d2 > 0 or d3 > 0
    return not (neg and pos)


def shade(u, v):
    """Colour (r, g, b, a) at unit-square point (u, v), top-left origin."""
    # Layers from back to front; later layers cover earlier ones.
    colour = (0, 0, 0, 0)
    if rounded_rect_cover(u, v, 0.03, 0.03, 0.97, 0.97, 0.18):
        t = v  # a gentle vertical gradient on the tile
        colour = (int(40 + 30 * (1 - t)), int(110 + 40 * (1 - t)), int(200 + 40 * (1 - t)), 255)
    if rounded_rect_cover(u, v, 0.18, 0.16, 0.82, 0.84, 0.06):
        colour = (250, 250, 250, 255)
    # Header band of the sheet and three rows with a number cell each.
    if 0.18 <= u <= 0.82 and 0.16 <= v <= 0.29 and rounded_rect_cover(u, v, 0.18, 0.16, 0.82, 0.84, 0.06):
        colour = (205, 215, 230, 255)
    for row in range(3):
        top = 0.37 + row * 0.15
        if top <= v <= top + 0.07:
            if 0.25 <= u <= 0.33:
                colour = (120, 130, 150, 255)
            elif 0.38 <= u <= 0.75 - (0.12 if row == 1 else 0.0):
                colour = (60, 110, 190, 255)
    # The orange arrow at the lower right: shaft and head.
    arrow = (245, 140, 30, 255)
    ax, ay = u - 0.70, v - 0.70
    # Rotate into the arrow's frame (pointing up and to the right).
    s = math.sqrt(0.5)
    along, across = (ax - ay) * s, (ax + ay) * s
    if -0.13 <= along <= 0.06 and abs(across) <= 0.045:
        colour = arrow
    if in_triangle(along, across, (0.17, 0.0), (0.04, -0.11), (0.04, 0.11)):
        colour = arrow
    return colour


def render(size):
    """Rows of (b, g, r, a) pixels, top row first, premultiplied nowhere."""
    rows = []
    n = SUPERSAMPLE
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(n):
                for sx in range(n):
                    r, g, b, a = shade((px + (sx + 0.5) / n) / size, (py + (sy + 0.5) / n) / size)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            alpha = acc[3] / (n * n)
            if acc[3] > 0:
                r, g, b = (round(c / acc[3]) for c in acc[:3])
            else:
                r = g = b = 0
            row.append((b, g, r, round(alpha)))
        rows.append(row)
    return rows


def dib(size):
    """A BITMAPINFOHEADER, the 32-bit XOR bitmap bottom-up, and the AND mask."""
    rows = render(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b''.join(bytes(c for px in row for c in px) for row in reversed(rows))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        line = bytearray(mask_stride)
        for x, px in enumerate(row):
            if px[3] == 0:  # transparent where alpha is 0
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
    return header + pixels + bytes(mask)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    images = [dib(size) for size in SIZES]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip(SIZES, images):
        # Width and height of 256 would be written as 0; the sizes here are below that.
        out += struct.pack('<BBBBHHII', size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    out += b''.join(images)
    with open(sys.argv[1], 'wb') as f:
        f.write(out)


if __name__ == '__main__':
    main()
