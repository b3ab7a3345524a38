// The playback direction: streams PCM from a source stream to a wave-output device through the ring. The
// device reports to the component's notification window; every step runs on the main thread.
#pragma once

#include <memory>

#include "audio/AudioSettings.h"
#include "framework/HiddenWindow.h"
#include "framework/Streams.h"

constexpr UINT kNextBlockRequest = 0x3BD;
constexpr UINT kCloseRequest = 0x3BC;

class TPlayer : public TAudioSettings {
public:
    explicit TPlayer(TAudio& owner);
    ~TPlayer() override;

    // Starts playing source from its start, then loopCount more times; false (with ErrorMessage) when the
    // device cannot be opened. The application itself never plays anything.
    bool PlayStream(std::unique_ptr<TStream> source, std::uint16_t loopCount);
    void BufferDone();
    void QueueNextChunk();
    void ClosePlayer();
    void StopPlayer();

    std::uint16_t LoopCount() const { return FLoopCount; }
    std::int64_t ReadPosition() const { return FReadPosition; }
    bool Closing() const { return FClosing; }
    bool HasSource() const { return FSource != nullptr; }

private:
    void StoreError(const char* fixed, MMRESULT code);
    // Playback is over once the source is gone and the device holds nothing more.
    void CloseWhenDrained();

    HWAVEOUT FWaveOut = nullptr;
    std::uint16_t FLoopCount = 0;
    std::int64_t FReadPosition = 0;
    std::unique_ptr<TStream> FSource;
    bool FRestoreFormat = false;
    TChannels FSavedChannels = Mono;
    TBPS FSavedBitsPerSample = _8;
    std::uint16_t FSavedSampleRate = 11025;
    bool FClosing = false;
    std::unique_ptr<THiddenWindow> FNextBlockWindow;
    std::unique_ptr<THiddenWindow> FCloseWindow;
};
