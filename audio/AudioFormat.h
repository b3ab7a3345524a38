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

// The format of one direction: what the user sets, and everything derived from it.
struct TAudioFormat {
    TChannels Channels = Mono;
    TBPS BitsPerSample = _8;
    std::uint16_t SampleRate = 11025;  // samples per second per channel
    std::uint16_t NoSamples = 8192;    // sample frames per buffer

    bool operator==(const TAudioFormat&) const = default;
    std::uint16_t BlockAlign() const { return (Channels == Stereo ? 2 : 1) * (BitsPerSample == _16 ? 2 : 1); }
    // The device's buffers are described by 16-bit sizes: a product of 65,536 or more would wrap, and an
    // empty buffer would never be filled. Both give 0, a format no direction accepts.
    std::uint16_t BufferBytes() const;
    TWaveFormatRecord Record() const;
};

// True when a sample of the n bytes at data reaches level. Both formats compare as signed 16-bit values, so
// levels of 32,768 and above act as negative levels and, for 16-bit audio, negative samples never trigger.
bool BufferReachesLevel(const std::uint8_t* data, std::uint32_t n, TBPS bits, std::uint16_t level);

// Splits n bytes of interleaved stereo in place: data keeps the left channel, right receives the right
// channel. Returns the byte count of each half (n / 2).
std::uint32_t SplitStereo(std::uint8_t* data, std::uint8_t* right, std::uint32_t n, TBPS bits);

// Largest excursion from silence in the n bytes at data, on the 16-bit scale 0..32767 (8-bit audio is
// scaled up by 256) so that the meter needs no format knowledge.
int BufferPeak(const std::uint8_t* data, std::uint32_t n, TBPS bits);
