// What the framework's Windows tests share: recorded message boxes and error displays, and message pumping.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/PumpMessages.h"

struct TShownBox {
    std::string Text, Caption;
    UINT Flags;
};

// Message boxes and default error displays since the last ClearShown; boxes are answered with BoxAnswer.
std::vector<TShownBox>& ShownBoxes();
std::vector<std::string>& ShownErrors();
extern int BoxAnswer;
void ClearShown();
// Runs the thread's message loop until nothing is pending.
// A folder of its own under the temporary folder, with a trailing backslash.
std::string TestFolder();
