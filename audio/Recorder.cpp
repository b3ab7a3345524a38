#include "audio/Recorder.h"

#include <cstring>

#include "audio/Audio.h"

const char TRecorder::kSizeLimitText[] = "Wave file size limit reached, further buffers discarded";
const char TRecorder::kWriteErrorText[] = "Error writing wave file: ";

namespace {
std::string WaveInText(const char* fixed, MMRESULT code)
{
    char text[512] = {};
    waveInGetErrorTextA(code, text, 255);
    std::string out = fixed;
    if (text[0]) out += std::string(" ") + text;
    return out;
}

bool TruncateFile(TStream& stream, std::uint64_t size)
{
    stream.Seek(static_cast<std::int64_t>(size), soBeginning);
    return static_cast<TFileStream&>(stream).Truncate();
}
}  // namespace

TRecorder::TRecorder(TAudio& owner) : TAudioSettings(owner)
{
    FAppender.Truncate = TruncateFile;
    FAppender.LastError = [] { return static_cast<unsigned long>(GetLastError()); };
    FWindow = std::make_unique<THiddenWindow>(
        [this](UINT msg, WPARAM w, LPARAM l, LRESULT& r) { return HandleMessage(msg, w, l, r); });
}

TRecorder::~TRecorder()
{
    // The component stops recording before it destroys the recorder; this only guards a direct delete.
    if (FIsOpen) {
        FIsActive = false;
        CloseRecorder();
    }
    if (FFileOpen) FinishWaveFile();
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
    return true;
}

bool TRecorder::AddInputBuffer()
{
    WAVEHDR* h = FHeaders[FAddIndex].get();
    h->dwBytesRecorded = 0;
    FProcessed[FAddIndex] = false;
    MMRESULT r = waveInAddBuffer(FWaveIn, h, sizeof(WAVEHDR));
    if (r != MMSYSERR_NOERROR) {
        StopRecording();
        StoreError("Error adding input buffer", r);
        return false;
    }
    FAddIndex = NextSlot(FAddIndex);
    return true;
}

bool TRecorder::CloseRecorder()
{
    if (!FIsOpen) {
        FOwner.SetErrorMessage("Recorder already closed");
        return true;
    }
    if (waveInReset(FWaveIn) != MMSYSERR_NOERROR) {
        FOwner.SetErrorMessage("Error in waveInReset");
        return false;
    }
    for (int i = 0; i < kRingSlots; ++i) {
        MMRESULT r = waveInUnprepareHeader(FWaveIn, FHeaders[i].get(), sizeof(WAVEHDR));
        if (r != MMSYSERR_NOERROR) {
            StoreError("Error in waveInUnprepareHeader", r);
            return false;
        }
    }
    if (waveInClose(FWaveIn) != MMSYSERR_NOERROR) {
        FOwner.SetErrorMessage("Error closing input device");
        return false;
    }
    FWaveIn = nullptr;
    FIsOpen = false;
    return true;
}

void TRecorder::WaitForCallback() const
{
    // A callback that passed its active test just before the stop may still be writing.
    for (int i = 0; FInCallback.load() != 0 && i < 2000; ++i) Sleep(1);
}

