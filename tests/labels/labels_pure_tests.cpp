// The address rules of the hyperlink label, without windows.
#include <gtest/gtest.h>

#include <vector>

#include "controls/labels/URLLinkModel.h"

namespace {

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
