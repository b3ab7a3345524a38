// The audio component: owns the recorder, the player and the mixer access, selects the devices, holds the
// events and the text of the last error, keeps the two directions' formats following each other, and runs
// the one hidden window through which all its parts hear the platform.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "audio/AudioFormat.h"
#include "audio/Mixer.h"
#include "audio/Player.h"
#include "audio/Recorder.h"
#include "framework/Classes.h"
#include "framework/HiddenWindow.h"

using TNotifyAudioRecordEvent =
    std::function<void(TObject* Sender, void* LP, void* RP, std::uint16_t BufferSize)>;
using TNotifyBufferPlayedEvent = std::function<void(TObject* Sender)>;
using TNotifyPlayedEvent = std::function<void(TObject* Sender)>;
using TNotifyMixerChange = std::function<void(TObject* Sender, std::uint16_t Destination, std::uint16_t Source)>;

class TAudio : public TComponent {
public:
    explicit TAudio(TComponent* AOwner);
    ~TAudio() override;

    int AudioDeviceID() const { return FAudioDeviceID; }
    void SetAudioDeviceID(int value);
    int MixerDeviceID() const { return FMixerDeviceID; }
    void SetMixerDeviceID(int value);
    bool SeparateCtrls() const { return FSeparateCtrls; }
    void SetSeparateCtrls(bool value) { FSeparateCtrls = value; }
    TPlayer& Player() { return *FPlayer; }
    TRecorder& Recorder() { return *FRecorder; }
    TMixerSettings& Mixer() { return *FMixer; }
    const std::string& Version() const { return FVersion; }
    void SetVersion(const std::string&) { FVersion = kVersion; }

    // The format of a direction. Unless SeparateCtrls is set, the player and the recorder follow each other:
    // a value given to either reaches both, the player first. The buffer length always reaches both. A change
    // that would leave either with buffers of no size or of 65,536 bytes or more is refused whole.
    void SetChannels(TAudioSettings& direction, TChannels value);
    void SetBitsPerSample(TAudioSettings& direction, TBPS value);
    void SetSampleRate(TAudioSettings& direction, std::uint16_t value);
    void SetNoSamples(std::uint16_t value);
    static const char kBufferSizeRefused[];

    // The text of the last error stored by the recorder, the player or a buffer allocation. Written and read
    // on the main thread only.
    const std::string& ErrorMessage() const { return FErrorMessage; }
    void SetErrorMessage(std::string text) { FErrorMessage = std::move(text); }
    HWND NotifyWindow() const { return FWindow->Handle(); }

    // Steps 1 and 2 of destruction: the player and the recorder stopped, an open take file finished. Run when
    // the session ends; the component stays usable afterwards.
    void StopAll();
    // How long the session's end query waits for a stalled take file to take what is queued.
    static constexpr unsigned kSessionFlushMs = 3000;

    bool SetProperty(const std::string& name, const TLayoutValue& value) override;

    TNotifyAudioRecordEvent OnRecord;
    TNotifyBufferPlayedEvent OnBufferPlayed;
    TNotifyPlayedEvent OnPlayed;
    TNotifyMixerChange OnMixerChange;

    static const char kVersion[];

private:
    bool HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool SetFormatProperty(TAudioSettings& direction, const std::string& name, const TLayoutValue& value);
    template <typename T>
    void ChangeFormat(TAudioSettings& direction, bool both, T TAudioFormat::*field, T value);

    std::string FVersion;
    int FAudioDeviceID = -1;
    bool FSeparateCtrls = false;
    int FMixerDeviceID = 0;
    std::string FErrorMessage;
    // The parts go in reverse order (the mixer first), the window that they all use last.
    std::unique_ptr<THiddenWindow> FWindow;
    std::unique_ptr<TRecorder> FRecorder;
    std::unique_ptr<TPlayer> FPlayer;
    std::unique_ptr<TMixerSettings> FMixer;
};

// Makes TAudio known to the layout loader.
void RegisterAudioClasses();
