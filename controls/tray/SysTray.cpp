#include "controls/tray/SysTray.h"

#include <cstring>

#include "controls/tray/OneInstance.h"
#include "framework/Controls.h"
#include "framework/Forms.h"

TTrayIcon::TTrayIcon(TComponent* AOwner) : TComponent(AOwner)
{
    auto* ownerControl = dynamic_cast<TWinControl*>(AOwner);
    if (!ownerControl) throw EInvalidCast();
    FIconVisible = true;
    FEnabled = true;
    FPreviewInProgress = false;
    FIcon.OnChange = nullptr;

    FTaskbarCreated = RegisterWindowMessageA("TaskbarCreated");
    // A top-level window (not a message-only one), so that the shell's broadcast reaches it.
    FNotifyWindow = std::make_unique<THiddenWindow>(
        [this](UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
            return HandleNotifyMessage(msg, wParam, lParam, result);
        });
    FIconData.cbSize = sizeof(TNotifyIconData88);
    FIconData.hWnd = FNotifyWindow->Handle();
    FIconData.uID = 1;
    FIconData.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    FIconData.uCallbackMessage = IconCallbackMessage;

    FCycleTimer = new TTimer(this);
    FCycleTimer->SetEnabled(false);
    FCycleTimer->SetInterval(FCycleInterval);
    FCycleTimer->OnTimer = [this](TObject*) { CycleStep(); };
    FRetryTimer = new TTimer(this);
    FRetryTimer->SetEnabled(false);
    FRetryTimer->OnTimer = [this](TObject*) {
        if (FIconVisible)
            RestoreInTray();
        else
            KeepTrying(false);
    };

    if (!Designing()) InstallHooks();
}

TTrayIcon::~TTrayIcon()
{
    SetIconVisible(false);
    FNotifyWindow.reset();
    delete FCycleTimer;
    FCycleTimer = nullptr;
    delete FRetryTimer;
    FRetryTimer = nullptr;
    if (!Designing()) RemoveHooks();
}

// ---- hooks on the application window and the owner window

void TTrayIcon::InstallHooks()
{
    if (Application && Application->Handle())
        FAppHook.Install(Application->Handle(), [this](UINT msg, WPARAM wParam, LPARAM, LRESULT&) {
            AppWindowMessage(msg, wParam);
            return false;
        });
    // The owner's window is made now if it does not exist yet.
    HWND owner = FOwnerWindow = dynamic_cast<TWinControl*>(Owner())->Handle();
    FOwnerHook.Install(owner, [this, owner](UINT msg, WPARAM wParam, LPARAM lParam, LRESULT&) {
        OwnerWindowMessage(owner, msg, wParam, lParam);
        return false;
    });
}

void TTrayIcon::RemoveHooks()
{
    FAppHook.Remove();
    FOwnerHook.Remove();
}

void TTrayIcon::AppWindowMessage(UINT msg, WPARAM wParam)
{
    if (msg == WM_SIZE && wParam == SIZE_MINIMIZED && MinimizeToTray) MinimizeIntoTray();
    // Started again, the program reaches this copy through its application window: the user is looking for
    // the icon, which may have been lost.
    if (UINT showCopy = ShowRunningCopyMessage(); showCopy && msg == showCopy) RestoreInTray();
}

void TTrayIcon::OwnerWindowMessage(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_SHOWWINDOW && wParam == 1 && lParam == 0) {
        // Shown on request: bring the application and then this window to the front.
        HWND app = Application ? Application->Handle() : nullptr;
        ShowWindow(app, SW_RESTORE);
        SetForegroundWindow(app);
        SetForegroundWindow(wnd);
    } else if (msg == WM_WINDOWPOSCHANGED) {
        if (Screen)
            if (TWinControl* active = Screen->ActiveControl(); active && active->HandleAllocated())
                SetFocus(active->Handle());
    }
}

// ---- tray operations

