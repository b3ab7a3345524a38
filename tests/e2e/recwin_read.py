#!/usr/bin/env python3
"""Reads the recording window from a screenshot of its X window (binary PPM on stdin): the text of the LCD
(decoded dot by dot against the published 5 x 7 PC glyphs), the number of lit meter segments, and where
the window's client area starts. Prints one line: "<lcd text> <lit segments> <client x> <client y>".
Independent of the program: it knows only the window's published layout."""
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
GLYPHS = os.path.join(HERE, "..", "..", "controls", "lcd", "glyphs", "pc5x7.txt")

OFF = (170, 170, 170)          # PixelOff 0xAAAAAA
LIT_SEGMENT = (143, 167, 209)  # the body of a lit meter segment
LCD_LEFT, LCD_TOP = 89, 6      # client position of the LCD label
DOTS_LEFT, DOTS_TOP = LCD_LEFT + 6, LCD_TOP + 6  # frame (1) + border space (5)
PITCH, CELL_STEP, CHARS = 3, 16, 5              # 2-pixel dots, 1 apart; 14-pixel cells, 2 apart
METER = (109, 40, 51, 12)


def read_ppm(data):
    parts, pos = [], 0
    while len(parts) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos) + 1
            continue
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        parts.append(data[pos:end])
        pos = end
    pos += 1
    assert parts[0] == b"P6" and int(parts[3]) == 255, "8-bit binary PPM expected"
    width, height = int(parts[1]), int(parts[2])
    pixels = data[pos:pos + width * height * 3]
    return width, height, lambda x, y: tuple(pixels[(y * width + x) * 3:(y * width + x) * 3 + 3])


def load_glyphs():
    glyphs, code, rows = {}, None, []
    for line in open(GLYPHS):
        line = line.rstrip("\n")
        if line.startswith("code "):
            code, rows = int(line.split()[1]), []
        elif code is not None and line and line[0] in "#." and len(line) == 5 and set(line) <= set("#."):
            rows.append(line)
            if len(rows) == 7 and 32 <= code <= 126:
                glyphs.setdefault(tuple(rows), chr(code))
    return glyphs


def main():
    width, height, pixel = read_ppm(sys.stdin.buffer.read())
    # The unlit dots of "00:0x" span exactly the dot grid; search between the two buttons only, whose
    # shading may hold the same grey.
    xs, ys = [], []
    for y in range(height):
        for x in range(78, min(width, 189)):
            if pixel(x, y) == OFF:
                xs.append(x)
                ys.append(y)
    if not xs:
        print("? 0 0 0")
        return
    left, top = min(xs), min(ys)
    glyphs = load_glyphs()
    text = ""
    for i in range(CHARS):
        rows = []
        for r in range(7):
            row = ""
            for c in range(5):
                p = pixel(left + i * CELL_STEP + c * PITCH, top + r * PITCH)
                row += "." if p == OFF else "#"
            rows.append(row)
        text += glyphs.get(tuple(rows), "?")
    cx, cy = left - DOTS_LEFT, top - DOTS_TOP
    mx, my, mw, mh = METER
    lit = 0
    for s in range(10):
        if pixel(cx + mx + 2 + 5 * s, cy + my + 5) == LIT_SEGMENT:
            lit += 1
    print(text, lit, cx, cy)


if __name__ == "__main__":
    main()
