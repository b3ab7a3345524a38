// TLCDLabel under Win32: geometry, rendered pixels, rejected values and custom font files.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "controls/lcd/LCD_Lab.h"
#include "framework/Forms.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestHarness.h"

namespace {

// An LCD label that counts its paints, so a test can tell whether a setter drew.
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

std::string GlyphDots(TDotMatrix set, int code, int cols, int rows, char lit = '1', char unlit = '0')
{
    std::string out;
    for (int r = 1; r <= rows; ++r) {
        if (r > 1) out += ' ';
        for (int k = 1; k <= cols; ++k) out += MatrixDot(set, code, r, k) ? lit : unlit;
    }
    return out;
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
    // Every property as a window layout stores it, the size first.
    auto ident = [](const char* s) { TLayoutValue v; v.kind = TLayoutValue::kIdent; v.Str = s; return v; };
    auto integer = [](long long i) { TLayoutValue v; v.kind = TLayoutValue::kInteger; v.Int = i; return v; };
    auto text = [](const char* s) { TLayoutValue v; v.kind = TLayoutValue::kString; v.Str = s; return v; };
    TLCDLabel l(nullptr);
    l.BeginLoading();
    const std::pair<const char*, TLayoutValue> stored[] = {
        {"Left", integer(89)},          {"Width", integer(90)},           {"Height", integer(32)},
        {"Caption", text("00:00")},     {"DotMatrix", ident("dos5x7")},   {"PixelSize", ident("pixCustom")},
        {"PixelWidth", integer(3)},     {"PixelHeight", integer(4)},      {"PixelSpacing", integer(2)},
        {"PixelShape", ident("spRound")}, {"CharSpacing", integer(3)},    {"LineSpacing", integer(4)},
        {"BorderSpace", integer(5)},    {"TextLines", integer(2)},        {"NoOfChars", integer(4)},
        {"BackGround", ident("clYellow")}, {"BorderStyle", ident("frSingle")}, {"BorderColor", ident("clRed")},
        {"PixelOn", ident("clTeal")},   {"PixelOff", integer(0xAAAAAA)},  {"filename", text("")},
    };
    for (const auto& [name, value] : stored) EXPECT_TRUE(l.SetProperty(name, value)) << name;
    EXPECT_THROW(l.SetProperty("PixelSize", ident("pix17x17")), ELayoutError);
    l.Loaded();
    EXPECT_EQ(l.Caption(), "00:00");
    EXPECT_EQ(l.DotMatrix(), dos5x7);  // an empty file name selects nothing
    EXPECT_EQ(l.PixelSize(), pixCustom);
    EXPECT_EQ(l.PixelWidth(), 3);
    EXPECT_EQ(l.PixelHeight(), 4);
    EXPECT_EQ(l.PixelSpacing(), 2);
    EXPECT_EQ(l.PixelShape(), spRound);
    EXPECT_EQ(l.CharSpacing(), 3);
    EXPECT_EQ(l.LineSpacing(), 4);
    EXPECT_EQ(l.BorderSpace(), 5);
    EXPECT_EQ(l.TextLines(), 2);
    EXPECT_EQ(l.NoOfChars(), 4);
    EXPECT_EQ(l.BackGround(), clYellow);
    EXPECT_EQ(l.BorderStyle(), frSingle);
    EXPECT_EQ(l.BorderColor(), clRed);
    EXPECT_EQ(l.PixelOn(), clTeal);
    EXPECT_EQ(l.PixelOff(), 0xAAAAAA);
    EXPECT_EQ(l.Left(), 89);
    // The size follows the counts: cells of 5 x 3 + 4 x 2 by 7 x 4 + 6 x 2.
    EXPECT_EQ(l.Width(), 10 + 3 * 3 + 4 * 23 + 2);
    EXPECT_EQ(l.Height(), 10 + 4 + 2 * 40 + 2);
    // The first name of each kind, too.
    for (const auto& [name, value] : {std::pair{"DotMatrix", "mat5x7"}, {"PixelSize", "pix1x1"},
                                      {"PixelShape", "spSquare"}, {"BorderStyle", "frRaised"}})
        l.SetProperty(name, ident(value));
    EXPECT_EQ(l.DotMatrix(), mat5x7);
    EXPECT_EQ(l.PixelSize(), pix1x1);
    EXPECT_EQ(l.PixelShape(), spSquare);
    EXPECT_EQ(l.BorderStyle(), frRaised);

    // A size stored after the counts wins at the end of loading.
    TLCDLabel resized(nullptr);
    resized.BeginLoading();
    resized.SetProperty("DotMatrix", ident("dos5x7"));
    resized.SetProperty("BorderSpace", integer(5));
    resized.SetProperty("NoOfChars", integer(5));
    resized.SetProperty("Width", integer(122));
    resized.Loaded();
    EXPECT_EQ(resized.NoOfChars(), 7);
    EXPECT_EQ(resized.Width(), 122);
}

TEST(LCDLabelRendering, ClockEveryPixelInEachBorderStyle)
{
    TLCDLabel l(nullptr);
    RecordingWindowSettings(l);
    l.SetCaption("88:88");
    Render(l);
    l.SetCaption("00:00");  // nothing of the previous picture may survive
    l.SetBorderColor(clRed);
    const int w = 90, h = 32;
    const TColor shadow = Sys(COLOR_BTNSHADOW), highlight = Sys(COLOR_BTNHIGHLIGHT);
    const std::string text = "00:00";
    // Top and left edge, then bottom and right edge: a raised frame is light above and left, a lowered one dark.
    const struct {
        TMyBorder style;
        TColor topLeft, bottomRight;
    } frames[] = {{frLowered, shadow, highlight}, {frRaised, highlight, shadow}, {frSingle, clRed, clRed},
                  {frNone, clSilver, clSilver}};
    for (const auto& f : frames) {
        SCOPED_TRACE(f.style);
        l.SetBorderStyle(f.style);
        auto bmp = Render(l);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                TColor expected = clSilver;
                if (x == 0 || y == 0)
                    expected = f.topLeft;
                else if (x == w - 1 || y == h - 1)
                    expected = f.bottomRight;
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

TEST(LCDLabelRendering, DisabledAndHidden)
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
}

TEST(LCDLabelRendering, DotShapes)
{
    TLCDLabel l(nullptr);
    l.SetBorderStyle(frNone);
    l.SetNoOfChars(1);
    l.SetCaption("8");
    l.SetPixelSize(pix16x16);
    l.SetPixelOn(clRed);
    l.SetPixelOff(clBlue);
    const TColor shade = 0x00007F;
    // Every pixel of every dot box of "8" (16 x 16, 17 apart, the first at border space + 1).
    auto eachDot = [&](TBitmap& bmp, const std::function<void(bool lit, int left, int top)>& check) {
        for (int r = 1; r <= 7; ++r)
            for (int k = 1; k <= 5; ++k) {
                SCOPED_TRACE(testing::Message() << "dot " << r << "," << k);
                const int left = 4 + (k - 1) * 17, top = 4 + (r - 1) * 17;
                check(MatrixDot(mat5x7, '8', r, k), left, top);
                EXPECT_EQ(bmp.FastPixel(left + 16, top + 8), clSilver);  // the spacing
            }
    };
    auto pixels = [](TBitmap& bmp, int left, int top) {
        std::set<TColor> seen;
        for (int y = top; y < top + 16; ++y)
            for (int x = left; x < left + 16; ++x) seen.insert(bmp.FastPixel(x, y));
        return seen;
    };
    auto bmp = Render(l);  // squares fill their box
    eachDot(*bmp, [&](bool lit, int left, int top) {
        EXPECT_EQ(pixels(*bmp, left, top), std::set<TColor>{lit ? clRed : clBlue});
    });
    l.SetPixelShape(spRound);  // circles on the background
    bmp = Render(l);
    eachDot(*bmp, [&](bool lit, int left, int top) {
        const TColor c = lit ? clRed : clBlue;
        EXPECT_EQ(pixels(*bmp, left, top), (std::set<TColor>{c, clSilver}));
        EXPECT_EQ(bmp->FastPixel(left + 8, top + 8), c);
        EXPECT_EQ(bmp->FastPixel(left + 1, top + 1), clSilver);
    });
    l.SetPixelShape(spShaped);  // lit: a circle on a square of half brightness; unlit: a square
    bmp = Render(l);
    eachDot(*bmp, [&](bool lit, int left, int top) {
        if (!lit) {
            EXPECT_EQ(pixels(*bmp, left, top), std::set<TColor>{clBlue});
            return;
        }
        EXPECT_EQ(pixels(*bmp, left, top), (std::set<TColor>{clRed, shade}));
        EXPECT_EQ(bmp->FastPixel(left + 8, top + 8), clRed);
        EXPECT_EQ(bmp->FastPixel(left + 8, top), clRed);  // the circle's outline too
        EXPECT_EQ(bmp->FastPixel(left, top), shade);
        EXPECT_EQ(bmp->FastPixel(left + 1, top + 1), shade);
    });
    // With equal colours every dot, lit or not, is the shaded circle.
    l.SetPixelOff(clRed);
    bmp = Render(l);
    eachDot(*bmp, [&](bool, int left, int top) {
        EXPECT_EQ(pixels(*bmp, left, top), (std::set<TColor>{clRed, shade}));
        EXPECT_EQ(bmp->FastPixel(left + 1, top + 1), shade);
    });

    // pix1x1 draws single pixels whatever the shape.
    l.SetPixelOff(0xAAAAAA);
    l.SetPixelSize(pix1x1);
    for (TPixelShape shape : {spShaped, spRound, spSquare}) {
        l.SetPixelShape(shape);
        bmp = Render(l);
        EXPECT_EQ(CellDots(*bmp, 4, 4, 5, 7, 2, 2, clRed), GlyphDots(mat5x7, '8', 5, 7)) << shape;
        EXPECT_EQ(CellDots(*bmp, 4, 4, 5, 7, 2, 2, 0xAAAAAA), GlyphDots(mat5x7, '8', 5, 7, '0', '1')) << shape;
        EXPECT_EQ(bmp->FastPixel(5, 5), clSilver);
    }
}

// A shown form, made once and left to the end of the process: taking a shown window down costs Wine seconds.
TForm& ShownForm()
{
    static TForm* form = [] {
        auto* f = new TForm(nullptr);
        f->InitLayout();
        f->SetClientSize(200, 100);
        f->Show();
        Application->ProcessMessages();
        return f;
    }();
    return *form;
}

// What the window shows of its client rectangle r.
std::unique_ptr<TBitmap> Screenshot(TForm& form, const TRect& r)
{
    auto bmp = std::make_unique<TBitmap>();
    bmp->SetSize(r.Width(), r.Height());
    HDC dc = GetDC(form.Handle());
    BitBlt(bmp->Canvas().Handle(), 0, 0, r.Width(), r.Height(), dc, r.Left, r.Top, SRCCOPY);
    ReleaseDC(form.Handle(), dc);
    GdiFlush();
    return bmp;
}

bool SamePixels(TBitmap& a, TBitmap& b)
{
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x)
            if (a.FastPixel(x, y) != b.FastPixel(x, y)) return false;
    return a.Width() == b.Width() && a.Height() == b.Height();
}

TEST(LCDLabelRendering, ChangesShowOnTheWindowAtOnce)
{
    TForm& form = ShownForm();
    auto* l = new TLCDLabel(&form);
    std::unique_ptr<TLCDLabel> owned(l);
    l->SetParent(&form);
    l->SetBounds(20, 10, l->Width(), l->Height());
    RecordingWindowSettings(*l);
    Application->ProcessMessages();
    const TRect around = Rect(19, 9, 19 + 92, 9 + 34);  // the label and one pixel round it
    const TColor face = Screenshot(form, around)->FastPixel(0, 0);
    ValidateRect(form.Handle(), nullptr);

    // Drawn straight away, where the label is and nowhere else, without waiting for a paint message.
    l->SetCaption("12:34");
    auto shown = Screenshot(form, around);
    auto picture = Render(*l);
    for (int y = 0; y < around.Height(); ++y)
        for (int x = 0; x < around.Width(); ++x) {
            const bool inside = x >= 1 && y >= 1 && x <= 90 && y <= 32;
            ASSERT_EQ(shown->FastPixel(x, y), inside ? picture->FastPixel(x - 1, y - 1) : face) << x << "," << y;
        }

    // A hidden label draws nothing.
    l->SetVisible(false);
    ValidateRect(form.Handle(), nullptr);
    l->SetCaption("56:78");
    EXPECT_TRUE(SamePixels(*Screenshot(form, around), *shown));
}

TEST(LCDLabelProperties, RejectedValuesKeepTheOldValueAndDoNotPaint)
{
    ClearShown();
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
        ClearShown();
        c.set();
        ASSERT_EQ(ShownBoxes().size(), 1u);
        EXPECT_EQ(ShownBoxes()[0].Text, c.message);
        EXPECT_EQ(ShownBoxes()[0].Caption, "Error");
        EXPECT_EQ(ShownBoxes()[0].Flags & (MB_ICONMASK | MB_TYPEMASK), UINT(MB_ICONERROR | MB_OK));
        EXPECT_EQ(c.get(), before);
        EXPECT_EQ(l.Paints, paints);
        EXPECT_EQ(l.Width(), width);
    }

