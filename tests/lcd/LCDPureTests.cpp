// Glyph tables, lookup, layout arithmetic and the custom font reader: no windows needed.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "controls/lcd/LCDFont.h"
#include "controls/lcd/LCDLayout.h"
#include "controls/lcd/Matrix.h"

namespace {

std::vector<std::uint8_t> Glyph(const std::uint8_t* table, int first, int cols, int rows, int code)
{
    const std::uint8_t* g = table + (code - first) * cols * rows;
    return std::vector<std::uint8_t>(g, g + cols * rows);
}

// Rows of a glyph as "01110" strings, for readable failures.
std::string Rows(TDotMatrix set, int code, int cols, int rows)
{
    std::string out;
    for (int r = 1; r <= rows; ++r) {
        if (r > 1) out += ' ';
        for (int k = 1; k <= cols; ++k) out += MatrixDot(set, code, r, k) ? '1' : '0';
    }
    return out;
}

bool RowUsed(const std::uint8_t* table, int first, int cols, int rows, int code, int row)
{
    for (int k = 0; k < cols; ++k)
        if (table[(code - first) * cols * rows + (row - 1) * cols + k]) return true;
    return false;
}

}  // namespace

TEST(MatrixTables, ClockGlyphsHaveTheRequiredShapesInAllThreeFiveBySevenSets)
{
    const std::map<int, std::string> clock = {
        {'0', "01110 10001 10011 10101 11001 10001 01110"}, {'1', "00100 01100 00100 00100 00100 00100 01110"},
        {'2', "01110 10001 00001 00010 00100 01000 11111"}, {'3', "11111 00010 00100 00010 00001 10001 01110"},
        {'4', "00010 00110 01010 10010 11111 00010 00010"}, {'5', "11111 10000 11110 00001 00001 10001 01110"},
        {'6', "00110 01000 10000 11110 10001 10001 01110"}, {'7', "11111 00001 00010 00100 01000 01000 01000"},
        {'8', "01110 10001 10001 01110 10001 10001 01110"}, {'9', "01110 10001 10001 01111 00001 00010 01100"},
        {':', "00000 01100 01100 00000 01100 01100 00000"}, {' ', "00000 00000 00000 00000 00000 00000 00000"},
    };
    for (TDotMatrix set : {dos5x7, mat5x7, Hitachi})
        for (const auto& [code, rows] : clock) EXPECT_EQ(Rows(set, code, 5, 7), rows) << "set " << set << " code " << code;
    // One known glyph of each of the other tables, so every generated table is read in its own shape.
    EXPECT_EQ(Rows(mat5x8, 'L', 5, 8), "10000 10000 10000 10000 10000 10000 11111 00000");
    EXPECT_EQ(Rows(mat7x9, 'T', 7, 9), "1111111 0001000 0001000 0001000 0001000 0001000 0001000 0000000 0000000");
    EXPECT_EQ(Rows(mat9x12, 'L', 9, 12), "000000000 001000000 001000000 001000000 001000000 001000000 001000000 "
                                         "001000000 001000000 001111110 000000000 000000000");
    EXPECT_EQ(Rows(Hitachi2, 194, 5, 10), "00000 00000 01110 10001 11110 10001 11110 10000 10000 10000");  // beta
}

TEST(MatrixTables, RepertoireRelationsBetweenTables)
{
    for (std::uint8_t b : Pc5x7Table) ASSERT_LE(b, 1);
    // PC and ASCII 5x7 agree on printable ASCII; code 0 and 255 of the PC set are blank.
    for (int c = 32; c <= 126; ++c)
        EXPECT_EQ(Glyph(Pc5x7Table, 0, 5, 7, c), Glyph(Ascii5x7Table, 32, 5, 7, c)) << c;
    EXPECT_EQ(Glyph(Pc5x7Table, 0, 5, 7, 0), std::vector<std::uint8_t>(35, 0));
    EXPECT_EQ(Glyph(Pc5x7Table, 0, 5, 7, 255), std::vector<std::uint8_t>(35, 0));

    // Module 5x7 is ASCII apart from yen, right and left arrow.
    for (int c = 32; c <= 126; ++c) {
        bool same = Glyph(Module5x7Table, 32, 5, 7, c) == Glyph(Ascii5x7Table, 32, 5, 7, c);
        EXPECT_EQ(same, c != 92 && c != 126) << c;
    }
    EXPECT_EQ(Glyph(Module5x7Table, 32, 5, 7, 128), std::vector<std::uint8_t>(35, 0));
    EXPECT_EQ(Glyph(Module5x7Table, 32, 5, 7, 222), std::vector<std::uint8_t>(35, 0));
    EXPECT_EQ(Glyph(Module5x7Table, 32, 5, 7, 223), std::vector<std::uint8_t>(35, 1));

    // Only , \ _ g j q y | reach row 8 of the 5x8 set; the rest are the 5x7 glyphs over an empty row.
    const std::string eighth = ",\\_gjqy|", changed = ",\\_gjqy";
    for (int c = 32; c <= 126; ++c) {
        EXPECT_EQ(RowUsed(Ascii5x8Table, 32, 5, 8, c, 8), eighth.find(char(c)) != std::string::npos) << char(c);
        std::vector<std::uint8_t> top7 = Glyph(Ascii5x8Table, 32, 5, 8, c);
        top7.resize(35);
        if (changed.find(char(c)) == std::string::npos) {
            EXPECT_EQ(top7, Glyph(Ascii5x7Table, 32, 5, 7, c)) << char(c);
        }
    }
    const std::string twelfth = "(),?JQ[\\]_gjpqy|";
    for (int c = 32; c <= 126; ++c)
        EXPECT_EQ(RowUsed(Ascii9x12Table, 32, 9, 12, c, 12), twelfth.find(char(c)) != std::string::npos) << char(c);
}

