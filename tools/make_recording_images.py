#!/usr/bin/env python3
"""Draws the recording window's pictures: the eleven level-meter images (resources/recording/meter1.bmp ..
meter11.bmp, 51 x 12, 24-bit; image k lights the leftmost k - 1 of ten segments) and the window's background
(resources/recording/background.bmp, 270 x 56, 24-bit, a fine blue-grey grain). Run from anywhere."""
import os

from make_about_images import write_bmp24

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "resources", "recording")

METER_W, METER_H = 51, 12
SEGMENTS, SEGMENT_W = 10, 4
BLACK = (0, 0, 0)
# Top edge, body, bottom edge: a little relief so the segments read as lamps.
LIT = ((190, 205, 236), (143, 167, 209), (96, 118, 168))
UNLIT = ((24, 88, 132), (0, 65, 107), (0, 44, 78))


def meter_pixels(lit_count):
    img = [[BLACK] * METER_W for _ in range(METER_H)]
    for s in range(SEGMENTS):
        top, body, bottom = LIT if s < lit_count else UNLIT
        x0 = 1 + s * (SEGMENT_W + 1)
        for y in range(1, METER_H - 1):
            colour = top if y == 1 else bottom if y == METER_H - 2 else body
            for x in range(x0, x0 + SEGMENT_W):
                img[y][x] = colour
    return img


def background_pixels(width=270, height=56):
    seed = 12345
    img = []
    for _ in range(height):
        row = []
        for _ in range(width):
            seed = (seed * 1103515245 + 12345) & 0xFFFFFFFF
            n = (seed >> 16) % 24
            row.append((120 + n, 130 + n, 150 + n))
        img.append(row)
    return img


if __name__ == "__main__":
    os.makedirs(OUT, exist_ok=True)
    for k in range(1, 12):
        write_bmp24(os.path.join(OUT, "meter%d.bmp" % k), meter_pixels(k - 1))
    write_bmp24(os.path.join(OUT, "background.bmp"), background_pixels())
