#include <gtest/gtest.h>

#include <memory>

#include "FrameworkTestSupport.h"
#include "framework/Dialogs.h"
#include "framework/FileStream.h"
#include "framework/Forms.h"
#include "framework/HiddenWindow.h"
#include "framework/Registry.h"
#include "framework/WindowHook.h"

namespace {

template <class E, class F> std::string ErrorOf(F&& f)
{
    try {
        f();
    } catch (const E& e) {
        return e.what();
    }
    return "(no error)";
}

const std::string kTestKey = "Software\\TapewingFrameworkTest" + std::to_string(GetCurrentProcessId());

}  // namespace

TEST(Registry, KeysOpenRelativeOrFromTheRootAndStringsGoInAndOut)
{
    TRegistry reg;
    EXPECT_EQ(reg.RootKey(), HKEY_CURRENT_USER);
    EXPECT_FALSE(reg.OpenKey(kTestKey, false)) << "not there yet";
    EXPECT_EQ(reg.CurrentKey(), nullptr);
    EXPECT_FALSE(reg.KeyExists(kTestKey));
    ASSERT_TRUE(reg.OpenKey(kTestKey, true));
    EXPECT_NE(reg.CurrentKey(), nullptr);
    EXPECT_TRUE(reg.KeyExists("\\" + kTestKey));
    // Relative to the open key, unless it starts with a backslash.
    ASSERT_TRUE(reg.OpenKey("Sub", true));
    EXPECT_TRUE(reg.KeyExists("\\" + kTestKey + "\\Sub"));
    EXPECT_FALSE(reg.KeyExists("Sub")) << "Sub has no Sub of its own";
    ASSERT_TRUE(reg.OpenKey("\\" + kTestKey, false));
    EXPECT_TRUE(reg.KeyExists("Sub"));

    reg.WriteString("basedir", "C:\\TAKES\\");
    reg.WriteString("empty", "");
    EXPECT_TRUE(reg.ValueExists("basedir"));
    EXPECT_FALSE(reg.ValueExists("basename"));
    EXPECT_EQ(reg.ReadString("basedir"), "C:\\TAKES\\");
    EXPECT_EQ(reg.ReadString("empty"), "");
    EXPECT_EQ(ErrorOf<ERegistryException>([&] { reg.ReadString("basename"); }), "Failed to get data for 'basename'");
    DWORD number = 5;
    RegSetValueExA(reg.CurrentKey(), "number", 0, REG_DWORD, reinterpret_cast<BYTE*>(&number), sizeof number);
    EXPECT_EQ(ErrorOf<ERegistryException>([&] { reg.ReadString("number"); }), "Invalid data type for 'number'");
    // Stored without its terminating zero: read whole all the same. An expandable string (here without its
    // zero, and growing past its stored length) comes with its environment filled in; unknown names stay.
    RegSetValueExA(reg.CurrentKey(), "bare", 0, REG_SZ, reinterpret_cast<const BYTE*>("Record"), 6);
    EXPECT_EQ(reg.ReadString("bare"), "Record");
    const std::string home = "D:\\" + std::string(300, 'h');
    SetEnvironmentVariableA("TW_SYSTEM_TESTS", home.c_str());
    const char expandable[] = "%TW_SYSTEM_TESTS%\\%TW_NOBODY%";
    RegSetValueExA(reg.CurrentKey(), "expand", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(expandable),
                   sizeof expandable - 1);
    EXPECT_EQ(reg.ReadString("expand"), home + "\\%TW_NOBODY%");
    SetEnvironmentVariableA("TW_SYSTEM_TESTS", nullptr);

    // A changed root closes the open key; without an open key there is nothing to read or write.
    reg.SetRootKey(HKEY_CURRENT_USER);
    EXPECT_EQ(reg.CurrentKey(), nullptr);
    EXPECT_FALSE(reg.ValueExists("basedir"));
    EXPECT_EQ(ErrorOf<ERegistryException>([&] { reg.ReadString("basedir"); }), "Failed to get data for 'basedir'");
    EXPECT_EQ(ErrorOf<ERegistryException>([&] { reg.WriteString("basedir", "x"); }), "Failed to set data for 'basedir'");
    {
        TRegistry reader(KEY_READ);
        ASSERT_TRUE(reader.OpenKey(kTestKey, false));
        EXPECT_EQ(reader.ReadString("basedir"), "C:\\TAKES\\");
        EXPECT_THROW(reader.WriteString("basedir", "x"), ERegistryException);
        reader.CloseKey();
        EXPECT_EQ(reader.CurrentKey(), nullptr);
    }
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, (kTestKey + "\\Sub").c_str()), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, kTestKey.c_str()), ERROR_SUCCESS);
}

