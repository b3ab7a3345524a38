#include <gtest/gtest.h>

#include <cstring>

#include "FrameworkTestSupport.h"
#include "framework/BitmapFile.h"
#include "framework/FileStream.h"
#include "framework/GdiHandles.h"
#include "framework/Graphics.h"
#include "framework/ImgList.h"

namespace {

int ScreenDpi()
{
    HDC dc = GetDC(nullptr);
    int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(nullptr, dc);
    return dpi;
}

// The font the handle makes: face, height, weight, italic, underline, strike-out, quality.
std::string FontOf(TFont& font)
{
    LOGFONTA lf = {};
    GetObjectA(font.Handle(), sizeof lf, &lf);
    char text[96];
    std::snprintf(text, sizeof text, "%s %ld %ld %d%d%d q%d", lf.lfFaceName, lf.lfHeight, lf.lfWeight, lf.lfItalic,
                  lf.lfUnderline, lf.lfStrikeOut, lf.lfQuality);
    return text;
}

// A 24-bit picture of w x h filled with colour.
void Fill(TBitmap& bmp, int w, int h, TColor colour)
{
    bmp.SetSize(w, h);
    bmp.Canvas().Brush.SetColor(colour);
    bmp.Canvas().FillRect(Rect(0, 0, w, h));
}

// An .ico file with one 32-bit image per size, each filled with its own colour.
std::vector<std::uint8_t> IcoFile(std::initializer_list<std::pair<int, std::uint32_t>> images)
{
    std::vector<std::uint8_t> out(6 + 16 * images.size(), 0);
    out[2] = 1;
    out[4] = static_cast<std::uint8_t>(images.size());
    std::size_t entry = 6;
    for (auto [size, colour] : images) {
        std::vector<std::uint8_t> image(40, 0);
        auto put32 = [&](std::size_t at, std::uint32_t v) { std::memcpy(image.data() + at, &v, 4); };
        put32(0, 40);
        put32(4, static_cast<std::uint32_t>(size));
        put32(8, static_cast<std::uint32_t>(size * 2));
        image[12] = 1;
        image[14] = 32;
        for (int i = 0; i < size * size; ++i)
            for (int b = 0; b < 4; ++b) image.push_back(static_cast<std::uint8_t>((colour | 0xFF000000u) >> (8 * b)));
        image.insert(image.end(), static_cast<std::size_t>(((size + 31) / 32) * 4 * size), 0);  // opaque
        out[entry] = static_cast<std::uint8_t>(size);
        out[entry + 1] = static_cast<std::uint8_t>(size);
        out[entry + 4] = 1;
        out[entry + 6] = 32;
        std::uint32_t bytes = static_cast<std::uint32_t>(image.size()), offset = static_cast<std::uint32_t>(out.size());
        std::memcpy(out.data() + entry + 8, &bytes, 4);
        std::memcpy(out.data() + entry + 12, &offset, 4);
        out.insert(out.end(), image.begin(), image.end());
        entry += 16;
    }
    return out;
}

TColor IconPixel(HICON icon, int x, int y)
{
    TBitmap bmp;
    Fill(bmp, 40, 40, clWhite);
    DrawIconEx(bmp.Canvas().Handle(), 0, 0, icon, 0, 0, 0, nullptr, DI_NORMAL);
    return bmp.FastPixel(x, y);
}

}  // namespace

TEST(GdiHandles, MovingHandsTheHandleOverAndDeletesTheOneItReplaces)
{
    GdiObject<HBRUSH> a(CreateSolidBrush(RGB(1, 2, 3))), b(CreateSolidBrush(RGB(4, 5, 6)));
    HBRUSH first = a.get(), second = b.get();
    a = std::move(b);
    EXPECT_EQ(a.get(), second);
    EXPECT_FALSE(b);
    EXPECT_EQ(GetObjectType(first), 0u) << "the replaced brush is deleted";
    EXPECT_EQ(GetObjectType(second), static_cast<DWORD>(OBJ_BRUSH));
    GdiObject<HBRUSH>& same = a;
    a = std::move(same);
    EXPECT_EQ(a.get(), second) << "moved onto itself it keeps its brush";

    DeviceContext c(CreateCompatibleDC(nullptr)), d(CreateCompatibleDC(nullptr));
    HDC kept = d.get(), dropped = c.get();
    c = std::move(d);
    EXPECT_EQ(c.get(), kept);
    EXPECT_EQ(d.get(), nullptr);
    EXPECT_EQ(GetObjectType(dropped), 0u);
    DeviceContext& itself = c;
    c = std::move(itself);
    EXPECT_EQ(c.get(), kept);
}

