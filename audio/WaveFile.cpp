#include "audio/WaveFile.h"

#include <cstring>

namespace {
void Put16(std::uint8_t* p, std::uint16_t v)
{
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
void Put32(std::uint8_t* p, std::uint32_t v)
{
    Put16(p, static_cast<std::uint16_t>(v));
    Put16(p + 2, static_cast<std::uint16_t>(v >> 16));
}

// Writes size(left) / frame-width frames of left and right interleaved at the stream's position, through the
// 1,000-byte block. Returns the bytes written.
std::uint64_t WriteInterleaved(TStream& out, TStream& left, TStream& right, TBPS bits)
{
    const std::uint32_t width = bits == _16 ? 2 : 1;
    const std::uint32_t framesPerBlock = kInterleaveBlock / (2 * width);  // 250 or 500
    const std::uint64_t frames = static_cast<std::uint64_t>(left.Size()) / width;
    std::uint8_t block[kInterleaveBlock];
    std::uint8_t l[kInterleaveBlock / 2], r[kInterleaveBlock / 2];
    std::uint64_t written = 0;
    for (std::uint64_t done = 0; done < frames;) {
        std::uint32_t count = static_cast<std::uint32_t>(frames - done < framesPerBlock ? frames - done : framesPerBlock);
        long want = static_cast<long>(count * width);
        if (left.Read(l, want) != want || right.Read(r, want) != want) break;
        for (std::uint32_t k = 0; k < count; ++k) {
            std::memcpy(block + k * 2 * width, l + k * width, width);
            std::memcpy(block + k * 2 * width + width, r + k * width, width);
        }
        long bytes = static_cast<long>(count * 2 * width);
        long put = out.Write(block, bytes);
        if (put > 0) written += static_cast<std::uint64_t>(put);
        if (put != bytes) break;
        done += count;
    }
    return written;
}
}  // namespace

TWaveHeader MakeWaveHeader(const TAudioFormat& format)
{
    const TWaveFormatRecord f = format.Record();
    TWaveHeader h{};
    std::uint8_t* p = h.data();
    std::memcpy(p, "RIFF", 4);
    std::memcpy(p + 8, "WAVE", 4);
    std::memcpy(p + 12, "fmt ", 4);
    Put32(p + 16, 16);
    Put16(p + 20, f.FormatTag);
    Put16(p + 22, f.Channels);
    Put32(p + 24, f.SamplesPerSec);
    Put32(p + 28, f.AvgBytesPerSec);
    Put16(p + 32, f.BlockAlign);
    Put16(p + 34, f.BitsPerSample);
    std::memcpy(p + 36, "data", 4);
    return h;
}

std::uint32_t RiffSizeFor(std::uint64_t fileSize)
{
    if (fileSize < 8) return 0;
    std::uint64_t v = fileSize - 8;
    return v > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<std::uint32_t>(v);
}

std::uint32_t DataSizeFor(std::uint64_t fileSize)
{
    if (fileSize < kWaveHeaderSize) return 0;
    std::uint64_t v = fileSize - kWaveHeaderSize;
    return v > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<std::uint32_t>(v);
}

bool PatchWaveSizes(TStream& stream, std::uint64_t fileSize)
{
    std::uint8_t riff[4], data[4];
    Put32(riff, RiffSizeFor(fileSize));
    Put32(data, DataSizeFor(fileSize));
    bool ok = stream.Seek(kRiffSizeOffset, soBeginning) == kRiffSizeOffset && stream.Write(riff, 4) == 4;
    ok = stream.Seek(kDataSizeOffset, soBeginning) == kDataSizeOffset && stream.Write(data, 4) == 4 && ok;
    stream.Seek(static_cast<std::int64_t>(fileSize), soBeginning);
    return ok;
}

std::uint64_t WriteWaveData(TStream& out, TStream& data, TStream* right, TBPS bits)
{
    data.SetPosition(0);
    if (right && right->Size() == data.Size()) {
        right->SetPosition(0);
        return WriteInterleaved(out, data, *right, bits);
    }
    std::uint8_t block[8192];
    std::uint64_t written = 0;
    for (;;) {
        long got = data.Read(block, sizeof block);
        if (got <= 0) break;
        long put = out.Write(block, got);
        if (put > 0) written += static_cast<std::uint64_t>(put);
        if (put != got) break;
    }
    return written;
}

TWaveAppender::TResult TWaveAppender::Append(const void* data, std::uint32_t n) noexcept
{
    if (!FStream) return arWriteFailed;
    if (!AppendFits(FSize, n, Limit)) return arLimit;
    long done = FStream->Write(data, static_cast<long>(n));
    if (done != static_cast<long>(n)) {
        ErrorCode = LastError ? LastError() : 0;
        // Leave the file exactly as the header last described it.
        if (done > 0 && Truncate) Truncate(*FStream, FSize);
        FStream->Seek(static_cast<std::int64_t>(FSize), soBeginning);
        return arWriteFailed;
    }
    FSize += n;
    if (UpdateHeader && !PatchWaveSizes(*FStream, FSize)) {
        ErrorCode = LastError ? LastError() : 0;
        return arWriteFailed;
    }
    return arOk;
}
