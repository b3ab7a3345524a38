// The per-user settings store and the path tests of the application.
#pragma once

#include <windows.h>

#include <string>

extern const char* const SettingsKey;  // "\SOFTWARE\Larkmoor\Tapewing"

// Each call opens the key with full access and closes it before it returns, also when an error passes.
bool RegKeyExists(HKEY root, const std::string& key);
// Creates the key (and missing parents) if needed; false when it cannot be opened. A value that cannot be
// written raises "Failed to set data for '<name>'".
bool RegWriteString(HKEY root, const std::string& key, const std::string& name, const std::string& value);
// The stored string, or the default when the key cannot be opened or the value is missing. A value of another
// type raises "Invalid data type for '<name>'"; one that cannot be read "Failed to get data for '<name>'".
std::string RegReadString(HKEY root, const std::string& key, const std::string& name, const std::string& defaultValue);

bool FolderExists(const std::string& path);
bool FileExists(const std::string& path);
