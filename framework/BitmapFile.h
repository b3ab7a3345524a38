// Complete bitmap files (BITMAPFILEHEADER + BITMAPINFOHEADER + masks/palette + rows), read and written
// without the platform, so the same code checks stored images on any host.
#pragma once

#include <cstdint>
#include <vector>

struct TBitmapFileImage {
    int Width = 0;
    int Height = 0;         // always positive; rows are kept bottom-up as in the file
    int BitCount = 24;      // 1, 4, 8, 16, 24 or 32
    bool BitFields = false; // 16 or 32-bit with explicit colour masks
    std::uint32_t RedMask = 0, GreenMask = 0, BlueMask = 0;
    std::vector<std::uint32_t> Palette;  // 0x00RRGGBB quads as stored (blue in the low byte)
    std::vector<std::uint8_t> Bits;      // Height rows of StrideFor(Width, BitCount) bytes, bottom row first
    int XPelsPerMeter = 0, YPelsPerMeter = 0;

    static int StrideFor(int width, int bitCount) { return ((width * bitCount + 31) / 32) * 4; }
    int Stride() const { return StrideFor(Width, BitCount); }
};

// Raises EInvalidGraphic ("Bitmap image is not valid") for anything it cannot read.
TBitmapFileImage ReadBitmapFile(const std::uint8_t* data, std::size_t size);
std::vector<std::uint8_t> WriteBitmapFile(const TBitmapFileImage& image);

// A 5-6-5 image as a 24-bit one (each channel widened by repeating its top bits, so full scale stays full).
TBitmapFileImage Convert565To24(const TBitmapFileImage& image);
// One 5-5-5 pixel to a colour 0x00BBGGRR, widened the same way, and a colour to the nearest 5-5-5 pixel below.
std::uint32_t Pixel555ToColor(unsigned pixel);
unsigned ColorToPixel555(std::uint32_t color);
