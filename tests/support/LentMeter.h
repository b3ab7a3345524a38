// Gives lines of the platform's mixer a peak meter, which the mixers here lack: while a TLentMeter lives, the
// platform's list of a line's controls calls the line's volume control a peak meter.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include "tests/support/ImportPatch.h"

class TLentMeter {
public:
    TLentMeter() : FPatch("winmm.dll", "mixerGetLineControlsA", reinterpret_cast<void*>(&Controls))
    {
        Real() = FPatch.Original<TControls>();
    }
    bool Active() const { return FPatch.Active(); }

private:
    using TControls = MMRESULT(WINAPI*)(HMIXEROBJ, LPMIXERLINECONTROLSA, DWORD);
    static TControls& Real()
    {
        static TControls real = nullptr;
        return real;
    }
    static MMRESULT WINAPI Controls(HMIXEROBJ mixer, LPMIXERLINECONTROLSA request, DWORD flags)
    {
        MMRESULT r = Real()(mixer, request, flags);
        if (r == MMSYSERR_NOERROR && (flags & MIXER_GETLINECONTROLSF_QUERYMASK) == MIXER_GETLINECONTROLSF_ALL)
            for (DWORD i = 0; i < request->cControls; ++i)
                if (request->pamxctrl[i].dwControlType == MIXERCONTROL_CONTROLTYPE_VOLUME)
                    request->pamxctrl[i].dwControlType = MIXERCONTROL_CONTROLTYPE_PEAKMETER;
        return r;
    }

    TImportPatch FPatch;
};
