// TLCDLabel under Win32: geometry, rendered pixels, rejected values and custom font files.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "controls/lcd/LCD_Lab.h"
#include "framework/Dialogs.h"

namespace {

// Counts paints, so tests can tell whether a setter drew.
class TCountingLabel : public TLCDLabel {
public:
    using TLCDLabel::TLCDLabel;
    int Paints = 0;

protected:
    void Paint() override
    {
        ++Paints;
        TLCDLabel::Paint();
    }
};

// Message boxes are answered here instead of waiting for a person.
struct MessageBoxes {
    struct Box {
        std::string text, caption;
        UINT flags;
    };
    std::vector<Box> shown;
    MessageBoxes()
    {
        SetMessageBoxHook([this](const std::string& text, const std::string& caption, UINT flags) {
            shown.push_back({text, caption, flags});
            return IDOK;
        });
    }
    ~MessageBoxes() { SetMessageBoxHook(nullptr); }
};

void RecordingWindowSettings(TLCDLabel& l)
{
    l.SetCaption("00:00");
    l.SetDotMatrix(dos5x7);
    l.SetPixelSize(pix2x2);
    l.SetPixelSpacing(1);
    l.SetCharSpacing(2);
    l.SetLineSpacing(2);
    l.SetBorderSpace(5);
    l.SetTextLines(1);
    l.SetNoOfChars(5);
    l.SetPixelOff(0xAAAAAA);
}

// Paints the label into a fresh 24-bit bitmap filled with magenta, so untouched pixels show.
std::unique_ptr<TBitmap> Render(TLCDLabel& l)
{
    auto bmp = std::make_unique<TBitmap>();
    bmp->SetSize(1, 1);
    l.PaintTo(bmp->Canvas().Handle());  // lets a changed size settle first
    bmp->SetSize(l.Width(), l.Height());
    for (int y = 0; y < l.Height(); ++y)
        for (int x = 0; x < l.Width(); ++x) bmp->SetFastPixel(x, y, clFuchsia);
    l.PaintTo(bmp->Canvas().Handle());
    GdiFlush();
    return bmp;
}

TColor Sys(int index) { return static_cast<TColor>(GetSysColor(index)); }

// The dots of one cell as "01110 10001 ...", sampling each dot's top-left pixel against the lit colour.
std::string CellDots(TBitmap& bmp, int x, int y, int cols, int rows, int pitchX, int pitchY, TColor on)
{
    std::string out;
    for (int r = 0; r < rows; ++r) {
        if (r) out += ' ';
        for (int k = 0; k < cols; ++k) out += bmp.FastPixel(x + k * pitchX, y + r * pitchY) == on ? '1' : '0';
    }
    return out;
}

std::string GlyphDots(TDotMatrix set, int code, int cols, int rows)
{
    std::string out;
    for (int r = 1; r <= rows; ++r) {
        if (r > 1) out += ' ';
        for (int k = 1; k <= cols; ++k) out += MatrixDot(set, code, r, k) ? '1' : '0';
    }
    return out;
}

std::string TempPath(const std::string& name)
{
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    return std::string(dir) + "lcdtest_" + std::to_string(GetCurrentProcessId()) + "_" + name;
}

void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

std::vector<std::uint8_t> FontFile(std::int32_t cols, std::int32_t rows, std::int32_t first, std::int32_t last,
                                   const std::vector<std::uint8_t>& glyphs)
{
    std::vector<std::uint8_t> v;
    for (std::int32_t x : {cols, rows, first, last})
        for (int i = 0; i < 4; ++i) v.push_back(static_cast<std::uint8_t>(static_cast<std::uint32_t>(x) >> (8 * i)));
    v.insert(v.end(), glyphs.begin(), glyphs.end());
    return v;
}

}  // namespace

