#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "app/RegWork.h"
#include "app/TakeName.h"
#include "app/Unit1.h"
#include "controls/dirtree/DirTree.h"
#include "controls/tray/SysTray.h"
#include "tests/support/ImportPatch.h"
#include "tests/support/TempFolder.h"

namespace {

// A settings store that takes no values, as when the key refuses writes.
LONG WINAPI RefuseValue(HKEY, LPCSTR, DWORD, DWORD, const BYTE*, DWORD) { return ERROR_ACCESS_DENIED; }

std::string SettingsPath() { return std::string(SettingsKey).substr(1); }

std::string CharUpperString(std::string s)
{
    CharUpperBuffA(s.data(), static_cast<DWORD>(s.size()));
    return s;
}

class Form1Test : public testing::Test {
protected:
    void SetUp() override
    {
        SHDeleteKeyA(HKEY_CURRENT_USER, SettingsPath().c_str());
        ClearShown();
    }
    void TearDown() override
    {
        WhenBoxShown() = nullptr;
        delete Form;
        SetKeyReadOnly(SettingsPath(), false);
        SHDeleteKeyA(HKEY_CURRENT_USER, SettingsPath().c_str());
        PumpMessages();
    }
    void Create()
    {
        Form = Application->CreateForm<TForm1>();
        Form->TrayIcon->ShellNotify = [](DWORD, TNotifyIconData88&) { return TRUE; };
        Form->RecordTake = [this](const std::string& path) {
            Takes.push_back(path);
            if (DuringTake) DuringTake();
            return TTakeResult{};
        };
    }
    void Touch(const std::string& name)
    {
        HANDLE h = CreateFileA((Folder + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        CloseHandle(h);
    }
    static void SetDword(const char* name)
    {
        HKEY key;
        RegCreateKeyExA(HKEY_CURRENT_USER, SettingsPath().c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
        DWORD v = 7;
        RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v);
        RegCloseKey(key);
    }
    static DWORD ValueType(const char* name)
    {
        HKEY key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, SettingsPath().c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
        DWORD type = 0;
        LONG rc = RegQueryValueExA(key, name, nullptr, &type, nullptr, nullptr);
        RegCloseKey(key);
        return rc == ERROR_SUCCESS ? type : 0;
    }

    TForm1* Form = nullptr;
    TTempFolder TakeFolder{"tw_takes"};
    const std::string Folder = TakeFolder.Path();
    std::vector<std::string> Takes;  // the paths handed to the recording window
    std::function<void()> DuringTake;
};

}  // namespace

TEST_F(Form1Test, FirstStartWritesTheDefaultsAndShowsThem)
{
    Create();
    EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, SettingsKey, "basedir", "?"), "C:\\");
    EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, SettingsKey, "basename", "?"), "Record");
    EXPECT_EQ(Form->Edit1->Text(), "C:\\");
    EXPECT_EQ(Form->Edit2->Text(), "Record");
    EXPECT_TRUE(Form->TrayIcon->Enabled());
    EXPECT_FALSE(Form->Visible());
    EXPECT_TRUE(ShownErrors().empty());
}

TEST_F(Form1Test, AMissingValueGetsItsDefaultAndIsWrittenOnlyAtQuit)
{
    RegWriteString(HKEY_CURRENT_USER, SettingsKey, "basedir", Folder);
    Create();
    EXPECT_EQ(Form->Edit1->Text(), Folder);
    EXPECT_EQ(Form->Edit2->Text(), "Record");
    EXPECT_EQ(ValueType("basename"), 0u);
    Form->Edit2->SetText(std::string(10000, 'n'));
    TCloseAction action = caNone;
    Form->FormClose(Form, action);
    EXPECT_EQ(action, caFree);
    EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, SettingsKey, "basename", ""), std::string(10000, 'n'));
}

TEST_F(Form1Test, AWronglyTypedSettingIsShownAndStartUpStillFinishes)
{
    RegWriteString(HKEY_CURRENT_USER, SettingsKey, "basename", "take");
    SetDword("basedir");
    Create();
    ASSERT_EQ(ShownErrors().size(), 1u);
    EXPECT_EQ(ShownErrors()[0], "Invalid data type for 'basedir'");
    EXPECT_EQ(Form->Edit1->Text(), "C:\\");
    EXPECT_EQ(Form->Edit2->Text(), "take");
    EXPECT_TRUE(Form->TrayIcon->Enabled());  // the icon answers clicks, so the program can be quit
    EXPECT_EQ(ValueType("basedir"), static_cast<DWORD>(REG_DWORD));
    TCloseAction action = caNone;
    Form->FormClose(Form, action);
    EXPECT_EQ(ValueType("basedir"), static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, SettingsKey, "basedir", ""), "C:\\");
}

