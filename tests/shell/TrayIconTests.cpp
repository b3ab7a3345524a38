#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "controls/tray/OneInstance.h"
#include "controls/tray/SysTray.h"
#include "framework/WindowHook.h"
#include "framework/Forms.h"
#include "framework/StdCtrls.h"

namespace {

class TOwnerForm;

// A menu that records being shown instead of running the platform's menu loop.
class TRecordingMenu : public TPopupMenu {
public:
    using TPopupMenu::TPopupMenu;
    int Shown = 0;
    TPoint At;
    HWND Foreground = nullptr;
    std::function<void()> OnShown;
    void Popup(int X, int Y) override
    {
        ++Shown;
        At = TPoint{X, Y};
        Foreground = GetForegroundWindow();
        if (OnShown) OnShown();
    }
};

class TOwnerForm : public TForm {
public:
    using TForm::TForm;
    int Probes = 0;
    int Nulls = 0;
    LPARAM NullParams = -1;
    void WndProc(TMessage& m) override
    {
        if (m.Msg == WM_APP + 7) ++Probes;
        if (m.Msg == WM_NULL) {
            ++Nulls;
            NullParams = static_cast<LPARAM>(m.WParam) | m.LParam;
        }
        TForm::WndProc(m);
    }
};

struct ShellCall {
    DWORD Message;
    TNotifyIconData88 Data;
};

// Keys held as GetKeyState reports them.
void HoldKeys(std::initializer_list<int> keys)
{
    BYTE state[256];
    GetKeyboardState(state);
    for (int k : {VK_SHIFT, VK_CONTROL, VK_MENU}) state[k] = 0;
    for (int k : keys) state[k] = 0x80;
    SetKeyboardState(state);
}

// The colour in the middle of an icon, which tells the images of the test lists apart.
TColor IconColour(HICON icon)
{
    TBitmap bmp;
    bmp.SetSize(16, 16);
    DrawIconEx(bmp.Canvas().Handle(), 0, 0, icon, 16, 16, 0, nullptr, DI_NORMAL);
    return bmp.FastPixel(8, 8);
}

// Image i is grey 0x10 * (i + 1), fully opaque.
TImageList* MakeIconList(TComponent* owner, int count)
{
    auto* list = new TImageList(owner);
    for (int i = 0; i < count; ++i) {
        TBitmap bmp;
        bmp.SetSize(16, 16);
        bmp.Canvas().Brush.SetColor(static_cast<TColor>(0x101010 * (i + 1)));
        bmp.Canvas().FillRect(Rect(0, 0, 16, 16));
        TBitmap mask;
        mask.SetPixelFormat(pf1bit);
        mask.SetSize(16, 16);
        mask.Canvas().Brush.SetColor(clBlack);
        mask.Canvas().FillRect(Rect(0, 0, 16, 16));
        list->Add(bmp, &mask);
    }
    return list;
}

class TrayIconTest : public testing::Test {
protected:
    void SetUp() override
    {
        Form = new TOwnerForm(Application);
        Form->InitLayout();
        Tray = new TTrayIcon(Form);
        Tray->ShellNotify = [this](DWORD message, TNotifyIconData88& data) {
            Calls.push_back({message, data});
            return TRUE;
        };
        Menu = new TRecordingMenu(Form);
        Tray->OnClick = [this](TObject*) { Events.push_back("click"); };
        Tray->OnDblClick = [this](TObject*) { Events.push_back("dblclick"); };
        Tray->OnMouseDown = [this](TObject*, TMouseButton b, TShiftState s, int x, int y) {
            Events.push_back("down" + std::to_string(b) + ":" + std::to_string(s));
            Where = TPoint{x, y};
        };
        Tray->OnMouseUp = [this](TObject*, TMouseButton b, TShiftState s, int x, int y) {
            Events.push_back("up" + std::to_string(b) + ":" + std::to_string(s));
            Where = TPoint{x, y};
        };
        Tray->OnMouseMove = [this](TObject*, TShiftState s, int x, int y) {
            Events.push_back("move:" + std::to_string(s));
            Where = TPoint{x, y};
        };
    }
    void TearDown() override
    {
        HoldKeys({});
        delete Form;
    }

    void Send(UINT mouseMessage) { SendMessageA(Tray->NotifyWindow(), IconCallbackMessage, 1, mouseMessage); }

    TOwnerForm* Form = nullptr;
    TTrayIcon* Tray = nullptr;
    TRecordingMenu* Menu = nullptr;
    std::vector<std::string> Events;
    TPoint Where{-1, -1};
    std::vector<ShellCall> Calls;
};

}  // namespace

TEST_F(TrayIconTest, ALeftClickGivesDownThenClickThenUpWithTheKeysAndCursorOfTheMoment)
{
    SetCursorPos(40, 30);
    Send(WM_LBUTTONDOWN);
    EXPECT_EQ(Where.X, 40);
    EXPECT_EQ(Where.Y, 30);
    SetCursorPos(41, 32);
    HoldKeys({VK_SHIFT});
    Send(WM_LBUTTONUP);
    EXPECT_EQ(Events, (std::vector<std::string>{"down0:8", "click", "up0:9"}));
    EXPECT_EQ(Where.X, 41);
    EXPECT_EQ(Where.Y, 32);
    EXPECT_EQ(Menu->Shown, 0);

    Events.clear();
    HoldKeys({VK_CONTROL});
    Send(WM_MOUSEMOVE);
    HoldKeys({VK_MENU});
    Send(WM_MBUTTONDOWN);
    HoldKeys({VK_SHIFT, VK_CONTROL, VK_MENU});
    Send(WM_RBUTTONUP);
    EXPECT_EQ(Events, (std::vector<std::string>{"move:4", "down2:34", "up1:23"}));
}

