// RIFF/WAVE take files: the 44-byte header, the two size fields, interleaving two mono streams, and
// crash-safe appending. Pure: works on any TStream, so it is tested on memory streams natively.
#pragma once

#include <array>
#include <cstdint>

#include "audio/AudioFormat.h"
#include "framework/Streams.h"

constexpr std::uint32_t kWaveHeaderSize = 44;
constexpr std::uint32_t kRiffSizeOffset = 4;
constexpr std::uint32_t kDataSizeOffset = 40;
// Both size fields are 32-bit, so a file may not grow past 4 GiB - 1.
constexpr std::uint64_t kMaxWaveFileSize = 0xFFFFFFFFull;
// Interleaving goes through a fixed block so the file is written in blocks, not per sample.
constexpr std::uint32_t kInterleaveBlock = 1000;

using TWaveHeader = std::array<std::uint8_t, kWaveHeaderSize>;

// The header as a take begins: both size fields zero.
TWaveHeader MakeWaveHeader(const TAudioFormat& format);

// Size fields for a file of fileSize bytes (saturating, so they never wrap).
std::uint32_t RiffSizeFor(std::uint64_t fileSize);
std::uint32_t DataSizeFor(std::uint64_t fileSize);

// Whether n more bytes still fit below limit.
constexpr bool AppendFits(std::uint64_t fileSize, std::uint64_t n, std::uint64_t limit)
{
    return n <= limit && fileSize <= limit - n;
}

// Writes both size fields for a file of fileSize bytes, then puts the position back at its end.
// False when a write fell short.
bool PatchWaveSizes(TStream& stream, std::uint64_t fileSize);

// Steps of a whole file after its header: from the start of data, interleaved with right when right is given
// and exactly as long as data, otherwise data alone (right ignored). Returns the bytes written.
std::uint64_t WriteWaveData(TStream& out, TStream& data, TStream* right, TBPS bits);

// Appends captured buffers to an open take file. After each buffer both size fields are brought up to date,
// so the file on disk is a valid WAV at every moment; a buffer that would take the file past the limit or that
// cannot be written completely ends appending. Never allocates, never throws: it runs on the capture thread.
class TWaveAppender {
public:
    enum TResult { arOk, arLimit, arWriteFailed };
    // Cuts the stream back to size after a short write; may be left empty.
    using TTruncate = bool (*)(TStream& stream, std::uint64_t size);

    void Start(TStream* stream, std::uint64_t size) { FStream = stream; FSize = size; }
    void Stop() { FStream = nullptr; }
    TResult Append(const void* data, std::uint32_t n) noexcept;
    std::uint64_t Size() const { return FSize; }

    std::uint64_t Limit = kMaxWaveFileSize;
    bool UpdateHeader = true;
    TTruncate Truncate = nullptr;
    // Read right after a write fell short, so the reason survives the clean-up calls.
    unsigned long (*LastError)() = nullptr;
    unsigned long ErrorCode = 0;

private:
    TStream* FStream = nullptr;
    std::uint64_t FSize = 0;
};
