#include "audio/AudioSettings.h"

#include <cstring>
#include <new>

#include "audio/Audio.h"

static_assert(sizeof(WAVEFORMATEX) == sizeof(TWaveFormatRecord), "format record layout");
static_assert(sizeof(WAVEHDR) == 32, "wave header layout");

bool TAudioSettings::AllocBuffers()
{
    FWaveFormat.reset(new (std::nothrow) WAVEFORMATEX);
    if (!FWaveFormat) {
        FOwner.SetErrorMessage("Not enough memory to allocate WaveFormat");
        return false;
    }
    const TWaveFormatRecord record = FFormat.Record();
    std::memcpy(FWaveFormat.get(), &record, sizeof record);
    FBufferBytes = FFormat.BufferBytes();

    for (int i = 0; i < kRingSlots; ++i) {
        FHeaders[i].reset(new (std::nothrow) WAVEHDR{});
        if (!FHeaders[i]) {
            FOwner.SetErrorMessage("Not enough memory to allocate WaveHeader");
            return false;
        }
        FBuffers[i].reset(new (std::nothrow) std::uint8_t[FBufferBytes]);
        FHalfBuffers[i].reset(new (std::nothrow) std::uint8_t[FBufferBytes / 2 + 1]);
        if (!FBuffers[i] || !FHalfBuffers[i]) {
            FOwner.SetErrorMessage("Not enough memory to allocate Wave Buffer");
            return false;
        }
        FHeaders[i]->lpData = reinterpret_cast<LPSTR>(FBuffers[i].get());
    }
    return true;
}

void TAudioSettings::FreeBuffers()
{
    if (!FWaveFormat) return;
    FWaveFormat.reset();
    for (int i = 0; i < kRingSlots; ++i) {
        FBuffers[i].reset();
        FHalfBuffers[i].reset();
        FHeaders[i].reset();
    }
}

void TAudioSettings::SetFormat(const TAudioFormat& format)
{
    if (format == FFormat) return;
    FFormat = format;
    FreeBuffers();
    AllocBuffers();
}