TEST_F(Form1Test, AHandMadeFolderValueIsReadAsAUsableFolder)
{
    // Without its closing backslash, the takes would land beside the folder ("...\\tw_takesRecord1.wav").
    RegWriteString(HKEY_CURRENT_USER, SettingsKey, "basedir", Folder.substr(0, Folder.size() - 1));
    Create();
    EXPECT_EQ(Form->Edit1->Text(), Folder);
    delete Form;
    Form = nullptr;

    // The same from a key an administrator made read-only.
    ASSERT_TRUE(SetKeyReadOnly(SettingsPath(), true));
    Create();
    EXPECT_EQ(Form->Edit1->Text(), Folder);
    EXPECT_EQ(Form->Edit2->Text(), "Record");
    EXPECT_TRUE(ShownErrors().empty());
    // Saving into it fails, and says so (at Quit; the session's end tells nobody).
    Form->SaveSettings(false);
    EXPECT_TRUE(ShownErrors().empty());
    Form->SaveSettings(true);
    ASSERT_EQ(ShownErrors().size(), 2u);
    EXPECT_EQ(ShownErrors()[1], "Failed to set data for 'basename'");
    ShownErrors().clear();
    SetKeyReadOnly(SettingsPath(), false);

    // A relative folder is refused by OK like a missing one.
    Form->Edit1->SetText("tw_takes\\");
    Form->Button1Click(Form);
    ASSERT_EQ(ShownBoxes().size(), 1u);
    EXPECT_EQ(ShownBoxes()[0].Text, "tw_takes\\ does not exist!");
}

TEST_F(Form1Test, OkHidesOnlyWhenTheFolderExists)
{
    Create();
    Form->Edit1->SetText(Folder);
    Form->Selectdirectory1Click(nullptr);
    EXPECT_FALSE(Form->TrayIcon->Enabled());
    EXPECT_TRUE(Form->Visible());
    // The tree opens at the folder; a click in it puts the tree's spelling of the folder in the field.
    EXPECT_EQ(Form->DirTree1->SelectedPath(), CharUpperString(Folder));
    Form->DirTree1Click(nullptr);
    EXPECT_EQ(Form->Edit1->Text(), CharUpperString(Folder));
    Form->Edit1->SetText("?");
    Form->Button1Click(nullptr);
    ASSERT_EQ(ShownBoxes().size(), 1u);
    EXPECT_EQ(ShownBoxes()[0].Text, "? does not exist!");
    EXPECT_EQ(ShownBoxes()[0].Caption, "Error");
    EXPECT_TRUE(ShownBoxes()[0].Flags & MB_ICONERROR);
    EXPECT_TRUE(Form->Visible());
    EXPECT_FALSE(Form->TrayIcon->Enabled());
    // A base name that would not make take files there is refused the same way, with its reason.
    Form->Edit1->SetText(Folder);
    for (const char* bad : {"Meeting 10:30", "COM", "tab\there"}) {
        ClearShown();
        Form->Edit2->SetText(bad);
        Form->Button1Click(nullptr);
        ASSERT_EQ(ShownBoxes().size(), 1u) << bad;
        EXPECT_EQ(ShownBoxes()[0].Text, BaseNameProblem(Folder, bad));
        EXPECT_EQ(ShownBoxes()[0].Caption, "Error");
        EXPECT_TRUE(Form->Visible()) << bad;
        EXPECT_FALSE(Form->TrayIcon->Enabled()) << bad;
    }
    Form->Edit2->SetText("");
    Form->Button1Click(nullptr);
    EXPECT_FALSE(Form->Visible());
    EXPECT_TRUE(Form->TrayIcon->Enabled());
}

