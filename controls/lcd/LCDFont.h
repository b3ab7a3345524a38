// The LCD label's custom character set: its glyph table and the reader of its file. No windows.h here.
//
// File layout (little-endian): columns, rows, first code, last code as signed 32-bit integers, then the
// glyphs of codes first..last, each rows x columns bytes from the top row, each row from the left;
// byte 0 is a lit dot and 1 an unlit one (the reverse of the built-in tables).
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "framework/Streams.h"

struct TCustomFontHeader {
    std::int32_t Columns = 0, Rows = 0, FirstCode = 0, LastCode = 0;
};

// The file is untrusted: dots per side must lie in 1..MaxCustomDots, codes in 0..255 and last >= first.
constexpr int MaxCustomDots = 64;
bool ValidCustomFontHeader(const TCustomFontHeader& h);

// 256 entries, one per code, each empty or owning a block of columns x rows bytes.
class TCustomGlyphs {
public:
    // Gives every code a block of columns x rows bytes of 1 (all dots unlit). False, with the table
    // left empty, when memory runs out or the shape is out of range.
    bool Allocate(int columns, int rows);
    void Free();
    bool Empty() const { return FColumns == 0; }
    int Columns() const { return FColumns; }
    int Rows() const { return FRows; }
    // The block of code (columns x rows bytes), or nullptr when the entry is empty or code is out of range.
    const std::uint8_t* Glyph(int code) const;
    std::uint8_t* Glyph(int code);

private:
    std::array<std::unique_ptr<std::uint8_t[]>, 256> FBlocks;
    int FColumns = 0, FRows = 0;
};

// Whether dot (row, column), counted from 1, of a custom glyph is lit. Only byte 0 is lit; 1 and any other
// value are unlit, and so is every dot of a missing glyph.
bool CustomDot(const TCustomGlyphs& glyphs, int code, int row, int column);

// Reads a custom font from stream into glyphs and header.
// - Returns false when the header is refused or the glyph blocks cannot be had; glyphs and header are then
//   untouched.
// - Raises EInOutError (code 100) when the stream ends inside the header (nothing changed) or before all the
//   glyphs the header promises (header and table are then in place, the glyphs not read stay unlit).
// - Returns true otherwise. Bytes after the last glyph are ignored.
bool ReadCustomFont(TStream& stream, TCustomGlyphs& glyphs, TCustomFontHeader& header);
