#!/usr/bin/env python3
"""Draws the About window's logo (resources/aboutlogo.bmp, 80 x 43, 24-bit) and the link hand cursor
(resources/handpoint.cur, 32 x 32 monochrome, hot spot top-left). Run from anywhere; writes both files."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
RESOURCES = os.path.join(HERE, "..", "resources")

# 5 x 8 letters, baseline after row 6; rows 7 and the ends of p and g hang below.
GLYPHS = {
    "T": ["#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#..", "....."],
    "a": [".....", ".....", ".###.", "....#", ".####", "#...#", ".####", "....."],
    "p": [".....", ".....", "####.", "#...#", "#...#", "####.", "#....", "#...."],
    "e": [".....", ".....", ".###.", "#...#", "#####", "#....", ".###.", "....."],
    "w": [".....", ".....", "#...#", "#...#", "#.#.#", "#.#.#", ".#.#.", "....."],
    "i": ["..#..", ".....", ".##..", "..#..", "..#..", "..#..", ".###.", "....."],
    "n": [".....", ".....", "####.", "#...#", "#...#", "#...#", "#...#", "....."],
    "g": [".....", ".....", ".####", "#...#", "#...#", ".####", "....#", ".###."],
}

WIDTH, HEIGHT = 80, 43
WHITE = (255, 255, 255)
RED = (222, 0, 0)
DARK_RED = (110, 0, 0)


def logo_pixels():
    img = [[WHITE] * WIDTH for _ in range(HEIGHT)]

    def put(x, y, colour):
        if 0 <= x < WIDTH and 0 <= y < HEIGHT:
            img[y][x] = colour

    def word(text, x0, y0, colour, dx=0, dy=0):
        """Letters doubled in size and made bold, slanted to the right above the baseline."""
        baseline = y0 + 14
        for n, ch in enumerate(text):
            for r, row in enumerate(GLYPHS[ch]):
                for c, dot in enumerate(row):
                    if dot != "#":
                        continue
                    for sy in range(2):
                        y = y0 + 2 * r + sy
                        slant = round((baseline - y) * 0.35)
                        for sx in range(3):  # two pixels wide plus one for weight
                            put(x0 + n * 12 + 2 * c + sx + slant + dx, y + dy, colour)

    def streaks(x_end, rows):
        """Motion lines that fade in from the left, as if the word had just flown in."""
        for y, x_start in rows:
            span = x_end - x_start
            for x in range(x_start, x_end):
                t = (x - x_start + 1) / span
                fade = lambda full: round(255 - (255 - full) * t)
                put(x, y, (fade(RED[0]), fade(RED[1]), fade(RED[2])))

    streaks(22, [(5, 8), (9, 2), (10, 2), (14, 6), (18, 12)])
    streaks(24, [(25, 10), (29, 3), (30, 3), (34, 7), (38, 14)])
    for text, x, y in (("Tape", 22, 3), ("wing", 25, 23)):
        word(text, x, y, DARK_RED, 1, 1)
        word(text, x, y, RED)
    return img


def write_bmp24(path, img):
    height, width = len(img), len(img[0])
    stride = (width * 3 + 3) & ~3
    pixels = bytearray()
    for row in reversed(img):  # bottom-up
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        pixels += line + b"\0" * (stride - len(line))
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(b"BM" + struct.pack("<IHHI", 14 + len(header) + len(pixels), 0, 0, 14 + len(header)))
        f.write(header + pixels)


# The hand: B = black outline, W = white fill, anything else transparent. The tip of the index finger
# sits at the top-left corner, where the hot spot is; the other fingers are folded to its right.
HAND = [
    ".BB",
    "BWWB",
    "BWWB",
    "BWWB",
    "BWWB",
    "BWWBBB",
    "BWWBWWBBB",
    "BWWBWWBWWBB",
    "BWWBWWBWWBWB",
    "BWWBWWBWWBWWB",
    "BWWWWWWWWWWWB",
    "BWWWWWWWWWWWB",
    "BWWWWWWWWWWWB",
    "BWWWWWWWWWWWB",
    "BWWWWWWWWWWB",
    ".BWWWWWWWWWB",
    ".BWWWWWWWWB",
    "..BWWWWWWWB",
    "..BWWWWWWWB",
    "..BBBBBBBBB",
]


def hand_rows():
    return [list(r.ljust(32, ".")) for r in HAND] + [["."] * 32 for _ in range(32 - len(HAND))]


def write_cursor(path, rows, hot_x=0, hot_y=0):
    xor_rows, and_rows = [], []
    for row in rows:
        xor_bits = and_bits = 0
        for x, ch in enumerate(row):
            bit = 1 << (31 - x)
            if ch == "W":
                xor_bits |= bit
            elif ch != "B":
                and_bits |= bit
        xor_rows.append(struct.pack(">I", xor_bits))
        and_rows.append(struct.pack(">I", and_bits))
    image = struct.pack("<IiiHHIIiiII", 40, 32, 64, 1, 1, 0, 0, 0, 0, 2, 0)
    image += bytes((0, 0, 0, 0, 255, 255, 255, 0))  # palette: black, white
    image += b"".join(reversed(xor_rows)) + b"".join(reversed(and_rows))
    with open(path, "wb") as f:
        f.write(struct.pack("<HHH", 0, 2, 1))
        f.write(struct.pack("<BBBBHHII", 32, 32, 2, 0, hot_x, hot_y, len(image), 22))
        f.write(image)


if __name__ == "__main__":
    write_bmp24(os.path.join(RESOURCES, "aboutlogo.bmp"), logo_pixels())
    write_cursor(os.path.join(RESOURCES, "handpoint.cur"), hand_rows())
