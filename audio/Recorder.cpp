#include "audio/Recorder.h"

#include <cstring>

#include "audio/Audio.h"

const char TRecorder::kSizeLimitText[] = "Wave file size limit reached, further buffers discarded";
const char TRecorder::kWriteErrorText[] = "Error writing wave file: ";
const char TRecorder::kNoSoundText[] = "No sound from the input device for 2 seconds";
const char TRecorder::kDeviceClosedText[] = "The input device closed";
const char TRecorder::kSoundLostText[] = "Sound lost: the wave file was not written fast enough";

namespace {
std::string WaveInText(const char* fixed, MMRESULT code)
{
    char text[512] = {};
    waveInGetErrorTextA(code, text, 255);
    std::string out = fixed;
    if (text[0]) out += std::string(" ") + text;
    return out;
}

// Bytes the device put in a returned buffer: never more than the buffer holds, whatever the header says.
std::uint32_t RecordedIn(const WAVEHDR& header, std::uint32_t bufferBytes)
{
    return header.dwBytesRecorded < bufferBytes ? header.dwBytesRecorded : bufferBytes;
}

bool TruncateFile(TStream& stream, std::uint64_t size)
{
    stream.Seek(static_cast<std::int64_t>(size), soBeginning);
    return static_cast<TFileStream&>(stream).Truncate();
}
}  // namespace

TRecorder::TRecorder(TAudio& owner, HWND window) : TAudioSettings(owner, window)
{
    FWriter.Appender().Truncate = TruncateFile;
    FWriter.Appender().LastError = [] { return static_cast<unsigned long>(GetLastError()); };
}

TRecorder::~TRecorder()
{
    // The component has stopped recording; a device whose close failed then is tried once more.
    if (FIsOpen) CloseRecorder();
}

void TRecorder::StoreError(const char* fixed, MMRESULT code) { FOwner.SetErrorMessage(WaveInText(fixed, code)); }

bool TRecorder::OpenRecorder()
{
    if (FIsOpen) return true;
    FAddIndex = 0;
    FDoneIndex = 0;
    FBuffersDone = 0;
    for (auto& processed : FProcessed) processed = false;
    FLastPeak.store(0, std::memory_order_relaxed);  // a new take starts with a silent meter
    // Without a format record there is nothing the device could fill.
    MMRESULT r = MMSYSERR_INVALPARAM;
    if (FWaveFormat && FBufferBytes > 0)
        r = waveInOpen(&FWaveIn, static_cast<UINT>(FOwner.AudioDeviceID()), FWaveFormat.get(),
                       reinterpret_cast<DWORD_PTR>(&TRecorder::WaveInCallback), reinterpret_cast<DWORD_PTR>(this),
                       CALLBACK_FUNCTION | WAVE_ALLOWSYNC);
    if (r != MMSYSERR_NOERROR) {
        FWaveIn = nullptr;
        CloseRecorder();
        StoreError("Could not open the input device for recording: ", r);
        return false;
    }
    FIsOpen = true;
    for (int i = 0; i < kRingSlots; ++i) {
        *FHeaders[i] = WAVEHDR{};
        FHeaders[i]->lpData = reinterpret_cast<LPSTR>(FBuffers[i].get());
        FHeaders[i]->dwBufferLength = FBufferBytes;
    }
    for (int i = 0; i < kRingSlots; ++i) {
        r = waveInPrepareHeader(FWaveIn, FHeaders[i].get(), sizeof(WAVEHDR));
        if (r != MMSYSERR_NOERROR) {
            CloseRecorder();
            StoreError("Error preparing header for recording: ", r);
            return false;
        }
    }
    if (!AddInputBuffer()) {
        FOwner.SetErrorMessage("Error adding next input buffer");
        return false;
    }
    FDeviceClosed = false;
    FDeviceRefused = false;
    FFault = rfNone;
    return true;
}

