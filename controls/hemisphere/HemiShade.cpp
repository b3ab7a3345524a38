#include "controls/hemisphere/HemiShade.h"

#include <algorithm>
#include <cmath>

#include "framework/BitmapFile.h"

namespace hemi {

namespace {

constexpr double kPi = 3.14159265358979323846;

int Clamp255(int v) { return std::clamp(v, 0, 255); }

// Floor and Ceil for values well inside the int range, without library calls or rounding-mode changes:
// they run once or more for every pixel.
inline int FloorInt(double v)
{
    const int i = static_cast<int>(v);
    return v < i ? i - 1 : i;
}
inline int CeilInt(double v)
{
    const int i = static_cast<int>(v);
    return v > i ? i + 1 : i;
}

std::uint32_t ShadePixel(std::uint32_t base, double f)
{
    return PixelRGB(ShadeChannel(PixelRed(base), f), ShadeChannel(PixelGreen(base), f),
                    ShadeChannel(PixelBlue(base), f));
}

}  // namespace

int RoundHalfEven(double v)
{
    const int f = FloorInt(v);
    const double d = v - f;
    return (d > 0.5 || (d == 0.5 && (f & 1))) ? f + 1 : f;
}

TPixelImage::TPixelImage(int width, int height, std::uint32_t fill)
    : Pixels(static_cast<std::size_t>(std::max(width, 0)) * static_cast<std::size_t>(std::max(height, 0)), fill),
      Width(width), Height(height)
{
}

TPixelView TPixelImage::View()
{
    TPixelView v;
    v.Bits = reinterpret_cast<std::uint8_t*>(Pixels.data());
    v.Stride = static_cast<std::ptrdiff_t>(Width) * 4;
    v.Width = Width;
    v.Height = Height;
    return v;
}

int ShadeChannel(int v, double f) { return Clamp255(RoundHalfEven(v * f) + v); }

int RingGrey(double A, double B, double C) { return Clamp255(RoundHalfEven(128 * Light(A, B, C)) + 128); }

TRingLine RingLine(int width, int height, int inset, int bevelWidth)
{
    TRingLine l;
    l.A = (width - 2.0 * inset - 1) / 2;
    l.B = (height - 2.0 * inset - 1) / 2;
    l.CX = inset + l.A;
    l.CY = inset + l.B;
    l.S0 = (bevelWidth + 1) / 2 + 1;  // Ceil(bw / 2) + 1 for the positive widths the button accepts
    return l;
}

void DrawRing(TPixelView& target, int inset, int bevelWidth, bool raised)
{
    const TRingLine l = RingLine(target.Width, target.Height, inset, bevelWidth);
    // Offsets (i, j) are taken from the ellipse's centre with j counted upwards; each is mirrored into the
    // four quadrants. The normal points away from the centre and 45 degrees toward the viewer. Stamps
    // overlap heavily, so each offset's four greys are computed once; the writes keep their order.
    struct Shade {
        bool done = false;
        std::uint32_t grey[4] = {};
    };
    const int iMin = -l.S0 - 1, jMin = -l.S0 - 1;
    const int iCount = CeilInt(l.A) + 2 * l.S0 + 4, jCount = CeilInt(l.B) + 2 * l.S0 + 4;
    std::vector<Shade> cache(static_cast<std::size_t>(std::max(iCount, 0)) * static_cast<std::size_t>(std::max(jCount, 0)));
    auto compute = [&](int i, int j, Shade& out) {
        const double rho = std::sqrt(double(i) * i + double(j) * j);
        const double s = std::sqrt(rho * rho + double(i) * i + double(j) * j);
        double nx = -i / s, ny = j / s;
        const double nz = rho / s;
        if (!raised) {
            nx = -nx;
            ny = -ny;
        }
        out.grey[0] = GreyPixel(RingGrey(-nx, -ny, nz));
        out.grey[1] = GreyPixel(RingGrey(-nx, ny, nz));
        out.grey[2] = GreyPixel(RingGrey(nx, ny, nz));
        out.grey[3] = GreyPixel(RingGrey(nx, -ny, nz));
        out.done = true;
    };
    auto shade = [&](int i, int j) {
        if (i == 0 && j == 0) return;
        Shade local;
        Shade* sh = &local;
        const int ci = i - iMin, cj = j - jMin;
        if (ci >= 0 && cj >= 0 && ci < iCount && cj < jCount) sh = &cache[static_cast<std::size_t>(cj) * iCount + ci];
        if (!sh->done) compute(i, j, *sh);
        const int right = CeilInt(l.CX + i), left = FloorInt(l.CX - i);
        const int up = CeilInt(l.CY - j), down = FloorInt(l.CY + j);
        target.SetClipped(right, up, sh->grey[0]);
        target.SetClipped(right, down, sh->grey[1]);
        target.SetClipped(left, down, sh->grey[2]);
        target.SetClipped(left, up, sh->grey[3]);
    };
    WalkEllipseQuadrant(l.A, l.B, [&](int x, int y) {
        for (int j = y - l.S0; j <= y + l.S0; ++j)
            for (int i = x - l.S0; i <= x + l.S0; ++i) shade(i, j);
    });
}

void DrawFace(const TFaceSettings& s, TPixelView& fo, TPixelView& fi, const TPixelView& m2, TPixelView& mask)
{
    // The glyph cell that is shown, and the colour that counts as transparent (the bottom-left pixel).
    const TPixelView* glyph = (s.Glyph && s.Glyph->Width > 0 && s.Glyph->Height > 0) ? s.Glyph : nullptr;
    std::uint32_t transparent = 0;
    int gw = 0, gh = 0, gx0 = 0;
    if (glyph) {
        transparent = glyph->Get(0, glyph->Height - 1);
        gh = glyph->Height;
        const int cells = std::max(s.NumGlyphs, 1);  // a count below 1 means one picture
        if (cells == 1) {
            gw = glyph->Width;
        } else {
            gw = glyph->Width / cells;
            gx0 = (s.GlyphIndex - 1) * gw;
        }
    }
    const std::uint32_t face = PixelRGB(s.FaceRed, s.FaceGreen, s.FaceBlue);
    const double hw = s.Width / 2.0, hh = s.Height / 2.0;
    const int fw = s.Width - s.BevelWidth * s.RingCount;
    const int fh = s.Height - s.BevelWidth * s.RingCount;

    auto facePixel = [&](int X, int Y, double A, double B, double C) {
        if (!fo.Contains(X, Y) || !fi.Contains(X, Y)) return;
        bool isGlyph = false;
        std::uint32_t base = face;
        if (glyph) {
            int gx, gy;
            if (s.GlyphMapped) {
                gx = FloorInt(std::atan2(C, -A) * (gw - 1) / kPi);
                gy = FloorInt(std::atan2(C, -B) * (gh - 1) / kPi);
            } else {
                gx = FloorInt(gw / 2.0 + X - hw);
                gy = FloorInt(gh / 2.0 + Y - hh);
            }
            // A cell index beyond the picture (possible while a layout loads) samples nothing.
            if (gx >= 0 && gx < gw && gy >= 0 && gy < gh && glyph->Contains(gx0 + gx, gy)) {
                const std::uint32_t c = glyph->Get(gx0 + gx, gy);
                if (!s.GlyphTransparent || c != transparent) {
                    isGlyph = true;
                    base = c;
                }
            }
        }
        if (!isGlyph && s.FaceTransparent) {
            if (m2.Contains(X, Y) && m2.Get(X, Y) != kWhitePixel) mask.SetClipped(X, Y, kWhitePixel);
            return;
        }
        if ((!isGlyph && s.FaceShaded) || (isGlyph && s.GlyphShaded)) {
            const double f = Light(A, B, C) * s.AttenControl;
            fo.Set(X, Y, ShadePixel(base, f));
            fi.Set(X, Y, ShadePixel(base, -f));
        } else {
            fo.Set(X, Y, base);
            fi.Set(X, Y, base);
        }
    };

    const int rows = FloorInt(fh / 2.0);
    for (int j = 0; j <= rows; ++j) {
        const double ny = j / hh;
        const int yTop = FloorInt(hh - j), yBot = CeilInt(hh + j);
        const int n = CeilInt(std::sqrt(std::max(0.0, 1 - ny * ny)) * fw / 2);
        if (n <= 1) continue;
        for (int i = 0; i <= n; ++i) {
            const double nx = i / hw;
            const double nz = 1 - std::sqrt(nx * nx + ny * ny);
            const int xL = FloorInt(hw - i), xR = CeilInt(hw + i);
            facePixel(xR, yTop, nx, -ny, nz);
            facePixel(xR, yBot, nx, ny, nz);
            facePixel(xL, yBot, -nx, ny, nz);
            facePixel(xL, yTop, -nx, -ny, nz);
        }
    }
}

bool FaceHit(int width, int height, int bevelTotal, int x, int y)
{
    const double cx = width / 2.0, cy = height / 2.0;
    const double rx = cx - bevelTotal, ry = cy - bevelTotal;
    if (rx <= 0 || ry <= 0) return false;
    const double dx = (x - cx) / rx, dy = (y - cy) / ry;
    return dx * dx + dy * dy <= 1;
}

std::vector<std::uint8_t> EncodeBitmap555(const TPixelView& picture)
{
    TBitmapFileImage image;
    image.Width = picture.Width;
    image.Height = picture.Height;
    image.BitCount = 16;
    image.BitFields = true;
    image.RedMask = 0x7C00;
    image.GreenMask = 0x03E0;
    image.BlueMask = 0x001F;
    const int stride = image.Stride();
    image.Bits.assign(static_cast<std::size_t>(stride) * picture.Height, 0);
    for (int y = 0; y < picture.Height; ++y) {
        std::uint8_t* row = image.Bits.data() + static_cast<std::size_t>(picture.Height - 1 - y) * stride;
        for (int x = 0; x < picture.Width; ++x) {
            const std::uint32_t p = picture.Get(x, y);
            const unsigned v = ((PixelRed(p) >> 3) << 10) | ((PixelGreen(p) >> 3) << 5) | (PixelBlue(p) >> 3);
            row[2 * x] = static_cast<std::uint8_t>(v);
            row[2 * x + 1] = static_cast<std::uint8_t>(v >> 8);
        }
    }
    return WriteBitmapFile(image);
}

}  // namespace hemi
