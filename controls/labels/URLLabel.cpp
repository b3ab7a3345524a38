#include "controls/labels/URLLabel.h"

#include <shellapi.h>

#include <algorithm>

#include <vector>

#include "controls/labels/Mylabel.h"
#include "framework/Forms.h"

namespace {

std::string GMailLibrary = "MAPI32.DLL";
bool GCursorRegistered = false;

class RegKey {
public:
    RegKey(HKEY root, const std::string& path)
    {
        if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &FKey) != ERROR_SUCCESS) FKey = nullptr;
    }
    ~RegKey()
    {
        if (FKey) RegCloseKey(FKey);
    }
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    bool IsOpen() const { return FKey != nullptr; }

    // The default (unnamed) value as text; empty when missing or not a string.
    std::string DefaultValue() const
    {
        DWORD type = 0, size = 0;
        if (RegQueryValueExA(FKey, nullptr, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return {};
        if ((type != REG_SZ && type != REG_EXPAND_SZ) || size == 0) return {};
        std::vector<char> data(size + 1, '\0');
        if (RegQueryValueExA(FKey, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) !=
            ERROR_SUCCESS)
            return {};
        data[std::min<std::size_t>(size, data.size() - 1)] = '\0';  // stored data need not be terminated
        return std::string(data.data());
    }

private:
    HKEY FKey = nullptr;
};

const char* const OpenCommandSuffix = "\\shell\\open\\command";

}  // namespace

void SetMailLibraryName(const std::string& name) { GMailLibrary = name; }

std::string FindOpenCommand(const std::string& extension)
{
    RegKey ext(HKEY_CLASSES_ROOT, extension);
    if (!ext.IsOpen()) return {};
    std::string fileType = ext.DefaultValue();
    // Without a file type name the extension's own key may carry the command.
    RegKey command(HKEY_CLASSES_ROOT, (fileType.empty() ? extension : fileType) + OpenCommandSuffix);
    return command.IsOpen() ? command.DefaultValue() : std::string();
}

bool DetectLinkHandler(TURLLinkType linkType)
{
    if (linkType == TURLLinkType::http) return !FindOpenCommand(".html").empty() && !FindOpenCommand(".htm").empty();
    HMODULE mapi = LoadLibraryA(GMailLibrary.c_str());
    if (reinterpret_cast<UINT_PTR>(mapi) <= 32) return false;
    FreeLibrary(mapi);
    return true;
}

void RegisterLinkCursor()
{
    if (GCursorRegistered || !Screen) return;
    HCURSOR hand = LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(crLinkHand));
    if (!hand) return;
    Screen->SetCursors(crLinkHand, hand);
    GCursorRegistered = true;
}

TURLLabel::TURLLabel(TComponent* AOwner)
    : TLabel(AOwner),
      FModel({[](TURLLinkType type) { return DetectLinkHandler(type); },
              [this](const std::string& text) { TLabel::SetCaption(text); },
              [this](const std::string& hint) { SetHint(hint); },
              [this](bool asLink) { ApplyStyle(asLink); }})
{
    RegisterLinkCursor();
    FLinkFont.Assign(Font());
    FLinkFont.SetColor(clBlue);
    FLinkFont.SetStyle(FLinkFont.Style() | fsUnderline);
    FPassiveFont.Assign(Font());
    FModel.Initialise();
    SetShowAccelChar(false);
    FModel.InitURLAsHint(true);
}

void TURLLabel::ApplyStyle(bool asLink)
{
    SetParentFont(false);
    Font().Assign(asLink ? FLinkFont : FPassiveFont);
    if (!Designing()) SetCursor(asLink ? crLinkHand : crDefault);
}

void TURLLabel::SetCaption(const std::string& value)
{
    FModel.MarkCaptionSet();
    TLabel::SetCaption(value);
}

void TURLLabel::Click()
{
    TLabel::Click();
    if (!FModel.ActsAsLink()) return;
    // Whatever the shell answers, the click has done its part.
    ShellExecuteA(nullptr, "open", FModel.Target().c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

bool TURLLabel::SetProperty(const std::string& name, const TLayoutValue& value)
{
    static const std::string linkFont = "LinkFont.", passiveFont = "PassiveFont.";
    if (name.compare(0, linkFont.size(), linkFont) == 0) return FLinkFont.SetProperty(name.substr(linkFont.size()), value);
    if (name.compare(0, passiveFont.size(), passiveFont) == 0)
        return FPassiveFont.SetProperty(name.substr(passiveFont.size()), value);
    if (name == "URL") {
        SetURL(value.AsString());
    } else if (name == "URLAsHint") {
        SetURLAsHint(value.AsBool());
    } else if (name == "ShowPrefix") {
        SetShowPrefix(value.AsBool());
    } else if (name == "LabelType") {
        SetLabelType(value.AsEnum<TURLLabelType>({"Auto", "Passive", "Link"}));
    } else if (name == "LinkType") {
        SetLinkType(value.AsEnum<TURLLinkType>({"http", "mailto"}));
    } else {
        return TLabel::SetProperty(name, value);
    }
    return true;
}

void RegisterLabelClasses()
{
    RegisterComponentClass<TmyLabel3d>("TmyLabel3d");
    RegisterComponentClass<TURLLabel>("TURLLabel");
    RegisterLinkCursor();
}