bool TRecorder::StartRecording()
{
    if (!OpenRecorder()) return false;
    MMRESULT r = waveInStart(FWaveIn);
    if (r != MMSYSERR_NOERROR) {
        StoreError("Error starting wave record: ", r);
        CloseRecorder();
        return false;
    }
    for (int i = 1; i < kRingSlots; ++i) {
        if (!AddInputBuffer()) {
            FOwner.SetErrorMessage("Error adding next input buffer");
            return false;
        }
    }
    FLastActivity = GetTickCount();
    FRecording = true;
    return true;
}

bool TRecorder::AddInputBuffer()
{
    WAVEHDR* h = FHeaders[FAddIndex].get();
    h->dwBytesRecorded = 0;
    FProcessed[FAddIndex] = false;
    MMRESULT r = waveInAddBuffer(FWaveIn, h, sizeof(WAVEHDR));
    if (r != MMSYSERR_NOERROR) {
        const bool recording = FRecording;
        StopRecording();
        StoreError("Error adding input buffer", r);
        // The take keeps what it has; the recording window tells the user.
        FDeviceRefused = recording;
        return false;
    }
    FAddIndex = NextSlot(FAddIndex);
    // A device that has its buffers back is given time to fill them before the watchdog counts silence
    // (after the main thread was busy, several come back at once).
    FLastActivity = GetTickCount();
    return true;
}

bool TRecorder::CloseRecorder()
{
    if (!FIsOpen) {
        FOwner.SetErrorMessage("Recorder already closed");
        return true;
    }
    // A device that lost its source or its sound server fails the reset and keeps its buffers for ever. It is
    // closed all the same: a handle kept open would make every later take record nothing, without an error,
    // while a new open records again once the input is back.
    bool result = true;
    if (waveInReset(FWaveIn) != MMSYSERR_NOERROR) {
        FOwner.SetErrorMessage("Error in waveInReset");
        result = false;
    } else {
        for (int i = 0; i < kRingSlots && result; ++i) {
            MMRESULT r = waveInUnprepareHeader(FWaveIn, FHeaders[i].get(), sizeof(WAVEHDR));
            if (r != MMSYSERR_NOERROR) {
                StoreError("Error in waveInUnprepareHeader", r);
                result = false;
            }
        }
    }
    FClosing = true;
    const MMRESULT closed = waveInClose(FWaveIn);
    FClosing = false;
    if (closed != MMSYSERR_NOERROR) {
        FOwner.SetErrorMessage("Error closing input device");
        return false;
    }
    FWaveIn = nullptr;
    FIsOpen = false;
    return result;
}

void TRecorder::WaitForCallback() const
{
    // A callback that passed its active test just before the stop may still be writing. The device reports
    // to its callback, not to a window, so no message runs while this waits.
    for (int i = 0; FInCallback.load() != 0 && i < 2000; ++i) Sleep(1);
}

bool TRecorder::StopRecording()
{
    FIsActive = false;
    FRecording = false;
    const bool wasOpen = FIsOpen;
    bool result = CloseRecorder();
    WaitForCallback();
    FTailBytes = 0;
    if (wasOpen && !FIsOpen) AppendReturnedBuffers();
    if (FFileOpen) FinishWaveFile();
    // Buffer-done messages still queued belong to the take that just ended.
    MSG msg;
    while (PeekMessageA(&msg, FWindow, kBufferDoneMessage, kBufferDoneMessage, PM_REMOVE)) {
    }
    ReportCallbackFailures();
    return result;
}

void CALLBACK TRecorder::WaveInCallback(HWAVEIN, UINT message, DWORD_PTR instance, DWORD_PTR, DWORD_PTR) noexcept
{
    auto* self = reinterpret_cast<TRecorder*>(instance);
    if (!self) return;
    switch (message) {
    case WIM_OPEN: self->FIsActive = true; break;
    case WIM_CLOSE:
        // Not asked for by CloseRecorder: the device went away (a driver or sound server ended it).
        if (!self->FClosing && self->FIsActive) self->FDeviceClosed = true;
        self->FIsActive = false;
        break;
    case WIM_DATA: self->ProcessBuffer(); break;
    default: break;
    }
}

