#include "framework/Controls.h"

#include <windowsx.h>

#include <algorithm>

#include "framework/Forms.h"
#include "framework/WindowObjects.h"

namespace {
const char kWindowClass[] = "TapewingWindow";
UINT g_nextControlId = 100;
const char* const kControlKey = "TapewingControl";
}  // namespace

void HandleCallbackException() noexcept
{
    try {
        if (Application) Application->HandleException(nullptr);
    } catch (...) {
        // The error display itself failed; nothing more can be done without crossing into the platform.
    }
}

TCustomForm* GetParentForm(const TControl* control)
{
    for (const TControl* c = control; c; c = c->Parent())
        if (auto* form = dynamic_cast<const TCustomForm*>(c)) return const_cast<TCustomForm*>(form);
    return nullptr;
}

TShiftState KeysToShiftState(WPARAM keys)
{
    TShiftState s = 0;
    if (keys & MK_SHIFT) s |= ssShift;
    if (keys & MK_CONTROL) s |= ssCtrl;
    if (keys & MK_LBUTTON) s |= ssLeft;
    if (keys & MK_RBUTTON) s |= ssRight;
    if (keys & MK_MBUTTON) s |= ssMiddle;
    if (GetKeyState(VK_MENU) < 0) s |= ssAlt;
    return s;
}

bool IdentToCursor(const std::string& name, TCursor& cursor)
{
    static const struct { const char* name; TCursor value; } table[] = {
        {"crDefault", crDefault}, {"crNone", crNone},   {"crArrow", crArrow},         {"crCross", crCross},
        {"crIBeam", crIBeam},     {"crHourGlass", crHourGlass}, {"crNo", crNo}, {"crAppStart", crAppStart},
        {"crHandPoint", crHandPoint},
    };
    for (const auto& e : table)
        if (SameText(name, e.name)) {
            cursor = e.value;
            return true;
        }
    return false;
}

// ---- TControl

TControl::TControl(TComponent* AOwner) : TComponent(AOwner)
{
    FFont.OnChange = [this](TObject*) { FontChanged(); };
}

TControl::~TControl()
{
    if (FParent) FParent->RemoveControl(this);
}

void TControl::SetParent(TWinControl* AParent)
{
    if (AParent == FParent) return;
    if (FParent) FParent->RemoveControl(this);
    if (AParent) AParent->InsertControl(this);
}

void TControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight)
{
    if (ALeft == FLeft && ATop == FTop && AWidth == FWidth && AHeight == FHeight) return;
    if (FParent && FVisible) FParent->InvalidateChild(this);
    FLeft = ALeft;
    FTop = ATop;
    FWidth = AWidth;
    FHeight = AHeight;
    if (FParent && FVisible) FParent->InvalidateChild(this);
}

void TControl::SetAlign(TAlign value) { FAlign = value; }

void TControl::SetVisible(bool value)
{
    if (value == FVisible) return;
    FVisible = value;
    VisibleChanged();
}

void TControl::VisibleChanged()
{
    if (FParent) FParent->InvalidateChild(this);
}

void TControl::SetEnabled(bool value)
{
    if (value == FEnabled) return;
    FEnabled = value;
    EnabledChanged();
    Perform(CM_ENABLEDCHANGED);
}

bool TControl::Showing() const
{
    for (const TControl* c = this; c; c = c->FParent)
        if (!c->FVisible) return false;
    return true;
}

void TControl::SetCaption(const std::string& value)
{
    if (value == FCaption) return;
    FCaption = value;
    TextChanged();
}

void TControl::SetColor(TColor value)
{
    if (value == FColor) return;
    FColor = value;
    FParentColor = false;
    Invalidate();
}

void TControl::SetParentFont(bool value)
{
    // The font first: taking it on counts as a change of font, which clears the flag.
    if (value && FParent) FFont.Assign(FParent->Font());
    FParentFont = value;
}

void TControl::FontChanged()
{
    FParentFont = Loading() ? FParentFont : false;
    Invalidate();
}

void TControl::Loaded()
{
    TComponent::Loaded();
}

