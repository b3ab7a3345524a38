// Mixer access: lists the lines of one mixer device with their volume, mute and peak-meter controls, reads a
// line's peak meter, and turns control-change notifications into the component's OnMixerChange. Everything
// runs on the main thread; the mixer reports through the component's window.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <cstdint>
#include <memory>
#include <string>

#include "framework/Classes.h"

class TAudio;

// One line of the mixer; the head entry names the device itself (Destination and Source 0xFFFF).
struct TMixDetails {
    std::uint16_t Destination = 0xFFFF;
    std::uint16_t Source = 0xFFFF;
    std::string Name;
    std::uint32_t VolumeControl = 0xFFFF;
    std::uint32_t MuteControl = 0xFFFF;
    std::uint32_t PeakMeterControl = 0xFFFF;
    std::uint16_t VolumeLeft = 0;
    std::uint16_t VolumeRight = 0;
    std::uint16_t MeterChannels = 0;
    std::uint16_t Flags = 0;
    bool Muted = false;
    bool VolumeUniform = false;
    bool Speakers = false;
    bool HasControls = false;
    std::unique_ptr<TMixDetails> Next;
};

constexpr UINT kMixerControlChange = 0x3D1;  // MM_MIXM_CONTROL_CHANGE

class TMixerSettings : public TPersistent {
public:
    // window: the component's notification window, to which the mixer reports control changes.
    TMixerSettings(TAudio& owner, HWND window) : FOwner(owner), FWindow(window) {}
    ~TMixerSettings() override;
    TMixerSettings(const TMixerSettings&) = delete;
    TMixerSettings& operator=(const TMixerSettings&) = delete;

    bool EnumerateMixer(UINT id);
    bool AddMixerLine(const MIXERLINEA& line, bool speakers);
    bool ReadPeak(std::uint16_t Destination, std::uint16_t Source, int& left, int& right);
    // On the mixer's control-change notification.
    void ControlChanged(WPARAM wParam, LPARAM lParam);

    const TMixDetails* MixerLines() const { return FMixerLines.get(); }
    bool Active() const { return FActive; }
    void SetActive(bool value) { FActive = value; }
    HMIXER Handle() const { return FMixer; }

private:
    void Close();
    // Reads a control's values: one per channel, of which the first two are kept.
    bool ReadDetails(DWORD controlID, DWORD channels, LONG values[2]);

    TAudio& FOwner;
    HMIXER FMixer = nullptr;
    std::unique_ptr<TMixDetails> FMixerLines;
    bool FActive = false;
    const HWND FWindow;
};