void TRecorder::ProcessBuffer() noexcept
{
    FInCallback.fetch_add(1);
    if (!FIsActive) {
        FInCallback.fetch_sub(1);
        return;
    }
    const int slot = FDoneIndex.load();
    std::uint8_t* data = FBuffers[slot].get();
    std::uint8_t* right = FHalfBuffers[slot].get();
    const std::uint32_t n = RecordedIn(*FHeaders[slot], FBufferBytes);
    // A stop under way may have taken this buffer already (when this thread came late); then it is not ours.
    if (n > 0 && !ClaimSlot(slot) && !FIsActive) {
        FInCallback.fetch_sub(1);
        return;
    }
    if (n > 0) {
        FLastActivity = GetTickCount();
        FLastPeak.store(BufferPeak(data, n, FFormat.BitsPerSample), std::memory_order_relaxed);
    }
    try {
        if (CheckTrigger(data, n)) {
            AppendToFile(data, n);
            const TNotifyAudioRecordEvent& onRecord = FOwner.OnRecord;
            if (onRecord) {
                if (FSplitChannels) {
                    const std::uint32_t half = SplitStereo(data, right, n, FFormat.BitsPerSample);
                    onRecord(this, data, right, static_cast<std::uint16_t>(half));
                } else {
                    onRecord(this, data, nullptr, static_cast<std::uint16_t>(n));
                }
            }
        }
    } catch (...) {
        // Only the first one is kept; the main thread raises it where the error display can show it.
        if (!FCallbackExceptionTaken.exchange(true)) {
            FCallbackException = std::current_exception();
            FCallbackExceptionReady.store(true, std::memory_order_release);
        }
    }
    if (n > 0) {
        PostMessageA(FWindow, kBufferDoneMessage, 0, 0);
        FDoneIndex.store(NextSlot(slot));
        FBuffersDone.fetch_add(1);
    }
    FInCallback.fetch_sub(1);
}

void TRecorder::AppendToFile(const std::uint8_t* data, std::uint32_t n) noexcept
{
    if (FFileOpen) FWriter.Push(data, n);
}

void TRecorder::AppendReturnedBuffers() noexcept
{
    int slot = FDoneIndex.load();
    for (int i = 0; i < kRingSlots; ++i, slot = NextSlot(slot)) {
        const std::uint32_t n = RecordedIn(*FHeaders[slot], FBufferBytes);
        if (n == 0 || !ClaimSlot(slot)) continue;
        if (CheckTrigger(FBuffers[slot].get(), n) && FFileOpen && FWriter.Push(FBuffers[slot].get(), n))
            FTailBytes += n;
    }
}

bool TRecorder::CheckTrigger(const std::uint8_t* data, std::uint32_t n) noexcept
{
    if (FTriggered) return true;
    if (n == 0) return FTriggered;
    if (BufferReachesLevel(data, n, FFormat.BitsPerSample, FTrigLevel)) FTriggered = true;
    return FTriggered;
}

void TRecorder::BufferDone()
{
    if (FIsOpen) AddInputBuffer();
    ReportCallbackFailures();
}

TRecordFault TRecorder::CheckFault(DWORD now)
{
    if (FFault != rfNone) {
        // Stays the last text, whatever a stop stored meanwhile.
        if (!FFaultText.empty()) FOwner.SetErrorMessage(FFaultText);
        return FFault;
    }
    std::string text;
    switch (FWriter.State()) {
    case TTakeWriter::twSoundLost: FFault = rfSoundLost; text = kSoundLostText; break;
    case TTakeWriter::twSizeLimit: FFault = rfSizeLimit; text = kSizeLimitText; break;
    case TTakeWriter::twWriteFailed:
        FFault = rfWriteFailed;
        text = FWriter.ErrorCode() ? kWriteErrorText + SysErrorMessage(FWriter.ErrorCode())
                                   : std::string(kWriteErrorText, std::strlen(kWriteErrorText) - 2);
        break;
    default: break;
    }
    if (FFault == rfNone && FDeviceRefused) {
        FFault = rfDeviceLost;  // its text is stored already
    } else if (FFault == rfNone && FRecording && FDeviceClosed) {
        FFault = rfDeviceLost;
        text = kDeviceClosedText;
    } else if (FFault == rfNone && FRecording &&
               static_cast<int>(now - FLastActivity.load()) >= int(FBuffersDone ? kNoSoundMs : kFirstSoundMs)) {
        FFault = rfNoSound;
        text = kNoSoundText;
    }
    if (FFault != rfNone) FFaultText = text.empty() ? FOwner.ErrorMessage() : text;
    if (!text.empty()) FOwner.SetErrorMessage(text);
    return FFault;
}