TEST(LCDLabelGeometry, SizesFollowCountsAndCountsFollowSizes)
{
    TLCDLabel fresh(nullptr);
    EXPECT_EQ(fresh.Width(), 166);
    EXPECT_EQ(fresh.Height(), 28);
    EXPECT_EQ(fresh.DotMatrix(), mat5x7);
    EXPECT_EQ(fresh.BorderStyle(), frLowered);
    EXPECT_EQ(fresh.PixelOff(), 0xAAAAAA);

    TLCDLabel l(nullptr);
    RecordingWindowSettings(l);
    EXPECT_EQ(l.Width(), 90);
    EXPECT_EQ(l.Height(), 32);

    l.SetWidth(120);
    Render(l);
    EXPECT_EQ(l.NoOfChars(), 7);
    EXPECT_EQ(l.Width(), 122);
    EXPECT_EQ(l.Height(), 32);

    l.SetBounds(l.Left(), l.Top(), 4, 3);  // smaller than one cell
    Render(l);
    EXPECT_EQ(l.NoOfChars(), 1);
    EXPECT_EQ(l.TextLines(), 1);
    EXPECT_EQ(l.Width(), 10 + 14 + 2);
    EXPECT_EQ(l.Height(), 32);

    // Fixed pixel sizes overwrite a custom width and height at the next layout.
    l.SetPixelSize(pixCustom);
    l.SetPixelWidth(3);
    l.SetPixelHeight(5);
    EXPECT_EQ(l.Width(), 10 + (5 * 3 + 4) + 2);
    EXPECT_EQ(l.Height(), 10 + (7 * 5 + 6) + 2);
    l.SetPixelSize(pix4x4);
    EXPECT_EQ(l.PixelWidth(), 4);
    EXPECT_EQ(l.PixelHeight(), 4);
}

TEST(LCDLabelGeometry, LayoutPropertiesByName)
{
    // As a window layout stores the recording window's label.
    auto ident = [](const char* s) { TLayoutValue v; v.kind = TLayoutValue::kIdent; v.Str = s; return v; };
    auto integer = [](long long i) { TLayoutValue v; v.kind = TLayoutValue::kInteger; v.Int = i; return v; };
    TLayoutValue caption;
    caption.kind = TLayoutValue::kString;
    caption.Str = "00:00";
    TLCDLabel l(nullptr);
    l.BeginLoading();
    EXPECT_TRUE(l.SetProperty("Left", integer(89)));
    EXPECT_TRUE(l.SetProperty("Width", integer(90)));
    EXPECT_TRUE(l.SetProperty("Height", integer(32)));
    EXPECT_TRUE(l.SetProperty("Caption", caption));
    EXPECT_TRUE(l.SetProperty("DotMatrix", ident("dos5x7")));
    EXPECT_TRUE(l.SetProperty("PixelSize", ident("pix2x2")));
    EXPECT_TRUE(l.SetProperty("PixelShape", ident("spRound")));
    EXPECT_TRUE(l.SetProperty("BorderStyle", ident("frSingle")));
    EXPECT_TRUE(l.SetProperty("BorderSpace", integer(5)));
    EXPECT_TRUE(l.SetProperty("NoOfChars", integer(5)));
    EXPECT_TRUE(l.SetProperty("PixelOff", integer(0xAAAAAA)));
    EXPECT_TRUE(l.SetProperty("PixelOn", ident("clTeal")));
    EXPECT_THROW(l.SetProperty("PixelSize", ident("pix17x17")), ELayoutError);
    l.Loaded();
    EXPECT_EQ(l.Caption(), "00:00");
    EXPECT_EQ(l.DotMatrix(), dos5x7);
    EXPECT_EQ(l.PixelShape(), spRound);
    EXPECT_EQ(l.BorderStyle(), frSingle);
    EXPECT_EQ(l.PixelOn(), clTeal);
    EXPECT_EQ(l.Left(), 89);
    EXPECT_EQ(l.Width(), 90);
    EXPECT_EQ(l.Height(), 32);
}

TEST(LCDLabelRendering, ClockEveryPixel)
{
    TLCDLabel l(nullptr);
    RecordingWindowSettings(l);
    l.SetCaption("88:88");
    Render(l);
    l.SetCaption("00:00");  // nothing of the previous picture may survive
    auto bmp = Render(l);
    const int w = 90, h = 32;
    const TColor shadow = Sys(COLOR_BTNSHADOW), highlight = Sys(COLOR_BTNHIGHLIGHT);
    const std::string text = "00:00";
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            TColor expected = clSilver;
            if (x == 0 || y == 0)
                expected = shadow;  // lowered: dark top and left edges ...
            else if (x == w - 1 || y == h - 1)
                expected = highlight;  // ... light bottom and right edges
            else {
                // Cells start at border space + 1 and are 14 + 2 apart; dots are 2 x 2, 3 apart.
                int cx = x - 6, cy = y - 6;
                int cell = cx >= 0 ? cx / 16 : -1, inCell = cx >= 0 ? cx % 16 : -1;
                if (cell >= 0 && cell < 5 && inCell < 14 && cy >= 0 && cy < 20 && inCell % 3 < 2 && cy % 3 < 2) {
                    int k = inCell / 3 + 1, r = cy / 3 + 1;
                    expected = MatrixDot(dos5x7, text[cell], r, k) ? clBlack : 0xAAAAAA;
                }
            }
            ASSERT_EQ(bmp->FastPixel(x, y), expected) << "pixel " << x << "," << y;
        }
}

