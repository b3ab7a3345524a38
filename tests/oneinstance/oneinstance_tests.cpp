// The guard across real processes: copies of a probe program that starts the way tapewing.exe does.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "controls/tray/OneInstance.h"
#include "tests/support/TempFolder.h"

namespace {

// Under emulation a process start can take long; these are upper bounds, not delays.
constexpr DWORD StartTimeoutMs = 240000;

std::string Folder(const std::string& path) { return path.substr(0, path.find_last_of('\\')); }

std::string ProbeCopy(const std::string& sub, const std::string& name)
{
    char exe[MAX_PATH];
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    const std::string guard = TempPath("guard");
    std::string dir = guard + "\\" + sub;
    CreateDirectoryA(guard.c_str(), nullptr);
    CreateDirectoryA(dir.c_str(), nullptr);
    std::string target = dir + "\\" + name;
    EXPECT_TRUE(CopyFileA((Folder(exe) + "\\guard_probe.exe").c_str(), target.c_str(), FALSE)) << target;
    return target;
}

struct Window {
    DWORD pid;
    const char* className;
    const char* caption;
    HWND found = nullptr;
};

BOOL CALLBACK MatchWindow(HWND wnd, LPARAM lp)
{
            auto* w = reinterpret_cast<Window*>(lp);
            DWORD pid = 0;
            GetWindowThreadProcessId(wnd, &pid);
            char cls[64] = "", text[64] = "";
            GetClassNameA(wnd, cls, sizeof cls);
            GetWindowTextA(wnd, text, sizeof text);
            if (pid == w->pid && lstrcmpiA(cls, w->className) == 0 && (!w->caption || lstrcmpA(text, w->caption) == 0)) {
                w->found = wnd;
                return FALSE;
            }
            return TRUE;
}

HWND FindProcessWindow(DWORD pid, const char* className, const char* caption = nullptr)
{
    Window w{pid, className, caption};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&w));
    return w.found;
}

// Takes an icon out of the notification area behind its program's back, as a restarting shell does.
bool RemoveIcon(HWND iconWindow)
{
    NOTIFYICONDATAA data = {};
    data.cbSize = 88;
    data.hWnd = iconWindow;
    data.uID = 1;
    return Shell_NotifyIconA(NIM_DELETE, &data) != FALSE;
}

bool IconPresent(HWND iconWindow)
{
    NOTIFYICONDATAA data = {};
    data.cbSize = 88;
    data.hWnd = iconWindow;
    data.uID = 1;
    data.uFlags = NIF_TIP;
    lstrcpyA(data.szTip, "guard probe");
    return Shell_NotifyIconA(NIM_MODIFY, &data) != FALSE;
}

class Copy {
public:
    explicit Copy(const std::string& exe)
    {
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        std::string cmd = "\"" + exe + "\"";
        EXPECT_TRUE(CreateProcessA(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, Folder(exe).c_str(),
                                   &si, &FInfo));
        CloseHandle(FInfo.hThread);
    }
    ~Copy()
    {
        if (Running()) {
            if (HWND app = AppWindow()) PostMessageA(app, WM_CLOSE, 0, 0);
            if (WaitForSingleObject(FInfo.hProcess, 60000) != WAIT_OBJECT_0) TerminateProcess(FInfo.hProcess, 9);
        }
        CloseHandle(FInfo.hProcess);
    }
    Copy(const Copy&) = delete;
    Copy& operator=(const Copy&) = delete;

    bool Running() const { return WaitForSingleObject(FInfo.hProcess, 0) == WAIT_TIMEOUT; }
    HWND AppWindow() const { return FindProcessWindow(FInfo.dwProcessId, "TapewingApplication"); }
    HWND IconWindow() const
    {
        return FindProcessWindow(FInfo.dwProcessId, "TapewingHiddenWindow", "guard probe tray");
    }
    // Up with its icon in the notification area.
    bool WaitReady() const
    {
        for (DWORD waited = 0; waited < StartTimeoutMs; waited += 250) {
            if (!Running()) return false;
            if (HWND icon = IconWindow(); icon && IconPresent(icon)) return true;
            Sleep(250);
        }
        return false;
    }
    // Ends by itself; returns its exit code (or -1 when it is still running).
    int WaitEnd() const
    {
        if (WaitForSingleObject(FInfo.hProcess, StartTimeoutMs) != WAIT_OBJECT_0) return -1;
        DWORD code = 0;
        GetExitCodeProcess(FInfo.hProcess, &code);
        return static_cast<int>(code);
    }
    bool Close()
    {
        HWND app = AppWindow();
        if (!app) return false;
        PostMessageA(app, WM_CLOSE, 0, 0);
        return WaitEnd() == 0;
    }

private:
    PROCESS_INFORMATION FInfo = {};
};

// Whether a comes before b in the window order, from the top.
bool Above(HWND a, HWND b)
{
    for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
        if (w == a) return true;
        if (w == b) return false;
    }
    return false;
}

std::string Caption(HWND wnd)
{
    char text[256] = "";
    GetWindowTextA(wnd, text, sizeof text);
    return text;
}

