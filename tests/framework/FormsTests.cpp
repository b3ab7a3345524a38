#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "FrameworkTestSupport.h"
#include "framework/ComCtrls.h"
#include "framework/Dialogs.h"
#include "framework/ExtCtrls.h"
#include "framework/Forms.h"
#include "framework/Menus.h"
#include "framework/StdCtrls.h"
#include "framework/WindowObjects.h"

namespace {

std::vector<std::string> g_order;

class TOrderProbe : public TComponent {
public:
    using TComponent::TComponent;
    bool SetProperty(const std::string& name, const TLayoutValue& value) override
    {
        if (name == "Value") {
            g_order.push_back(Name() + ".Value loading=" + std::to_string(Loading()));
            return true;
        }
        if (name == "Buddy") {
            Buddy = value.AsComponent();
            return true;
        }
        return TComponent::SetProperty(name, value);
    }
    void Loaded() override
    {
        TComponent::Loaded();
        g_order.push_back(Name() + ".Loaded");
    }
    TComponent* Buddy = nullptr;
};

class TProbeForm : public TForm {
public:
    explicit TProbeForm(TComponent* owner) : TForm(owner)
    {
        Field("Edit1", Edit1);
        Publish<TNotifyEvent>("FormCreate", [this](TObject*) { g_order.push_back("FormCreate"); });
        Publish<TNotifyEvent>("Clicked", [this](TObject*) { ++Clicks; });
    }
    TEdit* Edit1 = nullptr;
    int Clicks = 0;
};

}  // namespace

TEST(Layouts, PropertiesLoadInOrderThenEveryComponentEndsLoadingThenTheFormIsCreated)
{
    RegisterComponentClass<TOrderProbe>("TOrderProbe");
    g_order.clear();
    TOwnedForm<TProbeForm> form(new TProbeForm(Application));
    form->InitLayoutFromText(R"(
TProbeForm F {
  ClientWidth = 200
  ClientHeight = 100
  OnCreate = FormCreate
  TOrderProbe A { Value = 1 Buddy = B }
  TOrderProbe B { Value = 2 }
  TEdit Edit1 { Left = 5 Top = 6 Width = 50 Text = "hello" }
  TButton Button1 { Caption = "Go" OnClick = Clicked }
})");
    EXPECT_EQ(g_order, (std::vector<std::string>{"A.Value loading=1", "B.Value loading=1", "A.Loaded", "B.Loaded",
                                                 "FormCreate"}));
    auto* a = dynamic_cast<TOrderProbe*>(form->FindComponent("A"));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->Buddy, form->FindComponent("B"));  // a forward reference, resolved after all were made
    ASSERT_NE(form->Edit1, nullptr);
    EXPECT_EQ(form->Edit1->Text(), "hello");
    EXPECT_EQ(form->Edit1->Parent(), form);
    EXPECT_EQ(form->ClientWidth(), 200);
    auto* button = dynamic_cast<TButton*>(form->FindComponent("Button1"));
    SendMessageA(button->Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(form->Clicks, 1);
}

TEST(Layouts, MistakesAreReportedWithTheirLine)
{
    auto expectError = [](const char* text, const char* fragment) {
        TOwnedForm<TProbeForm> form(new TProbeForm(Application));
        try {
            form->InitLayoutFromText(text);
            ADD_FAILURE() << "no error for " << text;
        } catch (const ELayoutError& e) {
            EXPECT_NE(std::string(e.what()).find(fragment), std::string::npos) << e.what();
        }
    };
    expectError("TProbeForm F {\n  Bogus = 1\n}", "line 2");
    expectError("TProbeForm F {\n TButton B {\n  OnClick = Missing\n }\n}", "no handler Missing");
    expectError("TProbeForm F {\n TNoClass X { }\n}", "TNoClass");
    expectError("TProbeForm F {\n TEdit E {\n  Left = \"x\"\n }\n}", "line 3");
}

namespace {
class TPickyForm : public TForm {
public:
    explicit TPickyForm(TComponent* owner) : TForm(owner)
    {
        Field("Panel1", Panel1);
        Publish<TNotifyEvent>("Clicked", [](TObject*) {});
    }
    TPanel* Panel1 = nullptr;
};
}  // namespace

TEST(Layouts, NestingMenusReferencesAndTheErrorsOfEachKind)
{
    TOwnedForm<TPickyForm> form(new TPickyForm(Application));
    form->InitLayoutFromText(R"(TPickyForm F {
  ClientWidth = 100
  ClientHeight = 60
  TPanel Panel1 {
    Left = 5
    TEdit Inner { Left = 1 }
  }
  TPopupMenu Menu1 {
    TMenuItem One { Caption = "One" }
    TMenuItem Two { Caption = "Two" }
  }
})");
    auto* inner = dynamic_cast<TEdit*>(form->FindComponent("Inner"));
    ASSERT_NE(inner, nullptr);
    EXPECT_EQ(inner->Owner(), form) << "the form owns every component";
    EXPECT_EQ(inner->Parent(), form->Panel1) << "the enclosing control holds it";
    EXPECT_EQ(GetParent(inner->Handle()), form->Panel1->Handle());
    auto* menu = dynamic_cast<TPopupMenu*>(form->FindComponent("Menu1"));
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->Count(), 2);
    EXPECT_EQ(menu->Items(1)->Caption(), "Two");
    EXPECT_EQ(menu->Items(0)->Name(), "One");

    auto expectError = [](const char* text, const std::string& message) {
        TOwnedForm<TPickyForm> f(new TPickyForm(Application));
        try {
            f->InitLayoutFromText(text);
            ADD_FAILURE() << "no error for " << text;
        } catch (const Exception& e) {
            EXPECT_EQ(e.what(), message);
        }
    };
    expectError("TPickyForm F {\n TPopupMenu M { }\n TEdit E {\n  PopupMenu = Nowhere\n }\n}",
                "Layout line 4: E.PopupMenu: no such property");
    expectError("TPickyForm F {\n ActiveControl = Nowhere\n}", "Layout line 2: .ActiveControl: no component named Nowhere");
    expectError("TPickyForm F {\n Icon = file(\"FWNOPE\")\n}", "Resource FWNOPE not found");
    expectError("TPickyForm F {\n Icon = file(\"FWTEST_FORM\")\n}", "Layout line 2: .Icon: Icon image is not valid");
    expectError("TPickyForm F {\n TEdit E {\n  Left = \"x\"\n }\n}", "Layout line 3: E.Left: Integer expected, found 'x'");
    expectError("TPickyForm F {\n TEdit Panel1 { }\n}", "Invalid class typecast");
    expectError("TPickyForm F {\n TButton B { OnClick = Clicked OnMouseDown = Clicked }\n}",
                "Layout line 2: B.OnMouseDown: Handler 'Clicked' has the wrong type");

    // A form with a layout name finds it among the program's resources, or says it is missing.
    TOwnedForm<TForm> named(new TForm(Application, "FWNOPE_LAYOUT"));
    try {
        named->InitLayout();
        ADD_FAILURE() << "no error";
    } catch (const ELayoutError& e) {
        EXPECT_STREQ(e.what(), "Layout resource FWNOPE_LAYOUT not found");
    }
}

namespace {
class TThrowingForm : public TForm {
public:
    using TForm::TForm;
    void WndProc(TMessage& m) override
    {
        if (m.Msg == WM_APP + 9 || m.Msg == WM_GETTEXTLENGTH) throw Exception("handler failed");
        TForm::WndProc(m);
    }
};
}  // namespace

TEST(Forms, AnExceptionInAHandlerIsShownAndEndsOnlyThatHandler)
{
    ClearShown();
    TOwnedForm<TThrowingForm> form(new TThrowingForm(Application));
    form->InitLayout();
    SendMessageA(form->Handle(), WM_APP + 9, 0, 0);
    ASSERT_EQ(ShownErrors().size(), 1u);
    EXPECT_EQ(ShownErrors()[0], "handler failed");
    EXPECT_TRUE(IsWindow(form->Handle()));
    // The platform still answers the message.
    SetWindowTextA(form->Handle(), "four");
    EXPECT_EQ(SendMessageA(form->Handle(), WM_GETTEXTLENGTH, 0, 0), 4);
    ClearShown();
}