TEST(Colours, SystemColoursComeFromThePlatformAndTheSpecialValuesAreBlack)
{
    EXPECT_EQ(ColorToRGB(clBtnFace), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(ColorToRGB(clBtnHighlight), GetSysColor(COLOR_BTNHIGHLIGHT));
    EXPECT_EQ(ColorToRGB(clTeal), RGB(0, 128, 128));
    EXPECT_EQ(ColorToRGB(0x01123456), 0x123456u);
    EXPECT_EQ(ColorToRGB(clNone), 0u);
    EXPECT_EQ(ColorToRGB(clDefault), 0u);
}

TEST(Fonts, ChangesAreAnnouncedAndMakeTheHandleAgain)
{
    TFont font;
    int changes = 0;
    font.OnChange = [&](TObject*) { ++changes; };
    EXPECT_EQ(font.Name(), "MS Sans Serif");
    EXPECT_EQ(font.Height(), -11);
    EXPECT_EQ(font.Color(), clWindowText);
    EXPECT_EQ(FontOf(font), "MS Sans Serif -11 400 000 q0");

    font.SetName("MS Sans Serif");
    font.SetHeight(-11);
    font.SetColor(clWindowText);
    font.SetStyle(0);
    font.SetQuality(fqDefault);
    EXPECT_EQ(changes, 0) << "unchanged values announce nothing";
    font.SetName("Arial");
    font.SetHeight(-20);
    font.SetStyle(fsBold | fsItalic | fsUnderline | fsStrikeOut);
    font.SetQuality(fqNonAntialiased);
    font.SetColor(clRed);
    EXPECT_EQ(changes, 5);
    EXPECT_EQ(FontOf(font), "Arial -20 700 111 q3");
    font.SetStyle(fsItalic);
    EXPECT_EQ(FontOf(font), "Arial -20 400 100 q3");

    // Points and pixels at the screen's resolution.
    const int dpi = ScreenDpi();
    font.SetSize(10);
    EXPECT_EQ(font.Height(), -MulDiv(10, dpi, 72));
    EXPECT_EQ(font.Size(), 10);
    font.SetHeight(-11);
    EXPECT_EQ(font.Size(), static_cast<int>(11 * 72.0 / dpi + 0.5));

    TFont copy;
    int copyChanges = 0;
    copy.OnChange = [&](TObject*) { ++copyChanges; };
    copy.Assign(font);
    EXPECT_EQ(copyChanges, 1);
    EXPECT_EQ(FontOf(copy), "Arial -11 400 100 q3");
    EXPECT_EQ(copy.Color(), clRed);
    copy.Assign(copy);
    EXPECT_EQ(copyChanges, 1);
}

TEST(Fonts, LayoutPropertiesByName)
{
    TFont font;
    auto value = [](TLayoutValue::Kind kind, const std::string& text, long long i = 0) {
        TLayoutValue v;
        v.kind = kind;
        v.Str = text;
        v.Int = i;
        return v;
    };
    EXPECT_TRUE(font.SetProperty("Name", value(TLayoutValue::kString, "Tahoma")));
    EXPECT_TRUE(font.SetProperty("Height", value(TLayoutValue::kInteger, "", -13)));
    EXPECT_TRUE(font.SetProperty("Color", value(TLayoutValue::kIdent, "clMaroon")));
    EXPECT_TRUE(font.SetProperty("Charset", value(TLayoutValue::kInteger, "", 238)));
    TLayoutValue styles = value(TLayoutValue::kSet, "");
    styles.Items = {"fsBold", "fsUnderline"};
    EXPECT_TRUE(font.SetProperty("Style", styles));
    EXPECT_EQ(font.Name(), "Tahoma");
    EXPECT_EQ(font.Height(), -13);
    EXPECT_EQ(font.Color(), clMaroon);
    EXPECT_EQ(font.Charset(), 238);
    EXPECT_EQ(font.Style(), static_cast<TFontStyles>(fsBold | fsUnderline));
    styles.Items = {"fsItalic", "fsStrikeOut"};
    font.SetProperty("Style", styles);
    EXPECT_EQ(font.Style(), static_cast<TFontStyles>(fsItalic | fsStrikeOut));
    EXPECT_TRUE(font.SetProperty("Charset", value(TLayoutValue::kIdent, "DEFAULT_CHARSET")));
    EXPECT_EQ(font.Charset(), DEFAULT_CHARSET);
    EXPECT_TRUE(font.SetProperty("Size", value(TLayoutValue::kInteger, "", 12)));
    EXPECT_EQ(font.Height(), -MulDiv(12, ScreenDpi(), 72));
    styles.Items = {"fsBlink"};
    EXPECT_THROW(font.SetProperty("Style", styles), ELayoutError);
    EXPECT_THROW(font.SetProperty("Style", value(TLayoutValue::kIdent, "fsBold")), ELayoutError);
    EXPECT_FALSE(font.SetProperty("Pitch", value(TLayoutValue::kIdent, "fpFixed")));
}

TEST(PensAndBrushes, HandlesFollowTheProperties)
{
    auto penOf = [](TPen& pen) {
        LOGPEN lp = {};
        GetObjectA(pen.Handle(), sizeof lp, &lp);
        return std::to_string(lp.lopnStyle) + " " + std::to_string(lp.lopnWidth.x) + " " + std::to_string(lp.lopnColor);
    };
    auto brushOf = [](TBrush& brush) {
        LOGBRUSH lb = {};
        GetObjectA(brush.Handle(), sizeof lb, &lb);
        return std::to_string(lb.lbStyle) + " " + std::to_string(lb.lbHatch) + " " + std::to_string(lb.lbColor);
    };
    TPen pen;
    int changes = 0;
    pen.OnChange = [&](TObject*) { ++changes; };
    pen.SetColor(clBlack);
    pen.SetWidth(1);
    pen.SetStyle(psSolid);
    pen.SetMode(pmCopy);
    EXPECT_EQ(changes, 0);
    pen.SetColor(clBtnShadow);
    pen.SetWidth(3);
    pen.SetStyle(psInsideFrame);
    pen.SetMode(pmXor);
    EXPECT_EQ(changes, 4);
    const std::string shadow = std::to_string(GetSysColor(COLOR_BTNSHADOW));
    EXPECT_EQ(penOf(pen), std::to_string(PS_INSIDEFRAME) + " 3 " + shadow);
    pen.SetStyle(psDash);
    EXPECT_EQ(penOf(pen), std::to_string(PS_DASH) + " 3 " + shadow);
    pen.SetStyle(psClear);
    EXPECT_EQ(penOf(pen).substr(0, 2), std::to_string(PS_NULL) + " ");
    TPen copy;
    penOf(copy);  // a handle made before the copy does not outlive it
    copy.Assign(pen);
    EXPECT_EQ(penOf(copy), penOf(pen));
    EXPECT_EQ(copy.Mode(), pmXor);

    TBrush brush;
    int brushChanges = 0;
    brush.OnChange = [&](TObject*) { ++brushChanges; };
    brush.SetColor(clWhite);
    brush.SetStyle(bsSolid);
    EXPECT_EQ(brushChanges, 0);
    EXPECT_EQ(brushOf(brush), std::to_string(BS_SOLID) + " 0 16777215");
    brush.SetStyle(bsClear);
    EXPECT_EQ(brushOf(brush).substr(0, 2), std::to_string(BS_NULL) + " ");
    // Giving a clear brush a colour, even its own, makes it solid again.
    brush.SetColor(clWhite);
    EXPECT_EQ(brush.Style(), bsSolid);
    EXPECT_EQ(brushChanges, 2);
    brush.SetStyle(bsDiagCross);
    brush.SetColor(clNavy);
    EXPECT_EQ(brushOf(brush), std::to_string(BS_HATCHED) + " " + std::to_string(HS_DIAGCROSS) + " 8388608");
    brush.SetStyle(bsHorizontal);
    EXPECT_EQ(brushOf(brush), std::to_string(BS_HATCHED) + " " + std::to_string(HS_HORIZONTAL) + " 8388608");
    TBrush brushCopy;
    brushCopy.Assign(brush);
    EXPECT_EQ(brushOf(brushCopy), brushOf(brush));
}

TEST(Canvas, DrawsWithItsPenBrushAndFontAndGivesTheDCBackAsItFoundIt)
{
    TBitmap bmp;
    Fill(bmp, 40, 30, clWhite);
    TCanvas& c = bmp.Canvas();
    c.Brush.SetColor(clRed);
    c.FillRect(Rect(2, 2, 6, 5));
    EXPECT_EQ(bmp.FastPixel(2, 2), clRed);
    EXPECT_EQ(bmp.FastPixel(5, 4), clRed);
    EXPECT_EQ(bmp.FastPixel(6, 4), clWhite);
    EXPECT_EQ(bmp.FastPixel(5, 5), clWhite);

    c.Brush.SetColor(clBlue);
    c.FrameRect(Rect(10, 2, 16, 8));
    EXPECT_EQ(bmp.FastPixel(10, 2), clBlue);
    EXPECT_EQ(bmp.FastPixel(15, 7), clBlue);
    EXPECT_EQ(bmp.FastPixel(12, 4), clWhite);

    c.Pen.SetColor(clLime);
    c.Brush.SetColor(clYellow);
    c.Rectangle(Rect(20, 2, 30, 10));
    EXPECT_EQ(bmp.FastPixel(20, 2), clLime);
    EXPECT_EQ(bmp.FastPixel(25, 6), clYellow);
    c.Ellipse(Rect(30, 0, 40, 10));
    EXPECT_EQ(bmp.FastPixel(35, 5), clYellow);
    EXPECT_EQ(bmp.FastPixel(30, 0), clWhite);

    // A pen changed between two lines draws the second in the new colour.
    c.Pen.SetColor(clRed);
    c.MoveTo(0, 20);
    c.LineTo(10, 20);
    c.Pen.SetColor(clBlue);
    c.MoveTo(0, 22);
    c.LineTo(10, 22);
    EXPECT_EQ(bmp.FastPixel(0, 20), clRed);
    EXPECT_EQ(bmp.FastPixel(9, 20), clRed);
    EXPECT_EQ(bmp.FastPixel(10, 20), clWhite);
    EXPECT_EQ(bmp.FastPixel(5, 22), clBlue);
    // The pen's mode: exclusive or over white gives the inverse of the pen colour.
    c.Pen.SetMode(pmXor);
    c.Pen.SetColor(clRed);
    c.MoveTo(0, 24);
    c.LineTo(10, 24);
    EXPECT_EQ(bmp.FastPixel(3, 24), clAqua);
    c.Pen.SetMode(pmCopy);

    c.SetPixel(39, 29, clTeal);
    EXPECT_EQ(c.Pixel(39, 29), clTeal);
    EXPECT_EQ(bmp.FastPixel(39, 29), clTeal);

    // The DC has its own objects back once the canvas lets it go.
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ pen = GetCurrentObject(dc, OBJ_PEN), brush = GetCurrentObject(dc, OBJ_BRUSH),
            font = GetCurrentObject(dc, OBJ_FONT);
    {
        TCanvas borrowed;
        borrowed.SetHandle(dc);
        EXPECT_TRUE(borrowed.HandleAllocated());
        borrowed.Handle();
        EXPECT_NE(GetCurrentObject(dc, OBJ_PEN), pen);
        borrowed.Font.SetHeight(-30);  // changed while selected
        EXPECT_EQ(GetCurrentObject(dc, OBJ_FONT), font);
        borrowed.Handle();
        borrowed.Handle();  // drawing again selects nothing again
        borrowed.SetHandle(nullptr);
        EXPECT_FALSE(borrowed.HandleAllocated());
        EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), pen);
        EXPECT_EQ(GetCurrentObject(dc, OBJ_BRUSH), brush);
        EXPECT_EQ(GetCurrentObject(dc, OBJ_FONT), font);
        borrowed.SetHandle(dc);
        borrowed.Handle();
    }
    EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), pen) << "and when the canvas goes";
    DeleteDC(dc);
}

