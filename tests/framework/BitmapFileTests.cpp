#include <gtest/gtest.h>

#include <cstring>

#include "framework/BitmapFile.h"
#include "framework/SysUtils.h"

TEST(BitmapFile, SixteenBitBitFieldsFileHasTheExpectedSizeAndRoundTrips)
{
    TBitmapFileImage image;
    image.Width = 69;
    image.Height = 32;
    image.BitCount = 16;
    image.BitFields = true;
    image.RedMask = 0x7C00;
    image.GreenMask = 0x03E0;
    image.BlueMask = 0x001F;
    image.Bits.assign(static_cast<std::size_t>(image.Stride()) * image.Height, 0);
    for (std::size_t i = 0; i < image.Bits.size(); ++i) image.Bits[i] = static_cast<std::uint8_t>(i * 7);
    std::vector<std::uint8_t> file = WriteBitmapFile(image);
    EXPECT_EQ(file.size(), 4546u);
    TBitmapFileImage back = ReadBitmapFile(file.data(), file.size());
    EXPECT_EQ(back.Width, 69);
    EXPECT_EQ(back.Height, 32);
    EXPECT_TRUE(back.BitFields);
    EXPECT_EQ(back.GreenMask, 0x03E0u);
    EXPECT_EQ(back.Bits, image.Bits);
    EXPECT_EQ(WriteBitmapFile(back), file);
}

TEST(BitmapFile, PaletteImagesKeepTheirPalette)
{
    TBitmapFileImage image;
    image.Width = 3;
    image.Height = 2;
    image.BitCount = 4;
    image.Palette = {0x000000, 0xFF0000, 0x00FF00};
    image.Bits = {0x12, 0x00, 0x00, 0x00, 0x21, 0x00, 0x00, 0x00};
    auto file = WriteBitmapFile(image);
    auto back = ReadBitmapFile(file.data(), file.size());
    EXPECT_EQ(back.Palette, image.Palette);
    EXPECT_EQ(back.Bits, image.Bits);
}

TEST(BitmapFile, TopDownFilesAreTurnedBottomUp)
{
    TBitmapFileImage image;
    image.Width = 1;
    image.Height = 2;
    image.Bits = {1, 2, 3, 0, 4, 5, 6, 0};
    auto file = WriteBitmapFile(image);
    // Make the height negative: the same rows now mean top row first.
    int32_t negative = -2;
    std::memcpy(file.data() + 22, &negative, 4);
    auto back = ReadBitmapFile(file.data(), file.size());
    EXPECT_EQ(back.Bits, (std::vector<std::uint8_t>{4, 5, 6, 0, 1, 2, 3, 0}));
}

TEST(BitmapFile, DamagedFilesAreRefusedNotOverread)
{
    TBitmapFileImage image;
    image.Width = 4;
    image.Height = 4;
    image.Bits.assign(static_cast<std::size_t>(image.Stride()) * 4, 0xAB);
    auto file = WriteBitmapFile(image);
    for (std::size_t cut : {0u, 10u, 20u, 54u, static_cast<unsigned>(file.size() - 1)})
        EXPECT_THROW(ReadBitmapFile(file.data(), cut), EInvalidGraphic) << cut;
    auto huge = file;
    int32_t width = 100000;
    std::memcpy(huge.data() + 18, &width, 4);
    EXPECT_THROW(ReadBitmapFile(huge.data(), huge.size()), EInvalidGraphic);
    auto rle = file;
    rle[30] = 1;  // compression
    EXPECT_THROW(ReadBitmapFile(rle.data(), rle.size()), EInvalidGraphic);
    auto palette = file;
    palette[28] = 8;            // 8 bits per pixel
    palette[46] = 0xFF;         // claims 65535 colours
    palette[47] = 0xFF;
    EXPECT_THROW(ReadBitmapFile(palette.data(), palette.size()), EInvalidGraphic);
}

namespace {
void Put32(std::vector<std::uint8_t>& f, std::size_t at, std::uint32_t v) { std::memcpy(f.data() + at, &v, 4); }
void Put16(std::vector<std::uint8_t>& f, std::size_t at, std::uint16_t v) { std::memcpy(f.data() + at, &v, 2); }
}  // namespace

