#include "app/Unit1.h"

#include "app/FolderRules.h"
#include "app/RegWork.h"
#include "app/TakeName.h"
#include "app/aboutform.h"
#include "controls/dirtree/DirTree.h"
#include "controls/tray/OneInstance.h"
#include "controls/tray/SysTray.h"
#include "framework/Dialogs.h"

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
    // A hand-made value may lack the closing backslash; the take paths would then land beside the folder.
    Edit1->SetText(WithTrailingBackslash(ReadSetting("basedir", kDefaultFolder)));
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
    if (!FolderExists(Edit1->Text())) {
        MessageDlg(Edit1->Text() + " does not exist!", mtError, mbOK);
        return;
    }
    if (const std::string problem = BaseNameProblem(Edit1->Text(), Edit2->Text()); !problem.empty()) {
        MessageDlg(problem, mtError, mbOK);
        return;
    }
    TrayIcon->HideMainWindow();
    TrayIcon->SetEnabled(true);
}

void TForm1::SaveSettings(bool tellFailures)
{
    // A write that fails is shown, but never keeps the user in a program that cannot end. A key that cannot
    // be opened for writing (made read-only by an administrator) fails each value the same way.
    for (const auto& [name, value] : {std::pair<const char*, std::string>{"basedir", Edit1->Text()},
                                      std::pair<const char*, std::string>{"basename", Edit2->Text()}}) {
        try {
            if (!RegWriteString(HKEY_CURRENT_USER, SettingsKey, name, value))
                throw ERegistryException(FormatStr("Failed to set data for '%s'", {name}));
        } catch (const Exception&) {
            if (tellFailures) Application->HandleException(nullptr);
        }
    }
}

void TForm1::FormClose(TObject* Sender, TCloseAction& Action)
{
    SaveSettings(true);
    Action = caFree;
}

void TForm1::WndProc(TMessage& Message)
{
    // A log-off or shut-down without Quit keeps the settings too (only once the session really ends).
    // Nothing is shown then: a message box would only hold the session's end up.
    if (Message.Msg == WM_ENDSESSION && Message.WParam) SafeCall([this] { SaveSettings(false); });
    TForm::WndProc(Message);
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
    return FirstFreeTake(TakeFolder(folder), base);
}

std::string TForm1::TakeFolder(const std::string& folder)
{
    if (FolderExists(folder)) return folder;
    ShowMessage(folder + " not found! Using C:\\");
    return "c:\\";
}

std::string TForm1::FirstFreeTake(const std::string& dir, const std::string& base)
{
    for (int n = 1; n <= MaxTakeNumber; ++n) {
        std::string path = dir + TakeFileNameFor(base, n);
        if (!FileExists(path)) return path;
    }
    ShowMessage("All " + std::to_string(MaxTakeNumber) + " take numbers for the base name \"" + ShortForDisplay(base) +
                "\" are used in " + ShortForDisplay(dir, 120) +
                ".\n\nChoose another folder or base name in Options, or move some takes away.");
    return "";
}

void TForm1::StartTake(const std::string& folder, const std::string& base)
{
    // Off before anything is asked or shown: a click during the folder's message must not start a second take.
    TrayIcon->SetEnabled(false);
    struct ReEnable {
        TTrayIcon* icon;
        ~ReEnable() { icon->SetEnabled(true); }
    } reenable{TrayIcon};
    // The stored base name may never have passed OK (it can be edited in the registry).
    if (const std::string problem = BaseNameProblem(folder, base); !problem.empty()) {
        ShowMessage(problem + "\n\nNo take was started; the base name can be changed in Options.");
        return;
    }
    const std::string dir = TakeFolder(folder);
    for (int attempt = 0; attempt < MaxTakeNumber; ++attempt) {
        const std::string path = FirstFreeTake(dir, base);
        if (path.empty() || !RecordTake) return;
        const TTakeResult result = RecordTake(path);
        // Another program made that file since the search: the next free number. (Something else of that
        // name, such as a folder, cannot be recorded over: that is a take that could not start.)
        if (result.End == TTakeEnd::NameTaken && FileExists(path)) continue;
        if (result.End == TTakeEnd::StartFailed || result.End == TTakeEnd::NameTaken)
            ShowMessageBox("Recording could not start.\n\n" + result.Failure + "\n\nNothing was saved.",
                           Application->Title(), MB_OK | MB_ICONERROR);
        return;
    }
}