TEST(Canvas, TextInTheFontColourOpaqueOrClippedToARectangle)
{
    TBitmap bmp;
    Fill(bmp, 80, 20, clWhite);
    TCanvas& c = bmp.Canvas();
    c.Font.SetQuality(fqNonAntialiased);
    c.Font.SetColor(clRed);
    TPoint one = c.TextExtent("W");
    TPoint two = c.TextExtent("WWW");
    EXPECT_GT(one.X, 0);
    EXPECT_GT(one.Y, 5);
    EXPECT_GT(two.X, 2 * one.X);
    EXPECT_EQ(c.TextWidth("WWW"), two.X);
    EXPECT_EQ(c.TextHeight("W"), one.Y);

    auto count = [&](TColor colour, int x0, int x1) {
        int n = 0;
        for (int y = 0; y < 20; ++y)
            for (int x = x0; x < x1; ++x) n += bmp.FastPixel(x, y) == colour;
        return n;
    };
    c.Brush.SetStyle(bsClear);
    c.TextOut(0, 0, "WWW");
    EXPECT_GT(count(clRed, 0, two.X), 10);
    EXPECT_EQ(count(clRed, two.X + 1, 80), 0);
    EXPECT_EQ(bmp.FastPixel(0, 19), clWhite) << "a clear brush leaves the background";

    // A rectangle: filled with the brush, text cut at its edge.
    c.Brush.SetColor(clBlue);
    c.TextRect(Rect(40, 0, 50, 20), 40, 0, "WWWWW");
    EXPECT_EQ(bmp.FastPixel(49, 19), clBlue);
    EXPECT_GT(count(clRed, 40, 50), 5);
    EXPECT_EQ(count(clRed, 50, 80), 0);
    EXPECT_EQ(count(clBlue, 50, 80), 0);
    c.Brush.SetStyle(bsClear);
    c.TextRect(Rect(60, 0, 70, 20), 60, 0, "W");
    EXPECT_EQ(bmp.FastPixel(69, 19), clWhite);
}

