// The per-user settings store and the path tests of the application.
#pragma once

#include <windows.h>

#include <string>

extern const char* const SettingsKey;  // "\SOFTWARE\Larkmoor\Tapewing"

// Each call opens the key and closes it before it returns, also when an error passes. Reading asks only for
// read access, so a key an administrator made read-only still gives its values; writing asks for full access.
bool RegKeyExists(HKEY root, const std::string& key);
// Creates the key (and missing parents) if needed; false when it cannot be opened. A value that cannot be
// written raises "Failed to set data for '<name>'".
bool RegWriteString(HKEY root, const std::string& key, const std::string& name, const std::string& value);
// The stored string (an expandable one with its environment references filled in), or the default when the
// key or the value is missing; a missing key is not created. A value of a non-string type raises
// "Invalid data type for '<name>'"; one that cannot be read "Failed to get data for '<name>'".
std::string RegReadString(HKEY root, const std::string& key, const std::string& name, const std::string& defaultValue);

// True for an existing folder given by an absolute path (drive or share): a relative one would depend on
// where the program was started. Neither test raises the platform's "insert a disk" prompt.
bool FolderExists(const std::string& path);
bool FileExists(const std::string& path);
