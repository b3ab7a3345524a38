// The audio component: owns the recorder, the player and the mixer access, selects the devices, holds the
// events and the text of the last error, and answers the platform's shut-down query.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "audio/AudioFormat.h"
#include "framework/Classes.h"
#include "framework/HiddenWindow.h"

using TNotifyAudioRecordEvent =
    std::function<void(TObject* Sender, void* LP, void* RP, std::uint16_t BufferSize)>;
using TNotifyBufferPlayedEvent = std::function<void(TObject* Sender)>;
using TNotifyPlayedEvent = std::function<void(TObject* Sender)>;
using TNotifyMixerChange = std::function<void(TObject* Sender, std::uint16_t Destination, std::uint16_t Source)>;

#include "audio/Mixer.h"
#include "audio/Player.h"
#include "audio/Recorder.h"

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

    // The text of the last error stored by the recorder, the player or a buffer allocation. Written and read
    // on the main thread only.
    const std::string& ErrorMessage() const { return FErrorMessage; }
    void SetErrorMessage(std::string text) { FErrorMessage = std::move(text); }
    std::uint32_t FormatSize() const { return FFormatSize; }
    HWND NotifyWindow() const { return FWindow ? FWindow->Handle() : nullptr; }

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

    std::string FVersion;
    int FAudioDeviceID = -1;
    bool FSeparateCtrls = false;
    std::unique_ptr<TRecorder> FRecorder;
    std::unique_ptr<TPlayer> FPlayer;
    std::unique_ptr<THiddenWindow> FWindow;
    std::uint32_t FFormatSize = 0;
    int FMixerDeviceID = 0;
    std::unique_ptr<TMixerSettings> FMixer;
    std::string FErrorMessage;
};

// Makes TAudio known to the layout loader.
void RegisterAudioClasses();
