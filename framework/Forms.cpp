#include "framework/Forms.h"

#include <commctrl.h>

#include <algorithm>
#include <climits>
#include <exception>

#include "framework/Dialogs.h"
#include "framework/Layout.h"

TApplication* Application = nullptr;
TScreen* Screen = nullptr;

// ---- TCustomForm

TCustomForm::TCustomForm(TComponent* AOwner, const std::string& layoutName)
    : TCustomControl(AOwner), FLayoutName(layoutName)
{
    FVisible = false;
    FColor = clBtnFace;
    FFont.SetName("MS Sans Serif");
    FFont.SetHeight(-11);
    FFont.SetColor(clWindowText);
    FParentFont = false;
    if (Application) Application->RegisterForm(this);
}

TCustomForm::~TCustomForm()
{
    BeforeDestruction();
    // Owned components go while the form is still a form, so their notifications find it whole.
    MarkDestroying();
    DestroyComponents();
    if (Application) Application->UnregisterForm(this);
}

void TCustomForm::InitLayout()
{
    if (!FLayoutName.empty()) {
        std::vector<std::uint8_t> bytes = LoadResourceBytes(FLayoutName);
        if (bytes.empty()) throw ELayoutError("Layout resource " + FLayoutName + " not found");
        InitLayoutFromText(std::string(bytes.begin(), bytes.end()));
    } else {
        FinishLoading();
    }
}

void TCustomForm::InitLayoutFromText(const std::string& text)
{
    TLayoutObject root = ParseLayout(text);
    TLayoutLoader loader([](const std::string& name) {
        std::vector<std::uint8_t> bytes = LoadResourceBytes(name);
        if (bytes.empty()) throw ELayoutError("Resource " + name + " not found");
        return bytes;
    });
    BeginLoading();
    loader.Load(root, this);
    // End of loading, in creation order, the form first.
    for (TComponent* c : loader.Loaded())
        if (c != this) c->Loaded();
    FinishLoading();
}

void TCustomForm::FinishLoading()
{
    TCustomControl::Loaded();
    HandleNeeded();
    FCreated = true;
    DoCreate();
}

void TCustomForm::BindComponent(TComponent* component)
{
    auto it = FFields.find(UpperCase(component->Name()));
    if (it != FFields.end()) it->second(component);
}

const std::any* TCustomForm::FindHandler(const std::string& name) const
{
    auto it = FHandlers.find(name);
    return it == FHandlers.end() ? nullptr : &it->second;
}

void TCustomForm::CreateParams(TCreateParams& Params)
{
    TCustomControl::CreateParams(Params);
    Params.WinClassName = "TapewingForm";
    Params.Style = WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    Params.ExStyle = 0;
    switch (FBorderStyle) {
    case bsNone: Params.Style |= WS_POPUP; break;
    case bsSingle: Params.Style |= WS_CAPTION | WS_BORDER; break;
    case bsSizeable: Params.Style |= WS_CAPTION | WS_THICKFRAME; break;
    case bsDialog:
        Params.Style |= WS_POPUP | WS_CAPTION | DS_MODALFRAME;
        Params.ExStyle |= WS_EX_DLGMODALFRAME;
        break;
    case bsToolWindow:
        Params.Style |= WS_CAPTION | WS_BORDER;
        Params.ExStyle |= WS_EX_TOOLWINDOW;
        break;
    case bsSizeToolWin:
        Params.Style |= WS_CAPTION | WS_THICKFRAME;
        Params.ExStyle |= WS_EX_TOOLWINDOW;
        break;
    }
    if (FBorderStyle != bsNone && (FBorderIcons & biSystemMenu)) {
        Params.Style |= WS_SYSMENU;
        if (FBorderStyle != bsDialog && FBorderStyle != bsToolWindow && FBorderStyle != bsSizeToolWin) {
            if (FBorderIcons & biMinimize) Params.Style |= WS_MINIMIZEBOX;
            if (FBorderIcons & biMaximize) Params.Style |= WS_MAXIMIZEBOX;
        }
    }
    if (FFormStyle == fsStayOnTop) Params.ExStyle |= WS_EX_TOPMOST;
    // Owned by the application window, so the forms share its taskbar entry.
    Params.WndParent = Application ? Application->Handle() : nullptr;
    // The window is made from the client size the layout gives.
    RECT rc = {0, 0, FClientWidth ? FClientWidth : FWidth, FClientHeight ? FClientHeight : FHeight};
    AdjustWindowRectEx(&rc, Params.Style, FALSE, Params.ExStyle);
    Params.Width = rc.right - rc.left;
    Params.Height = rc.bottom - rc.top;
}