TEST_F(Form1Test, TheFolderFieldFollowsTheTreeMovedByKeysNotTheSelectionTheWindowMakes)
{
    CreateDirectoryA((Folder + "sub").c_str(), nullptr);
    Create();
    Form->Edit1->SetText(Folder);
    Form->Selectdirectory1Click(nullptr);
    EXPECT_EQ(Form->Edit1->Text(), Folder) << "the tree showing the folder keeps the field's spelling";
    for (WPARAM key : {VK_RIGHT, VK_DOWN}) SendMessageA(Form->DirTree1->Handle(), WM_KEYDOWN, key, 1);
    EXPECT_EQ(Form->Edit1->Text(), CharUpperString(Folder) + "SUB\\");
    Form->Button1Click(nullptr);
    Form->DirTree1->OpenPath(Folder);
    EXPECT_EQ(Form->Edit1->Text(), CharUpperString(Folder) + "SUB\\") << "moved while the window is hidden";
}

TEST_F(Form1Test, CloseRequestsLeaveTheOptionsWindowUpAndOnlyQuitEnds)
{
    Create();
    Form->Selectdirectory1Click(nullptr);
    Form->Edit1->SetText(Folder);
    // Alt+F4 arrives as the system command, which the platform turns into WM_CLOSE; the application window
    // passes its own close on to the main window.
    SendMessageA(Form->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
    SendMessageA(Form->Handle(), WM_CLOSE, 0, 0);
    SendMessageA(Application->Handle(), WM_CLOSE, 0, 0);
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the program was ended";
    EXPECT_TRUE(Form->Visible());
    EXPECT_FALSE(Form->TrayIcon->Enabled());
    EXPECT_NE(RegReadString(HKEY_CURRENT_USER, SettingsKey, "basedir", ""), Folder);

    Form->Quit1Click(nullptr);
    EXPECT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, SettingsKey, "basedir", ""), Folder);
    // Quitting lets only its own close through.
    SendMessageA(Form->Handle(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

TEST_F(Form1Test, AFailingSettingsWriteAtQuitIsShownAndTheProgramStillEnds)
{
    Create();
    Form->Edit1->SetText(Folder);
    Form->Edit2->SetText("take");
    {
        TImportPatch refuse("advapi32.dll", "RegSetValueExA", reinterpret_cast<void*>(&RefuseValue));
        ASSERT_TRUE(refuse.Active());
        Form->Quit1Click(nullptr);
    }
    ASSERT_EQ(ShownErrors().size(), 2u);
    EXPECT_EQ(ShownErrors()[0], "Failed to set data for 'basedir'");
    EXPECT_EQ(ShownErrors()[1], "Failed to set data for 'basename'");
    MSG msg;
    EXPECT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_FALSE(Form->Visible());
    EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, SettingsKey, "basedir", ""), "C:\\");
    EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, SettingsKey, "basename", ""), "Record");
}

TEST_F(Form1Test, TakesGetTheFirstFreeNumberGapsFirst)
{
    Create();
    EXPECT_EQ(Form->NextTakeName(Folder, "record"), Folder + "record1.wav");
    Touch("record1.wav");
    Touch("record3.wav");
    EXPECT_EQ(Form->NextTakeName(Folder, "record"), Folder + "record2.wav");
    EXPECT_EQ(Form->NextTakeName(Folder, ""), Folder + "1.wav");
    EXPECT_TRUE(ShownBoxes().empty());
}

TEST_F(Form1Test, AFolderNamedLikeATakeIsNotATake)
{
    Create();
    CreateDirectoryA((Folder + "record1.wav").c_str(), nullptr);
    EXPECT_EQ(Form->NextTakeName(Folder, "record"), Folder + "record1.wav");
}

TEST_F(Form1Test, AFolderWithoutBackslashIsUsedAsAPlainPrefix)
{
    Create();
    std::string noSlash = Folder.substr(0, Folder.size() - 1);
    EXPECT_EQ(Form->NextTakeName(noSlash, "record"), noSlash + "record1.wav");
}

TEST_F(Form1Test, AMissingFolderFallsBackToDriveC)
{
    Create();
    std::string missing = Folder + "gone\\";
    std::string path = Form->NextTakeName(missing, "twtest");
    EXPECT_EQ(path.substr(0, 3), "c:\\");
    ASSERT_EQ(ShownBoxes().size(), 1u);
    EXPECT_EQ(ShownBoxes()[0].Text, missing + " not found! Using C:\\");
    EXPECT_EQ(ShownBoxes()[0].Caption, "Tape Wing");
    EXPECT_EQ(Form->Edit1->Text(), "C:\\");  // the field is not changed
}

