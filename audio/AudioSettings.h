// The format and the ring of four buffers that both directions of the audio component share.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <atomic>
#include <cstdint>
#include <memory>

#include "audio/AudioFormat.h"
#include "framework/Classes.h"

class TAudio;

class TAudioSettings : public TPersistent {
public:
    explicit TAudioSettings(TAudio& owner) : FOwner(owner) {}
    TAudioSettings(const TAudioSettings&) = delete;
    TAudioSettings& operator=(const TAudioSettings&) = delete;

    // Builds the format record, the four headers, buffers and half buffers. False after the first
    // allocation that fails (what was built stays until FreeBuffers).
    bool AllocBuffers();
    void FreeBuffers();

    TChannels Channels() const { return FChannels; }
    TBPS BitsPerSample() const { return FBitsPerSample; }
    std::uint16_t SampleRate() const { return FSampleRate; }
    std::uint16_t NoSamples() const { return FNoSamples; }
    // Unless the owner's SeparateCtrls is set, these change both directions, the player first.
    void SetChannels(TChannels value);
    void SetBitsPerSample(TBPS value);
    void SetSampleRate(std::uint16_t value);
    // Always both directions.
    void SetNoSamples(std::uint16_t value);

    const WAVEFORMATEX* WaveFormat() const { return FWaveFormat.get(); }
    std::uint16_t BufferBytes() const { return FBufferBytes; }
    WAVEHDR* Header(int slot) const { return FHeaders[slot].get(); }
    std::uint8_t* Buffer(int slot) const { return FBuffers[slot].get(); }
    std::uint8_t* HalfBuffer(int slot) const { return FHalfBuffers[slot].get(); }
    int AddIndex() const { return FAddIndex; }
    int DoneIndex() const { return FDoneIndex.load(); }
    int QueuedCount() const { return FQueuedCount; }
    bool IsOpen() const { return FIsOpen; }
    bool IsActive() const { return FIsActive.load(); }
    void SetIsActive(bool value) { FIsActive.store(value); }
    TAudio& Owner() const { return FOwner; }

    bool SetProperty(const std::string& name, const TLayoutValue& value) override;

protected:
    friend class TAudio;
    TAudio& FOwner;
    std::unique_ptr<WAVEHDR> FHeaders[kRingSlots];
    std::unique_ptr<std::uint8_t[]> FBuffers[kRingSlots];
    std::unique_ptr<std::uint8_t[]> FHalfBuffers[kRingSlots];
    int FAddIndex = 0;                  // written by the main thread only
    std::atomic<int> FDoneIndex{0};     // the recorder's is written by the capture thread only
    int FQueuedCount = 0;
    bool FIsOpen = false;
    TChannels FChannels = Mono;
    TBPS FBitsPerSample = _8;
    std::uint16_t FSampleRate = 11025;
    std::uint16_t FNoSamples = 8192;
    std::unique_ptr<WAVEFORMATEX> FWaveFormat;
    std::uint16_t FBufferBytes = 0;
    std::atomic<bool> FIsActive{false};

private:
    // Stores a format on this direction and rebuilds its ring, when it differs.
    void Apply(TChannels channels, TBPS bits, std::uint16_t rate, std::uint16_t noSamples);
    // The directions a format change reaches, player first; refuses (with ErrorMessage) formats whose
    // buffers would not fit in 16 bits.
    bool Change(TChannels channels, TBPS bits, std::uint16_t rate, std::uint16_t noSamples, bool both,
                bool keepChannels, bool keepBits, bool keepRate, bool keepSamples);
};

// Text stored when a format would need buffers of 65,536 bytes or more (or none at all).
extern const char kBufferSizeRefused[];