bool TRecorder::StopRecording()
{
    FIsActive = false;
    const bool wasOpen = FIsOpen;
    bool result = CloseRecorder();
    WaitForCallback();
    FTailBytes = 0;
    if (wasOpen && !FIsOpen) AppendReturnedBuffers();
    if (FFileOpen) FinishWaveFile();
    // Buffer-done messages still queued belong to the take that just ended.
    MSG msg;
    if (HWND wnd = NotifyWindow())
        while (PeekMessageA(&msg, wnd, kBufferDoneMessage, kBufferDoneMessage, PM_REMOVE)) {
        }
    for (DWORD start = GetTickCount(); FIsActive && GetTickCount() - start < 2000;) {
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        } else {
            Sleep(1);
        }
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
    case WIM_CLOSE: self->FIsActive = false; break;
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
    const std::uint32_t n = FHeaders[slot]->dwBytesRecorded & 0xFFFF;
    if (n > 0) FLastPeak.store(BufferPeak(data, n, FBitsPerSample), std::memory_order_relaxed);
    try {
        if (CheckTrigger(data, n)) {
            AppendToFile(data, n);
            const TNotifyAudioRecordEvent& onRecord = FOwner.OnRecord;
            if (onRecord) {
                if (FSplitChannels) {
                    std::uint32_t half = SplitBuffer(data, right, n);
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
        FProcessed[slot] = true;
        PostMessageA(NotifyWindow(), kBufferDoneMessage, 0, 0);
        FDoneIndex.store(NextSlot(slot));
        FBuffersDone.fetch_add(1);
    }
    FInCallback.fetch_sub(1);
}

bool TRecorder::AppendToFile(const std::uint8_t* data, std::uint32_t n) noexcept
{
    if (!FAppending) return false;
    TWaveAppender::TResult r = FAppender.Append(data, n);
    if (r == TWaveAppender::arOk) return true;
    FAppendErrorCode = r == TWaveAppender::arWriteFailed ? FAppender.ErrorCode : 0;
    FAppendFailure = r;
    FAppending = false;
    return false;
}

void TRecorder::AppendReturnedBuffers() noexcept
{
    int slot = FDoneIndex.load();
    for (int i = 0; i < kRingSlots; ++i, slot = NextSlot(slot)) {
        const std::uint32_t n = FHeaders[slot]->dwBytesRecorded & 0xFFFF;
        if (FProcessed[slot] || n == 0) continue;
        FProcessed[slot] = true;
        if (CheckTrigger(FBuffers[slot].get(), n) && AppendToFile(FBuffers[slot].get(), n)) FTailBytes += n;
    }
}

bool TRecorder::CheckTrigger(const std::uint8_t* data, std::uint32_t n) noexcept
{
    if (FTriggered) return true;
    if (n == 0) return FTriggered;
    if (BufferReachesLevel(data, n, FBitsPerSample, FTrigLevel)) FTriggered = true;
    return FTriggered;
}

std::uint32_t TRecorder::SplitBuffer(std::uint8_t* data, std::uint8_t* right, std::uint32_t n) noexcept
{
    return SplitStereo(data, right, n, FBitsPerSample);
}

bool TRecorder::HandleMessage(UINT msg, WPARAM, LPARAM, LRESULT& result)
{
    if (msg != kBufferDoneMessage) return false;
    result = 0;
    if (FIsOpen) AddInputBuffer();
    ReportCallbackFailures();
    return true;
}

void TRecorder::ReportCallbackFailures()
{
    int failure = FAppendFailure.exchange(TWaveAppender::arOk);
    if (failure == TWaveAppender::arLimit) {
        FOwner.SetErrorMessage(kSizeLimitText);
    } else if (failure == TWaveAppender::arWriteFailed) {
        DWORD code = FAppendErrorCode.load();
        FOwner.SetErrorMessage(code ? kWriteErrorText + SysErrorMessage(code) : std::string(kWriteErrorText));
    }
    if (FCallbackExceptionReady.load(std::memory_order_acquire)) {
        std::exception_ptr e = std::move(FCallbackException);
        FCallbackException = nullptr;
        FCallbackExceptionReady = false;
        FCallbackExceptionTaken = false;
        if (e) std::rethrow_exception(e);
    }
}

void TRecorder::SetSplitChannels(bool value) { FSplitChannels = FChannels == Stereo ? value : false; }

void TRecorder::CreateWaveFile(const std::string& fileName, TStream* data, TStream* right)
{
    if (fileName.empty()) {
        // No new file: the open one is finished rather than left growing under the next buffers.
        if (FFileOpen) FinishWaveFile();
        FAppending = false;
        FFileOpen = false;
        return;
    }
    if (FFileOpen) FinishWaveFile();
    char full[MAX_PATH];
    DWORD len = GetFullPathNameA(fileName.c_str(), sizeof full, full, nullptr);
    std::string name = len > 0 && len < sizeof full ? std::string(full, len) : fileName;
    std::unique_ptr<TFileStream> stream =
        FStreamFactory ? FStreamFactory(name) : std::make_unique<TFileStream>(name, fmCreate);
    TWaveFormatRecord format = MakeWaveFormat(FChannels, FBitsPerSample, FSampleRate);
    if (FWaveFormat) std::memcpy(&format, FWaveFormat.get(), sizeof format);
    TWaveHeader header = MakeWaveHeader(FChannels, FSampleRate, format);
    stream->WriteBuffer(header.data(), static_cast<long>(header.size()));
    FWaveStream = std::move(stream);
    FFileOpen = true;
    if (!data) {
        FAppender.Start(FWaveStream.get(), kWaveHeaderSize);
        FAppendFailure = TWaveAppender::arOk;
        FAppending = true;
        return;
    }
    WriteWaveData(*FWaveStream, *data, right, FBitsPerSample);
    FinishWaveFile();
}

void TRecorder::FinishWaveFile()
{
    FAppending = false;
    WaitForCallback();
    FAppender.Stop();
    if (FWaveStream) {
        std::int64_t size = FWaveStream->Seek(0, soEnd);
        if (size >= 0) PatchWaveSizes(*FWaveStream, static_cast<std::uint64_t>(size));
        FWaveStream.reset();
    }
    FFileOpen = false;
}

bool TRecorder::SetProperty(const std::string& name, const TLayoutValue& value)
{
    if (name == "NoSamples") {
        long long v = value.AsInteger();
        if (v < 0 || v > 65535) throw ELayoutError("NoSamples out of range");
        SetNoSamples(static_cast<std::uint16_t>(v));
        return true;
    }
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
    return TAudioSettings::SetProperty(name, value);
}