TEST(Forms, ShowModalRunsItsOwnLoopUntilAModalResultIsSet)
{
    TOwnedForm<TForm> form(new TForm(Application));
    form->SetClientSize(100, 50);
    form->SetPosition(poScreenCenter);
    form->InitLayout();
    auto* timer = new TTimer(form);
    int ticks = 0;
    timer->SetInterval(30);
    timer->OnTimer = [&](TObject*) {
        if (++ticks == 2) form->SetModalResult(mrOk);
    };
    timer->SetEnabled(false);
    timer->SetEnabled(true);
    EXPECT_EQ(form->ShowModal(), mrOk);
    EXPECT_FALSE(form->Visible());
    EXPECT_FALSE(form->Modal());
    // Centred on the first show.
    RECT wr;
    GetWindowRect(form->Handle(), &wr);
    EXPECT_NEAR((wr.left + wr.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 2);
    // Shown where it was last afterwards.
    SetWindowPos(form->Handle(), nullptr, 10, 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    form->Show();
    GetWindowRect(form->Handle(), &wr);
    EXPECT_EQ(wr.left, 10);
    EXPECT_EQ(wr.top, 20);
    form->Hide();
}

namespace {
// A form whose events are written down.
class TEventForm : public TForm {
public:
    explicit TEventForm(TComponent* owner) : TForm(owner)
    {
        SetClientSize(120, 40);
        OnCreate = [this](TObject*) { Log.push_back("create"); };
        OnShow = [this](TObject*) {
            Log.push_back("show");
            if (FailShow) throw Exception("show failed");
        };
        OnHide = [this](TObject*) { Log.push_back("hide"); };
        OnActivate = [this](TObject*) { Log.push_back("activate"); };
        OnCloseQuery = [this](TObject*, bool& can) {
            Log.push_back("closequery");
            can = CanClose;
        };
        OnClose = [this](TObject*, TCloseAction& action) {
            Log.push_back("close " + std::to_string(action));
            action = Action;
        };
    }
    ~TEventForm() override
    {
        if (DestroyEarly) BeforeDestruction();  // as a form whose destroy handler uses its own members does
        if (Gone) *Gone = true;
    }
    std::vector<std::string> Log;
    bool CanClose = true;
    bool FailShow = false;
    TCloseAction Action = caHide;
    bool* Gone = nullptr;
    bool DestroyEarly = false;
};

std::string StyleOf(TCustomForm* form)
{
    LONG s = GetWindowLongA(form->Handle(), GWL_STYLE), x = GetWindowLongA(form->Handle(), GWL_EXSTYLE);
    std::string out;
    if ((s & WS_CAPTION) == WS_CAPTION) out += "caption ";
    if (s & WS_POPUP) out += "popup ";
    if (s & WS_THICKFRAME) out += "sizing ";
    if (s & WS_SYSMENU) out += "sysmenu ";
    if (s & WS_MINIMIZEBOX) out += "min ";
    if (s & WS_MAXIMIZEBOX) out += "max ";
    if (s & DS_MODALFRAME) out += "modalframe ";
    if (x & WS_EX_DLGMODALFRAME) out += "dlgframe ";
    if (x & WS_EX_TOOLWINDOW) out += "tool ";
    if (x & WS_EX_TOPMOST) out += "topmost ";
    return out;
}
}  // namespace

TEST(Forms, BorderStylesAndIconsMakeTheWindowAndTheClientSizeStays)
{
    TOwnedForm<TForm> form(new TForm(Application));
    form->SetClientSize(150, 70);
    form->InitLayout();
    EXPECT_EQ(StyleOf(form), "caption sizing sysmenu min max ");
    EXPECT_EQ(GetWindow(form->Handle(), GW_OWNER), Application->Handle()) << "owned by the application window";
    struct Case {
        TFormBorderStyle style;
        TBorderIcons icons;
        const char* expected;
    } cases[] = {
        {bsSingle, biSystemMenu | biMinimize, "caption sysmenu min "},
        {bsSingle, biMinimize | biMaximize, "caption "},
        {bsDialog, biSystemMenu | biMinimize | biMaximize, "caption popup sysmenu modalframe dlgframe "},
        {bsNone, biSystemMenu, "popup "},
        {bsToolWindow, biSystemMenu | biMaximize, "caption sysmenu tool "},
        {bsSizeToolWin, biSystemMenu, "caption sizing sysmenu tool "},
        {bsSizeable, biSystemMenu | biMaximize, "caption sizing sysmenu max "},
    };
    for (const Case& k : cases) {
        form->SetBorderIcons(k.icons);
        form->SetBorderStyle(k.style);
        EXPECT_EQ(form->BorderStyle(), k.style);
        EXPECT_EQ(form->BorderIcons(), k.icons);
        EXPECT_EQ(StyleOf(form), k.expected) << k.style;
        EXPECT_EQ(form->ClientWidth(), 150) << k.style;
        EXPECT_EQ(form->ClientHeight(), 70) << k.style;
    }
    form->SetFormStyle(fsStayOnTop);
    EXPECT_EQ(form->FormStyle(), fsStayOnTop);
    EXPECT_NE(StyleOf(form).find("topmost"), std::string::npos);
    form->SetFormStyle(fsNormal);
    EXPECT_EQ(form->FormStyle(), fsNormal);
    form->SetClientWidth(190);
    form->SetClientHeight(60);
    RECT rc;
    GetClientRect(form->Handle(), &rc);
    EXPECT_EQ(rc.right, 190);
    EXPECT_EQ(rc.bottom, 60);

    // Stay-on-top from the start, and a form without a window reports the client size it was given.
    TOwnedForm<TForm> top(new TForm(Application));
    top->SetFormStyle(fsStayOnTop);
    top->SetClientSize(40, 20);
    EXPECT_EQ(top->ClientWidth(), 40);
    EXPECT_EQ(top->ClientRect().Bottom, 20);
    top->InitLayout();
    EXPECT_NE(StyleOf(top).find("topmost"), std::string::npos);
}

TEST(Forms, EventsComeInTheirOrderAndAFailedShowStillShows)
{
    ClearShown();
    bool gone = false;
    auto* form = new TEventForm(Application);
    form->Gone = &gone;
    form->InitLayout();
    EXPECT_EQ(form->Log, std::vector<std::string>{"create"});
    EXPECT_TRUE(std::find(Application->Forms().begin(), Application->Forms().end(), form) != Application->Forms().end());
    form->Show();
    Application->ProcessMessages();
    EXPECT_TRUE(IsWindowVisible(form->Handle()));
    EXPECT_TRUE(form->Visible());
    form->Show();  // already shown: no second show event
    form->Hide();
    EXPECT_FALSE(IsWindowVisible(form->Handle()));
    form->Hide();
    ASSERT_GE(form->Log.size(), 4u);
    EXPECT_EQ(form->Log[1], "show");
    EXPECT_EQ(std::count(form->Log.begin(), form->Log.end(), "show"), 1);
    EXPECT_NE(std::find(form->Log.begin(), form->Log.end(), "activate"), form->Log.end());
    EXPECT_EQ(form->Log.back(), "hide");
    EXPECT_EQ(std::count(form->Log.begin(), form->Log.end(), "hide"), 1);

    form->FailShow = true;
    form->Show();
    EXPECT_EQ(ShownErrors(), std::vector<std::string>{"show failed"});
    EXPECT_TRUE(IsWindowVisible(form->Handle()));
    form->Hide();
    ClearShown();

    form->OnDestroy = [](TObject*) { throw Exception("destroy failed"); };
    delete form;
    EXPECT_TRUE(gone);
    EXPECT_EQ(ShownErrors(), std::vector<std::string>{"destroy failed"});
    EXPECT_TRUE(std::find(Application->Forms().begin(), Application->Forms().end(), form) == Application->Forms().end());
    ClearShown();

    // A form that runs the destroy event early, from its own destructor, runs it once.
    auto* early = new TEventForm(Application);
    early->DestroyEarly = true;
    early->InitLayout();
    int destroyed = 0;
    early->OnDestroy = [&](TObject*) { ++destroyed; };
    delete early;
    EXPECT_EQ(destroyed, 1);
}

TEST(Forms, ClosingAsksFirstThenDoesWhatTheCloseHandlerSays)
{
    bool gone = false;
    auto* form = new TEventForm(Application);
    form->Gone = &gone;
    form->InitLayout();
    form->Show();
    form->CanClose = false;
    form->Log.clear();
    SendMessageA(form->Handle(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindowVisible(form->Handle()));
    EXPECT_EQ(form->Log, std::vector<std::string>{"closequery"});
    form->CanClose = true;
    form->Action = caNone;
    form->Close();
    EXPECT_TRUE(IsWindowVisible(form->Handle()));
    form->Action = caMinimize;
    form->Close();
    EXPECT_TRUE(IsIconic(form->Handle()));
    ShowWindow(form->Handle(), SW_RESTORE);
    form->Log.clear();
    form->Action = caHide;
    form->Close();
    EXPECT_FALSE(IsWindowVisible(form->Handle()));
    EXPECT_EQ(form->Log, (std::vector<std::string>{"closequery", "close 1", "hide"})) << "hiding is the default";
    form->Show();
    form->Action = caFree;
    form->Close();
    EXPECT_FALSE(IsWindowVisible(form->Handle()));
    EXPECT_FALSE(gone) << "freed once the handler that asked has returned";
    PumpMessages();
    EXPECT_TRUE(gone);
}

TEST(Forms, ShowModalDisablesTheOtherWindowsAndEndsWithTheModalResult)
{
    TOwnedForm<TForm> other(new TForm(Application));
    other->SetClientSize(50, 20);
    other->InitLayout();
    other->Show();
    TOwnedForm<TEventForm> form(new TEventForm(Application));
    form->InitLayout();
    auto* ok = new TButton(form);
    ok->SetParent(form);
    ok->ModalResult = mrOk;
    bool otherEnabled = true, modal = false;
    int step = 0;
    auto* timer = new TTimer(form);
    timer->SetInterval(20);
    timer->OnTimer = [&](TObject*) {
        ++step;
        if (step == 1) {
            otherEnabled = IsWindowEnabled(other->Handle()) != FALSE;
            modal = form->Modal();
            form->CanClose = false;
            SendMessageA(ok->Handle(), BM_CLICK, 0, 0);  // refused by the close query: the loop goes on
        } else if (step == 2) {
            form->CanClose = true;
            form->Action = caNone;
            form->Close();  // inside the loop: a cancel, which the close handler refuses
        } else if (step == 3) {
            form->Action = caHide;
            SendMessageA(ok->Handle(), BM_CLICK, 0, 0);
        }
    };
    timer->SetEnabled(false);
    timer->SetEnabled(true);
    HWND captured = nullptr;
    SetCapture(other->Handle());
    auto firstTick = timer->OnTimer;
    timer->OnTimer = [&](TObject* sender) {
        if (step == 0) captured = GetCapture();
        firstTick(sender);
    };
    EXPECT_EQ(form->ShowModal(), mrOk);
    EXPECT_EQ(captured, nullptr) << "a modal loop starts without a mouse capture";
    EXPECT_GE(step, 3);
    EXPECT_FALSE(otherEnabled);
    EXPECT_TRUE(modal);
    EXPECT_FALSE(form->Modal());
    EXPECT_TRUE(IsWindowEnabled(other->Handle()));
    EXPECT_FALSE(IsWindowVisible(form->Handle()));
    EXPECT_EQ(std::count(form->Log.begin(), form->Log.end(), "closequery"), 3);
    timer->SetEnabled(false);

    // Only a hidden, enabled form can go modal.
    form->Show();
    EXPECT_THROW(form->ShowModal(), EInvalidOperation);
    form->Hide();
    form->SetEnabled(false);
    EXPECT_THROW(form->ShowModal(), EInvalidOperation);
    form->SetEnabled(true);
    other->Hide();
}

TEST(Forms, MenuCommandsClickTheControlOfTheirNumberAndActivationFocusesTheActiveControl)
{
    TOwnedForm<TEventForm> form(new TEventForm(Application));
    form->SetClientSize(200, 80);
    form->InitLayout();
    auto* a = new TButton(form);
    a->SetParent(form);
    auto* b = new TEdit(form);
    b->SetParent(form);
    b->SetTop(40);
    int clicks = 0;
    a->OnClick = [&](TObject*) { ++clicks; };
    SendMessageA(form->Handle(), WM_COMMAND, MAKEWPARAM(a->ControlId(), 0), 0);
    EXPECT_EQ(clicks, 1);
    SendMessageA(form->Handle(), WM_COMMAND, MAKEWPARAM(b->ControlId() + 1000, 0), 0);
    EXPECT_EQ(clicks, 1);
    EXPECT_NE(a->ControlId(), b->ControlId());

    form->Show();
    Application->ProcessMessages();
    form->SetActiveControl(b);
    EXPECT_EQ(GetFocus(), b->Handle());
    // Focus the platform moves (a click, say) makes the active control too.
    ::SetFocus(a->Handle());
    EXPECT_EQ(form->ActiveControl(), a);
    ::SetFocus(b->Handle());
    EXPECT_EQ(form->ActiveControl(), b);
    ::SetFocus(form->Handle());
    form->Log.clear();
    SendMessageA(form->Handle(), WM_ACTIVATE, WA_ACTIVE, 0);
    EXPECT_EQ(form->Log, std::vector<std::string>{"activate"});
    EXPECT_EQ(GetFocus(), b->Handle());
    SendMessageA(form->Handle(), WM_ACTIVATE, WA_INACTIVE, 0);
    EXPECT_EQ(form->Log.size(), 1u);
    EXPECT_EQ(Screen->ActiveForm(), form);
    EXPECT_EQ(Screen->ActiveControl(), b);
    form->Hide();
}

TEST(Forms, LayoutPropertiesOfTheFormItself)
{
    class TIconForm : public TForm {
    public:
        using TForm::TForm;
        HICON SentIcon() { return reinterpret_cast<HICON>(SendMessageA(Handle(), WM_GETICON, ICON_SMALL, 0)); }
    };
    TOwnedForm<TIconForm> form(new TIconForm(Application));
    form->InitLayoutFromText(R"(TForm F {
  Caption = "Loaded"
  BorderStyle = bsDialog
  BorderIcons = [biSystemMenu, biMinimize, biMaximize, biHelp]
  FormStyle = fsStayOnTop
  Position = poScreenCenter
  Visible = True
  Scaled = False
  PixelsPerInch = 96
  TextHeight = 13
  OldCreateOrder = False
  Icon = file("FWTEST_ICO")
  ClientWidth = 130
  ClientHeight = 50
  ActiveControl = Edit1
  TEdit Edit1 { }
})");
    EXPECT_EQ(form->Caption(), "Loaded");
    EXPECT_EQ(form->BorderStyle(), bsDialog);
    EXPECT_EQ(form->BorderIcons(), static_cast<TBorderIcons>(biSystemMenu | biMinimize | biMaximize | biHelp));
    EXPECT_EQ(form->FormStyle(), fsStayOnTop);
    EXPECT_EQ(form->Position(), poScreenCenter);
    EXPECT_FALSE(form->Visible()) << "forms start hidden whatever the layout says";
    EXPECT_FALSE(form->Icon().Empty());
    EXPECT_EQ(form->SentIcon(), form->Icon().Handle());
    EXPECT_EQ(form->ClientWidth(), 130);
    EXPECT_EQ(form->ActiveControl(), form->FindComponent("Edit1"));

    for (const char* bad : {"TForm F { BorderStyle = bsRound }", "TForm F { Position = poSomewhere }"}) {
        TOwnedForm<TForm> f(new TForm(Application));
        EXPECT_THROW(f->InitLayoutFromText(bad), ELayoutError) << bad;
    }
    TOwnedForm<TForm> f(new TForm(Application));
    f->InitLayoutFromText("TForm F { FormStyle = fsNormal BorderIcons = [] Position = poDesigned }");
    EXPECT_EQ(f->FormStyle(), fsNormal);
    EXPECT_EQ(f->BorderIcons(), 0u);
    EXPECT_EQ(f->Position(), poDesigned);
}

namespace {
class TCountingForm : public TForm {
public:
    using TForm::TForm;
    int Count = 0;
    void WndProc(TMessage& m) override
    {
        if (m.Msg == WM_APP + 3) ++Count;
        TForm::WndProc(m);
    }
};
}  // namespace

TEST(Application, TitleErrorDisplayAndEndOfSession)
{
    HWND app = Application->Handle();
    char caption[64] = "";
    GetWindowTextA(app, caption, sizeof caption);
    EXPECT_STREQ(caption, "Framework Tests");
    EXPECT_EQ(Application->Title(), "Framework Tests");
    EXPECT_EQ(Application->Instance(), GetModuleHandleA(nullptr));
    Application->SetTitle("Other Title");
    GetWindowTextA(app, caption, sizeof caption);
    EXPECT_STREQ(caption, "Other Title");
    Application->SetTitle("Framework Tests");
    EXPECT_EQ(SendMessageA(app, WM_QUERYENDSESSION, 0, 0), 1);

    ClearShown();
    Application->ShowException("Disk full");
    Application->ShowException("Done.");
    Application->ShowException("");
    ASSERT_EQ(ShownBoxes().size(), 3u);
    EXPECT_EQ(ShownBoxes()[0].Text, "Disk full.");
    EXPECT_EQ(ShownBoxes()[0].Caption, "Framework Tests");
    EXPECT_EQ(ShownBoxes()[0].Flags, static_cast<UINT>(MB_OK | MB_ICONSTOP));
    EXPECT_EQ(ShownBoxes()[1].Text, "Done.");
    EXPECT_EQ(ShownBoxes()[2].Text, "");
    // Without a replacement the default display shows the message; anything not an error is unknown.
    ClearShown();
    auto saved = Application->OnException;
    Application->OnException = nullptr;
    try {
        throw Exception("Invalid Path Name");
    } catch (...) {
        Application->HandleException(nullptr);
    }
    try {
        throw 42;
    } catch (...) {
        Application->HandleException(nullptr);
    }
    Application->OnException = saved;
    ASSERT_EQ(ShownBoxes().size(), 2u);
    EXPECT_EQ(ShownBoxes()[0].Text, "Invalid Path Name.");
    EXPECT_EQ(ShownBoxes()[1].Text, "Unknown error.");
    ClearShown();

    // Messages posted run when the application processes them, one at a time or all.
    TOwnedForm<TCountingForm> form(new TCountingForm(Application));
    form->InitLayout();
    PostMessageA(form->Handle(), WM_APP + 3, 0, 0);
    PostMessageA(form->Handle(), WM_APP + 3, 0, 0);
    Application->HandleMessage();
    EXPECT_EQ(form->Count, 1);
    Application->ProcessMessages();
    EXPECT_EQ(form->Count, 2);
    EXPECT_FALSE(Application->Terminated());
}

TEST(Application, CursorsForTheWholeScreenAndForControls)
{
    EXPECT_EQ(Screen->Cursors(crHandPoint), LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_HAND)));
    EXPECT_EQ(Screen->Cursors(crIBeam), LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_IBEAM)));
    EXPECT_EQ(Screen->Cursors(crCross), LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_CROSS)));
    EXPECT_EQ(Screen->Cursors(crNo), LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_NO)));
    EXPECT_EQ(Screen->Cursors(crAppStart), LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_APPSTARTING)));
    EXPECT_EQ(Screen->Cursors(crHourGlass), LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT)));
    const HCURSOR arrow = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    EXPECT_EQ(Screen->Cursors(crDefault), arrow);
    EXPECT_EQ(Screen->Cursors(4711), arrow) << "an unknown number of the program's";
    EXPECT_NE(Screen->Width(), 0);
    EXPECT_NE(Screen->Height(), 0);

    EXPECT_EQ(Screen->Cursor(), crDefault);
    {
        TBusyCursor busy;
        EXPECT_EQ(Screen->Cursor(), crHourGlass);
        EXPECT_EQ(GetCursor(), Screen->Cursors(crHourGlass));
    }
    EXPECT_EQ(Screen->Cursor(), crDefault);

    TCursor c = crDefault;
    EXPECT_TRUE(IdentToCursor("crHandPoint", c));
    EXPECT_EQ(c, crHandPoint);
    EXPECT_TRUE(IdentToCursor("CRIBEAM", c));
    EXPECT_EQ(c, crIBeam);
    EXPECT_FALSE(IdentToCursor("crBusy", c));
    EXPECT_EQ(c, crIBeam);
}

