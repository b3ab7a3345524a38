#include "controls/labels/URLLinkModel.h"

#include "framework/SysUtils.h"

const char* const URLPrefixHttp = "http://";
const char* const URLPrefixMailto = "mailto:";
const char* const URLWebPlaceholder = "www.example.com";
const char* const URLMailPlaceholder = "someone@example.com";

namespace {
constexpr std::size_t PrefixLength = 7;  // both prefixes
}

TURLLinkModel::TURLLinkModel(Callbacks callbacks) : FCallbacks(std::move(callbacks)) {}

void TURLLinkModel::Initialise()
{
    DetectLinkHandler();
    SetURL(URLWebPlaceholder);
    ApplyLinkStyle();
}

std::string TURLLinkModel::Prefix() const
{
    return FLinkType == TURLLinkType::mailto ? URLPrefixMailto : URLPrefixHttp;
}

void TURLLinkModel::SetURL(const std::string& value)
{
    if (value == FURL) return;
    // Only the stored type changes here; handler detection and style stay as they were.
    if (value.find('@') != std::string::npos) FLinkType = TURLLinkType::mailto;
    if (value.find('/') != std::string::npos) FLinkType = TURLLinkType::http;
    std::string head = LowerCase(value.substr(0, PrefixLength));
    if (head == URLPrefixMailto || head == URLPrefixHttp)
        FURL = value.substr(PrefixLength);
    else
        FURL = value;
    UpdateLinkText();
}

void TURLLinkModel::SetLinkType(TURLLinkType value)
{
    if (value == FLinkType) return;
    FLinkType = value;
    DetectLinkHandler();
    if (FLinkType == TURLLinkType::http) {
        if (FURL == URLMailPlaceholder) FURL = URLWebPlaceholder;
    } else {
        if (FURL == URLWebPlaceholder) FURL = URLMailPlaceholder;
    }
    UpdateLinkText();
}

void TURLLinkModel::SetLabelType(TURLLabelType value)
{
    if (value == FLabelType) return;
    FLabelType = value;
    ApplyLinkStyle();
}

void TURLLinkModel::SetShowPrefix(bool value)
{
    FShowPrefix = value;
    UpdateLinkText();
}

void TURLLinkModel::SetURLAsHint(bool value)
{
    if (value == FURLAsHint) return;
    FURLAsHint = value;
    UpdateHint();
}

bool TURLLinkModel::ActsAsLink() const
{
    return FLabelType == TURLLabelType::Link || (FLabelType == TURLLabelType::Auto && FHandlerFound);
}

std::string TURLLinkModel::Target() const { return Prefix() + FURL; }

void TURLLinkModel::DetectLinkHandler()
{
    FHandlerFound = FCallbacks.DetectHandler ? FCallbacks.DetectHandler(FLinkType) : false;
}

void TURLLinkModel::ApplyLinkStyle()
{
    if (FCallbacks.ApplyStyle) FCallbacks.ApplyStyle(ActsAsLink());
}

void TURLLinkModel::UpdateLinkText()
{
    std::string text = FShowPrefix ? Prefix() + FURL : FURL;
    if (!FCaptionSet && FCallbacks.SetText) FCallbacks.SetText(text);
    FLinkText = text;
    UpdateHint();
}

void TURLLinkModel::UpdateHint()
{
    if (FCallbacks.SetHint) FCallbacks.SetHint(FURLAsHint ? FLinkText : std::string());
}
