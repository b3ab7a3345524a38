#include "app/TakeClock.h"

#include <cstdio>

void TTakeClock::Tick()
{
    if (++Tenths < 10) return;
    Tenths = 0;
    if (++Seconds < 60) return;
    Seconds = 0;
    if (++Minutes >= 60) Minutes = 0;
}

std::string TTakeClock::Caption() const
{
    char text[8];
    std::snprintf(text, sizeof text, "%02u:%02u", unsigned{Minutes}, unsigned{Seconds});
    return text;
}

void TTakeClock::SetElapsed(std::uint64_t seconds)
{
    Tenths = 0;
    Seconds = static_cast<std::uint8_t>(seconds % 60);
    Minutes = static_cast<std::uint8_t>(seconds / 60 % 60);
}

std::string DurationText(std::uint64_t seconds)
{
    char text[32];
    const unsigned long long s = seconds % 60, m = seconds / 60 % 60, h = seconds / 3600;
    if (h) std::snprintf(text, sizeof text, "%llu:%02llu:%02llu", h, m, s);
    else std::snprintf(text, sizeof text, "%02llu:%02llu", m, s);
    return text;
}

std::int32_t MeanLevel(std::int32_t left, std::int32_t right)
{
    const std::uint32_t sum = static_cast<std::uint32_t>(left) + static_cast<std::uint32_t>(right);
    return static_cast<std::int32_t>(sum >> 1);
}

int MeterIndex(std::int32_t current, std::int32_t previous)
{
    // 64-bit, so two large readings cannot overflow the sum.
    const std::int64_t smoothed = (static_cast<std::int64_t>(current) + previous) / 2;
    const std::int64_t index = smoothed / kMeterStep;
    if (index < 0) return 0;
    if (index >= kMeterImages) return kMeterImages - 1;
    return static_cast<int>(index);
}
