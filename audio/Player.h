// The playback direction: streams PCM from a source stream to a wave-output device through the ring. The
// device reports to the component's notification window; every step runs on the main thread.
#pragma once

#include <functional>
#include <memory>

#include "audio/AudioSettings.h"
#include "framework/Streams.h"

// The player's own requests to the component's window, apart from the device's notifications there.
constexpr UINT kNextBlockRequest = WM_APP + 0x3BD;
constexpr UINT kCloseRequest = WM_APP + 0x3BC;

class TPlayer : public TAudioSettings {
public:
    TPlayer(TAudio& owner, HWND window) : TAudioSettings(owner, window) {}
    ~TPlayer() override;

    // Starts playing source from its start, then loopCount more times; false (with ErrorMessage) when the
    // device cannot be opened. The application itself never plays anything.
    bool PlayStream(std::unique_ptr<TStream> source, std::uint16_t loopCount);
    void BufferDone();
    void QueueNextChunk();
    void ClosePlayer();
    void StopPlayer();
    void SetIsActive(bool value) { FIsActive.store(value); }

    std::uint16_t LoopCount() const { return FLoopCount; }
    std::int64_t ReadPosition() const { return FReadPosition; }
    int QueuedCount() const { return FQueuedCount; }
    bool HasSource() const { return FSource != nullptr; }

private:
    void StoreError(const char* fixed, MMRESULT code);
    // Playback is over once the source is gone and the device holds nothing more.
    void CloseWhenDrained();
    void RequestClose();
    // Waits up to ms milliseconds for done. Meanwhile only the messages of the component's own window run
    // (the device's notifications and the player's requests), so that a click handler that stops playback is
    // not entered again by input, timers or painting. Messages sent from other threads are delivered all the
    // same, as in any wait for a message.
    void WaitForDevice(const std::function<bool()>& done, DWORD ms) const;

    HWAVEOUT FWaveOut = nullptr;
    std::uint16_t FLoopCount = 0;
    std::int64_t FReadPosition = 0;
    std::unique_ptr<TStream> FSource;
    int FQueuedCount = 0;
    bool FClosing = false;
};
