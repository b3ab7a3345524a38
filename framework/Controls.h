// Visual controls: windowless ones painted by their parent, and windowed ones that own an HWND.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "framework/Classes.h"
#include "framework/Graphics.h"

struct TMessage {
    UINT Msg;
    WPARAM WParam;
    LPARAM LParam;
    LRESULT Result;
};

// Private messages the framework sends to its controls.
enum : UINT {
    CM_BASE = WM_APP + 0x3000,
    CM_MOUSEENTER = CM_BASE + 1,
    CM_MOUSELEAVE = CM_BASE + 2,
    CM_RELEASE = CM_BASE + 3,
    CM_ENABLEDCHANGED = CM_BASE + 4,
    CM_FONTCHANGED = CM_BASE + 5,
    CN_BASE = 0xBC00,  // WM_COMMAND / WM_NOTIFY reflected to the child they came from
    CN_COMMAND = CN_BASE + WM_COMMAND,
    CN_NOTIFY = CN_BASE + WM_NOTIFY,
    CN_CTLCOLOREDIT = CN_BASE + WM_CTLCOLOREDIT,
    CN_CTLCOLORSTATIC = CN_BASE + WM_CTLCOLORSTATIC,
};

using TCursor = int;
constexpr TCursor crDefault = 0, crNone = -1, crArrow = -2, crCross = -3, crIBeam = -4, crHourGlass = -11,
                  crNo = -18, crAppStart = -19, crHandPoint = -21;
bool IdentToCursor(const std::string& name, TCursor& cursor);

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };

class TWinControl;
class TCustomForm;

class TControl : public TComponent {
    friend class TWinControl;

public:
    explicit TControl(TComponent* AOwner);
    ~TControl() override;

    TWinControl* Parent() const { return FParent; }
    virtual void SetParent(TWinControl* AParent);

    int Left() const { return FLeft; }
    int Top() const { return FTop; }
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    void SetLeft(int v) { SetBounds(v, FTop, FWidth, FHeight); }
    void SetTop(int v) { SetBounds(FLeft, v, FWidth, FHeight); }
    void SetWidth(int v) { SetBounds(FLeft, FTop, v, FHeight); }
    void SetHeight(int v) { SetBounds(FLeft, FTop, FWidth, v); }
    virtual void SetBounds(int ALeft, int ATop, int AWidth, int AHeight);
    TRect BoundsRect() const { return Bounds(FLeft, FTop, FWidth, FHeight); }
    virtual TRect ClientRect() const { return Rect(0, 0, FWidth, FHeight); }
    int ClientWidth() const { return ClientRect().Width(); }
    int ClientHeight() const { return ClientRect().Height(); }
    virtual void SetClientSize(int w, int h) { SetBounds(FLeft, FTop, w, h); }
    TAlign Align() const { return FAlign; }
    void SetAlign(TAlign value);

    bool Visible() const { return FVisible; }
    virtual void SetVisible(bool value);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    bool Enabled() const { return FEnabled; }
    virtual void SetEnabled(bool value);
    // Visible here and in every parent.
    bool Showing() const;

    virtual std::string Caption() const { return FCaption; }
    virtual void SetCaption(const std::string& value);
    TFont& Font() { return FFont; }
    TColor Color() const { return FColor; }
    virtual void SetColor(TColor value);
    TCursor Cursor() const { return FCursor; }
    void SetCursor(TCursor value) { FCursor = value; }
    const std::string& Hint() const { return FHint; }
    void SetHint(const std::string& value) { FHint = value; }
    bool ShowHint() const { return FShowHint; }
    void SetShowHint(bool value) { FShowHint = value; }
    bool ParentFont() const { return FParentFont; }
    void SetParentFont(bool value);
    bool ParentColor() const { return FParentColor; }
    int Tag = 0;

    TPoint ClientToScreen(TPoint p) const;
    TPoint ScreenToClient(TPoint p) const;
    // Origin of this control in its nearest window's client area.
    TPoint WindowOrigin() const;

    virtual void Invalidate();
    virtual void Update();
    void Repaint()
    {
        Invalidate();
        Update();
    }
    // Whether a point in client coordinates belongs to the control (windowless controls may be round).
    virtual bool HitTest(int X, int Y) { return true; }
    // Whether this control holds the mouse capture of its window.
    bool MouseCapture() const;
    void SetMouseCapture(bool value);

    TNotifyEvent OnClick, OnDblClick;
    TMouseEvent OnMouseDown, OnMouseUp;
    TMouseMoveEvent OnMouseMove;

    // Mouse input in client coordinates, as the parent routes it.
    virtual void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void MouseMove(TShiftState Shift, int X, int Y);
    virtual void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void Click();
    virtual void DblClick();
    virtual void MouseEnter() {}
    virtual void MouseLeave() {}
    // Framework messages (CM_*) and, for windowed controls, window messages.
    virtual void WndProc(TMessage& Message);
    LRESULT Perform(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);

    bool SetProperty(const std::string& name, const TLayoutValue& value) override;

protected:
    virtual void FontChanged();
    virtual void EnabledChanged() { Invalidate(); }
    virtual void VisibleChanged();
    virtual void TextChanged() { Invalidate(); }
    void Loaded() override;

    TWinControl* FParent = nullptr;
    int FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
    TAlign FAlign = alNone;
    bool FVisible = true;
    bool FEnabled = true;
    std::string FCaption;
    TFont FFont;
    TColor FColor = clBtnFace;
    TCursor FCursor = crDefault;
    std::string FHint;
    bool FShowHint = false;
    bool FParentFont = true;
    bool FParentColor = true;
    bool FClicking = false;  // left button went down inside this control
};

