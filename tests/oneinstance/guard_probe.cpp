// A stand-in for the program's start that uses the single-instance guard as tapewing.exe does: detection
// before the title is set, the guard component on the first form, a tray icon, the message loop.
#include <windows.h>
#include <shellapi.h>

#include "controls/tray/OneInstance.h"
#include "framework/Forms.h"

namespace {

class TProbeForm : public TForm {
public:
    explicit TProbeForm(TComponent* AOwner) : TForm(AOwner, "TPROBEFORM")
    {
        Publish<TNotifyEvent>("FormCreate", [this](TObject*) { AddIcon(); });
        Publish<TNotifyEvent>("FormDestroy", [this](TObject*) { RemoveIcon(); });
    }

private:
    // The icon's window carries a caption the test can find.
    void AddIcon()
    {
        FIconWindow = CreateWindowExA(0, "STATIC", "guard probe tray", 0, 0, 0, 0, 0, nullptr, nullptr,
                                      GetModuleHandleA(nullptr), nullptr);
        NOTIFYICONDATAA data = IconData();
        data.uFlags = NIF_ICON | NIF_TIP | NIF_MESSAGE;
        data.uCallbackMessage = 0x0800;
        data.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
        lstrcpyA(data.szTip, "guard probe");
        Shell_NotifyIconA(NIM_ADD, &data);
    }
    void RemoveIcon()
    {
        if (!FIconWindow) return;
        NOTIFYICONDATAA data = IconData();
        Shell_NotifyIconA(NIM_DELETE, &data);
        DestroyWindow(FIconWindow);
        FIconWindow = nullptr;
    }
    NOTIFYICONDATAA IconData() const
    {
        NOTIFYICONDATAA data = {};
        data.cbSize = 88;
        data.hWnd = FIconWindow;
        data.uID = 1;
        return data;
    }
    HWND FIconWindow = nullptr;
};

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    int result = 0;
    try {
        TApplication application;
        TScreen screen;
        RegisterOneInstanceClasses();
        Application->Initialize();
        InitializeOneInstance();
        Application->SetTitle("Tape Wing");
        Application->ShowMainForm = false;
        Application->CreateForm<TProbeForm>();
        Application->Run();
    } catch (const std::exception&) {
        result = 1;
    }
    FinalizeOneInstance();
    return result;
}
