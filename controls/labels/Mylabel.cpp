#include "controls/labels/Mylabel.h"

TmyLabel3d::TmyLabel3d(TComponent* AOwner) : TLabel(AOwner)
{
    SetTransparent(true);
    FParentColor = false;
}

void TmyLabel3d::SetAStyle3D(T3DEffect value)
{
    if (value == FStyle3D) return;
    FStyle3D = value;
    Invalidate();
}

void TmyLabel3d::SetAShadeRightBottom(TColor value)
{
    if (value == FShadeRightBottom) return;
    FShadeRightBottom = value;
    Invalidate();
}

void TmyLabel3d::SetAShadeLeftTop(TColor value)
{
    if (value == FShadeLeftTop || FShadeLTSet) return;
    FShadeLeftTop = value;
    Invalidate();
}

void TmyLabel3d::SetAHShadeOffSet(int value)
{
    if (value == FHShadeOffSet) return;
    FHShadeOffSet = value;
    Invalidate();
}

void TmyLabel3d::SetAVShadeOffSet(int value)
{
    if (value == FVShadeOffSet) return;
    FVShadeOffSet = value;
    Invalidate();
}

void TmyLabel3d::SetAShadeLTSet(bool value)
{
    if (value != FShadeLTSet) {
        if (value) {
            FSavedLeftTop = FShadeLeftTop;
            FShadeLeftTop = clWhite;
        } else {
            FShadeLeftTop = FSavedLeftTop;
        }
        FShadeLTSet = value;
    }
    Invalidate();
}

bool TmyLabel3d::SetProperty(const std::string& name, const TLayoutValue& value)
{
    if (name == "AStyle3D") {
        SetAStyle3D(value.AsEnum<T3DEffect>({"Normal3d", "Resit3d", "Raised3d", "Shadowed3d"}));
    } else if (name == "AShadeRightBottom") {
        SetAShadeRightBottom(value.AsColor());
    } else if (name == "AShadeLeftTop") {
        SetAShadeLeftTop(value.AsColor());
    } else if (name == "AHShadeOffSet") {
        SetAHShadeOffSet(value.AsInt());
    } else if (name == "AVShadeOffSet") {
        SetAVShadeOffSet(value.AsInt());
    } else if (name == "AShadeLTSet") {
        SetAShadeLTSet(value.AsBool());
    } else if (name == "OnMouseOut") {
        OnMouseOut = value.AsEvent<TNotifyEvent>();
    } else {
        return TLabel::SetProperty(name, value);
    }
    return true;
}

void TmyLabel3d::Paint()
{
    TCanvas& canvas = Canvas();
    RECT rect = {0, 0, Width(), Height()};
    if (!Transparent()) {
        canvas.Brush.SetStyle(bsSolid);
        canvas.Brush.SetColor(Color());
        canvas.FillRect(Rect(0, 0, Width(), Height()));
    }
    canvas.Brush.SetStyle(bsClear);
    static const UINT alignments[] = {DT_LEFT, DT_RIGHT, DT_CENTER};
    // Always word-broken from the top, whatever WordWrap says.
    Draw3DText(rect, alignments[Alignment()] | DT_EXPANDTABS | DT_WORDBREAK);
}

void TmyLabel3d::Draw3DText(RECT& rect, UINT flags)
{
    std::string text = Caption();
    if (!ShowAccelChar()) flags |= DT_NOPREFIX;
    TCanvas& canvas = Canvas();
    canvas.Font.Assign(Font());

    T3dLook look;
    look.Style = FStyle3D;
    look.ShadeLeftTop = FShadeLeftTop;
    look.ShadeRightBottom = FShadeRightBottom;
    look.HShadeOffset = FHShadeOffSet;
    look.VShadeOffset = FVShadeOffSet;
    look.FontColor = Font().Color();
    look.Enabled = Enabled();
    for (const T3dPass& pass : Label3dPasses(look)) {
        canvas.Font.SetColor(pass.Color);
        HDC dc = canvas.Handle();
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, ColorToRGB(pass.Color));
        RECT r = rect;
        OffsetRect(&r, pass.DX, pass.DY);
        DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &r, flags);
    }
}

void TmyLabel3d::MouseMove(TShiftState Shift, int X, int Y)
{
    if (!MouseCapture()) SetMouseCapture(true);
    if (!MouseCapture()) return;
    // The right and bottom edges themselves still count as inside.
    if (X < 0 || Y < 0 || X > Width() || Y > Height()) {
        SetMouseCapture(false);
        if (OnMouseOut) OnMouseOut(this);
    }
}