std::uint64_t TRecorder::RecordedBytes() const
{
    const std::uint64_t size = FWriter.FileSize();
    return size > kWaveHeaderSize ? size - kWaveHeaderSize : 0;
}

bool TRecorder::FlushTake(unsigned ms)
{
    if (!FFileOpen || !FWaveStream) return true;
    const bool written = FWriter.WaitWritten(ms);
    return FWaveStream->Flush() && written;
}

void TRecorder::ReportCallbackFailures()
{
    CheckFault(GetTickCount());
    if (FCallbackExceptionReady.load(std::memory_order_acquire)) {
        std::exception_ptr e = std::move(FCallbackException);
        FCallbackException = nullptr;
        FCallbackExceptionReady = false;
        FCallbackExceptionTaken = false;
        if (e) std::rethrow_exception(e);
    }
}

void TRecorder::SetSplitChannels(bool value) { FSplitChannels = FFormat.Channels == Stereo ? value : false; }

void TRecorder::CreateWaveFile(const std::string& fileName, TStream* data, TStream* right)
{
    // The open file is finished, not left growing under the next buffers; an empty name makes no new one.
    if (FFileOpen) FinishWaveFile();
    if (fileName.empty()) return;
    char full[MAX_PATH];
    DWORD len = GetFullPathNameA(fileName.c_str(), sizeof full, full, nullptr);
    std::string name = len > 0 && len < sizeof full ? std::string(full, len) : fileName;
    // A take never replaces a file: one made since its name was chosen makes this fail (ERROR_FILE_EXISTS).
    // A whole file written from streams replaces one of its name.
    std::unique_ptr<TFileStream> stream = FStreamFactory ? FStreamFactory(name)
                                                         : std::make_unique<TFileStream>(name, data ? fmCreate : fmCreateNew);
    const TWaveHeader header = MakeWaveHeader(FFormat);
    try {
        stream->WriteBuffer(header.data(), static_cast<long>(header.size()));
    } catch (const Exception&) {
        // Not even the header fits (a full drive): no empty file is left behind under a take's name.
        stream.reset();
        DeleteFileA(name.c_str());
        throw;
    }
    FWaveStream = std::move(stream);
    if (!data) {
        FFault = rfNone;
        FWriter.Start(FWaveStream.get(), kWaveHeaderSize, FBufferBytes ? FBufferBytes : 0xFFFF);
        FFileOpen = true;
        return;
    }
    FFileOpen = true;
    WriteWaveData(*FWaveStream, *data, right, FFormat.BitsPerSample);
    FinishWaveFile();
}

void TRecorder::FinishWaveFile()
{
    // The callback stops handing data on first; the writer then writes out what it was given.
    FFileOpen = false;
    WaitForCallback();
    FWriter.Finish();
    if (FWaveStream) {
        std::int64_t size = FWaveStream->Seek(0, soEnd);
        if (size >= 0) PatchWaveSizes(*FWaveStream, static_cast<std::uint64_t>(size));
        FWaveStream.reset();
    }
}

bool TRecorder::SetProperty(const std::string& name, const TLayoutValue& value)
{
    if (name == "SplitChannels") {
        SetSplitChannels(value.AsBool());
        return true;
    }
    if (name == "TrigLevel") {
        long long v = value.AsInteger();
        if (v < 0 || v > 65535) throw ELayoutError("TrigLevel out of range");
        SetTrigLevel(static_cast<std::uint16_t>(v));
        return true;
    }
    if (name == "Triggered") {
        SetTriggered(value.AsBool());
        return true;
    }
    return false;
}
