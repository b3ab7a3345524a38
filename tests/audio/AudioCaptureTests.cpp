// Real takes from the wave mapper. The signal: a stereo tone (1 kHz, left at 0.4 and right at 0.2 of full
// scale) played into the sound server's null sink "vs", whose monitor is the default source (see
// scripts/wine-env.sh). The test starts `paplay --device=vs` itself; where the platform cannot start a Unix
// program it plays the same tone through wave output, which goes to the same sink. Under CI=true a missing
// device fails; elsewhere these tests skip without one.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "audio/Audio.h"
#include "tests/audio/AudioTestSupport.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kRate = 44100;
constexpr double kFreq = 1000.0;
constexpr double kLeftLevel = 0.4 * 32767, kRightLevel = 0.2 * 32767;

bool InCI()
{
    const char* ci = std::getenv("CI");
    return ci && std::strcmp(ci, "true") == 0;
}

std::vector<std::uint8_t> ToneWav(double seconds)
{
    const std::uint32_t frames = static_cast<std::uint32_t>(seconds * kRate), data = frames * 4;
    std::vector<std::uint8_t> b(44 + data);
    auto put32 = [&](std::size_t o, std::uint32_t v) { std::memcpy(&b[o], &v, 4); };
    auto put16 = [&](std::size_t o, std::uint16_t v) { std::memcpy(&b[o], &v, 2); };
    std::memcpy(&b[0], "RIFF", 4);
    put32(4, 36 + data);
    std::memcpy(&b[8], "WAVEfmt ", 8);
    put32(16, 16);
    put16(20, 1);
    put16(22, 2);
    put32(24, kRate);
    put32(28, kRate * 4);
    put16(32, 4);
    put16(34, 16);
    std::memcpy(&b[36], "data", 4);
    put32(40, data);
    for (std::uint32_t n = 0; n < frames; ++n) {
        double s = std::sin(2 * kPi * kFreq * n / kRate);
        auto l = static_cast<std::int16_t>(std::lround(kLeftLevel * s));
        auto r = static_cast<std::int16_t>(std::lround(kRightLevel * s));
        std::memcpy(&b[44 + 4 * n], &l, 2);
        std::memcpy(&b[44 + 4 * n + 2], &r, 2);
    }
    return b;
}

// Plays the tone into the null sink until destroyed (or until it ends).
class TTone {
public:
    explicit TTone(double seconds)
    {
        FWav = ToneWav(seconds);
        // A Unix program through the platform, on a file it can reach by its Unix path.
        FPath = "Z:\\tmp\\tw_audio_tone_" + std::to_string(GetCurrentProcessId()) + ".wav";
        HANDLE h = CreateFileA(FPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            DWORD put = 0;
            WriteFile(h, FWav.data(), static_cast<DWORD>(FWav.size()), &put, nullptr);
            CloseHandle(h);
            std::string cmd = "Z:\\usr\\bin\\paplay --device=vs /tmp/tw_audio_tone_" +
                              std::to_string(GetCurrentProcessId()) + ".wav";
            // The player's output goes nowhere: holding the test's own output open, a player that outlived
            // the test would keep the test runner waiting for its end.
            SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
            FNull = CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                OPEN_EXISTING, 0, nullptr);
            STARTUPINFOA si{};
            si.cb = sizeof si;
            si.dwFlags = STARTF_USESTDHANDLES;
            si.hStdInput = si.hStdOutput = si.hStdError = FNull;
            PROCESS_INFORMATION pi{};
            if (CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
                Way = "paplay";
                if (pi.hThread) CloseHandle(pi.hThread);
                FProcess = pi.hProcess;
                return;
            }
        }
        // Otherwise one long buffer through wave output: the default output is the same sink.
        WAVEFORMATEX f{WAVE_FORMAT_PCM, 2, kRate, kRate * 4, 4, 16, 0};
        if (waveOutOpen(&FOut, WAVE_MAPPER, &f, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) return;
        FHeader.lpData = reinterpret_cast<LPSTR>(FWav.data() + 44);
        FHeader.dwBufferLength = static_cast<DWORD>(FWav.size() - 44);
        if (waveOutPrepareHeader(FOut, &FHeader, sizeof FHeader) == MMSYSERR_NOERROR &&
            waveOutWrite(FOut, &FHeader, sizeof FHeader) == MMSYSERR_NOERROR)
            Way = "wave output";
    }
    ~TTone()
    {
        if (FProcess) {
            TerminateProcess(FProcess, 0);
            CloseHandle(FProcess);
        }
        if (FOut) {
            waveOutReset(FOut);
            waveOutUnprepareHeader(FOut, &FHeader, sizeof FHeader);
            waveOutClose(FOut);
        }
        if (!FPath.empty()) DeleteFileA(FPath.c_str());
        if (FNull != INVALID_HANDLE_VALUE) CloseHandle(FNull);
    }
    std::string Way;

private:
    std::vector<std::uint8_t> FWav;
    std::string FPath;
    HANDLE FProcess = nullptr;
    HANDLE FNull = INVALID_HANDLE_VALUE;
    HWAVEOUT FOut = nullptr;
    WAVEHDR FHeader{};
};

