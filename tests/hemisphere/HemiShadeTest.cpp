// Pixel arithmetic of the hemisphere button's renderer, without any window system.
#include <gtest/gtest.h>

#include "controls/hemisphere/HemiShade.h"
#include "framework/BitmapFile.h"

using namespace hemi;

namespace {

struct Rgb {
    int r, g, b;
    bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};
Rgb ToRgb(std::uint32_t p) { return {PixelRed(p), PixelGreen(p), PixelBlue(p)}; }
std::ostream& operator<<(std::ostream& os, const Rgb& c) { return os << '(' << c.r << ", " << c.g << ", " << c.b << ')'; }

// The recording window's teal button: 69 x 32, one lowered ring of width 2.
TFaceSettings TealButton()
{
    TFaceSettings s;
    s.Width = 69;
    s.Height = 32;
    s.BevelWidth = 2;
    s.RingCount = 1;
    s.FaceRed = 0;
    s.FaceGreen = 128;
    s.FaceBlue = 128;
    return s;
}

struct Face {
    TPixelImage fo, fi, m2, mask;
    explicit Face(const TFaceSettings& s)
        : fo(s.Width, s.Height), fi(s.Width, s.Height), m2(s.Width, s.Height, kBlackPixel),
          mask(s.Width, s.Height, kBlackPixel)
    {
    }
    void Draw(const TFaceSettings& s)
    {
        auto o = fo.View(), i = fi.View(), m = m2.View(), k = mask.View();
        DrawFace(s, o, i, m, k);
    }
};

// A 4 x 4 glyph: transparent magenta except a red 2 x 2 block in its upper left.
TPixelImage SmallGlyph()
{
    TPixelImage g(4, 4, PixelRGB(255, 0, 255));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x) g.Pixels[y * 4 + x] = PixelRGB(200, 0, 0);
    return g;
}

}  // namespace

TEST(HemiShade, RoundsHalvesToEven)
{
    EXPECT_EQ(RoundHalfEven(14.5), 14);
    EXPECT_EQ(RoundHalfEven(15.5), 16);
    EXPECT_EQ(RoundHalfEven(-0.5), 0);
    EXPECT_EQ(RoundHalfEven(-1.5), -2);
    EXPECT_EQ(RoundHalfEven(73.9), 74);
    EXPECT_EQ(RoundHalfEven(-2.4), -2);
}

TEST(HemiShade, RingOfTheRecordingButtons)
{
    TRingLine l = RingLine(69, 32, 1, 2);
    EXPECT_DOUBLE_EQ(l.A, 33);
    EXPECT_DOUBLE_EQ(l.B, 14.5);
    EXPECT_DOUBLE_EQ(l.CX, 34);
    EXPECT_DOUBLE_EQ(l.CY, 15.5);
    EXPECT_EQ(l.S0, 2);

    TPixelImage lowered(69, 32);
    auto v = lowered.View();
    DrawRing(v, 1, 2, false);
    EXPECT_EQ(lowered.Get(1, 16), GreyPixel(130));
    EXPECT_EQ(lowered.Get(1, 15), GreyPixel(126));
    EXPECT_EQ(lowered.Get(67, 16), GreyPixel(234));
    // Lowered: dark at the upper left, bright at the lower right.
    EXPECT_LT(PixelRed(lowered.Get(15, 3)), 128);
    EXPECT_GT(PixelRed(lowered.Get(55, 28)), 200);

    TPixelImage raised(69, 32);
    auto r = raised.View();
    DrawRing(r, 1, 2, true);
    EXPECT_EQ(raised.Get(1, 16), GreyPixel(231));
    EXPECT_EQ(raised.Get(1, 15), GreyPixel(234));
    EXPECT_GT(PixelRed(raised.Get(15, 3)), 200);
    EXPECT_LT(PixelRed(raised.Get(55, 28)), 128);
    // The centre stays untouched.
    EXPECT_EQ(raised.Get(34, 16), kBlackPixel);

    // Other shapes: a round ring keeps to its band, missing its inside (4, 12) and its corner (2, 2); the left
    // end of a tall ring is shaded as the walk reaches it.
    TPixelImage round(25, 25);
    auto rv = round.View();
    DrawRing(rv, 1, 2, true);
    EXPECT_EQ(round.Get(1, 12), GreyPixel(233));
    EXPECT_EQ(round.Get(12, 1), GreyPixel(233));
    EXPECT_EQ(round.Get(4, 12), kBlackPixel);
    EXPECT_EQ(round.Get(2, 2), kBlackPixel);
    TPixelImage tall(30, 60);
    auto tv = tall.View();
    DrawRing(tv, 2, 3, false);
    EXPECT_EQ(tall.Get(5, 28), GreyPixel(118));
    EXPECT_EQ(tall.Get(2, 30), GreyPixel(133));
    EXPECT_EQ(tall.Get(6, 30), kBlackPixel);
}

