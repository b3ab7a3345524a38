#include "controls/tray/OneInstance.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

#include "framework/Forms.h"

namespace {

constexpr std::size_t TitleBufferSize = 256;

// The title as the platform calls see it: zero-terminated, at most 255 characters.
void CopyTitle(const std::string& title, char (&buffer)[TitleBufferSize])
{
    std::size_t n = std::min(title.size(), TitleBufferSize - 1);
    std::memcpy(buffer, title.data(), n);
    buffer[n] = '\0';
}

std::unique_ptr<TPreviousInstance> GPreviousInstance;

}  // namespace

TPreviousInstance::TPreviousInstance(const std::string& name)
{
    char buffer[TitleBufferSize];
    CopyTitle(name, buffer);
    HANDLE mutex = CreateMutexA(nullptr, TRUE, buffer);
    if (mutex && GetLastError() == ERROR_ALREADY_EXISTS) {
        // Someone else marks the program as running; this copy keeps nothing.
        FFound = true;
        CloseHandle(mutex);
    } else {
        // A new mutex stays held until program end; no mutex at all means no guard.
        FMutex = mutex;
    }
}

TPreviousInstance::~TPreviousInstance()
{
    if (FMutex) CloseHandle(FMutex);
}

void InitializeOneInstance()
{
    if (GPreviousInstance) return;
    std::string title = Application ? Application->Title() : std::string();
    if (title.empty()) {
        char path[MAX_PATH] = "";
        GetModuleFileNameA(nullptr, path, MAX_PATH);
        title = DefaultTitleFromPath(path);
    }
    GPreviousInstance = std::make_unique<TPreviousInstance>(title);
}

void FinalizeOneInstance() { GPreviousInstance.reset(); }

TPreviousInstance* PreviousInstance() { return GPreviousInstance.get(); }

unsigned ShowRunningCopyMessage()
{
    static const UINT message = RegisterWindowMessageA("Tapewing show running copy");
    return message;
}

TSingleInstance::TSingleInstance(TComponent* AOwner) : TComponent(AOwner)
{
    if (!GPreviousInstance || !GPreviousInstance->Found()) return;
    char title[TitleBufferSize];
    CopyTitle(Application ? Application->Title() : std::string(), title);
    // Both copies' application windows carry the title. Blank the first one found so that the second
    // search finds the other one.
    HWND wnd = FindWindowA(nullptr, title);
    if (wnd) SetWindowTextA(wnd, "");
    wnd = FindWindowA(nullptr, title);
    if (wnd) {
        if (IsIconic(wnd))
            ShowWindow(wnd, SW_RESTORE);
        else
            BringWindowToTop(wnd);
        // The running copy lives in the notification area; if its icon was lost, this start is how the
        // user asks for it back.
        PostMessageA(wnd, ShowRunningCopyMessage(), 0, 0);
    }
    if (Application) Application->Terminate();
}

bool TSingleInstance::SetProperty(const std::string& name, const TLayoutValue& value)
{
    if (name == "About") {
        SetAbout(value.AsString());
        return true;
    }
    return TComponent::SetProperty(name, value);
}

void RegisterOneInstanceClasses() { RegisterComponentClass<TSingleInstance>("TSingleInstance"); }