struct TToneCheck {
    double Frequency = 0;
    int LeftPeak = 0, RightPeak = 0;
    int Discontinuities = 0;
    std::size_t Frames = 0;
};

// Measures the tone in 16-bit stereo data: frequency from zero crossings, peaks, and whether one sine of the
// tone's frequency fits the whole stretch where the tone sounds (a lost or repeated buffer shifts its phase).
TToneCheck CheckTone(const std::uint8_t* data, std::size_t bytes)
{
    TToneCheck c;
    const std::size_t frames = bytes / 4;
    auto L = [&](std::size_t n) { std::int16_t v; std::memcpy(&v, data + 4 * n, 2); return double(v); };
    auto R = [&](std::size_t n) { std::int16_t v; std::memcpy(&v, data + 4 * n + 2, 2); return double(v); };
    std::size_t first = frames, last = 0;
    for (std::size_t n = 0; n < frames; ++n)
        if (std::fabs(L(n)) > kLeftLevel / 2) {
            if (first == frames) first = n;
            last = n;
        }
    if (first == frames || last < first + 8192) return c;
    first += 1024;  // clear of the tone's onset and end
    last -= 1024;
    c.Frames = last - first;
    int crossings = 0;
    for (std::size_t n = first + 1; n < last; ++n) {
        if ((L(n - 1) < 0) != (L(n) < 0)) ++crossings;
        c.LeftPeak = std::max(c.LeftPeak, int(std::fabs(L(n))));
        c.RightPeak = std::max(c.RightPeak, int(std::fabs(R(n))));
    }
    c.Frequency = crossings / 2.0 / (double(last - first) / kRate);
    // Least-squares fit of a cos + b sin at the tone's frequency over the first 4,096 frames, then the
    // residual of each following 512-frame block against that one sine.
    double cc = 0, ss = 0, cs = 0, xc = 0, xs = 0;
    for (std::size_t n = first; n < first + 4096; ++n) {
        double w = 2 * kPi * kFreq * n / kRate, co = std::cos(w), si = std::sin(w);
        cc += co * co; ss += si * si; cs += co * si; xc += L(n) * co; xs += L(n) * si;
    }
    double det = cc * ss - cs * cs, a = (xc * ss - xs * cs) / det, b = (xs * cc - xc * cs) / det;
    for (std::size_t start = first; start + 512 <= last; start += 512) {
        double err = 0;
        for (std::size_t n = start; n < start + 512; ++n) {
            double w = 2 * kPi * kFreq * n / kRate;
            double d = L(n) - (a * std::cos(w) + b * std::sin(w));
            err += d * d;
        }
        if (std::sqrt(err / 512) > 0.05 * kLeftLevel) ++c.Discontinuities;
    }
    return c;
}

bool HaveInputDevice()
{
    if (waveInGetNumDevs() > 0) return true;
    if (InCI()) ADD_FAILURE() << "no wave-input device under CI";
    return false;
}

void SetupTakeFormat(TAudio& audio)
{
    audio.SetBitsPerSample(audio.Player(), _16);
    audio.SetChannels(audio.Player(), Stereo);
    audio.SetSampleRate(audio.Player(), 44100);
    audio.Recorder().SetTrigLevel(0);
    audio.Recorder().SetTriggered(false);
}

}  // namespace