TEST(FileStreams, CreateReadWriteSeekAndCut)
{
    const std::string path = TempPath("stream.bin");
    {
        TFileStream f(path, fmCreate);
        EXPECT_EQ(f.FileName(), path);
        EXPECT_NE(f.Handle(), INVALID_HANDLE_VALUE);
        f.WriteBuffer("0123456789", 10);
        EXPECT_EQ(f.Size(), 10);
        EXPECT_EQ(f.Position(), 10);
        EXPECT_EQ(f.Seek(-4, soEnd), 6);
        char buf[8] = {};
        EXPECT_EQ(f.Read(buf, 8), 4);
        EXPECT_EQ(std::string(buf, 4), "6789");
        EXPECT_EQ(f.Read(buf, 8), 0);
        EXPECT_EQ(f.Read(buf, 0), 0);
        EXPECT_EQ(f.Write(buf, 0), 0);
        EXPECT_EQ(f.Seek(2, soBeginning), 2);
        EXPECT_EQ(f.Seek(3, soCurrent), 5);
        EXPECT_TRUE(f.Truncate());
        EXPECT_EQ(f.Size(), 5);
        EXPECT_EQ(f.Seek(-1, soBeginning), -1) << "before the start: refused";
    }
    {
        TFileStream f(path, fmOpenRead);
        char buf[8] = {};
        EXPECT_EQ(f.Read(buf, 8), 5);
        EXPECT_EQ(std::string(buf, 5), "01234");
        EXPECT_EQ(f.Write("x", 1), 0) << "opened for reading";
        EXPECT_THROW(f.WriteBuffer("x", 1), EWriteError);
    }
    {
        TFileStream f(path, fmOpenWrite);
        char buf[2];
        EXPECT_EQ(f.Read(buf, 2), 0) << "opened for writing";
        EXPECT_EQ(f.Write("ab", 2), 2);
    }
    {
        TFileStream f(path, fmOpenReadWrite | fmShareExclusive);
        char buf[5] = {};
        f.ReadBuffer(buf, 5);
        EXPECT_EQ(std::string(buf, 5), "ab234");
        EXPECT_THROW(TFileStream(path, fmOpenRead), EFOpenError) << "held exclusively";
    }
    {
        TFileStream f(path, fmOpenRead | fmShareDenyWrite);
        TFileStream reader(path, fmOpenRead | fmShareDenyWrite);
        EXPECT_THROW(TFileStream(path, fmOpenReadWrite), EFOpenError) << "nobody may write";
    }
    {
        TFileStream f(path, fmOpenReadWrite | fmShareDenyNone);
        TFileStream other(path, fmOpenReadWrite | fmShareDenyNone);
        EXPECT_EQ(other.Size(), 5);
    }
    // fmCreate empties an existing file.
    {
        TFileStream f(path, fmCreate);
        EXPECT_EQ(f.Size(), 0);
    }
    DeleteFileA(path.c_str());
    const std::string missing = TempPath("no folder\\x.bin");
    std::string open = ErrorOf<EFOpenError>([&] { TFileStream f(path, fmOpenRead); });
    EXPECT_EQ(open.rfind("Cannot open file \"" + path + "\". ", 0), 0u) << open;
    EXPECT_GT(open.size(), path.size() + 22) << "with the platform's reason";
    std::string create = ErrorOf<EFCreateError>([&] { TFileStream f(missing, fmCreate); });
    EXPECT_EQ(create.rfind("Cannot create file \"" + missing + "\". ", 0), 0u) << create;

    std::string reason = SysErrorMessage(ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(reason.empty());
    EXPECT_EQ(reason.find_first_of("\r\n"), std::string::npos) << reason;
    EXPECT_NE(reason.back(), '.');
    EXPECT_GT(reason.size(), 4u) << "the platform's words are kept";
    EXPECT_EQ(SysErrorMessage(0x2000FFFF), "System error 536936447");
}

TEST(MessageBoxes, CaptionsIconsAndButtonsByKind)
{
    ClearShown();
    BoxAnswer = IDNO;
    ShowMessage("Saved");
    EXPECT_EQ(MessageDlg("Sure?", mtConfirmation, mbYes | mbNo), IDNO);
    MessageDlg("w", mtWarning, mbYes | mbNo | mbCancel);
    MessageDlg("e", mtError, mbOK | mbCancel);
    MessageDlg("i", mtInformation, mbAbort | mbRetry | mbIgnore);
    MessageDlg("c", mtCustom, mbRetry | mbCancel);
    MessageDlg("o", mtError, mbOK);
    MessageDlg("y", mtError, mbYes);
    BoxAnswer = IDOK;
    ASSERT_EQ(ShownBoxes().size(), 8u);
    const auto& b = ShownBoxes();
    EXPECT_EQ(b[0].Text, "Saved");
    EXPECT_EQ(b[0].Caption, "Framework Tests");
    EXPECT_EQ(b[0].Flags, static_cast<UINT>(MB_OK));
    EXPECT_EQ(b[1].Caption, "Confirm");
    EXPECT_EQ(b[1].Flags, static_cast<UINT>(MB_ICONQUESTION | MB_YESNO));
    EXPECT_EQ(b[2].Caption, "Warning");
    EXPECT_EQ(b[2].Flags, static_cast<UINT>(MB_ICONWARNING | MB_YESNOCANCEL));
    EXPECT_EQ(b[3].Caption, "Error");
    EXPECT_EQ(b[3].Flags, static_cast<UINT>(MB_ICONERROR | MB_OKCANCEL));
    EXPECT_EQ(b[4].Caption, "Information");
    EXPECT_EQ(b[4].Flags, static_cast<UINT>(MB_ICONINFORMATION | MB_ABORTRETRYIGNORE));
    EXPECT_EQ(b[5].Caption, "Framework Tests");
    EXPECT_EQ(b[5].Flags, static_cast<UINT>(MB_RETRYCANCEL));
    EXPECT_EQ(b[6].Flags, static_cast<UINT>(MB_ICONERROR | MB_OK));
    EXPECT_EQ(b[7].Flags, static_cast<UINT>(MB_ICONERROR | MB_OK));
    ClearShown();
}

namespace {
struct TBoxSeen {
    std::string Caption, Text;
    HWND Owner = nullptr;
};
TBoxSeen g_box;

// Runs inside the message box's own loop: reads the box, then presses its button.
void CALLBACK ReadBox(HWND, UINT, UINT_PTR id, DWORD)
{
    HWND box = nullptr;
    for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
        char cls[16] = "";
        GetClassNameA(w, cls, sizeof cls);
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        if (pid == GetCurrentProcessId() && std::string(cls) == "#32770" && IsWindowVisible(w)) box = w;
    }
    if (!box) return;  // not up yet: the timer comes again
    KillTimer(nullptr, id);
    char text[128] = "";
    GetWindowTextA(box, text, sizeof text);
    g_box.Caption = text;
    g_box.Owner = GetWindow(box, GW_OWNER);
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);  // the static text of a message box
    g_box.Text = text;
    PostMessageA(box, WM_COMMAND, IDOK, 0);
}
}  // namespace

