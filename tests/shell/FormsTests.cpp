#include <gtest/gtest.h>

#include "TestSupport.h"
#include "framework/ComCtrls.h"
#include "framework/ExtCtrls.h"
#include "framework/Forms.h"
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
    auto* form = new TProbeForm(Application);
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
    delete form;
}

TEST(Layouts, MistakesAreReportedWithTheirLine)
{
    auto expectError = [](const char* text, const char* fragment) {
        auto* form = new TProbeForm(Application);
        try {
            form->InitLayoutFromText(text);
            ADD_FAILURE() << "no error for " << text;
        } catch (const ELayoutError& e) {
            EXPECT_NE(std::string(e.what()).find(fragment), std::string::npos) << e.what();
        }
        delete form;
    };
    expectError("TProbeForm F {\n  Bogus = 1\n}", "line 2");
    expectError("TProbeForm F {\n TButton B {\n  OnClick = Missing\n }\n}", "no handler Missing");
    expectError("TProbeForm F {\n TNoClass X { }\n}", "TNoClass");
    expectError("TProbeForm F {\n TEdit E {\n  Left = \"x\"\n }\n}", "line 3");
}

namespace {
class TThrowingForm : public TForm {
public:
    using TForm::TForm;
    void WndProc(TMessage& m) override
    {
        if (m.Msg == WM_APP + 9) throw Exception("handler failed");
        TForm::WndProc(m);
    }
};
}  // namespace

TEST(Forms, AnExceptionInAHandlerIsShownAndEndsOnlyThatHandler)
{
    ClearShown();
    auto* form = new TThrowingForm(Application);
    form->InitLayout();
    SendMessageA(form->Handle(), WM_APP + 9, 0, 0);
    ASSERT_EQ(ShownErrors().size(), 1u);
    EXPECT_EQ(ShownErrors()[0], "handler failed");
    EXPECT_TRUE(IsWindow(form->Handle()));
    delete form;
}

TEST(Forms, ShowModalRunsItsOwnLoopUntilAModalResultIsSet)
{
    auto* form = new TForm(Application);
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
    delete form;
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
    auto* form = new TForm(Application);
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

    probe->Log.clear();
    probe->Round = true;
    SendMessageA(wnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(12, 15));  // inside the bounds, outside the shape
    SendMessageA(wnd, WM_LBUTTONUP, 0, MAKELPARAM(12, 15));
    EXPECT_TRUE(probe->Log.empty());
    delete form;
}

TEST(WindowedControls, AChildAskedFirstCreatesItsParentAndOnlyOneWindowOfItsOwn)
{
    auto* form = new TForm(Application);
    form->SetClientSize(200, 100);
    auto* edit = new TEdit(form);
    edit->SetParent(form);
    // The edit's window needs the form's, whose creation makes the windows of all its children.
    HWND child = edit->Handle();
    int windows = 0;
    for (HWND w = GetWindow(form->Handle(), GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) ++windows;
    EXPECT_EQ(windows, 1);
    EXPECT_EQ(GetParent(child), form->Handle());
    delete form;
}

TEST(WindowedControls, TreeViewReportsTheDropTargetItWasGivenEvenOnTheSelectedNode)
{
    auto* form = new TForm(Application);
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
    delete form;
}

TEST(WindowedControls, AWindowsObjectsGoWithItsLastMessage)
{
    auto* form = new TForm(Application);
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
    delete form;
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
    std::vector<std::string> Log;
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
    TKeyForm* form = MakeKeyForm();
    form->Show();
    Application->ProcessMessages();
    EXPECT_EQ(FocusedName(), "Ok") << "the first tab stop has the focus when the form is shown";
    std::vector<std::string> forward;
    for (int i = 0; i < 6; ++i) {
        Press(VK_TAB);
        forward.push_back(FocusedName());
    }
    // The panel is no tab stop but its edit is, at the panel's place; Other has no tab order and comes last.
    EXPECT_EQ(forward, (std::vector<std::string>{"Tree", "Folder", "Name", "Inner", "Other", "Ok"}));
    Press(VK_TAB, true);
    EXPECT_EQ(FocusedName(), "Other");
    Press(VK_TAB, true);
    Press(VK_TAB, true);
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
    EXPECT_EQ(FocusedName(), "Ok");
    // Shown again, the focus starts over at the first tab stop.
    Press(VK_TAB);
    form->Hide();
    form->Show();
    Application->ProcessMessages();
    EXPECT_EQ(FocusedName(), "Ok");
    EXPECT_TRUE(form->Log.empty());
    form->Hide();
    delete form;
}

TEST(DialogKeyboard, EnterAndSpaceClickTheFocusedButtonEnterTheDefaultOneAnywhere)
{
    // Without a default button Enter clicks only a focused push button.
    TKeyForm* form = MakeKeyForm();
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
    delete form;

    // With one, Enter in any control that does not want it clicks it; the focused push button still wins.
    form = MakeKeyForm("", "Default = True");
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
    delete form;
}

TEST(DialogKeyboard, TheLayoutsActiveControlIsFocusedFirst)
{
    TKeyForm* form = MakeKeyForm("ActiveControl = Name");
    form->Show();
    Application->ProcessMessages();
    EXPECT_EQ(FocusedName(), "Name");
    form->Hide();
    delete form;
}