TPoint TControl::WindowOrigin() const
{
    TPoint p{FLeft, FTop};
    return p;
}

TPoint TControl::ClientToScreen(TPoint p) const
{
    const TControl* c = this;
    while (c && !dynamic_cast<const TWinControl*>(c)) {
        p.X += c->FLeft;
        p.Y += c->FTop;
        c = c->FParent;
    }
    if (auto* w = const_cast<TWinControl*>(dynamic_cast<const TWinControl*>(c))) {
        POINT pt = {p.X, p.Y};
        ::ClientToScreen(w->Handle(), &pt);
        return TPoint{pt.x, pt.y};
    }
    return p;
}

TPoint TControl::ScreenToClient(TPoint p) const
{
    TPoint origin = ClientToScreen(TPoint{0, 0});
    return TPoint{p.X - origin.X, p.Y - origin.Y};
}

void TControl::Invalidate()
{
    if (FParent) FParent->InvalidateChild(this);
}

void TControl::Update()
{
    if (FParent) FParent->UpdateChild(this);
}

bool TControl::MouseCapture() const { return FParent && FParent->CaptureControl() == this; }

void TControl::SetMouseCapture(bool value)
{
    if (!FParent) return;
    if (value)
        FParent->SetCaptureControl(this);
    else if (MouseCapture())
        FParent->SetCaptureControl(nullptr);
}

void TControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (Button == mbLeft && !(Shift & ssDouble)) FClicking = true;
    if (OnMouseDown) OnMouseDown(this, Button, Shift, X, Y);
}

void TControl::MouseMove(TShiftState Shift, int X, int Y)
{
    if (OnMouseMove) OnMouseMove(this, Shift, X, Y);
}

void TControl::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    bool click = Button == mbLeft && FClicking && X >= 0 && Y >= 0 && X < FWidth && Y < FHeight;
    if (Button == mbLeft) FClicking = false;
    if (click) Click();
    if (OnMouseUp) OnMouseUp(this, Button, Shift, X, Y);
}

void TControl::Click()
{
    if (OnClick) OnClick(this);
}

void TControl::DblClick()
{
    if (OnDblClick) OnDblClick(this);
}

void TControl::WndProc(TMessage& Message)
{
    switch (Message.Msg) {
    case CM_MOUSEENTER: MouseEnter(); break;
    case CM_MOUSELEAVE: MouseLeave(); break;
    default: break;
    }
}

LRESULT TControl::Perform(UINT msg, WPARAM wParam, LPARAM lParam)
{
    TMessage m{msg, wParam, lParam, 0};
    WndProc(m);
    return m.Result;
}

bool TControl::SetProperty(const std::string& name, const TLayoutValue& value)
{
    if (name == "Left") SetLeft(value.AsInt());
    else if (name == "Top") SetTop(value.AsInt());
    else if (name == "Width") SetWidth(value.AsInt());
    else if (name == "Height") SetHeight(value.AsInt());
    else if (name == "Visible") SetVisible(value.AsBool());
    else if (name == "Enabled") SetEnabled(value.AsBool());
    else if (name == "Caption" || name == "Text") SetCaption(value.AsString());
    else if (name == "Color") SetColor(value.AsColor());
    else if (name == "Hint") SetHint(value.AsString());
    else if (name == "ShowHint") SetShowHint(value.AsBool());
    else if (name == "ParentFont") SetParentFont(value.AsBool());
    else if (name == "ParentColor") FParentColor = value.AsBool();
    else if (name == "ParentShowHint" || name == "TabOrder" || name == "TabStop") return true;
    else if (name == "Cursor") {
        TCursor cursor;
        if (value.kind == TLayoutValue::kInteger) SetCursor(value.AsInt());
        else if (IdentToCursor(value.AsIdent(), cursor)) SetCursor(cursor);
        else throw ELayoutError("Unknown cursor " + value.Str);
    } else if (name == "Align") {
        SetAlign(value.AsEnum<TAlign>({"alNone", "alTop", "alBottom", "alLeft", "alRight", "alClient"}));
    } else if (name.rfind("Font.", 0) == 0) {
        if (!FFont.SetProperty(name.substr(5), value)) return false;
        FParentFont = false;
    } else if (name == "OnClick") OnClick = value.AsEvent<TNotifyEvent>();
    else if (name == "OnDblClick") OnDblClick = value.AsEvent<TNotifyEvent>();
    else if (name == "OnMouseDown") OnMouseDown = value.AsEvent<TMouseEvent>();
    else if (name == "OnMouseUp") OnMouseUp = value.AsEvent<TMouseEvent>();
    else if (name == "OnMouseMove") OnMouseMove = value.AsEvent<TMouseMoveEvent>();
    else return TComponent::SetProperty(name, value);
    return true;
}