namespace {
class TClickProbe : public TGraphicControl {
public:
    using TGraphicControl::TGraphicControl;
    std::vector<std::string> Log;
    bool Round = false;
    bool HitTest(int X, int Y) override { return !Round || (X > 5 && X < Width() - 5); }
    void MouseDown(TMouseButton b, TShiftState s, int X, int Y) override
    {
        Log.push_back("down " + std::to_string(X) + "," + std::to_string(Y));
        TGraphicControl::MouseDown(b, s, X, Y);
    }
    void MouseMove(TShiftState s, int X, int Y) override
    {
        Log.push_back("move " + std::to_string(X) + "," + std::to_string(Y));
    }
    void MouseUp(TMouseButton b, TShiftState s, int X, int Y) override
    {
        Log.push_back("up " + std::to_string(X) + "," + std::to_string(Y));
        TGraphicControl::MouseUp(b, s, X, Y);
    }
    void Click() override { Log.push_back("click"); }
};
}  // namespace

TEST(WindowlessControls, MouseGoesToTheControlUnderThePointerAndStaysWhileHeld)
{
    TOwnedForm<TForm> form(new TForm(Application));
    form->SetClientSize(200, 100);
    form->InitLayout();
    auto* probe = new TClickProbe(form);
    probe->SetBounds(10, 10, 50, 30);
    probe->SetParent(form);
    HWND wnd = form->Handle();
    SendMessageA(wnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 15));
    SendMessageA(wnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(150, 80));  // off the control, still captured
    SendMessageA(wnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(30, 20));
    SendMessageA(wnd, WM_LBUTTONUP, 0, MAKELPARAM(30, 20));
    EXPECT_EQ(probe->Log, (std::vector<std::string>{"down 10,5", "move 140,70", "move 20,10", "up 20,10", "click"}));

    probe->Log.clear();
    SendMessageA(wnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 15));
    SendMessageA(wnd, WM_LBUTTONUP, 0, MAKELPARAM(150, 80));  // released outside: no click
    EXPECT_EQ(probe->Log, (std::vector<std::string>{"down 10,5", "up 140,70"}));

    // The right and bottom edges lie outside; the first and last column and row inside. A release with no
    // press before it clicks nothing.
    probe->Log.clear();
    for (POINT up : {POINT{60, 20}, POINT{30, 40}, POINT{59, 39}, POINT{10, 10}}) {
        SendMessageA(wnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 15));
        SendMessageA(wnd, WM_LBUTTONUP, 0, MAKELPARAM(up.x, up.y));
    }
    SendMessageA(wnd, WM_LBUTTONUP, 0, MAKELPARAM(30, 20));
    EXPECT_EQ(probe->Log, (std::vector<std::string>{"down 10,5", "up 50,10", "down 10,5", "up 20,30", "down 10,5",
                                                    "up 49,29", "click", "down 10,5", "up 0,0", "click", "up 20,10"}));

    probe->Log.clear();
    probe->Round = true;
    SendMessageA(wnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(12, 15));  // inside the bounds, outside the shape
    SendMessageA(wnd, WM_LBUTTONUP, 0, MAKELPARAM(12, 15));
    EXPECT_TRUE(probe->Log.empty());
}

