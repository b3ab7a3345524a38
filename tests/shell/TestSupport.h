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
