// Forms, the application object and the screen.
#pragma once

#include <windows.h>

#include <any>
#include <exception>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "framework/Controls.h"

enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum TBorderIcon : unsigned { biSystemMenu = 1, biMinimize = 2, biMaximize = 4, biHelp = 8 };
using TBorderIcons = unsigned;
enum TFormStyle { fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop };
enum TPosition { poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly, poScreenCenter, poDesktopCenter,
                 poMainFormCenter, poOwnerFormCenter };
enum TCloseAction { caNone, caHide, caFree, caMinimize };
using TModalResult = int;
constexpr TModalResult mrNone = 0, mrOk = IDOK, mrCancel = IDCANCEL, mrAbort = IDABORT, mrRetry = IDRETRY,
                       mrIgnore = IDIGNORE, mrYes = IDYES, mrNo = IDNO;
using TCloseEvent = std::function<void(TObject* Sender, TCloseAction& Action)>;
using TCloseQueryEvent = std::function<void(TObject* Sender, bool& CanClose)>;

class TCustomForm : public TCustomControl {
public:
    // layoutName names the layout resource read by InitLayout; empty for a form built in code.
    TCustomForm(TComponent* AOwner, const std::string& layoutName = "");
    ~TCustomForm() override;

    // Reads the layout (creating its components in the loading state), then runs every component's
    // end-of-loading step and the creation handler. Called once, right after construction.
    void InitLayout();
    // For tests: the same, from layout text.
    void InitLayoutFromText(const std::string& text);

    void Show();
    void Hide() { SetVisible(false); }
    void Close();
    int ShowModal();
    TModalResult ModalResult() const { return FModalResult; }
    void SetModalResult(TModalResult value) { FModalResult = value; }
    bool Modal() const { return FModal; }
    // Frees the form once the handler that asked has returned.
    void Release();

    void SetVisible(bool value) override;
    TFormBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TFormBorderStyle value);
    TBorderIcons BorderIcons() const { return FBorderIcons; }
    void SetBorderIcons(TBorderIcons value);
    TFormStyle FormStyle() const { return FFormStyle; }
    void SetFormStyle(TFormStyle value);
    TPosition Position() const { return FPosition; }
    void SetPosition(TPosition value) { FPosition = value; }
    void SetClientSize(int w, int h) override;
    void SetClientWidth(int w) { SetClientSize(w, FClientHeight); }
    void SetClientHeight(int h) { SetClientSize(FClientWidth, h); }
    TRect ClientRect() const override;
    TIcon& Icon() { return FIcon; }
    TWinControl* ActiveControl() const { return FActiveControl; }
    void SetActiveControl(TWinControl* control);
    // The windowless control that has the keyboard within this form (TGraphicControl::SetFocus); nullptr
    // clears it. Focusing one gives the form's window the platform focus.
    TGraphicControl* FocusedGraphic() const { return FFocusedGraphic; }
    void FocusGraphic(TGraphicControl* control);

    // The keyboard of the platform's dialogs: Tab and Shift+Tab go round the tab stops in TabOrder order,
    // Enter clicks the focused push button or else the default button, Escape the cancel button; a control
    // that asks for the key itself (WM_GETDLGCODE) gets it. A focused windowless control is pressed by
    // Enter and Space. True when the key was used here.
    bool DialogKey(const MSG& msg);
    // The windowed controls Tab visits, in order: tab stops that are showing and enabled, containers'
    // children at their container's place.
    std::vector<TWinControl*> TabStops() const;
    // Focuses the next (or previous) tab stop after the focused one, going round.
    void SelectNext(bool forward);
    // Focuses the layout's ActiveControl (windowed or not), else the first tab stop; runs each time the form
    // is shown.
    void SelectFirst();

    TNotifyEvent OnCreate, OnShow, OnHide, OnDestroy, OnActivate;
    TCloseEvent OnClose;
    TCloseQueryEvent OnCloseQuery;

    // Handlers and component fields by name, for the layout loader.
    const std::any* FindHandler(const std::string& name) const;
    void BindComponent(TComponent* component);

    bool SetProperty(const std::string& name, const TLayoutValue& value) override;
    void WndProc(TMessage& Message) override;

protected:
    // Publishes a handler under its name (events in layouts name handlers of the form).
    template <class Event> void Publish(const std::string& name, Event handler) { FHandlers[name] = std::move(handler); }
    // Binds a member pointer to the component of that name once the layout has created it.
    template <class T> void Field(const std::string& name, T*& field)
    {
        FFields[UpperCase(name)] = [&field](TComponent* c) {
            field = dynamic_cast<T*>(c);
            if (!field) throw EInvalidCast();
        };
    }
    void CreateParams(TCreateParams& Params) override;
    void CreateHandleDone() override;
    virtual void DoCreate();
    virtual void DoDestroy();
    // Runs the destroy event once. Forms whose destroy handler uses their own members call it first in their
    // destructor, while those members still exist; otherwise the base destructor runs it.
    void BeforeDestruction();
    virtual void DoShow();
    virtual void DoClose(TCloseAction& Action);
    bool CloseQuery();

