#include "controls/hemisphere/HemiRender.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include "controls/hemisphere/Hemibtn.h"

hemi::TPixelView PixelView(TBitmap& bitmap)
{
    hemi::TPixelView v;
    if (bitmap.Empty() || bitmap.PixelFormat() != pf32bit) throw EInvalidGraphic("32-bit bitmap expected");
    v.Bits = bitmap.ScanLine(0);  // flushes GDI
    v.Stride = -static_cast<std::ptrdiff_t>(bitmap.BytesPerLine());
    v.Width = bitmap.Width();
    v.Height = bitmap.Height();
    return v;
}

namespace {

// Destination AND NOT source: cuts the destination to where the source mask is black.
constexpr DWORD kDSna = 0x00220326;

void Fill(TBitmap& bitmap, std::uint32_t pixel)
{
    hemi::TPixelView v = PixelView(bitmap);
    for (int y = 0; y < v.Height; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(v.Bits + y * v.Stride);
        std::fill(row, row + v.Width, pixel);
    }
}

// One of the button's own images, made W x H in 32 bits (reusing its bitmap when it already is) and filled.
void PrepareImage(TBitmap& image, int w, int h, std::uint32_t pixel)
{
    if (image.PixelFormat() != pf32bit || image.Width() != w || image.Height() != h) {
        image.Assign(TBitmap());
        image.SetPixelFormat(pf32bit);
        image.SetSize(w, h);
    }
    Fill(image, pixel);
}

// A W x H working bitmap of 32 bits a pixel, every pixel set to the given value.
std::unique_ptr<TBitmap> Working(int w, int h, std::uint32_t pixel)
{
    auto b = std::make_unique<TBitmap>();
    b->SetPixelFormat(pf32bit);
    b->SetSize(w, h);
    Fill(*b, pixel);
    return b;
}

void Combine(TBitmap& dest, TBitmap& source, DWORD rop)
{
    const TRect r = Rect(0, 0, dest.Width(), dest.Height());
    dest.Canvas().CopyRect(r, source.Canvas(), r, rop);
}

// A black filled ellipse with the platform's bounding-box convention.
void BlackEllipse(TBitmap& bitmap, int l, int t, int r, int b)
{
    TCanvas& c = bitmap.Canvas();
    c.Pen.SetColor(clBlack);
    c.Pen.SetWidth(1);
    c.Pen.SetStyle(psSolid);
    c.Brush.SetColor(clBlack);
    c.Brush.SetStyle(bsSolid);
    c.Ellipse(l, t, r, b);
}

void WriteCaption(TBitmap& bitmap, TFont& font, TColor color, int x, int y, const std::string& text)
{
    TCanvas& c = bitmap.Canvas();
    c.Font.Assign(font);
    c.Font.SetColor(color);
    c.Brush.SetStyle(bsClear);
    c.TextOut(x, y, text);
}

void BorderEllipse(TBitmap& image, TColor color, int e)
{
    TCanvas& c = image.Canvas();
    c.Pen.SetColor(color);
    c.Pen.SetWidth(1);
    c.Pen.SetStyle(psSolid);
    c.Brush.SetStyle(bsClear);
    c.Ellipse(e, e, image.Width() - e, image.Height() - e);
}

}  // namespace

