#include "tests/support/TestHarness.h"

#include <gtest/gtest.h>

#include "framework/Dialogs.h"

std::vector<TShownBox>& ShownBoxes()
{
    static std::vector<TShownBox> shown;
    return shown;
}

std::vector<std::string>& ShownErrors()
{
    static std::vector<std::string> errors;
    return errors;
}

int BoxAnswer = IDOK;

std::function<void()>& WhenBoxShown()
{
    static std::function<void()> then;
    return then;
}

void ClearShown()
{
    ShownBoxes().clear();
    ShownErrors().clear();
    WhenBoxShown() = nullptr;
}

void RecordMessageBoxes()
{
    SetMessageBoxHook([](const std::string& text, const std::string& caption, UINT flags) {
        ShownBoxes().push_back({text, caption, flags});
        if (WhenBoxShown()) WhenBoxShown()();
        return BoxAnswer;
    });
}

TTestApplication::TTestApplication(const TTestProgram& program)
{
    if (program.RegisterClasses) program.RegisterClasses();
    Application->Initialize();
    if (!program.Title.empty()) Application->SetTitle(program.Title);
    RecordMessageBoxes();
    if (program.ErrorDisplayFails)
        Application->OnException = [](const std::string& message) { ADD_FAILURE() << "error display: " << message; };
    else
        Application->OnException = [](const std::string& message) { ShownErrors().push_back(message); };
}

TTestProgram& ThisTestProgram()
{
    static TTestProgram program;
    return program;
}
