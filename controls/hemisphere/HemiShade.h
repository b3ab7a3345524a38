// Per-pixel work of the hemisphere button's renderer: ring and dome shading, the face hit test and the
// 16-bit storage format of its images. Free of windows.h: it works on plain 32-bit pixel buffers, which on
// Windows are the DIB sections of the working bitmaps themselves.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace hemi {

// Light from the upper left and the front: (-k, -k, +k).
constexpr double kLight = 0.5773502692;

// Nearest integer, halves to the even neighbour.
int RoundHalfEven(double v);

// Pixels are 0x00RRGGBB, the order a 32-bit DIB keeps them in; the top byte is ignored on reading.
inline std::uint32_t PixelRGB(int r, int g, int b)
{
    return (static_cast<std::uint32_t>(r) << 16) | (static_cast<std::uint32_t>(g) << 8) | static_cast<std::uint32_t>(b);
}
inline std::uint32_t GreyPixel(int v) { return PixelRGB(v, v, v); }
inline int PixelRed(std::uint32_t p) { return (p >> 16) & 0xFF; }
inline int PixelGreen(std::uint32_t p) { return (p >> 8) & 0xFF; }
inline int PixelBlue(std::uint32_t p) { return p & 0xFF; }
constexpr std::uint32_t kWhitePixel = 0xFFFFFF;
constexpr std::uint32_t kBlackPixel = 0;

// A view of 32-bit pixels: row 0 is the top row; Stride may be negative (bottom-up DIBs).
struct TPixelView {
    std::uint8_t* Bits = nullptr;
    std::ptrdiff_t Stride = 0;
    int Width = 0, Height = 0;

    bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < Width && y < Height; }
    std::uint32_t Get(int x, int y) const
    {
        return *reinterpret_cast<const std::uint32_t*>(Bits + y * Stride + 4 * static_cast<std::ptrdiff_t>(x)) &
               0xFFFFFF;
    }
    void Set(int x, int y, std::uint32_t p)
    {
        *reinterpret_cast<std::uint32_t*>(Bits + y * Stride + 4 * static_cast<std::ptrdiff_t>(x)) = p;
    }
    // Writes only inside the buffer.
    void SetClipped(int x, int y, std::uint32_t p)
    {
        if (Contains(x, y)) Set(x, y, p);
    }
};

// An owned buffer, for tests and for work that needs no GDI.
struct TPixelImage {
    TPixelImage() = default;
    TPixelImage(int width, int height, std::uint32_t fill = kBlackPixel);
    std::vector<std::uint32_t> Pixels;
    int Width = 0, Height = 0;
    TPixelView View();
    std::uint32_t Get(int x, int y) const { return Pixels[static_cast<std::size_t>(y) * Width + x] & 0xFFFFFF; }
};

// The light falling on a surface with normal (A, B, C).
inline double Light(double A, double B, double C) { return -kLight * A - kLight * B + kLight * C; }
// A colour channel v shaded by f: Round(v * f) + v, clamped to 0..255.
int ShadeChannel(int v, double f);
// The grey of a ring pixel with normal (A, B, C).
int RingGrey(double A, double B, double C);

// Centre line of a bevel ring drawn at inset r, and the half-size of the square stamped along it.
struct TRingLine {
    double A = 0, B = 0;    // semi-axes
    double CX = 0, CY = 0;  // centre
    int S0 = 0;             // stamp half-size
};
TRingLine RingLine(int width, int height, int inset, int bevelWidth);

// Calls stamp(x, y) for each point of one quadrant of the ellipse with semi-axes a, b (midpoint walk in
// real arithmetic, points rounded), the start point included.
template <class F> void WalkEllipseQuadrant(double a, double b, F&& stamp)
{
    double x = 0, y = b;
    const double a2 = a * a, b2 = b * b;
    double d1 = b2 - a2 * b + a2 / 4;
    stamp(RoundHalfEven(x), RoundHalfEven(y));
    while (b2 * (x + 1) < a2 * (y - 0.5)) {
        if (d1 < 0) {
            d1 += b2 * (2 * x + 3);
        } else {
            d1 += b2 * (2 * x + 3) + a2 * (2 - 2 * y);
            y -= 1;
        }
        x += 1;
        stamp(RoundHalfEven(x), RoundHalfEven(y));
    }
    double d2 = b2 * (x + 0.5) * (x + 0.5) + a2 * (y - 1) * (y - 1) - a2 * b2;
    while (y > 0) {
        if (d2 < 0) {
            d2 += b2 * (2 * x + 2) + a2 * (3 - 2 * y);
            x += 1;
        } else {
            d2 += a2 * (3 - 2 * y);
        }
        y -= 1;
        stamp(RoundHalfEven(x), RoundHalfEven(y));
    }
}

// Shades a torus-like ring of grey pixels along the centre line at the given inset into target
// (every pixel it reaches is replaced; the rest is left alone).
void DrawRing(TPixelView& target, int inset, int bevelWidth, bool raised);

// What the dome face is drawn from.
struct TFaceSettings {
    int Width = 0, Height = 0;
    int BevelWidth = 0;
    int RingCount = 0;
    int FaceRed = 128, FaceGreen = 128, FaceBlue = 128;
    double AttenControl = 1.0;
    bool FaceShaded = true;
    bool FaceTransparent = false;
    bool GlyphShaded = true;
    bool GlyphMapped = false;
    bool GlyphTransparent = true;
    const TPixelView* Glyph = nullptr;  // none unless a glyph is valid
    int NumGlyphs = 1;
    int GlyphIndex = 1;
};

// Computes every face pixel into fo (button up) and fi (button down). m2 is the face mask (black inside the
// bevels); mask gets white where a transparent face lets the background through.
void DrawFace(const TFaceSettings& s, TPixelView& fo, TPixelView& fi, const TPixelView& m2, TPixelView& mask);

// Whether (x, y) lies on the face of a width x height button whose bevels take bevelTotal pixels. A button
// whose half-size does not exceed the bevels has no face.
bool FaceHit(int width, int height, int bevelTotal, int x, int y);

// The complete bitmap file of a picture in 16 bits a pixel with 5-5-5 bit fields, the images' stored form.
std::vector<std::uint8_t> EncodeBitmap555(const TPixelView& picture);

}  // namespace hemi
