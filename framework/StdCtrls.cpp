#include "framework/StdCtrls.h"

#include "framework/Forms.h"

// ---- TLabel

TLabel::TLabel(TComponent* AOwner) : TGraphicControl(AOwner)
{
    FWidth = 65;
    FHeight = 17;
}

void TLabel::SetAutoSize(bool value)
{
    if (value == FAutoSize) return;
    FAutoSize = value;
    AdjustBounds();
}

void TLabel::SetTransparent(bool value)
{
    if (value == FTransparent) return;
    FTransparent = value;
    Invalidate();
}

void TLabel::SetShowAccelChar(bool value)
{
    if (value == FShowAccelChar) return;
    FShowAccelChar = value;
    AdjustBounds();
    Invalidate();
}

void TLabel::SetAlignment(TAlignment value)
{
    if (value == FAlignment) return;
    FAlignment = value;
    Invalidate();
}

void TLabel::SetWordWrap(bool value)
{
    if (value == FWordWrap) return;
    FWordWrap = value;
    AdjustBounds();
    Invalidate();
}

void TLabel::SetCaption(const std::string& value)
{
    if (value == FCaption) return;
    FCaption = value;
    AdjustBounds();
    Invalidate();
}

void TLabel::FontChanged()
{
    TGraphicControl::FontChanged();
    AdjustBounds();
}

void TLabel::Loaded()
{
    TGraphicControl::Loaded();
    AdjustBounds();
}

void TLabel::DoDrawText(RECT& rect, UINT flags)
{
    std::string text = FCaption;
    if ((flags & DT_CALCRECT) && (text.empty() || (FShowAccelChar && text == "&"))) text += ' ';
    if (!FShowAccelChar) flags |= DT_NOPREFIX;
    HDC dc = Canvas().Handle();
    SetBkMode(dc, TRANSPARENT);
    if (!Enabled()) {
        OffsetRect(&rect, 1, 1);
        SetTextColor(dc, ColorToRGB(clBtnHighlight));
        DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &rect, flags);
        OffsetRect(&rect, -1, -1);
        SetTextColor(dc, ColorToRGB(clBtnShadow));
        DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &rect, flags);
    } else {
        SetTextColor(dc, ColorToRGB(Font().Color()));
        DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &rect, flags);
    }
}

void TLabel::Paint()
{
    if (!FTransparent) {
        Canvas().Brush.SetColor(FColor);
        Canvas().FillRect(ClientRect());
    }
    Canvas().Brush.SetStyle(bsClear);
    Canvas().Font.Assign(Font());
    RECT rc = {0, 0, FWidth, FHeight};
    static const UINT align[] = {DT_LEFT, DT_RIGHT, DT_CENTER};
    DoDrawText(rc, DT_EXPANDTABS | (FWordWrap ? DT_WORDBREAK : 0) | align[FAlignment]);
}

void TLabel::AdjustBounds()
{
    if (!FAutoSize || Loading()) return;
    WindowDC screen(nullptr);
    DeviceContext dc(CreateCompatibleDC(screen.get()));
    RECT rc = {0, 0, FWordWrap ? FWidth : 0, 0};
    {
        Canvas().SetHandle(dc.get());
        ScopeExit detach([this] { Canvas().SetHandle(nullptr); });  // the DC goes when this function ends
        Canvas().Font.Assign(Font());
        DoDrawText(rc, DT_EXPANDTABS | DT_CALCRECT | (FWordWrap ? DT_WORDBREAK : 0));
    }
    int left = FLeft;
    if (FAlignment == taRightJustify) left += FWidth - rc.right;
    SetBounds(left, FTop, rc.right, rc.bottom);
}

