#include "audio/AudioFormat.h"

#include <cstring>

TWaveFormatRecord TAudioFormat::Record() const
{
    TWaveFormatRecord f{};
    f.FormatTag = 1;
    f.Channels = Channels == Stereo ? 2 : 1;
    f.SamplesPerSec = SampleRate;
    f.BlockAlign = BlockAlign();
    f.AvgBytesPerSec = f.SamplesPerSec * f.BlockAlign;
    f.BitsPerSample = BitsPerSample == _16 ? 16 : 8;
    return f;
}

std::uint16_t TAudioFormat::BufferBytes() const
{
    const std::uint32_t product = std::uint32_t(NoSamples) * BlockAlign();
    return product > 0xFFFF ? 0 : static_cast<std::uint16_t>(product);
}

bool BufferReachesLevel(const std::uint8_t* data, std::uint32_t n, TBPS bits, std::uint16_t level)
{
    const auto threshold = static_cast<std::int16_t>(level);
    if (bits == _16) {
        for (std::uint32_t i = 0; i + 1 < n; i += 2) {
            auto sample = static_cast<std::int16_t>(data[i] | (data[i + 1] << 8));
            if (sample >= threshold) return true;
        }
        return false;
    }
    for (std::uint32_t i = 0; i < n; ++i)
        if (static_cast<std::int16_t>(data[i]) >= threshold) return true;
    return false;
}

std::uint32_t SplitStereo(std::uint8_t* data, std::uint8_t* right, std::uint32_t n, TBPS bits)
{
    const std::uint32_t half = n / 2;
    const std::uint32_t width = bits == _16 ? 2 : 1;
    const std::uint32_t frames = half / width;
    // The left sample of frame k moves to position k, never past its own frame, so in place is safe.
    for (std::uint32_t k = 0; k < frames; ++k) {
        const std::uint8_t* frame = data + k * 2 * width;
        std::memcpy(right + k * width, frame + width, width);
        std::memmove(data + k * width, frame, width);
    }
    return half;
}

int BufferPeak(const std::uint8_t* data, std::uint32_t n, TBPS bits)
{
    int peak = 0;
    if (bits == _16) {
        for (std::uint32_t i = 0; i + 1 < n; i += 2) {
            int v = static_cast<std::int16_t>(data[i] | (data[i + 1] << 8));
            if (v < 0) v = -v;
            if (v > peak) peak = v;
        }
    } else {
        for (std::uint32_t i = 0; i < n; ++i) {
            int v = int(data[i]) - 128;
            if (v < 0) v = -v;
            if (v > peak) peak = v;
        }
        peak *= 256;
    }
    return peak > 32767 ? 32767 : peak;
}
