#include "framework/Dialogs.h"

#include "framework/Forms.h"

namespace {
TMessageBoxHook& Hook()
{
    static TMessageBoxHook hook;
    return hook;
}
}  // namespace

void SetMessageBoxHook(TMessageBoxHook hook) { Hook() = std::move(hook); }

int ShowMessageBox(const std::string& text, const std::string& caption, UINT flags)
{
    if (Hook()) return Hook()(text, caption, flags);
    HWND owner = GetActiveWindow();
    if (!owner && Application) owner = Application->Handle();
    return MessageBoxA(owner, text.c_str(), caption.c_str(), flags | MB_SETFOREGROUND);
}

void ShowMessage(const std::string& text)
{
    ShowMessageBox(text, Application ? Application->Title() : "", MB_OK);
}

int MessageDlg(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons)
{
    static const char* const captions[] = {"Warning", "Error", "Information", "Confirm", ""};
    static const UINT icons[] = {MB_ICONWARNING, MB_ICONERROR, MB_ICONINFORMATION, MB_ICONQUESTION, 0};
    UINT flags = icons[type];
    if ((buttons & mbYes) && (buttons & mbNo))
        flags |= (buttons & mbCancel) ? MB_YESNOCANCEL : MB_YESNO;
    else if ((buttons & mbOK) && (buttons & mbCancel))
        flags |= MB_OKCANCEL;
    else if (buttons & mbAbort)
        flags |= MB_ABORTRETRYIGNORE;
    else if ((buttons & mbRetry) && (buttons & mbCancel))
        flags |= MB_RETRYCANCEL;
    else
        flags |= MB_OK;
    std::string caption = captions[type];
    if (type == mtCustom && Application) caption = Application->Title();
    return ShowMessageBox(text, caption, flags);
}