bool TLabel::SetProperty(const std::string& name, const TLayoutValue& value)
{
    if (name == "AutoSize") SetAutoSize(value.AsBool());
    else if (name == "Transparent") SetTransparent(value.AsBool());
    else if (name == "ShowAccelChar") SetShowAccelChar(value.AsBool());
    else if (name == "WordWrap") SetWordWrap(value.AsBool());
    else if (name == "Alignment")
        SetAlignment(value.AsEnum<TAlignment>({"taLeftJustify", "taRightJustify", "taCenter"}));
    else return TGraphicControl::SetProperty(name, value);
    return true;
}

// ---- TEdit

TEdit::TEdit(TComponent* AOwner) : TWinControl(AOwner)
{
    FWidth = 121;
    FHeight = 21;
    FTabStop = true;
    FColor = clWindow;
}

void TEdit::CreateParams(TCreateParams& Params)
{
    TWinControl::CreateParams(Params);
    Params.WinClassName = "EDIT";
    Params.Subclass = true;
    Params.Style |= ES_AUTOHSCROLL | ES_LEFT;
    Params.Style &= ~WS_CLIPCHILDREN;
    if (FReadOnly) Params.Style |= ES_READONLY;
    Params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TEdit::CreateHandleDone()
{
    if (FMaxLength > 0) SendMessageA(FHandle, EM_LIMITTEXT, static_cast<WPARAM>(FMaxLength), 0);
    else SendMessageA(FHandle, EM_LIMITTEXT, 0x7FFFFFFE, 0);  // long base names stay whole
}

void TEdit::SetReadOnly(bool value)
{
    FReadOnly = value;
    if (FHandle) SendMessageA(FHandle, EM_SETREADONLY, value, 0);
}

void TEdit::SetMaxLength(int value)
{
    FMaxLength = value;
    if (FHandle) SendMessageA(FHandle, EM_LIMITTEXT, value > 0 ? static_cast<WPARAM>(value) : 0x7FFFFFFE, 0);
}

void TEdit::WndProc(TMessage& Message)
{
    if (Message.Msg == CN_COMMAND && HIWORD(Message.WParam) == EN_CHANGE) {
        if (OnChange) OnChange(this);
        return;
    }
    TWinControl::WndProc(Message);
}

bool TEdit::SetProperty(const std::string& name, const TLayoutValue& value)
{
    if (name == "ReadOnly") SetReadOnly(value.AsBool());
    else if (name == "MaxLength") SetMaxLength(value.AsInt());
    else if (name == "AutoSize") FAutoSize = value.AsBool();
    else if (name == "OnChange") OnChange = value.AsEvent<TNotifyEvent>();
    else return TWinControl::SetProperty(name, value);
    return true;
}

// ---- TButton

TButton::TButton(TComponent* AOwner) : TWinControl(AOwner)
{
    FWidth = 75;
    FHeight = 25;
    FTabStop = true;
}

void TButton::CreateParams(TCreateParams& Params)
{
    TWinControl::CreateParams(Params);
    Params.WinClassName = "BUTTON";
    Params.Subclass = true;
    Params.Style |= FDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
    Params.Style &= ~WS_CLIPCHILDREN;
}

void TButton::SetDefault(bool value)
{
    FDefault = value;
    if (FHandle) SendMessageA(FHandle, BM_SETSTYLE, value ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
}

void TButton::Click()
{
    if (ModalResult != 0)
        if (auto* form = dynamic_cast<TCustomForm*>(Owner())) form->SetModalResult(ModalResult);
    TWinControl::Click();
}

void TButton::WndProc(TMessage& Message)
{
    if (Message.Msg == CN_COMMAND) {
        if (HIWORD(Message.WParam) == BN_CLICKED) Click();
        return;
    }
    TWinControl::WndProc(Message);
}

bool TButton::SetProperty(const std::string& name, const TLayoutValue& value)
{
    if (name == "Default") SetDefault(value.AsBool());
    else if (name == "Cancel") SetCancel(value.AsBool());
    else if (name == "ModalResult") ModalResult = value.AsInt();
    else return TWinControl::SetProperty(name, value);
    return true;
}
