// What the framework's Windows tests share: the test harness, forms freed at the end of a test, temp paths
// and message pumping.
#pragma once

#include <windows.h>

#include "tests/support/OwnedForm.h"
#include "tests/support/PumpMessages.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestHarness.h"