TEST(LCDLabelRendering, CodesCellsAndCharacterSets)
{
    TLCDLabel l(nullptr);
    l.SetBorderStyle(frNone);
    l.SetCaption(std::string(1, char(200)));  // above mat5x7's range: shows "~"
    auto bmp = Render(l);
    EXPECT_EQ(CellDots(*bmp, 4, 4, 5, 7, 3, 3, clBlack), GlyphDots(mat5x7, '~', 5, 7));
    EXPECT_EQ(CellDots(*bmp, 4 + 16, 4, 5, 7, 3, 3, clBlack), GlyphDots(mat5x7, ' ', 5, 7));

    // 7 characters on 5 x 2: characters 6 and 7 open line 2, the rest of it is blank.
    l.SetNoOfChars(5);
    l.SetTextLines(2);
    l.SetCaption("ABCDEFG");
    bmp = Render(l);
    EXPECT_EQ(l.Height(), 6 + 2 + 2 * 20 + 2);
    EXPECT_EQ(CellDots(*bmp, 4 + 4 * 16, 4, 5, 7, 3, 3, clBlack), GlyphDots(mat5x7, 'E', 5, 7));
    EXPECT_EQ(CellDots(*bmp, 4, 4 + 22, 5, 7, 3, 3, clBlack), GlyphDots(mat5x7, 'F', 5, 7));
    EXPECT_EQ(CellDots(*bmp, 4 + 16, 4 + 22, 5, 7, 3, 3, clBlack), GlyphDots(mat5x7, 'G', 5, 7));
    EXPECT_EQ(CellDots(*bmp, 4 + 32, 4 + 22, 5, 7, 3, 3, clBlack), GlyphDots(mat5x7, ' ', 5, 7));

    // Hitachi2: 193 is a 5x7 glyph over three dark rows, 194 uses all ten.
    l.SetTextLines(1);
    l.SetDotMatrix(Hitachi2);
    l.SetCaption("\xC1\xC2");
    bmp = Render(l);
    EXPECT_EQ(l.Height(), 6 + 2 + 29);
    std::string c193 = CellDots(*bmp, 4, 4, 5, 10, 3, 3, clBlack);
    EXPECT_EQ(c193, GlyphDots(Hitachi, 193, 5, 7) + " 00000 00000 00000");
    EXPECT_EQ(CellDots(*bmp, 4 + 16, 4, 5, 10, 3, 3, clBlack), GlyphDots(Hitachi2, 194, 5, 10));
    EXPECT_NE(GlyphDots(Hitachi2, 194, 5, 10).substr(42), "00000 00000 00000");  // really reaches below row 7

    // Hitachi shows a yen sign where mat5x7 has a backslash.
    l.SetDotMatrix(Hitachi);
    l.SetCaption("\\");
    bmp = Render(l);
    EXPECT_EQ(CellDots(*bmp, 4, 4, 5, 7, 3, 3, clBlack), GlyphDots(Hitachi, 92, 5, 7));
    EXPECT_NE(GlyphDots(Hitachi, 92, 5, 7), GlyphDots(mat5x7, 92, 5, 7));
}