TEST(BitmapFile, HeadersOfOtherSizesPalettesByBitCountAndThePixelOffset)
{
    // A 108-byte header carries the colour masks itself; a gap before the pixels is skipped by the offset.
    std::vector<std::uint8_t> v4(14 + 108 + 6 + 4, 0);
    v4[0] = 'B';
    v4[1] = 'M';
    Put32(v4, 10, 14 + 108 + 6);
    Put32(v4, 14, 108);
    Put32(v4, 18, 1);
    Put32(v4, 22, 1);
    Put16(v4, 28, 32);
    Put32(v4, 30, 3);
    Put32(v4, 38, 2835);
    Put32(v4, 42, 1417);
    Put32(v4, 54, 0xFF0000);
    Put32(v4, 58, 0x00FF00);
    Put32(v4, 62, 0x0000FF);
    Put32(v4, 14 + 108 + 6, 0x11223344);
    TBitmapFileImage a = ReadBitmapFile(v4.data(), v4.size());
    EXPECT_TRUE(a.BitFields);
    EXPECT_EQ(a.RedMask, 0xFF0000u);
    EXPECT_EQ(a.GreenMask, 0x00FF00u);
    EXPECT_EQ(a.BlueMask, 0x0000FFu);
    EXPECT_EQ(a.XPelsPerMeter, 2835);
    EXPECT_EQ(a.YPelsPerMeter, 1417);
    EXPECT_EQ(a.Bits, (std::vector<std::uint8_t>{0x44, 0x33, 0x22, 0x11}));

    // No colour count: a full palette for the bit count; an offset pointing into the palette is not believed.
    TBitmapFileImage mono;
    mono.Width = 9;
    mono.Height = 1;
    mono.BitCount = 1;
    mono.Palette = {0x000000, 0xFFFFFF};
    mono.Bits = {0x80, 0x80, 0, 0};
    auto file = WriteBitmapFile(mono);
    EXPECT_EQ(file.size(), 14u + 40 + 8 + 4);
    Put32(file, 46, 0);
    Put32(file, 10, 20);
    TBitmapFileImage back = ReadBitmapFile(file.data(), file.size());
    EXPECT_EQ(back.Palette, mono.Palette);
    EXPECT_EQ(back.Bits, mono.Bits);
    EXPECT_EQ(back.Stride(), 4);
    // An offset at or past the end is not believed either.
    Put32(file, 10, static_cast<std::uint32_t>(file.size()));
    EXPECT_EQ(ReadBitmapFile(file.data(), file.size()).Bits, mono.Bits);
}

TEST(BitmapFile, WritingFillsTheHeaderAndPadsMissingRows)
{
    TBitmapFileImage image;
    image.Width = 2;
    image.Height = 3;
    image.BitCount = 24;
    image.XPelsPerMeter = 3780;
    image.Bits = {1, 2, 3};  // short: the rest of the rows are zero
    auto file = WriteBitmapFile(image);
    ASSERT_EQ(file.size(), 14u + 40 + 3 * 8);
    auto u32 = [&](std::size_t at) {
        std::uint32_t v;
        std::memcpy(&v, file.data() + at, 4);
        return v;
    };
    EXPECT_EQ(u32(2), file.size());
    EXPECT_EQ(u32(10), 54u);
    EXPECT_EQ(u32(14), 40u);
    EXPECT_EQ(u32(22), 3u);
    EXPECT_EQ(file[26], 1);  // planes
    EXPECT_EQ(file[28], 24);
    EXPECT_EQ(u32(30), 0u);
    EXPECT_EQ(u32(34), 24u);
    EXPECT_EQ(u32(38), 3780u);
    EXPECT_EQ(u32(46), 0u);
    EXPECT_EQ(file[54], 1);
    EXPECT_EQ(file[57], 0);
    EXPECT_EQ(file.back(), 0);
}