TEST(WindowedControls, AChildAskedFirstCreatesItsParentAndOnlyOneWindowOfItsOwn)
{
    TOwnedForm<TForm> form(new TForm(Application));
    form->SetClientSize(200, 100);
    auto* edit = new TEdit(form);
    edit->SetParent(form);
    // The edit's window needs the form's, whose creation makes the windows of all its children.
    HWND child = edit->Handle();
    int windows = 0;
    for (HWND w = GetWindow(form->Handle(), GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) ++windows;
    EXPECT_EQ(windows, 1);
    EXPECT_EQ(GetParent(child), form->Handle());
}

TEST(WindowedControls, TreeViewReportsTheDropTargetItWasGivenEvenOnTheSelectedNode)
{
    TOwnedForm<TForm> form(new TForm(Application));
    form->SetClientSize(200, 100);
    form->InitLayout();
    auto* tree = new TCustomTreeView(form);
    tree->SetParent(form);
    tree->SetBounds(0, 0, 200, 100);
    TTreeNode* first = tree->AddChild(nullptr, "first");
    TTreeNode* second = tree->AddChild(nullptr, "second");
    tree->SetSelected(first);
    tree->SetDropTarget(first);
    EXPECT_EQ(tree->DropTarget(), first);
    tree->SetDropTarget(second);
    EXPECT_EQ(tree->DropTarget(), second);
    EXPECT_FALSE(TreeView_GetItemState(tree->Handle(), first->ItemId(), TVIS_DROPHILITED));
    // A deleted node is no longer the target.
    second->Delete();
    EXPECT_EQ(tree->DropTarget(), nullptr);
    tree->SetDropTarget(first);
    tree->SetDropTarget(nullptr);
    EXPECT_EQ(tree->DropTarget(), nullptr);
    EXPECT_FALSE(TreeView_GetItemState(tree->Handle(), first->ItemId(), TVIS_DROPHILITED));
}

// Answers the tree view's question for a node's expand button from a table of its own.
class TAskingTree : public TCustomTreeView {
public:
    using TCustomTreeView::TCustomTreeView;
    std::map<TTreeNode*, bool> Answers;
    std::vector<TTreeNode*> Asked;

protected:
    bool NodeHasChildren(TTreeNode* node) override
    {
        Asked.push_back(node);
        return Answers[node];
    }
};

TEST(WindowedControls, TreeViewAsksForTheExpandButtonOfANodeWhenItNeedsIt)
{
    TOwnedForm<TForm> form(new TForm(Application));
    form->SetClientSize(200, 100);
    form->InitLayout();
    auto* tree = new TAskingTree(form);
    tree->SetParent(form);
    tree->SetBounds(0, 0, 200, 100);
    TTreeNode* plain = tree->AddChild(nullptr, "plain");
    TTreeNode* asked = tree->AddChild(nullptr, "asked", 3, 4, true);
    TTreeNode* child = tree->AddChild(asked, "child", 5, 6, false);
    EXPECT_EQ(asked->ImageIndex(), 3);
    EXPECT_EQ(asked->SelectedIndex(), 4);
    TVITEMA item{};
    item.mask = TVIF_HANDLE | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    item.hItem = child->ItemId();
    SendMessageA(tree->Handle(), TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    EXPECT_EQ(item.iImage, 5);
    EXPECT_EQ(item.iSelectedImage, 6);
    EXPECT_TRUE(tree->Asked.empty());  // not before it is needed
    // Drawn: only the node added asking is asked, and the tree keeps asking (the answer may change).
    form->Show();
    UpdateWindow(tree->Handle());
    ASSERT_FALSE(tree->Asked.empty());
    for (TTreeNode* n : tree->Asked) EXPECT_EQ(n, asked);
    auto buttonOf = [&](TTreeNode* n) {
        TVITEMA it{};
        it.mask = TVIF_HANDLE | TVIF_CHILDREN;
        it.hItem = n->ItemId();
        SendMessageA(tree->Handle(), TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&it));
        return it.cChildren;
    };
    EXPECT_EQ(buttonOf(asked), 0);
    tree->Answers[asked] = true;
    EXPECT_EQ(buttonOf(asked), 1);
    // An opening asks too: with no button the node stays closed even though it has a child.
    tree->Answers[asked] = false;
    asked->Expand();
    EXPECT_FALSE(asked->Expanded());
    tree->Answers[asked] = true;
    asked->Expand();
    EXPECT_TRUE(asked->Expanded());
    EXPECT_TRUE(plain->HasChildren() == false && asked->HasChildren());
}

TEST(WindowedControls, AWindowsObjectsGoWithItsLastMessage)
{
    TOwnedForm<TForm> form(new TForm(Application));
    auto* edit = new TEdit(form);
    edit->SetParent(form);
    HWND wnd = edit->Handle();
    EXPECT_EQ(TWinControl::FromHandle(wnd), edit);
    int hook = 0;
    SetWindowObject(wnd, "TestHook", &hook);
    EXPECT_EQ(GetWindowObject(wnd, "TestHook"), &hook);
    EXPECT_EQ(GetWindowObject(wnd, "OtherKey"), nullptr);
    RemoveWindowObject(wnd, "TestHook");
    EXPECT_EQ(GetWindowObject(wnd, "TestHook"), nullptr);
    SetWindowObject(wnd, "TestHook", &hook);
    // A handle the platform hands out again must not lead back to the control or to a hook of the old window.
    edit->DestroyHandle();
    EXPECT_EQ(TWinControl::FromHandle(wnd), nullptr);
    EXPECT_EQ(GetWindowObject(wnd, "TestHook"), nullptr);
}

namespace {
// A windowless control that writes down what reaches it and fills itself (and beyond) with its colour.
class TBox : public TGraphicControl {
public:
    TBox(TComponent* owner, TWinControl* parent, TRect bounds, TColor colour) : TGraphicControl(owner)
    {
        SetBounds(bounds.Left, bounds.Top, bounds.Width(), bounds.Height());
        SetParent(parent);
        Fill = colour;
    }
    TColor Fill;
    bool FailPaint = false;
    std::vector<std::string> Log;
    void MouseDown(TMouseButton b, TShiftState s, int X, int Y) override
    {
        Log.push_back("down" + std::to_string(b) + ":" + std::to_string(s) + " " + std::to_string(X) + "," +
                      std::to_string(Y));
        TGraphicControl::MouseDown(b, s, X, Y);
    }
    void MouseUp(TMouseButton b, TShiftState s, int X, int Y) override
    {
        Log.push_back("up" + std::to_string(b) + ":" + std::to_string(s) + " " + std::to_string(X) + "," +
                      std::to_string(Y));
        TGraphicControl::MouseUp(b, s, X, Y);
    }
    void MouseMove(TShiftState, int X, int Y) override
    {
        Log.push_back("move " + std::to_string(X) + "," + std::to_string(Y));
    }
    void Click() override { Log.push_back("click"); }
    void DblClick() override { Log.push_back("dblclick"); }
    void MouseEnter() override { Log.push_back("enter"); }
    void MouseLeave() override { Log.push_back("leave"); }

protected:
    void Paint() override
    {
        if (FailPaint) throw Exception("paint failed");
        Canvas().Brush.SetColor(Fill);
        Canvas().FillRect(Rect(-10, -10, 1000, 1000));  // the parent clips it to the bounds
    }
};

TForm* MakeForm(int w = 200, int h = 100)
{
    auto* form = new TForm(Application);
    form->SetClientSize(w, h);
    form->InitLayout();
    return form;
}

void Mouse(TWinControl* c, UINT msg, WPARAM keys, int x, int y)
{
    SendMessageA(c->Handle(), msg, keys, MAKELPARAM(x, y));
}

// What a form paints, read back from a picture it printed its client area into.
void Print(TWinControl* c, TBitmap& out)
{
    out.SetSize(c->ClientWidth(), c->ClientHeight());
    SendMessageA(c->Handle(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(out.Canvas().Handle()), PRF_CLIENT);
}
}  // namespace

TEST(WindowlessControls, ButtonsKeysDoubleClicksAndALostCapture)
{
    TOwnedForm<TForm> form(MakeForm());
    auto* box = new TBox(form, form, Bounds(10, 10, 50, 30), clRed);
    std::vector<std::string> formLog;
    form->OnMouseDown = [&](TObject*, TMouseButton b, TShiftState s, int x, int y) {
        formLog.push_back("down" + std::to_string(b) + ":" + std::to_string(s) + " " + std::to_string(x) + "," +
                          std::to_string(y));
    };
    form->OnMouseUp = [&](TObject*, TMouseButton b, TShiftState, int, int) { formLog.push_back("up" + std::to_string(b)); };
    form->OnMouseMove = [&](TObject*, TShiftState, int x, int y) { formLog.push_back("move " + std::to_string(x)); };

    Mouse(form, WM_RBUTTONDOWN, MK_RBUTTON | MK_SHIFT, 20, 15);
    EXPECT_EQ(GetCapture(), form->Handle());
    Mouse(form, WM_MBUTTONDOWN, MK_RBUTTON | MK_MBUTTON | MK_CONTROL, 21, 15);
    Mouse(form, WM_RBUTTONUP, MK_MBUTTON, 22, 15);
    EXPECT_EQ(GetCapture(), form->Handle()) << "held while a button is down";
    Mouse(form, WM_MBUTTONUP, 0, 150, 80);
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(box->Log, (std::vector<std::string>{"down1:17 10,5", "down2:52 11,5", "up1:32 12,5", "up2:0 140,70"}));

    // A double click: the double-click event, a press marked double, and no click on its release.
    box->Log.clear();
    Mouse(form, WM_LBUTTONDBLCLK, MK_LBUTTON, 20, 15);
    EXPECT_EQ(GetCapture(), form->Handle()) << "the control pressed keeps the pointer";
    Mouse(form, WM_LBUTTONUP, 0, 20, 15);
    EXPECT_EQ(box->Log, (std::vector<std::string>{"dblclick", "down0:72 10,5", "up0:0 10,5"}));
    box->Log.clear();
    Mouse(form, WM_RBUTTONDBLCLK, MK_RBUTTON, 20, 15);
    Mouse(form, WM_RBUTTONUP, 0, 20, 15);
    Mouse(form, WM_MBUTTONDBLCLK, MK_MBUTTON, 20, 15);
    Mouse(form, WM_MBUTTONUP, 0, 20, 15);
    EXPECT_EQ(box->Log, (std::vector<std::string>{"down1:80 10,5", "up1:0 10,5", "down2:96 10,5", "up2:0 10,5"}));

    // Capture taken away: the control hears a release nowhere, and later input goes where the pointer is.
    box->Log.clear();
    Mouse(form, WM_LBUTTONDOWN, MK_LBUTTON, 20, 15);
    SendMessageA(form->Handle(), WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(Application->Handle()));
    SendMessageA(form->Handle(), WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(Application->Handle()));
    Mouse(form, WM_MOUSEMOVE, 0, 150, 80);
    EXPECT_EQ(box->Log, (std::vector<std::string>{"down0:8 10,5", "up0:0 -1,-1"}));
    ReleaseCapture();

    // Outside every control the form itself has the input, in its own coordinates; Alt comes from the keyboard.
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_MENU] = 0x80;
    SetKeyboardState(keys);
    Mouse(form, WM_LBUTTONDOWN, MK_LBUTTON, 150, 80);
    keys[VK_MENU] = 0;
    SetKeyboardState(keys);
    Mouse(form, WM_LBUTTONUP, 0, 150, 80);
    EXPECT_EQ(formLog, (std::vector<std::string>{"move 150", "down0:10 150,80", "up0"}));
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST(WindowlessControls, EnterAndLeaveFollowTheTopmostEnabledVisibleControl)
{
    TOwnedForm<TForm> form(MakeForm());
    auto* low = new TBox(form, form, Bounds(10, 10, 50, 30), clRed);
    auto* high = new TBox(form, form, Bounds(40, 10, 50, 30), clBlue);
    auto* off = new TBox(form, form, Bounds(100, 10, 20, 20), clLime);
    off->SetEnabled(false);
    auto* hidden = new TBox(form, form, Bounds(130, 10, 20, 20), clLime);
    hidden->SetVisible(false);
    Mouse(form, WM_MOUSEMOVE, 0, 20, 20);
    Mouse(form, WM_MOUSEMOVE, 0, 45, 20);  // where both are: the later one is on top
    Mouse(form, WM_MOUSEMOVE, 0, 105, 15);
    Mouse(form, WM_MOUSEMOVE, 0, 135, 15);
    EXPECT_EQ(low->Log, (std::vector<std::string>{"enter", "move 10,10", "leave"}));
    EXPECT_EQ(high->Log, (std::vector<std::string>{"enter", "move 5,10", "leave"}));
    EXPECT_TRUE(off->Log.empty());
    EXPECT_TRUE(hidden->Log.empty());
    high->Log.clear();
    Mouse(form, WM_MOUSEMOVE, 0, 45, 20);
    SendMessageA(form->Handle(), WM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(high->Log, (std::vector<std::string>{"enter", "move 5,10", "leave"}));
    EXPECT_EQ(form->GraphicControlAt(45, 20), high);
    EXPECT_EQ(form->GraphicControlAt(105, 15), nullptr);
    EXPECT_EQ(form->GraphicControlAt(60, 40), nullptr) << "right and bottom edges are outside";
    EXPECT_EQ(form->GraphicControlAt(89, 39), high);
}

TEST(WindowlessControls, TheCursorIsTheOneOfTheControlUnderThePointer)
{
    TOwnedForm<TForm> form(MakeForm());
    form->Show();
    auto* box = new TBox(form, form, Bounds(10, 10, 50, 30), clRed);
    box->SetCursor(crHandPoint);
    EXPECT_EQ(box->Cursor(), crHandPoint);
    const HCURSOR arrow = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    const HCURSOR hand = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_HAND));
    auto setCursor = [&](int x, int y, WORD hit = HTCLIENT, HWND wnd = nullptr) {
        POINT pt = {x, y};
        ClientToScreen(form->Handle(), &pt);
        SetCursorPos(pt.x, pt.y);
        SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_CROSS)));
        return SendMessageA(form->Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(wnd ? wnd : form->Handle()),
                            MAKELPARAM(hit, WM_MOUSEMOVE));
    };
    EXPECT_EQ(setCursor(20, 20), TRUE);
    EXPECT_EQ(GetCursor(), hand);
    setCursor(100, 50);
    EXPECT_EQ(GetCursor(), arrow) << "the form's own cursor";
    form->SetCursor(crIBeam);
    EXPECT_EQ(setCursor(100, 50), TRUE);
    EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_IBEAM)));
    form->SetCursor(crDefault);
    setCursor(20, 20, HTLEFT);
    EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_SIZEWE))) << "the frame keeps its own";
    auto* edit = new TEdit(form);
    edit->SetParent(form);
    setCursor(20, 20, HTCLIENT, edit->Handle());
    EXPECT_NE(GetCursor(), hand) << "not for a child window's client area";
    // The screen's cursor wins everywhere while it is set.
    Screen->SetCursor(crHourGlass);
    setCursor(100, 50);
    EXPECT_EQ(GetCursor(), Screen->Cursors(crHourGlass));
    SetCursorPos(123, 45);
    Screen->SetCursor(crDefault);
    POINT at{};
    GetCursorPos(&at);
    EXPECT_TRUE(at.x == 123 && at.y == 45) << "the pointer stays where it was: " << at.x << "," << at.y;
    // A captured control keeps its cursor off its bounds.
    Mouse(form, WM_LBUTTONDOWN, MK_LBUTTON, 20, 20);
    setCursor(150, 80);
    EXPECT_EQ(GetCursor(), hand);
    Mouse(form, WM_LBUTTONUP, 0, 150, 80);
    form->Hide();
}

