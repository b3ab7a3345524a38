#include "app/TakeName.h"

#include <cstring>

#include "framework/SysUtils.h"

namespace {

// The platform's device names: a file whose name up to its first dot is one of these is the device.
bool IsDeviceName(std::string stem)
{
    while (!stem.empty() && stem.back() == ' ') stem.pop_back();
    stem = UpperCase(stem);
    for (const char* name : {"CON", "PRN", "AUX", "NUL"})
        if (stem == name) return true;
    return stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) && stem[3] >= '1' &&
           stem[3] <= '9';
}

}  // namespace

std::string TakeFileNameFor(const std::string& base, int n) { return base + std::to_string(n) + ".wav"; }

std::string ShortForDisplay(const std::string& text, std::size_t max)
{
    if (text.size() <= max) return text;
    return text.substr(0, max > 3 ? max - 3 : 0) + "...";
}

std::string BaseNameProblem(const std::string& folder, const std::string& base)
{
    for (unsigned char c : base) {
        if (c < 32 || c == 127)
            return "The base name cannot contain control characters (such as a tab or a line break).";
        if (std::strchr("\\/:*?\"<>|", c))
            return std::string("The base name cannot contain the character ") + static_cast<char>(c) +
                   " (file names cannot hold \\ / : * ? \" < > |).";
    }
    // Numbers above 9 never form a device name, so 1 to 9 tell for every take.
    for (int n = 1; n <= 9; ++n) {
        const std::string name = TakeFileNameFor(base, n);
        const std::string stem = name.substr(0, name.find('.'));
        if (IsDeviceName(stem))
            return "With the base name \"" + ShortForDisplay(base) + "\", a take would be named " + name + ", and " +
                   UpperCase(stem) + " is the name of a device in Windows. Please choose another base name.";
    }
    if (folder.size() + TakeFileNameFor(base, MaxTakeNumber).size() > kMaxTakePathLength)
        return "The base name is too long: in this folder, the names of takes would pass " +
               std::to_string(kMaxTakePathLength) + " characters. Please choose a shorter one.";
    return "";
}
