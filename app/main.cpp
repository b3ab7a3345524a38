// Program start: application object, title, the windows in their order, the message loop.
#include <windows.h>

#include "app/Unit1.h"
#include "controls/tray/SysTray.h"
#include "framework/Dialogs.h"
#include "framework/Forms.h"
#include "framework/StandardClasses.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    try {
        TApplication application;
        TScreen screen;
        RegisterStandardClasses();
        RegisterTrayClasses();

        Application->Initialize();
        Application->SetTitle("Tape Wing");
        Application->ShowMainForm = false;
        Application->CreateForm<TForm1>();
        Application->Run();
    } catch (const std::exception& e) {
        ShowMessageBox(e.what(), "Tape Wing", MB_OK | MB_ICONSTOP);
        return 1;
    }
    return 0;
}