// ---- TGraphicControl

TGraphicControl::TGraphicControl(TComponent* AOwner) : TControl(AOwner) {}

TGraphicControl::~TGraphicControl()
{
    if (FParent) FParent->ReleaseChildCapture(this);
}

void TGraphicControl::SetFocus()
{
    if (TCustomForm* form = GetParentForm(this)) form->FocusGraphic(this);
}

bool TGraphicControl::Focused() const
{
    TCustomForm* form = GetParentForm(this);
    return form && form->FocusedGraphic() == this && form->HandleAllocated() && GetFocus() == form->Handle();
}

void TGraphicControl::PaintTo(HDC dc)
{
    FCanvas.SetHandle(dc);
    ScopeExit detach([this] { FCanvas.SetHandle(nullptr); });
    Paint();
}

// ---- TWinControl

TWinControl::TWinControl(TComponent* AOwner) : TControl(AOwner) {}

TWinControl::~TWinControl()
{
    MarkDestroying();
    // Children that other owners hold must not keep pointing here.
    while (!FControls.empty()) RemoveControl(FControls.back());
    DestroyHandle();
}

TWinControl* TWinControl::FromHandle(HWND wnd)
{
    if (!wnd) return nullptr;
    return static_cast<TWinControl*>(GetWindowObject(wnd, kControlKey));
}

void TWinControl::CreateParams(TCreateParams& Params)
{
    Params.WinClassName = kWindowClass;
    Params.Caption = FCaption;
    Params.Style = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    if (FVisible) Params.Style |= WS_VISIBLE;
    if (!FEnabled) Params.Style |= WS_DISABLED;
    if (FTabStop) Params.Style |= WS_TABSTOP;
    Params.X = FLeft;
    Params.Y = FTop;
    Params.Width = FWidth;
    Params.Height = FHeight;
    Params.WndParent = FParent ? FParent->Handle() : nullptr;
}

HWND TWinControl::Handle()
{
    if (!FHandle) CreateWnd();
    return FHandle;
}

void TWinControl::CreateWnd()
{
    TCreateParams params;
    CreateParams(params);
    // Asking for the parent's window may have created it, and with it the windows of all its children,
    // this one among them. A second window here would be an orphan still routed to this control.
    if (FHandle) return;
    HINSTANCE instance = GetModuleHandleA(nullptr);
    if (!params.Subclass) {
        WNDCLASSA wc = {};
        if (!GetClassInfoA(instance, params.WinClassName.c_str(), &wc)) {
            wc.style = params.ClassStyle;
            wc.lpfnWndProc = &TWinControl::InitialWndProc;
            wc.hInstance = instance;
            wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
            wc.lpszClassName = params.WinClassName.c_str();
            if (!RegisterClassA(&wc)) throw EOutOfResources("Error creating window class");
        }
    }
    HMENU id = nullptr;
    if (params.Style & WS_CHILD) {
        if (!FControlId) FControlId = g_nextControlId++;
        id = reinterpret_cast<HMENU>(static_cast<UINT_PTR>(FControlId));
    }
    HWND wnd = CreateWindowExA(params.ExStyle, params.WinClassName.c_str(), params.Caption.c_str(), params.Style,
                               params.X, params.Y, params.Width, params.Height, params.WndParent, id, instance, this);
    if (!wnd) throw EOutOfResources("Error creating window");
    if (params.Subclass) {
        FHandle = wnd;
        SetWindowObject(wnd, kControlKey, this);
        FDefWndProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TWinControl::StandardWndProc)));
    }
    SendMessageA(FHandle, WM_SETFONT, reinterpret_cast<WPARAM>(FFont.Handle()), 0);
    // Windowed children get their windows now.
    for (TControl* c : FControls)
        if (auto* w = dynamic_cast<TWinControl*>(c)) w->HandleNeeded();
    CreateHandleDone();
}

