// The recording direction: captures from a wave-input device into the ring and appends each filled buffer to
// the open take file.
//
// Threads: the platform calls WaveInCallback on a thread of its own. There the recorder writes the buffer to
// the file (and brings the two size fields up to date), raises OnRecord and posts the buffer-done message; it
// never allocates, throws, or touches a window other than by PostMessage. Failures seen there are kept in
// atomics and turned into ErrorMessage text on the main thread, where the notification window hands the
// buffer back to the device. The file is finished only after the device is closed and the callback has left.
#pragma once

#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <string>

#include "audio/AudioSettings.h"
#include "audio/WaveFile.h"
#include "framework/FileStream.h"
#include "framework/HiddenWindow.h"

// Sent to the notification window for each buffer the callback processed (the platform's data message).
constexpr UINT kBufferDoneMessage = 0x3C0;

class TRecorder : public TAudioSettings {
public:
    explicit TRecorder(TAudio& owner);
    ~TRecorder() override;

    bool StartRecording();
    bool StopRecording();
    bool OpenRecorder();
    bool CloseRecorder();
    bool AddInputBuffer();
    static void CALLBACK WaveInCallback(HWAVEIN device, UINT message, DWORD_PTR instance, DWORD_PTR param1,
                                        DWORD_PTR param2) noexcept;
    bool CheckTrigger(const std::uint8_t* data, std::uint32_t n) noexcept;
    std::uint32_t SplitBuffer(std::uint8_t* data, std::uint8_t* right, std::uint32_t n) noexcept;

    // Creates the take file with its 44-byte header (raises EFCreateError "Cannot create file "%s". %s").
    // Without data the file stays open for the recorder; with data the whole file is written and finished.
    void CreateWaveFile(const std::string& fileName, TStream* data = nullptr, TStream* right = nullptr);
    void FinishWaveFile();
    bool FileOpen() const { return FFileOpen.load(); }

    bool SplitChannels() const { return FSplitChannels; }
    void SetSplitChannels(bool value);
    std::uint16_t TrigLevel() const { return FTrigLevel; }
    void SetTrigLevel(std::uint16_t value) { FTrigLevel = value; }
    bool Triggered() const { return FTriggered.load(); }
    void SetTriggered(bool value) { FTriggered.store(value); }

    // Peak of the most recently captured buffer, 0..32767, for a level meter on the main thread.
    int LastPeak() const { return FLastPeak.load(std::memory_order_relaxed); }
    // Buffers processed by the callback since the last open (with data, while active).
    unsigned BuffersDone() const { return FBuffersDone.load(); }
    // Bytes that the last StopRecording took from the buffers the device handed back unfinished.
    std::uint32_t TailBytes() const { return FTailBytes; }
    HWND NotifyWindow() const { return FWindow ? FWindow->Handle() : nullptr; }

    // The take file may not grow past this many bytes (4 GiB - 1; tests use small limits).
    void SetFileSizeLimit(std::uint64_t limit) { FAppender.Limit = limit; }
    std::uint64_t FileSizeLimit() const { return FAppender.Limit; }
    // Brings the size fields up to date after each buffer (on by default; off only to measure its cost).
    void SetHeaderUpdates(bool value) { FAppender.UpdateHeader = value; }
    // How take files are opened (tests substitute streams that fail).
    using TStreamFactory = std::function<std::unique_ptr<TFileStream>(const std::string& fileName)>;
    void SetStreamFactory(TStreamFactory factory) { FStreamFactory = std::move(factory); }

    bool SetProperty(const std::string& name, const TLayoutValue& value) override;

    // Texts for failures of appending (not the platform's).
    static const char kSizeLimitText[];
    static const char kWriteErrorText[];

private:
    void ProcessBuffer() noexcept;
    // Appends n bytes to the take file while it accepts data; a failure is kept for ReportCallbackFailures.
    bool AppendToFile(const std::uint8_t* data, std::uint32_t n) noexcept;
    // After the device is closed: the audio of the buffers it handed back without the callback writing them
    // (the one being filled at the stop among them) goes to the file, in ring order.
    void AppendReturnedBuffers() noexcept;
    bool HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // Turns what the callback kept into ErrorMessage text, and re-raises an OnRecord handler's exception
    // here on the main thread.
    void ReportCallbackFailures();
    void StoreError(const char* fixed, MMRESULT code);
    void WaitForCallback() const;

    HWAVEIN FWaveIn = nullptr;
    bool FSplitChannels = false;
    std::uint16_t FTrigLevel = 0;
    std::atomic<bool> FTriggered{false};
    std::unique_ptr<TFileStream> FWaveStream;
    std::atomic<bool> FFileOpen{false};
    std::atomic<bool> FAppending{false};
    TWaveAppender FAppender;
    TStreamFactory FStreamFactory;
    std::atomic<int> FAppendFailure{TWaveAppender::arOk};
    std::atomic<DWORD> FAppendErrorCode{0};
    std::atomic<int> FLastPeak{0};
    std::atomic<int> FInCallback{0};
    std::atomic<unsigned> FBuffersDone{0};
    // Per slot: the callback has processed what the device returned in it (cleared when it goes back).
    std::atomic<bool> FProcessed[kRingSlots] = {};
    std::uint32_t FTailBytes = 0;
    std::exception_ptr FCallbackException;
    std::atomic<bool> FCallbackExceptionTaken{false};
    std::atomic<bool> FCallbackExceptionReady{false};
    std::unique_ptr<THiddenWindow> FWindow;
};
