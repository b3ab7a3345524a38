// What the shell tests share: recorded message boxes and error displays, and a way to pump messages.
#pragma once

#include <windows.h>
#include <shlwapi.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/support/PumpMessages.h"

struct TShownMessage {
    std::string Text, Caption;
    UINT Flags;
};

// Message boxes and default error displays since the last Clear.
std::vector<TShownMessage>& ShownMessages();
std::vector<std::string>& ShownErrors();
// Runs while a message box is up (after it was recorded); ClearShown forgets it.
std::function<void()>& WhenMessageShown();
void ClearShown();
// Runs the message loop until nothing is pending.

// Makes a key under HKEY_CURRENT_USER read-only, as an administrator's restricted key is: everyone may read
// it (and change its permissions or delete it, so tests can clean up), nobody may set values or add keys.
// False when the permissions could not be set.
bool SetKeyReadOnly(const std::string& path, bool readOnly);
