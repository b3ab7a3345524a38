// Message boxes. All go through one function that tests can replace, so no test waits for a person.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

// Shows a message box owned by the active window; returns the button pressed (IDOK, ...).
int ShowMessageBox(const std::string& text, const std::string& caption, UINT flags);
// With a hook set, message boxes are not shown: the hook answers them.
using TMessageBoxHook = std::function<int(const std::string& text, const std::string& caption, UINT flags)>;
void SetMessageBoxHook(TMessageBoxHook hook);

// A plain box captioned with the application title.
void ShowMessage(const std::string& text);

enum TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };
enum TMsgDlgBtn : unsigned { mbYes = 1, mbNo = 2, mbOK = 4, mbCancel = 8, mbAbort = 16, mbRetry = 32, mbIgnore = 64 };
using TMsgDlgButtons = unsigned;
// A modal box with the type's caption ("Error", "Warning", ...) and icon.
int MessageDlg(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons);