void TCustomForm::CreateHandleDone()
{
    if (FIcon.Handle()) SendMessageA(FHandle, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(FIcon.Handle()));
    RECT wr;
    GetWindowRect(FHandle, &wr);
    FWidth = wr.right - wr.left;
    FHeight = wr.bottom - wr.top;
}

void TCustomForm::SetClientSize(int w, int h)
{
    FClientWidth = w;
    FClientHeight = h;
    if (FHandle) {
        RECT rc = {0, 0, w, h};
        AdjustWindowRectEx(&rc, static_cast<DWORD>(GetWindowLongA(FHandle, GWL_STYLE)), FALSE,
                           static_cast<DWORD>(GetWindowLongA(FHandle, GWL_EXSTYLE)));
        SetBounds(FLeft, FTop, rc.right - rc.left, rc.bottom - rc.top);
    }
}

TRect TCustomForm::ClientRect() const
{
    if (FHandle) return TWinControl::ClientRect();
    return Rect(0, 0, FClientWidth, FClientHeight);
}

void TCustomForm::SetBorderStyle(TFormBorderStyle value)
{
    if (value == FBorderStyle) return;
    FBorderStyle = value;
    RecreateWnd();
}

void TCustomForm::SetBorderIcons(TBorderIcons value)
{
    if (value == FBorderIcons) return;
    FBorderIcons = value;
    RecreateWnd();
}