TEST_F(Form1Test, WhenEveryNumberIsTakenTheUserIsToldAndTheProgramGoesOn)
{
    Create();
    for (int n = 1; n <= 998; ++n) Touch("record" + std::to_string(n) + ".wav");
    EXPECT_EQ(Form->NextTakeName(Folder, "record"), Folder + "record999.wav");
    Touch("record999.wav");
    Form->Edit1->SetText(Folder);
    Form->Edit2->SetText("record");
    // A click on the icon starts no take.
    Form->TrayIconClick(nullptr);
    EXPECT_TRUE(Takes.empty());
    ASSERT_EQ(ShownBoxes().size(), 1u);
    EXPECT_EQ(ShownBoxes()[0].Text, "All 999 take numbers for the base name \"record\" are used in " + Folder +
                                           ".\n\nChoose another folder or base name in Options, or move some takes away.");
    EXPECT_EQ(ShownBoxes()[0].Caption, "Tape Wing");
    // The program goes on, and the icon works again.
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_TRUE(Form->TrayIcon->Enabled());
    EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, SettingsKey, "basename", ""), "Record");
}

TEST_F(Form1Test, TheIconIsOffWhileTheFolderIsMissingIsSaidAndABadStoredBaseNameStartsNoTake)
{
    Create();
    Form->Edit1->SetText(Folder + "gone\\");
    Form->Edit2->SetText("twtest");
    bool enabledDuringMessage = true;
    WhenBoxShown() = [&] { enabledDuringMessage = Form->TrayIcon->Enabled(); };
    Form->TrayIconClick(nullptr);
    EXPECT_FALSE(enabledDuringMessage) << "a click during the message would start a second take";
    EXPECT_EQ(Takes.size(), 1u);
    // A base name that never passed OK (edited in the registry) is refused before anything is created.
    Form->Edit1->SetText(Folder);
    Form->Edit2->SetText("..\\Escaped");
    ShownBoxes().clear();
    Form->TrayIconClick(nullptr);
    EXPECT_EQ(Takes.size(), 1u);
    ASSERT_EQ(ShownBoxes().size(), 1u);
    EXPECT_NE(ShownBoxes()[0].Text.find("character \\"), std::string::npos) << ShownBoxes()[0].Text;
    EXPECT_TRUE(Form->TrayIcon->Enabled());
}

TEST_F(Form1Test, TheSessionsEndKeepsTheSettingsOnlyWhenItReallyEnds)
{
    Create();
    Form->Edit1->SetText(Folder);
    Form->Edit2->SetText("Ended");
    SendMessageA(Form->Handle(), WM_QUERYENDSESSION, 0, 0);
    SendMessageA(Form->Handle(), WM_ENDSESSION, FALSE, 0);
    EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, SettingsKey, "basename", ""), "Record");
    SendMessageA(Form->Handle(), WM_ENDSESSION, TRUE, 0);
    EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, SettingsKey, "basedir", ""), Folder);
    EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, SettingsKey, "basename", ""), "Ended");
}

TEST_F(Form1Test, OnceTheWindowIsBeingDestroyedAClickOnTheIconStartsNoTake)
{
    Create();
    Form->Edit1->SetText(Folder);
    Form->OnDestroy(Form);
    for (UINT m : {WM_LBUTTONDOWN, WM_LBUTTONUP})
        SendMessageA(Form->TrayIcon->NotifyWindow(), IconCallbackMessage, 1, m);
    EXPECT_TRUE(Takes.empty());
}

TEST_F(Form1Test, ATakeDisablesTheIconWhileTheRecordingWindowIsUp)
{
    Create();
    Form->Edit1->SetText(Folder);
    bool enabledDuringTake = true;
    DuringTake = [&] { enabledDuringTake = Form->TrayIcon->Enabled(); };
    Form->TrayIconClick(nullptr);
    EXPECT_FALSE(enabledDuringTake);
    EXPECT_TRUE(Form->TrayIcon->Enabled());
    EXPECT_EQ(Takes, std::vector<std::string>{Folder + "Record1.wav"});
}

