// How long a stalled write a take survives: a real take from the wave mapper, with a steady tone playing
// into the sound server (bench/stall.sh starts it), whose file stops taking writes once for a given time
// about 1.5 s in. Afterwards the take is searched for a break in the tone: a lost buffer shifts its phase.
// The same take without a stall is the baseline, measured in the same run.
//   stall_bench.exe [stall seconds ...]   (default 0 0.5 1 1.5 2 3 4)
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

void Pump(double seconds)
{
    const DWORD end = GetTickCount() + static_cast<DWORD>(seconds * 1000);
    MSG msg;
    while (static_cast<int>(end - GetTickCount()) > 0) {
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        Sleep(5);
    }
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

}  // namespace

int main(int argc, char** argv)
{
    std::vector<double> stalls;
    for (int i = 1; i < argc; ++i) stalls.push_back(std::atof(argv[i]));
    if (stalls.empty()) stalls = {0, 0.5, 1, 1.5, 2, 3, 4};
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string path = std::string(temp) + "tw_stall_bench.wav";

    TAudio audio(nullptr);
    TRecorder& rec = audio.Recorder();
    rec.SetBitsPerSample(_16);
    rec.SetChannels(Stereo);
    rec.SetSampleRate(kRate);
    rec.SetTriggered(true);
    std::printf("stall (s)  take (s)  breaks in the tone  lost\n");
    for (double stall : stalls) {
        rec.SetStreamFactory([stall](const std::string& name) {
            return std::make_unique<TStallingStream>(name, 44 + 3 * 88200, static_cast<DWORD>(stall * 1000));
        });
        rec.CreateWaveFile(path);
        if (!rec.StartRecording()) {
            std::printf("no wave input: %s\n", audio.ErrorMessage().c_str());
            return 1;
        }
        Pump(3.5 + stall);
        rec.StopRecording();
        double seconds = 0;
        const int breaks = Breaks(LeftChannel(path), seconds);
        std::printf("%9.1f  %8.2f  %18d  %s   (%u buffers, %.2f s in file)\n", stall, seconds, breaks, breaks ? "yes" : "no", rec.BuffersDone(), LeftChannel(path).size() / double(kRate));
        DeleteFileA(path.c_str());
    }
    return 0;
}
