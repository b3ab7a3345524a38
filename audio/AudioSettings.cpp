#include "audio/AudioSettings.h"

#include <cstring>
#include <new>

#include "audio/Audio.h"

const char kBufferSizeRefused[] = "Buffer size out of range: NoSamples times block align must be 1 to 65535 bytes";

static_assert(sizeof(WAVEFORMATEX) == sizeof(TWaveFormatRecord), "format record layout");
static_assert(sizeof(WAVEHDR) == 32, "wave header layout");

bool TAudioSettings::AllocBuffers()
{
    FWaveFormat.reset(new (std::nothrow) WAVEFORMATEX);
    if (!FWaveFormat || FOwner.FormatSize() != sizeof(WAVEFORMATEX)) {
        FWaveFormat.reset();
        FOwner.SetErrorMessage("Not enough memory to allocate WaveFormat");
        return false;
    }
    TWaveFormatRecord record = MakeWaveFormat(FChannels, FBitsPerSample, FSampleRate);
    std::memcpy(FWaveFormat.get(), &record, sizeof record);
    // The setters never let the size wrap; this keeps the old size should a format slip through anyway.
    BufferBytesFor(FNoSamples, FChannels, FBitsPerSample, FBufferBytes);

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

void TAudioSettings::Apply(TChannels channels, TBPS bits, std::uint16_t rate, std::uint16_t noSamples)
{
    if (channels == FChannels && bits == FBitsPerSample && rate == FSampleRate && noSamples == FNoSamples) return;
    FChannels = channels;
    FBitsPerSample = bits;
    FSampleRate = rate;
    FNoSamples = noSamples;
    FreeBuffers();
    AllocBuffers();
}

bool TAudioSettings::Change(TChannels channels, TBPS bits, std::uint16_t rate, std::uint16_t noSamples, bool both,
                            bool keepChannels, bool keepBits, bool keepRate, bool keepSamples)
{
    TAudioSettings* targets[2] = {this, nullptr};
    if (both) {
        targets[0] = &FOwner.Player();
        targets[1] = &FOwner.Recorder();
    }
    // Each direction keeps the parts of its format that this change does not name.
    auto formatOf = [&](TAudioSettings* d, TChannels& c, TBPS& b, std::uint16_t& r, std::uint16_t& n) {
        c = keepChannels ? d->FChannels : channels;
        b = keepBits ? d->FBitsPerSample : bits;
        r = keepRate ? d->FSampleRate : rate;
        n = keepSamples ? d->FNoSamples : noSamples;
    };
    for (TAudioSettings* d : targets) {
        if (!d) continue;
        TChannels c; TBPS b; std::uint16_t r, n, bytes;
        formatOf(d, c, b, r, n);
        if (!BufferBytesFor(n, c, b, bytes)) {
            FOwner.SetErrorMessage(kBufferSizeRefused);
            return false;
        }
    }
    for (TAudioSettings* d : targets) {
        if (!d) continue;
        TChannels c; TBPS b; std::uint16_t r, n;
        formatOf(d, c, b, r, n);
        d->Apply(c, b, r, n);
    }
    return true;
}

void TAudioSettings::SetChannels(TChannels value)
{
    Change(value, _8, 0, 0, !FOwner.SeparateCtrls(), false, true, true, true);
    // A recorder that is no longer stereo cannot split.
    TRecorder& rec = FOwner.Recorder();
    rec.SetSplitChannels(rec.SplitChannels());
}

void TAudioSettings::SetBitsPerSample(TBPS value)
{
    Change(Mono, value, 0, 0, !FOwner.SeparateCtrls(), true, false, true, true);
}

void TAudioSettings::SetSampleRate(std::uint16_t value)
{
    Change(Mono, _8, value, 0, !FOwner.SeparateCtrls(), true, true, false, true);
}

void TAudioSettings::SetNoSamples(std::uint16_t value)
{
    Change(Mono, _8, 0, value, true, true, true, true, false);
}

bool TAudioSettings::SetProperty(const std::string& name, const TLayoutValue& value)
{
    if (name == "BitsPerSample") {
        const std::string& id = value.AsIdent();
        if (id == "_8") SetBitsPerSample(_8);
        else if (id == "_16") SetBitsPerSample(_16);
        else throw ELayoutError("Invalid BitsPerSample '" + id + "'");
        return true;
    }
    if (name == "Channels") {
        const std::string& id = value.AsIdent();
        if (id == "Mono") SetChannels(Mono);
        else if (id == "Stereo") SetChannels(Stereo);
        else throw ELayoutError("Invalid Channels '" + id + "'");
        return true;
    }
    if (name == "SampleRate") {
        long long v = value.AsInteger();
        if (v < 1 || v > 65535) throw ELayoutError("SampleRate out of range");
        SetSampleRate(static_cast<std::uint16_t>(v));
        return true;
    }
    return TPersistent::SetProperty(name, value);
}