TEST(Canvas, PicturesAreCopiedWholeTransparentStretchedOrInPart)
{
    TBitmap src;
    Fill(src, 4, 4, clGreen);
    src.SetFastPixel(0, 3, clFuchsia);  // bottom-left: the transparent colour
    src.SetFastPixel(1, 1, clFuchsia);
    TBitmap dst;
    Fill(dst, 20, 20, clWhite);
    TCanvas& c = dst.Canvas();
    c.Draw(1, 1, src);
    EXPECT_EQ(dst.FastPixel(1, 1), clGreen);
    EXPECT_EQ(dst.FastPixel(2, 2), clFuchsia);
    EXPECT_EQ(dst.FastPixel(5, 5), clWhite);
    src.Transparent = true;
    c.Draw(10, 1, src);
    EXPECT_EQ(dst.FastPixel(10, 1), clGreen);
    EXPECT_EQ(dst.FastPixel(11, 2), clWhite);
    EXPECT_EQ(dst.FastPixel(10, 4), clWhite);
    src.Transparent = false;

    c.StretchDraw(Rect(0, 10, 8, 18), src);
    EXPECT_EQ(dst.FastPixel(2, 12), clFuchsia);  // pixel (1, 1) doubled
    EXPECT_EQ(dst.FastPixel(3, 13), clFuchsia);
    EXPECT_EQ(dst.FastPixel(7, 17), clGreen);
    EXPECT_EQ(dst.FastPixel(8, 17), clWhite);
    // Shrunk, every pixel is one of the picture's own, never neighbours mixed (which would darken them).
    c.StretchDraw(Rect(12, 0, 14, 2), src);
    for (int y = 0; y < 2; ++y)
        for (int x = 12; x < 14; ++x)
            EXPECT_TRUE(dst.FastPixel(x, y) == clGreen || dst.FastPixel(x, y) == clFuchsia) << x << "," << y;

    TBitmap empty;
    c.Draw(15, 15, empty);
    c.StretchDraw(Rect(15, 15, 20, 20), empty);
    EXPECT_EQ(dst.FastPixel(15, 15), clWhite);
    TBitmap line;
    Fill(line, 1, 3, clRed);
    c.Draw(19, 0, line);
    EXPECT_EQ(dst.FastPixel(19, 2), clRed) << "one pixel wide is not empty";

    c.CopyRect(Rect(10, 10, 12, 12), src.Canvas(), Rect(1, 1, 3, 3));
    EXPECT_EQ(dst.FastPixel(10, 10), clFuchsia);
    EXPECT_EQ(dst.FastPixel(11, 11), clGreen);
    c.CopyRect(Rect(12, 10, 16, 14), src.Canvas(), Rect(1, 1, 3, 3));
    EXPECT_EQ(dst.FastPixel(13, 11), clFuchsia);
    EXPECT_EQ(dst.FastPixel(15, 13), clGreen);
    c.CopyRect(Rect(16, 16, 18, 18), src.Canvas(), Rect(0, 0, 2, 2), SRCINVERT);
    EXPECT_EQ(dst.FastPixel(16, 16), static_cast<TColor>(0xFFFFFF ^ 0x008000));
}

