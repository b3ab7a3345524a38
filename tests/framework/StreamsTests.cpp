#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <vector>

#include "framework/Streams.h"

namespace {

// A stream that moves at most Limit bytes per call and knows its size only through Seek, as a file does.
class TTrickleStream : public TStream {
public:
    std::vector<std::uint8_t> Data;
    std::size_t Pos = 0;
    long Limit = 1 << 30;
    long Calls = 0;
    long Read(void* buffer, long count) override
    {
        ++Calls;
        long n = std::min<long>({count, Limit, static_cast<long>(Data.size() - std::min(Pos, Data.size()))});
        if (n <= 0) return 0;
        std::copy_n(Data.begin() + static_cast<long>(Pos), n, static_cast<std::uint8_t*>(buffer));
        Pos += static_cast<std::size_t>(n);
        return n;
    }
    long Write(const void* buffer, long count) override
    {
        ++Calls;
        long n = std::min(count, Limit);
        if (Pos + n > Data.size()) Data.resize(Pos + n);
        std::copy_n(static_cast<const std::uint8_t*>(buffer), n, Data.begin() + static_cast<long>(Pos));
        Pos += static_cast<std::size_t>(n);
        return n;
    }
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override
    {
        std::int64_t base = origin == soBeginning ? 0 : origin == soCurrent ? static_cast<std::int64_t>(Pos)
                                                                            : static_cast<std::int64_t>(Data.size());
        Pos = static_cast<std::size_t>(base + offset);
        return base + offset;
    }
};

std::vector<std::uint8_t> Counting(std::size_t n)
{
    std::vector<std::uint8_t> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::uint8_t>(i * 7 + 3);
    return v;
}

}  // namespace

TEST(MemoryStream, WritesGrowReadsStopAtTheEndAndSeeksAreClamped)
{
    TMemoryStream s;
    const char hello[] = "hello world";
    EXPECT_EQ(s.Write(hello, 11), 11);
    EXPECT_EQ(s.Size(), 11);
    EXPECT_EQ(s.Position(), 11);
    EXPECT_EQ(s.Write(hello, 0), 0);
    EXPECT_EQ(s.Write(hello, -3), 0);

    // Overwriting inside keeps the size; writing past the end grows it.
    s.SetPosition(6);
    s.Write("W", 1);
    EXPECT_EQ(s.Size(), 11);
    s.Seek(-2, soEnd);
    s.Write("LDS!", 4);
    EXPECT_EQ(s.Size(), 13);
    EXPECT_EQ(std::string(s.Bytes().begin(), s.Bytes().end()), "hello WorLDS!");

    char buf[8] = {};
    EXPECT_EQ(s.Seek(-5, soCurrent), 8);
    EXPECT_EQ(s.Read(buf, 8), 5);  // only what is left
    EXPECT_EQ(std::string(buf, 5), "rLDS!");
    EXPECT_EQ(s.Read(buf, 8), 0);
    EXPECT_EQ(s.Read(buf, -1), 0);
    EXPECT_EQ(s.Seek(-100, soCurrent), 0);  // before the start: the start
    EXPECT_EQ(s.Seek(3, soBeginning), 3);
    EXPECT_EQ(s.Read(buf, 2), 2);
    EXPECT_EQ(std::string(buf, 2), "lo");
    EXPECT_EQ(s.Seek(20, soBeginning), 20);  // past the end: nothing to read there
    EXPECT_EQ(s.Read(buf, 1), 0);

    s.LoadFromBytes("abc", 3);
    EXPECT_EQ(s.Position(), 0);
    EXPECT_EQ(s.Size(), 3);
    s.Clear();
    EXPECT_EQ(s.Size(), 0);
    EXPECT_EQ(s.Position(), 0);
}