namespace {

// The program's own windows: its application window and its forms, with whether any is visible.
struct ProgramWindows {
    explicit ProgramWindows(DWORD pid) : Pid(pid) {}
    DWORD Pid;
    HWND Application = nullptr;
    std::vector<std::string> Forms;  // captions
    bool AnyVisible = false;
    bool ErrorBox = false;
};

BOOL CALLBACK CollectProgramWindow(HWND wnd, LPARAM lp)
{
    auto* w = reinterpret_cast<ProgramWindows*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(wnd, &pid);
    if (pid != w->Pid) return TRUE;
    char cls[64] = "", text[64] = "";
    GetClassNameA(wnd, cls, sizeof cls);
    GetWindowTextA(wnd, text, sizeof text);
    if (lstrcmpA(cls, "TapewingApplication") == 0) w->Application = wnd;
    if (lstrcmpA(cls, "TapewingForm") == 0) w->Forms.push_back(text);
    if (lstrcmpA(cls, "#32770") == 0) w->ErrorBox = true;
    if (IsWindowVisible(wnd) && lstrcmpA(cls, "#32770") != 0) w->AnyVisible = true;
    return TRUE;
}

ProgramWindows WindowsOf(DWORD pid)
{
    ProgramWindows w(pid);
    EnumWindows(CollectProgramWindow, reinterpret_cast<LPARAM>(&w));
    std::sort(w.Forms.begin(), w.Forms.end());
    return w;
}

class ProgramCopy {
public:
    explicit ProgramCopy(const std::string& exe)
    {
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        std::string cmd = "\"" + exe + "\"";
        Started = CreateProcessA(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &Info);
        if (Started) CloseHandle(Info.hThread);
    }
    ~ProgramCopy()
    {
        if (!Started) return;
        TerminateProcess(Info.hProcess, 9);
        WaitForSingleObject(Info.hProcess, 30000);
        CloseHandle(Info.hProcess);
    }
    ProgramCopy(const ProgramCopy&) = delete;
    ProgramCopy& operator=(const ProgramCopy&) = delete;

    // Waits until its three forms are made, or an error box shows, or it ends; the forms are made one after
    // the other, so once one is there the rest follow at once.
    ProgramWindows WaitForForms() const
    {
        ProgramWindows w(Info.dwProcessId);
        int firstSeen = -1;
        for (int waited = 0; waited < 120000; waited += 100) {
            w = WindowsOf(Info.dwProcessId);
            if (w.Forms.size() >= 3 || w.ErrorBox || WaitForSingleObject(Info.hProcess, 0) == WAIT_OBJECT_0) break;
            if (!w.Forms.empty() && firstSeen < 0) firstSeen = waited;
            if (firstSeen >= 0 && waited - firstSeen > 15000) break;
            Sleep(100);
        }
        PumpMessages();
        return w;
    }
    // Its exit code once it has ended by itself, or -1.
    int WaitEnd(DWORD ms) const
    {
        if (WaitForSingleObject(Info.hProcess, ms) != WAIT_OBJECT_0) return -1;
        DWORD code = 0;
        GetExitCodeProcess(Info.hProcess, &code);
        return static_cast<int>(code);
    }

    bool Started = false;
    PROCESS_INFORMATION Info = {};
};

}  // namespace

TEST(ProgramStart, StartsWithItsWindowsHiddenAndASecondCopyEndsAtOnce)
{
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string exe = self;
    exe = exe.substr(0, exe.find_last_of('\\'));  // tests\shell
    exe = exe.substr(0, exe.find_last_of('\\'));
    exe = exe.substr(0, exe.find_last_of('\\')) + "\\app\\tapewing.exe";
    // A second copy hands over to the window titled like the program; this process's own must not be it.
    SetWindowTextA(Application->Handle(), "shell tests");

    {
        ProgramCopy first(exe);
        ASSERT_TRUE(first.Started) << exe;
        ProgramWindows w = first.WaitForForms();
        EXPECT_FALSE(w.ErrorBox);
        ASSERT_TRUE(w.Application);
        char title[64] = "";
        GetWindowTextA(w.Application, title, sizeof title);
        EXPECT_STREQ(title, "Tape Wing");
        EXPECT_EQ(w.Forms, (std::vector<std::string>{"About", "Recording...", "Tapewing"}));
        EXPECT_FALSE(w.AnyVisible) << "the program starts in the notification area only";

        ProgramCopy second(exe);
        ASSERT_TRUE(second.Started);
        EXPECT_EQ(second.WaitEnd(60000), 0) << "a second copy must end by itself";
        EXPECT_EQ(first.WaitEnd(0), -1) << "the first copy goes on";
    }
    SetWindowTextA(Application->Handle(), Application->Title().c_str());
    SHDeleteKeyA(HKEY_CURRENT_USER, SettingsPath().c_str());
}
