#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "FrameworkTestSupport.h"
#include "framework/Forms.h"
#include "framework/StandardClasses.h"

// Runs the application's message loop twice, once with the main form hidden and once shown, each ended by a
// close of the application window; writes down the default title and what the main form went through.
static int RunProbe()
{
    for (bool show : {false, true}) {
        TApplication application;
        Application->Initialize();
        Application->ShowMainForm = show;
        std::string log;
        auto* form = Application->CreateForm<TForm>();
        form->OnShow = [&log](TObject*) { log += "show "; };
        PostMessageA(Application->Handle(), WM_CLOSE, 0, 0);
        Application->Run();
        std::printf("%s %s: %sended\n", Application->Title().c_str(), show ? "shown" : "hidden", log.c_str());
    }
    std::printf("%s\n", Application ? "application left behind" : "no application");
    return 0;
}

int main(int argc, char** argv)
{
    setvbuf(stdout, nullptr, _IONBF, 0);  // a crash must not swallow the report
    if (argc > 1 && std::string(argv[1]) == "--run-probe") return RunProbe();
    testing::InitGoogleTest(&argc, argv);
    TTestApplication application({"Framework Tests", RegisterStandardClasses});
    return RUN_ALL_TESTS();
}