TEST(LCDLabelRendering, DisabledHiddenShapes)
{
    TLCDLabel l(nullptr);
    l.SetCaption("88888");
    l.SetBorderStyle(frSingle);
    l.SetBorderColor(clRed);
    l.SetEnabled(false);
    auto bmp = Render(l);
    for (int y = 0; y < l.Height(); ++y)
        for (int x = 0; x < l.Width(); ++x) {
            bool edge = x == 0 || y == 0 || x == l.Width() - 1 || y == l.Height() - 1;
            ASSERT_EQ(bmp->FastPixel(x, y), edge ? clRed : clSilver) << x << "," << y;
        }
    l.SetEnabled(true);
    l.SetVisible(false);
    bmp = Render(l);
    for (int y = 0; y < l.Height(); ++y)
        for (int x = 0; x < l.Width(); ++x) ASSERT_EQ(bmp->FastPixel(x, y), Sys(COLOR_BTNFACE)) << x << "," << y;
    l.SetVisible(true);

    // Shaped dots with equal on and off colours: every dot is the shaded circle.
    l.SetBorderStyle(frNone);
    l.SetPixelSize(pix8x8);
    l.SetPixelShape(spShaped);
    l.SetPixelOn(clRed);
    l.SetPixelOff(clRed);
    l.SetCaption(" ");
    bmp = Render(l);
    const int pitch = 9, x0 = 4, y0 = 4;
    for (int r = 0; r < 7; ++r)
        for (int k = 0; k < 5; ++k) {
            int left = x0 + k * pitch, top = y0 + r * pitch;
            EXPECT_EQ(bmp->FastPixel(left, top), 0x00007F) << r << "," << k;        // shade in the corner
            EXPECT_EQ(bmp->FastPixel(left + 4, top + 4), clRed) << r << "," << k;   // lit centre
            EXPECT_EQ(bmp->FastPixel(left + 8, top + 4), clSilver) << r << "," << k; // spacing
        }

    // pix1x1 draws single pixels whatever the shape; round dots stay inside their box.
    l.SetPixelOff(0xAAAAAA);
    l.SetPixelSize(pix1x1);
    l.SetCaption("8");
    bmp = Render(l);
    EXPECT_EQ(CellDots(*bmp, 4, 4, 5, 7, 2, 2, clRed), GlyphDots(mat5x7, '8', 5, 7));
    EXPECT_EQ(bmp->FastPixel(5, 5), clSilver);
    l.SetPixelShape(spRound);
    l.SetPixelSize(pix6x6);
    bmp = Render(l);
    EXPECT_EQ(bmp->FastPixel(4 + 7 + 3, 4 + 3), clRed);  // centre of the lit top-row dot 2 of "8"
    EXPECT_EQ(bmp->FastPixel(4 + 7, 4), clSilver);       // its corner stays background
}

TEST(LCDLabelProperties, RejectedValuesKeepTheOldValueAndDoNotPaint)
{
    MessageBoxes boxes;
    TCountingLabel l(nullptr);
    struct Case {
        std::function<void()> set;
        std::function<int()> get;
        const char* message;
    } cases[] = {
        {[&] { l.SetPixelSpacing(-1); }, [&] { return l.PixelSpacing(); }, "Pixel spacing can't be less than zero!"},
        {[&] { l.SetCharSpacing(-1); }, [&] { return l.CharSpacing(); }, "Character spacing can't be less than zero!"},
        {[&] { l.SetLineSpacing(-3); }, [&] { return l.LineSpacing(); }, "Line spacing can't be less than zero!"},
        {[&] { l.SetBorderSpace(-1); }, [&] { return l.BorderSpace(); }, "Border spacing can't be less than zero!"},
        {[&] { l.SetTextLines(0); }, [&] { return l.TextLines(); }, "Display needs at least on line!"},
        {[&] { l.SetNoOfChars(-5); }, [&] { return l.NoOfChars(); }, "Display needs at least one character!"},
        {[&] { l.SetPixelWidth(0); }, [&] { return l.PixelWidth(); }, "Display pixel width must be 1 or greater!"},
        {[&] { l.SetPixelHeight(0); }, [&] { return l.PixelHeight(); }, "Display pixel height must be 1 or greate!"},
    };
    l.SetPixelSize(pixCustom);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        int before = c.get(), paints = l.Paints, width = l.Width();
        boxes.shown.clear();
        c.set();
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.shown[0].text, c.message);
        EXPECT_EQ(boxes.shown[0].caption, "Error");
        EXPECT_EQ(boxes.shown[0].flags & (MB_ICONMASK | MB_TYPEMASK), UINT(MB_ICONERROR | MB_OK));
        EXPECT_EQ(c.get(), before);
        EXPECT_EQ(l.Paints, paints);
        EXPECT_EQ(l.Width(), width);
    }

    // Pixel width and height are nobody's business unless the size is custom: no message, no change.
    l.SetPixelSize(pix3x3);
    boxes.shown.clear();
    int paints = l.Paints;
    l.SetPixelWidth(0);
    l.SetPixelHeight(9);
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(l.PixelWidth(), 3);
    EXPECT_EQ(l.PixelHeight(), 3);
    EXPECT_EQ(l.Paints, paints);

    // Accepted values redraw at once; unchanged ones cost nothing, except DotMatrix, which always redraws.
    l.SetCaption("00:01");
    EXPECT_GT(l.Paints, paints);
    paints = l.Paints;
    for (int i = 0; i < 10; ++i) l.SetCaption("00:01");
    l.SetNoOfChars(l.NoOfChars());
    l.SetPixelOn(l.PixelOn());
    EXPECT_EQ(l.Paints, paints);
    l.SetDotMatrix(l.DotMatrix());
    EXPECT_GT(l.Paints, paints);
    EXPECT_TRUE(boxes.shown.empty());

    std::string longText(300, 'a');
    l.SetCaption(longText);
    EXPECT_EQ(l.Caption(), std::string(255, 'a'));
}