TEST(MessageBoxes, WithoutAReplacementTheBoxBelongsToTheActiveWindowOrTheApplication)
{
    SetMessageBoxHook(nullptr);
    g_box = {};
    SetTimer(nullptr, 0, 30, &ReadBox);
    EXPECT_EQ(ShowMessageBox("Shown for real", "Box", MB_OK), IDOK);
    EXPECT_EQ(g_box.Caption, "Box");
    EXPECT_EQ(g_box.Text, "Shown for real");
    EXPECT_EQ(g_box.Owner, Application->Handle());

    TOwnedForm<TForm> form(new TForm(Application));
    form->SetClientSize(100, 40);
    form->InitLayout();
    form->Show();
    g_box = {};
    SetTimer(nullptr, 0, 30, &ReadBox);
    ShowMessageBox("Over the form", "Box", MB_OK);
    EXPECT_EQ(g_box.Owner, form->Handle());
    form->Hide();
    RecordMessageBoxes();
}

namespace {
int g_accessFaults = 0;
LONG CALLBACK CountAccessFaults(EXCEPTION_POINTERS* info)
{
    if (info->ExceptionRecord->ExceptionCode == EXCEPTION_ACCESS_VIOLATION) ++g_accessFaults;
    return EXCEPTION_CONTINUE_SEARCH;
}
}  // namespace