TEST(Bitmaps, PixelsInEveryFormat)
{
    TBitmap bmp;
    EXPECT_TRUE(bmp.Empty());
    EXPECT_EQ(bmp.PixelFormat(), pf24bit);
    EXPECT_EQ(bmp.TransparentColor(), clWhite);
    bmp.SetPixelFormat(pfDevice);
    EXPECT_EQ(bmp.PixelFormat(), pf24bit);
    struct Case {
        TPixelFormat format;
        int stride;  // for 5 pixels
        TColor set, got;
    } cases[] = {
        {pf24bit, 16, 0x123456, 0x123456}, {pf32bit, 20, 0x123456, 0x123456},
        {pf16bit, 12, 0x1038F8, 0x1039FF},  // 5 bits a channel, widened again
        {pf15bit, 12, 0x80F808, 0x84FF08},  {pf8bit, 8, 0x808080, 0x808080},
        {pf4bit, 4, 0x222222, 0x222222},    {pf1bit, 4, clWhite, clWhite},
    };
    for (const Case& k : cases) {
        TBitmap b;
        b.SetPixelFormat(k.format);
        b.SetSize(5, 3);
        EXPECT_EQ(b.PixelFormat(), k.format);
        EXPECT_EQ(b.BytesPerLine(), k.stride) << k.format;
        EXPECT_EQ(b.FastPixel(4, 2), clWhite) << "new area is white, format " << k.format;
        b.SetFastPixel(1, 0, clBlack);
        b.SetFastPixel(3, 2, k.set);
        EXPECT_EQ(b.FastPixel(3, 2), k.got) << k.format;
        EXPECT_EQ(b.FastPixel(1, 0), clBlack) << k.format;
        EXPECT_EQ(b.FastPixel(2, 0), clWhite) << k.format;
        EXPECT_EQ(b.FastPixel(5, 0), clBlack) << "outside";
        EXPECT_EQ(b.FastPixel(0, -1), clBlack) << "outside";
        b.SetFastPixel(-1, 0, clRed);
        b.SetFastPixel(0, 3, clRed);
        b.SetFastPixel(5, 1, clRed);
        EXPECT_EQ(b.FastPixel(4, 1), clWhite) << "nothing written outside, format " << k.format;
        EXPECT_EQ(b.FastPixel(0, 0), clWhite) << k.format;
        if (k.format >= pf15bit) {  // the platform's drawing lands in the same layout
            b.Canvas().Brush.SetColor(clLime);
            b.Canvas().FillRect(Rect(0, 1, 5, 2));
            EXPECT_EQ(b.FastPixel(2, 1), clLime) << k.format;
        }
    }
    // A picture one row high is converted too.
    TBitmap row;
    Fill(row, 3, 1, clRed);
    row.SetPixelFormat(pf32bit);
    EXPECT_EQ(row.FastPixel(2, 0), clRed);
    // Rows count from the top.
    Fill(bmp, 2, 2, clWhite);
    std::uint8_t* top = bmp.ScanLine(0);
    top[0] = 0x11;
    top[1] = 0x22;
    top[2] = 0x33;
    EXPECT_EQ(bmp.FastPixel(0, 0), 0x112233);
    EXPECT_EQ(bmp.FastPixel(0, 1), clWhite);
    EXPECT_THROW(bmp.ScanLine(2), EInvalidGraphic);
    EXPECT_THROW(bmp.ScanLine(-1), EInvalidGraphic);
    EXPECT_THROW(TBitmap().ScanLine(0), EInvalidGraphic);
    // The transparent colour: the bottom-left pixel unless set.
    bmp.SetFastPixel(0, 1, clOlive);
    EXPECT_EQ(bmp.TransparentColor(), clOlive);
    bmp.SetTransparentColor(clNavy);
    EXPECT_EQ(bmp.TransparentColor(), clNavy);
}

