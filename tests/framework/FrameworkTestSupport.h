// What the framework's Windows tests share: the test harness, temp paths and message pumping.
#pragma once

#include <windows.h>

#include "tests/support/PumpMessages.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestHarness.h"