TEST(MatrixLookup, RangesAndHitachi2)
{
    EXPECT_EQ(MatrixInfo(mat5x7).LastCode, 126);
    EXPECT_EQ(MatrixInfo(mat9x12).Columns, 9);
    EXPECT_EQ(MatrixInfo(Hitachi).LastCode, 223);
    EXPECT_EQ(MatrixInfo(dos5x7).FirstCode, 0);
    TMatrixInfo h2 = MatrixInfo(Hitachi2);
    EXPECT_EQ(h2.Columns, 5);
    EXPECT_EQ(h2.Rows, 10);
    EXPECT_EQ(h2.FirstCode, 32);
    EXPECT_EQ(h2.LastCode, 223);
    TMatrixInfo custom = MatrixInfo(CustomFont);  // no shape of its own
    EXPECT_EQ(custom.Columns + custom.Rows + custom.FirstCode + custom.LastCode, 0);

    // 193: the module 5x7 glyph over three dark rows.
    for (int r = 1; r <= 10; ++r)
        for (int k = 1; k <= 5; ++k) {
            bool expected = r <= 7 && Module5x7Table[(193 - 32) * 35 + (r - 1) * 5 + (k - 1)] == 1;
            EXPECT_EQ(MatrixDot(Hitachi2, 193, r, k), expected) << r << "," << k;
        }
    // 194 onwards: all ten rows from the 5x10 table (223 is the fully lit block).
    for (int r = 1; r <= 10; ++r)
        for (int k = 1; k <= 5; ++k) {
            EXPECT_EQ(MatrixDot(Hitachi2, 194, r, k), Module5x10Table[(r - 1) * 5 + (k - 1)] == 1);
            EXPECT_TRUE(MatrixDot(Hitachi2, 223, r, k));
        }
    EXPECT_TRUE(RowUsed(Module5x10Table, 194, 5, 10, 194, 9));  // beta's descender

    // Backslash and tilde differ between the ASCII and the module set.
    EXPECT_NE(Rows(Hitachi, 92, 5, 7), Rows(mat5x7, 92, 5, 7));
    EXPECT_NE(Rows(Hitachi, 126, 5, 7), Rows(mat5x7, 126, 5, 7));
    // Out-of-range arguments read as dark rather than outside the tables.
    EXPECT_FALSE(MatrixDot(mat5x7, 31, 1, 1));
    EXPECT_FALSE(MatrixDot(mat5x7, 127, 1, 1));
    EXPECT_FALSE(MatrixDot(dos5x7, 219, 8, 1));
    EXPECT_FALSE(MatrixDot(dos5x7, '8', 1, 6));  // not the first dot of the next row
    EXPECT_FALSE(MatrixDot(dos5x7, '8', 3, 0));  // nor the last of the row above
    EXPECT_FALSE(MatrixDot(CustomFont, 65, 1, 1));
}

TEST(LCDLayout, SizesAndCounts)
{
    TLCDGeometry g;  // a new label: mat5x7, pix2x2, spacing 1, char/line spacing 2, border 3
    EXPECT_EQ(CellWidth(g), 14);
    EXPECT_EQ(CellHeight(g), 20);
    TLCDSize s = SizeForCounts(g, 10, 1);
    EXPECT_EQ(s.Width, 166);
    EXPECT_EQ(s.Height, 28);

    g.BorderSpace = 5;  // the recording window
    s = SizeForCounts(g, 5, 1);
    EXPECT_EQ(s.Width, 90);
    EXPECT_EQ(s.Height, 32);
    int chars = 0, lines = 0;
    CountsForSize(g, 90, 32, chars, lines);
    EXPECT_EQ(chars, 5);
    EXPECT_EQ(lines, 1);
    CountsForSize(g, 120, 32, chars, lines);
    EXPECT_EQ(chars, 7);
    EXPECT_EQ(SizeForCounts(g, chars, lines).Width, 122);
    CountsForSize(g, 3, -40, chars, lines);  // smaller than a cell, even negative: one cell
    EXPECT_EQ(chars, 1);
    EXPECT_EQ(lines, 1);

    TLCDGeometry big;
    big.PixelWidth = 2000000000;
    big.PixelSpacing = 2000000000;
    big.CharSpacing = 2000000000;
    EXPECT_EQ(CellWidth(big), INT32_MAX);  // pinned, not wrapped
    EXPECT_EQ(SizeForCounts(big, 2000000000, 1).Width, INT32_MAX);
    CountsForSize(big, INT32_MAX, INT32_MAX, chars, lines);
    EXPECT_EQ(chars, 1);
}

