#include <gtest/gtest.h>

#include <cstdio>

#include "TestSupport.h"
#include "framework/Dialogs.h"
#include "framework/Forms.h"
#include "app/ProgramClasses.h"

std::vector<TShownMessage>& ShownMessages()
{
    static std::vector<TShownMessage> shown;
    return shown;
}

std::vector<std::string>& ShownErrors()
{
    static std::vector<std::string> errors;
    return errors;
}

std::function<void()>& WhenMessageShown()
{
    static std::function<void()> then;
    return then;
}

void ClearShown()
{
    ShownMessages().clear();
    ShownErrors().clear();
    WhenMessageShown() = nullptr;
}

int main(int argc, char** argv)
{
    setvbuf(stdout, nullptr, _IONBF, 0);  // a crash must not swallow the report
    testing::InitGoogleTest(&argc, argv);
    TApplication application;
    TScreen screen;
    RegisterProgramClasses();
    Application->Initialize();
    Application->SetTitle("Tape Wing");
    SetMessageBoxHook([](const std::string& text, const std::string& caption, UINT flags) {
        ShownMessages().push_back({text, caption, flags});
        if (WhenMessageShown()) WhenMessageShown()();
        return IDOK;
    });
    Application->OnException = [](const std::string& message) { ShownErrors().push_back(message); };
    return RUN_ALL_TESTS();
}