void TWinControl::DestroyWnd()
{
    if (!FHandle) return;
    HWND wnd = FHandle;
    DestroyWindow(wnd);  // WM_NCDESTROY clears FHandle
    FHandle = nullptr;
}

void TWinControl::DestroyHandle()
{
    for (TControl* c : FControls)
        if (auto* w = dynamic_cast<TWinControl*>(c)) w->DestroyHandle();
    DestroyWnd();
}

void TWinControl::RecreateWnd()
{
    if (!FHandle) return;
    DestroyHandle();
    HandleNeeded();
}

LRESULT CALLBACK TWinControl::InitialWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_NCCREATE) {
        auto* self = static_cast<TWinControl*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        if (self) {
            self->FHandle = wnd;
            self->FDefWndProc = &DefWindowProcA;
            SetWindowObject(wnd, kControlKey, self);
            // From here on the standard procedure runs; window hooks of components may replace it later.
            SetWindowLongPtrA(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TWinControl::StandardWndProc));
        }
    }
    return StandardWndProc(wnd, msg, wParam, lParam);
}

LRESULT CALLBACK TWinControl::StandardWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    TWinControl* self = FromHandle(wnd);
    if (!self) return DefWindowProcA(wnd, msg, wParam, lParam);
    TMessage m{msg, wParam, lParam, 0};
    bool handled = false;
    try {
        self->WndProc(m);
        handled = true;
    } catch (...) {
        HandleCallbackException();
    }
    if (!handled) {
        // The handler failed part-way; let the platform finish the message.
        self->DefaultHandler(m);
    }
    if (msg == WM_NCDESTROY) {
        WNDPROC def = self->FDefWndProc;
        RemoveWindowObjects(wnd);  // the control's and any hook's: the handle may be reused
        self->FHandle = nullptr;
        if (def && def != &DefWindowProcA) SetWindowLongPtrA(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(def));
    }
    return m.Result;
}

void TWinControl::DefaultHandler(TMessage& Message)
{
    if (!FHandle) return;
    WNDPROC proc = FDefWndProc ? FDefWndProc : &DefWindowProcA;
    Message.Result = CallWindowProcA(proc, FHandle, Message.Msg, Message.WParam, Message.LParam);
}

void TWinControl::WndProc(TMessage& Message)
{
    switch (Message.Msg) {
    case WM_PAINT:
        if (IsCustomPainted()) {
            HandlePaint(Message);
            return;
        }
        break;
    case WM_PRINTCLIENT:
        if (IsCustomPainted()) {
            PaintWindow(reinterpret_cast<HDC>(Message.WParam));
            return;
        }
        break;
    case WM_ERASEBKGND:
        if (IsCustomPainted()) {
            Message.Result = 1;  // painting covers everything, double-buffered
            return;
        }
        break;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MBUTTONDBLCLK:
        RouteMouse(Message);
        if (!IsCustomPainted()) break;  // platform controls still need their own handling
        return;
    case WM_MOUSELEAVE:
        FTrackingLeave = false;
        UpdateMouseControl(nullptr);
        break;
    case WM_CAPTURECHANGED:
        if (reinterpret_cast<HWND>(Message.LParam) != FHandle && FCaptureControl) {
            TControl* lost = FCaptureControl;
            FCaptureControl = nullptr;
            lost->MouseUp(mbLeft, 0, -1, -1);
        }
        break;
    case WM_SETCURSOR:
        if (HandleSetCursor(Message)) return;
        break;
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
        // Reflect to the child that sent it, so no form switches on child ids.
        HWND child = Message.Msg == WM_NOTIFY ? reinterpret_cast<NMHDR*>(Message.LParam)->hwndFrom
                                                : reinterpret_cast<HWND>(Message.LParam);
        if (TWinControl* c = FromHandle(child); c && c != this) {
            Message.Result = c->Perform(CN_BASE + Message.Msg, Message.WParam, Message.LParam);
            if (Message.Msg != WM_NOTIFY && Message.Msg != WM_COMMAND && Message.Result == 0) break;
            return;
        }
        break;
    }
    case WM_NOTIFYFORMAT:
        Message.Result = NFR_ANSI;
        return;
    case WM_SETFOCUS:
        if (TCustomForm* form = dynamic_cast<TCustomForm*>(Owner()); form && form != this && FTabStop)
            form->SetActiveControl(this);
        break;
    default:
        if (Message.Msg >= CM_BASE && Message.Msg < CM_BASE + 0x100) {
            TControl::WndProc(Message);
            return;
        }
        if (Message.Msg >= CN_BASE && Message.Msg < CN_BASE + 0x400) return;  // not handled: result 0
        break;
    }
    DefaultHandler(Message);
}

