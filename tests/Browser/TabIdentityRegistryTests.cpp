#include "Browser/TabIdentityRegistry.h"

#include <gtest/gtest.h>

using namespace ondrake;

namespace {

using RawWindow = SafariSnapshot::RawWindow;

struct R {
    const char *title;
    const char *url;
};

RawWindow raw(std::int64_t id, std::initializer_list<R> tabs, std::int64_t current = 1, std::int64_t index = 1) {
    RawWindow w;
    w.id = id;
    w.index = index;
    w.currentTabIndex = current;
    std::int64_t i = 0;
    for (const auto &t : tabs) w.tabs.push_back({++i, t.title, t.url});
    return w;
}

QStringList ids(const std::vector<SafariWindow> &windows) {
    QStringList out;
    for (const auto &w : windows)
        for (const auto &t : w.tabs) out << t.id;
    return out;
}

TEST(TabIdentityRegistry, FirstPollGivesFreshSerialsInOrder) {
    TabIdentityRegistry registry;
    const auto out = registry.assign({raw(3, {{"A", "https://a/"}, {"B", "https://b/"}}, 2),
                                      raw(4, {{"C", "https://c/"}}, 1, 2)});
    EXPECT_EQ(ids(out), (QStringList{"tab-0", "tab-1", "tab-2"}));
    EXPECT_EQ(out[0].tabs[0].windowID, 3);
    EXPECT_FALSE(out[0].tabs[0].isActive);
    EXPECT_TRUE(out[0].tabs[1].isActive);
    EXPECT_TRUE(out[0].isFrontmost);
    EXPECT_FALSE(out[1].isFrontmost);
    EXPECT_EQ(registry.nextSerial(), 3u);
    EXPECT_EQ(registry.previousEntries(3)->at(1), (TabIdentityRegistry::Entry{"tab-1", "https://b/", "B", 2}));
}

TEST(TabIdentityRegistry, KeepsIdsThroughChanges) {
    struct Case {
        const char *what;
        std::vector<RawWindow> first;
        std::vector<RawWindow> second;
        QStringList expected;
    };
    const Case cases[] = {
        {"moved within its window",
         {raw(1, {{"A", "https://a/"}, {"B", "https://b/"}, {"C", "https://c/"}})},
         {raw(1, {{"C", "https://c/"}, {"A", "https://a/"}, {"B", "https://b/"}})},
         {"tab-2", "tab-0", "tab-1"}},
        {"identical twins take the nearest entry, the earlier on a tie",
         {raw(1, {{"S", "https://s/"}, {"X", "https://x/"}, {"S", "https://s/"}})},
         {raw(1, {{"X", "https://x/"}, {"S", "https://s/"}, {"S", "https://s/"}})},
         {"tab-1", "tab-0", "tab-2"}},
        {"retitled: same URL keeps it",
         {raw(1, {{"A", "https://a/"}})},
         {raw(1, {{"A (1 new)", "https://a/"}})},
         {"tab-0"}},
        {"navigated in place, same tab count: same place keeps it",
         {raw(1, {{"A", "https://a/"}, {"B", "https://b/"}})},
         {raw(1, {{"A", "https://a/"}, {"Z", "https://z/"}})},
         {"tab-0", "tab-1"}},
        {"navigated while the count changed: fresh",
         {raw(1, {{"A", "https://a/"}, {"B", "https://b/"}})},
         {raw(1, {{"A", "https://a/"}, {"Z", "https://z/"}, {"N", "https://n/"}})},
         {"tab-0", "tab-2", "tab-3"}},
        {"dragged into another window",
         {raw(1, {{"A", "https://a/"}, {"B", "https://b/"}}), raw(2, {{"C", "https://c/"}})},
         {raw(1, {{"A", "https://a/"}}), raw(2, {{"C", "https://c/"}, {"B", "https://b/"}})},
         {"tab-0", "tab-2", "tab-1"}},
        {"dragged into a new window",
         {raw(1, {{"A", "https://a/"}, {"B", "file:///b.html"}})},
         {raw(1, {{"A", "https://a/"}}), raw(9, {{"B", "file:///b.html"}})},
         {"tab-0", "tab-1"}},
        {"a drag of a URL another tab shares is not followed",
         {raw(1, {{"A", "https://a/"}, {"B", "https://b/"}}), raw(2, {{"B", "https://b/"}})},
         {raw(1, {{"A", "https://a/"}}), raw(2, {{"B", "https://b/"}, {"B", "https://b/"}})},
         {"tab-0", "tab-2", "tab-3"}},
        {"a drag of an about: page is not followed",
         {raw(1, {{"A", "https://a/"}, {"", "about:blank"}}), raw(2, {{"C", "https://c/"}})},
         {raw(1, {{"A", "https://a/"}}), raw(2, {{"C", "https://c/"}, {"", "about:blank"}})},
         {"tab-0", "tab-2", "tab-3"}},
    };
    for (const auto &c : cases) {
        TabIdentityRegistry registry;
        registry.assign(c.first);
        const auto out = registry.assign(c.second);
        EXPECT_EQ(ids(out), c.expected) << c.what;
        // A tab that kept its id shows this poll's title, however it was matched.
        QStringList titles;
        QStringList expectedTitles;
        for (const auto &w : out)
            for (const auto &t : w.tabs) titles << t.title;
        for (const auto &w : c.second)
            for (const auto &t : w.tabs) expectedTitles << TabIdentityRegistry::displayTitle(t.title, t.url);
        EXPECT_EQ(titles, expectedTitles) << c.what;
    }
}

// Tabs that show one page keep their own ids through what happens to them and around them; an
// id that went to the twin would take the record, and with it the lock and marks, along.
TEST(TabIdentityRegistry, TwinsKeepTheirOwnIds) {
    struct Case {
        const char *what;
        std::initializer_list<R> first;
        std::initializer_list<R> second;
        QStringList expected;
    };
    const char *u = "https://same.example/";
    const Case cases[] = {
        {"the earlier twin takes the later one's title", {{"A", u}, {"B", u}}, {{"B", u}, {"B", u}}, {"tab-0", "tab-1"}},
        {"the same while a tab before them closed",
         {{"X", "https://x/"}, {"A", u}, {"B", u}},
         {{"B", u}, {"B", u}},
         {"tab-1", "tab-2"}},
        {"the same while a tab before them opened",
         {{"A", u}, {"B", u}},
         {{"N", "https://n/"}, {"B", u}, {"B", u}},
         {"tab-2", "tab-0", "tab-1"}},
        {"one of three takes the others' title", {{"A", u}, {"B", u}, {"B", u}}, {{"B", u}, {"B", u}, {"B", u}},
         {"tab-0", "tab-1", "tab-2"}},
        {"both retitled alike", {{"A", u}, {"B", u}}, {{"C", u}, {"C", u}}, {"tab-0", "tab-1"}},
        {"both retitled apart", {{"A", u}, {"B", u}}, {{"C", u}, {"D", u}}, {"tab-0", "tab-1"}},
        {"titles that trade places go with their titles", {{"A", u}, {"B", u}}, {{"B", u}, {"A", u}},
         {"tab-1", "tab-0"}},
        {"reordered by the user",
         {{"A", u}, {"X", "https://x/"}, {"B", u}},
         {{"B", u}, {"A", u}, {"X", "https://x/"}},
         {"tab-2", "tab-0", "tab-1"}},
        {"the earlier twin closed", {{"A", u}, {"B", u}, {"X", "https://x/"}}, {{"B", u}, {"X", "https://x/"}},
         {"tab-1", "tab-2"}},
        {"the later twin closed", {{"A", u}, {"B", u}}, {{"A", u}}, {"tab-0"}},
        {"a twin closed and the other retitled: the nearer place",
         {{"A", u}, {"X", "https://x/"}, {"Y", "https://y/"}, {"Z", "https://z/"}, {"B", u}},
         {{"X", "https://x/"}, {"Y", "https://y/"}, {"Z", "https://z/"}, {"C", u}},
         {"tab-1", "tab-2", "tab-3", "tab-4"}},
        {"a twin opened between them, still loading", {{"A", u}, {"B", u}}, {{"A", u}, {"", u}, {"B", u}},
         {"tab-0", "tab-2", "tab-1"}},
        {"a twin of the first opened between them", {{"A", u}, {"B", u}}, {{"A", u}, {"A", u}, {"B", u}},
         {"tab-0", "tab-2", "tab-1"}},
        // Each of the two lands where the other stood; neither stands still.
        {"a tab of the page with another title closed before them", {{"X", u}, {"B", u}, {"B", u}},
         {{"B", u}, {"B", u}}, {"tab-1", "tab-2"}},
        {"a tab of the page with another title moved from before them to the end",
         {{"X", u}, {"B", u}, {"B", u}, {"Y", "https://y/"}}, {{"B", u}, {"B", u}, {"Y", "https://y/"}, {"X", u}},
         {"tab-1", "tab-2", "tab-3", "tab-0"}},
    };
    for (const auto &c : cases) {
        TabIdentityRegistry registry;
        registry.assign({raw(1, c.first)});
        EXPECT_EQ(ids(registry.assign({raw(1, c.second)})), c.expected) << c.what;
    }
}

// Identical twins cannot be told apart by what the browser shows; when this system closed one
// of them itself, the one left keeps its own id. The hint outlives neither the close nor a
// browser that kept the tab: after that, twins go by position again.
TEST(TabIdentityRegistry, ATwinClosedByTheSystemLeavesItsIdToNoOne) {
    using Poll = std::vector<R>;
    struct Case {
        const char *what;
        QString closed;
        std::vector<Poll> after;  // what the browser shows at each poll after the close
        QStringList expected;     // at the last of them
    };
    const char *s = "https://same.example/";
    const R x{"X", "https://x/"};
    const Case cases[] = {
        {"the earlier one closed", "tab-0", {{{"S", s}, x}}, {"tab-1", "tab-2"}},
        {"the later one closed", "tab-1", {{{"S", s}, x}}, {"tab-0", "tab-2"}},
        {"the browser kept it after all", "tab-0", {{{"S", s}, {"S", s}, x}}, {"tab-0", "tab-1", "tab-2"}},
        {"a poll asked for before the close still showed it", "tab-0", {{{"S", s}, {"S", s}, x}, {{"S", s}, x}},
         {"tab-1", "tab-2"}},
        {"the browser kept it, then the other closed in the browser", "tab-0",
         {{{"S", s}, {"S", s}, x}, {{"S", s}, {"S", s}, x}, {{"S", s}, x}},
         {"tab-0", "tab-2"}},
        {"closed, then a twin opened much later", "tab-0", {{{"S", s}, x}, {{"S", s}, x}, {{"S", s}, x}, {{"S", s}, {"S", s}, x}},
         {"tab-1", "tab-3", "tab-2"}},
    };
    for (const auto &c : cases) {
        TabIdentityRegistry registry;
        registry.assign({raw(1, {{"S", s}, {"S", s}, x})});
        registry.noteClosed({c.closed});
        QStringList last;
        for (const auto &poll : c.after) {
            RawWindow window = raw(1, {});
            for (const auto &t : poll) window.tabs.push_back({std::int64_t(window.tabs.size()) + 1, t.title, t.url});
            last = ids(registry.assign({window}));
        }
        EXPECT_EQ(last, c.expected) << c.what;
    }
}

TEST(TabIdentityRegistry, AClaimedIdIsNotOfferedToTheOldWindow) {
    TabIdentityRegistry registry;
    registry.assign({raw(1, {{"A", "https://a/"}, {"B", "https://b/"}}), raw(2, {{"C", "https://c/"}})});
    // B went to window 2 while window 1 navigated both its tabs in place; window 1 still has two
    // tabs, so pass 3 runs, but B's id may not be handed out there by position.
    const auto out = registry.assign({raw(1, {{"Y", "https://y/"}, {"Z", "https://z/"}}),
                                      raw(2, {{"C", "https://c/"}, {"B", "https://b/"}})});
    EXPECT_EQ(ids(out), (QStringList{"tab-0", "tab-3", "tab-2", "tab-1"}));
}

TEST(TabIdentityRegistry, SelectsWindowsAndTitles) {
    TabIdentityRegistry registry;
    const auto out = registry.assign({raw(1, {{"  ", "https://host.example/p"}, {"", ""}, {" T\n", "weird text"}}),
                                      raw(1, {{"dup", "https://dup/"}}), raw(2, {})});
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].tabs[0].title, "host.example");
    EXPECT_EQ(out[0].tabs[1].title, "Untitled");
    EXPECT_FALSE(out[0].tabs[1].url.has_value());
    EXPECT_EQ(out[0].tabs[2].title, "T");
    EXPECT_EQ(registry.previousEntries(1)->at(2).title, " T\n");  // remembered raw
    EXPECT_EQ(registry.nextSerial(), 3u);
    EXPECT_EQ(TabIdentityRegistry::displayTitle("", "not a url"), "not a url");
    EXPECT_FALSE(registry.previousEntries(2).has_value());
}

TEST(TabIdentityRegistry, AnEmptyPollAndAResetForgetButSerialsGoOn) {
    TabIdentityRegistry registry;
    registry.assign({raw(1, {{"A", "https://a/"}})});
    EXPECT_TRUE(registry.assign({raw(1, {})}).empty());
    EXPECT_FALSE(registry.previousEntries(1).has_value());
    EXPECT_EQ(ids(registry.assign({raw(1, {{"A", "https://a/"}})})), QStringList{"tab-1"});
    registry.reset();
    EXPECT_FALSE(registry.previousEntries(1).has_value());
    EXPECT_EQ(ids(registry.assign({raw(1, {{"A", "https://a/"}})})), QStringList{"tab-2"});
}

}  // namespace
