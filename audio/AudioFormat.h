// PCM format arithmetic shared by both directions of the audio component: the platform's 18-byte format
// record, the ring of four buffers, buffer sizes, and the per-buffer work the recorder does on captured
// data (trigger test, channel split, peak). No windows.h here, so it builds and is tested on any host.
#pragma once

#include <cstddef>
#include <cstdint>

enum TChannels : std::uint8_t { Mono, Stereo };
enum TBPS : std::uint8_t { _8, _16 };

// Both directions keep four buffers and advance through them in order.
constexpr int kRingSlots = 4;
constexpr int NextSlot(int index) { return (index + 1) % kRingSlots; }

// The platform's PCM wave format record, byte for byte (18 bytes, packed, little-endian).
#pragma pack(push, 1)
struct TWaveFormatRecord {
    std::uint16_t FormatTag;
    std::uint16_t Channels;
    std::uint32_t SamplesPerSec;
    std::uint32_t AvgBytesPerSec;
    std::uint16_t BlockAlign;
    std::uint16_t BitsPerSample;
    std::uint16_t ExtraSize;
};
#pragma pack(pop)
static_assert(sizeof(TWaveFormatRecord) == 18, "the platform's format record is 18 bytes");

constexpr std::uint16_t ChannelCount(TChannels c) { return c == Stereo ? 2 : 1; }
constexpr std::uint16_t BlockAlignOf(TChannels c, TBPS b) { return ChannelCount(c) * (b == _16 ? 2 : 1); }

TWaveFormatRecord MakeWaveFormat(TChannels channels, TBPS bits, std::uint16_t sampleRate);

// The device's buffers are described by 16-bit sizes: a product of 65,536 or more would wrap, and an empty
// buffer would never be filled. Returns false for both, leaving bytes alone.
bool BufferBytesFor(std::uint16_t noSamples, TChannels channels, TBPS bits, std::uint16_t& bytes);

// True when a sample of the n bytes at data reaches level. Both formats compare as signed 16-bit values, so
// levels of 32,768 and above act as negative levels and, for 16-bit audio, negative samples never trigger.
bool BufferReachesLevel(const std::uint8_t* data, std::uint32_t n, TBPS bits, std::uint16_t level);

// Splits n bytes of interleaved stereo in place: data keeps the left channel, right receives the right
// channel. Returns the byte count of each half (n / 2).
std::uint32_t SplitStereo(std::uint8_t* data, std::uint8_t* right, std::uint32_t n, TBPS bits);

// Largest excursion from silence in the n bytes at data, on the 16-bit scale 0..32767 (8-bit audio is
// scaled up by 256) so that the meter needs no format knowledge.
int BufferPeak(const std::uint8_t* data, std::uint32_t n, TBPS bits);