void TWinControl::RouteMouse(TMessage& Message)
{
    if (!IsCustomPainted()) return;  // platform controls handle their own mouse input
    int x = GET_X_LPARAM(Message.LParam), y = GET_Y_LPARAM(Message.LParam);
    TShiftState shift = KeysToShiftState(Message.WParam);
    TControl* target = FCaptureControl;
    if (!target) {
        target = GraphicControlAt(x, y);
        if (!target) target = this;
    }
    if (Message.Msg == WM_MOUSEMOVE) {
        UpdateMouseControl(GraphicControlAt(x, y) ? static_cast<TControl*>(GraphicControlAt(x, y)) : this);
        if (!FTrackingLeave && FHandle) {
            TRACKMOUSEEVENT tme = {sizeof tme, TME_LEAVE, FHandle, 0};
            FTrackingLeave = TrackMouseEvent(&tme) != FALSE;
        }
    }
    int cx = x, cy = y;
    if (target != this) {
        cx -= target->Left();
        cy -= target->Top();
    }
    TMouseButton button = mbLeft;
    switch (Message.Msg) {
    case WM_RBUTTONDOWN: case WM_RBUTTONUP: case WM_RBUTTONDBLCLK: button = mbRight; break;
    case WM_MBUTTONDOWN: case WM_MBUTTONUP: case WM_MBUTTONDBLCLK: button = mbMiddle; break;
    default: break;
    }
    switch (Message.Msg) {
    case WM_MOUSEMOVE:
        target->MouseMove(shift, cx, cy);
        break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        if (target != this) {
            FCaptureControl = target;
            SetCapture(FHandle);
        }
        target->MouseDown(button, shift, cx, cy);
        break;
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK:
        if (target != this) {
            FCaptureControl = target;
            SetCapture(FHandle);
        }
        if (button == mbLeft) target->DblClick();
        target->MouseDown(button, shift | ssDouble, cx, cy);
        break;
    default: {  // a button went up
        bool anyHeld = shift & (ssLeft | ssRight | ssMiddle);
        if (!anyHeld && FCaptureControl) {
            FCaptureControl = nullptr;
            if (GetCapture() == FHandle) ReleaseCapture();
        }
        target->MouseUp(button, shift, cx, cy);
        break;
    }
    }
}

void TWinControl::UpdateMouseControl(TControl* control)
{
    if (control == FMouseControl) return;
    TControl* old = FMouseControl;
    FMouseControl = control;
    if (old && old != this) old->Perform(CM_MOUSELEAVE);
    if (control && control != this) control->Perform(CM_MOUSEENTER);
}

