#include "audio/Mixer.h"

#include <vector>

#include "audio/Audio.h"

namespace {
constexpr DWORD kVolume = 0x50030001, kMute = 0x20010002, kPeakMeter = 0x10020001;
// A details area for lines of up to this many channels; the entry keeps the first two values.
constexpr DWORD kMaxChannels = 32;
}  // namespace

TMixerSettings::~TMixerSettings() { Close(); }

void TMixerSettings::Close()
{
    if (FMixer) mixerClose(FMixer);
    FMixer = nullptr;
    // Released one by one so a long list does not recurse.
    while (FMixerLines) FMixerLines = std::move(FMixerLines->Next);
}

bool TMixerSettings::EnumerateMixer(UINT id)
{
    // A new device replaces the old one whole: its handle is closed and its list released.
    Close();
    if (mixerGetNumDevs() == 0) return false;
    MIXERCAPSA caps{};
    mixerGetDevCapsA(id, &caps, sizeof caps);
    if (mixerOpen(&FMixer, id, reinterpret_cast<DWORD_PTR>(FWindow), 0, CALLBACK_WINDOW) !=
        MMSYSERR_NOERROR) {
        FMixer = nullptr;
        return false;
    }
    FMixerLines = std::make_unique<TMixDetails>();
    FMixerLines->Name = caps.szPname;
    if (caps.cDestinations == 0) return false;
    for (DWORD d = 0; d < caps.cDestinations; ++d) {
        MIXERLINEA line{};
        line.cbStruct = sizeof line;
        line.dwDestination = d;
        if (mixerGetLineInfoA(reinterpret_cast<HMIXEROBJ>(FMixer), &line,
                              MIXER_OBJECTF_HMIXER | MIXER_GETLINEINFOF_DESTINATION) != MMSYSERR_NOERROR)
            return false;
        bool speakers = line.dwComponentType == MIXERLINE_COMPONENTTYPE_DST_SPEAKERS;
        AddMixerLine(line, speakers);
        const DWORD connections = line.cConnections;
        for (DWORD s = 0; s < connections; ++s) {
            MIXERLINEA src{};
            src.cbStruct = sizeof src;
            src.dwDestination = d;
            src.dwSource = s;
            if (mixerGetLineInfoA(reinterpret_cast<HMIXEROBJ>(FMixer), &src,
                                  MIXER_OBJECTF_HMIXER | MIXER_GETLINEINFOF_SOURCE) != MMSYSERR_NOERROR)
                return false;
            AddMixerLine(src, speakers);
        }
    }
    return true;
}

bool TMixerSettings::ReadDetails(DWORD controlID, DWORD channels, LONG values[2])
{
    LONG area[kMaxChannels] = {};
    if (channels == 0) channels = 1;
    if (channels > kMaxChannels) return false;
    MIXERCONTROLDETAILS d{};
    d.cbStruct = sizeof d;
    d.dwControlID = controlID;
    d.cChannels = channels;
    d.cbDetails = sizeof(LONG);
    d.paDetails = area;
    if (mixerGetControlDetailsA(reinterpret_cast<HMIXEROBJ>(FMixer), &d,
                                MIXER_OBJECTF_HMIXER | MIXER_GETCONTROLDETAILSF_VALUE) != MMSYSERR_NOERROR)
        return false;
    values[0] = area[0];
    values[1] = area[1];
    return true;
}

bool TMixerSettings::AddMixerLine(const MIXERLINEA& line, bool speakers)
{
    TMixDetails* last = FMixerLines.get();
    while (last->Next) last = last->Next.get();
    last->Next = std::make_unique<TMixDetails>();
    TMixDetails& e = *last->Next;
    e.Destination = static_cast<std::uint16_t>(line.dwDestination);
    e.Source = last->Destination == e.Destination ? static_cast<std::uint16_t>(last->Source + 1) : 0;
    e.Name = line.szName;
    e.Speakers = speakers;
    e.Flags = 0x80;
    if (line.cControls == 0) return true;

    std::vector<MIXERCONTROLA> controls(line.cControls);
    MIXERLINECONTROLSA request{};
    request.cbStruct = sizeof request;
    request.dwLineID = line.dwLineID;
    request.cControls = line.cControls;
    request.cbmxctrl = sizeof(MIXERCONTROLA);
    request.pamxctrl = controls.data();
    if (mixerGetLineControlsA(reinterpret_cast<HMIXEROBJ>(FMixer), &request,
                              MIXER_OBJECTF_HMIXER | MIXER_GETLINECONTROLSF_ALL) != MMSYSERR_NOERROR)
        return false;
    for (const MIXERCONTROLA& c : controls) {
        LONG v[2] = {};
        switch (c.dwControlType) {
        case kVolume:
            if (ReadDetails(c.dwControlID, line.cChannels, v)) {
                e.VolumeControl = c.dwControlID;
                e.VolumeLeft = static_cast<std::uint16_t>(v[0]);
                if (line.cChannels == 1) {
                    e.VolumeUniform = true;
                    e.Flags += 0x40;
                } else {
                    e.VolumeRight = static_cast<std::uint16_t>(v[1]);
                }
                e.HasControls = true;
            }
            break;
        case kMute:
            if (ReadDetails(c.dwControlID, 1, v) && e.MuteControl == 0xFFFF) {
                e.MuteControl = c.dwControlID;
                e.Muted = v[0] != 0;
                e.HasControls = true;
                e.Flags &= static_cast<std::uint16_t>(~0x80);
            }
            break;
        case kPeakMeter:
            if (ReadDetails(c.dwControlID, line.cChannels, v)) {
                e.PeakMeterControl = c.dwControlID;
                e.MeterChannels = line.cChannels == 1 ? 1 : 2;
            }
            break;
        default: break;
        }
    }
    return true;
}

bool TMixerSettings::ReadPeak(std::uint16_t Destination, std::uint16_t Source, int& left, int& right)
{
    if (!FActive) return false;
    const TMixDetails* e = FMixerLines.get();
    while (e && !(e->Destination == Destination && e->Source == Source && e->MeterChannels > 0)) e = e->Next.get();
    if (!e) return false;
    LONG v[2] = {};
    if (!ReadDetails(e->PeakMeterControl, e->MeterChannels, v)) return false;
    left = v[0];
    right = e->MeterChannels == 2 ? v[1] : v[0];
    return true;
}

void TMixerSettings::ControlChanged(WPARAM wParam, LPARAM lParam)
{
    const TNotifyMixerChange& onChange = FOwner.OnMixerChange;
    if (!FActive || !onChange) return;
    onChange(this, static_cast<std::uint16_t>(wParam), static_cast<std::uint16_t>(lParam));
    const auto control = static_cast<std::uint32_t>(lParam);
    for (const TMixDetails* e = FMixerLines.get(); e; e = e->Next.get()) {
        if (e->VolumeControl == control || e->MuteControl == control) {
            onChange(this, e->Destination, e->Source);
            break;
        }
    }
}