TEST_F(TrayIconTest, NothingHappensWhileDisabledAndAPendingClickSurvivesIt)
{
    Tray->SetPopupMenu(Menu);
    Tray->SetEnabled(false);
    for (UINT m : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_RBUTTONDOWN, WM_RBUTTONUP})
        Send(m);
    EXPECT_TRUE(Events.empty());
    EXPECT_EQ(Menu->Shown, 0);

    // A press while enabled, then a release while disabled: the release does not consume the click.
    Tray->SetEnabled(true);
    Send(WM_LBUTTONDOWN);
    Tray->SetEnabled(false);
    Send(WM_LBUTTONUP);
    Tray->SetEnabled(true);
    Events.clear();
    Send(WM_LBUTTONUP);
    Send(WM_LBUTTONUP);
    EXPECT_EQ(Events, (std::vector<std::string>{"click", "up0:8", "up0:8"}));
}

TEST_F(TrayIconTest, RightPressOpensTheMenuAtTheCursorAfterPendingMessagesThenPostsNull)
{
    Send(WM_RBUTTONDOWN);  // no menu assigned: nothing to show
    PumpMessages();
    EXPECT_EQ(Form->Nulls, 0);
    Tray->SetPopupMenu(Menu);
    SetCursorPos(123, 45);
    PostMessageA(Form->Handle(), WM_APP + 7, 0, 0);  // pending when the press comes
    int probesShown = -1, nullsShown = -1;
    Menu->OnShown = [&] {
        probesShown = Form->Probes;
        nullsShown = Form->Nulls;
    };
    Send(WM_RBUTTONDOWN);
    Send(WM_RBUTTONUP);
    EXPECT_EQ(Menu->Shown, 1);
    EXPECT_EQ(Menu->PopupComponent(), Tray);
    EXPECT_EQ(Menu->At.X, 123);
    EXPECT_EQ(Menu->At.Y, 45);
    EXPECT_EQ(probesShown, 1) << "pending messages are handled before the menu opens";
    EXPECT_EQ(nullsShown, 0);
    PumpMessages();
    EXPECT_EQ(Form->Nulls, 1) << "WM_NULL goes to the owner once the menu has closed";
    EXPECT_EQ(Form->NullParams, 0);
    EXPECT_EQ(Events, (std::vector<std::string>{"down1:16", "down1:16", "up1:16"}));

    Menu->SetAutoPopup(false);
    Send(WM_RBUTTONDOWN);
    PumpMessages();
    EXPECT_EQ(Menu->Shown, 1);
    EXPECT_EQ(Form->Nulls, 1);

    // A menu owned elsewhere that goes away is forgotten.
    auto* elsewhere = new TRecordingMenu(nullptr);
    Tray->SetPopupMenu(elsewhere);
    delete elsewhere;
    EXPECT_EQ(Tray->PopupMenu(), nullptr);
    Send(WM_RBUTTONDOWN);
}

TEST_F(TrayIconTest, TheMenuOpensWithTheActiveControlsFormInTheForeground)
{
    // The active form's active control belongs to another form: that form comes to the foreground.
    TOwnedForm<TForm> other(new TForm(Application));
    other->SetClientSize(120, 40);
    other->InitLayout();
    auto* edit = new TEdit(other);  // no parent, no window: activating Form leaves it alone
    Form->SetClientSize(120, 40);
    other->Show();
    Form->Show();
    Form->SetActiveControl(edit);
    Application->ProcessMessages();
    ASSERT_EQ(GetForegroundWindow(), Form->Handle());
    ASSERT_EQ(Screen->ActiveControl(), edit);
    Tray->SetPopupMenu(Menu);
    Send(WM_RBUTTONDOWN);
    EXPECT_EQ(Menu->Foreground, other->Handle());
    Form->Hide();
    other.Reset();
    ShowWindow(Application->Handle(), SW_HIDE);
}

TEST_F(TrayIconTest, LeftPopupOpensTheMenuOnALeftPressToo)
{
    Tray->SetPopupMenu(Menu);
    Send(WM_LBUTTONDOWN);
    EXPECT_EQ(Menu->Shown, 0);
    Tray->LeftPopup = true;
    Send(WM_LBUTTONDOWN);
    EXPECT_EQ(Menu->Shown, 1);
}

TEST_F(TrayIconTest, MiddleButtonAndOtherDoubleClicksOpenNoMenu)
{
    Tray->SetPopupMenu(Menu);
    Send(WM_MBUTTONDOWN);
    Send(WM_MBUTTONUP);
    Send(WM_RBUTTONDBLCLK);
    Send(WM_MBUTTONDOWN + 2);  // middle double-click
    Send(WM_MOUSEWHEEL);
    EXPECT_EQ(Events, (std::vector<std::string>{"down2:32", "up2:32"}));
    EXPECT_EQ(Menu->Shown, 0);
}