TEST(Capture, RealTakeHoldsTheToneWithoutGaps)
{
    if (!HaveInputDevice()) GTEST_SKIP() << "no wave-input device";
    TTone tone(12.0);  // enough for two takes on a loaded machine
    ASSERT_FALSE(tone.Way.empty()) << "could not play the test tone";
    std::printf("[ capture  ] tone played through %s\n", tone.Way.c_str());
    Sleep(300);

    TAudio audio(nullptr);
    SetupTakeFormat(audio);
    TRecorder& rec = audio.Recorder();
    std::atomic<int> delivered{0};
    std::atomic<DWORD> thread{0};
    audio.OnRecord = [&](TObject*, void*, void*, std::uint16_t n) {
        thread = GetCurrentThreadId();
        if (n == 32768) delivered.fetch_add(1);
    };
    std::string path = TempPath("take.wav");
    rec.CreateWaveFile(path);
    g_foreignAllocations = 0;
    g_countForeign = true;
    DWORD t0 = GetTickCount();
    ASSERT_TRUE(rec.StartRecording()) << audio.ErrorMessage();
    DWORD firstBuffer = 0;
    while (GetTickCount() - t0 < 10000 && delivered < 4) {
        PumpMessages(10);
        if (!firstBuffer && delivered > 0) firstBuffer = GetTickCount() - t0;
    }
    // What a hard kill would leave: the file as it is on disk in the middle of the take is a complete WAV.
    TWavInfo mid;
    for (int attempt = 0; attempt < 3; ++attempt) {
        mid = ParseWav(ReadWholeFile(path));
        if (mid.DataSize == mid.FileSize - 44) break;
        Sleep(20);  // caught between a buffer and its two size fields
    }
    EXPECT_TRUE(mid.Valid);
    EXPECT_GE(mid.DataSize, 3u * 32768);
    EXPECT_EQ(mid.FileSize - 44, mid.DataSize);
    EXPECT_EQ(mid.FileSize - 8, mid.RiffSize);
    int peakMidTake = rec.LastPeak();
    // At least 2.5 s, and enough buffers for a tone check even when a loaded machine starts capture late.
    while (GetTickCount() - t0 < 10000 && (GetTickCount() - t0 < 2500 || delivered < 6)) PumpMessages(10);
    // Stop in the middle of a buffer: right after one came back, half a buffer's time (0.186 s) later.
    for (int before = delivered; delivered == before && GetTickCount() - t0 < 10000;) PumpMessages(1);
    Sleep(90);
    EXPECT_TRUE(rec.StopRecording());
    double elapsed = (GetTickCount() - t0) / 1000.0;
    g_countForeign = false;
    const int buffers = delivered.load();

    EXPECT_EQ(0, g_foreignAllocations.load()) << "the capture thread allocated";
    EXPECT_NE(g_mainThread, thread.load());
    EXPECT_FALSE(rec.FileOpen());
    EXPECT_FALSE(rec.IsOpen());
    EXPECT_NEAR(kLeftLevel, peakMidTake, 0.05 * kLeftLevel);

    std::vector<std::uint8_t> bytes = ReadWholeFile(path);
    TWavInfo w = ParseWav(bytes);
    ASSERT_TRUE(w.Valid);
    EXPECT_EQ(1, w.Format);
    EXPECT_EQ(2, w.Channels);
    EXPECT_EQ(44100u, w.SampleRate);
    EXPECT_EQ(176400u, w.AvgBytes);
    EXPECT_EQ(4, w.BlockAlign);
    EXPECT_EQ(16, w.Bits);
    EXPECT_EQ(bytes.size() - 8, w.RiffSize);
    EXPECT_EQ(bytes.size() - 44, w.DataSize);
    // Every delivered buffer, then what the device had put in the one it was filling at the stop.
    const std::uint32_t tail = rec.TailBytes();
    EXPECT_GT(tail, 0u) << "the end of the take was dropped";
    EXPECT_LT(tail, 32768u);
    EXPECT_EQ(0u, tail % 4);
    EXPECT_EQ(std::uint32_t(buffers) * 32768 + tail, w.DataSize);
    double seconds = w.DataSize / 176400.0;
    std::printf("[ capture  ] %d buffers and %u bytes, %.2f s of audio in %.2f s, first buffer after %lu ms\n", buffers, tail, seconds,
                elapsed, static_cast<unsigned long>(firstBuffer));
    EXPECT_LE(seconds, elapsed + 0.19);
    EXPECT_GE(seconds, elapsed - 2.0);  // the platform's start-up takes 0.5-0.7 s, more under load

    TToneCheck c = CheckTone(bytes.data() + 44, w.DataSize);
    std::printf("[ capture  ] tone %.1f Hz over %zu frames, peaks %d/%d, %d discontinuities\n", c.Frequency, c.Frames,
                c.LeftPeak, c.RightPeak, c.Discontinuities);
    EXPECT_GE(c.Frames, 32768u);
    EXPECT_NEAR(kFreq, c.Frequency, 5.0);
    EXPECT_NEAR(kLeftLevel, c.LeftPeak, 0.03 * kLeftLevel);
    EXPECT_NEAR(kRightLevel, c.RightPeak, 0.03 * kRightLevel);
    EXPECT_EQ(0, c.Discontinuities);

    // A second take on the same component: the ring starts afresh wherever the first ended, so the new
    // file holds every buffer in order, without a gap or a stale buffer.
    std::printf("[ capture  ] second take; the first ended with slot %d next\n", rec.DoneIndex());
    delivered = 0;
    DeleteFileA(path.c_str());
    rec.CreateWaveFile(path);
    DWORD t1 = GetTickCount();
    ASSERT_TRUE(rec.StartRecording()) << audio.ErrorMessage();
    while (GetTickCount() - t1 < 8000 && delivered < 6) PumpMessages(10);
    EXPECT_TRUE(rec.StopRecording());
    bytes = ReadWholeFile(path);
    w = ParseWav(bytes);
    ASSERT_TRUE(w.Valid);
    EXPECT_GE(delivered.load(), 6);
    EXPECT_EQ(std::uint32_t(delivered.load()) * 32768 + rec.TailBytes(), w.DataSize);
    c = CheckTone(bytes.data() + 44, w.DataSize);
    EXPECT_GE(c.Frames, 16384u);
    EXPECT_NEAR(kFreq, c.Frequency, 5.0);
    EXPECT_EQ(0, c.Discontinuities);
    DeleteFileA(path.c_str());
}

