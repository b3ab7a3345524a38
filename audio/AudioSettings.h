// The format and the ring of four buffers of one direction of the audio component. A direction knows only
// itself: which direction follows which is the component's business.
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
    // window: the component's notification window, which takes the messages of all its parts.
    TAudioSettings(TAudio& owner, HWND window) : FOwner(owner), FWindow(window) {}
    TAudioSettings(const TAudioSettings&) = delete;
    TAudioSettings& operator=(const TAudioSettings&) = delete;

    // Builds the format record, the four headers, buffers and half buffers. False after the first
    // allocation that fails (what was built stays until FreeBuffers).
    bool AllocBuffers();
    void FreeBuffers();

    const TAudioFormat& Format() const { return FFormat; }
    // Stores a format and rebuilds the ring, when it differs. The component checks formats before.
    void SetFormat(const TAudioFormat& format);

    const WAVEFORMATEX* WaveFormat() const { return FWaveFormat.get(); }
    std::uint16_t BufferBytes() const { return FBufferBytes; }
    WAVEHDR* Header(int slot) const { return FHeaders[slot].get(); }
    std::uint8_t* Buffer(int slot) const { return FBuffers[slot].get(); }
    std::uint8_t* HalfBuffer(int slot) const { return FHalfBuffers[slot].get(); }
    int AddIndex() const { return FAddIndex; }
    int DoneIndex() const { return FDoneIndex.load(); }
    bool IsOpen() const { return FIsOpen; }
    bool IsActive() const { return FIsActive.load(); }

protected:
    TAudio& FOwner;
    const HWND FWindow;
    std::unique_ptr<WAVEHDR> FHeaders[kRingSlots];
    std::unique_ptr<std::uint8_t[]> FBuffers[kRingSlots];
    std::unique_ptr<std::uint8_t[]> FHalfBuffers[kRingSlots];
    int FAddIndex = 0;                  // written by the main thread only
    std::atomic<int> FDoneIndex{0};     // the recorder's is written by the capture thread only
    bool FIsOpen = false;
    TAudioFormat FFormat;
    std::unique_ptr<WAVEFORMATEX> FWaveFormat;
    std::uint16_t FBufferBytes = 0;
    std::atomic<bool> FIsActive{false};
};