void TCustomForm::SetFormStyle(TFormStyle value)
{
    if (value == FFormStyle) return;
    FFormStyle = value;
    if (FHandle)
        SetWindowPos(FHandle, value == fsStayOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TCustomForm::SetActiveControl(TWinControl* control)
{
    FActiveControl = control;
    if (control && FFocusedGraphic) FocusGraphic(nullptr);
    if (control && FHandle && IsWindowVisible(FHandle)) control->SetFocus();
}

void TCustomForm::FocusGraphic(TGraphicControl* control)
{
    if (FFocusedGraphic) FFocusedGraphic->Invalidate();
    FFocusedGraphic = control;
    if (!control) return;
    // The form's window holds the keyboard for it, and gets it back when the form is activated again.
    FActiveControl = nullptr;
    if (FHandle && IsWindowVisible(FHandle)) ::SetFocus(FHandle);
    control->Invalidate();
}

namespace {
void CollectTabStops(const TWinControl* parent, std::vector<TWinControl*>& out)
{
    std::vector<TWinControl*> children;
    for (int i = 0; i < parent->ControlCount(); ++i)
        if (auto* w = dynamic_cast<TWinControl*>(parent->Controls(i))) children.push_back(w);
    // Controls without a tab order keep their creation order after the others.
    auto place = [](const TWinControl* c) { return c->TabOrder() < 0 ? INT_MAX : c->TabOrder(); };
    std::stable_sort(children.begin(), children.end(),
                     [&](const TWinControl* a, const TWinControl* b) { return place(a) < place(b); });
    for (TWinControl* c : children) {
        if (!c->HandleAllocated() || !IsWindowVisible(c->Handle()) || !IsWindowEnabled(c->Handle())) continue;
        if (c->TabStop()) out.push_back(c);
        CollectTabStops(c, out);
    }
}

void CollectGraphicTabStops(const TWinControl* parent, std::vector<TControl*>& out)
{
    for (int i = 0; i < parent->ControlCount(); ++i) {
        TControl* c = parent->Controls(i);
        if (!c->Visible() || !c->Enabled()) continue;
        if (auto* g = dynamic_cast<TGraphicControl*>(c)) {
            if (g->TabStop()) out.push_back(g);
        } else if (auto* w = dynamic_cast<TWinControl*>(c)) {
            CollectGraphicTabStops(w, out);
        }
    }
}
}  // namespace

std::vector<TWinControl*> TCustomForm::TabStops() const
{
    std::vector<TWinControl*> stops;
    CollectTabStops(this, stops);
    return stops;
}

std::vector<TControl*> TCustomForm::AllTabStops() const
{
    std::vector<TWinControl*> windowed = TabStops();
    std::vector<TControl*> stops(windowed.begin(), windowed.end());
    CollectGraphicTabStops(this, stops);
    return stops;
}

void TCustomForm::FocusTabStop(TControl* control)
{
    if (auto* g = dynamic_cast<TGraphicControl*>(control)) {
        FocusGraphic(g);
        return;
    }
    auto* w = dynamic_cast<TWinControl*>(control);
    if (!w) return;
    SetActiveControl(w);
    HWND wnd = w->Handle();
    if (SendMessageA(wnd, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) SendMessageA(wnd, EM_SETSEL, 0, -1);
}

void TCustomForm::SelectNext(bool forward)
{
    std::vector<TControl*> stops = AllTabStops();
    if (stops.empty()) return;
    HWND focus = GetFocus();
    auto at = std::find_if(stops.begin(), stops.end(), [&](TControl* c) {
        if (auto* w = dynamic_cast<TWinControl*>(c)) return w->Handle() == focus || IsChild(w->Handle(), focus);
        return c == FFocusedGraphic && focus == FHandle;
    });
    const int n = static_cast<int>(stops.size());
    int index;
    if (at == stops.end()) index = forward ? 0 : n - 1;
    else index = (static_cast<int>(at - stops.begin()) + (forward ? 1 : n - 1)) % n;
    FocusTabStop(stops[index]);
}

void TCustomForm::SelectFirst()
{
    std::vector<TControl*> stops = AllTabStops();
    if (FInitialControl && std::find(stops.begin(), stops.end(), FInitialControl) != stops.end())
        FocusTabStop(FInitialControl);
    else if (!stops.empty())
        FocusTabStop(stops.front());
}

TWinControl* TCustomForm::FindButton(bool (TWinControl::*which)() const) const
{
    for (int i = 0; i < ComponentCount(); ++i)
        if (auto* w = dynamic_cast<TWinControl*>(Components(i));
            w && (w->*which)() && w->HandleAllocated() && IsWindowVisible(w->Handle()) && IsWindowEnabled(w->Handle()))
            return w;
    return nullptr;
}

bool TCustomForm::DialogKey(const MSG& msg)
{
    if (msg.message != WM_KEYDOWN) return false;
    const WPARAM key = msg.wParam;
    if (key != VK_TAB && key != VK_RETURN && key != VK_ESCAPE && key != VK_SPACE) return false;
    if (GetKeyState(VK_MENU) < 0 || GetKeyState(VK_CONTROL) < 0) return false;
    HWND focus = GetFocus();
    if (focus && focus != FHandle && !IsChild(FHandle, focus)) return false;
    const LRESULT code =
        focus ? SendMessageA(focus, WM_GETDLGCODE, key, reinterpret_cast<LPARAM>(&msg)) : 0;
    if (code & (DLGC_WANTALLKEYS | DLGC_WANTMESSAGE)) return false;
    TGraphicControl* graphic = FFocusedGraphic;
    if (graphic && !(graphic->Focused() && graphic->Showing() && graphic->Enabled())) graphic = nullptr;
    TControl* button = nullptr;
    switch (key) {
    case VK_TAB:
        if (code & DLGC_WANTTAB) return false;
        SelectNext(GetKeyState(VK_SHIFT) >= 0);
        return true;
    case VK_SPACE:
        // Platform buttons take Space themselves; a windowless one is pressed here.
        if (!graphic) return false;
        button = graphic;
        break;
    case VK_RETURN:
        if (graphic)
            button = graphic;
        else if (TWinControl* focused = FromHandle(focus); focused && focused->IsPushButton())
            button = focused;
        else
            button = FindButton(&TWinControl::IsDefaultButton);
        break;
    default:
        button = FindButton(&TWinControl::IsCancelButton);
        if (!button) return false;
        break;
    }
    // Enter without a button to press is still the dialog's: an edit field would only beep at it. A held key
    // presses a windowless button once, not at the keyboard's repeat rate.
    const bool repeated = (msg.lParam & (1 << 30)) != 0;
    if (button && !(button == graphic && repeated)) SafeCall([button] { button->Click(); });
    return true;
}

void TCustomForm::ApplyFirstShowPosition()
{
    // Centred the first time; afterwards the form comes back where it was.
    if (FShownOnce) return;
    FShownOnce = true;
    if (FPosition == poScreenCenter || FPosition == poDesktopCenter || FPosition == poMainFormCenter ||
        FPosition == poOwnerFormCenter) {
        RECT wr;
        GetWindowRect(Handle(), &wr);
        int w = wr.right - wr.left, h = wr.bottom - wr.top;
        int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
        SetBounds((sw - w) / 2, (sh - h) / 2, w, h);
    }
}

void TCustomForm::SetVisible(bool value)
{
    if (value == FVisible && (!FHandle || (IsWindowVisible(FHandle) != FALSE) == value)) return;
    FVisible = value;
    HWND wnd = Handle();
    if (value) {
        ApplyFirstShowPosition();
        // As in a message handler: an error in the show event is displayed and the window still appears.
        SafeCall([this] { DoShow(); });
        ShowWindow(wnd, SW_SHOW);
        if (FFormStyle == fsStayOnTop)
            SetWindowPos(wnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        SetForegroundWindow(wnd);
        SelectFirst();
    } else {
        ShowWindow(wnd, SW_HIDE);
        if (OnHide) OnHide(this);
    }
}

void TCustomForm::Show()
{
    SetVisible(true);
    BringWindowToTop(Handle());
}

bool TCustomForm::CloseQuery()
{
    bool canClose = true;
    if (OnCloseQuery) OnCloseQuery(this, canClose);
    return canClose;
}

void TCustomForm::DoClose(TCloseAction& Action)
{
    if (OnClose) OnClose(this, Action);
}

void TCustomForm::Close()
{
    if (FModal) {
        FModalResult = mrCancel;
        return;
    }
    if (!CloseQuery()) return;
    TCloseAction action = (Application && Application->MainForm() == this) ? caFree : caHide;
    DoClose(action);
    if (action == caNone) return;
    if (Application && Application->MainForm() == this) {
        // Closing the main form ends the program; the forms are destroyed after the loop ends.
        Hide();
        Application->Terminate();
    } else if (action == caHide) {
        Hide();
    } else if (action == caMinimize) {
        ShowWindow(Handle(), SW_MINIMIZE);
    } else {
        Hide();
        Release();
    }
}

void TCustomForm::Release()
{
    if (FHandle) PostMessageA(FHandle, CM_RELEASE, 0, 0);
}

static BOOL CALLBACK CollectEnabledWindow(HWND wnd, LPARAM param)
{
    if (IsWindowVisible(wnd) && IsWindowEnabled(wnd)) reinterpret_cast<std::vector<HWND>*>(param)->push_back(wnd);
    return TRUE;
}

int TCustomForm::ShowModal()
{
    if (FVisible || !FEnabled || FModal) throw EInvalidOperation("Cannot make a visible window modal");
    if (GetCapture()) ReleaseCapture();
    FModal = true;
    FModalResult = mrNone;
    // Every other window of this thread is disabled while the modal loop runs.
    std::vector<HWND> disabled;
    EnumThreadWindows(GetCurrentThreadId(), &CollectEnabledWindow, reinterpret_cast<LPARAM>(&disabled));
    std::erase(disabled, Handle());
    for (HWND wnd : disabled) EnableWindow(wnd, FALSE);
    struct Restore {
        std::vector<HWND>& list;
        TCustomForm* form;
        ~Restore()
        {
            for (HWND wnd : list)
                if (IsWindow(wnd)) EnableWindow(wnd, TRUE);
            form->FModal = false;
        }
    } restore{disabled, this};

    Show();
    for (;;) {
        Application->HandleMessage();
        if (Application->Terminated()) break;
        if (FModalResult != mrNone) {
            // The modal loop closes the window once the handler that set the result has returned.
            if (CloseQuery()) {
                TCloseAction action = caHide;
                DoClose(action);
                if (action != caNone) break;
            }
            FModalResult = mrNone;
        }
    }
    if (FModalResult == mrNone) FModalResult = mrCancel;
    Hide();
    return FModalResult;
}

void TCustomForm::DoCreate()
{
    if (OnCreate) OnCreate(this);
}

void TCustomForm::BeforeDestruction()
{
    if (!FCreated) return;
    FCreated = false;
    try {
        DoDestroy();
    } catch (...) {
        HandleCallbackException();
    }
}

void TCustomForm::DoDestroy()
{
    if (OnDestroy) OnDestroy(this);
}

void TCustomForm::DoShow()
{
    if (OnShow) OnShow(this);
}

void TCustomForm::WndProc(TMessage& Message)
{
    switch (Message.Msg) {
    case WM_CLOSE:
        Close();
        return;
    case CM_RELEASE:
        delete this;
        return;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        // A windowless control shows its focus mark only while the form's window has the keyboard.
        if (FFocusedGraphic) FFocusedGraphic->Invalidate();
        break;
    case WM_ACTIVATE:
        if (LOWORD(Message.WParam) != WA_INACTIVE && OnActivate) OnActivate(this);
        if (LOWORD(Message.WParam) != WA_INACTIVE && FActiveControl && FActiveControl->HandleAllocated()) {
            FActiveControl->SetFocus();
            return;
        }
        break;
    case WM_COMMAND:
        if (Message.LParam == 0) {
            // A menu or accelerator command naming one of the form's controls.
            for (int i = 0; i < ComponentCount(); ++i)
                if (auto* w = dynamic_cast<TWinControl*>(Components(i)); w && w->ControlId() == LOWORD(Message.WParam)) {
                    w->Click();
                    return;
                }
            return;
        }
        break;
    default: break;
    }
    TCustomControl::WndProc(Message);
}

bool TCustomForm::SetProperty(const std::string& name, const TLayoutValue& value)
{
    if (name == "ClientWidth") SetClientWidth(value.AsInt());
    else if (name == "ClientHeight") SetClientHeight(value.AsInt());
    else if (name == "BorderStyle") {
        SetBorderStyle(value.AsEnum<TFormBorderStyle>(
            {"bsNone", "bsSingle", "bsSizeable", "bsDialog", "bsToolWindow", "bsSizeToolWin"}));
    } else if (name == "BorderIcons") {
        TBorderIcons icons = 0;
        for (const auto& item : value.Items) {
            if (item == "biSystemMenu") icons |= biSystemMenu;
            else if (item == "biMinimize") icons |= biMinimize;
            else if (item == "biMaximize") icons |= biMaximize;
            else if (item == "biHelp") icons |= biHelp;
        }
        SetBorderIcons(icons);
    } else if (name == "FormStyle") {
        SetFormStyle(value.AsEnum<TFormStyle>({"fsNormal", "fsMDIChild", "fsMDIForm", "fsStayOnTop"}));
    } else if (name == "Position") {
        SetPosition(value.AsEnum<TPosition>({"poDesigned", "poDefault", "poDefaultPosOnly", "poDefaultSizeOnly",
                                             "poScreenCenter", "poDesktopCenter", "poMainFormCenter", "poOwnerFormCenter"}));
    } else if (name == "Icon") FIcon.LoadFromBytes(value.Bytes);
    else if (name == "ActiveControl") {
        FInitialControl = dynamic_cast<TControl*>(value.AsComponent());
        FActiveControl = dynamic_cast<TWinControl*>(FInitialControl);
    }
    else if (name == "OnCreate") OnCreate = value.AsEvent<TNotifyEvent>();
    else if (name == "OnShow") OnShow = value.AsEvent<TNotifyEvent>();
    else if (name == "OnHide") OnHide = value.AsEvent<TNotifyEvent>();
    else if (name == "OnDestroy") OnDestroy = value.AsEvent<TNotifyEvent>();
    else if (name == "OnActivate") OnActivate = value.AsEvent<TNotifyEvent>();
    else if (name == "OnClose") OnClose = value.AsEvent<TCloseEvent>();
    else if (name == "OnCloseQuery") OnCloseQuery = value.AsEvent<TCloseQueryEvent>();
    else if (name == "Visible") FVisible = false;  // forms start hidden whatever the layout says
    else if (name == "Scaled" || name == "PixelsPerInch" || name == "TextHeight" || name == "OldCreateOrder") return true;
    else return TCustomControl::SetProperty(name, value);
    return true;
}

// ---- TApplication

TApplication::TApplication(TComponent* AOwner) : TComponent(AOwner)
{
    FInstance = GetModuleHandleA(nullptr);
    Application = this;
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
}

TApplication::~TApplication()
{
    MarkDestroying();
    // Forms go newest first, while the application window still exists.
    DestroyComponents();
    if (FHandle) DestroyWindow(FHandle);
    if (Application == this) Application = nullptr;
}

void TApplication::Initialize()
{
    if (FHandle) return;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = &TApplication::AppWndProc;
    wc.hInstance = FInstance;
    wc.hIcon = LoadIconA(FInstance, "MAINICON");
    wc.lpszClassName = "TapewingApplication";
    RegisterClassA(&wc);
    if (FTitle.empty()) {
        char path[MAX_PATH] = {};
        GetModuleFileNameA(nullptr, path, MAX_PATH);
        FTitle = DefaultTitleFromPath(path);
    }
    // The hidden application window: its caption is the title, and the forms are owned by it.
    FHandle = CreateWindowExA(WS_EX_TOOLWINDOW, wc.lpszClassName, FTitle.c_str(),
                              WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX,
                              GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 0, 0, nullptr,
                              nullptr, FInstance, nullptr);
    SetPropA(FHandle, "TapewingApplication", this);
}

LRESULT CALLBACK TApplication::AppWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_CLOSE:
        if (Application && Application->MainForm()) {
            SafeCall([] { Application->MainForm()->Close(); });
            return 0;
        }
        break;
    case WM_QUERYENDSESSION:
        return 1;
    default: break;
    }
    return DefWindowProcA(wnd, msg, wParam, lParam);
}

void TApplication::SetTitle(const std::string& value)
{
    FTitle = value;
    if (FHandle) SetWindowTextA(FHandle, value.c_str());
}

void TApplication::Run()
{
    if (FMainForm && ShowMainForm) FMainForm->Show();
    while (!FTerminated) HandleMessage();
}

void TApplication::Terminate()
{
    PostQuitMessage(0);
}

bool TApplication::ProcessMessage(MSG& msg)
{
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
    if (msg.message == WM_QUIT) {
        FTerminated = true;
        return true;
    }
    // Tab, Enter and Escape in the forms work as in the platform's dialogs.
    if (msg.message == WM_KEYDOWN && msg.hwnd)
        if (auto* form = dynamic_cast<TCustomForm*>(TWinControl::FromHandle(GetAncestor(msg.hwnd, GA_ROOT)));
            form && form->DialogKey(msg))
            return true;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
    return true;
}

void TApplication::ProcessMessages()
{
    // A window whose paint leaves its update region invalid (a tree view with drawing switched off does
    // under Wine) would bring the same WM_PAINT back forever: a second one for a window ends the round.
    std::vector<HWND> painted;
    MSG msg;
    while (ProcessMessage(msg)) {
        if (FTerminated) break;
        if (msg.message == WM_PAINT) {
            if (std::find(painted.begin(), painted.end(), msg.hwnd) != painted.end()) break;
            painted.push_back(msg.hwnd);
        }
    }
}

void TApplication::HandleMessage()
{
    MSG msg;
    if (!ProcessMessage(msg) && !FTerminated) WaitMessage();
}

void TApplication::HandleException(TObject* Sender)
{
    std::string message;
    try {
        throw;
    } catch (const std::exception& e) {
        message = e.what();
    } catch (...) {
        message = "Unknown error";
    }
    if (OnException)
        OnException(message);
    else
        ShowException(message);
}

void TApplication::ShowException(const std::string& message)
{
    std::string text = message;
    if (!text.empty() && text.back() != '.') text += '.';
    ShowMessageBox(text, FTitle, MB_OK | MB_ICONSTOP);
}

void TApplication::RegisterForm(TCustomForm* form) { FForms.push_back(form); }

void TApplication::UnregisterForm(TCustomForm* form)
{
    std::erase(FForms, form);
    if (FMainForm == form) FMainForm = nullptr;
}

// ---- TScreen

TScreen::TScreen(TComponent* AOwner) : TComponent(AOwner) { Screen = this; }

TScreen::~TScreen()
{
    for (HCURSOR c : FOwnedCursors) DestroyCursor(c);
    if (Screen == this) Screen = nullptr;
}

HCURSOR TScreen::Cursors(TCursor id)
{
    auto it = FCursors.find(id);
    if (it != FCursors.end()) return it->second;
    LPCSTR name = reinterpret_cast<LPCSTR>(IDC_ARROW);
    switch (id) {
    case crIBeam: name = reinterpret_cast<LPCSTR>(IDC_IBEAM); break;
    case crCross: name = reinterpret_cast<LPCSTR>(IDC_CROSS); break;
    case crHourGlass: name = reinterpret_cast<LPCSTR>(IDC_WAIT); break;
    case crNo: name = reinterpret_cast<LPCSTR>(IDC_NO); break;
    case crAppStart: name = reinterpret_cast<LPCSTR>(IDC_APPSTARTING); break;
    case crHandPoint: name = reinterpret_cast<LPCSTR>(IDC_HAND); break;
    default: break;
    }
    HCURSOR cursor = LoadCursorA(nullptr, name);
    if (!cursor) cursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    return cursor;
}

void TScreen::SetCursors(TCursor id, HCURSOR cursor)
{
    FCursors[id] = cursor;
    FOwnedCursors.push_back(cursor);
}

void TScreen::SetCursor(TCursor value)
{
    FCursor = value;
    POINT pt;
    GetCursorPos(&pt);
    if (value != crDefault)
        ::SetCursor(Cursors(value));
    else
        SetCursorPos(pt.x, pt.y);  // makes the window under the pointer set its own cursor again
}

TWinControl* TScreen::ActiveControl() const
{
    TCustomForm* form = ActiveForm();
    return form ? form->ActiveControl() : nullptr;
}

TCustomForm* TScreen::ActiveForm() const
{
    HWND active = GetActiveWindow();
    return dynamic_cast<TCustomForm*>(TWinControl::FromHandle(active));
}

TBusyCursor::TBusyCursor() : FSaved(Screen ? Screen->Cursor() : crDefault)
{
    if (Screen) Screen->SetCursor(crHourGlass);
}

TBusyCursor::~TBusyCursor()
{
    if (Screen) Screen->SetCursor(FSaved);
}
