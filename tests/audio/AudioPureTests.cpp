#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "audio/AudioFormat.h"
#include "audio/TakeWriter.h"
#include "audio/WaveFile.h"

namespace {

std::uint32_t Get32(const std::uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t(p[3]) << 24; }
std::uint16_t Get16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

std::vector<std::uint8_t> Samples16(std::initializer_list<int> values)
{
    std::vector<std::uint8_t> out;
    for (int v : values) {
        out.push_back(static_cast<std::uint8_t>(v & 0xFF));
        out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
    }
    return out;
}

// A memory stream that accepts only so many bytes in total, as a full disk does; counts its writes.
class TLimitedStream : public TMemoryStream {
public:
    long Budget = 1 << 30;
    int Writes = 0;
    long Write(const void* buffer, long count) override
    {
        ++Writes;
        long n = count < Budget ? count : Budget;
        Budget -= n;
        return n > 0 ? TMemoryStream::Write(buffer, n) : 0;
    }
};

// Each write takes a moment, and waits while the stream is held, as a stalled disk does.
class THeldStream : public TLimitedStream {
public:
    std::atomic<bool> Held{false};
    long Write(const void* buffer, long count) override
    {
        do std::this_thread::sleep_for(std::chrono::milliseconds(1));
        while (Held);
        return TLimitedStream::Write(buffer, count);
    }
};

bool TruncateMemory(TStream& s, std::uint64_t size)
{
    static_cast<TMemoryStream&>(s).SetSize(size);
    return true;
}

void ExpectValidWave(const TMemoryStream& s)
{
    const auto& b = s.Bytes();
    ASSERT_GE(b.size(), 44u);
    EXPECT_EQ(0, std::memcmp(b.data(), "RIFF", 4));
    EXPECT_EQ(b.size() - 8, Get32(&b[4]));
    EXPECT_EQ(b.size() - 44, Get32(&b[40]));
}

}  // namespace

TEST(AudioFormat, FormatRecordAndBufferSizes)
{
    const TAudioFormat cd{Stereo, _16, 44100};
    TWaveFormatRecord f = cd.Record();
    const std::uint8_t expected[18] = {1, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x10, 0xB1, 2, 0, 4, 0, 16, 0, 0, 0};
    EXPECT_EQ(0, std::memcmp(&f, expected, 18));  // 176,400 bytes per second, block align 4
    EXPECT_EQ(44100u, (TAudioFormat{Mono, _8, 44100}.Record().AvgBytesPerSec));
    EXPECT_EQ(1u, TAudioFormat{}.Record().BlockAlign);

    EXPECT_EQ(8192, TAudioFormat{}.BufferBytes());
    EXPECT_EQ(32768, cd.BufferBytes());
    EXPECT_EQ(65532, (TAudioFormat{Stereo, _16, 44100, 16383}.BufferBytes()));
    EXPECT_EQ(65535, (TAudioFormat{Mono, _8, 44100, 65535}.BufferBytes()));  // the most a header's 16 bits hold
    // These would wrap or give an empty buffer: no size at all.
    EXPECT_EQ(0, (TAudioFormat{Stereo, _16, 44100, 16384}.BufferBytes()));
    EXPECT_EQ(0, (TAudioFormat{Mono, _16, 44100, 65535}.BufferBytes()));
    EXPECT_EQ(0, (TAudioFormat{Mono, _8, 44100, 0}.BufferBytes()));

    EXPECT_EQ(1, NextSlot(0));
    EXPECT_EQ(0, NextSlot(3));
}

TEST(AudioFormat, TriggerLevel)
{
    auto negative = Samples16({-1, -32768, -5, -200});
    EXPECT_FALSE(BufferReachesLevel(negative.data(), 8, _16, 0));
    auto withZero = Samples16({-1, -3, 0, -2});
    EXPECT_TRUE(BufferReachesLevel(withZero.data(), 8, _16, 0));
    // Levels of 32,768 and above are negative levels.
    EXPECT_TRUE(BufferReachesLevel(negative.data(), 8, _16, 0x8000));
    EXPECT_FALSE(BufferReachesLevel(withZero.data(), 8, _16, 1));
    // Only the first n bytes are looked at; a trailing odd byte is not a sample.
    EXPECT_FALSE(BufferReachesLevel(withZero.data(), 4, _16, 0));
    EXPECT_FALSE(BufferReachesLevel(withZero.data(), 5, _16, 0));
    EXPECT_FALSE(BufferReachesLevel(withZero.data(), 0, _16, 0));

    std::vector<std::uint8_t> silence(100, 128);
    EXPECT_TRUE(BufferReachesLevel(silence.data(), 100, _8, 128));
    EXPECT_FALSE(BufferReachesLevel(silence.data(), 100, _8, 129));
    silence[99] = 129;
    EXPECT_TRUE(BufferReachesLevel(silence.data(), 100, _8, 129));
}

