// The notification-area icon: adds, changes and removes it, turns the shell's mouse notifications into
// events and the popup menu, shows and hides the main window, and can cycle through an image list.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <memory>

#include "framework/Classes.h"
#include "framework/ExtCtrls.h"
#include "framework/Graphics.h"
#include "framework/HiddenWindow.h"
#include "framework/WindowHook.h"
#include "framework/ImgList.h"
#include "framework/Menus.h"

constexpr UINT IconCallbackMessage = WM_USER + 0x400;  // 0x0800

using TCycleEvent = std::function<void(TObject* Sender, int NextIndex)>;

// The notification record in its first published form: 88 bytes.
struct TNotifyIconData88 {
    DWORD cbSize;
    HWND hWnd;
    UINT uID;
    UINT uFlags;
    UINT uCallbackMessage;
    HICON hIcon;
    char szTip[64];
};
static_assert(sizeof(TNotifyIconData88) == 88, "the shell expects the 88-byte record");

class TWinControl;

class TTrayIcon : public TComponent {
public:
    explicit TTrayIcon(TComponent* AOwner);
    ~TTrayIcon() override;

    bool DesignPreview() const { return FDesignPreview; }
    void SetDesignPreview(bool value);
    TImageList* IconList() const { return FIconList; }
    void SetIconList(TImageList* value);
    bool CycleIcons() const { return FCycleIcons; }
    void SetCycleIcons(bool value);
    unsigned CycleInterval() const { return FCycleInterval; }
    void SetCycleInterval(unsigned value);
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool value) { FEnabled = value; }
    const std::string& Hint() const { return FHint; }
    void SetHint(const std::string& value);
    bool ShowHint() const { return FShowHint; }
    void SetShowHint(bool value);
    TIcon& Icon() { return FIcon; }
    void SetIcon(const TIcon& value);
    bool IconVisible() const { return FIconVisible; }
    void SetIconVisible(bool value);
    int IconIndex() const { return FIconIndex; }
    void SetIconIndex(int value);
    TPopupMenu* PopupMenu() const { return FPopupMenu; }
    void SetPopupMenu(TPopupMenu* value);
    bool LeftPopup = false;
    bool StartMinimized = false;
    bool MinimizeToTray = false;

    TNotifyEvent OnClick, OnDblClick;
    TMouseEvent OnMouseDown, OnMouseUp;
    TMouseMoveEvent OnMouseMove;
    TCycleEvent OnCycle;

    // A refused add (no taskbar yet at log-on) is tried again every AddRetryInterval milliseconds until the
    // shell takes the icon or it is removed.
    virtual bool AddToTray();
    virtual bool RemoveFromTray();
    virtual bool RefreshInTray();
    // Puts the icon back when the shell may have lost it (a new taskbar, another start of the program): a
    // change when it is still there, since a second add would be refused, otherwise an add. Nothing when
    // the icon is not meant to be visible.
    bool RestoreInTray();
    unsigned AddRetryInterval = 3000;
    void ShowMainWindow();
    void HideMainWindow();
    void OpenMenuAtCursor();

    HWND NotifyWindow() const { return FNotifyWindow ? FNotifyWindow->Handle() : nullptr; }
    const TNotifyIconData88& IconData() const { return FIconData; }
    // Runs one step of the icon cycle, as the cycle timer does.
    void CycleStep();
    // The shell call, replaceable so that tests can watch the records sent without a taskbar.
    std::function<BOOL(DWORD message, TNotifyIconData88& data)> ShellNotify;

    void Loaded() override;
    bool SetProperty(const std::string& name, const TLayoutValue& value) override;

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;
    virtual void DoClick();
    virtual void DoDblClick();
    virtual void DoCycle(int NextIndex);
    virtual void DoMouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void DoMouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void DoMouseMove(TShiftState Shift, int X, int Y);
    virtual void MinimizeIntoTray();

private:
    bool PrepareIconData();
    bool HandleNotifyMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
    void HandleIconMessage(LPARAM mouseMessage);
    void RunDefaultMenuItem();
    TShiftState CurrentShift() const;
    TPoint CursorPos() const;
    void InstallHooks();
    void RemoveHooks();
    void AppWindowMessage(UINT msg, WPARAM wParam);
    void OwnerWindowMessage(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
    // Starts (true) or stops the retries of a refused add.
    void KeepTrying(bool retry);

    bool FDesignPreview = false;
    bool FPreviewInProgress = false;
    TImageList* FIconList = nullptr;
    bool FCycleIcons = false;
    unsigned FCycleInterval = 0;
    bool FEnabled = true;
    std::string FHint;
    bool FShowHint = false;
    TIcon FIcon;
    bool FIconVisible = true;
    int FIconIndex = 0;
    TPopupMenu* FPopupMenu = nullptr;
    bool FClickPending = false;

    TNotifyIconData88 FIconData{};
    std::unique_ptr<THiddenWindow> FNotifyWindow;
    TTimer* FCycleTimer = nullptr;
    TTimer* FRetryTimer = nullptr;
    // The shell's broadcast to top-level windows when its taskbar has been (re)created.
    UINT FTaskbarCreated = 0;
    // Each icon's own hooks: several icons on one window form a chain that unwinds in any order.
    TWindowHook FAppHook;
    TWindowHook FOwnerHook;
    HWND FOwnerWindow = nullptr;
};

void RegisterTrayClasses();