TEST(HemiShade, RingOnTinyBitmapsStaysInside)
{
    // Stamps reach past every edge; nothing may be written outside the buffer.
    TPixelImage guard(8, 6, 0x123456);
    TPixelView inner = guard.View();
    inner.Bits += inner.Stride * 2 + 4 * 2;
    inner.Width = 3;
    inner.Height = 2;
    DrawRing(inner, 0, 5, true);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x)
            if (!(x >= 2 && x < 5 && y >= 2 && y < 4)) {
                EXPECT_EQ(guard.Get(x, y), 0x123456u) << x << "," << y;
            }
}

TEST(HemiShade, TealFacePixels)
{
    TFaceSettings s = TealButton();
    Face f(s);
    f.Draw(s);
    EXPECT_EQ(ToRgb(f.fo.Get(35, 16)), (Rgb{0, 202, 202}));
    EXPECT_EQ(ToRgb(f.fi.Get(35, 16)), (Rgb{0, 54, 54}));
    EXPECT_EQ(ToRgb(f.fo.Get(36, 16)), (Rgb{0, 198, 198}));
    EXPECT_EQ(ToRgb(f.fi.Get(36, 16)), (Rgb{0, 58, 58}));
    // Light from the upper left: brighter up-left than down-right when up, the reverse when down.
    EXPECT_GT(PixelGreen(f.fo.Get(20, 8)), PixelGreen(f.fo.Get(49, 24)));
    EXPECT_LT(PixelGreen(f.fi.Get(20, 8)), PixelGreen(f.fi.Get(49, 24)));
}

TEST(HemiShade, NoAttenuationGivesAFlatFace)
{
    TFaceSettings s = TealButton();
    s.AttenControl = 0;
    Face f(s);
    f.Draw(s);
    int faces = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 69; ++x) {
            if (f.fo.Get(x, y) == kBlackPixel) continue;
            ++faces;
            EXPECT_EQ(f.fo.Get(x, y), PixelRGB(0, 128, 128));
            EXPECT_EQ(f.fi.Get(x, y), PixelRGB(0, 128, 128));
        }
    EXPECT_GT(faces, 1500);
}