bool TTrayIcon::PrepareIconData()
{
    if (Designing() && !FPreviewInProgress && !FDesignPreview) return false;
    FIconData.hIcon = FIcon.Handle();
    std::memset(FIconData.szTip, 0, sizeof FIconData.szTip);
    if (!FHint.empty() && FShowHint) {
        std::size_t n = std::min<std::size_t>(FHint.size(), sizeof FIconData.szTip - 1);
        std::memcpy(FIconData.szTip, FHint.data(), n);
    }
    return true;
}

static BOOL CallShell(const std::function<BOOL(DWORD, TNotifyIconData88&)>& hook, DWORD message, TNotifyIconData88& data)
{
    if (hook) return hook(message, data);
    return Shell_NotifyIconA(message, reinterpret_cast<NOTIFYICONDATAA*>(&data));
}

bool TTrayIcon::AddToTray()
{
    if (!FPreviewInProgress) FIconVisible = true;
    if ((!Designing() || FPreviewInProgress) && PrepareIconData()) {
        bool added = CallShell(ShellNotify, NIM_ADD, FIconData) != FALSE;
        // The icon is the only way to the program: a shell that is not ready yet is asked again.
        if (!Designing()) KeepTrying(!added);
        return added;
    }
    return false;
}

bool TTrayIcon::RestoreInTray()
{
    if (!FIconVisible || Designing()) return false;
    if (RefreshInTray()) {
        KeepTrying(false);
        return true;
    }
    return AddToTray();
}

void TTrayIcon::KeepTrying(bool retry)
{
    if (!FRetryTimer) return;
    if (retry) FRetryTimer->SetInterval(AddRetryInterval);
    FRetryTimer->SetEnabled(retry);
}

bool TTrayIcon::RemoveFromTray()
{
    if (!FPreviewInProgress) FIconVisible = false;
    KeepTrying(false);
    if ((!Designing() || FPreviewInProgress) && PrepareIconData())
        return CallShell(ShellNotify, NIM_DELETE, FIconData) != FALSE;
    return false;
}

bool TTrayIcon::RefreshInTray()
{
    if (PrepareIconData()) return CallShell(ShellNotify, NIM_MODIFY, FIconData) != FALSE;
    return false;
}

void TTrayIcon::ShowMainWindow()
{
    if (Application) ShowWindow(Application->Handle(), SW_RESTORE);
    if (Application && Application->MainForm()) Application->MainForm()->SetVisible(true);
}

void TTrayIcon::HideMainWindow()
{
    if (Application && Application->MainForm()) Application->MainForm()->SetVisible(false);
    if (Application) ShowWindow(Application->Handle(), SW_HIDE);
}

void TTrayIcon::MinimizeIntoTray()
{
    HideMainWindow();
    SetIconVisible(true);
}

// ---- properties

void TTrayIcon::SetDesignPreview(bool value)
{
    FDesignPreview = value;
    if (!Designing()) return;
    FPreviewInProgress = true;
    if (value)
        AddToTray();
    else
        RemoveFromTray();
    FPreviewInProgress = false;
}

void TTrayIcon::SetIconList(TImageList* value)
{
    if (FIconList) RemoveFreeNotification(FIconList);
    FIconList = value;
    if (value) FreeNotification(value);
    SetIconIndex(0);
}

void TTrayIcon::SetCycleIcons(bool value)
{
    FCycleIcons = value;
    if (value) SetIconIndex(0);
    FCycleTimer->SetEnabled(value);
}

void TTrayIcon::SetCycleInterval(unsigned value)
{
    FCycleInterval = value;
    FCycleTimer->SetInterval(value);
}

void TTrayIcon::SetHint(const std::string& value)
{
    FHint = value;
    RefreshInTray();
}

void TTrayIcon::SetShowHint(bool value)
{
    FShowHint = value;
    RefreshInTray();
}

void TTrayIcon::SetIcon(const TIcon& value)
{
    FIcon.Assign(value);
    RefreshInTray();
}

void TTrayIcon::SetIconVisible(bool value)
{
    if (value)
        AddToTray();
    else
        RemoveFromTray();
}

