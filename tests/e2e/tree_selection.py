#!/usr/bin/env python3
"""Finds the selected row of the options window's folder tree in a screenshot of the window's X window
(binary PPM on stdin). The tree paints the selected caption on the highlight colour while it has the focus
and on the button-face colour otherwise; both are given as "R G B" arguments, as the prefix's registry
holds them. Prints "<top> <bottom> <left> <right>" of the first band of rows painted so, in client coordinates.
The tree fills the client area's left 181 pixels; its bottom 20 rows may hold a scroll bar."""
import sys

from recwin_read import read_ppm

TREE_LEFT, TREE_RIGHT, TREE_HEIGHT = 4, 160, 275
MIN_PIXELS, MIN_ROWS = 12, 8


def main():
    colours = {tuple(int(v) for v in arg.split()) for arg in sys.argv[1:]}
    width, height, pixel = read_ppm(sys.stdin.buffer.read())
    band, xs = [], []
    for y in range(2, min(TREE_HEIGHT, height)):
        row = [x for x in range(TREE_LEFT, min(TREE_RIGHT, width)) if pixel(x, y) in colours]
        if len(row) >= MIN_PIXELS:
            band.append(y)
            xs += row
        elif len(band) >= MIN_ROWS:
            break
        else:
            band, xs = [], []
    if len(band) < MIN_ROWS:
        sys.exit("no selected row found")
    print(band[0], band[-1], min(xs), max(xs))


if __name__ == "__main__":
    main()
