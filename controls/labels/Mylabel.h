// TmyLabel3d: a label whose caption is drawn raised, sunk or with a drop shadow, and that reports
// when the mouse leaves it.
#pragma once

#include "controls/labels/Label3dPasses.h"
#include "framework/StdCtrls.h"

class TmyLabel3d : public TLabel {
public:
    explicit TmyLabel3d(TComponent* AOwner);

    T3DEffect AStyle3D() const { return FStyle3D; }
    void SetAStyle3D(T3DEffect value);
    TColor AShadeRightBottom() const { return FShadeRightBottom; }
    void SetAShadeRightBottom(TColor value);
    TColor AShadeLeftTop() const { return FShadeLeftTop; }
    void SetAShadeLeftTop(TColor value);
    int AHShadeOffSet() const { return FHShadeOffSet; }
    void SetAHShadeOffSet(int value);
    int AVShadeOffSet() const { return FVShadeOffSet; }
    void SetAVShadeOffSet(int value);
    // While set, the left-top shade is held at white; clearing it brings the old colour back.
    bool AShadeLTSet() const { return FShadeLTSet; }
    void SetAShadeLTSet(bool value);

    TNotifyEvent OnMouseOut;

    bool SetProperty(const std::string& name, const TLayoutValue& value) override;
    // Takes the capture on the first move over the label and gives it up on the first move outside.
    // Replaces the standard handling, so OnMouseMove does not fire.
    void MouseMove(TShiftState Shift, int X, int Y) override;

protected:
    void Paint() override;
    void Draw3DText(RECT& rect, UINT flags);

private:
    T3DEffect FStyle3D = T3DEffect::Normal3d;
    TColor FShadeRightBottom = clGray;
    TColor FShadeLeftTop = clWhite;
    int FHShadeOffSet = 5;
    int FVShadeOffSet = -5;
    bool FShadeLTSet = false;
    TColor FSavedLeftTop = clWhite;
};