TEST(HiddenWindows, MessagesGoToTheHandlerAndTheRestToThePlatform)
{
    std::vector<UINT> seen;
    auto window = std::make_unique<THiddenWindow>([&](UINT msg, WPARAM wParam, LPARAM, LRESULT& result) {
        if (msg == WM_APP + 1) {
            seen.push_back(msg);
            result = static_cast<LRESULT>(wParam) * 2;
            return true;
        }
        if (msg == WM_APP + 2) throw Exception("handler failed");
        return false;
    });
    HWND wnd = window->Handle();
    ASSERT_TRUE(IsWindow(wnd));
    EXPECT_FALSE(IsWindowVisible(wnd));
    EXPECT_EQ(GetParent(wnd), nullptr);
    EXPECT_EQ(SendMessageA(wnd, WM_APP + 1, 21, 0), 42);
    EXPECT_EQ(SendMessageA(wnd, WM_GETTEXTLENGTH, 0, 0), 0);
    ClearShown();
    EXPECT_EQ(SendMessageA(wnd, WM_APP + 2, 0, 0), 0);
    EXPECT_EQ(ShownErrors(), std::vector<std::string>{"handler failed"});
    ClearShown();
    // Two windows, each with its own handler.
    int other = 0;
    THiddenWindow second([&](UINT msg, WPARAM, LPARAM, LRESULT&) {
        if (msg == WM_APP + 1) ++other;
        return false;
    });
    SendMessageA(second.Handle(), WM_APP + 1, 0, 0);
    EXPECT_EQ(other, 1);
    EXPECT_EQ(seen.size(), 1u);
    // Its last messages come after the object has let go of the window: they must not reach for it. (The
    // platform here swallows a fault inside a window's destruction, so it is counted.)
    g_accessFaults = 0;
    PVOID counting = AddVectoredExceptionHandler(1, CountAccessFaults);
    window.reset();
    RemoveVectoredExceptionHandler(counting);
    EXPECT_EQ(g_accessFaults, 0);
    EXPECT_FALSE(IsWindow(wnd));
    THiddenWindow silent(nullptr);
    EXPECT_EQ(SendMessageA(silent.Handle(), WM_APP + 1, 21, 0), 0);
}

namespace {
int g_underneath = 0;
LRESULT CALLBACK Underneath(HWND wnd, UINT msg, WPARAM w, LPARAM l)
{
    if (msg == WM_APP + 5) return ++g_underneath;
    return DefWindowProcA(wnd, msg, w, l);
}
HWND MakeWindow()
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = &Underneath;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "FrameworkHookTarget";
    RegisterClassA(&wc);
    return CreateWindowExA(0, wc.lpszClassName, "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, wc.hInstance, nullptr);
}
}  // namespace

TEST(WindowHooks, AHookSeesMessagesFirstAndAnswersOrPassesThemOn)
{
    HWND wnd = MakeWindow();
    const int before = TWindowHook::InUse();
    g_underneath = 0;
    std::vector<UINT> seen;
    TWindowHook hook;
    EXPECT_FALSE(hook.Installed());
    EXPECT_EQ(hook.Saved(), nullptr);
    hook.Install(wnd, [&](UINT msg, WPARAM wParam, LPARAM, LRESULT& result) {
        if (msg == WM_APP + 5) seen.push_back(msg);
        if (msg == WM_APP + 5 && wParam == 1) {
            result = 77;
            return true;
        }
        if (msg == WM_APP + 6) throw Exception("hook failed");
        return false;
    });
    EXPECT_TRUE(hook.Installed());
    EXPECT_EQ(hook.Saved(), &Underneath);
    EXPECT_EQ(TWindowHook::InUse(), before + 1);
    EXPECT_EQ(SendMessageA(wnd, WM_APP + 5, 0, 0), 1) << "passed on";
    EXPECT_EQ(SendMessageA(wnd, WM_APP + 5, 1, 0), 77) << "answered by the hook";
    EXPECT_EQ(g_underneath, 1);
    EXPECT_EQ(seen.size(), 2u);
    ClearShown();
    SendMessageA(wnd, WM_APP + 6, 0, 0);
    EXPECT_EQ(ShownErrors(), std::vector<std::string>{"hook failed"});
    ClearShown();

    // Installed again elsewhere: the first window is let go.
    HWND other = MakeWindow();
    hook.Install(other, [](UINT, WPARAM, LPARAM, LRESULT&) { return false; });
    EXPECT_EQ(reinterpret_cast<WNDPROC>(GetWindowLongPtrA(wnd, GWLP_WNDPROC)), &Underneath);
    EXPECT_EQ(TWindowHook::InUse(), before + 1);
    hook.Remove();
    EXPECT_FALSE(hook.Installed());
    EXPECT_EQ(reinterpret_cast<WNDPROC>(GetWindowLongPtrA(other, GWLP_WNDPROC)), &Underneath);
    EXPECT_EQ(TWindowHook::InUse(), before);
    hook.Remove();

    // A hook whose window goes first leaves nothing behind.
    {
        TWindowHook doomed;
        doomed.Install(other, [](UINT, WPARAM, LPARAM, LRESULT&) { return false; });
        DestroyWindow(other);
        EXPECT_EQ(TWindowHook::InUse(), before + 1);
    }
    EXPECT_EQ(TWindowHook::InUse(), before);

    // There are only so many hook procedures.
    std::vector<std::unique_ptr<TWindowHook>> hooks;
    for (int i = before; i < TWindowHook::Capacity(); ++i) {
        hooks.push_back(std::make_unique<TWindowHook>());
        hooks.back()->Install(wnd, [](UINT, WPARAM, LPARAM, LRESULT&) { return false; });
    }
    EXPECT_EQ(TWindowHook::InUse(), TWindowHook::Capacity());
    TWindowHook oneTooMany;
    EXPECT_EQ(ErrorOf<EOutOfResources>([&] {
                  oneTooMany.Install(wnd, [](UINT, WPARAM, LPARAM, LRESULT&) { return false; });
              }),
              "Too many window hooks");
    EXPECT_FALSE(oneTooMany.Installed());
    g_underneath = 0;
    EXPECT_EQ(SendMessageA(wnd, WM_APP + 5, 0, 0), 1) << "through every hook, once underneath";
    hooks.clear();  // newest last: each leaves as a pass-through until the top one goes
    EXPECT_EQ(TWindowHook::InUse(), before);
    EXPECT_EQ(reinterpret_cast<WNDPROC>(GetWindowLongPtrA(wnd, GWLP_WNDPROC)), &Underneath);
    DestroyWindow(wnd);
    ClearShown();
}

