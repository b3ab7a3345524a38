#!/usr/bin/env python3
"""Draws the application icon: a red dot on a grey button face, 16 x 16 in 16 colours, as an .ico file."""
import struct
import sys

# The standard 16-colour palette (r, g, b).
PALETTE = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
           (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
           (255, 0, 255), (0, 255, 255), (255, 255, 255)]
BLACK, MAROON, SILVER, GREY, RED, WHITE = 0, 1, 7, 8, 9, 15


def pixel(x, y):
    # Button bevel: white top-left, grey and black bottom-right.
    if x == 15 or y == 15:
        return BLACK
    if x == 14 or y == 14:
        return GREY
    if x == 0 or y == 0:
        return WHITE
    # The dot, centred on (7, 7), with a darker rim and a highlight.
    dx, dy = x - 7, y - 7
    d2 = dx * dx + dy * dy
    if d2 <= 9:
        if dx == -1 and dy == -1:
            return WHITE
        return RED
    if d2 <= 17:
        return MAROON
    return SILVER


def build():
    w = h = 16
    xor_rows = []
    for y in range(h - 1, -1, -1):  # bottom-up
        row = bytearray()
        for x in range(0, w, 2):
            row.append((pixel(x, y) << 4) | pixel(x + 1, y))
        xor_rows.append(bytes(row))
    and_rows = [b"\x00\x00\x00\x00"] * h  # fully opaque
    header = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    image = header + palette + b"".join(xor_rows) + b"".join(and_rows)
    icondir = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", w, h, 16, 0, 1, 4, len(image), 6 + 16)
    return icondir + entry + image


if __name__ == "__main__":
    out = sys.argv[1] if len(sys.argv) > 1 else "resources/tapewing.ico"
    with open(out, "wb") as f:
        f.write(build())
