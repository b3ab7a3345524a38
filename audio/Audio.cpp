#include "audio/Audio.h"

const char TAudio::kVersion[] = "4.1 (32bit)";

TAudio::TAudio(TComponent* AOwner) : TComponent(AOwner)
{
    FAudioDeviceID = -1;
    FSeparateCtrls = false;
    FVersion = kVersion;
    FRecorder = std::make_unique<TRecorder>(*this);
    FPlayer = std::make_unique<TPlayer>(*this);
    FWindow = std::make_unique<THiddenWindow>(
        [this](UINT msg, WPARAM w, LPARAM l, LRESULT& r) { return HandleMessage(msg, w, l, r); });
    FFormatSize = sizeof(WAVEFORMATEX);
    FMixer = std::make_unique<TMixerSettings>(*this);
    FMixerDeviceID = 0;
    if (FMixer->EnumerateMixer(static_cast<UINT>(FMixerDeviceID))) FMixer->SetActive(true);
    FErrorMessage.clear();
    if (waveInGetNumDevs() >= 1 && FRecorder->AllocBuffers() && waveOutGetNumDevs() >= 1) FPlayer->AllocBuffers();
}

TAudio::~TAudio()
{
    StopAll();
    FMixer.reset();
    if (FRecorder->FileOpen()) FRecorder->FinishWaveFile();
    FRecorder->FreeBuffers();
    FRecorder.reset();
    FPlayer->FreeBuffers();
    FPlayer.reset();
    FWindow.reset();
}

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

bool TAudio::HandleMessage(UINT msg, WPARAM wParam, LPARAM, LRESULT& result)
{
    result = 0;
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
    case MM_WOM_OPEN: FPlayer->SetIsActive(true); return true;
    case MM_WOM_CLOSE: FPlayer->SetIsActive(false); return true;
    case MM_WOM_DONE: FPlayer->BufferDone(); return true;
    default: return false;
    }
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
    if (name.rfind("Recorder.", 0) == 0) return FRecorder->SetProperty(name.substr(9), value);
    if (name.rfind("Player.", 0) == 0) return FPlayer->SetProperty(name.substr(7), value);
    return TComponent::SetProperty(name, value);
}

void RegisterAudioClasses() { RegisterComponentClass<TAudio>("TAudio"); }