TEST(LCDLayout, ShadeColourAndCellCodes)
{
    EXPECT_EQ(ShadeColour(0x000000), 0x000000);
    EXPECT_EQ(ShadeColour(0xFFFFFF), 0x7F7F7F);
    EXPECT_EQ(ShadeColour(0x0180FF), 0x00407F);
    EXPECT_EQ(ShadeColour(static_cast<TColor>(0xFF000010u)), static_cast<TColor>(0xFF000008u));

    std::string text = DisplayText("00:00");
    EXPECT_EQ(CellCode(text, 0, 0, 255), '0');
    EXPECT_EQ(CellCode(text, 2, 0, 255), ':');
    EXPECT_EQ(CellCode(text, 5, 0, 255), 0);     // past the end: code 0 ...
    EXPECT_EQ(CellCode(text, 5, 32, 126), 32);   // ... clamped to the first code
    EXPECT_EQ(CellCode(DisplayText(std::string(1, char(200))), 0, 32, 126), 126);  // above: the last code
    EXPECT_EQ(CellCode(DisplayText(std::string(1, char(200))), 0, 0, 255), 200);
    EXPECT_EQ(CellCode(DisplayText(std::string("ab\0cd", 5)), 3, 0, 255), 0);  // nothing after a zero byte

    std::string longCaption(300, 'x');
    longCaption[254] = 'y';
    longCaption[255] = 'z';
    EXPECT_EQ(DisplayText(longCaption).size(), 255u);
    EXPECT_EQ(CellCode(DisplayText(longCaption), 254, 0, 255), 'y');
    EXPECT_EQ(CellCode(DisplayText(longCaption), 255, 0, 255), 0);
}

namespace {

void Put32(std::vector<std::uint8_t>& v, std::int32_t x)
{
    for (int i = 0; i < 4; ++i) v.push_back(static_cast<std::uint8_t>(static_cast<std::uint32_t>(x) >> (8 * i)));
}

std::vector<std::uint8_t> FontBytes(std::int32_t cols, std::int32_t rows, std::int32_t first, std::int32_t last,
                                    std::size_t glyphBytes, std::uint8_t fill = 1)
{
    std::vector<std::uint8_t> v;
    Put32(v, cols);
    Put32(v, rows);
    Put32(v, first);
    Put32(v, last);
    v.insert(v.end(), glyphBytes, fill);
    return v;
}

struct Loaded {
    bool ok = false;
    bool ioError = false;
    int errorCode = 0;
};

Loaded Read(const std::vector<std::uint8_t>& bytes, TCustomGlyphs& glyphs, TCustomFontHeader& header)
{
    TMemoryStream s;
    s.LoadFromBytes(bytes.data(), bytes.size());
    Loaded r;
    try {
        r.ok = ReadCustomFont(s, glyphs, header);
    } catch (const EInOutError& e) {
        r.ioError = true;
        r.errorCode = e.ErrorCode;
    }
    return r;
}

}  // namespace

TEST(CustomFont, ReadsGlyphsWithZeroMeaningLit)
{
    // 3 x 2 dots, codes 65..66: 'A' has its outer columns lit, 'B' is all unlit except for a stray byte 7,
    // which must not light anything.
    std::vector<std::uint8_t> v = FontBytes(3, 2, 65, 66, 0);
    const std::uint8_t a[] = {0, 1, 0, 0, 1, 0}, b[] = {1, 7, 1, 1, 1, 1};
    v.insert(v.end(), a, a + 6);
    v.insert(v.end(), b, b + 6);
    v.push_back(0);  // trailing bytes are ignored
    TCustomGlyphs glyphs;
    TCustomFontHeader header;
    Loaded r = Read(v, glyphs, header);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(header.Columns, 3);
    EXPECT_EQ(header.Rows, 2);
    EXPECT_EQ(header.FirstCode, 65);
    EXPECT_EQ(header.LastCode, 66);
    EXPECT_TRUE(CustomDot(glyphs, 65, 1, 1));
    EXPECT_FALSE(CustomDot(glyphs, 65, 1, 2));
    EXPECT_TRUE(CustomDot(glyphs, 65, 2, 3));
    for (int k = 1; k <= 3; ++k) EXPECT_FALSE(CustomDot(glyphs, 66, 1, k));
    // Codes the file does not cover exist and are unlit.
    ASSERT_NE(glyphs.Glyph(0), nullptr);
    EXPECT_FALSE(CustomDot(glyphs, 0, 1, 1));
    // Outside the glyph nothing is lit, not even a neighbouring row's dot.
    for (auto [row, column] : {std::pair{3, 1}, {0, 1}, {2, 0}, {1, 4}}) EXPECT_FALSE(CustomDot(glyphs, 65, row, column));
}

