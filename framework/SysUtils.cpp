#include "framework/SysUtils.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <iterator>

std::string InOutErrorText(int errorCode)
{
    switch (errorCode) {
    case 2: return "File not found";
    case 3: return "Path not found";
    case 4: return "Too many open files";
    case 5: return "File access denied";
    case 15: return "Invalid drive specified";
    case 32: return "File in use";
    case 100: return "Read beyond end of file";
    case 101: return "Disk full";
    case 103: return "File not open";
    case 112: return "Disk full";
    default: return "I/O error " + std::to_string(errorCode);
    }
}

std::string FormatStr(const std::string& format, std::initializer_list<std::string> args)
{
    std::string out;
    auto next = args.begin();
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size() && format[i + 1] == 's') {
            if (next != args.end()) out += *next++;
            ++i;
        } else {
            out += format[i];
        }
    }
    return out;
}

std::string UpperCase(std::string s)
{
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

std::string LowerCase(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

bool SameText(const std::string& a, const std::string& b) { return UpperCase(a) == UpperCase(b); }

std::string IntToStr(long long value) { return std::to_string(value); }

bool IdentToColor(const std::string& name, TColor& color)
{
    static const struct { const char* name; TColor value; } table[] = {
        {"clBlack", clBlack}, {"clMaroon", clMaroon}, {"clGreen", clGreen}, {"clOlive", clOlive},
        {"clNavy", clNavy}, {"clPurple", clPurple}, {"clTeal", clTeal}, {"clGray", clGray},
        {"clSilver", clSilver}, {"clRed", clRed}, {"clLime", clLime}, {"clYellow", clYellow},
        {"clBlue", clBlue}, {"clFuchsia", clFuchsia}, {"clAqua", clAqua}, {"clWhite", clWhite},
        {"clScrollBar", clScrollBar}, {"clBackground", clBackground}, {"clWindow", clWindow},
        {"clWindowText", clWindowText}, {"clBtnFace", clBtnFace}, {"clBtnShadow", clBtnShadow},
        {"clGrayText", clGrayText}, {"clBtnText", clBtnText}, {"clBtnHighlight", clBtnHighlight},
        {"clHighlight", clHighlight}, {"clHighlightText", clHighlightText}, {"cl3DDkShadow", cl3DDkShadow},
        {"cl3DLight", cl3DLight}, {"clInfoBk", clInfoBk}, {"clNone", clNone}, {"clDefault", clDefault},
    };
    for (const auto& entry : table)
        if (SameText(name, entry.name)) {
            color = entry.value;
            return true;
        }
    return false;
}