TEST(AudioFormat, SplitAndPeak)
{
    // 32,768 bytes of 16-bit stereo: left = frame index, right = -frame index.
    std::vector<std::uint8_t> buf(32768), right(16384);
    for (int k = 0; k < 8192; ++k) {
        auto l = static_cast<std::int16_t>(k), r = static_cast<std::int16_t>(-k);
        std::memcpy(&buf[k * 4], &l, 2);
        std::memcpy(&buf[k * 4 + 2], &r, 2);
    }
    EXPECT_EQ(16384u, SplitStereo(buf.data(), right.data(), 32768, _16));
    bool ok = true;
    for (int k = 0; k < 8192 && ok; ++k) {
        std::int16_t l, r;
        std::memcpy(&l, &buf[k * 2], 2);
        std::memcpy(&r, &right[k * 2], 2);
        ok = l == k && r == -k;
    }
    EXPECT_TRUE(ok);

    std::uint8_t b8[6] = {1, 2, 3, 4, 5, 6}, r8[3] = {};
    EXPECT_EQ(3u, SplitStereo(b8, r8, 6, _8));
    EXPECT_EQ((std::vector<int>{1, 3, 5, 2, 4, 6}), (std::vector<int>{b8[0], b8[1], b8[2], r8[0], r8[1], r8[2]}));

    auto s = Samples16({100, -13108, 13000, 0});
    EXPECT_EQ(13108, BufferPeak(s.data(), 8, _16));
    auto extreme = Samples16({-32768});
    EXPECT_EQ(32767, BufferPeak(extreme.data(), 2, _16));
    EXPECT_EQ(100, BufferPeak(s.data(), 3, _16));  // a trailing odd byte is not a sample
    std::uint8_t quiet[3] = {128, 128, 64};
    EXPECT_EQ(64 * 256, BufferPeak(quiet, 3, _8));
    EXPECT_EQ(0, BufferPeak(quiet, 0, _8));
}

TEST(WaveFile, HeaderBytes)
{
    TWaveHeader h = MakeWaveHeader({Stereo, _16, 44100});
    const char* expected =
        "RIFF\0\0\0\0WAVEfmt \x10\0\0\0\x01\0\x02\0\x44\xAC\0\0\x10\xB1\x02\0\x04\0\x10\0data\0\0\0\0";
    EXPECT_EQ(0, std::memcmp(h.data(), expected, 44));

    TWaveHeader m = MakeWaveHeader({Mono, _8, 11025});
    EXPECT_EQ(1, Get16(&m[22]));
    EXPECT_EQ(11025u, Get32(&m[24]));
    EXPECT_EQ(11025u, Get32(&m[28]));
    EXPECT_EQ(1, Get16(&m[32]));
    EXPECT_EQ(8, Get16(&m[34]));

    // A take stopped before any data: 36 and 0.
    TMemoryStream s;
    s.Write(h.data(), 44);
    EXPECT_TRUE(PatchWaveSizes(s, 44));
    EXPECT_EQ(36u, Get32(s.Memory() + 4));
    EXPECT_EQ(0u, Get32(s.Memory() + 40));
    EXPECT_EQ(44, s.Position());
    // The fields saturate instead of wrapping.
    EXPECT_EQ(0xFFFFFFFFu, RiffSizeFor(0x100000010ull));
    EXPECT_EQ(0xFFFFFFFFu - 36, DataSizeFor(0xFFFFFFFFull - 36 + 44));
}