TEST(WindowlessControls, ChildrenPaintInOrderClippedToTheirBounds)
{
    TOwnedForm<TForm> form(MakeForm());
    form->SetColor(clTeal);
    new TBox(form, form, Bounds(10, 10, 40, 20), clRed);
    new TBox(form, form, Bounds(30, 20, 40, 20), clBlue);
    (new TBox(form, form, Bounds(100, 10, 20, 20), clLime))->SetVisible(false);
    new TBox(form, form, Bounds(130, 10, 0, 20), clLime);
    TBitmap out;
    Print(form, out);
    EXPECT_EQ(out.FastPixel(0, 0), clTeal);
    EXPECT_EQ(out.FastPixel(10, 10), clRed);
    EXPECT_EQ(out.FastPixel(49, 19), clRed);
    EXPECT_EQ(out.FastPixel(35, 25), clBlue) << "the later control on top";
    EXPECT_EQ(out.FastPixel(69, 39), clBlue);
    EXPECT_EQ(out.FastPixel(70, 39), clTeal);
    EXPECT_EQ(out.FastPixel(9, 10), clTeal);
    EXPECT_EQ(out.FastPixel(105, 15), clTeal) << "hidden";
    EXPECT_EQ(out.FastPixel(130, 15), clTeal) << "no width";

    // The window paints the same through its own paint, a failing control shown as an error.
    form->Show();
    UpdateWindow(form->Handle());
    EXPECT_FALSE(form->Canvas().HandleAllocated()) << "the canvas lets go of the paint's device context";
    HDC dc = GetDC(form->Handle());
    EXPECT_EQ(GetPixel(dc, 35, 25), RGB(0, 0, 255));
    EXPECT_EQ(GetPixel(dc, 150, 80), RGB(0, 128, 128));
    // A partial repaint paints the dirty part only, and in place.
    RECT blot = {30, 20, 70, 40}, part = {40, 25, 60, 35};
    FillRect(dc, &blot, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    InvalidateRect(form->Handle(), &part, FALSE);
    UpdateWindow(form->Handle());
    EXPECT_EQ(GetPixel(dc, 45, 30), RGB(0, 0, 255));
    EXPECT_EQ(GetPixel(dc, 32, 22), RGB(0, 0, 0));
    ReleaseDC(form->Handle(), dc);
    ClearShown();
    new TBox(form, form, Bounds(145, 60, 10, 10), clRed);
    auto* bad = new TBox(form, form, Bounds(150, 60, 10, 10), clRed);
    bad->FailPaint = true;
    UpdateWindow(form->Handle());
    EXPECT_EQ(ShownErrors(), std::vector<std::string>{"paint failed"});
    // What was painted before the failure is shown, and in place.
    dc = GetDC(form->Handle());
    EXPECT_EQ(GetPixel(dc, 154, 65), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(dc, 155, 65), RGB(0, 128, 128));
    ReleaseDC(form->Handle(), dc);
    RECT dirty;
    EXPECT_FALSE(GetUpdateRect(form->Handle(), &dirty, FALSE)) << "painted once, not again and again";
    ClearShown();
    form->Hide();
}

TEST(WindowlessControls, ChangesRepaintWhereTheControlWasAndWhereItIs)
{
    TOwnedForm<TForm> form(MakeForm());
    form->Show();
    auto* box = new TBox(form, form, Bounds(10, 10, 20, 20), clRed);
    auto dirty = [&](int x, int y) {
        HRGN rgn = CreateRectRgn(0, 0, 0, 0);
        GetUpdateRgn(form->Handle(), rgn, FALSE);
        bool in = PtInRegion(rgn, x, y) != FALSE;
        DeleteObject(rgn);
        return in;
    };
    auto clean = [&] { ValidateRect(form->Handle(), nullptr); };
    clean();
    box->SetBounds(10, 10, 20, 20);
    EXPECT_FALSE(dirty(15, 15)) << "unchanged";
    box->SetBounds(100, 50, 20, 20);
    EXPECT_TRUE(dirty(15, 15));
    EXPECT_TRUE(dirty(110, 60));
    EXPECT_FALSE(dirty(60, 40));
    clean();
    box->SetVisible(false);
    EXPECT_TRUE(dirty(110, 60));
    clean();
    box->SetLeft(130);
    EXPECT_FALSE(dirty(135, 60)) << "hidden: nothing to show";
    box->SetVisible(true);
    EXPECT_TRUE(dirty(135, 60));
    clean();
    box->SetEnabled(false);
    EXPECT_TRUE(dirty(135, 60));
    clean();
    box->SetEnabled(false);
    box->SetCaption("");
    box->SetColor(box->Color());
    EXPECT_FALSE(dirty(135, 60)) << "nothing changed";
    box->SetCaption("x");
    EXPECT_EQ(box->Caption(), "x");
    EXPECT_TRUE(dirty(135, 60));
    clean();
    box->SetColor(clYellow);
    EXPECT_FALSE(box->ParentColor());
    EXPECT_TRUE(dirty(135, 60));
    clean();
    box->Font().SetHeight(-20);
    EXPECT_TRUE(dirty(135, 60));
    EXPECT_FALSE(box->ParentFont());
    clean();
    box->Repaint();
    EXPECT_FALSE(dirty(135, 60)) << "repainted at once";
    box->Invalidate();
    EXPECT_TRUE(dirty(135, 60));
    box->Update();
    EXPECT_FALSE(dirty(135, 60));
    delete box;
    EXPECT_TRUE(dirty(135, 60)) << "gone: its place is painted again";
    form->Hide();
}

TEST(WindowlessControls, PlacesOnTheScreenAndShowing)
{
    TOwnedForm<TForm> form(MakeForm());
    auto* panel = new TPanel(form);
    panel->SetParent(form);
    panel->SetBounds(20, 30, 100, 50);
    auto* box = new TBox(form, panel, Bounds(5, 6, 10, 10), clRed);
    POINT origin = {0, 0};
    ClientToScreen(panel->Handle(), &origin);
    TPoint p = box->ClientToScreen(TPoint{1, 2});
    EXPECT_EQ(p.X, origin.x + 6);
    EXPECT_EQ(p.Y, origin.y + 8);
    TPoint back = box->ScreenToClient(p);
    EXPECT_EQ(back.X, 1);
    EXPECT_EQ(back.Y, 2);
    EXPECT_EQ(box->WindowOrigin().X, 5);
    EXPECT_FALSE(box->Showing()) << "the form is hidden";
    form->Show();
    EXPECT_TRUE(box->Showing());
    panel->SetVisible(false);
    EXPECT_FALSE(box->Showing());
    EXPECT_FALSE(IsWindowVisible(panel->Handle()));
    panel->SetVisible(true);
    box->Hide();
    EXPECT_FALSE(box->Showing());
    box->Show();
    EXPECT_TRUE(box->Showing());
    // Capture asked for by the control itself, and let go when it leaves.
    box->SetMouseCapture(true);
    EXPECT_TRUE(box->MouseCapture());
    EXPECT_EQ(GetCapture(), panel->Handle());
    box->SetMouseCapture(false);
    EXPECT_FALSE(box->MouseCapture());
    EXPECT_EQ(GetCapture(), nullptr);
    box->SetMouseCapture(true);
    box->SetParent(form);
    EXPECT_EQ(panel->CaptureControl(), nullptr);
    EXPECT_EQ(form->ControlCount(), 2);
    EXPECT_EQ(panel->ControlCount(), 0);
    box->SetParent(nullptr);
    box->SetMouseCapture(true);
    EXPECT_FALSE(box->MouseCapture()) << "without a parent there is nothing to capture with";
    form->Hide();
}

TEST(WindowedControls, TheWindowFollowsBoundsCaptionVisibilityEnablingAndFont)
{
    TOwnedForm<TForm> form(MakeForm(300, 200));
    auto* panel = new TPanel(form);
    panel->SetParent(form);
    HWND wnd = panel->Handle();
    panel->SetBounds(10, 20, 80, 40);
    RECT r;
    GetWindowRect(wnd, &r);
    POINT pt = {r.left, r.top};
    ScreenToClient(form->Handle(), &pt);
    EXPECT_EQ(pt.x, 10);
    EXPECT_EQ(pt.y, 20);
    EXPECT_EQ(r.right - r.left, 80);
    EXPECT_EQ(panel->ClientHeight(), 40);
    panel->SetCaption("Hello");
    char text[32] = "";
    GetWindowTextA(wnd, text, sizeof text);
    EXPECT_STREQ(text, "Hello");
    SetWindowTextA(wnd, "From outside");
    EXPECT_EQ(panel->Caption(), "From outside");
    panel->SetCaption("Kept");
    panel->SetVisible(false);
    EXPECT_FALSE(GetWindowLongA(wnd, GWL_STYLE) & WS_VISIBLE);
    panel->SetVisible(true);
    EXPECT_TRUE(GetWindowLongA(wnd, GWL_STYLE) & WS_VISIBLE);
    panel->SetEnabled(false);
    EXPECT_FALSE(IsWindowEnabled(wnd));
    panel->SetTabStop(true);
    panel->SetTabOrder(3);
    EXPECT_EQ(panel->TabOrder(), 3);
    // Made again, the window has what the control holds.
    panel->RecreateWnd();
    EXPECT_NE(panel->Handle(), nullptr);
    wnd = panel->Handle();
    EXPECT_FALSE(IsWindowEnabled(wnd));
    EXPECT_TRUE(GetWindowLongA(wnd, GWL_STYLE) & WS_TABSTOP);
    GetWindowTextA(wnd, text, sizeof text);
    EXPECT_STREQ(text, "Kept");
    panel->SetEnabled(true);
    EXPECT_TRUE(IsWindowEnabled(wnd));
    EXPECT_EQ(TWinControl::FromHandle(wnd), panel);
    EXPECT_EQ(TWinControl::FromHandle(nullptr), nullptr);

    // Fonts: children follow their parent's until given one of their own.
    auto* inherits = new TEdit(form);
    inherits->SetParent(panel);
    auto* own = new TEdit(form);
    own->SetParent(panel);
    own->Font().SetName("Arial");
    EXPECT_FALSE(own->ParentFont());
    panel->Font().SetName("Courier New");
    EXPECT_EQ(inherits->Font().Name(), "Courier New");
    EXPECT_TRUE(inherits->ParentFont());
    EXPECT_EQ(own->Font().Name(), "Arial");
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(inherits->Handle(), WM_GETFONT, 0, 0)), inherits->Font().Handle());
    own->SetParentFont(true);
    EXPECT_EQ(own->Font().Name(), "Courier New");

    // Taken out of its parent, a windowed control loses its window; given a parent again, it gets one.
    HWND editWnd = inherits->Handle();
    inherits->SetParent(nullptr);
    EXPECT_FALSE(IsWindow(editWnd));
    EXPECT_FALSE(inherits->HandleAllocated());
    inherits->SetParent(form);
    EXPECT_TRUE(inherits->HandleAllocated());
    EXPECT_EQ(GetParent(inherits->Handle()), form->Handle());
    form->Show();
    inherits->SetFocus();
    EXPECT_TRUE(inherits->Focused());
    EXPECT_EQ(form->ActiveControl(), inherits) << "a focused tab stop becomes the active control";
    form->Hide();
}

