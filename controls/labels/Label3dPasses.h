// The drawing passes of the three-D label: which colour goes where, before the text itself.
// Free of windows.h so the arithmetic can be checked on any host.
#pragma once

#include <string>
#include <vector>

#include "framework/SysUtils.h"

enum class T3DEffect { Normal3d, Resit3d, Raised3d, Shadowed3d };

struct T3dPass {
    TColor Color;
    int DX, DY;
    bool operator==(const T3dPass&) const = default;
};

struct T3dLook {
    T3DEffect Style = T3DEffect::Normal3d;
    TColor ShadeLeftTop = clWhite;
    TColor ShadeRightBottom = clGray;
    int HShadeOffset = 5;
    int VShadeOffset = -5;
    TColor FontColor = clWindowText;
    bool Enabled = true;
};

// The passes in drawing order; the last one is the text itself (grey text when disabled).
std::vector<T3dPass> Label3dPasses(const T3dLook& look);

// Style names as layouts write them; false for an unknown name.
