#include <gtest/gtest.h>

#include <algorithm>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "controls/tray/SysTray.h"
#include "framework/WindowHook.h"
#include "framework/Forms.h"

namespace {

// A menu that records being shown instead of running the platform's menu loop.
class TRecordingMenu : public TPopupMenu {
public:
    using TPopupMenu::TPopupMenu;
    int Shown = 0;
    void Popup(int, int) override { ++Shown; }
};

class TOwnerForm : public TForm {
public:
    using TForm::TForm;
    int Probes = 0;
    void WndProc(TMessage& m) override
    {
        if (m.Msg == WM_APP + 7) ++Probes;
        TForm::WndProc(m);
    }
};

struct ShellCall {
    DWORD Message;
    TNotifyIconData88 Data;
};

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
        Tray->OnMouseDown = [this](TObject*, TMouseButton b, TShiftState s, int, int) {
            Events.push_back("down" + std::to_string(b) + ":" + std::to_string(s));
        };
        Tray->OnMouseUp = [this](TObject*, TMouseButton b, TShiftState s, int, int) {
            Events.push_back("up" + std::to_string(b) + ":" + std::to_string(s));
        };
        Tray->OnMouseMove = [this](TObject*, TShiftState, int, int) { Events.push_back("move"); };
    }
    void TearDown() override { delete Form; }

    void Send(UINT mouseMessage) { SendMessageA(Tray->NotifyWindow(), IconCallbackMessage, 1, mouseMessage); }

    TOwnerForm* Form = nullptr;
    TTrayIcon* Tray = nullptr;
    TRecordingMenu* Menu = nullptr;
    std::vector<std::string> Events;
    std::vector<ShellCall> Calls;
};

}  // namespace

TEST_F(TrayIconTest, ALeftClickGivesDownThenClickThenUp)
{
    Send(WM_LBUTTONDOWN);
    Send(WM_LBUTTONUP);
    EXPECT_EQ(Events, (std::vector<std::string>{"down0:8", "click", "up0:8"}));
    EXPECT_EQ(Menu->Shown, 0);
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
    EXPECT_EQ(Events, (std::vector<std::string>{"click", "up0:8"}));
}

TEST_F(TrayIconTest, RightPressOpensTheMenuAndOnlyWhenItMayPopUp)
{
    Send(WM_RBUTTONDOWN);  // no menu assigned: nothing to show
    Tray->SetPopupMenu(Menu);
    Send(WM_RBUTTONDOWN);
    Send(WM_RBUTTONUP);
    EXPECT_EQ(Menu->Shown, 1);
    EXPECT_EQ(Menu->PopupComponent(), Tray);
    EXPECT_EQ(Events, (std::vector<std::string>{"down1:16", "down1:16", "up1:16"}));

    Menu->SetAutoPopup(false);
    Send(WM_RBUTTONDOWN);
    EXPECT_EQ(Menu->Shown, 1);
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
    Tray->SetPopupMenu(Menu);
    Send(WM_LBUTTONDOWN);
    Send(WM_LBUTTONUP);
    Send(WM_LBUTTONDBLCLK);
    Send(WM_LBUTTONUP);
    EXPECT_EQ(Events, (std::vector<std::string>{"down0:8", "click", "up0:8", "dblclick", "up0:8"}));
    EXPECT_EQ(clicked, (std::vector<std::string>{"item1"}));

    // Not with LeftPopup, nor with a menu that may not pop up.
    Tray->LeftPopup = true;
    Send(WM_LBUTTONDBLCLK);
    Tray->LeftPopup = false;
    Menu->SetAutoPopup(false);
    Send(WM_LBUTTONDBLCLK);
    EXPECT_EQ(clicked.size(), 1u);
}

TEST_F(TrayIconTest, TheTipIsCutTo63CharactersAndOnlyShownWithShowHint)
{
    std::string hint(70, 'h');
    hint[62] = 'E';
    Tray->SetHint(hint);
    EXPECT_EQ(std::string(Tray->IconData().szTip), "");
    Tray->SetShowHint(true);
    std::string tip = Tray->IconData().szTip;
    EXPECT_EQ(tip.size(), 63u);
    EXPECT_EQ(tip.back(), 'E');
    EXPECT_EQ(Calls.back().Message, static_cast<DWORD>(NIM_MODIFY));
    Tray->SetShowHint(false);
    for (char c : Tray->IconData().szTip) EXPECT_EQ(c, 0);
}

TEST_F(TrayIconTest, TheRecordIsTheFirst88ByteFormWithIdOneAndMessage0x800)
{
    Tray->Loaded();
    ASSERT_FALSE(Calls.empty());
    const ShellCall& add = Calls.back();
    EXPECT_EQ(add.Message, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(add.Data.cbSize, 88u);
    EXPECT_EQ(add.Data.uID, 1u);
    EXPECT_EQ(add.Data.uFlags, 7u);
    EXPECT_EQ(add.Data.uCallbackMessage, 0x0800u);
    EXPECT_EQ(add.Data.hWnd, Tray->NotifyWindow());
    Tray->SetIconVisible(false);
    EXPECT_EQ(Calls.back().Message, static_cast<DWORD>(NIM_DELETE));
    EXPECT_FALSE(Tray->IconVisible());
}

namespace {
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
        list->Add(bmp, &mask);
    }
    return list;
}
}  // namespace

TEST_F(TrayIconTest, IconIndexIsClampedToTheList)
{
    Tray->SetIconIndex(10);
    EXPECT_EQ(Tray->IconIndex(), 0);  // no list
    TImageList* list = MakeIconList(Form, 4);
    Tray->SetIconList(list);
    Tray->SetIconIndex(10);
    EXPECT_EQ(Tray->IconIndex(), 3);
    Tray->SetIconIndex(-2);
    EXPECT_EQ(Tray->IconIndex(), 0);
    // Freeing the list clears the reference and the index.
    Tray->SetIconIndex(2);
    delete list;
    EXPECT_EQ(Tray->IconList(), nullptr);
    EXPECT_EQ(Tray->IconIndex(), 0);
}

TEST_F(TrayIconTest, CyclingStepsThroughTheListAndWraps)
{
    Tray->SetIconList(MakeIconList(Form, 3));
    std::vector<int> next;
    Tray->OnCycle = [&next](TObject*, int n) { next.push_back(n); };
    std::vector<int> shown;
    for (int i = 0; i < 4; ++i) {
        Tray->CycleStep();
        shown.push_back(Tray->IconIndex());
    }
    EXPECT_EQ(shown, (std::vector<int>{1, 2, 0, 1}));
    EXPECT_EQ(next, (std::vector<int>{1, 2, 0, 1}));
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
        auto* form = new TOwnerForm(Application);
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
        delete form;
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
    auto* form = new TOwnerForm(Application);
    form->InitLayout();
    auto* tray = new TTrayIcon(form);
    std::vector<DWORD> calls;
    tray->ShellNotify = [&calls](DWORD m, TNotifyIconData88&) {
        calls.push_back(m);
        return TRUE;
    };
    tray->MinimizeToTray = true;
    SendMessageA(Application->Handle(), WM_SIZE, SIZE_MINIMIZED, 0);
    EXPECT_FALSE(IsWindowVisible(Application->Handle()));
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back(), static_cast<DWORD>(NIM_ADD));
    EXPECT_TRUE(tray->IconVisible());
    delete form;
}

TEST(TrayIconOwner, AnOwnerWithoutAWindowIsRefused)
{
    TComponent notAWindow(nullptr);
    EXPECT_THROW(TTrayIcon tray(&notAWindow), EInvalidCast);
}
