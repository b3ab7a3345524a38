#include "controls/lcd/LCDLayout.h"

#include <algorithm>
#include <climits>

namespace {

// Properties have no upper bounds, so sizes are worked out wide and pinned to int's range.
int Saturate(long long v) { return static_cast<int>(std::clamp<long long>(v, INT_MIN, INT_MAX)); }

long long Cell(int dots, int size, int spacing)
{
    return static_cast<long long>(dots) * size + static_cast<long long>(dots - 1) * spacing;
}

long long Extent(int count, long long cell, int spacing, int border)
{
    return 2LL * border + static_cast<long long>(count - 1) * spacing + count * cell + 2;
}

int Fit(int size, long long cell, int spacing, int border)
{
    long long n = (static_cast<long long>(size) - 2LL * border + spacing) / (cell + spacing);
    return n < 1 ? 1 : Saturate(n);
}

}  // namespace

int CellWidth(const TLCDGeometry& g) { return Saturate(Cell(g.Columns, g.PixelWidth, g.PixelSpacing)); }
int CellHeight(const TLCDGeometry& g) { return Saturate(Cell(g.Rows, g.PixelHeight, g.PixelSpacing)); }

TLCDSize SizeForCounts(const TLCDGeometry& g, int chars, int lines)
{
    return {Saturate(Extent(chars, CellWidth(g), g.CharSpacing, g.BorderSpace)),
            Saturate(Extent(lines, CellHeight(g), g.LineSpacing, g.BorderSpace))};
}

void CountsForSize(const TLCDGeometry& g, int width, int height, int& chars, int& lines)
{
    chars = Fit(width, CellWidth(g), g.CharSpacing, g.BorderSpace);
    lines = Fit(height, CellHeight(g), g.LineSpacing, g.BorderSpace);
}

TColor ShadeColour(TColor pixelOn)
{
    auto c = static_cast<std::uint32_t>(pixelOn);
    return static_cast<TColor>((c & 0xFF000000u) | ((c & 0x00FEFEFEu) >> 1));
}

int CellCode(const std::string& displayText, int index, int firstCode, int lastCode)
{
    // Cells past the end of the text (or past its first zero byte) show code 0.
    int code = 0;
    if (index >= 0 && static_cast<std::size_t>(index) < displayText.size()) code = static_cast<unsigned char>(displayText[index]);
    return std::clamp(code, firstCode, lastCode);
}

std::string DisplayText(const std::string& caption)
{
    std::string text = caption.substr(0, std::min<std::size_t>(caption.size(), MaxDisplayChars));
    std::size_t zero = text.find('\0');
    if (zero != std::string::npos) text.resize(zero);
    return text;
}