TEST(CustomFont, RefusesBadHeadersAndLeavesTheTableAlone)
{
    TCustomGlyphs glyphs;
    TCustomFontHeader header;
    ASSERT_TRUE(Read(FontBytes(2, 2, 48, 48, 4, 0), glyphs, header).ok);
    const struct {
        std::int32_t cols, rows, first, last;
    } bad[] = {{0, 7, 32, 126},   {65, 7, 32, 126},  {5, 0, 32, 126},     {5, 65, 32, 126}, {-5, 7, 32, 126},
               {5, 7, -1, 126},   {5, 7, 32, 256},   {5, 7, 256, 256},    {5, 7, 100, 99},  {INT32_MIN, 7, 0, 0},
               {64, INT32_MAX, 0, 255}};
    for (const auto& h : bad) {
        SCOPED_TRACE(testing::Message() << h.cols << " " << h.rows << " " << h.first << " " << h.last);
        EXPECT_FALSE(ValidCustomFontHeader({h.cols, h.rows, h.first, h.last}));
        Loaded r = Read(FontBytes(h.cols, h.rows, h.first, h.last, 64 * 64), glyphs, header);
        EXPECT_FALSE(r.ok);
        EXPECT_FALSE(r.ioError);
        EXPECT_EQ(header.Columns, 2);
        EXPECT_EQ(header.FirstCode, 48);
        EXPECT_TRUE(CustomDot(glyphs, 48, 2, 2));
    }
    // The smallest and the largest shape the reader accepts.
    EXPECT_TRUE(Read(FontBytes(1, 1, 255, 255, 1, 0), glyphs, header).ok);
    EXPECT_TRUE(CustomDot(glyphs, 255, 1, 1));
    EXPECT_TRUE(Read(FontBytes(64, 64, 0, 255, 64 * 64 * 256), glyphs, header).ok);
    EXPECT_EQ(glyphs.Columns(), 64);

    // The table itself refuses shapes out of range and stays empty; a good shape gives every code unlit dots.
    for (auto [cols, rows] : {std::pair{0, 5}, {5, 0}, {65, 5}, {5, 65}}) {
        EXPECT_FALSE(glyphs.Allocate(cols, rows));
        EXPECT_TRUE(glyphs.Empty());
        EXPECT_EQ(glyphs.Glyph(0), nullptr);
    }
    ASSERT_TRUE(glyphs.Allocate(3, 2));
    for (int code : {0, 255}) EXPECT_EQ(std::vector<std::uint8_t>(glyphs.Glyph(code), glyphs.Glyph(code) + 6), std::vector<std::uint8_t>(6, 1));
    EXPECT_EQ(glyphs.Glyph(-1), nullptr);
    EXPECT_EQ(glyphs.Glyph(256), nullptr);
}

TEST(CustomFont, ShortFilesRaiseReadBeyondEndOfFile)
{
    TCustomGlyphs glyphs;
    TCustomFontHeader header;
    // Inside the header: nothing changes.
    for (std::size_t n : {0u, 1u, 15u}) {
        std::vector<std::uint8_t> v = FontBytes(5, 7, 32, 126, 0);
        v.resize(n);
        Loaded r = Read(v, glyphs, header);
        EXPECT_TRUE(r.ioError) << n;
        EXPECT_EQ(r.errorCode, 100);
        EXPECT_TRUE(glyphs.Empty());
        EXPECT_EQ(header.Columns, 0);
    }
    // Inside the glyphs: the header is in force, the glyphs read so far are there, the rest unlit.
    std::vector<std::uint8_t> v = FontBytes(2, 1, 65, 70, 3, 0);  // 'A' whole, one dot of 'B'
    Loaded r = Read(v, glyphs, header);
    EXPECT_TRUE(r.ioError);
    EXPECT_EQ(r.errorCode, 100);
    EXPECT_EQ(header.LastCode, 70);
    EXPECT_TRUE(CustomDot(glyphs, 65, 1, 2));
    EXPECT_FALSE(CustomDot(glyphs, 67, 1, 1));
    EXPECT_EQ(InOutErrorText(100), "Read beyond end of file");
}
