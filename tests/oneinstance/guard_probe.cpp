// A stand-in for the program's start that uses the single-instance guard as tapewing.exe does: detection
// before the title is set, the guard component on the first form, the tray icon component, the message loop.
#include <windows.h>

#include "controls/tray/OneInstance.h"
#include "controls/tray/SysTray.h"
#include "framework/Forms.h"

namespace {

class TProbeForm : public TForm {
public:
    explicit TProbeForm(TComponent* AOwner) : TForm(AOwner, "TPROBEFORM")
    {
        Field("TrayIcon1", FTrayIcon);
        Publish<TNotifyEvent>("FormCreate", [this](TObject*) { NameIconWindow(); });
    }

private:
    // The program's tray icon component, whose window carries a caption the test can find.
    void NameIconWindow() { SetWindowTextA(FTrayIcon->NotifyWindow(), "guard probe tray"); }
    TTrayIcon* FTrayIcon = nullptr;
};

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    int result = 0;
    try {
        TApplication application;
        TScreen screen;
        RegisterOneInstanceClasses();
        RegisterTrayClasses();
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