TEST(WaveFile, InterleavingTwoMonoStreams)
{
    TMemoryStream left, right;
    std::vector<std::uint8_t> l(1002), r(1002);
    for (int i = 0; i < 1002; ++i) {
        l[i] = static_cast<std::uint8_t>(i);
        r[i] = static_cast<std::uint8_t>(255 - i);
    }
    left.LoadFromBytes(l.data(), l.size());
    right.LoadFromBytes(r.data(), r.size());
    left.SetPosition(500);  // positions do not matter: both start over
    TLimitedStream out;
    EXPECT_EQ(2004u, WriteWaveData(out, left, &right, _16));
    EXPECT_EQ(3, out.Writes);  // two full blocks of 250 frames, then one frame of 4 bytes
    ASSERT_EQ(2004u, out.Bytes().size());
    bool ok = true;
    for (int f = 0; f < 501 && ok; ++f) {
        const std::uint8_t* p = out.Memory() + f * 4;
        ok = p[0] == l[2 * f] && p[1] == l[2 * f + 1] && p[2] == r[2 * f] && p[3] == r[2 * f + 1];
    }
    EXPECT_TRUE(ok);

    // 8-bit: 500 frames per block.
    TLimitedStream out8;
    EXPECT_EQ(2004u, WriteWaveData(out8, left, &right, _8));
    EXPECT_EQ(3, out8.Writes);
    EXPECT_EQ(l[501], out8.Memory()[1002]);
    EXPECT_EQ(r[501], out8.Memory()[1003]);

    // A right stream one byte short: data alone.
    TMemoryStream shortRight;
    shortRight.LoadFromBytes(r.data(), 1001);
    TMemoryStream alone;
    EXPECT_EQ(1002u, WriteWaveData(alone, left, &shortRight, _16));
    EXPECT_EQ(l, alone.Bytes());
    TMemoryStream noRight;
    EXPECT_EQ(1002u, WriteWaveData(noRight, left, nullptr, _16));
    // Data alone goes over in blocks, as long as it is, down to a last block of one byte.
    std::vector<std::uint8_t> big(2 * 8192 + 1);
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>(i * 13);
    TMemoryStream bigData, bigOut;
    bigData.LoadFromBytes(big.data(), big.size());
    EXPECT_EQ(big.size(), WriteWaveData(bigOut, bigData, nullptr, _8));
    EXPECT_EQ(big, bigOut.Bytes());
}

TEST(WaveFile, AppenderKeepsHeaderValid)
{
    TWaveHeader h = MakeWaveHeader({Stereo, _16, 44100});
    std::vector<std::uint8_t> buffer(1000, 7);

    TLimitedStream s;
    s.Write(h.data(), 44);
    TWaveAppender a;
    a.Start(&s, 44);
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(TWaveAppender::arOk, a.Append(buffer.data(), 1000));
        ExpectValidWave(s);
        EXPECT_EQ(44 + 1000 * (i + 1), s.Position());
    }
    EXPECT_EQ(1 + 3 * 3, s.Writes);  // one data write and two field writes per buffer

    // Without the per-buffer update only the data is written (the benchmark's baseline).
    TLimitedStream plain;
    plain.Write(h.data(), 44);
    TWaveAppender b;
    b.UpdateHeader = false;
    b.Start(&plain, 44);
    EXPECT_EQ(TWaveAppender::arOk, b.Append(buffer.data(), 1000));
    EXPECT_EQ(2, plain.Writes);
    EXPECT_EQ(0u, Get32(plain.Memory() + 40));
}

TEST(WaveFile, AppenderLimitAndFailedWrites)
{
    TWaveHeader h = MakeWaveHeader({Mono, _8, 8000});
    std::vector<std::uint8_t> buffer(100, 1);

    // A small injected limit stands in for 4 GiB - 1: the buffer that would pass it is refused whole.
    TLimitedStream s;
    s.Write(h.data(), 44);
    TWaveAppender a;
    a.Limit = 44 + 250;
    a.Start(&s, 44);
    EXPECT_EQ(TWaveAppender::arOk, a.Append(buffer.data(), 100));
    EXPECT_EQ(TWaveAppender::arOk, a.Append(buffer.data(), 100));
    EXPECT_EQ(TWaveAppender::arLimit, a.Append(buffer.data(), 100));
    EXPECT_EQ(TWaveAppender::arOk, a.Append(buffer.data(), 50));  // exactly up to the limit fits
    EXPECT_EQ(44u + 250, s.Bytes().size());
    ExpectValidWave(s);
    EXPECT_TRUE(AppendFits(0xFFFFFFFFull - 100, 100, kMaxWaveFileSize));
    EXPECT_FALSE(AppendFits(0xFFFFFFFFull - 99, 100, kMaxWaveFileSize));
    EXPECT_FALSE(AppendFits(0, 0x100000000ull, kMaxWaveFileSize));

    // A short write (disk full) is cut back so that the header describes exactly the bytes in the file.
    TLimitedStream full;
    full.Write(h.data(), 44);
    full.Budget = 100 + 8 + 60;  // one buffer with its two fields, then 60 bytes of the next
    TWaveAppender c;
    c.Truncate = TruncateMemory;
    c.Start(&full, 44);
    EXPECT_EQ(TWaveAppender::arOk, c.Append(buffer.data(), 100));
    EXPECT_EQ(TWaveAppender::arWriteFailed, c.Append(buffer.data(), 100));
    EXPECT_EQ(144u, full.Bytes().size());
    ExpectValidWave(full);
    EXPECT_EQ(144, full.Position());

    // The field writes failing counts as a failure too.
    TLimitedStream fields;
    fields.Write(h.data(), 44);
    fields.Budget = 100 + 2;
    TWaveAppender d;
    d.Start(&fields, 44);
    EXPECT_EQ(TWaveAppender::arWriteFailed, d.Append(buffer.data(), 100));

    TWaveAppender none;
    EXPECT_EQ(TWaveAppender::arWriteFailed, none.Append(buffer.data(), 1));
}