TEST(Bitmaps, ResizingKeepsTheTopLeftAndCopiesAndConversionsKeepThePicture)
{
    int changes = 0;
    for (TPixelFormat format : {pf24bit, pf8bit}) {
        TBitmap bmp;
        bmp.SetPixelFormat(format);
        bmp.OnChange = [&](TObject*) { ++changes; };
        bmp.SetSize(3, 2);
        bmp.SetFastPixel(0, 0, clBlack);
        bmp.SetFastPixel(2, 1, clBlack);
        bmp.SetSize(5, 4);
        EXPECT_EQ(bmp.FastPixel(0, 0), clBlack) << format;
        EXPECT_EQ(bmp.FastPixel(2, 1), clBlack) << format;
        EXPECT_EQ(bmp.FastPixel(1, 0), clWhite) << format;
        EXPECT_EQ(bmp.FastPixel(4, 3), clWhite) << format;
        EXPECT_EQ(bmp.FastPixel(2, 3), clWhite) << format;
        bmp.SetWidth(1);
        bmp.SetHeight(1);
        EXPECT_EQ(bmp.Width(), 1);
        EXPECT_EQ(bmp.FastPixel(0, 0), clBlack);
        bmp.SetSize(1, 1);  // unchanged: nothing happens
    }
    EXPECT_EQ(changes, 8);

    TBitmap src;
    src.SetPixelFormat(pf4bit);
    src.SetSize(3, 3);
    src.SetFastPixel(1, 1, 0x222222);
    src.Transparent = true;
    src.SetTransparentColor(clLime);
    TBitmap copy;
    int copyChanges = 0;
    copy.OnChange = [&](TObject*) { ++copyChanges; };
    copy.Assign(src);
    EXPECT_EQ(copyChanges, 1);
    EXPECT_EQ(copy.PixelFormat(), pf4bit);
    EXPECT_EQ(copy.Width(), 3);
    EXPECT_EQ(copy.FastPixel(1, 1), 0x222222);
    EXPECT_EQ(copy.FastPixel(0, 1), clWhite);
    EXPECT_TRUE(copy.Transparent);
    EXPECT_EQ(copy.TransparentColor(), clLime);
    copy.Assign(copy);
    EXPECT_EQ(copyChanges, 1);

    copy.SetPixelFormat(pf24bit);
    EXPECT_EQ(copy.PixelFormat(), pf24bit);
    EXPECT_EQ(copy.FastPixel(1, 1), 0x222222);
    EXPECT_EQ(copy.FastPixel(2, 2), clWhite);
    std::vector<std::uint8_t> file = copy.SaveToBytes();
    EXPECT_TRUE(ReadBitmapFile(file.data(), file.size()).Palette.empty()) << "no palette left over";
    TBitmap none;
    none.SetPixelFormat(pf8bit);
    EXPECT_EQ(none.PixelFormat(), pf8bit);
    EXPECT_TRUE(none.Empty());
}

TEST(Bitmaps, FilesRoundTripInEveryFormatAndFiveSixFivePicturesBecomeTwentyFourBit)
{
    for (TPixelFormat format : {pf1bit, pf4bit, pf8bit, pf16bit, pf24bit, pf32bit}) {
        TBitmap bmp;
        bmp.SetPixelFormat(format);
        bmp.SetSize(7, 3);
        bmp.SetFastPixel(6, 0, clBlack);
        bmp.SetFastPixel(0, 2, clBlack);
        std::vector<std::uint8_t> bytes = bmp.SaveToBytes();
        TBitmapFileImage image = ReadBitmapFile(bytes.data(), bytes.size());
        EXPECT_EQ(image.Width, 7);
        EXPECT_EQ(image.BitFields, format == pf16bit);
        if (format == pf16bit) {
            EXPECT_EQ(image.GreenMask, 0x03E0u);
        }
        TBitmap back;
        int changes = 0;
        back.OnChange = [&](TObject*) { ++changes; };
        back.LoadFromBytes(bytes);
        EXPECT_EQ(changes, 1);
        EXPECT_EQ(back.PixelFormat(), format);
        EXPECT_EQ(back.Height(), 3);
        EXPECT_EQ(back.FastPixel(6, 0), clBlack) << format;
        EXPECT_EQ(back.FastPixel(0, 2), clBlack) << format;
        EXPECT_EQ(back.FastPixel(5, 0), clWhite) << format;
        EXPECT_EQ(back.SaveToBytes(), bytes) << format;
    }

    TBitmapFileImage wide;
    wide.Width = 4;
    wide.Height = 1;
    wide.BitCount = 16;
    wide.BitFields = true;
    wide.RedMask = 0xF800;
    wide.GreenMask = 0x07E0;
    wide.BlueMask = 0x001F;
    wide.Bits = {0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00, 0x10, 0x84};  // red, green, blue, 16/32/16
    TBitmap bmp;
    bmp.LoadFromBytes(WriteBitmapFile(wide));
    EXPECT_EQ(bmp.PixelFormat(), pf24bit);
    EXPECT_EQ(bmp.FastPixel(0, 0), clRed);
    EXPECT_EQ(bmp.FastPixel(1, 0), clLime);
    EXPECT_EQ(bmp.FastPixel(2, 0), clBlue);
    EXPECT_EQ(bmp.FastPixel(3, 0), 0x848284);
    EXPECT_THROW(bmp.LoadFromBytes({'B', 'M', 0}), EInvalidGraphic);
}