TEST_F(TrayIconTest, DoubleClickGivesOneClickAndRunsTheFirstDefaultItem)
{
    std::vector<std::string> clicked;
    for (int i = 0; i < 4; ++i) {
        auto* item = new TMenuItem(Form);
        item->SetCaption("item" + std::to_string(i));
        item->SetDefault(i == 1 || i == 3);
        item->OnClick = [&clicked, i](TObject*) { clicked.push_back("item" + std::to_string(i)); };
        Menu->Add(item);
    }
    Send(WM_LBUTTONDBLCLK);  // no menu: only the event
    Tray->SetPopupMenu(Menu);
    Send(WM_LBUTTONDOWN);
    Send(WM_LBUTTONUP);
    Send(WM_LBUTTONDBLCLK);
    Send(WM_LBUTTONUP);
    EXPECT_EQ(Events, (std::vector<std::string>{"dblclick", "down0:8", "click", "up0:8", "dblclick", "up0:8"}));
    EXPECT_EQ(clicked, (std::vector<std::string>{"item1"}));

    // Not with LeftPopup, nor with a menu that may not pop up.
    Tray->LeftPopup = true;
    Send(WM_LBUTTONDBLCLK);
    Tray->LeftPopup = false;
    Menu->SetAutoPopup(false);
    Send(WM_LBUTTONDBLCLK);
    EXPECT_EQ(clicked.size(), 1u);
    // The lowest default item runs, the first one included.
    Menu->SetAutoPopup(true);
    Menu->Items(1)->SetDefault(false);
    Menu->Items(0)->SetDefault(true);
    Send(WM_LBUTTONDBLCLK);
    EXPECT_EQ(clicked, (std::vector<std::string>{"item1", "item0"}));
}

