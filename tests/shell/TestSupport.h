// What the shell tests share: the test harness, forms freed at the end of a test, message pumping and
// read-only registry keys.
#pragma once

#include <windows.h>
#include <shlwapi.h>

#include <string>

#include "tests/support/OwnedForm.h"
#include "tests/support/PumpMessages.h"
#include "tests/support/TestHarness.h"

// Makes a key under HKEY_CURRENT_USER read-only, as an administrator's restricted key is: everyone may read
// it (and change its permissions or delete it, so tests can clean up), nobody may set values or add keys.
// False when the permissions could not be set.
bool SetKeyReadOnly(const std::string& path, bool readOnly);