TEST(WindowHooks, AHookMayGoWhileItsHandlerRuns)
{
    HWND wnd = MakeWindow();
    TWindowHook hook;
    int calls = 0;
    hook.Install(wnd, [&](UINT msg, WPARAM, LPARAM, LRESULT& result) {
        if (msg != WM_APP + 5) return false;
        ++calls;
        hook.Remove();
        result = 9;
        return true;
    });
    EXPECT_EQ(SendMessageA(wnd, WM_APP + 5, 0, 0), 9);
    g_underneath = 0;
    EXPECT_EQ(SendMessageA(wnd, WM_APP + 5, 0, 0), 1);
    EXPECT_EQ(calls, 1);
    DestroyWindow(wnd);
}

TEST(Application, ClosingTheMainFormHidesItAndAsksTheLoopToEnd)
{
    ASSERT_EQ(Application->MainForm(), nullptr);
    auto* form = Application->CreateForm<TForm>();
    ASSERT_EQ(Application->MainForm(), form);
    form->SetClientSize(100, 40);
    form->Show();
    SendMessageA(Application->Handle(), WM_CLOSE, 0, 0);  // as the taskbar's close does
    EXPECT_FALSE(IsWindowVisible(form->Handle()));
    MSG quit;
    ASSERT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the quit message is posted";
    EXPECT_EQ(quit.wParam, 0u);
    EXPECT_TRUE(IsWindow(form->Handle())) << "the forms go after the loop";
    delete form;
    EXPECT_EQ(Application->MainForm(), nullptr);
}

TEST(Application, RunShowsTheMainFormWhenAskedAndEndsWithTheQuitMessage)
{
    // The loop ends the application's life, so it runs in a process of its own (see main).
    char exe[MAX_PATH];
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    const std::string out = TempPath("run.txt");
    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    HANDLE file = CreateFileA(out.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = si.hStdError = file;
    PROCESS_INFORMATION pi = {};
    std::string cmd = "\"" + std::string(exe) + "\" --run-probe";
    ASSERT_TRUE(CreateProcessA(exe, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi));
    CloseHandle(file);
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, 120000), WAIT_OBJECT_0);
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    EXPECT_EQ(code, 0u);
    TFileStream read(out, fmOpenRead);
    std::string text(static_cast<std::size_t>(read.Size()), '\0');
    read.ReadBuffer(text.data(), static_cast<long>(text.size()));
    std::erase(text, '\r');
    // Without a title of its own the application is named after its file.
    EXPECT_EQ(text, "framework_tests hidden: ended\nframework_tests shown: show ended\nno application\n");
}
