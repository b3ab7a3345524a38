#include <gtest/gtest.h>

#include "app/TakeClock.h"

namespace {

std::string AfterTicks(long ticks)
{
    TTakeClock clock;
    for (long i = 0; i < ticks; ++i) clock.Tick();
    return clock.Caption();
}

TEST(TakeClock, CountsTenTicksPerSecondAndWrapsAfterAnHour)
{
    EXPECT_EQ(AfterTicks(0), "00:00");
    EXPECT_EQ(AfterTicks(9), "00:00");
    EXPECT_EQ(AfterTicks(10), "00:01");
    EXPECT_EQ(AfterTicks(25), "00:02");
    EXPECT_EQ(AfterTicks(600), "01:00");
    EXPECT_EQ(AfterTicks(1870), "03:07");
    EXPECT_EQ(AfterTicks(35990), "59:59");
    EXPECT_EQ(AfterTicks(36000), "00:00");
}

TEST(TakeClock, ResetStartsAgainFromZeroAndALengthOfAudioCanBeShown)
{
    TTakeClock clock;
    for (int i = 0; i < 1234; ++i) clock.Tick();
    clock.Reset();
    EXPECT_EQ(clock.Caption(), "00:00");
    clock.Tick();
    EXPECT_EQ(clock.Tenths, 1);
    clock.SetElapsed(187);
    EXPECT_EQ(clock.Caption(), "03:07");
    EXPECT_EQ(clock.Tenths, 0);
    clock.SetElapsed(3600 + 61);
    EXPECT_EQ(clock.Caption(), "01:01");
    EXPECT_EQ(DurationText(187), "03:07");
    EXPECT_EQ(DurationText(3599), "59:59");
    EXPECT_EQ(DurationText(3600 + 61), "1:01:01");
}

// Feeds steady readings through the meter as the window's timer does, from a take's start.
std::vector<int> Meter(std::vector<std::int32_t> levels)
{
    std::vector<int> shown;
    std::int32_t previous = kInitialMeterLevel;
    for (std::int32_t level : levels) {
        shown.push_back(MeterIndex(level, previous));
        previous = level;
    }
    return shown;
}

TEST(TakeMeter, SilenceShowsThreeSegmentsFirstThenNone)
{
    EXPECT_EQ(Meter({0, 0, 0}), (std::vector<int>{3, 0, 0}));
}

TEST(TakeMeter, OneImagePerSixteenHundredOfTheSmoothedLevel)
{
    EXPECT_EQ(MeterIndex(1599, 1599), 0);
    EXPECT_EQ(MeterIndex(1600, 1600), 1);
    EXPECT_EQ(MeterIndex(3199, 3200), 1);  // 3199.5 truncates
    EXPECT_EQ(MeterIndex(16000, 16000), 10);
    EXPECT_EQ(MeterIndex(17599, 17599), 10);
    EXPECT_EQ(MeterIndex(17600, 17600), 10);  // one step past the top is still the top image
    EXPECT_EQ(MeterIndex(INT32_MAX, INT32_MAX), 10);
    EXPECT_EQ(MeterIndex(-4000, -4000), 0);  // below the scale: nothing lit
}

TEST(TakeMeter, LoudInputLightsEverySegmentInsteadOfFreezing)
{
    EXPECT_EQ(Meter({20000, 20000, 20000}), (std::vector<int>{9, 10, 10}));
    EXPECT_EQ(MeterIndex(32767, 32767), 10);
    // Two readings near the top of the 32-bit range must not overflow the sum.
    EXPECT_EQ(MeterIndex(0x7FFFFFFF, 0x7FFFFFFF), 10);
}

TEST(TakeMeter, MeanLevelHalvesTheSumAsAnUnsignedNumber)
{
    EXPECT_EQ(MeanLevel(0, 0), 0);
    EXPECT_EQ(MeanLevel(1000, 3001), 2000);
    EXPECT_EQ(MeanLevel(32767, 32767), 32767);
    EXPECT_EQ(MeanLevel(0x7FFFFFFF, 0x7FFFFFFF), 0x7FFFFFFF);  // 0xFFFFFFFE >> 1, no sign
}

}  // namespace
