// How long a stalled write a take survives: a real take from the wave mapper, with a steady tone playing
// into the sound server (bench/stall.sh starts it), whose file stops taking writes once for a given time
// about 1.5 s in. Afterwards the take is searched for a break in the tone: a lost buffer shifts its phase.
// Each stall is tried on a bare recorder that writes from its capture callback, with the same ring of four
// 32 KB buffers (the baseline, measured in the same run), and on the program's recorder.
//   stall_bench.exe [stall seconds ...]   (default 0 0.5 1 2 3 4 5 7)
#include <windows.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "audio/Audio.h"
#include "framework/FileStream.h"

namespace {

constexpr double kToneHz = 997.0;   // bench/stall.sh plays this
constexpr int kRate = 44100;

// Stops once for StallMs when the file passes this many bytes (1.5 s of audio).
constexpr long kStallAt = 44 + 3 * 88200;

// Stops once for StallMs when the file passes StallAt bytes.
class TStallingStream : public TFileStream {
public:
    TStallingStream(const std::string& name, long stallAt, DWORD stallMs)
        : TFileStream(name, fmCreate), FStallAt(stallAt), FStallMs(stallMs)
    {
    }
    long Write(const void* buffer, long count) override
    {
        if (FStallMs && Position() >= FStallAt) {
            Sleep(FStallMs);
            FStallMs = 0;
        }
        return TFileStream::Write(buffer, count);
    }

private:
    long FStallAt;
    DWORD FStallMs;
};

// Runs the message loop for seconds; returns when the first buffer came back (GetTickCount), or 0.
DWORD Pump(double seconds, const TRecorder& rec)
{
    const DWORD end = GetTickCount() + static_cast<DWORD>(seconds * 1000);
    DWORD first = 0;
    MSG msg;
    while (static_cast<int>(end - GetTickCount()) > 0) {
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        if (!first && rec.BuffersDone() > 0) first = GetTickCount();
        Sleep(5);
    }
    return first;
}

// Seconds of sound that should be in a take whose first 32 KB buffer came back at first and that stopped at
// stop, less what the take holds: what was lost (within a buffer or so).
double Lost(DWORD first, DWORD stop, double takeSeconds)
{
    return first ? (stop - first) / 1000.0 + 32768.0 / (4 * kRate) - takeSeconds : 0;
}

std::vector<std::int16_t> LeftChannel(const std::string& path)
{
    std::vector<std::int16_t> left;
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return left;
    std::vector<std::int16_t> frames(GetFileSize(h, nullptr) / 2);
    DWORD got = 0;
    ReadFile(h, frames.data(), static_cast<DWORD>(frames.size() * 2), &got, nullptr);
    CloseHandle(h);
    for (std::size_t i = 22 + 0; i + 1 < got / 2; i += 2) left.push_back(frames[i]);  // after the 44-byte header
    return left;
}

// Samples where the tone does not go on as a sine of its frequency would: s[n+1] = 2 cos(w) s[n] - s[n-1].
int Breaks(const std::vector<std::int16_t>& s, double& seconds)
{
    const double k = 2 * std::cos(2 * 3.14159265358979 * kToneHz / kRate);
    std::size_t first = 0;
    while (first < s.size() && std::abs(s[first]) < 3000) ++first;  // the tone's onset
    int breaks = 0;
    for (std::size_t n = first + 64; n + 1 < s.size(); ++n)
        if (std::fabs(s[n + 1] - (k * s[n] - s[n - 1])) > 200) ++breaks, n += 64;
    seconds = double(s.size() - first) / kRate;
    return breaks;
}

// The baseline: the ring of four 32 KB buffers, each filled buffer written to the file from the callback
// (so a stalled write holds the callback) and handed back on the main thread.
struct TBareRecorder {
    HWAVEIN In = nullptr;
    std::unique_ptr<TStallingStream> File;
    WAVEHDR Headers[4] = {};
    std::vector<char> Data = std::vector<char>(4 * 32768);
    DWORD MainThread = GetCurrentThreadId();
    volatile bool Active = false;

