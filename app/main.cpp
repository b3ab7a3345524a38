// Program start: application object, single-instance detection, title, the windows in their order, the
// message loop.
#include <windows.h>

#include "app/ProgramClasses.h"
#include "app/Unit1.h"
#include "app/aboutform.h"
#include "app/form_rec.h"
#include "controls/tray/OneInstance.h"
#include "framework/Dialogs.h"
#include "framework/Forms.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    int result = 0;
    try {
        TApplication application;
        TScreen screen;
        RegisterProgramClasses();

        Application->Initialize();
        // Before any window of our own: the title is still the executable's default one here.
        InitializeOneInstance();
        Application->SetTitle("Tape Wing");
        Application->ShowMainForm = false;
        TForm1* options = Application->CreateForm<TForm1>();
        // A second copy has handed over to the first by now and only has to end.
        if (!(PreviousInstance() && PreviousInstance()->Found())) {
            Application->CreateForm<TAboutBox>();
            TForm2* recording = Application->CreateForm<TForm2>();
            options->RecordTake = [recording](const std::string& path) { return recording->RecordTake(path); };
        }
        Application->Run();
    } catch (const std::exception& e) {
        ShowMessageBox(e.what(), "Tape Wing", MB_OK | MB_ICONSTOP);
        result = 1;
    }
    FinalizeOneInstance();
    return result;
}
