// The address side of the hyperlink label: URL, link type, prefix and caption rules, without any window.
// The label supplies what needs the platform (handler detection, its text, hint and style) as callbacks.
#pragma once

#include <functional>
#include <string>

enum class TURLLabelType { Auto, Passive, Link };
enum class TURLLinkType { http, mailto };

extern const char* const URLPrefixHttp;    // "http://"
extern const char* const URLPrefixMailto;  // "mailto:"
// Defaults shown until a real address is set: a bare host, and user@host.
extern const char* const URLWebPlaceholder;
extern const char* const URLMailPlaceholder;


class TURLLinkModel {
public:
    struct Callbacks {
        std::function<bool(TURLLinkType)> DetectHandler;  // is a program registered for this kind of link?
        std::function<void(const std::string&)> SetText;  // the label's visible text
        std::function<void(const std::string&)> SetHint;
        std::function<void(bool asLink)> ApplyStyle;      // link font and hand cursor, or the passive ones
    };
    explicit TURLLinkModel(Callbacks callbacks);

    // What construction does after the fonts exist: detect, placeholder URL, style.
    void Initialise();

    const std::string& URL() const { return FURL; }
    void SetURL(const std::string& value);
    TURLLinkType LinkType() const { return FLinkType; }
    void SetLinkType(TURLLinkType value);
    TURLLabelType LabelType() const { return FLabelType; }
    void SetLabelType(TURLLabelType value);
    bool ShowPrefix() const { return FShowPrefix; }
    void SetShowPrefix(bool value);
    bool URLAsHint() const { return FURLAsHint; }
    void SetURLAsHint(bool value);
    // Construction sets the flag without touching the hint.
    void InitURLAsHint(bool value) { FURLAsHint = value; }

    // The first explicit caption freezes the visible text; later URL changes only reach the hint.
    void MarkCaptionSet() { FCaptionSet = true; }
    bool CaptionSet() const { return FCaptionSet; }
    bool HandlerFound() const { return FHandlerFound; }
    const std::string& LinkText() const { return FLinkText; }

    bool ActsAsLink() const;
    // What a click hands to the shell: the scheme prefix and the URL.
    std::string Target() const;
    void DetectLinkHandler();
    void ApplyLinkStyle();

private:
    void UpdateLinkText();
    void UpdateHint();
    std::string Prefix() const;

    Callbacks FCallbacks;
    std::string FURL;
    TURLLinkType FLinkType = TURLLinkType::http;
    TURLLabelType FLabelType = TURLLabelType::Auto;
    bool FShowPrefix = false;
    bool FURLAsHint = false;
    bool FCaptionSet = false;
    bool FHandlerFound = false;
    std::string FLinkText;
};
