#include "framework/ExtCtrls.h"

// ---- TImage

TImage::TImage(TComponent* AOwner) : TGraphicControl(AOwner)
{
    FWidth = 105;
    FHeight = 105;
    FPicture.OnChange = [this](TObject*) { Invalidate(); };
}

void TImage::SetStretch(bool value)
{
    if (value == FStretch) return;
    FStretch = value;
    Invalidate();
}

void TImage::SetCenter(bool value)
{
    if (value == FCenter) return;
    FCenter = value;
    Invalidate();
}

void TImage::Paint()
{
    if (FPicture.HasBitmap() && !FPicture.Bitmap().Empty()) {
        TBitmap& bmp = FPicture.Bitmap();
        if (FStretch) {
            Canvas().StretchDraw(ClientRect(), bmp);
        } else {
            int x = FCenter ? (FWidth - bmp.Width()) / 2 : 0, y = FCenter ? (FHeight - bmp.Height()) / 2 : 0;
            Canvas().Draw(x, y, bmp);
        }
    } else if (FPicture.HasIcon() && !FPicture.Icon().Empty()) {
        DrawIconEx(Canvas().Handle(), 0, 0, FPicture.Icon().Handle(), 0, 0, 0, nullptr, DI_NORMAL);
    }
}

bool TImage::SetProperty(const std::string& name, const TLayoutValue& value)
{
    if (name == "Stretch") SetStretch(value.AsBool());
    else if (name == "Center") SetCenter(value.AsBool());
    else if (name == "AutoSize") FAutoSize = value.AsBool();
    else if (name == "Transparent") FPicture.Bitmap().Transparent = value.AsBool();
    else if (name == "Picture.Bitmap") FPicture.Bitmap().LoadFromBytes(value.Bytes);
    else if (name == "Picture.Icon") FPicture.Icon().LoadFromBytes(value.Bytes);
    else return TGraphicControl::SetProperty(name, value);
    return true;
}

// ---- TTimer

TTimer::TTimer(TComponent* AOwner) : TComponent(AOwner)
{
    FWindow = std::make_unique<THiddenWindow>([this](UINT msg, WPARAM wParam, LPARAM, LRESULT& result) {
        if (msg != WM_TIMER) return false;
        Tick();
        result = 0;
        return true;
    });
}

TTimer::~TTimer()
{
    FEnabled = false;
    UpdateTimer();
}

void TTimer::Tick()
{
    if (OnTimer) OnTimer(this);
}

void TTimer::UpdateTimer()
{
    if (FRunning) {
        KillTimer(FWindow->Handle(), 1);
        FRunning = false;
    }
    if (FEnabled && FInterval != 0 && OnTimer && !Loading()) {
        if (!SetTimer(FWindow->Handle(), 1, FInterval, nullptr)) throw EOutOfResources("Not enough timers available");
        FRunning = true;
    }
}

void TTimer::SetEnabled(bool value)
{
    if (value == FEnabled) return;
    FEnabled = value;
    UpdateTimer();
}

void TTimer::SetInterval(unsigned value)
{
    if (value == FInterval) return;
    FInterval = value;
    UpdateTimer();
}

void TTimer::Loaded()
{
    TComponent::Loaded();
    UpdateTimer();
}

bool TTimer::SetProperty(const std::string& name, const TLayoutValue& value)
{
    if (name == "Enabled") SetEnabled(value.AsBool());
    else if (name == "Interval") SetInterval(static_cast<unsigned>(value.AsInteger()));
    else if (name == "OnTimer") {
        OnTimer = value.AsEvent<TNotifyEvent>();
        UpdateTimer();
    } else return TComponent::SetProperty(name, value);
    return true;
}

// ---- TPanel

TPanel::TPanel(TComponent* AOwner) : TCustomControl(AOwner)
{
    FWidth = 185;
    FHeight = 41;
}

void TPanel::SetBevelOuter(TBevelCut value)
{
    FBevelOuter = value;
    Invalidate();
}

void TPanel::SetBevelInner(TBevelCut value)
{
    FBevelInner = value;
    Invalidate();
}

void TPanel::Paint()
{
    RECT rc = {0, 0, ClientWidth(), ClientHeight()};
    auto edge = [&](TBevelCut cut) {
        if (cut == bvLowered) DrawEdge(Canvas().Handle(), &rc, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
        if (cut == bvRaised) DrawEdge(Canvas().Handle(), &rc, BDR_RAISEDINNER, BF_RECT | BF_ADJUST);
    };
    edge(FBevelOuter);
    edge(FBevelInner);
    if (!FCaption.empty()) {
        Canvas().Font.Assign(Font());
        Canvas().Brush.SetStyle(bsClear);
        DrawTextA(Canvas().Handle(), FCaption.c_str(), -1, &rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
}

bool TPanel::SetProperty(const std::string& name, const TLayoutValue& value)
{
    static const std::initializer_list<const char*> cuts = {"bvNone", "bvLowered", "bvRaised", "bvSpace"};
    if (name == "BevelOuter") SetBevelOuter(value.AsEnum<TBevelCut>(cuts));
    else if (name == "BevelInner") SetBevelInner(value.AsEnum<TBevelCut>(cuts));
    else return TCustomControl::SetProperty(name, value);
    return true;
}
