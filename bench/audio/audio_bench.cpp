// Cost of keeping a take file valid after every buffer: appending 32 KB buffers to a real file the way the
// capture callback does, with and without bringing the two size fields up to date (two extra 4-byte
// writes and the seeks around them). Both ways run in the same process, alternating, on the same disk.
//
//   audio_bench.exe [buffers per run = 500] [rounds = 3]
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "audio/WaveFile.h"

#ifdef _WIN32
#include <windows.h>

#include "framework/FileStream.h"
#else
#include <fcntl.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>
#endif

namespace {

#ifdef _WIN32
using TBenchFile = TFileStream;
std::string TempFile()
{
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    return std::string(dir) + "tw_audio_bench.wav";
}
void RemoveFile(const std::string& path) { DeleteFileA(path.c_str()); }

double CpuSeconds()
{
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto secs = [](const FILETIME& f) { return (double(f.dwHighDateTime) * 4294967296.0 + f.dwLowDateTime) / 1e7; };
    return secs(kernel) + secs(user);
}

double WallSeconds()
{
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return double(t.QuadPart) / double(f.QuadPart);
}

#else
// The same appending on the host's files, for a figure without the platform layer.
class TBenchFile : public TStream {
public:
    TBenchFile(const std::string& path, unsigned) : FFd(open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644)) {}
    ~TBenchFile() override { if (FFd >= 0) close(FFd); }
    long Read(void* b, long n) override { return static_cast<long>(read(FFd, b, n)); }
    long Write(const void* b, long n) override { return static_cast<long>(write(FFd, b, n)); }
    std::int64_t Seek(std::int64_t o, TSeekOrigin w) override { return lseek(FFd, o, w); }

private:
    int FFd;
};
constexpr unsigned fmCreate = 0;
std::string TempFile() { return "/tmp/tw_audio_bench.wav"; }
void RemoveFile(const std::string& path) { unlink(path.c_str()); }
double CpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}
double WallSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec + t.tv_nsec / 1e9;
}
#endif

struct TRun {
    double Wall = 0, Cpu = 0;
};

TRun Append(const std::string& path, int buffers, bool updateHeader, const std::vector<std::uint8_t>& buffer)
{
    TBenchFile file(path, fmCreate);
    TWaveHeader header = MakeWaveHeader({Stereo, _16, 44100});
    file.WriteBuffer(header.data(), kWaveHeaderSize);
    TWaveAppender appender;
    appender.UpdateHeader = updateHeader;
    appender.Start(&file, kWaveHeaderSize);
    TRun run;
    double w0 = WallSeconds(), c0 = CpuSeconds();
    for (int i = 0; i < buffers; ++i)
        if (appender.Append(buffer.data(), static_cast<std::uint32_t>(buffer.size())) != TWaveAppender::arOk) {
            std::fprintf(stderr, "append failed\n");
            std::exit(1);
        }
    run.Wall = WallSeconds() - w0;
    run.Cpu = CpuSeconds() - c0;
    return run;
}

}  // namespace

int main(int argc, char** argv)
{
    const int buffers = argc > 1 ? std::atoi(argv[1]) : 500;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    const std::string path = TempFile();
    std::vector<std::uint8_t> buffer(32768);
    for (std::size_t i = 0; i < buffer.size(); ++i) buffer[i] = static_cast<std::uint8_t>(i * 7);

    TRun plain, updated;
    Append(path, buffers / 10 + 1, true, buffer);  // warm the file system
    for (int r = 0; r < rounds; ++r) {
        // Alternate the order so neither way always runs on a warmer cache.
        for (int k = 0; k < 2; ++k) {
            bool update = (r + k) % 2 == 1;
            TRun run = Append(path, buffers, update, buffer);
            TRun& sum = update ? updated : plain;
            sum.Wall += run.Wall;
            sum.Cpu += run.Cpu;
        }
    }
    RemoveFile(path);

    const double n = double(buffers) * rounds;
    // 16-bit stereo 44.1 kHz: 176,400 bytes a second, so 32 KB buffers come 5.38 times a second.
    const double perMinute = 60.0 * 176400.0 / 32768.0;
    std::printf("audio_bench: %d rounds of %d buffers of 32768 bytes each way\n", rounds, buffers);
    std::printf("  append only          %8.1f us wall  %8.1f us CPU per buffer\n", 1e6 * plain.Wall / n,
                1e6 * plain.Cpu / n);
    std::printf("  append + size fields %8.1f us wall  %8.1f us CPU per buffer\n", 1e6 * updated.Wall / n,
                1e6 * updated.Cpu / n);
    std::printf("  extra per buffer     %8.1f us wall  %8.1f us CPU (%.0f%% of appending)\n",
                1e6 * (updated.Wall - plain.Wall) / n, 1e6 * (updated.Cpu - plain.Cpu) / n,
                plain.Wall > 0 ? 100.0 * (updated.Wall - plain.Wall) / plain.Wall : 0.0);
    std::printf("  extra per recorded minute (%.0f buffers): %.2f ms wall, %.2f ms CPU\n", perMinute,
                1e3 * perMinute * (updated.Wall - plain.Wall) / n, 1e3 * perMinute * (updated.Cpu - plain.Cpu) / n);
    return 0;
}