TEST(HemiShade, GlyphShadingTransparencyAndCells)
{
    TPixelImage glyph = SmallGlyph();
    TPixelView gv = glyph.View();
    TFaceSettings s = TealButton();
    s.Glyph = &gv;
    s.FaceShaded = false;
    s.GlyphShaded = true;
    Face f(s);
    f.Draw(s);
    // Centred: glyph pixel (gx, gy) lands on (gx + 32.5 .. , gy + 14 ..): the red block covers x 33..34, y 14..15.
    const std::uint32_t outRed = f.fo.Get(33, 14), inRed = f.fi.Get(33, 14);
    EXPECT_EQ(PixelGreen(outRed), 0);
    EXPECT_NE(outRed, PixelRGB(200, 0, 0));  // shaded glyph
    EXPECT_NE(outRed, inRed);
    // Magenta equals the bottom-left pixel: face, which is not shaded.
    EXPECT_EQ(f.fo.Get(35, 16), PixelRGB(0, 128, 128));
    EXPECT_EQ(f.fi.Get(35, 16), PixelRGB(0, 128, 128));
    EXPECT_EQ(f.fo.Get(10, 16), PixelRGB(0, 128, 128));

    // Not transparent: the magenta is glyph too.
    s.GlyphTransparent = false;
    Face opaque(s);
    opaque.Draw(s);
    EXPECT_EQ(PixelGreen(opaque.fo.Get(35, 16)), 0);
    EXPECT_EQ(PixelRed(opaque.fo.Get(35, 16)), 255);  // 255 * (1 + 0.577) clamps

    // Two cells side by side, magenta but for the first pixel of cell 1 and the first column of cell 2.
    TPixelImage strip(8, 4, PixelRGB(255, 0, 255));
    strip.Pixels[0] = PixelRGB(1, 2, 3);
    for (int y = 0; y < 4; ++y) strip.Pixels[y * 8 + 4] = PixelRGB(9, 9, 9);
    TPixelView sv = strip.View();
    s.Glyph = &sv;
    s.GlyphTransparent = true;
    s.GlyphShaded = false;
    s.NumGlyphs = 2;
    s.GlyphIndex = 1;
    Face cell1(s);
    cell1.Draw(s);
    EXPECT_EQ(cell1.fo.Get(33, 14), PixelRGB(1, 2, 3));
    EXPECT_EQ(cell1.fo.Get(37, 14), PixelRGB(0, 128, 128));  // right of the cell: face, not the next cell
    s.GlyphIndex = 2;
    Face cell2(s);
    cell2.Draw(s);
    EXPECT_EQ(cell2.fo.Get(33, 14), PixelRGB(9, 9, 9));
    EXPECT_EQ(cell2.fo.Get(34, 14), PixelRGB(0, 128, 128));
    // An index past the last cell (a layout may store one) samples nothing instead of reading past the picture.
    s.GlyphIndex = 9;
    Face beyond(s);
    beyond.Draw(s);
    EXPECT_EQ(beyond.fo.Get(33, 14), PixelRGB(0, 128, 128));
    // A count below 1 is one picture.
    s.NumGlyphs = 0;
    s.GlyphIndex = 1;
    Face zero(s);
    zero.Draw(s);
    EXPECT_EQ(zero.fo.Get(31, 14), PixelRGB(1, 2, 3));
}

TEST(HemiShade, MappedGlyphWrapsTheDome)
{
    // Every glyph pixel names its own place: red 16 * x, green 16 * y. Only the bottom-left one is transparent.
    TPixelImage glyph(16, 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) glyph.Pixels[y * 16 + x] = PixelRGB(16 * x, 16 * y, 77);
    TPixelView gv = glyph.View();
    TFaceSettings s = TealButton();
    s.Glyph = &gv;
    s.GlyphMapped = true;
    s.GlyphShaded = false;
    Face f(s);
    f.Draw(s);
    auto gx = [&](int x, int y) { return PixelRed(f.fo.Get(x, y)) / 16; };
    auto gy = [&](int x, int y) { return PixelGreen(f.fo.Get(x, y)) / 16; };
    // The centre shows the middle of the picture; (20, 16) lies at atan2(1 - 14 / 34.5, 14 / 34.5) * 15 / pi.
    EXPECT_EQ(f.fo.Get(35, 16), PixelRGB(16 * 7, 16 * 7, 77));
    EXPECT_EQ(f.fo.Get(20, 16), PixelRGB(16 * 4, 16 * 7, 77));
    // Left to right and top to bottom the picture runs the same way, from its first column and row at the
    // rim to the one before its last (the dome's edge never reaches the full half turn).
    int lastX = 0, lastY = 0;
    for (int x = 0; x <= 68; ++x) {
        ASSERT_EQ(PixelBlue(f.fo.Get(x, 16)), 77) << x;  // glyph everywhere on the face
        EXPECT_GE(gx(x, 16), lastX) << x;
        lastX = gx(x, 16);
    }
    for (int y = 1; y <= 31; ++y) {
        EXPECT_GE(gy(35, y), lastY) << y;
        lastY = gy(35, y);
    }
    EXPECT_EQ(gx(0, 16), 0);
    EXPECT_EQ(lastX, 14);
    EXPECT_EQ(gy(35, 1), 0);
    EXPECT_EQ(lastY, 14);
    // Both images show the same glyph pixel, unshaded.
    EXPECT_EQ(f.fi.Get(20, 16), f.fo.Get(20, 16));
}

