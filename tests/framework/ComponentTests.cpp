#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/Classes.h"

namespace {

std::vector<std::string> g_log;

class TProbe : public TComponent {
public:
    TProbe(TComponent* owner, std::string tag) : TComponent(owner), Tag(std::move(tag)) {}
    ~TProbe() override { g_log.push_back("destroy " + Tag); }
    TComponent* Watched = nullptr;
    std::string Tag;

protected:
    void Notification(TComponent* c, TOperation op) override
    {
        if (op == opRemove && c == Watched) {
            Watched = nullptr;
            g_log.push_back(Tag + " forgot");
        }
    }
};

}  // namespace

TEST(Components, OwnerFreesWhatItOwnsNewestFirst)
{
    g_log.clear();
    {
        TProbe owner(nullptr, "owner");
        new TProbe(&owner, "a");
        auto* b = new TProbe(&owner, "b");
        new TProbe(b, "b1");
        EXPECT_EQ(owner.ComponentCount(), 2);
    }
    // The owner's own destructor body runs first; its components go after, newest first.
    EXPECT_EQ(g_log, (std::vector<std::string>{"destroy owner", "destroy b", "destroy b1", "destroy a"}));
}

TEST(Components, RemovalIsNoticedBySiblingsAndWatchers)
{
    g_log.clear();
    TProbe owner(nullptr, "owner");
    auto* menu = new TProbe(&owner, "menu");
    auto* icon = new TProbe(&owner, "icon");
    icon->Watched = menu;
    TProbe elsewhere(nullptr, "elsewhere");
    elsewhere.Watched = menu;
    elsewhere.FreeNotification(menu);
    delete menu;
    EXPECT_EQ(icon->Watched, nullptr);
    EXPECT_EQ(elsewhere.Watched, nullptr);
    EXPECT_EQ(owner.ComponentCount(), 1);
    EXPECT_EQ(owner.FindComponent("menu"), nullptr);
}

TEST(Components, WatcherFreedFirstIsNotToldLater)
{
    TProbe* watched = new TProbe(nullptr, "watched");
    {
        TProbe watcher(nullptr, "watcher");
        watcher.FreeNotification(watched);
    }
    g_log.clear();
    delete watched;  // must not reach the freed watcher
    EXPECT_EQ(g_log, (std::vector<std::string>{"destroy watched"}));
}

TEST(Components, LoadingStateEndsWithLoaded)
{
    TComponent c(nullptr);
    c.BeginLoading();
    EXPECT_TRUE(c.Loading());
    c.Loaded();
    EXPECT_FALSE(c.Loading());
}

TEST(Components, FindsByNameWithoutRegardToCase)
{
    TComponent owner(nullptr);
    auto* c = new TComponent(&owner);
    c->SetName("Edit1");
    EXPECT_EQ(owner.FindComponent("EDIT1"), c);
    EXPECT_EQ(owner.FindComponent(""), nullptr);
}

TEST(Components, UnknownClassNamesAreRefused)
{
    EXPECT_THROW(CreateComponentByClassName("TNoSuchThing", nullptr), ELayoutError);
}