private:
    void ApplyFirstShowPosition();
    // TabStops, then the windowless tab stops that are showing and enabled, in the order they were made.
    std::vector<TControl*> AllTabStops() const;
    // Focuses a tab stop the way a dialog does: an edit field gets its text selected.
    void FocusTabStop(TControl* control);
    // The first showing, enabled button of this form that answers the question.
    TWinControl* FindButton(bool (TWinControl::*which)() const) const;
    void FinishLoading();

    std::string FLayoutName;
    TFormBorderStyle FBorderStyle = bsSizeable;
    TBorderIcons FBorderIcons = biSystemMenu | biMinimize | biMaximize;
    TFormStyle FFormStyle = fsNormal;
    TPosition FPosition = poDesigned;
    int FClientWidth = 0, FClientHeight = 0;
    TIcon FIcon;
    TModalResult FModalResult = mrNone;
    bool FModal = false;
    bool FShownOnce = false;
    bool FCreated = false;
    TWinControl* FActiveControl = nullptr;
    TControl* FInitialControl = nullptr;  // the layout's ActiveControl
    TGraphicControl* FFocusedGraphic = nullptr;
    std::map<std::string, std::any> FHandlers;
    std::map<std::string, std::function<void(TComponent*)>> FFields;
};

class TForm : public TCustomForm {
public:
    using TCustomForm::TCustomForm;
};

class TApplication : public TComponent {
public:
    explicit TApplication(TComponent* AOwner = nullptr);
    ~TApplication() override;

    // Creates the hidden application window.
    void Initialize();
    const std::string& Title() const { return FTitle; }
    void SetTitle(const std::string& value);
    HWND Handle() const { return FHandle; }
    HINSTANCE Instance() const { return FInstance; }
    TCustomForm* MainForm() const { return FMainForm; }
    bool ShowMainForm = true;
    bool Terminated() const { return FTerminated; }

    // Constructs the form, reads its layout and runs its creation; the first form becomes the main form.
    template <class T> T* CreateForm()
    {
        T* form = new T(this);
        if (!FMainForm) FMainForm = form;
        form->InitLayout();
        return form;
    }
    void Run();
    // Posts the quit message; the message loop ends when it arrives.
    void Terminate();
    void ProcessMessages();
    void HandleMessage();
    bool ProcessMessage(MSG& msg);
    // The default error display: shows the current exception's message and carries on.
    void HandleException(TObject* Sender);
    void ShowException(const std::string& message);
    // Replaces the default error display (tests record the messages instead of showing them).
    std::function<void(const std::string& message)> OnException;
    void RegisterForm(TCustomForm* form);
    void UnregisterForm(TCustomForm* form);
    const std::vector<TCustomForm*>& Forms() const { return FForms; }

private:
    static LRESULT CALLBACK AppWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);

    std::string FTitle;
    HWND FHandle = nullptr;
    HINSTANCE FInstance = nullptr;
    TCustomForm* FMainForm = nullptr;
    bool FTerminated = false;
    std::vector<TCustomForm*> FForms;
};

class TScreen : public TComponent {
public:
    explicit TScreen(TComponent* AOwner = nullptr);
    ~TScreen() override;
    // Cursor handles by number; negative numbers are the platform's, positive ones the program's own.
    HCURSOR Cursors(TCursor id);
    void SetCursors(TCursor id, HCURSOR cursor);  // takes ownership of loaded cursors
    TCursor Cursor() const { return FCursor; }
    void SetCursor(TCursor value);  // a screen-wide cursor (crHourGlass while busy), crDefault to end it
    TWinControl* ActiveControl() const;
    TCustomForm* ActiveForm() const;
    int Width() const { return GetSystemMetrics(SM_CXSCREEN); }
    int Height() const { return GetSystemMetrics(SM_CYSCREEN); }

private:
    std::map<TCursor, HCURSOR> FCursors;
    std::vector<HCURSOR> FOwnedCursors;
    TCursor FCursor = crDefault;
};

extern TApplication* Application;
extern TScreen* Screen;

// Shows the busy cursor for a scope.
class TBusyCursor {
public:
    TBusyCursor();
    ~TBusyCursor();
    TBusyCursor(const TBusyCursor&) = delete;
    TBusyCursor& operator=(const TBusyCursor&) = delete;

private:
    TCursor FSaved;
};