TEST(Bitmaps, FilesStreamsAndProgramResources)
{
    const std::string path = TempPath("picture.bmp");
    TBitmap bmp;
    Fill(bmp, 6, 5, clMaroon);
    bmp.SetFastPixel(5, 4, clAqua);
    bmp.SaveToFile(path);
    TBitmap back;
    back.LoadFromFile(path);
    EXPECT_EQ(back.Width(), 6);
    EXPECT_EQ(back.FastPixel(0, 0), clMaroon);
    EXPECT_EQ(back.FastPixel(5, 4), clAqua);
    DeleteFileA(path.c_str());
    EXPECT_THROW(back.LoadFromFile(path), EFOpenError);

    // From a stream, the rest of it from where it stands.
    TMemoryStream stream;
    stream.Write("xyz", 3);
    bmp.SaveToStream(stream);
    stream.SetPosition(3);
    TBitmap streamed;
    streamed.LoadFromStream(stream);
    EXPECT_EQ(streamed.FastPixel(5, 4), clAqua);

    // A BITMAP resource has no file header of its own; names are matched without regard to case.
    HINSTANCE instance = GetModuleHandleA(nullptr);
    TBitmap meter;
    meter.LoadFromResourceName(instance, "fwtest_bmp24");
    EXPECT_EQ(meter.Width(), 51);
    EXPECT_EQ(meter.Height(), 12);
    TBitmap button;
    button.LoadFromResourceName(instance, "FWTEST_BMP16");
    EXPECT_EQ(button.PixelFormat(), pf16bit);
    EXPECT_EQ(button.Width(), 69);
    TBitmap palette;
    palette.LoadFromResourceName(instance, "FWTEST_BMP4");
    EXPECT_EQ(palette.PixelFormat(), pf4bit);
    EXPECT_EQ(palette.FastPixel(0, 0), clBlue);
    EXPECT_EQ(palette.FastPixel(4, 1), clLime);
    EXPECT_EQ(palette.FastPixel(0, 2), clBlack);
    EXPECT_EQ(palette.FastPixel(3, 2), clBlack) << "an index past the three colours";
    EXPECT_EQ(palette.FastPixel(2, 2), clLime);
    EXPECT_EQ(palette.FastPixel(4, 2), clBlue);
    EXPECT_THROW(palette.LoadFromResourceName(instance, "NO_SUCH_BITMAP"), EInvalidGraphic);

    std::vector<std::uint8_t> layout = LoadResourceBytes("fwtest_form");
    ASSERT_GE(layout.size(), 7u);
    EXPECT_EQ(std::string(layout.begin(), layout.begin() + 7), "TForm F");
    EXPECT_TRUE(LoadResourceBytes("NO_SUCH_DATA").empty());
    EXPECT_FALSE(LoadResourceBytes("FWTEST_BMP4", RT_BITMAP).empty());
}

TEST(Icons, TheSixteenPixelImageIsPreferredAndCopiesAreTheirOwn)
{
    TIcon icon;
    EXPECT_TRUE(icon.Empty());
    EXPECT_EQ(icon.Width(), 0);
    EXPECT_EQ(icon.Height(), 0);
    int changes = 0;
    icon.OnChange = [&](TObject*) { ++changes; };
    icon.LoadFromBytes(IcoFile({{32, 0x0000FF}, {16, 0x00FF00}}));
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(icon.Width(), 16);
    EXPECT_EQ(icon.Height(), 16);
    EXPECT_EQ(IconPixel(icon.Handle(), 8, 8), clLime);
    icon.LoadFromBytes(IcoFile({{32, 0x0000FF}, {24, 0x00FF00}}));
    EXPECT_EQ(icon.Width(), 32) << "no 16-pixel image: the first";
    EXPECT_EQ(IconPixel(icon.Handle(), 30, 30), clBlue);

    TIcon copy;
    copy.Assign(icon);
    EXPECT_NE(copy.Handle(), icon.Handle());
    EXPECT_EQ(copy.Width(), 32);
    copy.Assign(copy);
    EXPECT_EQ(copy.Width(), 32);
    TIcon none;
    copy.Assign(none);
    EXPECT_TRUE(copy.Empty());
    HICON own = CopyIcon(icon.Handle());
    copy.SetHandle(own);
    EXPECT_EQ(copy.Handle(), own);

    TIcon program;
    program.LoadFromBytes(LoadResourceBytes("FWTEST_ICO"));
    EXPECT_EQ(program.Width(), 16);
    TIcon fromResource;
    fromResource.LoadFromResourceName(GetModuleHandleA(nullptr), "MAINICON");
    EXPECT_EQ(fromResource.Height(), 16);
    EXPECT_THROW(fromResource.LoadFromResourceName(GetModuleHandleA(nullptr), "NOICON"), EInvalidGraphic);

    std::vector<std::uint8_t> good = IcoFile({{16, 0x00FF00}});
    auto damaged = [&](std::size_t at, std::uint8_t value, std::size_t size = 0, std::size_t at2 = 0) {
        auto bytes = good;
        bytes[at] = value;
        if (at2) bytes[at2] = value;
        if (size) bytes.resize(size);
        try {
            TIcon i;
            i.LoadFromBytes(bytes);
        } catch (const EInvalidGraphic& e) {
            return std::string(e.what()) == "Icon image is not valid";
        }
        return false;
    };
    EXPECT_FALSE(damaged(0, 0));
    EXPECT_TRUE(damaged(0, 1));     // reserved
    EXPECT_TRUE(damaged(2, 2));     // a cursor file
    EXPECT_TRUE(damaged(4, 0));     // no images
    EXPECT_TRUE(damaged(4, 200));   // entries beyond the file's end
    EXPECT_TRUE(damaged(0, 0, 5));  // shorter than its header
    EXPECT_TRUE(damaged(17, 0x7F)); // the image beyond the file's end
    EXPECT_TRUE(damaged(14, 0, 0, 15));  // an image of no bytes
}