TEST(HemiShade, TransparentFaceOpensTheMask)
{
    TPixelImage glyph = SmallGlyph();
    TPixelView gv = glyph.View();
    TFaceSettings s = TealButton();
    s.FaceTransparent = true;
    s.Glyph = &gv;
    Face f(s);
    // Outside the face mask nothing opens.
    for (int y = 0; y < 32; ++y) f.m2.Pixels[y * 69 + 10] = kWhitePixel;
    f.Draw(s);
    EXPECT_EQ(f.mask.Get(35, 16), kWhitePixel);
    EXPECT_EQ(f.fo.Get(35, 16), kBlackPixel);
    EXPECT_EQ(f.mask.Get(10, 16), kBlackPixel);
    // Glyph pixels stay opaque and drawn.
    EXPECT_EQ(f.mask.Get(33, 14), kBlackPixel);
    EXPECT_NE(f.fo.Get(33, 14), kBlackPixel);
}

TEST(HemiShade, BothBevelsInsetTheFace)
{
    TFaceSettings one = TealButton();
    TFaceSettings two = TealButton();
    two.RingCount = 2;
    Face a(one), b(two);
    a.Draw(one);
    b.Draw(two);
    // Face width 67 against 65: one column less at each end of the middle row.
    EXPECT_NE(a.fo.Get(0, 16), kBlackPixel);
    EXPECT_EQ(b.fo.Get(0, 16), kBlackPixel);
    EXPECT_NE(b.fo.Get(1, 16), kBlackPixel);
}

TEST(HemiShade, FaceHitTest)
{
    // Both bevels of width 2 on 69 x 32: half-axes 30.5 and 12.
    EXPECT_FALSE(FaceHit(69, 32, 4, 3, 16));
    EXPECT_TRUE(FaceHit(69, 32, 4, 4, 16));
    EXPECT_TRUE(FaceHit(69, 32, 4, 34, 16));
    EXPECT_FALSE(FaceHit(69, 32, 4, 34, 4));
    EXPECT_TRUE(FaceHit(69, 32, 4, 34, 5));
    // One bevel: the face reaches 2 pixels further out.
    EXPECT_TRUE(FaceHit(69, 32, 2, 2, 16));
    // Half-size equal to (or below) the bevels: no face at all, and no division by zero.
    EXPECT_FALSE(FaceHit(8, 8, 4, 4, 4));
    EXPECT_FALSE(FaceHit(8, 20, 4, 4, 10));
    EXPECT_FALSE(FaceHit(6, 6, 4, 3, 3));
}

TEST(HemiShade, StoredImagesAre555BitmapFiles)
{
    TPixelImage img(69, 32, kWhitePixel);
    img.Pixels[16 * 69 + 35] = PixelRGB(0, 202, 202);
    img.Pixels[0] = PixelRGB(255, 8, 7);
    std::vector<std::uint8_t> file = EncodeBitmap555(img.View());
    ASSERT_EQ(file.size(), 4546u);
    TBitmapFileImage read = ReadBitmapFile(file.data(), file.size());
    EXPECT_EQ(read.Width, 69);
    EXPECT_EQ(read.Height, 32);
    EXPECT_EQ(read.BitCount, 16);
    EXPECT_TRUE(read.BitFields);
    EXPECT_EQ(read.RedMask, 0x7C00u);
    EXPECT_EQ(read.GreenMask, 0x03E0u);
    EXPECT_EQ(read.BlueMask, 0x001Fu);
    auto px = [&](int x, int y) {
        const std::uint8_t* row = read.Bits.data() + (31 - y) * read.Stride();
        return row[2 * x] | (row[2 * x + 1] << 8);
    };
    EXPECT_EQ(px(35, 16), (25 << 5) | 25);
    EXPECT_EQ(px(0, 0), (31 << 10) | (1 << 5) | 0);
    EXPECT_EQ(px(1, 0), 0x7FFF);
}