TEST(Streams, BufferTransfersAreAllOrNothing)
{
    TMemoryStream s;
    s.LoadFromBytes("abcd", 4);
    char buf[8];
    s.ReadBuffer(buf, 0);  // nothing asked, nothing raised
    s.ReadBuffer(buf, 3);
    EXPECT_EQ(std::string(buf, 3), "abc");
    EXPECT_THROW(s.ReadBuffer(buf, 2), EReadError);

    TTrickleStream slow;
    slow.Limit = 2;
    EXPECT_THROW(slow.WriteBuffer("xyz", 3), EWriteError);
    slow.WriteBuffer("xy", 2);
    slow.WriteBuffer("", 0);
    EXPECT_EQ(slow.Data.size(), 4u);
}

TEST(Streams, SizeLeavesThePositionAndCopyFromMovesInChunks)
{
    TTrickleStream file;
    file.Data = Counting(10);
    file.Pos = 4;
    EXPECT_EQ(file.Size(), 10);
    EXPECT_EQ(file.Position(), 4);

    // A count copies that much from the current position.
    TMemoryStream part;
    EXPECT_EQ(part.CopyFrom(file, 3), 3);
    EXPECT_EQ(part.Bytes(), std::vector<std::uint8_t>(file.Data.begin() + 4, file.Data.begin() + 7));

    // Count 0 copies the whole source from its start, in chunks of 60 KB at most.
    TTrickleStream big;
    big.Data = Counting(150000);
    big.Pos = 99;
    TTrickleStream copy;
    EXPECT_EQ(copy.CopyFrom(big, 0), 150000);
    EXPECT_EQ(copy.Data, big.Data);
    EXPECT_EQ(copy.Calls, 3);  // 61440 + 61440 + 27120

    TTrickleStream shortSource;
    shortSource.Data = Counting(5);
    TMemoryStream into;
    EXPECT_THROW(into.CopyFrom(shortSource, 6), EReadError);
}

TEST(SysUtils, TextHelpers)
{
    EXPECT_EQ(FormatStr("Cannot open file \"%s\". %s", {"a.wav", "Denied"}), "Cannot open file \"a.wav\". Denied");
    EXPECT_EQ(FormatStr("%s and %s", {"one"}), "one and ");
    EXPECT_EQ(FormatStr("100%", {"x"}), "100%");
    EXPECT_EQ(FormatStr("%d %s", {"x"}), "%d x");

    EXPECT_EQ(UpperCase("az AZ @[`{ 09 \xE4"), "AZ AZ @[`{ 09 \xE4");
    EXPECT_EQ(LowerCase("az AZ @[`{ 09 \xC4"), "az az @[`{ 09 \xC4");
    EXPECT_TRUE(SameText("Record", "rECORD"));
    EXPECT_FALSE(SameText("Record", "Records"));
    EXPECT_EQ(IntToStr(-42), "-42");

    EXPECT_EQ(InOutErrorText(2), "File not found");
    EXPECT_EQ(InOutErrorText(5), "File access denied");
    EXPECT_EQ(InOutErrorText(100), "Read beyond end of file");
    EXPECT_EQ(InOutErrorText(112), "Disk full");
    EXPECT_EQ(InOutErrorText(77), "I/O error 77");

    TColor c = 0;
    EXPECT_TRUE(IdentToColor("CLTEAL", c));
    EXPECT_EQ(c, 0x808000);
    EXPECT_TRUE(IdentToColor("clBtnFace", c));
    EXPECT_EQ(c, static_cast<TColor>(0xFF00000F));
    EXPECT_TRUE(IdentToColor("clInfoBk", c));
    EXPECT_EQ(c, static_cast<TColor>(0xFF000018));
    c = 7;
    EXPECT_FALSE(IdentToColor("clTeal2", c));
    EXPECT_EQ(c, 7);

    EXPECT_TRUE(Rect(2, 3, 5, 7).Contains(2, 3));
    EXPECT_FALSE(Rect(2, 3, 5, 7).Contains(5, 6));
    EXPECT_FALSE(Rect(2, 3, 5, 7).Contains(4, 7));
    EXPECT_EQ(Bounds(2, 3, 5, 7).Right, 7);
    EXPECT_EQ(Bounds(2, 3, 5, 7).Height(), 7);
}
