#include "controls/labels/Label3dPasses.h"

#include <utility>

std::vector<T3dPass> Label3dPasses(const T3dLook& look)
{
    std::vector<T3dPass> passes;
    // Sunken text swaps the two shades: light below right, dark above left.
    TColor a = look.ShadeLeftTop, b = look.ShadeRightBottom;
    if (look.Style == T3DEffect::Resit3d) std::swap(a, b);
    switch (look.Style) {
    case T3DEffect::Resit3d:
    case T3DEffect::Raised3d:
        passes.push_back({b, 1, 1});
        passes.push_back({a, -1, -1});
        break;
    case T3DEffect::Shadowed3d:
        passes.push_back({b, look.HShadeOffset, look.VShadeOffset});
        break;
    case T3DEffect::Normal3d:
        break;
    }
    passes.push_back({look.Enabled ? look.FontColor : clGrayText, 0, 0});
    return passes;
}
