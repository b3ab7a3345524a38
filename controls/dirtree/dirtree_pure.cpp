#include "controls/dirtree/dirtree_pure.h"

#include <cctype>

namespace dirtree {

std::string AddBackslash(const std::string& path)
{
    if (path.empty() || path.back() == '\\') return path;
    return path + '\\';
}

int CountBackslashes(const std::string& path)
{
    int n = 0;
    for (char c : path)
        if (c == '\\') ++n;
    return n;
}

std::string PathLevel(const std::string& path, int i)
{
    for (std::size_t pos = 0; pos < path.size(); ++pos)
        if (path[pos] == '\\' && --i == 0) return path.substr(0, pos + 1);
    return path;
}

std::string DriveRoot(char letter)
{
    return std::string(1, letter) + ":\\";
}

std::string LastComponent(const std::string& path)
{
    std::string s = path;
    if (!s.empty() && s.back() == '\\') s.pop_back();
    std::size_t p = s.rfind('\\');
    return p == std::string::npos ? s : s.substr(p + 1);
}

bool RecycleBinAllows(const std::string& path)
{
    std::string lower = path;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    std::size_t p = lower.find("\\recycled\\");
    if (p == std::string::npos) p = lower.find("\\recycler\\");
    if (p == std::string::npos) return true;
    // The match ending at the last character is the bin folder itself, which stays listed.
    return p + 10 >= path.size();
}

bool DirAttrAccepted(TDirTypes dirTypes, unsigned attr)
{
    auto has = [dirTypes](TDirType t) { return (dirTypes >> t) & 1u; };
    if (has(dtAll)) return true;
    if ((attr & faHidden) && !has(dtHidden)) return false;
    if ((attr & faSysFile) && !has(dtSystem)) return false;
    if ((attr & faArchive) && !has(dtArchive)) return false;
    return has(dtNormal) || (attr & (faHidden | faSysFile | faArchive)) != 0;
}

bool DriveTypeAllowed(TDriveTypes driveTypes, unsigned t)
{
    static const int kind[7] = {drtUnknown, -1, drtRemovable, drtFixed, drtRemote, drtCDRom, drtRamDisk};
    if (t > 6 || kind[t] < 0) return true;
    return (driveTypes >> kind[t]) & 1u;
}

unsigned FilterDriveMask(unsigned mask, TDriveTypes driveTypes, const std::function<unsigned(int)>& driveType)
{
    for (int i = 0; i < 26; ++i)
        if ((mask >> i) & 1u)
            if (!DriveTypeAllowed(driveTypes, driveType(i))) mask &= ~(1u << i);
    return mask;
}

std::string VolumeCaption(bool readable, const std::string& volumeName, char letter)
{
    std::string drive = "(" + std::string(1, static_cast<char>(std::toupper(static_cast<unsigned char>(letter)))) + ":)";
    return readable ? volumeName + " " + drive : drive;
}

namespace {
template <std::size_t N>
bool FromNames(const std::vector<std::string>& names, const char* const (&table)[N], unsigned& result)
{
    unsigned bits = 0;
    for (const std::string& name : names) {
        std::size_t i = 0;
        while (i < N && name != table[i]) ++i;
        if (i == N) return false;
        bits |= 1u << i;
    }
    result = bits;
    return true;
}
}  // namespace

bool DriveTypesFromNames(const std::vector<std::string>& names, TDriveTypes& result)
{
    static const char* const table[] = {"drtUnknown", "drtRemovable", "drtFixed", "drtRemote", "drtCDRom", "drtRamDisk"};
    return FromNames(names, table, result);
}

bool DirTypesFromNames(const std::vector<std::string>& names, TDirTypes& result)
{
    static const char* const table[] = {"dtReadOnly", "dtHidden", "dtSystem", "dtArchive", "dtNormal", "dtAll"};
    return FromNames(names, table, result);
}

}  // namespace dirtree