bool TWinControl::HandleSetCursor(TMessage& Message)
{
    if (LOWORD(Message.LParam) != HTCLIENT || reinterpret_cast<HWND>(Message.WParam) != FHandle) return false;
    TCursor cursor = Screen ? Screen->Cursor() : crDefault;
    if (cursor == crDefault) {
        POINT pt;
        GetCursorPos(&pt);
        ::ScreenToClient(FHandle, &pt);
        TControl* c = FCaptureControl ? FCaptureControl : GraphicControlAt(pt.x, pt.y);
        cursor = c ? c->Cursor() : FCursor;
    }
    if (cursor == crDefault || !Screen) return false;
    ::SetCursor(Screen->Cursors(cursor));
    Message.Result = 1;
    return true;
}

void TWinControl::SetCaptureControl(TControl* control)
{
    FCaptureControl = control;
    if (!FHandle) return;
    if (control)
        SetCapture(FHandle);
    else if (GetCapture() == FHandle)
        ReleaseCapture();
}

void TWinControl::ReleaseChildCapture(TControl* child)
{
    if (FCaptureControl == child) SetCaptureControl(nullptr);
    if (FMouseControl == child) FMouseControl = nullptr;
}

TGraphicControl* TWinControl::GraphicControlAt(int X, int Y)
{
    for (auto it = FControls.rbegin(); it != FControls.rend(); ++it) {
        auto* g = dynamic_cast<TGraphicControl*>(*it);
        if (!g || !g->Visible() || !g->Enabled()) continue;
        if (!g->BoundsRect().Contains(X, Y)) continue;
        if (g->HitTest(X - g->Left(), Y - g->Top())) return g;
    }
    return nullptr;
}

void TWinControl::InsertControl(TControl* control)
{
    control->FParent = this;
    FControls.push_back(control);
    if (control->ParentFont()) control->Font().Assign(FFont), control->SetParentFont(true);
    if (auto* w = dynamic_cast<TWinControl*>(control); w && FHandle) w->HandleNeeded();
    if (control->Visible()) InvalidateChild(control);
}

void TWinControl::RemoveControl(TControl* control)
{
    auto it = std::find(FControls.begin(), FControls.end(), control);
    if (it == FControls.end()) return;
    ReleaseChildCapture(control);
    if (TCustomForm* form = GetParentForm(this); form && form->FocusedGraphic() == control) form->FocusGraphic(nullptr);
    if (control->Visible()) InvalidateChild(control);
    FControls.erase(it);
    control->FParent = nullptr;
    if (auto* w = dynamic_cast<TWinControl*>(control)) w->DestroyHandle();
}

void TWinControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight)
{
    if (ALeft == FLeft && ATop == FTop && AWidth == FWidth && AHeight == FHeight) return;
    FLeft = ALeft;
    FTop = ATop;
    FWidth = AWidth;
    FHeight = AHeight;
    if (FHandle) SetWindowPos(FHandle, nullptr, FLeft, FTop, FWidth, FHeight, SWP_NOZORDER | SWP_NOACTIVATE);
}

TRect TWinControl::ClientRect() const
{
    if (FHandle) {
        RECT rc;
        GetClientRect(FHandle, &rc);
        return Rect(rc.left, rc.top, rc.right, rc.bottom);
    }
    return TControl::ClientRect();
}

void TWinControl::SetVisible(bool value)
{
    if (value == FVisible) return;
    FVisible = value;
    if (FHandle) ShowWindow(FHandle, value ? SW_SHOW : SW_HIDE);
}

void TWinControl::SetEnabled(bool value)
{
    if (value == FEnabled) return;
    FEnabled = value;
    if (FHandle) EnableWindow(FHandle, value);
    EnabledChanged();
}

void TWinControl::SetCaption(const std::string& value)
{
    FCaption = value;
    if (FHandle) SetWindowTextA(FHandle, value.c_str());
    TextChanged();
}

std::string TWinControl::Caption() const
{
    if (!FHandle) return FCaption;
    int len = GetWindowTextLengthA(FHandle);
    std::string text(static_cast<std::size_t>(len) + 1, '\0');
    int got = GetWindowTextA(FHandle, text.data(), len + 1);
    text.resize(static_cast<std::size_t>(std::max(0, got)));
    return text;
}

void TWinControl::SetFocus()
{
    if (FHandle) ::SetFocus(FHandle);
}

