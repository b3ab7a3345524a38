#include "framework/Registry.h"

#include <vector>

#include "framework/SysUtils.h"

TRegistry::TRegistry(REGSAM access) : FAccess(access) {}

TRegistry::~TRegistry() { CloseKey(); }

void TRegistry::SetRootKey(HKEY root)
{
    CloseKey();
    FRootKey = root;
}

void TRegistry::CloseKey()
{
    if (FCurrentKey) {
        RegCloseKey(FCurrentKey);
        FCurrentKey = nullptr;
    }
}

static std::string StripLeadingBackslash(const std::string& key, bool& absolute)
{
    absolute = !key.empty() && key[0] == '\\';
    return absolute ? key.substr(1) : key;
}

bool TRegistry::OpenKey(const std::string& key, bool canCreate)
{
    bool absolute;
    std::string path = StripLeadingBackslash(key, absolute);
    HKEY base = (absolute || !FCurrentKey) ? FRootKey : FCurrentKey;
    HKEY result = nullptr;
    LONG rc;
    if (canCreate)
        rc = RegCreateKeyExA(base, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, FAccess, nullptr, &result,
                             nullptr);
    else
        rc = RegOpenKeyExA(base, path.c_str(), 0, FAccess, &result);
    if (rc != ERROR_SUCCESS) return false;
    CloseKey();
    FCurrentKey = result;
    return true;
}

bool TRegistry::KeyExists(const std::string& key)
{
    bool absolute;
    std::string path = StripLeadingBackslash(key, absolute);
    HKEY base = (absolute || !FCurrentKey) ? FRootKey : FCurrentKey;
    HKEY probe = nullptr;
    if (RegOpenKeyExA(base, path.c_str(), 0, KEY_READ, &probe) != ERROR_SUCCESS) return false;
    RegCloseKey(probe);
    return true;
}

bool TRegistry::ValueExists(const std::string& name)
{
    return FCurrentKey && RegQueryValueExA(FCurrentKey, name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

std::string TRegistry::ReadString(const std::string& name)
{
    DWORD type = 0, size = 0;
    if (!FCurrentKey || RegQueryValueExA(FCurrentKey, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        throw ERegistryException(FormatStr("Failed to get data for '%s'", {name}));
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        throw ERegistryException(FormatStr("Invalid data type for '%s'", {name}));
    std::vector<char> buffer(size + 1, '\0');
    DWORD got = size;
    if (RegQueryValueExA(FCurrentKey, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &got) !=
        ERROR_SUCCESS)
        throw ERegistryException(FormatStr("Failed to get data for '%s'", {name}));
    std::size_t len = got;
    // The stored length counts the terminating zero; a value written without one is taken whole.
    while (len > 0 && buffer[len - 1] == '\0') --len;
    std::string text(buffer.data(), len);
    if (type == REG_EXPAND_SZ && !ExpandEnvironment(text))
        throw ERegistryException(FormatStr("Failed to get data for '%s'", {name}));
    return text;
}

// Fills in the %NAME% references of an expandable value; references to unknown names stay as they are.
bool TRegistry::ExpandEnvironment(std::string& text)
{
    std::vector<char> expanded(text.size() + 1);
    for (;;) {
        DWORD need = ExpandEnvironmentStringsA(text.c_str(), expanded.data(), static_cast<DWORD>(expanded.size()));
        if (need == 0) return false;
        if (need <= expanded.size()) break;
        expanded.assign(need, '\0');
    }
    text = expanded.data();
    return true;
}

void TRegistry::WriteString(const std::string& name, const std::string& value)
{
    if (!FCurrentKey || RegSetValueExA(FCurrentKey, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                       static_cast<DWORD>(value.size() + 1)) != ERROR_SUCCESS)
        throw ERegistryException(FormatStr("Failed to set data for '%s'", {name}));
}