void TTrayIcon::SetIconIndex(int value)
{
    if (FIconList) {
        int count = FIconList->Count();
        FIconIndex = value;
        if (count > 0 && FIconIndex >= count) FIconIndex = count - 1;
        // Negative indexes and empty lists have no image: the index becomes 0 and the icon stays.
        if (FIconIndex < 0 || count == 0) FIconIndex = 0;
        if (count > 0) FIconList->GetIcon(FIconIndex, FIcon);
    } else {
        FIconIndex = 0;
    }
    RefreshInTray();
}

void TTrayIcon::SetPopupMenu(TPopupMenu* value)
{
    if (FPopupMenu) RemoveFreeNotification(FPopupMenu);
    FPopupMenu = value;
    if (value) FreeNotification(value);
}

void TTrayIcon::Notification(TComponent* AComponent, TOperation Operation)
{
    TComponent::Notification(AComponent, Operation);
    if (Operation != opRemove) return;
    if (AComponent == FIconList) {
        FIconList = nullptr;
        SetIconList(nullptr);
    }
    if (AComponent == FPopupMenu) FPopupMenu = nullptr;
}

void TTrayIcon::Loaded()
{
    TComponent::Loaded();
    if (StartMinimized && !Designing() && Application) {
        Application->ShowMainForm = false;
        ShowWindow(Application->Handle(), SW_HIDE);
    }
    RefreshInTray();
    SetIconVisible(FIconVisible);
}

// ---- cycling

void TTrayIcon::CycleStep()
{
    if (!FIconList) return;
    int count = FIconList->Count();
    if (count == 0) return;
    FIconList->GetIcon(FIconIndex, FIcon);
    int next = FIconIndex < count - 1 ? FIconIndex + 1 : 0;
    DoCycle(next);
    RefreshInTray();
    SetIconIndex(next);
}

// ---- mouse notifications

TShiftState TTrayIcon::CurrentShift() const
{
    TShiftState shift = 0;
    if (GetKeyState(VK_SHIFT) < 0) shift |= ssShift;
    if (GetKeyState(VK_CONTROL) < 0) shift |= ssCtrl;
    if (GetKeyState(VK_MENU) < 0) shift |= ssAlt;
    return shift;
}

TPoint TTrayIcon::CursorPos() const
{
    POINT pt = {};
    GetCursorPos(&pt);
    return TPoint{pt.x, pt.y};
}

bool TTrayIcon::HandleNotifyMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (msg == IconCallbackMessage) {
        HandleIconMessage(lParam);
        result = 0;
        return true;
    }
    if (FTaskbarCreated && msg == FTaskbarCreated) {
        // A new taskbar (the shell restarted, or came up after the program) knows no icons yet.
        RestoreInTray();
        result = 0;
        return true;
    }
    if (msg == WM_QUERYENDSESSION) {
        result = 1;
        return true;
    }
    return false;
}

void TTrayIcon::HandleIconMessage(LPARAM mouseMessage)
{
    if (!FEnabled) return;
    TShiftState shift = CurrentShift();
    TPoint p = CursorPos();
    switch (mouseMessage) {
    case WM_MOUSEMOVE:
        DoMouseMove(shift, p.X, p.Y);
        break;
    case WM_LBUTTONDOWN:
        DoMouseDown(mbLeft, shift | ssLeft, p.X, p.Y);
        FClickPending = true;
        if (LeftPopup) OpenMenuAtCursor();
        break;
    case WM_LBUTTONUP:
        if (FClickPending) {
            FClickPending = false;
            DoClick();
        }
        DoMouseUp(mbLeft, shift | ssLeft, p.X, p.Y);
        break;
    case WM_LBUTTONDBLCLK:
        DoDblClick();
        RunDefaultMenuItem();
        break;
    case WM_RBUTTONDOWN:
        DoMouseDown(mbRight, shift | ssRight, p.X, p.Y);
        OpenMenuAtCursor();
        break;
    case WM_RBUTTONUP:
        DoMouseUp(mbRight, shift | ssRight, p.X, p.Y);
        break;
    case WM_MBUTTONDOWN:
        DoMouseDown(mbMiddle, shift | ssMiddle, p.X, p.Y);
        break;
    case WM_MBUTTONUP:
        DoMouseUp(mbMiddle, shift | ssMiddle, p.X, p.Y);
        break;
    default:
        break;
    }
}

