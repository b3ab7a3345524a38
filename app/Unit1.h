// The main window: at the same time the options window and the owner of the tray icon and its menu.
// It holds the two settings in its edit fields and turns a click on the tray icon into a take.
#pragma once

#include <functional>
#include <string>

#include "framework/Forms.h"
#include "framework/Menus.h"
#include "framework/StdCtrls.h"

class TTrayIcon;

class TForm1 : public TForm {
public:
    explicit TForm1(TComponent* AOwner);

    TEdit* Edit1 = nullptr;  // the folder
    TEdit* Edit2 = nullptr;  // the base name
    TButton* Button1 = nullptr;
    TPopupMenu* PopupMenu1 = nullptr;
    TTrayIcon* TrayIcon = nullptr;

    // Full path of the take being recorded; read by the recording window.
    std::string TakeFileName;

    void FormCreate(TObject* Sender);
    void FormClose(TObject* Sender, TCloseAction& Action);
    void FormDestroy(TObject* Sender);
    void FormShow(TObject* Sender);
    void Selectdirectory1Click(TObject* Sender);
    void About1Click(TObject* Sender);
    void Quit1Click(TObject* Sender);
    void Button1Click(TObject* Sender);
    void TrayIconClick(TObject* Sender);

    // The first free take path in folder for base, or "" when every number is taken (the program then ends).
    std::string NextTakeName(const std::string& folder, const std::string& base);
    // Runs one take: names it, disables the tray icon and shows the recording window modally.
    void StartTake(const std::string& folder, const std::string& base);

    // The recording window, shown modally for a take (set once it exists).
    std::function<int()> ShowRecordingWindow;
    // Shows the About window without blocking.
    std::function<void()> ShowAbout;
    // Where the folder tree, once present, takes part in showing and clicking.
    std::function<void(const std::string& folder)> OnOpenFolder;

    // Ends the program the way "&Quit" does, so the settings are written.
    void QuitProgram();
};

extern TForm1* Form1;

// Take numbers run from 1 to this.
constexpr int MaxTakeNumber = 999;
