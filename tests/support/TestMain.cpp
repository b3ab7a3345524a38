// The main of the Windows test programs that need nothing of their own beyond their TTestProgramSetup.
#include <gtest/gtest.h>

#include <cstdio>

#include "tests/support/TestHarness.h"

int main(int argc, char** argv)
{
    setvbuf(stdout, nullptr, _IONBF, 0);  // a crash must not swallow the report
    testing::InitGoogleTest(&argc, argv);
    TTestApplication application(ThisTestProgram());
    return RUN_ALL_TESTS();
}
