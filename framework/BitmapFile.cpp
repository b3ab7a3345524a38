#include "framework/BitmapFile.h"

#include <cstring>

#include "framework/SysUtils.h"

namespace {

std::uint32_t U32(const std::uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t(p[3]) << 24); }
std::uint16_t U16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
void Put32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void Put16(std::vector<std::uint8_t>& out, std::uint16_t v)
{
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

[[noreturn]] void Invalid() { throw EInvalidGraphic("Bitmap image is not valid"); }

}  // namespace

TBitmapFileImage ReadBitmapFile(const std::uint8_t* data, std::size_t size)
{
    // Offsets and sizes from the file are worked out in 64 bits: in 32 bits (size_t on the program's target)
    // a crafted header wraps them around and slips past the bounds checks.
    const std::uint64_t fileSize = size;
    if (fileSize < 14 + 40 || data[0] != 'B' || data[1] != 'M') Invalid();
    const std::uint8_t* info = data + 14;
    const std::uint64_t headerSize = U32(info);
    if (headerSize < 40 || 14 + headerSize > fileSize) Invalid();
    std::int64_t width = static_cast<std::int32_t>(U32(info + 4));
    std::int64_t height = static_cast<std::int32_t>(U32(info + 8));
    int bitCount = U16(info + 14);
    std::uint32_t compression = U32(info + 16);
    std::uint64_t colorsUsed = U32(info + 32);
    bool topDown = height < 0;
    if (topDown) height = -height;
    if (width <= 0 || height <= 0 || width > 32768 || height > 32768) Invalid();
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32)
        Invalid();

    TBitmapFileImage image;
    image.Width = static_cast<int>(width);
    image.Height = static_cast<int>(height);
    image.BitCount = bitCount;
    image.XPelsPerMeter = static_cast<int>(U32(info + 24));
    image.YPelsPerMeter = static_cast<int>(U32(info + 28));
    std::uint64_t pos = 14 + headerSize;
    if (compression == 3) {  // BI_BITFIELDS
        if (bitCount != 16 && bitCount != 32) Invalid();
        if (headerSize == 40) {
            if (pos + 12 > fileSize) Invalid();
            image.RedMask = U32(data + pos);
            image.GreenMask = U32(data + pos + 4);
            image.BlueMask = U32(data + pos + 8);
            pos += 12;
        } else {
            // Longer headers hold the masks themselves, after the first 40 bytes.
            if (headerSize < 40 + 12) Invalid();
            image.RedMask = U32(info + 40);
            image.GreenMask = U32(info + 44);
            image.BlueMask = U32(info + 48);
        }
        image.BitFields = true;
    } else if (compression != 0) {
        Invalid();  // run-length compressed files are not used by the program
    }
    if (bitCount <= 8) {
        std::uint64_t colors = colorsUsed ? colorsUsed : (std::uint64_t(1) << bitCount);
        if (colors > (std::uint64_t(1) << bitCount)) Invalid();
        if (pos + colors * 4 > fileSize) Invalid();
        for (std::uint64_t i = 0; i < colors; ++i) image.Palette.push_back(U32(data + pos + 4 * i));
        pos += colors * 4;
    }
    const std::uint64_t offBits = U32(data + 10);
    if (offBits >= pos && offBits < fileSize) pos = offBits;
    const std::uint64_t stride = static_cast<std::uint64_t>(image.Stride());
    const std::uint64_t need = stride * static_cast<std::uint64_t>(height);
    if (pos + need > fileSize) Invalid();
    // Within the file from here on, so every figure fits the platform's sizes.
    const std::uint8_t* rows = data + static_cast<std::size_t>(pos);
    const std::size_t rowBytes = static_cast<std::size_t>(stride);
    image.Bits.resize(static_cast<std::size_t>(need));
    if (!topDown) {
        std::memcpy(image.Bits.data(), rows, image.Bits.size());
    } else {
        for (std::size_t y = 0; y < static_cast<std::size_t>(height); ++y)
            std::memcpy(image.Bits.data() + (static_cast<std::size_t>(height) - 1 - y) * rowBytes, rows + y * rowBytes,
                        rowBytes);
    }
    return image;
}

std::vector<std::uint8_t> WriteBitmapFile(const TBitmapFileImage& image)
{
    std::uint32_t masks = image.BitFields ? 12 : 0;
    std::uint32_t palette = static_cast<std::uint32_t>(image.Palette.size() * 4);
    std::uint32_t offBits = 14 + 40 + masks + palette;
    std::uint32_t imageSize = static_cast<std::uint32_t>(image.Stride()) * static_cast<std::uint32_t>(image.Height);
    std::vector<std::uint8_t> out;
    out.reserve(offBits + imageSize);
    out.push_back('B');
    out.push_back('M');
    Put32(out, offBits + imageSize);
    Put32(out, 0);
    Put32(out, offBits);
    Put32(out, 40);
    Put32(out, static_cast<std::uint32_t>(image.Width));
    Put32(out, static_cast<std::uint32_t>(image.Height));
    Put16(out, 1);
    Put16(out, static_cast<std::uint16_t>(image.BitCount));
    Put32(out, image.BitFields ? 3 : 0);
    Put32(out, imageSize);
    Put32(out, static_cast<std::uint32_t>(image.XPelsPerMeter));
    Put32(out, static_cast<std::uint32_t>(image.YPelsPerMeter));
    Put32(out, static_cast<std::uint32_t>(image.Palette.size()));
    Put32(out, 0);
    if (image.BitFields) {
        Put32(out, image.RedMask);
        Put32(out, image.GreenMask);
        Put32(out, image.BlueMask);
    }
    for (std::uint32_t quad : image.Palette) Put32(out, quad);
    out.insert(out.end(), image.Bits.begin(), image.Bits.end());
    if (out.size() < offBits + imageSize) out.resize(offBits + imageSize, 0);
    return out;
}

TBitmapFileImage Convert565To24(const TBitmapFileImage& image)
{
    TBitmapFileImage out = image;
    out.BitCount = 24;
    out.BitFields = false;
    out.Bits.assign(static_cast<std::size_t>(out.Stride()) * image.Height, 0);
    for (int y = 0; y < image.Height; ++y)
        for (int x = 0; x < image.Width; ++x) {
            const std::uint8_t* s = image.Bits.data() + static_cast<std::size_t>(y) * image.Stride() + 2 * x;
            unsigned v = s[0] | (s[1] << 8);
            std::uint8_t* d = out.Bits.data() + static_cast<std::size_t>(y) * out.Stride() + 3 * x;
            d[0] = static_cast<std::uint8_t>(((v & 31) << 3) | ((v & 31) >> 2));
            d[1] = static_cast<std::uint8_t>((((v >> 5) & 63) << 2) | (((v >> 5) & 63) >> 4));
            d[2] = static_cast<std::uint8_t>((((v >> 11) & 31) << 3) | (((v >> 11) & 31) >> 2));
        }
    return out;
}

std::uint32_t Pixel555ToColor(unsigned pixel)
{
    auto expand = [](unsigned c) { return (c << 3) | (c >> 2); };
    return expand((pixel >> 10) & 31) | (expand((pixel >> 5) & 31) << 8) | (expand(pixel & 31) << 16);
}

unsigned ColorToPixel555(std::uint32_t color)
{
    unsigned r = color & 0xFF, g = (color >> 8) & 0xFF, b = (color >> 16) & 0xFF;
    return ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
}
