// The main window: at the same time the options window and the owner of the tray icon and its menu.
// It holds the two settings in its edit fields and turns a click on the tray icon into a take.
#pragma once

#include <functional>
#include <string>

#include "app/TakeResult.h"
#include "framework/Forms.h"
#include "framework/Menus.h"
#include "framework/StdCtrls.h"

class TTrayIcon;
class TDirTree;
class TTreeNode;
class TSingleInstance;

class TForm1 : public TForm {
public:
    explicit TForm1(TComponent* AOwner);

    TDirTree* DirTree1 = nullptr;
    TEdit* Edit1 = nullptr;  // the folder
    TEdit* Edit2 = nullptr;  // the base name
    TButton* Button1 = nullptr;
    TPopupMenu* PopupMenu1 = nullptr;
    TSingleInstance* SingleInstance1 = nullptr;
    TTrayIcon* TrayIcon = nullptr;

    void FormCreate(TObject* Sender);
    void FormClose(TObject* Sender, TCloseAction& Action);
    void FormCloseQuery(TObject* Sender, bool& CanClose);
    void FormDestroy(TObject* Sender);
    void FormShow(TObject* Sender);
    void Selectdirectory1Click(TObject* Sender);
    void About1Click(TObject* Sender);
    void Quit1Click(TObject* Sender);
    void Button1Click(TObject* Sender);
    void TrayIconClick(TObject* Sender);
    void DirTree1Click(TObject* Sender);
    void DirTree1Change(TObject* Sender, TTreeNode* Node);

    // The first free take path in folder for base, or "" when every number is taken (the user is told).
    std::string NextTakeName(const std::string& folder, const std::string& base);
    // Runs one take: disables the tray icon, names the take and shows the recording window modally; tells the
    // user when the take cannot start.
    void StartTake(const std::string& folder, const std::string& base);

    // Records one take into the path given and tells how it ended: the recording window's RecordTake, handed
    // over at start-up (tests hand their own). Unset, a click on the icon starts no take.
    std::function<TTakeResult(const std::string& path)> RecordTake;

    // Ends the program the way "&Quit" does, so the settings are written.
    void QuitProgram();
    // Writes the two fields to the settings store (at Quit and when the session ends); failures go to the
    // default error display when tellFailures is set.
    void SaveSettings(bool tellFailures);

    void WndProc(TMessage& Message) override;

private:
    // The folder for a take: folder itself, or "c:\" (with a message) when it does not exist.
    std::string TakeFolder(const std::string& folder);
    // The first free take path in dir, or "" (with a message) when every number is taken.
    std::string FirstFreeTake(const std::string& dir, const std::string& base);

    // Set only while the program itself ends: every other close request (Alt+F4, a close message) is refused.
    bool FQuitting = false;
};
