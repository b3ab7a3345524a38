// Style passes of the three-D label and the address rules of the hyperlink label, without windows.
#include <gtest/gtest.h>

#include <vector>

#include "controls/labels/Label3dPasses.h"
#include "controls/labels/URLLinkModel.h"

namespace {

struct PassCase {
    T3DEffect style;
    std::vector<T3dPass> expected;
};


TEST(Label3dPasses, EachStyleDrawsItsShadesThenTheText)
{
    const TColor lt = 0x00AA11, rb = 0x2200BB, font = 0x000080;
    const PassCase cases[] = {
        {T3DEffect::Normal3d, {{font, 0, 0}}},
        {T3DEffect::Resit3d, {{lt, 1, 1}, {rb, -1, -1}, {font, 0, 0}}},
        {T3DEffect::Raised3d, {{rb, 1, 1}, {lt, -1, -1}, {font, 0, 0}}},
        {T3DEffect::Shadowed3d, {{rb, 7, -3}, {font, 0, 0}}},
    };
    for (const PassCase& c : cases) {
        T3dLook look;
        look.Style = c.style;
        look.ShadeLeftTop = lt;
        look.ShadeRightBottom = rb;
        look.HShadeOffset = 7;
        look.VShadeOffset = -3;
        look.FontColor = font;
        EXPECT_EQ(Label3dPasses(look), c.expected) << static_cast<int>(c.style);
    }
}

TEST(Label3dPasses, DefaultsShadowRightAndAboveAndDisabledTextIsGrey)
{
    T3dLook look;
    look.Style = T3DEffect::Shadowed3d;
    auto passes = Label3dPasses(look);
    ASSERT_EQ(passes.size(), 2u);
    EXPECT_EQ(passes[0], (T3dPass{clGray, 5, -5}));
    look.Style = T3DEffect::Raised3d;
    look.Enabled = false;
    passes = Label3dPasses(look);
    ASSERT_EQ(passes.size(), 3u);
    EXPECT_EQ(passes[0], (T3dPass{clGray, 1, 1}));  // shades unchanged
    EXPECT_EQ(passes[1], (T3dPass{clWhite, -1, -1}));
    EXPECT_EQ(passes[2].Color, clGrayText);
}

// A model whose callbacks record what the label would do.
struct Recorder {
    bool handler = true;
    int detections = 0;
    std::vector<std::string> texts, hints;
    std::vector<bool> styles;
    TURLLinkModel model{{[this](TURLLinkType) {
                             ++detections;
                             return handler;
                         },
                         [this](const std::string& t) { texts.push_back(t); },
                         [this](const std::string& h) { hints.push_back(h); },
                         [this](bool link) { styles.push_back(link); }}};
    explicit Recorder(bool found = true) : handler(found)
    {
        model.Initialise();
        model.InitURLAsHint(true);
    }
};

TEST(URLLinkModel, ConstructionShowsTheWebPlaceholderWithAnEmptyHint)
{
    Recorder r;
    EXPECT_EQ(r.model.URL(), URLWebPlaceholder);
    EXPECT_EQ(r.texts.back(), URLWebPlaceholder);
    EXPECT_EQ(r.hints.back(), "");  // the hint follows only from the next update on
    EXPECT_EQ(r.model.LinkType(), TURLLinkType::http);
    EXPECT_EQ(r.styles, std::vector<bool>{true});
    r.model.SetShowPrefix(false);
    EXPECT_EQ(r.hints.back(), URLWebPlaceholder);
}

TEST(URLLinkModel, LabelTypeDecidesWhetherItActsAsLink)
{
    Recorder none(false);
    EXPECT_FALSE(none.model.ActsAsLink());
    EXPECT_EQ(none.styles.back(), false);
    none.model.SetLabelType(TURLLabelType::Link);
    EXPECT_TRUE(none.model.ActsAsLink());
    EXPECT_EQ(none.styles.back(), true);

    Recorder found(true);
    EXPECT_TRUE(found.model.ActsAsLink());
    found.model.SetLabelType(TURLLabelType::Passive);
    EXPECT_FALSE(found.model.ActsAsLink());
    EXPECT_EQ(found.styles.back(), false);
    std::size_t styled = found.styles.size();
    found.model.SetLabelType(TURLLabelType::Passive);  // unchanged: no restyle
    EXPECT_EQ(found.styles.size(), styled);
}

TEST(URLLinkModel, PrefixesAreStrippedInAnyCaseAndShownOnRequest)
{
    Recorder r;
    r.model.SetURL("http://www.larkmoor.example.com");
    EXPECT_EQ(r.model.URL(), "www.larkmoor.example.com");
    EXPECT_EQ(r.model.LinkType(), TURLLinkType::http);  // the "/" of the prefix
    EXPECT_EQ(r.model.Target(), "http://www.larkmoor.example.com");
    r.model.SetShowPrefix(true);
    EXPECT_EQ(r.texts.back(), "http://www.larkmoor.example.com");

    r.model.SetShowPrefix(false);
    r.model.SetURL("MAILTO:lark@example.com");
    EXPECT_EQ(r.model.URL(), "lark@example.com");
    EXPECT_EQ(r.model.LinkType(), TURLLinkType::mailto);
    EXPECT_EQ(r.model.Target(), "mailto:lark@example.com");
    EXPECT_EQ(r.texts.back(), "lark@example.com");

    r.model.SetURL("HtTp://Host.example");
    EXPECT_EQ(r.model.URL(), "Host.example");
}

TEST(URLLinkModel, UrlDecidesTheTypeWithoutDetectionOrRestyle)
{
    Recorder r;
    int detections = r.detections;
    std::size_t styled = r.styles.size();
    r.model.SetURL("me@example.com");
    EXPECT_EQ(r.model.LinkType(), TURLLinkType::mailto);
    r.model.SetURL("me@example.com/path");  // both characters: http wins
    EXPECT_EQ(r.model.LinkType(), TURLLinkType::http);
    EXPECT_EQ(r.detections, detections);
    EXPECT_EQ(r.styles.size(), styled);

    // The same value again changes nothing, not even a type set in between.
    r.model.SetLinkType(TURLLinkType::mailto);
    std::size_t texts = r.texts.size();
    r.model.SetURL("me@example.com/path");
    EXPECT_EQ(r.model.LinkType(), TURLLinkType::mailto);
    EXPECT_EQ(r.texts.size(), texts);
}

TEST(URLLinkModel, ExplicitCaptionFreezesTheTextButNotTheHint)
{
    Recorder r;
    r.model.MarkCaptionSet();
    std::size_t texts = r.texts.size();
    r.model.SetURL("www.other.example");
    r.model.SetShowPrefix(true);
    EXPECT_EQ(r.texts.size(), texts);
    EXPECT_EQ(r.hints.back(), "http://www.other.example");
    EXPECT_EQ(r.model.LinkText(), "http://www.other.example");
    r.model.SetURLAsHint(false);
    EXPECT_EQ(r.hints.back(), "");
}

TEST(URLLinkModel, LinkTypeSwapsOnlyThePlaceholders)
{
    Recorder r;
    int detections = r.detections;
    r.model.SetLinkType(TURLLinkType::mailto);
    EXPECT_EQ(r.detections, detections + 1);
    EXPECT_EQ(r.model.URL(), URLMailPlaceholder);
    EXPECT_EQ(r.texts.back(), URLMailPlaceholder);
    r.model.SetLinkType(TURLLinkType::http);
    EXPECT_EQ(r.model.URL(), URLWebPlaceholder);

    r.model.SetURL("www.kept.example");
    r.model.SetLinkType(TURLLinkType::mailto);
    EXPECT_EQ(r.model.URL(), "www.kept.example");
    EXPECT_EQ(r.model.Target(), "mailto:www.kept.example");
}

TEST(URLLinkModel, AboutWindowMailLabelKeepsTheStateDecidedForHttp)
{
    // Stored order of the About window: Caption, URL, URLAsHint, ShowPrefix, LabelType, LinkType.
    Recorder r(true);
    bool detectedForHttp = r.model.HandlerFound();
    r.handler = false;  // a mail handler would not be found; the label never asks
    r.model.MarkCaptionSet();
    r.model.SetURL("lark@example.com");
    r.model.SetURLAsHint(true);
    r.model.SetShowPrefix(false);
    r.model.SetLabelType(TURLLabelType::Auto);
    r.model.SetLinkType(TURLLinkType::mailto);
    EXPECT_EQ(r.model.LinkType(), TURLLinkType::mailto);
    EXPECT_EQ(r.model.HandlerFound(), detectedForHttp);
    EXPECT_EQ(r.styles, std::vector<bool>{true});
    EXPECT_EQ(r.hints.back(), "lark@example.com");
    EXPECT_EQ(r.model.Target(), "mailto:lark@example.com");
}

}  // namespace
