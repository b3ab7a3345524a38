// Arithmetic of the LCD label: cell and control sizes, character counts from a size, the shade colour and
// the code a cell shows. No windows.h here, so it builds and is tested on any host.
#pragma once

#include <cstdint>
#include <string>

#include "framework/SysUtils.h"

// What the size of a character cell and of the whole display depends on.
struct TLCDGeometry {
    int Columns = 5, Rows = 7;           // dots per glyph
    int PixelWidth = 2, PixelHeight = 2;  // size of one dot
    int PixelSpacing = 1;                 // between dots, both directions
    int CharSpacing = 2, LineSpacing = 2;
    int BorderSpace = 3;
};

struct TLCDSize {
    int Width = 0, Height = 0;
};

int CellWidth(const TLCDGeometry& g);
int CellHeight(const TLCDGeometry& g);
// Control size for chars cells per line and lines lines: the spaces, the cells and a 1-pixel frame each side.
TLCDSize SizeForCounts(const TLCDGeometry& g, int chars, int lines);
// How many cells and lines fit a control of width x height (at least 1 each).
void CountsForSize(const TLCDGeometry& g, int width, int height, int& chars, int& lines);

// PixelOn at half brightness: each colour byte shifted right once, the top byte kept.
TColor ShadeColour(TColor pixelOn);

// The display text keeps at most this many characters of the caption.
constexpr int MaxDisplayChars = 255;
// The display text: the caption's first MaxDisplayChars characters, up to any zero byte.
std::string DisplayText(const std::string& caption);
// Code that the cell at index shows: the display text's byte there (0 past its end), clamped to first..last.
int CellCode(const std::string& displayText, int index, int firstCode, int lastCode);
