// TURLLabel: a label that stands for a web or e-mail address and hands it to the shell on a click when a
// program for that kind of link is registered (or when it is told to act as a link regardless).
#pragma once

#include <windows.h>

#include <string>

#include "controls/labels/URLLinkModel.h"
#include "framework/StdCtrls.h"

// The program's own pointing-hand cursor: resource 8888, and the same number in the screen's table.
constexpr TCursor crLinkHand = 8888;

class TURLLabel : public TLabel {
public:
    explicit TURLLabel(TComponent* AOwner);

    TFont& LinkFont() { return FLinkFont; }
    void SetLinkFont(const TFont& value) { FLinkFont.Assign(value); }
    TFont& PassiveFont() { return FPassiveFont; }
    void SetPassiveFont(const TFont& value) { FPassiveFont.Assign(value); }
    // An explicit caption stays: from then on the URL changes only the hint.
    void SetCaption(const std::string& value) override;
    const std::string& URL() const { return FModel.URL(); }
    void SetURL(const std::string& value) { FModel.SetURL(value); }
    bool URLAsHint() const { return FModel.URLAsHint(); }
    void SetURLAsHint(bool value) { FModel.SetURLAsHint(value); }
    bool ShowPrefix() const { return FModel.ShowPrefix(); }
    void SetShowPrefix(bool value) { FModel.SetShowPrefix(value); }
    TURLLabelType LabelType() const { return FModel.LabelType(); }
    void SetLabelType(TURLLabelType value) { FModel.SetLabelType(value); }
    TURLLinkType LinkType() const { return FModel.LinkType(); }
    void SetLinkType(TURLLinkType value) { FModel.SetLinkType(value); }

    bool HandlerFound() const { return FModel.HandlerFound(); }
    bool ActsAsLink() const { return FModel.ActsAsLink(); }
    // "http://" or "mailto:" followed by the URL: what a click opens.
    std::string Target() const { return FModel.Target(); }

    void Click() override;
    bool SetProperty(const std::string& name, const TLayoutValue& value) override;

private:
    void ApplyStyle(bool asLink);

    TFont FLinkFont;
    TFont FPassiveFont;
    TURLLinkModel FModel;
};

// The mail library whose presence means a mail program is set up ("MAPI32.DLL"); tests name others.
void SetMailLibraryName(const std::string& name);

// The shell's open command for a file extension such as ".html"; empty when none is registered.
std::string FindOpenCommand(const std::string& extension);
// Whether a program for this kind of link is registered.
bool DetectLinkHandler(TURLLinkType linkType);

// Loads the hand cursor from the program's resources into the screen's table (once).
void RegisterLinkCursor();
void RegisterLabelClasses();