TEST(Capture, SessionEndAndDestructionFinishTheTake)
{
    if (!HaveInputDevice()) GTEST_SKIP() << "no wave-input device";
    auto audio = std::make_unique<TAudio>(nullptr);
    SetupTakeFormat(*audio);
    TRecorder& rec = audio->Recorder();
    std::string path = TempPath("query.wav");
    rec.CreateWaveFile(path);
    ASSERT_TRUE(rec.StartRecording()) << audio->ErrorMessage();
    for (DWORD t0 = GetTickCount(); GetTickCount() - t0 < 5000 && rec.BuffersDone() < 1;) PumpMessages(10);
    // The query: the log-off may go on, and the file on disk holds the take so far; but the take goes on.
    EXPECT_EQ(TRUE, SendMessageA(audio->NotifyWindow(), WM_QUERYENDSESSION, 0, 0));
    TWavInfo w = ParseWav(ReadWholeFile(path));
    EXPECT_TRUE(w.Valid);
    EXPECT_GE(w.DataSize, 32768u);
    EXPECT_EQ(w.FileSize - 44, w.DataSize);
    // Another program cancelled the log-off: the take still grows.
    SendMessageA(audio->NotifyWindow(), WM_ENDSESSION, FALSE, 0);
    const unsigned done = rec.BuffersDone();
    for (DWORD t0 = GetTickCount(); GetTickCount() - t0 < 5000 && rec.BuffersDone() <= done;) PumpMessages(10);
    EXPECT_GT(rec.BuffersDone(), done);
    EXPECT_TRUE(rec.FileOpen());
    // The session ends: the take is finished.
    SendMessageA(audio->NotifyWindow(), WM_ENDSESSION, TRUE, 0);
    EXPECT_FALSE(rec.IsOpen());
    EXPECT_FALSE(rec.FileOpen());
    w = ParseWav(ReadWholeFile(path));
    EXPECT_TRUE(w.Valid);
    EXPECT_GE(w.DataSize, 2 * 32768u);
    EXPECT_EQ(w.FileSize - 44, w.DataSize);
    DeleteFileA(path.c_str());

    // Still usable: a new take, then the component destroyed while it runs.
    rec.CreateWaveFile(path);
    ASSERT_TRUE(rec.StartRecording()) << audio->ErrorMessage();
    for (DWORD t0 = GetTickCount(); GetTickCount() - t0 < 5000 && rec.BuffersDone() < 1;) PumpMessages(10);
    EXPECT_GE(rec.BuffersDone(), 1u);
    audio.reset();
    w = ParseWav(ReadWholeFile(path));
    EXPECT_TRUE(w.Valid);
    EXPECT_GE(w.DataSize, 32768u);
    EXPECT_EQ(w.FileSize - 44, w.DataSize);
    EXPECT_EQ(w.FileSize - 8, w.RiffSize);
    DeleteFileA(path.c_str());
}