TEST_F(TrayIconTest, TheTipIsCutTo63CharactersAndOnlyShownWithShowHint)
{
    std::string hint(70, 'h');
    hint[62] = 'E';
    Tray->SetHint(hint);
    EXPECT_EQ(Tray->Hint(), hint);
    EXPECT_EQ(std::string(Tray->IconData().szTip), "");
    Tray->SetShowHint(true);
    EXPECT_TRUE(Tray->ShowHint());
    std::string tip = Tray->IconData().szTip;
    EXPECT_EQ(tip.size(), 63u);
    EXPECT_EQ(tip.back(), 'E');
    EXPECT_EQ(Calls.back().Message, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_EQ(std::string(Calls.back().Data.szTip), tip);
    Tray->SetHint("Tape");
    EXPECT_EQ(std::string(Calls.back().Data.szTip), "Tape");
    for (std::size_t i = 4; i < 64; ++i) EXPECT_EQ(Calls.back().Data.szTip[i], 0) << i;
    Tray->SetShowHint(false);
    EXPECT_EQ(Calls.back().Message, static_cast<DWORD>(NIM_MODIFY));
    for (char c : Calls.back().Data.szTip) EXPECT_EQ(c, 0);
}

TEST_F(TrayIconTest, TheRecordNamesTheIconItsWindowAndId1AndLeavesTheTrayWithTheComponent)
{
    Tray->SetIconList(MakeIconList(Form, 3));
    Calls.clear();
    Tray->Loaded();
    ASSERT_EQ(Calls.size(), 2u);
    EXPECT_EQ(Calls[0].Message, static_cast<DWORD>(NIM_MODIFY));
    const ShellCall& add = Calls[1];
    EXPECT_EQ(add.Message, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(add.Data.cbSize, 88u);
    EXPECT_EQ(add.Data.uID, 1u);
    EXPECT_EQ(add.Data.uFlags, 7u);
    EXPECT_EQ(add.Data.uCallbackMessage, 0x0800u);
    EXPECT_EQ(add.Data.hWnd, Tray->NotifyWindow());
    ASSERT_NE(add.Data.hIcon, nullptr);
    EXPECT_EQ(add.Data.hIcon, Tray->Icon().Handle());
    EXPECT_EQ(IconColour(add.Data.hIcon), 0x101010);
    Tray->SetIconIndex(2);
    EXPECT_EQ(Calls.back().Message, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_EQ(IconColour(Calls.back().Data.hIcon), 0x303030);
    // An icon assigned directly goes to the tray at once.
    TIcon other;
    MakeIconList(Form, 5)->GetIcon(4, other);
    Calls.clear();
    Tray->SetIcon(other);
    ASSERT_EQ(Calls.size(), 1u);
    EXPECT_EQ(Calls.back().Message, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_EQ(IconColour(Calls.back().Data.hIcon), IconColour(other.Handle()));
    EXPECT_NE(IconColour(other.Handle()), 0x303030);

    Tray->SetIconVisible(false);
    EXPECT_EQ(Calls.back().Message, static_cast<DWORD>(NIM_DELETE));
    EXPECT_FALSE(Tray->IconVisible());
    Tray->SetIconVisible(true);
    EXPECT_EQ(Calls.back().Message, static_cast<DWORD>(NIM_ADD));
    EXPECT_TRUE(Tray->IconVisible());
    // A refusal is reported, and changes nothing else.
    Tray->ShellNotify = [](DWORD, TNotifyIconData88&) { return FALSE; };
    EXPECT_FALSE(Tray->RefreshInTray());
    EXPECT_FALSE(Tray->AddToTray());
    EXPECT_TRUE(Tray->IconVisible());
    Tray->ShellNotify = [this](DWORD message, TNotifyIconData88& data) {
        Calls.push_back({message, data});
        return TRUE;
    };
    EXPECT_TRUE(Tray->RefreshInTray());

    // The notification window agrees to end the session and leaves other messages to the platform.
    HWND wnd = Tray->NotifyWindow();
    EXPECT_EQ(SendMessageA(wnd, WM_QUERYENDSESSION, 0, 0), 1);
    EXPECT_EQ(SendMessageA(wnd, WM_GETTEXTLENGTH, 0, 0), 0);

    // Going, the component takes its icon out of the tray and its window with it.
    delete Tray;
    Tray = nullptr;
    EXPECT_EQ(Calls.back().Message, static_cast<DWORD>(NIM_DELETE));
    EXPECT_EQ(Calls.back().Data.hWnd, wnd);
    EXPECT_EQ(Calls.back().Data.uID, 1u);
    EXPECT_FALSE(IsWindow(wnd));
}

TEST_F(TrayIconTest, ALostIconComesBackOnANewTaskbarAfterAnotherStartAndWhenTheShellWasNotReady)
{
    // A shell that refuses an add while it has no taskbar or already shows the icon, and a change while it
    // does not show it.
    bool taskbar = false, shown = false;
    std::vector<DWORD> sent;
    Tray->ShellNotify = [&](DWORD message, TNotifyIconData88&) {
        sent.push_back(message);
        BOOL ok = taskbar && (message == NIM_ADD ? !shown : shown);
        if (ok) shown = message != NIM_DELETE;
        return ok;
    };
    const std::vector<DWORD> modify{NIM_MODIFY}, modifyAdd{NIM_MODIFY, NIM_ADD};

    // At log-on there is no taskbar yet: the add is tried again until it is taken, then no more.
    Tray->AddRetryInterval = 20;
    Tray->Loaded();
    EXPECT_EQ(sent, modifyAdd);
    PumpMessages(120);
    EXPECT_GE(sent.size(), 4u) << "retried";
    EXPECT_FALSE(shown);
    taskbar = true;
    sent.clear();
    PumpMessages(120);
    EXPECT_TRUE(shown);
    EXPECT_EQ(sent, modifyAdd) << "retries stop once the icon is in";

    // The shell restarts: its broadcast to the top-level windows brings the icon back, added once.
    const UINT taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
    shown = false;
    sent.clear();
    PostMessageA(HWND_BROADCAST, taskbarCreated, 0, 0);
    PumpMessages(50);
    EXPECT_EQ(sent, modifyAdd);
    EXPECT_TRUE(shown);
    sent.clear();
    SendMessageA(Tray->NotifyWindow(), taskbarCreated, 0, 0);
    EXPECT_EQ(sent, modify) << "an icon still there is not added twice";

    // Another start of the program reaches the application window.
    shown = false;
    sent.clear();
    SendMessageA(Application->Handle(), ShowRunningCopyMessage(), 0, 0);
    EXPECT_EQ(sent, modifyAdd);
    EXPECT_TRUE(shown);

    // An icon taken away on purpose stays away, and its retries stop.
    taskbar = false;
    sent.clear();
    SendMessageA(Tray->NotifyWindow(), taskbarCreated, 0, 0);
    Tray->SetIconVisible(false);
    sent.clear();
    PumpMessages(120);
    SendMessageA(Tray->NotifyWindow(), taskbarCreated, 0, 0);
    SendMessageA(Application->Handle(), ShowRunningCopyMessage(), 0, 0);
    EXPECT_TRUE(sent.empty());
    Tray->ShellNotify = [](DWORD, TNotifyIconData88&) { return TRUE; };
}

TEST_F(TrayIconTest, AfterLoadingTheIconIsAddedOrRemovedAndStartMinimizedHidesTheApplication)
{
    TLayoutValue no, yes;
    no.kind = yes.kind = TLayoutValue::kIdent;
    no.Str = "False";
    yes.Str = "True";
    EXPECT_TRUE(Tray->SetProperty("IconVisible", no));  // kept for the end of loading
    EXPECT_TRUE(Calls.empty());
    Tray->Loaded();
    ASSERT_EQ(Calls.size(), 2u);
    EXPECT_EQ(Calls[0].Message, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_EQ(Calls[1].Message, static_cast<DWORD>(NIM_DELETE));

    HWND app = Application->Handle();
    ShowWindow(app, SW_SHOWNA);
    Tray->SetProperty("IconVisible", yes);
    Tray->Loaded();
    EXPECT_TRUE(IsWindowVisible(app)) << "not without StartMinimized";
    EXPECT_TRUE(Application->ShowMainForm);
    Tray->StartMinimized = true;
    Calls.clear();
    Tray->Loaded();
    EXPECT_FALSE(Application->ShowMainForm);
    EXPECT_FALSE(IsWindowVisible(app));
    ASSERT_EQ(Calls.size(), 2u);
    EXPECT_EQ(Calls[1].Message, static_cast<DWORD>(NIM_ADD));
    Application->ShowMainForm = true;
}

TEST_F(TrayIconTest, InTheDesignerOnlyThePreviewReachesTheShell)
{
    Tray->SetDesigning(true);
    Tray->SetHint("x");
    Tray->SetIconVisible(false);
    EXPECT_FALSE(Tray->IconVisible());
    EXPECT_FALSE(Tray->RefreshInTray());
    EXPECT_TRUE(Calls.empty());
    Tray->SetDesignPreview(true);
    EXPECT_TRUE(Tray->DesignPreview());
    ASSERT_EQ(Calls.size(), 1u);
    EXPECT_EQ(Calls[0].Message, static_cast<DWORD>(NIM_ADD));
    EXPECT_FALSE(Tray->IconVisible()) << "the preview does not store IconVisible";
    Tray->SetHint("y");
    EXPECT_EQ(Calls.back().Message, static_cast<DWORD>(NIM_MODIFY));
    const std::size_t previewCalls = Calls.size();
    EXPECT_FALSE(Tray->AddToTray());
    EXPECT_FALSE(Tray->RemoveFromTray());
    EXPECT_EQ(Calls.size(), previewCalls) << "the stored icon is not shown while designing";
    Tray->SetDesignPreview(false);
    EXPECT_EQ(Calls.back().Message, static_cast<DWORD>(NIM_DELETE));
    const std::size_t sent = Calls.size();
    Tray->SetHint("z");
    EXPECT_EQ(Calls.size(), sent);
    // At run time the preview is only a stored flag.
    Tray->SetDesigning(false);
    Tray->SetDesignPreview(true);
    EXPECT_EQ(Calls.size(), sent);
}

TEST_F(TrayIconTest, IconIndexIsClampedToTheList)
{
    Tray->SetIconIndex(10);
    EXPECT_EQ(Tray->IconIndex(), 0);  // no list
    TImageList* list = MakeIconList(Form, 4);
    Tray->SetIconList(list);
    EXPECT_EQ(Tray->IconList(), list);
    Tray->SetIconIndex(10);
    EXPECT_EQ(Tray->IconIndex(), 3);
    EXPECT_EQ(IconColour(Tray->Icon().Handle()), 0x404040);
    Tray->SetIconIndex(-2);
    EXPECT_EQ(Tray->IconIndex(), 0);
    Tray->SetIconIndex(1);
    EXPECT_EQ(Tray->IconIndex(), 1);
    EXPECT_EQ(IconColour(Tray->Icon().Handle()), 0x202020);
    // An empty list has no image: the index is 0 and the icon stays.
    auto* empty = new TImageList(Form);
    Tray->SetIconList(empty);
    Tray->SetIconIndex(2);
    EXPECT_EQ(Tray->IconIndex(), 0);
    EXPECT_EQ(IconColour(Tray->Icon().Handle()), 0x202020);
    // Freeing the list clears the reference and the index.
    Tray->SetIconList(list);
    Tray->SetIconIndex(2);
    Calls.clear();
    delete list;
    EXPECT_EQ(Tray->IconList(), nullptr);
    EXPECT_EQ(Tray->IconIndex(), 0);
    EXPECT_FALSE(Calls.empty());
}

TEST_F(TrayIconTest, CyclingShowsTheNextImageOfTheListEachTickAndWraps)
{
    Tray->SetIconList(MakeIconList(Form, 3));
    TIcon foreign;
    MakeIconList(Form, 5)->GetIcon(4, foreign);
    Tray->SetIcon(foreign);  // a tick first puts the list's image back
    std::vector<int> next;
    Tray->OnCycle = [&](TObject*, int n) {
        next.push_back(n);
        EXPECT_TRUE(Calls.empty()) << "the event comes before the tray is told";
    };
    std::vector<int> shown;
    std::vector<TColor> sent;  // the image each refresh shows
    Tray->ShellNotify = [&](DWORD message, TNotifyIconData88& data) {
        Calls.push_back({message, data});
        sent.push_back(IconColour(data.hIcon));
        return TRUE;
    };
    for (int i = 0; i < 4; ++i) {
        Calls.clear();
        Tray->CycleStep();
        shown.push_back(Tray->IconIndex());
        EXPECT_EQ(Calls.size(), 2u);
    }
    EXPECT_EQ(shown, (std::vector<int>{1, 2, 0, 1}));
    EXPECT_EQ(next, (std::vector<int>{1, 2, 0, 1}));
    EXPECT_EQ(sent, (std::vector<TColor>{0x101010, 0x202020, 0x202020, 0x303030, 0x303030, 0x101010, 0x101010,
                                         0x202020}));
    // One image: each tick shows it again; no image: nothing happens.
    Tray->SetIconList(MakeIconList(Form, 1));
    next.clear();
    Calls.clear();
    Tray->OnCycle = [&](TObject*, int n) { next.push_back(n); };
    Tray->CycleStep();
    EXPECT_EQ(next, std::vector<int>{0});
    EXPECT_EQ(Calls.size(), 2u);
    Tray->SetIconList(new TImageList(Form));
    Calls.clear();
    Tray->CycleStep();
    EXPECT_EQ(next.size(), 1u);
    EXPECT_TRUE(Calls.empty());
    Tray->SetIconList(MakeIconList(Form, 3));

    // On the timer: switching cycling on starts from the first image.
    next.clear();
    Tray->SetCycleInterval(0);
    Tray->SetCycleIcons(true);
    EXPECT_TRUE(Tray->CycleIcons());
    EXPECT_EQ(Tray->IconIndex(), 0);
    for (DWORD start = GetTickCount(); GetTickCount() - start < 150;) PumpMessages();
    EXPECT_TRUE(next.empty()) << "an interval of 0 never fires";
    Tray->SetCycleInterval(15);
    EXPECT_EQ(Tray->CycleInterval(), 15u);
    for (DWORD start = GetTickCount(); next.size() < 4 && GetTickCount() - start < 5000;) {
        PumpMessages();
        Sleep(1);
    }
    Tray->SetCycleIcons(false);
    ASSERT_GE(next.size(), 4u);
    EXPECT_EQ(std::vector<int>(next.begin(), next.begin() + 4), (std::vector<int>{1, 2, 0, 1}));
    const std::size_t ticks = next.size();
    for (DWORD start = GetTickCount(); GetTickCount() - start < 100;) PumpMessages();
    EXPECT_EQ(next.size(), ticks) << "switched off";
    EXPECT_EQ(IconColour(Tray->Icon().Handle()), static_cast<TColor>(0x101010 * (Tray->IconIndex() + 1)));
    Tray->ShellNotify = [](DWORD, TNotifyIconData88&) { return TRUE; };
}

namespace {
int g_appProbes = 0;
WNDPROC g_appSaved = nullptr;
LRESULT CALLBACK CountingAppProc(HWND wnd, UINT msg, WPARAM w, LPARAM l)
{
    if (msg == WM_APP + 7) ++g_appProbes;
    return CallWindowProcA(g_appSaved, wnd, msg, w, l);
}
}  // namespace

namespace {
int g_formProbes = 0;
WNDPROC g_formSaved = nullptr;
LRESULT CALLBACK CountingFormProc(HWND wnd, UINT msg, WPARAM w, LPARAM l)
{
    if (msg == WM_APP + 7) ++g_formProbes;
    return CallWindowProcA(g_formSaved, wnd, msg, w, l);
}
}  // namespace

TEST(TrayIconHooks, BothHooksPassEveryMessageOnAndComeOffAgain)
{
    HWND app = Application->Handle();
    g_appSaved = reinterpret_cast<WNDPROC>(SetWindowLongA(app, GWL_WNDPROC, reinterpret_cast<LONG>(&CountingAppProc)));
    auto* form = new TOwnerForm(Application);
    form->InitLayout();
    WNDPROC formProc = reinterpret_cast<WNDPROC>(GetWindowLongA(form->Handle(), GWL_WNDPROC));
    auto* tray = new TTrayIcon(form);
    tray->ShellNotify = [](DWORD, TNotifyIconData88&) { return TRUE; };
    EXPECT_NE(reinterpret_cast<WNDPROC>(GetWindowLongA(app, GWL_WNDPROC)), &CountingAppProc);

    SendMessageA(app, WM_APP + 7, 0, 0);
    SendMessageA(form->Handle(), WM_APP + 7, 0, 0);
    SendMessageA(app, WM_SIZE, SIZE_MINIMIZED, 0);  // MinimizeToTray is off: passed on, nothing else
    EXPECT_EQ(g_appProbes, 1);
    EXPECT_EQ(form->Probes, 1);

    delete tray;
    EXPECT_EQ(reinterpret_cast<WNDPROC>(GetWindowLongA(app, GWL_WNDPROC)), &CountingAppProc);
    EXPECT_EQ(reinterpret_cast<WNDPROC>(GetWindowLongA(form->Handle(), GWL_WNDPROC)), formProc);
    delete form;
    SetWindowLongA(app, GWL_WNDPROC, reinterpret_cast<LONG>(g_appSaved));
}

TEST(TrayIconHooks, TwoIconsOnOneWindowChainAndUnwindInEitherOrder)
{
    HWND app = Application->Handle();
    const WNDPROC appProc = reinterpret_cast<WNDPROC>(GetWindowLongA(app, GWL_WNDPROC));
    const int hooksBefore = TWindowHook::InUse();
    for (bool firstGoesFirst : {true, false}) {
        TOwnedForm<TOwnerForm> form(new TOwnerForm(Application));
        form->InitLayout();
        const WNDPROC formProc = reinterpret_cast<WNDPROC>(GetWindowLongA(form->Handle(), GWL_WNDPROC));
        TTrayIcon* icons[2] = {new TTrayIcon(form), new TTrayIcon(form)};
        std::vector<int> added;  // which icon's MinimizeIntoTray ran, through its NIM_ADD
        for (int i = 0; i < 2; ++i) {
            icons[i]->ShellNotify = [&added, i](DWORD m, TNotifyIconData88&) {
                if (m == NIM_ADD) added.push_back(i);
                return TRUE;
            };
            icons[i]->MinimizeToTray = true;
        }
        // Each message reaches the form once, and each icon sees the application's minimising.
        SendMessageA(form->Handle(), WM_APP + 7, 0, 0);
        EXPECT_EQ(form->Probes, 1);
        SendMessageA(app, WM_SIZE, SIZE_MINIMIZED, 0);
        std::sort(added.begin(), added.end());
        EXPECT_EQ(added, (std::vector<int>{0, 1}));

        // One goes: the other still hooks both windows, and the form still gets every message once.
        TTrayIcon* gone = icons[firstGoesFirst ? 0 : 1];
        TTrayIcon* left = icons[firstGoesFirst ? 1 : 0];
        const int leftIndex = firstGoesFirst ? 1 : 0;
        delete gone;
        added.clear();
        SendMessageA(form->Handle(), WM_APP + 7, 0, 0);
        EXPECT_EQ(form->Probes, 2);
        SendMessageA(app, WM_SIZE, SIZE_MINIMIZED, 0);
        EXPECT_EQ(added, std::vector<int>{leftIndex});

        // Both gone: the windows have their own procedures back, and no hook is left behind.
        delete left;
        EXPECT_EQ(reinterpret_cast<WNDPROC>(GetWindowLongA(app, GWL_WNDPROC)), appProc);
        EXPECT_EQ(reinterpret_cast<WNDPROC>(GetWindowLongA(form->Handle(), GWL_WNDPROC)), formProc);
        EXPECT_EQ(TWindowHook::InUse(), hooksBefore);
    }

    // Someone else hooks the form above an icon: the icon's going leaves a pass-through that forwards every
    // message, and that leaves with the window.
    auto* form = new TOwnerForm(Application);
    form->InitLayout();
    auto* icon = new TTrayIcon(form);
    icon->ShellNotify = [](DWORD, TNotifyIconData88&) { return TRUE; };
    g_formSaved = reinterpret_cast<WNDPROC>(
        SetWindowLongA(form->Handle(), GWL_WNDPROC, reinterpret_cast<LONG>(&CountingFormProc)));
    delete icon;
    g_formProbes = 0;
    SendMessageA(form->Handle(), WM_APP + 7, 0, 0);
    EXPECT_EQ(g_formProbes, 1);
    EXPECT_EQ(form->Probes, 1);
    SetWindowLongA(form->Handle(), GWL_WNDPROC, reinterpret_cast<LONG>(g_formSaved));
    SendMessageA(form->Handle(), WM_APP + 7, 0, 0);
    EXPECT_EQ(form->Probes, 2);
    delete form;
    EXPECT_EQ(TWindowHook::InUse(), hooksBefore);
    ShowWindow(app, SW_HIDE);
}

TEST(TrayIconHooks, MinimisingWithMinimizeToTrayHidesTheMainWindowAndKeepsTheIcon)
{
    ASSERT_EQ(Application->MainForm(), nullptr);
    auto* form = Application->CreateForm<TOwnerForm>();
    ASSERT_EQ(Application->MainForm(), form);
    form->SetClientSize(120, 40);
    auto* tray = new TTrayIcon(form);
    std::vector<DWORD> calls;
    tray->ShellNotify = [&calls](DWORD m, TNotifyIconData88&) {
        calls.push_back(m);
        return TRUE;
    };
    HWND app = Application->Handle();
    tray->ShowMainWindow();
    EXPECT_TRUE(IsWindowVisible(app));
    EXPECT_TRUE(form->Visible());
    EXPECT_TRUE(IsWindowVisible(form->Handle()));

    // Only a minimising, and only with MinimizeToTray.
    tray->SetIconVisible(false);
    calls.clear();
    SendMessageA(app, WM_SIZE, SIZE_MINIMIZED, 0);
    tray->MinimizeToTray = true;
    SendMessageA(app, WM_SIZE, SIZE_RESTORED, 0);
    SendMessageA(app, WM_MOVE, SIZE_MINIMIZED, 0);
    EXPECT_TRUE(calls.empty());
    EXPECT_TRUE(IsWindowVisible(app));
    EXPECT_TRUE(form->Visible());

    SendMessageA(app, WM_SIZE, SIZE_MINIMIZED, 0);
    EXPECT_FALSE(IsWindowVisible(app));
    EXPECT_FALSE(form->Visible());
    EXPECT_FALSE(IsWindowVisible(form->Handle()));
    EXPECT_EQ(calls, std::vector<DWORD>{static_cast<DWORD>(NIM_ADD)});
    EXPECT_TRUE(tray->IconVisible());

    tray->ShowMainWindow();
    EXPECT_TRUE(IsWindowVisible(app));
    EXPECT_TRUE(form->Visible());
    tray->HideMainWindow();
    EXPECT_FALSE(IsWindowVisible(app));
    EXPECT_FALSE(form->Visible());
    delete form;
    EXPECT_EQ(Application->MainForm(), nullptr);
}

TEST(TrayIconHooks, AShownOwnerComesForwardWithTheApplicationAndItsActiveControlKeepsTheFocus)
{
    HWND app = Application->Handle();
    TOwnedForm<TOwnerForm> form(new TOwnerForm(Application));
    form->SetClientSize(120, 60);
    auto* edit = new TEdit(form);
    edit->SetParent(form);
    form->InitLayout();
    auto* tray = new TTrayIcon(form);
    tray->ShellNotify = [](DWORD, TNotifyIconData88&) { return TRUE; };
    ShowWindow(app, SW_HIDE);

    // Told it is being shown for another reason, or hidden: nothing.
    SendMessageA(form->Handle(), WM_SHOWWINDOW, TRUE, SW_PARENTOPENING);
    SendMessageA(form->Handle(), WM_SHOWWINDOW, FALSE, 0);
    EXPECT_FALSE(IsWindowVisible(app));

    // Shown on request (without activation of its own): the application window is restored, and the owner
    // ends in the foreground.
    ShowWindow(form->Handle(), SW_SHOWNA);
    EXPECT_TRUE(IsWindowVisible(app));
    EXPECT_EQ(GetForegroundWindow(), form->Handle());

    // Moved with the focus elsewhere, the owner gives it back to the active control.
    form->SetActiveControl(edit);
    ::SetFocus(form->Handle());
    ASSERT_EQ(GetFocus(), form->Handle());
    SetWindowPos(form->Handle(), nullptr, 30, 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    EXPECT_EQ(GetFocus(), edit->Handle());

    delete tray;
    ::SetFocus(form->Handle());
    SetWindowPos(form->Handle(), nullptr, 50, 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    EXPECT_EQ(GetFocus(), form->Handle()) << "not once the icon has gone";
    ShowWindow(form->Handle(), SW_HIDE);
    form.Reset();
    ShowWindow(app, SW_HIDE);
}

namespace {
class TLayoutTrayForm : public TForm {
public:
    explicit TLayoutTrayForm(TComponent* owner) : TForm(owner)
    {
        Field("Tray1", Tray1);
        Publish<TNotifyEvent>("Clicked", [this](TObject*) { Log.push_back("click"); });
        Publish<TNotifyEvent>("DoubleClicked", [this](TObject*) { Log.push_back("dblclick"); });
        Publish<TMouseEvent>("Down", [this](TObject*, TMouseButton, TShiftState, int, int) { Log.push_back("down"); });
        Publish<TMouseEvent>("Up", [this](TObject*, TMouseButton, TShiftState, int, int) { Log.push_back("up"); });
        Publish<TMouseMoveEvent>("Moved", [this](TObject*, TShiftState, int, int) { Log.push_back("move"); });
        Publish<TCycleEvent>("Cycled", [this](TObject*, int n) { Log.push_back("cycle" + std::to_string(n)); });
    }
    TTrayIcon* Tray1 = nullptr;
    std::vector<std::string> Log;
};
}  // namespace

TEST(TrayIconLayout, EveryPublishedPropertyLoadsFromALayout)
{
    TOwnedForm<TLayoutTrayForm> form(new TLayoutTrayForm(Application));
    form->InitLayoutFromText(R"(
TLayoutTrayForm F {
  TPopupMenu Menu1 { TMenuItem Item1 { Caption = "&Options..." } }
  TImageList Images1 { }
  TTrayIcon Tray1 {
    DesignPreview = False IconList = Images1 CycleIcons = False CycleInterval = 250 Enabled = False
    Hint = "Tapewing" ShowHint = True Icon = file("TAPEWING_ICO") IconVisible = False IconIndex = 0
    PopupMenu = Menu1 LeftPopup = True StartMinimized = False MinimizeToTray = True
    OnClick = Clicked OnDblClick = DoubleClicked OnMouseDown = Down OnMouseUp = Up OnMouseMove = Moved
    OnCycle = Cycled
  }
})");
    TTrayIcon* tray = form->Tray1;
    ASSERT_NE(tray, nullptr);
    tray->ShellNotify = [](DWORD, TNotifyIconData88&) { return TRUE; };
    EXPECT_EQ(tray->IconList(), form->FindComponent("Images1"));
    EXPECT_EQ(tray->CycleInterval(), 250u);
    EXPECT_FALSE(tray->Enabled());
    EXPECT_EQ(std::string(tray->IconData().szTip), "Tapewing");
    EXPECT_FALSE(tray->Icon().Empty());
    EXPECT_EQ(tray->IconData().hIcon, tray->Icon().Handle());
    EXPECT_FALSE(tray->IconVisible());
    EXPECT_EQ(tray->PopupMenu(), form->FindComponent("Menu1"));
    EXPECT_TRUE(tray->LeftPopup);
    EXPECT_FALSE(tray->StartMinimized);
    EXPECT_TRUE(tray->MinimizeToTray);
    tray->SetEnabled(true);
    tray->LeftPopup = false;
    tray->SetPopupMenu(nullptr);
    for (UINT m : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_MOUSEMOVE})
        SendMessageA(tray->NotifyWindow(), IconCallbackMessage, 1, m);
    tray->SetIconList(MakeIconList(form, 2));
    tray->CycleStep();
    EXPECT_EQ(form->Log, (std::vector<std::string>{"down", "click", "up", "dblclick", "move", "cycle1"}));
}

TEST(TrayIconOwner, AnOwnerWithoutAWindowIsRefused)
{
    TComponent notAWindow(nullptr);
    EXPECT_THROW(TTrayIcon tray(&notAWindow), EInvalidCast);
}
