// The recording direction: captures from a wave-input device into the ring and appends each filled buffer to
// the open take file.
//
// Threads: the platform calls WaveInCallback on a thread of its own. There the recorder copies the buffer into
// the take writer's queue (a thread of the writer's own appends it to the file and keeps the two size fields up
// to date), raises OnRecord and posts the buffer-done message; it never allocates, throws, waits on the disk or
// touches a window other than by PostMessage. The main thread hands buffers back to the device, watches the
// take for failures (Fault) and turns them into ErrorMessage text. Each buffer the device returns is claimed
// once, by the callback or by the stop, so none reaches the file twice. The file is finished only after the
// device is closed and the writer has written what it was given.
#pragma once

#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <string>

#include "audio/AudioSettings.h"
#include "audio/TakeWriter.h"
#include "audio/WaveFile.h"
#include "framework/FileStream.h"

// Posted to the component's window for each buffer the callback processed (the platform's data message).
constexpr UINT kBufferDoneMessage = 0x3C0;

// What ended a take before Stop: the recording window tells the user and keeps what was recorded.
enum TRecordFault {
    rfNone,
    rfNoSound,      // no buffer came back from the device for kNoSoundMs
    rfDeviceLost,   // the device closed on its own or refused a buffer
    rfSoundLost,    // the file was written too slowly and the queue ran full
    rfSizeLimit,    // the next buffer would take the file past its size limit
    rfWriteFailed,  // a write to the file failed (drive full, medium or share gone)
};

class TRecorder : public TAudioSettings {
public:
    TRecorder(TAudio& owner, HWND window);
    ~TRecorder() override;

    bool StartRecording();
    bool StopRecording();
    bool OpenRecorder();
    bool CloseRecorder();
    bool AddInputBuffer();
    static void CALLBACK WaveInCallback(HWAVEIN device, UINT message, DWORD_PTR instance, DWORD_PTR param1,
                                        DWORD_PTR param2) noexcept;
    bool CheckTrigger(const std::uint8_t* data, std::uint32_t n) noexcept;
    // On the buffer-done message: the buffer goes back to the device.
    void BufferDone();

    // Creates the take file with its 44-byte header (raises EFCreateError "Cannot create file "%s". %s").
    // Without data the file stays open for the recorder, and an existing file of the name is never replaced
    // (the error's code is then ERROR_FILE_EXISTS); with data the whole file is written and finished.
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

    // What has ended the running take, if anything; now is the tick count of the moment. The first time a
    // fault is seen its text goes to ErrorMessage. A take that is not recording has no fault.
    TRecordFault CheckFault(DWORD now);
    static constexpr DWORD kNoSoundMs = 2000;
    // The first buffer of a take may take longer: a sound server connects the capture stream first.
    static constexpr DWORD kFirstSoundMs = 4000;
    // Audio bytes in the take file so far (without the header).
    std::uint64_t RecordedBytes() const;
    // For the session's end: waits up to ms milliseconds for the queue to reach the file, then has the
    // system write the file through. True when the file on disk holds everything captured so far.
    bool FlushTake(unsigned ms);

    // The take file may not grow past this many bytes (4 GiB - 1; tests use small limits).
    void SetFileSizeLimit(std::uint64_t limit) { FWriter.Appender().Limit = limit; }
    // How take files are opened (tests substitute streams that fail or stall).
    using TStreamFactory = std::function<std::unique_ptr<TFileStream>(const std::string& fileName)>;
    void SetStreamFactory(TStreamFactory factory) { FStreamFactory = std::move(factory); }

    bool SetProperty(const std::string& name, const TLayoutValue& value) override;

    // Texts of the take's failures (not the platform's).
    static const char kSizeLimitText[];
    static const char kWriteErrorText[];
    static const char kNoSoundText[];
    static const char kDeviceClosedText[];
    static const char kSoundLostText[];

private:
    void ProcessBuffer() noexcept;
    // Hands n bytes to the writer while the file is open.
    void AppendToFile(const std::uint8_t* data, std::uint32_t n) noexcept;
    // True for the one caller that gets to hand the slot's audio on: the callback or the stop.
    bool ClaimSlot(int slot) noexcept { return !FProcessed[slot].exchange(true); }
    // After the device is closed: the audio of the buffers it handed back without the callback taking them
    // (the one being filled at the stop among them) goes to the file, in ring order.
    void AppendReturnedBuffers() noexcept;
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
    TTakeWriter FWriter;
    TStreamFactory FStreamFactory;
    std::atomic<int> FLastPeak{0};
    std::atomic<int> FInCallback{0};
    std::atomic<unsigned> FBuffersDone{0};
    // Per slot: what the device returned in it has been claimed (cleared when it goes back to the device).
    std::atomic<bool> FProcessed[kRingSlots] = {};
    // The watchdog: when the device last returned a buffer or was handed one (tick counts).
    std::atomic<DWORD> FLastActivity{0};
    bool FRecording = false;      // started and not yet stopped
    bool FClosing = false;        // our own close is under way: its close notification is expected
    std::atomic<bool> FDeviceClosed{false};  // the device closed on its own
    bool FDeviceRefused = false;  // the device refused a buffer
    TRecordFault FFault = rfNone;
    std::string FFaultText;
    std::uint32_t FTailBytes = 0;
    std::exception_ptr FCallbackException;
    std::atomic<bool> FCallbackExceptionTaken{false};
    std::atomic<bool> FCallbackExceptionReady{false};
};