// A control without a window of its own: its parent paints it (Paint) in z-order and routes mouse input to it.
class TGraphicControl : public TControl {
public:
    explicit TGraphicControl(TComponent* AOwner);
    ~TGraphicControl() override;
    // Valid inside Paint: the parent's DC, moved so that (0, 0) is this control's top-left and clipped to it.
    TCanvas& Canvas() { return FCanvas; }
    // Draws the control into dc with its top-left at the DC's origin (used by the parent and by tests).
    void PaintTo(HDC dc);

    // A windowless tab stop takes the keyboard within its form: the form's window holds the platform focus
    // and the form remembers which of these has it. Tab reaches them after the windowed tab stops; Space and
    // Enter press the focused one (Click).
    bool TabStop() const { return FTabStop; }
    void SetTabStop(bool value) { FTabStop = value; }
    // Gives this control the keyboard within its form.
    void SetFocus();
    // This control has the keyboard: its form's focused control while the form's window has the focus.
    bool Focused() const;

protected:
    virtual void Paint() {}
    bool FTabStop = false;

private:
    TCanvas FCanvas;
};

struct TCreateParams {
    std::string WinClassName;   // the framework's class unless a platform class is subclassed
    std::string Caption;
    DWORD Style = 0;
    DWORD ExStyle = 0;
    int X = 0, Y = 0, Width = 0, Height = 0;
    HWND WndParent = nullptr;
    UINT ClassStyle = CS_DBLCLKS;
    bool Subclass = false;      // WinClassName is a platform class (EDIT, BUTTON, ...)
};

class TWinControl : public TControl {
public:
    explicit TWinControl(TComponent* AOwner);
    ~TWinControl() override;

    HWND Handle();  // creates the window on first use
    bool HandleAllocated() const { return FHandle != nullptr; }
    void HandleNeeded() { Handle(); }
    void DestroyHandle();
    void RecreateWnd();

    int ControlCount() const { return static_cast<int>(FControls.size()); }
    TControl* Controls(int index) const { return FControls.at(index); }
    void InsertControl(TControl* control);
    void RemoveControl(TControl* control);
    // The topmost visible, enabled windowless child at a client point that accepts it (HitTest).
    TGraphicControl* GraphicControlAt(int X, int Y);

    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
    TRect ClientRect() const override;
    void SetVisible(bool value) override;
    void SetEnabled(bool value) override;
    void SetCaption(const std::string& value) override;
    std::string Caption() const override;
    int TabOrder() const { return FTabOrder; }
    void SetTabOrder(int value) { FTabOrder = value; }
    bool TabStop() const { return FTabStop; }
    void SetTabStop(bool value) { FTabStop = value; }
    virtual void SetFocus();
    bool Focused() const;
    void Invalidate() override;
    void Update() override;
    // Repaints the part of the window that a windowless child covers.
    void InvalidateChild(TControl* child);
    void UpdateChild(TControl* child);
    void ReleaseChildCapture(TControl* child);
    TControl* CaptureControl() const { return FCaptureControl; }
    void SetCaptureControl(TControl* control);

    void WndProc(TMessage& Message) override;
    // The platform's handling: the subclassed class's procedure or DefWindowProcA.
    void DefaultHandler(TMessage& Message);
    static TWinControl* FromHandle(HWND wnd);
    UINT ControlId() const { return FControlId; }
    // Enter and Escape in a form press these (push buttons answer); Enter and Space press a focused push button.
    virtual bool IsPushButton() const { return false; }
    virtual bool IsDefaultButton() const { return false; }
    virtual bool IsCancelButton() const { return false; }

    bool SetProperty(const std::string& name, const TLayoutValue& value) override;

protected:
    virtual void CreateParams(TCreateParams& Params);
    virtual void CreateWnd();
    virtual void DestroyWnd();
    // Runs after the window exists: children get their windows here.
    virtual void CreateHandleDone() {}
    // Paints the background and windowless children into dc (double-buffered by the caller).
    virtual void PaintWindow(HDC dc);
    virtual void PaintBackground(HDC dc);
    void PaintControls(HDC dc, TControl* first = nullptr);
    virtual bool IsCustomPainted() const { return true; }
    void FontChanged() override;
    void Loaded() override;

    static LRESULT CALLBACK InitialWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK StandardWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);

    HWND FHandle = nullptr;
    WNDPROC FDefWndProc = nullptr;
    std::vector<TControl*> FControls;
    int FTabOrder = -1;
    bool FTabStop = false;
    UINT FControlId = 0;
    GdiObject<HBRUSH> FBackBrush;

private:
    void RouteMouse(TMessage& Message);
    void HandlePaint(TMessage& Message);
    bool HandleSetCursor(TMessage& Message);
    void UpdateMouseControl(TControl* control);

    TControl* FCaptureControl = nullptr;
    TControl* FMouseControl = nullptr;
    bool FTrackingLeave = false;
};

// A windowed control that paints itself (Paint) on its own canvas, like a form or a panel.
class TCustomControl : public TWinControl {
public:
    explicit TCustomControl(TComponent* AOwner);
    TCanvas& Canvas() { return FCanvas; }

protected:
    virtual void Paint() {}
    void PaintWindow(HDC dc) override;

private:
    TCanvas FCanvas;
};

// Calls f and hands any exception to the application's default error display. Every window procedure and
// platform callback goes through this, so no exception ever crosses into the platform.
void HandleCallbackException() noexcept;
template <class F> void SafeCall(F&& f) noexcept
{
    try {
        f();
    } catch (...) {
        HandleCallbackException();
    }
}

// The form a control sits on (its nearest parent that is a form, or the control itself), or nullptr.
TCustomForm* GetParentForm(const TControl* control);

// Shift state from the key and button flags of a mouse message.
TShiftState KeysToShiftState(WPARAM keys);