void TTrayIcon::RunDefaultMenuItem()
{
    if (!FPopupMenu || !FPopupMenu->AutoPopup() || LeftPopup) return;
    TMenuItem* chosen = nullptr;
    for (int i = FPopupMenu->Count() - 1; i >= 0; --i)
        if (FPopupMenu->Items(i)->Default()) chosen = FPopupMenu->Items(i);
    if (chosen) chosen->Click();
}

void TTrayIcon::OpenMenuAtCursor()
{
    POINT pt;
    if (!FPopupMenu || !FPopupMenu->AutoPopup() || !GetCursorPos(&pt)) return;
    if (Application) Application->ProcessMessages();
    if (!FPopupMenu) return;  // freed while messages ran
    if (Screen)
        if (TWinControl* active = Screen->ActiveControl())
            if (auto* owner = dynamic_cast<TWinControl*>(active->Owner())) SetForegroundWindow(owner->Handle());
    FPopupMenu->SetPopupComponent(this);
    FPopupMenu->Popup(pt.x, pt.y);
    if (FOwnerWindow) PostMessageA(FOwnerWindow, WM_NULL, 0, 0);
}

void TTrayIcon::DoClick()
{
    if (OnClick) OnClick(this);
}
void TTrayIcon::DoDblClick()
{
    if (OnDblClick) OnDblClick(this);
}
void TTrayIcon::DoCycle(int NextIndex)
{
    if (OnCycle) OnCycle(this, NextIndex);
}
void TTrayIcon::DoMouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (OnMouseDown) OnMouseDown(this, Button, Shift, X, Y);
}
void TTrayIcon::DoMouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (OnMouseUp) OnMouseUp(this, Button, Shift, X, Y);
}
void TTrayIcon::DoMouseMove(TShiftState Shift, int X, int Y)
{
    if (OnMouseMove) OnMouseMove(this, Shift, X, Y);
}

bool TTrayIcon::SetProperty(const std::string& name, const TLayoutValue& value)
{
    if (name == "DesignPreview") SetDesignPreview(value.AsBool());
    else if (name == "IconList") SetIconList(dynamic_cast<TImageList*>(value.AsComponent()));
    else if (name == "CycleIcons") SetCycleIcons(value.AsBool());
    else if (name == "CycleInterval") SetCycleInterval(static_cast<unsigned>(value.AsInteger()));
    else if (name == "Enabled") SetEnabled(value.AsBool());
    else if (name == "Hint") SetHint(value.AsString());
    else if (name == "ShowHint") SetShowHint(value.AsBool());
    else if (name == "Icon") {
        FIcon.LoadFromBytes(value.Bytes);
        RefreshInTray();
    } else if (name == "IconVisible") FIconVisible = value.AsBool();  // applied after loading
    else if (name == "IconIndex") SetIconIndex(value.AsInt());
    else if (name == "PopupMenu") SetPopupMenu(dynamic_cast<TPopupMenu*>(value.AsComponent()));
    else if (name == "LeftPopup") LeftPopup = value.AsBool();
    else if (name == "StartMinimized") StartMinimized = value.AsBool();
    else if (name == "MinimizeToTray") MinimizeToTray = value.AsBool();
    else if (name == "OnClick") OnClick = value.AsEvent<TNotifyEvent>();
    else if (name == "OnDblClick") OnDblClick = value.AsEvent<TNotifyEvent>();
    else if (name == "OnMouseDown") OnMouseDown = value.AsEvent<TMouseEvent>();
    else if (name == "OnMouseUp") OnMouseUp = value.AsEvent<TMouseEvent>();
    else if (name == "OnMouseMove") OnMouseMove = value.AsEvent<TMouseMoveEvent>();
    else if (name == "OnCycle") OnCycle = value.AsEvent<TCycleEvent>();
    else return TComponent::SetProperty(name, value);
    return true;
}

void RegisterTrayClasses() { RegisterComponentClass<TTrayIcon>("TTrayIcon"); }
