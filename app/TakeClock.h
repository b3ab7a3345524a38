// The recording window's clock and level meter arithmetic, free of the platform so it can be tested anywhere.
#pragma once

#include <cstdint>
#include <string>

// Counts timer ticks, ten per second, and wraps from 59:59 to 00:00.
struct TTakeClock {
    std::uint8_t Minutes = 0;
    std::uint8_t Seconds = 0;
    std::uint8_t Tenths = 0;

    void Reset() { Minutes = Seconds = Tenths = 0; }
    void Tick();
    // Shows a length of audio (whole seconds, wrapping after an hour as the ticks do).
    void SetElapsed(std::uint64_t seconds);
    // "mm:ss", both padded to two digits.
    std::string Caption() const;
};

// A length of audio for a message: "mm:ss", or "h:mm:ss" from an hour on.
std::string DurationText(std::uint64_t seconds);

// The level a take starts from, so the first reading is averaged with it.
constexpr std::int32_t kInitialMeterLevel = 10000;
constexpr int kMeterStep = 1600;
constexpr int kMeterImages = 11;  // indexes 0..10: that many segments lit

// Mean of a left and a right peak: the 32-bit sum halved as an unsigned number.
std::int32_t MeanLevel(std::int32_t left, std::int32_t right);
// Meter image for the mean of this reading and the previous one, one image per 1600 units. Readings too loud
// for the scale light every segment rather than leave the meter where it was.
int MeterIndex(std::int32_t current, std::int32_t previous);
