#include "framework/WindowObjects.h"

#include <cstring>
#include <unordered_map>
#include <utility>
#include <vector>

namespace {
// A window carries one or two entries at most: a short list beats a map per window.
using TEntries = std::vector<std::pair<const char*, void*>>;

std::unordered_map<HWND, TEntries>& Objects()
{
    static std::unordered_map<HWND, TEntries> objects;
    return objects;
}

TEntries::iterator Find(TEntries& entries, const char* key)
{
    for (auto it = entries.begin(); it != entries.end(); ++it)
        if (it->first == key || std::strcmp(it->first, key) == 0) return it;
    return entries.end();
}
}  // namespace

void SetWindowObject(HWND wnd, const char* key, void* object)
{
    if (!wnd) return;
    TEntries& entries = Objects()[wnd];
    auto it = Find(entries, key);
    if (it != entries.end())
        it->second = object;
    else
        entries.emplace_back(key, object);
}

void* GetWindowObject(HWND wnd, const char* key)
{
    auto found = Objects().find(wnd);
    if (found == Objects().end()) return nullptr;
    auto it = Find(found->second, key);
    return it != found->second.end() ? it->second : nullptr;
}

void RemoveWindowObject(HWND wnd, const char* key)
{
    auto found = Objects().find(wnd);
    if (found == Objects().end()) return;
    auto it = Find(found->second, key);
    if (it != found->second.end()) found->second.erase(it);
    if (found->second.empty()) Objects().erase(found);
}

void RemoveWindowObjects(HWND wnd)
{
    Objects().erase(wnd);
}
