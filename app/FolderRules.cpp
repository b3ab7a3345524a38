#include "app/FolderRules.h"

namespace {
bool IsSeparator(char c) { return c == '\\' || c == '/'; }
bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
}  // namespace

std::string WithTrailingBackslash(const std::string& folder)
{
    if (folder.empty() || IsSeparator(folder.back())) return folder;
    return folder + '\\';
}

bool IsAbsoluteFolder(const std::string& path)
{
    if (path.size() >= 3 && IsDriveLetter(path[0]) && path[1] == ':' && IsSeparator(path[2])) return true;
    if (path.size() < 2 || !IsSeparator(path[0]) || !IsSeparator(path[1])) return false;
    // \\server\share: a server name, a separator, then a share name.
    std::size_t server = 2;
    std::size_t end = server;
    while (end < path.size() && !IsSeparator(path[end])) ++end;
    if (end == server || end == path.size()) return false;
    std::size_t share = end + 1;
    return share < path.size() && !IsSeparator(path[share]);
}