TEST(TakeWriter, QueuedBlocksReachTheFileInOrderAndEveryFailureEndsTheTake)
{
    TWaveHeader h = MakeWaveHeader({Mono, _8, 8000});
    std::vector<std::uint8_t> blocks[6];
    for (int i = 0; i < 6; ++i) blocks[i].assign(100, static_cast<std::uint8_t>(i + 1));

    // The file is held: four blocks wait in the queue, the fifth finds it full and ends the take there.
    THeldStream held;
    held.Write(h.data(), 44);
    held.Held = true;
    TTakeWriter w;
    w.Start(&held, 44, 100, 4);
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(w.Push(blocks[i].data(), 100)) << i;
    EXPECT_FALSE(w.Push(blocks[4].data(), 100));
    EXPECT_EQ(TTakeWriter::twSoundLost, w.State());
    EXPECT_FALSE(w.Push(blocks[5].data(), 100)) << "a take with a hole in it";
    // The wait ends when the queue is written, not at its deadline.
    std::thread release([&held] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        held.Held = false;
    });
    const auto asked = std::chrono::steady_clock::now();
    EXPECT_TRUE(w.WaitWritten(20000));
    EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(10));
    release.join();
    w.Finish();
    ASSERT_EQ(44u + 400, held.Bytes().size());
    for (int i = 0; i < 4; ++i) EXPECT_EQ(i + 1, held.Bytes()[44 + 100 * i + 99]) << i;
    ExpectValidWave(held);
    EXPECT_EQ(44u + 400, w.FileSize());
    EXPECT_EQ(TTakeWriter::twSoundLost, w.State()) << "the end of a take keeps what ended it";

    // The same writer again: a write fails half-way, the file is cut back, what was queued after it goes.
    TLimitedStream full;
    full.Write(h.data(), 44);
    full.Budget = 100 + 8 + 30;
    w.Appender().Truncate = TruncateMemory;
    w.Appender().LastError = [] { return 112ul; };
    w.Start(&full, 44, 100, 4);
    EXPECT_EQ(TTakeWriter::twOpen, w.State());
    for (int i = 0; i < 3; ++i) w.Push(blocks[i].data(), 100);
    w.WaitWritten(5000);
    EXPECT_EQ(TTakeWriter::twWriteFailed, w.State());
    EXPECT_EQ(112ul, w.ErrorCode());
    EXPECT_FALSE(w.Push(blocks[3].data(), 100));
    w.Finish();
    EXPECT_EQ(44u + 100, full.Bytes().size());
    ExpectValidWave(full);

    // A limit reached ends it as well; a take that ends normally is closed.
    TLimitedStream limited;
    limited.Write(h.data(), 44);
    w.Appender().Limit = 44 + 150;
    w.Start(&limited, 44, 100, 4);
    w.Push(blocks[0].data(), 100);
    w.Push(blocks[1].data(), 100);
    w.Finish();
    EXPECT_EQ(TTakeWriter::twSizeLimit, w.State());
    w.Appender().Limit = kMaxWaveFileSize;
    TLimitedStream whole;
    whole.Write(h.data(), 44);
    w.Start(&whole, 44, 100, 4);
    w.Push(blocks[0].data(), 100);
    w.Finish();
    EXPECT_EQ(TTakeWriter::twClosed, w.State());
    EXPECT_EQ(44u + 100, whole.Bytes().size());
    EXPECT_FALSE(w.Push(blocks[1].data(), 100));

    // Started again with longer blocks, then with a longer queue: there is room for each.
    std::vector<std::uint8_t> longer(200, 9);
    for (unsigned count : {4u, 5u}) {
        THeldStream again;
        again.Write(h.data(), 44);
        again.Held = true;
        w.Start(&again, 44, 200, count);
        for (unsigned i = 0; i < count; ++i) EXPECT_TRUE(w.Push(longer.data(), 200)) << count << " " << i;
        again.Held = false;
        w.Finish();
        EXPECT_EQ(44u + 200 * count, again.Bytes().size());
    }
}