void RenderHemisphereImages(THemisphereButton& button)
{
    const int W = button.Width(), H = button.Height();
    const int bw = button.BevelWidth();
    const bool outer = button.BevelOuter() != hbNone, inner = button.BevelInner() != hbNone;
    using hemi::kBlackPixel;
    using hemi::kWhitePixel;

    // The face and caption are drawn straight into ImageOut (FO) and ImageIn (FI); the masks and rings use
    // working bitmaps that are freed on every exit. NOT M1 / NOT M2 are applied with the DSna raster
    // operation instead of through an inverted copy.
    TBitmap& FO = button.ImageOut();
    TBitmap& FI = button.ImageIn();
    TBitmap& mask = button.ImageMask();
    PrepareImage(FO, W, H, kBlackPixel);
    PrepareImage(FI, W, H, kBlackPixel);
    auto M1 = Working(W, H, kWhitePixel);
    std::unique_ptr<TBitmap> M2own, RO, RI;

    // Masks: M1 black inside the outer bevel, M2 black inside all bevels, ImageMask black on the button.
    if (!outer && !inner) BlackEllipse(*M1, 0, 0, W, H);
    else BlackEllipse(*M1, bw, bw, W - bw, H - bw);
    TBitmap* M2 = M1.get();  // the same picture unless both bevels are in use
    if (outer && inner) {
        M2own = Working(W, H, kWhitePixel);
        BlackEllipse(*M2own, 2 * bw, 2 * bw, W - 2 * bw, H - 2 * bw);
        M2 = M2own.get();
    }
    PrepareImage(mask, W, H, kWhitePixel);
    BlackEllipse(mask, 0, 0, W, H);

    // Bevel rings, each cut to its band.
    int rings = 0;
    if (!outer && inner) {
        rings = 1;
        RO = Working(W, H, kBlackPixel);
        hemi::TPixelView v = PixelView(*RO);
        hemi::DrawRing(v, (bw + 1) / 2, bw, button.BevelInner() == hbRaised);
        Combine(*RO, *M1, SRCAND);
    } else if (outer) {
        rings = 1;
        RO = Working(W, H, kBlackPixel);
        hemi::TPixelView v = PixelView(*RO);
        hemi::DrawRing(v, bw / 2, bw, button.BevelOuter() == hbRaised);
        Combine(*RO, *M1, SRCAND);
        if (inner) {
            rings = 2;
            RI = Working(W, H, kBlackPixel);
            hemi::TPixelView vi = PixelView(*RI);
            hemi::DrawRing(vi, static_cast<int>(std::ceil(bw + bw / 2.0)), bw, button.BevelInner() == hbRaised);
            Combine(*RI, *M2, SRCAND);
            Combine(*RI, *M1, kDSna);
        }
    }

    // The dome, with the glyph read from a 32-bit copy whatever format it was given in.
    std::unique_ptr<TBitmap> glyph;
    hemi::TPixelView glyphView;
    TBitmap& source = button.Glyph();
    if (button.GlyphValid() && !source.Empty()) {
        glyph = Working(source.Width(), source.Height(), kBlackPixel);
        Combine(*glyph, source, SRCCOPY);
        glyphView = PixelView(*glyph);
    }
    hemi::TFaceSettings s;
    s.Width = W;
    s.Height = H;
    s.BevelWidth = bw;
    s.RingCount = rings;
    s.FaceRed = button.FaceRed();
    s.FaceGreen = button.FaceGreen();
    s.FaceBlue = button.FaceBlue();
    s.AttenControl = button.AttenControl();
    s.FaceShaded = button.FaceShaded();
    s.FaceTransparent = button.FaceTransparent();
    s.GlyphShaded = button.GlyphShaded();
    s.GlyphMapped = button.GlyphMapped();
    s.GlyphTransparent = button.GlyphTransparent();
    s.Glyph = glyph ? &glyphView : nullptr;
    s.NumGlyphs = button.NumGlyphs();
    s.GlyphIndex = button.GlyphIndex();
    {
        hemi::TPixelView fo = PixelView(FO), fi = PixelView(FI), m2 = PixelView(*M2), mv = PixelView(mask);
        hemi::DrawFace(s, fo, fi, m2, mv);
    }

    // Caption, centred; on a transparent face it stays opaque in the mask.
    const std::string caption = button.Caption();
    if (!caption.empty()) {
        TFont& font = button.Font();
        FO.Canvas().Font.Assign(font);
        const TPoint ext = FO.Canvas().TextExtent(caption);
        const int tx = hemi::RoundHalfEven((W - 2 - ext.X) / 2.0);
        const int ty = hemi::RoundHalfEven((H - 2 - ext.Y) / 2.0);
        WriteCaption(FO, font, font.Color(), tx, ty, caption);
        WriteCaption(FI, font, font.Color(), tx, ty, caption);
        if (button.FaceTransparent()) WriteCaption(mask, font, clBlack, tx, ty, caption);
    }

    // Composition: face and caption cut to the face mask, rings added, then the border.
    if (rings > 0) {
        Combine(FO, *M2, kDSna);
        Combine(FI, *M2, kDSna);
    }
    for (TBitmap* ring : {RO.get(), RI.get()}) {
        if (!ring) continue;
        Combine(FO, *ring, SRCPAINT);
        Combine(FI, *ring, SRCPAINT);
    }
    if (button.BorderStyle() == bsSingle) {
        const int e = rings * bw;
        BorderEllipse(FO, button.BorderColor(), e);
        BorderEllipse(FI, button.BorderColor(), e);
    }
    GdiFlush();
}
