#include "app/Unit1.h"

#include "app/RegWork.h"
#include "app/aboutform.h"
#include "app/form_rec.h"
#include "controls/dirtree/DirTree.h"
#include "controls/tray/OneInstance.h"
#include "controls/tray/SysTray.h"
#include "framework/Dialogs.h"

TForm1* Form1 = nullptr;

namespace {
const char kDefaultFolder[] = "C:\\";
const char kDefaultBaseName[] = "Record";

// Reads one setting; a value the store cannot give (wrong type, unreadable) is reported through the default
// error display and the field gets its default, so start-up always finishes and the icon works.
std::string ReadSetting(const std::string& name, const std::string& defaultValue)
{
    try {
        return RegReadString(HKEY_CURRENT_USER, SettingsKey, name, defaultValue);
    } catch (const Exception&) {
        Application->HandleException(nullptr);
        return defaultValue;
    }
}
}  // namespace

TForm1::TForm1(TComponent* AOwner) : TForm(AOwner, "TFORM1")
{
    Form1 = this;
    Field("DirTree1", DirTree1);
    Field("Edit1", Edit1);
    Field("Edit2", Edit2);
    Field("Button1", Button1);
    Field("PopupMenu1", PopupMenu1);
    Field("SingleInstance1", SingleInstance1);
    Field("TrayIcon", TrayIcon);
    Publish<TNotifyEvent>("FormCreate", [this](TObject* s) { FormCreate(s); });
    Publish<TCloseEvent>("FormClose", [this](TObject* s, TCloseAction& a) { FormClose(s, a); });
    Publish<TCloseQueryEvent>("FormCloseQuery", [this](TObject* s, bool& c) { FormCloseQuery(s, c); });
    Publish<TNotifyEvent>("FormDestroy", [this](TObject* s) { FormDestroy(s); });
    Publish<TNotifyEvent>("FormShow", [this](TObject* s) { FormShow(s); });
    Publish<TNotifyEvent>("Selectdirectory1Click", [this](TObject* s) { Selectdirectory1Click(s); });
    Publish<TNotifyEvent>("About1Click", [this](TObject* s) { About1Click(s); });
    Publish<TNotifyEvent>("Quit1Click", [this](TObject* s) { Quit1Click(s); });
    Publish<TNotifyEvent>("Button1Click", [this](TObject* s) { Button1Click(s); });
    Publish<TNotifyEvent>("TrayIconClick", [this](TObject* s) { TrayIconClick(s); });
    Publish<TNotifyEvent>("DirTree1Click", [this](TObject* s) { DirTree1Click(s); });
    Publish<TTVChangedEvent>("DirTree1Change", [this](TObject* s, TTreeNode* n) { DirTree1Change(s, n); });
}

void TForm1::FormCreate(TObject* Sender)
{
    if (!RegKeyExists(HKEY_CURRENT_USER, SettingsKey)) {
        RegWriteString(HKEY_CURRENT_USER, SettingsKey, "basedir", kDefaultFolder);
        RegWriteString(HKEY_CURRENT_USER, SettingsKey, "basename", kDefaultBaseName);
    }
    Edit1->SetText(ReadSetting("basedir", kDefaultFolder));
    Edit2->SetText(ReadSetting("basename", kDefaultBaseName));
    TrayIcon->SetEnabled(true);
}

void TForm1::FormShow(TObject* Sender)
{
    if (DirTree1) DirTree1->OpenPath(Edit1->Text());
}

void TForm1::DirTree1Click(TObject* Sender)
{
    if (DirTree1) Edit1->SetText(DirTree1->SelectedPath());
}

void TForm1::DirTree1Change(TObject* Sender, TTreeNode* Node)
{
    // The field follows the selection as the user moves it, by mouse or keys. The selection that showing
    // the window makes (FormShow runs before the window appears) and the tree's own refreshes while it is
    // hidden leave the folder as it was.
    if (TDirEntry* e = TDirTree::EntryOf(Node); e && IsWindowVisible(Handle())) Edit1->SetText(e->Path);
}

void TForm1::Selectdirectory1Click(TObject* Sender)
{
    TrayIcon->SetEnabled(false);
    TrayIcon->ShowMainWindow();
}

void TForm1::About1Click(TObject* Sender)
{
    ShowAboutBox();
}

void TForm1::Quit1Click(TObject* Sender) { QuitProgram(); }

void TForm1::QuitProgram()
{
    FQuitting = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{FQuitting};
    Close();
}

void TForm1::FormCloseQuery(TObject* Sender, bool& CanClose)
{
    // The options window is left by OK, the program by "&Quit": Alt+F4 or a close message must not end
    // the program behind the user's back.
    CanClose = FQuitting;
}

void TForm1::Button1Click(TObject* Sender)
{
    if (FolderExists(Edit1->Text())) {
        TrayIcon->HideMainWindow();
        TrayIcon->SetEnabled(true);
    } else {
        MessageDlg(Edit1->Text() + " does not exist!", mtError, mbOK, 0);
    }
}

void TForm1::FormClose(TObject* Sender, TCloseAction& Action)
{
    // A write that fails is shown, but never keeps the user in a program that cannot end.
    for (const auto& [name, value] : {std::pair<const char*, std::string>{"basedir", Edit1->Text()},
                                      std::pair<const char*, std::string>{"basename", Edit2->Text()}}) {
        try {
            RegWriteString(HKEY_CURRENT_USER, SettingsKey, name, value);
        } catch (const Exception&) {
            Application->HandleException(nullptr);
        }
    }
    Action = caFree;
}

void TForm1::FormDestroy(TObject* Sender)
{
    if (TrayIcon) TrayIcon->SetEnabled(false);
}

void TForm1::TrayIconClick(TObject* Sender)
{
    std::string base = Edit2->Text();
    std::string folder = Edit1->Text();
    StartTake(folder, base);
}

std::string TForm1::NextTakeName(const std::string& folder, const std::string& base)
{
    std::string dir = folder;
    if (!FolderExists(dir)) {
        ShowMessage(dir + " not found! Using C:\\");
        dir = "c:\\";
    }
    for (int n = 1; n <= MaxTakeNumber; ++n) {
        std::string path = dir + base + std::to_string(n) + ".wav";
        if (!FileExists(path)) return path;
    }
    // Every number is taken: say so and end the way "&Quit" does, so the settings are kept.
    ShowMessage("Error creating file?");
    QuitProgram();
    return "";
}

void TForm1::StartTake(const std::string& folder, const std::string& base)
{
    std::string path = NextTakeName(folder, base);
    if (path.empty()) return;
    TakeFileName = path;
    TrayIcon->SetEnabled(false);
    struct ReEnable {
        TTrayIcon* icon;
        ~ReEnable() { icon->SetEnabled(true); }
    } reenable{TrayIcon};
    if (ShowRecordingWindow)
        ShowRecordingWindow();
    else if (Form2)
        Form2->ShowModal();
}