TEST(Pictures, HoldABitmapOrAnIconAndTellOfChanges)
{
    TPicture picture;
    int changes = 0;
    picture.OnChange = [&](TObject*) { ++changes; };
    EXPECT_FALSE(picture.HasBitmap());
    picture.Bitmap().SetSize(2, 2);
    EXPECT_TRUE(picture.HasBitmap());
    EXPECT_EQ(changes, 1);
    TBitmap other;
    Fill(other, 3, 3, clRed);
    picture.Assign(other);
    EXPECT_EQ(picture.Bitmap().FastPixel(2, 2), clRed);
    EXPECT_GE(changes, 2);
    picture.Icon();
    EXPECT_TRUE(picture.HasIcon());
    EXPECT_FALSE(picture.HasBitmap());
    picture.Bitmap();
    EXPECT_FALSE(picture.HasIcon());
    changes = 0;
    picture.Clear();
    EXPECT_FALSE(picture.HasBitmap());
    EXPECT_EQ(changes, 1);
}

TEST(ImageLists, ImagesGoInInOrderAndComeOutAsBitmapsIconsAndDrawings)
{
    TImageList list(nullptr);
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Width(), 16);
    EXPECT_TRUE(list.Masked());
    TBitmap red, green, mask;
    Fill(red, 16, 16, clRed);
    Fill(green, 16, 16, clLime);
    mask.SetPixelFormat(pf1bit);
    Fill(mask, 16, 16, clBlack);
    mask.Canvas().Brush.SetColor(clWhite);
    mask.Canvas().FillRect(Rect(0, 0, 16, 8));  // the top half is transparent
    EXPECT_EQ(list.Add(red, nullptr), 0);
    EXPECT_EQ(list.Add(green, &mask), 1);
    EXPECT_EQ(list.Count(), 2);

    TBitmap out;
    list.GetBitmap(0, out);
    EXPECT_EQ(out.Width(), 16);
    EXPECT_EQ(out.FastPixel(8, 8), clRed);
    TBitmap canvas;
    Fill(canvas, 40, 20, clWhite);
    list.Draw(canvas.Canvas(), 20, 0, 1);
    EXPECT_EQ(canvas.FastPixel(28, 12), clLime);
    EXPECT_EQ(canvas.FastPixel(28, 3), clWhite) << "masked out";
    list.Draw(canvas.Canvas(), 0, 0, 2);
    list.Draw(canvas.Canvas(), 0, 0, -1);
    EXPECT_EQ(canvas.FastPixel(8, 8), clWhite);
    TIcon icon;
    list.GetIcon(1, icon);
    EXPECT_EQ(IconPixel(icon.Handle(), 8, 12), clLime);
    HICON before = icon.Handle();
    list.GetIcon(5, icon);
    EXPECT_EQ(icon.Handle(), before);
    EXPECT_EQ(list.AddIcon(icon), 2);
    list.GetBitmap(2, out);
    EXPECT_EQ(out.FastPixel(8, 12), clLime);

    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    list.Add(red, nullptr);
    list.SetWidth(16);
    EXPECT_EQ(list.Count(), 1) << "the same size keeps the images";
    list.SetWidth(8);
    list.SetHeight(4);
    EXPECT_EQ(list.Count(), 0) << "another size starts over";
    TBitmap small;
    Fill(small, 8, 4, clRed);
    list.Add(small, nullptr);
    EXPECT_EQ(list.Count(), 1);
    int cx = 0, cy = 0;
    ImageList_GetIconSize(list.Handle(), &cx, &cy);
    EXPECT_EQ(cx, 8);
    EXPECT_EQ(cy, 4);
    list.SetMasked(false);
    EXPECT_EQ(list.Count(), 0);
    list.Add(green, &mask);
    canvas.Canvas().Brush.SetColor(clWhite);
    canvas.Canvas().FillRect(Rect(0, 0, 40, 20));
    list.Draw(canvas.Canvas(), 0, 0, 0);
    EXPECT_EQ(canvas.FastPixel(3, 1), clLime) << "an unmasked list ignores the mask";

    // A list made elsewhere is used, and left alone at the end.
    HIMAGELIST shared = ImageList_Create(24, 12, ILC_COLOR24, 1, 1);
    {
        TImageList user(nullptr);
        user.SetHandle(shared, true);
        EXPECT_EQ(user.Width(), 24);
        EXPECT_EQ(user.Height(), 12);
        EXPECT_EQ(user.Handle(), shared);
    }
    EXPECT_EQ(ImageList_GetImageCount(shared), 0);
    EXPECT_TRUE(ImageList_Destroy(shared));

    TLayoutValue v;
    v.Int = 32;
    EXPECT_TRUE(list.SetProperty("Width", v));
    v.Int = 20;
    EXPECT_TRUE(list.SetProperty("Height", v));
    EXPECT_EQ(list.Width(), 32);
    EXPECT_EQ(list.Height(), 20);
    v.kind = TLayoutValue::kIdent;
    v.Str = "True";
    EXPECT_TRUE(list.SetProperty("Masked", v));
    EXPECT_TRUE(list.Masked());
}
