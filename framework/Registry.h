// Access to one registry key at a time, with the run-time's error texts.
#pragma once

#include <windows.h>

#include <string>

class TRegistry {
public:
    explicit TRegistry(REGSAM access = KEY_ALL_ACCESS);
    ~TRegistry();
    TRegistry(const TRegistry&) = delete;
    TRegistry& operator=(const TRegistry&) = delete;

    HKEY RootKey() const { return FRootKey; }
    void SetRootKey(HKEY root);
    // A leading backslash makes the path absolute from the root; otherwise it is relative to the open key.
    bool OpenKey(const std::string& key, bool canCreate);
    bool KeyExists(const std::string& key);
    void CloseKey();
    HKEY CurrentKey() const { return FCurrentKey; }
    bool ValueExists(const std::string& name);
    // Raise ERegistryException: "Failed to get data for '%s'", "Invalid data type for '%s'",
    // "Failed to set data for '%s'". An expandable string (REG_EXPAND_SZ) is read with its environment
    // references filled in, as that type asks of its readers.
    std::string ReadString(const std::string& name);
    void WriteString(const std::string& name, const std::string& value);

private:
    static bool ExpandEnvironment(std::string& text);

    HKEY FRootKey = HKEY_CURRENT_USER;
    HKEY FCurrentKey = nullptr;
    REGSAM FAccess;
};