bool TWinControl::Focused() const { return FHandle && GetFocus() == FHandle; }

void TWinControl::Invalidate()
{
    if (FHandle) InvalidateRect(FHandle, nullptr, FALSE);
}

void TWinControl::Update()
{
    if (FHandle) UpdateWindow(FHandle);
}

void TWinControl::InvalidateChild(TControl* child)
{
    if (!FHandle) return;
    RECT rc = {child->Left(), child->Top(), child->Left() + child->Width(), child->Top() + child->Height()};
    InvalidateRect(FHandle, &rc, FALSE);
}

void TWinControl::UpdateChild(TControl* child)
{
    if (FHandle) UpdateWindow(FHandle);
}

void TWinControl::HandlePaint(TMessage& Message)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(FHandle, &ps);
    ScopeExit endPaint([&] { EndPaint(FHandle, &ps); });
    // Paint the dirty part into a back buffer and copy it out in one block transfer, so nothing flickers;
    // what was painted is copied out also when painting throws.
    RECT r = ps.rcPaint;
    int w = r.right - r.left, h = r.bottom - r.top;
    if (w > 0 && h > 0) {
        DeviceContext mem(CreateCompatibleDC(dc));
        GdiObject<HBITMAP> buffer(CreateCompatibleBitmap(dc, w, h));
        SelectObjectScope select(mem.get(), buffer.get());
        SetViewportOrgEx(mem.get(), -r.left, -r.top, nullptr);
        ScopeExit copyOut([&] {
            SetViewportOrgEx(mem.get(), 0, 0, nullptr);
            BitBlt(dc, r.left, r.top, w, h, mem.get(), 0, 0, SRCCOPY);
        });
        PaintWindow(mem.get());
    }
    Message.Result = 0;
}

void TWinControl::PaintBackground(HDC dc)
{
    RECT rc;
    GetClientRect(FHandle, &rc);
    GdiObject<HBRUSH> brush(CreateSolidBrush(ColorToRGB(FColor)));
    FillRect(dc, &rc, brush.get());
}

void TWinControl::PaintWindow(HDC dc)
{
    PaintBackground(dc);
    PaintControls(dc);
}

void TWinControl::PaintControls(HDC dc, TControl* first)
{
    // Windowless children in z-order, each clipped to its bounds with its origin at its top-left.
    POINT org;
    GetViewportOrgEx(dc, &org);
    for (TControl* c : FControls) {
        auto* g = dynamic_cast<TGraphicControl*>(c);
        if (!g || !g->Visible() || g->Width() <= 0 || g->Height() <= 0) continue;
        int saved = SaveDC(dc);
        ScopeExit restore([dc, saved] { RestoreDC(dc, saved); });
        IntersectClipRect(dc, g->Left(), g->Top(), g->Left() + g->Width(), g->Top() + g->Height());
        SetViewportOrgEx(dc, org.x + g->Left(), org.y + g->Top(), nullptr);
        g->PaintTo(dc);
    }
}

void TWinControl::FontChanged()
{
    TControl::FontChanged();
    if (FHandle) SendMessageA(FHandle, WM_SETFONT, reinterpret_cast<WPARAM>(FFont.Handle()), TRUE);
    for (TControl* c : FControls)
        if (c->ParentFont()) {
            c->Font().Assign(FFont);
            c->SetParentFont(true);
        }
}

void TWinControl::Loaded()
{
    TControl::Loaded();
}

bool TWinControl::SetProperty(const std::string& name, const TLayoutValue& value)
{
    if (name == "TabOrder") SetTabOrder(value.AsInt());
    else if (name == "TabStop") SetTabStop(value.AsBool());
    else return TControl::SetProperty(name, value);
    return true;
}

// ---- TCustomControl

TCustomControl::TCustomControl(TComponent* AOwner) : TWinControl(AOwner) {}

void TCustomControl::PaintWindow(HDC dc)
{
    PaintBackground(dc);
    {
        FCanvas.SetHandle(dc);
        ScopeExit detach([this] { FCanvas.SetHandle(nullptr); });
        Paint();
    }
    PaintControls(dc);
}