TEST(PreviousInstance, SecondMutexOfTheSameNameIsFoundAndNotHeld)
{
    const std::string name = "TapewingGuardTest" + std::to_string(GetCurrentProcessId());
    {
        TPreviousInstance first(name);
        EXPECT_FALSE(first.Found());
        EXPECT_NE(first.MutexHandle(), nullptr);
        TPreviousInstance second(name);
        EXPECT_TRUE(second.Found());
        EXPECT_EQ(second.MutexHandle(), nullptr);
        // Names are cut at 255 characters, as the title buffer holds no more.
        std::string longName = name + std::string(300, 'x');
        TPreviousInstance longFirst(longName);
        TPreviousInstance longSecond(longName.substr(0, 255) + "different tail");
        EXPECT_FALSE(longFirst.Found());
        EXPECT_TRUE(longSecond.Found());
    }
    TPreviousInstance again(name);  // released at the end of the first holder's life
    EXPECT_FALSE(again.Found());
}

TEST(PreviousInstance, TheDetectionStepRunsOnceAndNamesTheMutexAfterTheProgramFile)
{
    // This program has no application object: the executable's default title names the mutex.
    ASSERT_EQ(PreviousInstance(), nullptr);
    InitializeOneInstance();
    TPreviousInstance* detected = PreviousInstance();
    ASSERT_NE(detected, nullptr);
    EXPECT_FALSE(detected->Found());
    HANDLE marker = OpenMutexA(SYNCHRONIZE, FALSE, "oneinstance_tests");
    EXPECT_NE(marker, nullptr);
    if (marker) CloseHandle(marker);
    InitializeOneInstance();
    EXPECT_EQ(PreviousInstance(), detected);
    FinalizeOneInstance();
    EXPECT_EQ(PreviousInstance(), nullptr);
    EXPECT_EQ(OpenMutexA(SYNCHRONIZE, FALSE, "oneinstance_tests"), nullptr) << "released at the end";

    // The guard component without another copy does nothing but keep its About text.
    TSingleInstance guard(nullptr);
    TLayoutValue about;
    about.kind = TLayoutValue::kString;
    about.Str = "guard";
    EXPECT_TRUE(guard.SetProperty("About", about));
    EXPECT_EQ(guard.About(), "guard");
    EXPECT_FALSE(guard.SetProperty("Caption", about));
}

TEST(SingleInstance, SecondCopyEndsSilentlyAndTheFirstKeepsRunning)
{
    const std::string exe = ProbeCopy("a", "guardprobe.exe");
    const std::string upper = ProbeCopy("b", "gUARDPROBE.exe");
    const std::string other = ProbeCopy("c", "otherprobe.exe");

    Copy first(exe);
    ASSERT_TRUE(first.WaitReady());
    HWND firstApp = first.AppWindow();
    ASSERT_NE(firstApp, nullptr);
    HANDLE marker = OpenMutexA(SYNCHRONIZE, FALSE, "guardprobe");
    EXPECT_NE(marker, nullptr) << "the mutex is named after the default title";
    if (marker) CloseHandle(marker);

    {  // the same executable again
        Copy second(exe);
        EXPECT_EQ(second.WaitEnd(), 0);
        EXPECT_TRUE(first.Running());
        EXPECT_TRUE(IconPresent(first.IconWindow()));
        EXPECT_EQ(FindWindowA(nullptr, "Tape Wing") != nullptr, true);
    }
    {  // the shell lost the first copy's icon: starting the program again brings it back
        ASSERT_TRUE(RemoveIcon(first.IconWindow()));
        ASSERT_FALSE(IconPresent(first.IconWindow()));
        Copy second(exe);
        EXPECT_EQ(second.WaitEnd(), 0);
        bool back = false;
        for (DWORD waited = 0; !back && waited < StartTimeoutMs; waited += 250, Sleep(250))
            back = IconPresent(first.IconWindow());
        EXPECT_TRUE(back);
    }
    {  // a name that differs only in the case of later letters shares the mutex
        Copy sameName(upper);
        EXPECT_EQ(sameName.WaitEnd(), 0);
        EXPECT_TRUE(first.Running());
    }
    {  // another file name: another mutex, so both run
        Copy renamed(other);
        EXPECT_TRUE(renamed.WaitReady());
        EXPECT_TRUE(first.Running());
        EXPECT_TRUE(renamed.Running());
        EXPECT_TRUE(renamed.Close());
    }
    // Below, the second copy's own window is found first (it is the newest) and loses its caption; the second
    // search finds the first copy's window.
    {  // minimised, it is restored
        ShowWindow(firstApp, SW_MINIMIZE);
        ASSERT_TRUE(IsIconic(firstApp));
        Copy second(exe);
        EXPECT_EQ(second.WaitEnd(), 0);
        EXPECT_FALSE(IsIconic(firstApp));
        EXPECT_EQ(Caption(firstApp), "Tape Wing");
        ShowWindow(firstApp, SW_HIDE);
    }
    {  // otherwise it is raised to the top of the window order
        SetWindowPos(firstApp, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        HWND marker = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
        ASSERT_TRUE(Above(marker, firstApp));
        Copy second(exe);
        EXPECT_EQ(second.WaitEnd(), 0);
        EXPECT_TRUE(Above(firstApp, marker));
        EXPECT_FALSE(IsWindowVisible(firstApp));
        DestroyWindow(marker);
    }
    {  // the first copy's window is found first: it keeps an empty caption, and the second copy still ends
        SetWindowPos(firstApp, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        ASSERT_EQ(FindWindowA(nullptr, "Tape Wing"), firstApp);
        Copy second(exe);
        EXPECT_EQ(second.WaitEnd(), 0);
        EXPECT_TRUE(first.Running());
        EXPECT_EQ(Caption(firstApp), "");
    }
    EXPECT_TRUE(first.Close());
    EXPECT_EQ(OpenMutexA(SYNCHRONIZE, FALSE, "guardprobe"), nullptr) << "released at program end";
}

}  // namespace
