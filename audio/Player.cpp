#include "audio/Player.h"

#include "audio/Audio.h"

namespace {
std::string WaveOutText(const char* fixed, MMRESULT code)
{
    char text[512] = {};
    waveOutGetErrorTextA(code, text, 255);
    std::string out = fixed;
    if (text[0]) out += std::string(" ") + text;
    return out;
}
}  // namespace

TPlayer::~TPlayer()
{
    if (FIsOpen) {
        waveOutReset(FWaveOut);
        for (int i = 0; i < kRingSlots; ++i) waveOutUnprepareHeader(FWaveOut, FHeaders[i].get(), sizeof(WAVEHDR));
        waveOutClose(FWaveOut);
    }
}

void TPlayer::StoreError(const char* fixed, MMRESULT code) { FOwner.SetErrorMessage(WaveOutText(fixed, code)); }

bool TPlayer::PlayStream(std::unique_ptr<TStream> source, std::uint16_t loopCount)
{
    if (FIsOpen || !source) return false;
    MMRESULT r = MMSYSERR_INVALPARAM;
    if (FWaveFormat && FBufferBytes > 0)
        r = waveOutOpen(&FWaveOut, static_cast<UINT>(FOwner.AudioDeviceID()), FWaveFormat.get(),
                        reinterpret_cast<DWORD_PTR>(FWindow), 0, CALLBACK_WINDOW);
    if (r != MMSYSERR_NOERROR) {
        FWaveOut = nullptr;
        StoreError("Could not open the output device for playing: ", r);
        return false;
    }
    FIsOpen = true;
    FAddIndex = 0;
    FDoneIndex = 0;
    FQueuedCount = 0;
    FClosing = false;
    for (int i = 0; i < kRingSlots; ++i) {
        *FHeaders[i] = WAVEHDR{};
        FHeaders[i]->lpData = reinterpret_cast<LPSTR>(FBuffers[i].get());
    }
    FSource = std::move(source);
    FReadPosition = 0;
    FLoopCount = loopCount;
    // Three blocks at most: AddIndex = DoneIndex must keep meaning that nothing is queued.
    for (int i = 0; i < kRingSlots - 1 && FSource; ++i) QueueNextChunk();
    return true;
}

void TPlayer::BufferDone()
{
    if (!FIsActive) return;
    if (FAddIndex == FDoneIndex) {
        if (!FClosing) RequestClose();
        return;
    }
    if (FOwner.OnBufferPlayed) FOwner.OnBufferPlayed(&FOwner);
    PostMessageA(FWindow, kNextBlockRequest, 0, 0);
    FDoneIndex = NextSlot(FDoneIndex);
    --FQueuedCount;
    CloseWhenDrained();
}

void TPlayer::CloseWhenDrained()
{
    // The last returned buffer brings no further notification, so the end is noticed here.
    if (!FSource && FQueuedCount <= 0 && FIsOpen && !FClosing) RequestClose();
}

void TPlayer::RequestClose()
{
    FClosing = true;
    PostMessageA(FWindow, kCloseRequest, 0, 0);
}

void TPlayer::QueueNextChunk()
{
    if (!FSource) return;
    FClosing = false;
    std::int64_t saved = FSource->Position();
    FSource->SetPosition(FReadPosition);
    std::uint8_t* buffer = FBuffers[FAddIndex].get();
    long count = FSource->Read(buffer, FBufferBytes);
    if (count == 0 && FLoopCount > 0) {
        --FLoopCount;
        FSource->SetPosition(0);
        count = FSource->Read(buffer, FBufferBytes);
    }
    FReadPosition = FSource->Position();
    FSource->SetPosition(saved);
    if (count <= 0) {
        FSource.reset();
        CloseWhenDrained();
        return;
    }
    WAVEHDR* h = FHeaders[FAddIndex].get();
    h->dwBufferLength = static_cast<DWORD>(count);
    h->dwFlags = 0;
    h->dwLoops = 0;
    MMRESULT r = waveOutPrepareHeader(FWaveOut, h, sizeof(WAVEHDR));
    if (r == MMSYSERR_NOERROR) r = waveOutWrite(FWaveOut, h, sizeof(WAVEHDR));
    if (r != MMSYSERR_NOERROR) {
        StoreError("", r);
        return;
    }
    FAddIndex = NextSlot(FAddIndex);
    ++FQueuedCount;
}

void TPlayer::ClosePlayer()
{
    if (!FIsOpen) {
        FOwner.SetErrorMessage("Player already closed");
        return;
    }
    for (int i = 0; i < kRingSlots; ++i) {
        MMRESULT r = waveOutUnprepareHeader(FWaveOut, FHeaders[i].get(), sizeof(WAVEHDR));
        if (r != MMSYSERR_NOERROR) {
            StoreError("Error unpreparing header for playing: ", r);
            return;
        }
    }
    MMRESULT r = waveOutClose(FWaveOut);
    if (r != MMSYSERR_NOERROR) {
        StoreError("Error closing output device: ", r);
        return;
    }
    FWaveOut = nullptr;
    FIsOpen = false;
    if (FOwner.OnPlayed) FOwner.OnPlayed(this);
}

void TPlayer::StopPlayer()
{
    if (!FIsOpen) {
        FOwner.SetErrorMessage("Player already closed");
        return;
    }
    if (FSource) {
        FSource.reset();
        FAddIndex = FDoneIndex.load();
        FOwner.SetErrorMessage("");
    }
    if (!FClosing) {
        if (waveOutReset(FWaveOut) != MMSYSERR_NOERROR) {
            FOwner.SetErrorMessage("Error in waveOutReset");
            return;
        }
        // With nothing queued the reset returns no buffer that could ask for the close.
        RequestClose();
    }
    WaitForDevice([this] { return !FIsActive && !FIsOpen; }, 3000);
}

void TPlayer::WaitForDevice(const std::function<bool()>& done, DWORD ms) const
{
    MSG msg;
    for (DWORD start = GetTickCount(); !done() && GetTickCount() - start < ms;) {
        if (PeekMessageA(&msg, FWindow, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        else
            Sleep(1);
    }
}
