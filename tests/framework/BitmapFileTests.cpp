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