TEST(BitmapFile, ImpossibleHeadersAreRefused)
{
    TBitmapFileImage image;
    image.Width = 2;
    image.Height = 2;
    image.Bits.assign(16, 0);
    const auto good = WriteBitmapFile(image);
    auto refused = [&](std::size_t at, std::uint32_t value, int bytes = 4) {
        auto f = good;
        if (bytes == 4) Put32(f, at, value);
        else if (bytes == 2) Put16(f, at, static_cast<std::uint16_t>(value));
        else f[at] = static_cast<std::uint8_t>(value);
        try {
            ReadBitmapFile(f.data(), f.size());
        } catch (const EInvalidGraphic& e) {
            EXPECT_STREQ(e.what(), "Bitmap image is not valid");
            return true;
        }
        return false;
    };
    EXPECT_NO_THROW(ReadBitmapFile(good.data(), good.size()));
    EXPECT_TRUE(refused(0, 'X', 1));
    EXPECT_TRUE(refused(1, 'X', 1));
    EXPECT_TRUE(refused(14, 39));                   // header too small
    EXPECT_TRUE(refused(14, 200));                  // header longer than the file
    EXPECT_TRUE(refused(18, 0));                    // no width
    EXPECT_TRUE(refused(22, 0));                    // no height
    EXPECT_TRUE(refused(18, 32769));
    EXPECT_TRUE(refused(22, 32769));
    EXPECT_FALSE(refused(22, 0xFFFFFFFE));          // -2: top-down, fine
    EXPECT_TRUE(refused(28, 2, 2));                 // no such bit count
    EXPECT_TRUE(refused(28, 7, 2));
    EXPECT_TRUE(refused(30, 3));                    // colour masks on a 24-bit picture
    EXPECT_FALSE(refused(30, 0));
    for (int bits : {1, 4, 8, 16, 32}) {
        TBitmapFileImage other;
        other.Width = 1;
        other.Height = 1;
        other.BitCount = bits;
        if (bits <= 8) other.Palette.assign(std::size_t(1) << bits, 0x123456);
        other.Bits.assign(4, 0);
        auto f = WriteBitmapFile(other);
        EXPECT_EQ(ReadBitmapFile(f.data(), f.size()).BitCount, bits);
    }
    // Figures that wrap around in 32-bit arithmetic: a header size that carries the header's end past 4 GB,
    // rows of 32768 pixels of 32 bits times 32768 of them (exactly 4 GB), the most negative height.
    EXPECT_TRUE(refused(14, 0xFFFFFFF2));
    auto huge = good;
    Put32(huge, 18, 32768);
    Put32(huge, 22, 32768);
    Put16(huge, 28, 32);
    EXPECT_THROW(ReadBitmapFile(huge.data(), huge.size()), EInvalidGraphic);
    Put32(huge, 22, 0x80000000);
    EXPECT_THROW(ReadBitmapFile(huge.data(), huge.size()), EInvalidGraphic);
    // A header between the basic and the next size is too short to hold colour masks: its file ends
    // where the masks would.
    std::vector<std::uint8_t> shortHeader(good.begin(), good.begin() + 14 + 44);
    Put32(shortHeader, 14, 44);
    Put16(shortHeader, 28, 16);
    Put32(shortHeader, 30, 3);
    Put32(shortHeader, 22, 1);
    Put32(shortHeader, 18, 1);
    shortHeader.resize(14 + 44 + 4);
    EXPECT_THROW(ReadBitmapFile(shortHeader.data(), shortHeader.size()), EInvalidGraphic);

    // Masks cut off by the end of the file.
    TBitmapFileImage masked;
    masked.Width = 1;
    masked.Height = 1;
    masked.BitCount = 16;
    masked.BitFields = true;
    masked.Bits.assign(4, 0);
    auto f = WriteBitmapFile(masked);
    EXPECT_THROW(ReadBitmapFile(f.data(), 14 + 40 + 8), EInvalidGraphic);
}

TEST(BitmapFile, SixteenBitPixelsWidenToFullScale)
{
    // 5-5-5, red in the high bits, to 0x00BBGGRR and back.
    EXPECT_EQ(Pixel555ToColor(0x7C00), 0x0000FFu);
    EXPECT_EQ(Pixel555ToColor(0x03E0), 0x00FF00u);
    EXPECT_EQ(Pixel555ToColor(0x001F), 0xFF0000u);
    EXPECT_EQ(Pixel555ToColor(0x8421), 0x080808u);  // 1 in each channel; the top bit is no colour
    EXPECT_EQ(ColorToPixel555(0x102038), (7u << 10) | (4u << 5) | 2u);
    for (unsigned p : {0x0000u, 0x7FFFu, 0x1234u, 0x4321u}) EXPECT_EQ(ColorToPixel555(Pixel555ToColor(p)), p);

    // 5-6-5 rows (red, green, blue / white, black, 1-2-1) become padded 24-bit rows in the same order.
    TBitmapFileImage image;
    image.Width = 3;
    image.Height = 2;
    image.BitCount = 16;
    image.BitFields = true;
    image.GreenMask = 0x07E0;
    image.Bits = {0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00, 0, 0, 0xFF, 0xFF, 0x00, 0x00, 0x41, 0x08, 0, 0};
    TBitmapFileImage wide = Convert565To24(image);
    EXPECT_EQ(wide.BitCount, 24);
    EXPECT_FALSE(wide.BitFields);
    EXPECT_EQ(wide.Width, 3);
    EXPECT_EQ(wide.Bits, (std::vector<std::uint8_t>{0, 0, 0xFF, 0, 0xFF, 0, 0xFF, 0, 0, 0, 0, 0,  //
                                                    0xFF, 0xFF, 0xFF, 0, 0, 0, 8, 8, 8, 0, 0, 0}));
}