namespace {
// Answers the colour question its parent reflects to it.
class TColouredEdit : public TEdit {
public:
    using TEdit::TEdit;
    HBRUSH Brush = nullptr;
    int Asked = 0;
    void WndProc(TMessage& m) override
    {
        if (m.Msg == CN_CTLCOLOREDIT) {
            ++Asked;
            m.Result = reinterpret_cast<LRESULT>(Brush);
            return;
        }
        TEdit::WndProc(m);
    }
};
}  // namespace

TEST(WindowedControls, NoticesFromChildrenGoBackToThem)
{
    TOwnedForm<TForm> form(MakeForm());
    auto* edit = new TColouredEdit(form);
    edit->SetParent(form);
    int changes = 0;
    edit->OnChange = [&](TObject*) { ++changes; };
    HWND wnd = edit->Handle();
    SendMessageA(form->Handle(), WM_COMMAND, MAKEWPARAM(edit->ControlId(), EN_CHANGE), reinterpret_cast<LPARAM>(wnd));
    EXPECT_EQ(changes, 1);
    SendMessageA(form->Handle(), WM_COMMAND, MAKEWPARAM(edit->ControlId(), EN_SETFOCUS), reinterpret_cast<LPARAM>(wnd));
    EXPECT_EQ(changes, 1);
    HDC dc = GetDC(wnd);
    edit->Brush = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    EXPECT_EQ(SendMessageA(form->Handle(), WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(wnd)),
              reinterpret_cast<LRESULT>(edit->Brush));
    // Not answered: the platform's colours.
    edit->Brush = nullptr;
    EXPECT_NE(SendMessageA(form->Handle(), WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(wnd)),
              0);
    EXPECT_EQ(edit->Asked, 2);
    ReleaseDC(wnd, dc);
    // A notice from a window that is no control of ours is left to the platform.
    SendMessageA(form->Handle(), WM_COMMAND, MAKEWPARAM(1, EN_CHANGE), reinterpret_cast<LPARAM>(Application->Handle()));
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(SendMessageA(form->Handle(), WM_NOTIFYFORMAT, reinterpret_cast<WPARAM>(wnd), NF_QUERY), NFR_ANSI);
}

