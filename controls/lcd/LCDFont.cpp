#include "controls/lcd/LCDFont.h"

#include <cstring>
#include <new>

namespace {

constexpr int ReadBeyondEnd = 100;

[[noreturn]] void RaiseReadBeyondEnd() { throw EInOutError(InOutErrorText(ReadBeyondEnd), ReadBeyondEnd); }

std::int32_t LittleEndian32(const std::uint8_t* p)
{
    return static_cast<std::int32_t>(std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
                                     std::uint32_t(p[3]) << 24);
}

}  // namespace

bool ValidCustomFontHeader(const TCustomFontHeader& h)
{
    return h.Columns >= 1 && h.Columns <= MaxCustomDots && h.Rows >= 1 && h.Rows <= MaxCustomDots &&
           h.FirstCode >= 0 && h.FirstCode <= 255 && h.LastCode >= h.FirstCode && h.LastCode <= 255;
}

bool TCustomGlyphs::Allocate(int columns, int rows)
{
    Free();
    if (columns < 1 || columns > MaxCustomDots || rows < 1 || rows > MaxCustomDots) return false;
    const std::size_t size = static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows);
    try {
        for (auto& block : FBlocks) {
            block.reset(new std::uint8_t[size]);
            std::memset(block.get(), 1, size);
        }
    } catch (const std::bad_alloc&) {
        Free();
        return false;
    }
    FColumns = columns;
    FRows = rows;
    return true;
}

void TCustomGlyphs::Free()
{
    for (auto& block : FBlocks) block.reset();
    FColumns = FRows = 0;
}

const std::uint8_t* TCustomGlyphs::Glyph(int code) const
{
    return code < 0 || code > 255 ? nullptr : FBlocks[static_cast<std::size_t>(code)].get();
}

std::uint8_t* TCustomGlyphs::Glyph(int code)
{
    return code < 0 || code > 255 ? nullptr : FBlocks[static_cast<std::size_t>(code)].get();
}

bool CustomDot(const TCustomGlyphs& glyphs, int code, int row, int column)
{
    const std::uint8_t* block = glyphs.Glyph(code);
    if (!block || row < 1 || row > glyphs.Rows() || column < 1 || column > glyphs.Columns()) return false;
    return block[(row - 1) * glyphs.Columns() + (column - 1)] == 0;
}

bool ReadCustomFont(TStream& stream, TCustomGlyphs& glyphs, TCustomFontHeader& header)
{
    std::uint8_t raw[16];
    if (stream.Read(raw, sizeof raw) != static_cast<long>(sizeof raw)) RaiseReadBeyondEnd();
    TCustomFontHeader h;
    h.Columns = LittleEndian32(raw);
    h.Rows = LittleEndian32(raw + 4);
    h.FirstCode = LittleEndian32(raw + 8);
    h.LastCode = LittleEndian32(raw + 12);
    if (!ValidCustomFontHeader(h)) return false;

    TCustomGlyphs fresh;
    if (!fresh.Allocate(h.Columns, h.Rows)) return false;
    glyphs = std::move(fresh);
    header = h;

    const long size = static_cast<long>(h.Columns) * h.Rows;
    for (int code = h.FirstCode; code <= h.LastCode; ++code)
        if (stream.Read(glyphs.Glyph(code), size) != size) RaiseReadBeyondEnd();
    return true;
}
