// Own main: the shared test application (its error display records instead of showing a box), an allocation
// counter that tells whether the capture callback allocates, and allocations made to fail on purpose.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "audio/Audio.h"
#include "framework/Forms.h"
#include "tests/audio/AudioTestSupport.h"

DWORD g_mainThread = 0;
std::atomic<bool> g_countForeign{false};
std::atomic<long> g_foreignAllocations{0};
std::atomic<int> g_allocationsBeforeFailure{-1};

#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size)
{
    if (g_countForeign.load(std::memory_order_relaxed) && GetCurrentThreadId() != g_mainThread)
        g_foreignAllocations.fetch_add(1);
    if (GetCurrentThreadId() == g_mainThread) {
        int n = g_allocationsBeforeFailure.load();
        if (n == 0) {
            g_allocationsBeforeFailure = -1;
            throw std::bad_alloc();
        }
        if (n > 0) g_allocationsBeforeFailure = n - 1;
    }
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

std::vector<std::uint8_t> ReadWholeFile(const std::string& path)
{
    std::vector<std::uint8_t> out;
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return out;
    DWORD size = GetFileSize(h, nullptr), got = 0;
    out.resize(size);
    if (size && !ReadFile(h, out.data(), size, &got, nullptr)) got = 0;
    out.resize(got);
    CloseHandle(h);
    return out;
}

TWavInfo ParseWav(const std::vector<std::uint8_t>& b)
{
    TWavInfo w;
    w.FileSize = b.size();
    if (b.size() < 44) return w;
    auto u32 = [&](std::size_t o) { return std::uint32_t(b[o] | b[o + 1] << 8 | b[o + 2] << 16 | b[o + 3] << 24); };
    auto u16 = [&](std::size_t o) { return std::uint16_t(b[o] | b[o + 1] << 8); };
    w.Valid = !std::memcmp(&b[0], "RIFF", 4) && !std::memcmp(&b[8], "WAVE", 4) && !std::memcmp(&b[12], "fmt ", 4) &&
              u32(16) == 16 && !std::memcmp(&b[36], "data", 4);
    w.RiffSize = u32(4);
    w.Format = u16(20);
    w.Channels = u16(22);
    w.SampleRate = u32(24);
    w.AvgBytes = u32(28);
    w.BlockAlign = u16(32);
    w.Bits = u16(34);
    w.DataSize = u32(40);
    return w;
}

int main(int argc, char** argv)
{
    g_mainThread = GetCurrentThreadId();
    TTestApplication application({.RegisterClasses = RegisterAudioClasses});
    testing::InitGoogleTest(&argc, argv);
    int rc = RUN_ALL_TESTS();
    // Under Wine on qemu-user the process has crashed with SIGSEGV while exiting after the sound driver was
    // used (both halves of this suite, every test passed and every component already destroyed). The
    // results are out by then: end here, without the process-exit clean-up, so the crash cannot turn a
    // passing run into a failing one.
    std::fflush(stdout);
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(rc));
    return rc;
}