TEST(Forms, CentredPositionsCentreTheFirstShowOnly)
{
    for (TPosition position : {poScreenCenter, poDesktopCenter, poMainFormCenter, poOwnerFormCenter, poDesigned,
                               poDefault}) {
        TOwnedForm<TForm> form(new TForm(Application));
        form->SetClientSize(100, 50);
        form->SetPosition(position);
        form->InitLayout();
        form->SetBounds(3, 4, form->Width(), form->Height());
        form->Show();
        RECT wr;
        GetWindowRect(form->Handle(), &wr);
        const bool centred = position != poDesigned && position != poDefault;
        if (centred) {
            EXPECT_NEAR((wr.left + wr.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 2) << position;
            EXPECT_NEAR((wr.top + wr.bottom) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 2) << position;
        } else {
            EXPECT_EQ(wr.left, 3) << position;
            EXPECT_EQ(wr.top, 4) << position;
        }
        // Moved and shown again: it comes back where it was left.
        form->SetBounds(5, 6, form->Width(), form->Height());
        form->Hide();
        form->Show();
        GetWindowRect(form->Handle(), &wr);
        EXPECT_EQ(wr.left, 5) << position;
        EXPECT_EQ(wr.top, 6) << position;
        form->Hide();
    }
}

namespace {
// A window that never paints, so it stays invalid: each pump brings its WM_PAINT back.
LRESULT CALLBACK NeverPaints(HWND wnd, UINT msg, WPARAM w, LPARAM l)
{
    if (msg == WM_PAINT) return 0;
    return DefWindowProcA(wnd, msg, w, l);
}
}  // namespace

TEST(Application, ProcessingMessagesEndsWhenAWindowKeepsAskingToBePainted)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = &NeverPaints;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "TapewingNeverPaints";
    RegisterClassA(&wc);
    HWND wnd = CreateWindowExA(WS_EX_TOOLWINDOW, wc.lpszClassName, "", WS_POPUP | WS_VISIBLE, 0, 0, 20, 20, nullptr,
                               nullptr, wc.hInstance, nullptr);
    InvalidateRect(wnd, nullptr, FALSE);
    TOwnedForm<TCountingForm> form(new TCountingForm(Application));
    form->InitLayout();
    PostMessageA(form->Handle(), WM_APP + 3, 0, 0);
    Application->ProcessMessages();  // returns, although the window is still invalid
    EXPECT_EQ(form->Count, 1);
    RECT r;
    EXPECT_TRUE(GetUpdateRect(wnd, &r, FALSE));
    DestroyWindow(wnd);
}

TEST(Application, TheProgramsOwnCursorsByNumber)
{
    HCURSOR own = CopyCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_CROSS)));
    Screen->SetCursors(8888, own);
    EXPECT_EQ(Screen->Cursors(8888), own);
    EXPECT_EQ(Screen->Cursors(crHandPoint), LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_HAND)));
}

TEST(Layouts, ControlPropertiesByName)
{
    class TEventsForm : public TForm {
    public:
        explicit TEventsForm(TComponent* owner) : TForm(owner)
        {
            Publish<TNotifyEvent>("Clicked", [this](TObject*) { Log.push_back("click"); });
            Publish<TNotifyEvent>("DoubleClicked", [this](TObject*) { Log.push_back("dblclick"); });
            Publish<TMouseEvent>("Down", [this](TObject*, TMouseButton, TShiftState, int, int) { Log.push_back("down"); });
            Publish<TMouseEvent>("Up", [this](TObject*, TMouseButton, TShiftState, int, int) { Log.push_back("up"); });
            Publish<TMouseMoveEvent>("Moved", [this](TObject*, TShiftState, int, int) { Log.push_back("move"); });
        }
        std::vector<std::string> Log;
    };
    TOwnedForm<TEventsForm> form(new TEventsForm(Application));
    form->InitLayoutFromText(R"(TEventsForm F {
  ClientWidth = 200 ClientHeight = 100
  TLabel L {
    Left = 11 Top = 12 Width = 33 Height = 14 AutoSize = False Caption = "Label" Color = clTeal Hint = "tip"
    ShowHint = True ParentShowHint = False Cursor = crHandPoint Align = alRight TabOrder = 4 TabStop = True
    Font.Name = "Arial" Font.Style = [fsBold] ParentColor = True Enabled = False Visible = False
  }
  TLabel M {
    Text = "By its other name" Cursor = -3 ParentFont = False
    OnClick = Clicked OnDblClick = DoubleClicked OnMouseDown = Down OnMouseUp = Up OnMouseMove = Moved
  }
  TPanel P { TabOrder = 2 TabStop = True Align = alClient Caption = "Panel" }
})");
    auto* l = dynamic_cast<TLabel*>(form->FindComponent("L"));
    auto* m = dynamic_cast<TLabel*>(form->FindComponent("M"));
    auto* p = dynamic_cast<TPanel*>(form->FindComponent("P"));
    ASSERT_TRUE(l && m && p);
    auto describe = [](TControl* c) {
        char text[256];
        std::snprintf(text, sizeof text, "%d,%d %dx%d '%s' colour %x/%d hint '%s'/%d cursor %d align %d font %s/%u/%d %s %s",
                      c->Left(), c->Top(), c->Width(), c->Height(), c->Caption().c_str(), c->Color(),
                      c->ParentColor(), c->Hint().c_str(), c->ShowHint(), c->Cursor(), c->Align(),
                      c->Font().Name().c_str(), c->Font().Style(), c->ParentFont(), c->Enabled() ? "on" : "off",
                      c->Visible() ? "shown" : "hidden");
        return std::string(text);
    };
    EXPECT_EQ(describe(l), "11,12 33x14 'Label' colour 808000/1 hint 'tip'/1 cursor -21 align 4 font Arial/1/0 off hidden");
    EXPECT_EQ(m->Caption(), "By its other name");
    EXPECT_EQ(m->Cursor(), crCross);
    EXPECT_FALSE(m->ParentFont());
    EXPECT_EQ(p->TabOrder(), 2);
    EXPECT_TRUE(p->TabStop());
    EXPECT_EQ(p->Align(), alClient);
    EXPECT_EQ(p->Caption(), "Panel");
    m->MouseDown(mbLeft, ssLeft, 1, 1);
    m->MouseMove(0, 2, 2);
    m->MouseUp(mbLeft, 0, 2, 2);
    m->DblClick();
    EXPECT_EQ(form->Log, (std::vector<std::string>{"down", "move", "click", "up", "dblclick"}));

    for (const char* bad : {"TForm F { TLabel L { Cursor = crBusy } }", "TForm F { TLabel L { Font.Pitch = 1 } }"}) {
        TOwnedForm<TForm> f(new TForm(Application));
        EXPECT_THROW(f->InitLayoutFromText(bad), ELayoutError) << bad;
    }
}

TEST(WindowedControls, ThePlatformsControlsEraseTheirOwnBackground)
{
    TOwnedForm<TForm> form(MakeForm());
    auto* edit = new TEdit(form);
    edit->SetParent(form);
    HDC dc = GetDC(form->Handle());
    EXPECT_EQ(SendMessageA(form->Handle(), WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0), 1) << "painted over anyway";
    // The colours a child asks for and does not answer itself are the platform's.
    EXPECT_EQ(SendMessageA(form->Handle(), WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc),
                           reinterpret_cast<LPARAM>(edit->Handle())),
              reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW)));
    ReleaseDC(form->Handle(), dc);
    // A push button on a form handles its own mouse input.
    auto* button = new TButton(form);
    button->SetParent(form);
    int clicks = 0;
    button->OnClick = [&](TObject*) { ++clicks; };
    form->Show();
    Mouse(button, WM_LBUTTONDOWN, MK_LBUTTON, 5, 5);
    Mouse(button, WM_LBUTTONUP, 0, 5, 5);
    EXPECT_EQ(clicks, 1) << "once, by the button's own notice";
    form->Hide();
}

