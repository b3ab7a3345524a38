#include "audio/Audio.h"

const char TAudio::kVersion[] = "4.1 (32bit)";
const char TAudio::kBufferSizeRefused[] =
    "Buffer size out of range: NoSamples times block align must be 1 to 65535 bytes";

TAudio::TAudio(TComponent* AOwner) : TComponent(AOwner), FVersion(kVersion)
{
    FWindow = std::make_unique<THiddenWindow>(
        [this](UINT msg, WPARAM w, LPARAM l, LRESULT& r) { return HandleMessage(msg, w, l, r); });
    FRecorder = std::make_unique<TRecorder>(*this, FWindow->Handle());
    FPlayer = std::make_unique<TPlayer>(*this, FWindow->Handle());
    FMixer = std::make_unique<TMixerSettings>(*this, FWindow->Handle());
    if (FMixer->EnumerateMixer(static_cast<UINT>(FMixerDeviceID))) FMixer->SetActive(true);
    if (waveInGetNumDevs() >= 1 && FRecorder->AllocBuffers() && waveOutGetNumDevs() >= 1) FPlayer->AllocBuffers();
}

TAudio::~TAudio() { StopAll(); }

void TAudio::StopAll()
{
    FPlayer->StopPlayer();
    FRecorder->StopRecording();
}

void TAudio::SetAudioDeviceID(int value)
{
    if (value == FAudioDeviceID) return;
    FAudioDeviceID = value > 9 ? -1 : value;
    FRecorder->FreeBuffers();
    FRecorder->AllocBuffers();
    FPlayer->FreeBuffers();
    FPlayer->AllocBuffers();
}

void TAudio::SetMixerDeviceID(int value)
{
    if (value == FMixerDeviceID) return;
    FMixerDeviceID = value;
    if (FMixer->EnumerateMixer(static_cast<UINT>(value))) FMixer->SetActive(true);
}

template <typename T>
void TAudio::ChangeFormat(TAudioSettings& direction, bool both, T TAudioFormat::*field, T value)
{
    // Each direction keeps the parts of its format that the change does not name.
    TAudioSettings* const targets[2] = {both ? FPlayer.get() : &direction, both ? FRecorder.get() : nullptr};
    TAudioFormat formats[2];
    for (int i = 0; i < 2 && targets[i]; ++i) {
        formats[i] = targets[i]->Format();
        formats[i].*field = value;
        if (formats[i].BufferBytes() == 0) {
            SetErrorMessage(kBufferSizeRefused);
            return;
        }
    }
    for (int i = 0; i < 2 && targets[i]; ++i) targets[i]->SetFormat(formats[i]);
}

void TAudio::SetChannels(TAudioSettings& direction, TChannels value)
{
    ChangeFormat(direction, !FSeparateCtrls, &TAudioFormat::Channels, value);
    // A recorder that is no longer stereo cannot split.
    FRecorder->SetSplitChannels(FRecorder->SplitChannels());
}

void TAudio::SetBitsPerSample(TAudioSettings& direction, TBPS value)
{
    ChangeFormat(direction, !FSeparateCtrls, &TAudioFormat::BitsPerSample, value);
}

void TAudio::SetSampleRate(TAudioSettings& direction, std::uint16_t value)
{
    ChangeFormat(direction, !FSeparateCtrls, &TAudioFormat::SampleRate, value);
}

void TAudio::SetNoSamples(std::uint16_t value) { ChangeFormat(*FPlayer, true, &TAudioFormat::NoSamples, value); }

bool TAudio::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (msg) {
    case WM_QUERYENDSESSION:
        // Another program may still cancel the log-off, so the take goes on; but should the session end, the
        // file on disk already holds all of it.
        FRecorder->FlushTake(kSessionFlushMs);
        result = TRUE;
        return true;
    case WM_ENDSESSION:
        // The session really ends: the take is finished while the machine is still up.
        if (wParam) StopAll();
        return true;
    case kBufferDoneMessage: FRecorder->BufferDone(); return true;
    case MM_WOM_OPEN: FPlayer->SetIsActive(true); return true;
    case MM_WOM_CLOSE: FPlayer->SetIsActive(false); return true;
    case MM_WOM_DONE: FPlayer->BufferDone(); return true;
    case kNextBlockRequest:
        if (FPlayer->IsOpen()) FPlayer->QueueNextChunk();
        return true;
    case kCloseRequest: FPlayer->ClosePlayer(); return true;
    case kMixerControlChange: FMixer->ControlChanged(wParam, lParam); return true;
    default: return false;
    }
}

bool TAudio::SetFormatProperty(TAudioSettings& direction, const std::string& name, const TLayoutValue& value)
{
    if (name == "BitsPerSample") {
        SetBitsPerSample(direction, value.AsEnum<TBPS>({"_8", "_16"}));
        return true;
    }
    if (name == "Channels") {
        SetChannels(direction, value.AsEnum<TChannels>({"Mono", "Stereo"}));
        return true;
    }
    if (name == "SampleRate") {
        long long v = value.AsInteger();
        if (v < 1 || v > 65535) throw ELayoutError("SampleRate out of range");
        SetSampleRate(direction, static_cast<std::uint16_t>(v));
        return true;
    }
    // Stored with the recorder only.
    if (name == "NoSamples" && &direction == FRecorder.get()) {
        long long v = value.AsInteger();
        if (v < 0 || v > 65535) throw ELayoutError("NoSamples out of range");
        SetNoSamples(static_cast<std::uint16_t>(v));
        return true;
    }
    return direction.SetProperty(name, value);
}

bool TAudio::SetProperty(const std::string& name, const TLayoutValue& value)
{
    if (name == "AudioDeviceID") {
        SetAudioDeviceID(value.AsInt());
        return true;
    }
    if (name == "MixerDeviceID") {
        SetMixerDeviceID(value.AsInt());
        return true;
    }
    if (name == "SeparateCtrls") {
        SetSeparateCtrls(value.AsBool());
        return true;
    }
    if (name == "Version") {
        SetVersion(value.AsString());
        return true;
    }
    if (name == "OnRecord") {
        OnRecord = value.AsEvent<TNotifyAudioRecordEvent>();
        return true;
    }
    if (name == "OnBufferPlayed") {
        OnBufferPlayed = value.AsEvent<TNotifyBufferPlayedEvent>();
        return true;
    }
    if (name == "OnPlayed") {
        OnPlayed = value.AsEvent<TNotifyPlayedEvent>();
        return true;
    }
    if (name == "OnMixerChange") {
        OnMixerChange = value.AsEvent<TNotifyMixerChange>();
        return true;
    }
    if (name.rfind("Recorder.", 0) == 0) return SetFormatProperty(*FRecorder, name.substr(9), value);
    if (name.rfind("Player.", 0) == 0) return SetFormatProperty(*FPlayer, name.substr(7), value);
    return TComponent::SetProperty(name, value);
}

void RegisterAudioClasses() { RegisterComponentClass<TAudio>("TAudio"); }
