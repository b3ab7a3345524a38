// Shared helpers of the audio tests: the test harness, temp paths, message pumping, reading WAV files
// independently of the writer, counting allocations made by threads other than the main one, and failing one
// on purpose.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/PumpMessages.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestHarness.h"

extern DWORD g_mainThread;
// operator new calls made on other threads while g_countForeign is set.
extern std::atomic<bool> g_countForeign;
extern std::atomic<long> g_foreignAllocations;
// When 0 or more: that many more allocations of the main thread succeed, the next one fails (once).
extern std::atomic<int> g_allocationsBeforeFailure;

std::vector<std::uint8_t> ReadWholeFile(const std::string& path);

struct TWavInfo {
    bool Valid = false;
    std::uint32_t RiffSize = 0, DataSize = 0, SampleRate = 0, AvgBytes = 0;
    std::uint16_t Format = 0, Channels = 0, BlockAlign = 0, Bits = 0;
    std::size_t FileSize = 0;
};
// Parses the header the way a player would, without the writer's code.
TWavInfo ParseWav(const std::vector<std::uint8_t>& bytes);