    // Pixel width and height are nobody's business unless the size is custom: no message, no change.
    l.SetPixelSize(pix3x3);
    ClearShown();
    int paints = l.Paints;
    l.SetPixelWidth(0);
    l.SetPixelHeight(9);
    EXPECT_TRUE(ShownBoxes().empty());
    EXPECT_EQ(l.PixelWidth(), 3);
    EXPECT_EQ(l.PixelHeight(), 3);
    EXPECT_EQ(l.Paints, paints);

    // Accepted values, the smallest ones included, are stored and redraw at once; unchanged ones cost
    // nothing, except DotMatrix, which always redraws.
    const struct {
        const char* name;
        std::function<void(int)> set;
        std::function<int()> get;
        int value;
    } accepted[] = {
        {"PixelSpacing", [&](int v) { l.SetPixelSpacing(v); }, [&] { return l.PixelSpacing(); }, 0},
        {"CharSpacing", [&](int v) { l.SetCharSpacing(v); }, [&] { return l.CharSpacing(); }, 0},
        {"LineSpacing", [&](int v) { l.SetLineSpacing(v); }, [&] { return l.LineSpacing(); }, 0},
        {"BorderSpace", [&](int v) { l.SetBorderSpace(v); }, [&] { return l.BorderSpace(); }, 0},
        {"TextLines", [&](int v) { l.SetTextLines(v); }, [&] { return l.TextLines(); }, 2},
        {"TextLines", [&](int v) { l.SetTextLines(v); }, [&] { return l.TextLines(); }, 1},
        {"NoOfChars", [&](int v) { l.SetNoOfChars(v); }, [&] { return l.NoOfChars(); }, 1},
        {"BackGround", [&](int v) { l.SetBackGround(v); }, [&] { return l.BackGround(); }, clRed},
        {"BorderColor", [&](int v) { l.SetBorderColor(v); }, [&] { return l.BorderColor(); }, clRed},
        {"PixelOn", [&](int v) { l.SetPixelOn(v); }, [&] { return l.PixelOn(); }, clRed},
        {"PixelOff", [&](int v) { l.SetPixelOff(v); }, [&] { return l.PixelOff(); }, clRed},
        {"BorderStyle", [&](int v) { l.SetBorderStyle(TMyBorder(v)); }, [&] { return l.BorderStyle(); }, frSingle},
        {"PixelShape", [&](int v) { l.SetPixelShape(TPixelShape(v)); }, [&] { return l.PixelShape(); }, spRound},
        {"PixelSize", [&](int v) { l.SetPixelSize(TPixelSize(v)); }, [&] { return l.PixelSize(); }, pixCustom},
        {"PixelWidth", [&](int v) { l.SetPixelWidth(v); }, [&] { return l.PixelWidth(); }, 1},
        {"PixelHeight", [&](int v) { l.SetPixelHeight(v); }, [&] { return l.PixelHeight(); }, 1},
    };
    for (const auto& a : accepted) {
        SCOPED_TRACE(a.name);
        paints = l.Paints;
        a.set(a.value);
        EXPECT_EQ(a.get(), a.value);
        EXPECT_EQ(l.Paints, paints + 1);
        a.set(a.value);
        EXPECT_EQ(l.Paints, paints + 1);
    }
    // Everything at its smallest: one cell of 5 x 7 one-pixel dots with no spacing, and the frame.
    EXPECT_EQ(l.Width(), 5 + 2);
    EXPECT_EQ(l.Height(), 7 + 2);
    paints = l.Paints;
    l.SetCaption("00:01");
    EXPECT_EQ(l.Paints, paints + 1);
    for (int i = 0; i < 10; ++i) l.SetCaption("00:01");
    EXPECT_EQ(l.Paints, paints + 1);
    l.SetDotMatrix(l.DotMatrix());
    EXPECT_EQ(l.Paints, paints + 2);
    l.Setfilename("Z:\\nowhere\\none.fnt");  // the set's own repaint, then one more
    EXPECT_EQ(l.Paints, paints + 4);
    EXPECT_TRUE(ShownBoxes().empty());

    std::string longText(300, 'a');
    l.SetCaption(longText);
    EXPECT_EQ(l.Caption(), std::string(255, 'a'));
}

TEST(LCDLabelCustomFont, LoadingFallbacksAndBadFiles)
{
    ClearShown();
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
    EXPECT_TRUE(ShownBoxes().empty());

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
