#include "app/RegWork.h"

#include "app/FolderRules.h"
#include "framework/CriticalErrors.h"
#include "framework/Registry.h"

const char* const SettingsKey = "\\SOFTWARE\\Larkmoor\\Tapewing";

bool RegKeyExists(HKEY root, const std::string& key)
{
    TRegistry reg(KEY_READ);
    reg.SetRootKey(root);
    return reg.OpenKey(key, false);
}

bool RegWriteString(HKEY root, const std::string& key, const std::string& name, const std::string& value)
{
    TRegistry reg(KEY_ALL_ACCESS);
    reg.SetRootKey(root);
    if (!reg.OpenKey(key, true)) return false;
    reg.WriteString(name, value);
    return true;
}

std::string RegReadString(HKEY root, const std::string& key, const std::string& name, const std::string& defaultValue)
{
    TRegistry reg(KEY_READ);
    reg.SetRootKey(root);
    if (reg.OpenKey(key, false) && reg.ValueExists(name)) return reg.ReadString(name);
    return defaultValue;
}

bool FolderExists(const std::string& path)
{
    if (!IsAbsoluteFolder(path)) return false;
    TCriticalErrorsOff noPrompt;
    DWORD attrs = GetFileAttributesA(path.c_str());
    return attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY);
}

bool FileExists(const std::string& path)
{
    // Attributes rather than a directory search, so wildcards in a base name never match other files.
    TCriticalErrorsOff noPrompt;
    DWORD attrs = GetFileAttributesA(path.c_str());
    return attrs != INVALID_FILE_ATTRIBUTES && !(attrs & FILE_ATTRIBUTE_DIRECTORY);
}
