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

namespace {
// Records what its owner tells it.
class TListener : public TComponent {
public:
    using TComponent::TComponent;
    std::vector<std::string> Heard;

protected:
    void Notification(TComponent* c, TOperation op) override
    {
        Heard.push_back((op == opInsert ? "insert " : "remove ") + c->Name());
    }
};
}  // namespace

TEST(Components, MovingToAnotherOwnerLeavesTheOldOneAndTellsBoth)
{
    TListener first(nullptr), second(nullptr);
    auto* sibling = new TListener(&first);
    sibling->SetName("sibling");
    auto* moved = new TComponent(&first);
    moved->SetName("moved");
    EXPECT_EQ(first.Heard.size(), 2u);  // both insertions, before they had names
    first.Heard.clear();
    second.InsertComponent(moved);
    EXPECT_EQ(moved->Owner(), &second);
    EXPECT_EQ(first.ComponentCount(), 1);
    EXPECT_EQ(first.FindComponent("moved"), nullptr);
    EXPECT_EQ(second.Components(0), moved);
    // The old owner's other components hear of the removal; the new owner of the insertion.
    EXPECT_EQ(sibling->Heard, (std::vector<std::string>{"remove moved"}));
    EXPECT_EQ(second.Heard, (std::vector<std::string>{"insert moved"}));
    // Removing what it does not own changes nothing.
    first.RemoveComponent(moved);
    EXPECT_EQ(moved->Owner(), &second);
}

TEST(Components, FreeNotificationIsMutualAndCanBeWithdrawn)
{
    g_log.clear();
    TProbe a(nullptr, "a");
    auto* b = new TProbe(nullptr, "b");
    a.Watched = b;
    b->Watched = &a;
    a.FreeNotification(b);
    a.FreeNotification(&a);
    a.FreeNotification(nullptr);
    a.RemoveFreeNotification(b);
    delete b;
    EXPECT_EQ(a.Watched, b) << "withdrawn: not told";
    a.Watched = nullptr;

    auto* c = new TProbe(nullptr, "c");
    c->Watched = &a;
    a.Watched = c;
    c->FreeNotification(&a);
    delete c;  // c asked to hear of a; a hears of c all the same
    EXPECT_EQ(a.Watched, nullptr);
    EXPECT_EQ(g_log, (std::vector<std::string>{"destroy b", "destroy c", "a forgot"}));
}

TEST(Components, StateFlagsAndBasicProperties)
{
    TComponent c(nullptr);
    EXPECT_FALSE(c.Designing());
    c.SetDesigning(true);
    EXPECT_TRUE(c.Designing());
    c.BeginLoading();
    c.SetDesigning(false);
    EXPECT_FALSE(c.Designing());
    EXPECT_TRUE(c.Loading());
    EXPECT_FALSE(c.Destroying());

    TLayoutValue name;
    name.kind = TLayoutValue::kString;
    name.Str = "Timer1";
    EXPECT_TRUE(c.SetProperty("Name", name));
    EXPECT_EQ(c.Name(), "Timer1");
    TLayoutValue tag;
    tag.Int = 5;
    EXPECT_TRUE(c.SetProperty("Tag", tag));
    EXPECT_FALSE(c.SetProperty("Caption", name));

    RegisterComponentClass<TComponent>("TPlainThing");
    TComponent* made = CreateComponentByClassName("tplainTHING", &c);
    EXPECT_EQ(made->Owner(), &c);
}

TEST(LayoutValue, ConvertsWhatItHoldsAndRefusesTheRest)
{
    TLayoutValue i;
    i.Int = 12;
    EXPECT_EQ(i.AsInteger(), 12);
    EXPECT_DOUBLE_EQ(i.AsFloat(), 12.0);
    EXPECT_EQ(i.AsColor(), 12);
    EXPECT_THROW(i.AsIdent(), ELayoutError);
    EXPECT_THROW(i.AsComponent(), ELayoutError);

    TLayoutValue f;
    f.kind = TLayoutValue::kFloat;
    f.Float = 2.5;
    EXPECT_DOUBLE_EQ(f.AsFloat(), 2.5);
    EXPECT_THROW(f.AsInteger(), ELayoutError);

    TLayoutValue s;
    s.kind = TLayoutValue::kString;
    s.Str = "True";
    EXPECT_THROW(s.AsBool(), ELayoutError) << "a string is no Boolean";
    EXPECT_THROW(s.AsFloat(), ELayoutError);

    TLayoutValue id;
    id.kind = TLayoutValue::kIdent;
    id.Str = "FALSE";
    EXPECT_FALSE(id.AsBool());
    id.Str = "tRuE";
    EXPECT_TRUE(id.AsBool());
    id.Str = "Yes";
    EXPECT_THROW(id.AsBool(), ELayoutError);
    EXPECT_THROW(id.AsColor(), ELayoutError);
    EXPECT_THROW(id.AsString(), ELayoutError);

    // Enumeration values by name, in ordinal order, whatever their case; other names and kinds are refused.
    enum TShade { shLight, shDark };
    id.Str = "SHDARK";
    EXPECT_EQ(id.AsEnum<TShade>({"shLight", "shDark"}), shDark);
    id.Str = "shLight";
    EXPECT_EQ(id.AsEnum<TShade>({"shLight", "shDark"}), shLight);
    id.Str = "shDarker";
    EXPECT_THROW(id.AsEnum<TShade>({"shLight", "shDark"}), ELayoutError);
    EXPECT_THROW(s.AsEnum<TShade>({"shLight", "shDark"}), ELayoutError);

    // Component references: nil and none are empty, others are looked up, missing ones wait for later.
    TComponent owner(nullptr);
    auto* menu = new TComponent(&owner);
    menu->SetName("PopupMenu1");
    id.FindComponent = [&owner](const std::string& n) { return owner.FindComponent(n); };
    id.Str = "popupmenu1";
    EXPECT_EQ(id.AsComponent(), menu);
    id.Str = "Nil";
    EXPECT_EQ(id.AsComponent(), nullptr);
    id.Str = "NONE";
    EXPECT_EQ(id.AsComponent(), nullptr);
    id.Str = "Later1";
    EXPECT_THROW(id.AsComponent(), EUnresolvedReference);
    id.FindComponent = nullptr;
    id.Str = "PopupMenu1";
    EXPECT_THROW(id.AsComponent(), EUnresolvedReference);

    id.Method = TNotifyEvent([](TObject*) {});
    EXPECT_TRUE(static_cast<bool>(id.AsEvent<TNotifyEvent>()));
    EXPECT_THROW(id.AsEvent<TMouseEvent>(), ELayoutError);
}