namespace {
// A form with tab stops whose layout order differs from their tab order, a container, and two buttons.
class TKeyForm : public TForm {
public:
    explicit TKeyForm(TComponent* owner) : TForm(owner)
    {
        Publish<TNotifyEvent>("OkClick", [this](TObject*) { Log.push_back("ok"); });
        Publish<TNotifyEvent>("OtherClick", [this](TObject*) { Log.push_back("other"); });
    }
    void WndProc(TMessage& m) override
    {
        KeysSeen += m.Msg == WM_KEYDOWN;
        TForm::WndProc(m);
    }
    std::vector<std::string> Log;
    int KeysSeen = 0;  // key presses that reached the form's own window
};

const char kKeyLayout[] = R"(
TKeyForm F {
  ClientWidth = 300
  ClientHeight = 220
  %s
  TCustomTreeView Tree { Left = 10 Top = 10 Width = 120 Height = 90 TabOrder = 1 }
  TEdit Name { Left = 140 Top = 10 Width = 100 Text = "Record" TabOrder = 3 }
  TEdit Folder { Left = 140 Top = 40 Width = 100 Text = "Takes" TabOrder = 2 ReadOnly = True }
  TButton Other { Left = 140 Top = 180 Caption = "Other" OnClick = OtherClick }
  TPanel Box {
    Left = 10 Top = 110 Width = 120 Height = 60 TabOrder = 4
    TEdit Inner { Left = 5 Top = 5 Width = 100 }
    TEdit Note { Left = 5 Top = 30 Width = 100 }
  }
  TButton Ok { Left = 220 Top = 180 Caption = "OK" TabOrder = 0 OnClick = OkClick %s }
})";

TKeyForm* MakeKeyForm(const char* formExtra = "", const char* okExtra = "")
{
    RegisterComponentClass<TCustomTreeView>("TCustomTreeView");
    auto* form = new TKeyForm(Application);
    char text[2048];
    std::snprintf(text, sizeof text, kKeyLayout, formExtra, okExtra);
    form->InitLayoutFromText(text);
    return form;
}

std::string FocusedName()
{
    TWinControl* c = TWinControl::FromHandle(GetFocus());
    return c ? c->Name() : "?";
}

// A key as the keyboard sends it to the focused window, with Shift held or not, through the program's loop.
void Press(WPARAM key, bool shift = false)
{
    BYTE state[256];
    GetKeyboardState(state);
    state[VK_SHIFT] = shift ? 0x80 : 0;
    SetKeyboardState(state);
    HWND focus = GetFocus();
    PostMessageA(focus, WM_KEYDOWN, key, 1);
    PostMessageA(focus, WM_KEYUP, key, 0xC0000001);
    Application->ProcessMessages();
    state[VK_SHIFT] = 0;
    SetKeyboardState(state);
}
}  // namespace

TEST(DialogKeyboard, TabGoesRoundTheTabStopsInTabOrderBothWays)
{
    TOwnedForm<TKeyForm> form(MakeKeyForm());
    form->Show();
    Application->ProcessMessages();
    EXPECT_EQ(FocusedName(), "Ok") << "the first tab stop has the focus when the form is shown";
    std::vector<std::string> forward;
    for (int i = 0; i < 7; ++i) {
        Press(VK_TAB);
        forward.push_back(FocusedName());
    }
    // The panel is no tab stop but its edits are, at the panel's place; controls without a tab order come
    // after the others in the order they were made.
    EXPECT_EQ(forward, (std::vector<std::string>{"Tree", "Folder", "Name", "Inner", "Note", "Other", "Ok"}));
    Press(VK_TAB, true);
    EXPECT_EQ(FocusedName(), "Other");
    for (int i = 0; i < 3; ++i) Press(VK_TAB, true);
    EXPECT_EQ(FocusedName(), "Name");
    // Tabbing into an edit field selects its text, so typing replaces it.
    DWORD from = 0, to = 0;
    SendMessageA(GetFocus(), EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
    EXPECT_EQ(from, 0u);
    EXPECT_EQ(to, 6u);
    // A disabled or hidden control is passed over.
    dynamic_cast<TWinControl*>(form->FindComponent("Inner"))->SetEnabled(false);
    dynamic_cast<TWinControl*>(form->FindComponent("Other"))->SetVisible(false);
    Press(VK_TAB);
    EXPECT_EQ(FocusedName(), "Note");
    Press(VK_TAB);
    EXPECT_EQ(FocusedName(), "Ok");
    // Shown again, the focus starts over at the first tab stop.
    Press(VK_TAB);
    form->Hide();
    form->Show();
    Application->ProcessMessages();
    EXPECT_EQ(FocusedName(), "Ok");
    EXPECT_TRUE(form->Log.empty());
    form->Hide();
}

TEST(DialogKeyboard, EnterAndSpaceClickTheFocusedButtonEnterTheDefaultOneAnywhere)
{
    // Without a default button Enter clicks only a focused push button.
    TOwnedForm<TKeyForm> form(MakeKeyForm());
    form->Show();
    Application->ProcessMessages();
    Press(VK_RETURN);
    EXPECT_EQ(form->Log, std::vector<std::string>{"ok"});
    Press(VK_SPACE);
    EXPECT_EQ(form->Log, (std::vector<std::string>{"ok", "ok"}));
    Press(VK_TAB, true);
    ASSERT_EQ(FocusedName(), "Other");
    Press(VK_RETURN);
    Press(VK_SPACE);
    EXPECT_EQ(form->Log, (std::vector<std::string>{"ok", "ok", "other", "other"}));
    Press(VK_TAB);
    Press(VK_TAB);
    ASSERT_EQ(FocusedName(), "Tree");
    Press(VK_RETURN);
    EXPECT_EQ(form->Log.size(), 4u);
    form->Hide();
    form.Reset();

    // With one, Enter in any control that does not want it clicks it; the focused push button still wins.
    form.Reset(MakeKeyForm("", "Default = True"));
    auto* tree = dynamic_cast<TCustomTreeView*>(form->FindComponent("Tree"));
    TTreeNode* first = tree->AddChild(nullptr, "first");
    tree->AddChild(nullptr, "second");
    tree->SetSelected(first);
    form->Show();
    Application->ProcessMessages();
    Press(VK_TAB);
    ASSERT_EQ(FocusedName(), "Tree");
    // The arrows stay with the tree.
    Press(VK_DOWN);
    ASSERT_NE(tree->Selected(), nullptr);
    EXPECT_EQ(tree->Selected()->Text(), "second");
    EXPECT_EQ(FocusedName(), "Tree");
    Press(VK_RETURN);
    EXPECT_EQ(form->Log, std::vector<std::string>{"ok"});
    Press(VK_TAB);
    Press(VK_RETURN);
    EXPECT_EQ(form->Log, (std::vector<std::string>{"ok", "ok"}));
    Press(VK_TAB, true);
    Press(VK_TAB, true);
    Press(VK_TAB, true);
    ASSERT_EQ(FocusedName(), "Other");
    Press(VK_RETURN);
    EXPECT_EQ(form->Log, (std::vector<std::string>{"ok", "ok", "other"}));
    // A disabled default button is not clicked.
    dynamic_cast<TWinControl*>(form->FindComponent("Ok"))->SetEnabled(false);
    Press(VK_TAB);
    Press(VK_TAB);
    Press(VK_RETURN);
    EXPECT_EQ(form->Log.size(), 3u);
    form->Hide();
}

TEST(DialogKeyboard, TheLayoutsActiveControlIsFocusedFirst)
{
    TOwnedForm<TKeyForm> form(MakeKeyForm("ActiveControl = Name"));
    form->Show();
    Application->ProcessMessages();
    EXPECT_EQ(FocusedName(), "Name");
    form->Hide();
}

TEST(DialogKeyboard, WindowlessTabStopsTakeTheKeyboardThroughTheFormsWindow)
{
    TOwnedForm<TKeyForm> form(MakeKeyForm());
    TGraphicControl* g[2];
    for (int i = 0; i < 2; ++i) {
        g[i] = new TGraphicControl(form);
        g[i]->SetTabStop(true);
        g[i]->OnClick = [&form, i](TObject*) { form->Log.push_back(std::to_string(i)); };
        g[i]->SetParent(form);
        g[i]->SetBounds(10 + 20 * i, 190, 16, 16);
    }
    form->Show();
    Application->ProcessMessages();
    // After the windowed tab stops, in the order they were made; the form's window holds the focus.
    Press(VK_TAB, true);
    EXPECT_TRUE(g[1]->Focused() && GetFocus() == form->Handle());
    Press(VK_TAB, true);
    ASSERT_TRUE(g[0]->Focused());
    // Space and Enter press it, a held key once; Escape, with no cancel button, does nothing.
    Press(VK_SPACE);
    Press(VK_RETURN);
    EXPECT_EQ(form->KeysSeen, 0) << "a key that pressed a button goes no further";
    Press(VK_ESCAPE);
    PostMessageA(GetFocus(), WM_KEYDOWN, VK_RETURN, 1 | 1 << 30);
    Application->ProcessMessages();
    EXPECT_EQ(form->Log, (std::vector<std::string>{"0", "0"}));
    // Its mark is repainted as the form's window loses and regains the keyboard.
    for (HWND to : {HWND(nullptr), form->Handle()}) {
        ValidateRect(form->Handle(), nullptr);
        ::SetFocus(to);
        EXPECT_TRUE(GetUpdateRect(form->Handle(), nullptr, FALSE)) << to;
    }
    delete form->FindComponent("Inner");
    EXPECT_TRUE(g[0]->Focused()) << "only its own removal takes the focus";
    delete g[0];
    EXPECT_EQ(form->FocusedGraphic(), nullptr);
    // Hidden, the form notes where its focus is to go but leaves the keyboard where it is.
    form->Hide();
    const HWND before = GetFocus();
    g[1]->SetFocus();
    form->SetActiveControl(dynamic_cast<TWinControl*>(form->FindComponent("Name")));
    EXPECT_EQ(GetFocus(), before);
}