TEST(LCDLabelCustomFont, LoadingFallbacksAndBadFiles)
{
    MessageBoxes boxes;
    // 3 x 2 dots for "A" and "B"; 0 is lit in these files.
    const std::string good = TempPath("good.fnt");
    WriteFile(good, FontFile(3, 2, 65, 66, {0, 1, 0, 1, 0, 1, /* B */ 1, 1, 1, 0, 0, 0}));

    TLCDLabel l(nullptr);
    l.SetBorderStyle(frNone);
    l.SetCaption("AB");
    l.SetNoOfChars(3);
    l.Setfilename(good);
    EXPECT_EQ(l.DotMatrix(), CustomFont);
    // Cells of 3 x 2 dots of 2 px, 1 apart: 8 x 5.
    EXPECT_EQ(l.Width(), 6 + 2 * 2 + 3 * 8 + 2);
    EXPECT_EQ(l.Height(), 6 + 5 + 2);
    auto bmp = Render(l);
    EXPECT_EQ(CellDots(*bmp, 4, 4, 3, 2, 3, 3, clBlack), "101 010");
    EXPECT_EQ(CellDots(*bmp, 4 + 10, 4, 3, 2, 3, 3, clBlack), "000 111");
    EXPECT_EQ(CellDots(*bmp, 4 + 20, 4, 3, 2, 3, 3, clBlack), "101 010");  // past the text: clamped to "A"

    // Empty file name: the previous set stays.
    TLCDLabel e(nullptr);
    e.SetDotMatrix(dos5x7);
    e.SetDotMatrix(CustomFont);
    EXPECT_EQ(e.DotMatrix(), dos5x7);

    // The file is gone: from dos5x7 it stays dos5x7, from CustomFont it falls back to mat5x7.
    ASSERT_TRUE(DeleteFileA(good.c_str()));
    l.SetDotMatrix(CustomFont);
    EXPECT_EQ(l.DotMatrix(), mat5x7);
    e.Setfilename(good);
    EXPECT_EQ(e.DotMatrix(), dos5x7);

    // Bad headers are refused like an unreadable file.
    const std::string bad = TempPath("bad.fnt");
    const std::int32_t headers[][4] = {{0, 7, 32, 126}, {65, 7, 32, 126}, {5, 0, 32, 126}, {5, 65, 32, 126},
                                       {5, 7, -1, 126}, {5, 7, 32, 256},  {5, 7, 90, 80},  {-1, -1, 0, 0}};
    for (const auto& h : headers) {
        SCOPED_TRACE(testing::Message() << h[0] << " " << h[1] << " " << h[2] << " " << h[3]);
        WriteFile(bad, FontFile(h[0], h[1], h[2], h[3], std::vector<std::uint8_t>(4096, 0)));
        e.Setfilename(bad);
        EXPECT_EQ(e.DotMatrix(), dos5x7);
        EXPECT_EQ(e.Width(), 166);
        Render(e);
    }
    EXPECT_TRUE(boxes.shown.empty());

    // A file shorter than its header promises: the run-time's I/O error, the file closed, the set stays
    // CustomFont with the glyphs read so far and the rest unlit.
    WriteFile(bad, FontFile(3, 2, 65, 70, {0, 0, 0, 0, 0, 0, 0}));
    try {
        e.Setfilename(bad);
        ADD_FAILURE() << "no error";
    } catch (const EInOutError& err) {
        EXPECT_EQ(err.ErrorCode, 100);
        EXPECT_STREQ(err.what(), "Read beyond end of file");
    }
    EXPECT_EQ(e.DotMatrix(), CustomFont);
    e.SetCaption("AC");
    bmp = Render(e);
    EXPECT_EQ(CellDots(*bmp, 4, 4, 3, 2, 3, 3, clBlack), "111 111");
    EXPECT_EQ(CellDots(*bmp, 4 + 10, 4, 3, 2, 3, 3, clBlack), "000 000");
    EXPECT_TRUE(DeleteFileA(bad.c_str())) << "file left open";
}
