// What every Windows test program shares: the application object and screen set up as the program has them,
// message boxes answered and recorded instead of waiting for a person, and the default error display
// recorded (or failing the running test) instead of showing a box.
//
// A program with nothing special of its own links test_main and, when it needs classes or a title, says so
// once in one of its files:
//     const TTestProgramSetup kSetup({"Tape Wing", RegisterProgramClasses});
// A program with its own main makes a TTestApplication there; one that keeps its own list of error displays
// sets Application->OnException after it.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "framework/Forms.h"

struct TShownBox {
    std::string Text, Caption;
    UINT Flags;
};

// Message boxes and default error displays since the last ClearShown; boxes are answered with BoxAnswer.
std::vector<TShownBox>& ShownBoxes();
std::vector<std::string>& ShownErrors();
extern int BoxAnswer;
// Runs while a message box is up (after it was recorded); ClearShown forgets it.
std::function<void()>& WhenBoxShown();
void ClearShown();
// Puts the recording hook (back) in place of real message boxes.
void RecordMessageBoxes();

struct TTestProgram {
    std::string Title = "";                 // empty: the default title, from the file name
    std::function<void()> RegisterClasses;  // the layout classes the tested windows use
    bool ErrorDisplayFails = false;         // an error display fails the running test instead of being recorded
};

// The application and the screen, registered, initialised and titled; message boxes are recorded.
class TTestApplication {
public:
    explicit TTestApplication(const TTestProgram& program = {});

private:
    TApplication FApplication;
    TScreen FScreen;
};

// The program test_main's main sets up; a TTestProgramSetup at namespace scope fills it in.
TTestProgram& ThisTestProgram();
struct TTestProgramSetup {
    explicit TTestProgramSetup(TTestProgram program) { ThisTestProgram() = std::move(program); }
};