    static void CALLBACK Callback(HWAVEIN, UINT msg, DWORD_PTR inst, DWORD_PTR p1, DWORD_PTR) noexcept
    {
        auto* self = reinterpret_cast<TBareRecorder*>(inst);
        if (msg != WIM_DATA || !self->Active) return;
        auto* h = reinterpret_cast<WAVEHDR*>(p1);
        self->File->Write(h->lpData, static_cast<long>(h->dwBytesRecorded));
        PostThreadMessageA(self->MainThread, WM_APP, 0, reinterpret_cast<LPARAM>(h));
    }
    DWORD First = 0, Stopped = 0;
    bool Record(const std::string& path, double stall, double seconds)
    {
        File = std::make_unique<TStallingStream>(path, kStallAt, static_cast<DWORD>(stall * 1000));
        char header[44] = {};
        File->Write(header, 44);
        WAVEFORMATEX f = {WAVE_FORMAT_PCM, 2, kRate, kRate * 4, 4, 16, 0};
        if (waveInOpen(&In, WAVE_MAPPER, &f, reinterpret_cast<DWORD_PTR>(&Callback), reinterpret_cast<DWORD_PTR>(this),
                       CALLBACK_FUNCTION) != MMSYSERR_NOERROR)
            return false;
        for (int i = 0; i < 4; ++i) {
            Headers[i] = WAVEHDR{};
            Headers[i].lpData = Data.data() + i * 32768;
            Headers[i].dwBufferLength = 32768;
            waveInPrepareHeader(In, &Headers[i], sizeof(WAVEHDR));
            waveInAddBuffer(In, &Headers[i], sizeof(WAVEHDR));
        }
        Active = true;
        waveInStart(In);
        const DWORD end = GetTickCount() + static_cast<DWORD>(seconds * 1000);
        MSG msg;
        while (static_cast<int>(end - GetTickCount()) > 0) {
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (msg.message == WM_APP && Active) {
                    if (!First) First = GetTickCount();
                    waveInAddBuffer(In, reinterpret_cast<WAVEHDR*>(msg.lParam), sizeof(WAVEHDR));
                } else {
                    DispatchMessageA(&msg);
                }
            }
            Sleep(5);
        }
        Stopped = GetTickCount();
        Active = false;
        waveInReset(In);
        for (auto& h : Headers) waveInUnprepareHeader(In, &h, sizeof(WAVEHDR));
        waveInClose(In);
        File.reset();
        return true;
    }
};

}  // namespace

int main(int argc, char** argv)
{
    std::vector<double> stalls;
    for (int i = 1; i < argc; ++i) stalls.push_back(std::atof(argv[i]));
    if (stalls.empty()) stalls = {0, 0.5, 1, 2, 3, 4, 5, 7};
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string path = std::string(temp) + "tw_stall_bench.wav";

    TAudio audio(nullptr);
    TRecorder& rec = audio.Recorder();
    audio.SetBitsPerSample(rec, _16);
    audio.SetChannels(rec, Stereo);
    audio.SetSampleRate(rec, kRate);
    rec.SetTriggered(true);
    std::printf("stall (s) | callback writes: take (s), lost (s), breaks | program: take (s), lost (s), breaks, told\n");
    for (double stall : stalls) {
        // Long enough for a slow first buffer, the 1.5 s before the stall, the stall and 2 s after it.
        const double run = 6 + stall;
        double bareSeconds = 0, seconds = 0;
        TBareRecorder bare;
        if (!bare.Record(path, stall, run)) {
            std::printf("no wave input\n");
            return 1;
        }
        const int bareBreaks = Breaks(LeftChannel(path), bareSeconds);
        const double bareTake = LeftChannel(path).size() / double(kRate);
        const double bareLost = Lost(bare.First, bare.Stopped, bareTake);
        DeleteFileA(path.c_str());

        rec.SetStreamFactory([stall](const std::string& name) {
            return std::make_unique<TStallingStream>(name, kStallAt, static_cast<DWORD>(stall * 1000));
        });
        rec.CreateWaveFile(path);
        if (!rec.StartRecording()) {
            std::printf("no wave input: %s\n", audio.ErrorMessage().c_str());
            return 1;
        }
        const DWORD first = Pump(run, rec);
        const TRecordFault fault = rec.CheckFault(GetTickCount());
        const DWORD stopped = GetTickCount();
        rec.StopRecording();
        const int breaks = Breaks(LeftChannel(path), seconds);
        const double take = LeftChannel(path).size() / double(kRate);
        const double lost = Lost(first, stopped, take);
        std::printf("%9.1f | %8.2f %8.2f %3d %-4s | %8.2f %8.2f %3d %-4s %s\n", stall, bareTake, bareLost, bareBreaks,
                    bareBreaks || bareLost > 0.4 ? "LOST" : "", take, lost, breaks, breaks || lost > 0.4 ? "LOST" : "",
                    fault == rfSoundLost ? "sound lost" : fault == rfNone ? "-" : "other fault");
        DeleteFileA(path.c_str());
    }
    return 0;
}
