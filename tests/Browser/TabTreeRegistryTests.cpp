#include "Browser/TabTreeRegistry.h"

#include <gtest/gtest.h>

using namespace ondrake;

namespace {

struct T {
    const char *id;
    const char *url = "https://x.example/";
    bool active = false;
};

SafariWindow win(std::int64_t id, std::initializer_list<T> tabs) {
    SafariWindow w;
    w.safariID = id;
    std::int64_t i = 0;
    for (const auto &t : tabs) {
        SafariTab tab;
        tab.id = t.id;
        tab.windowID = id;
        tab.index = ++i;
        tab.url = QString(t.url).isEmpty() ? std::nullopt : std::optional<QUrl>(QUrl(t.url));
        tab.isActive = t.active;
        w.tabs.push_back(tab);
    }
    return w;
}

std::map<QString, QString> parentsOf(const std::vector<SafariWindow> &windows) {
    std::map<QString, QString> out;
    for (const auto &w : windows)
        for (const auto &t : w.tabs)
            if (t.parentID) out[t.id] = *t.parentID;
    return out;
}

using Parents = std::map<QString, QString>;

TEST(TabTreeRegistry, AFirstSnapshotNestsNothingAndLogsNothing) {
    TabTreeRegistry tree;
    LogCapture logs;
    auto in = win(1, {{"a", "https://a/", true}, {"b"}});
    in.tabs[1].parentID = "a";  // whatever the input carried is ignored
    EXPECT_TRUE(parentsOf(tree.apply({in})).empty());
    EXPECT_TRUE(logs.messages("TabTree").empty());
}

TEST(TabTreeRegistry, NestsOneOrTwoArrivalsUnderTheirOpener) {
    struct Case {
        const char *what;
        SafariWindow before;
        SafariWindow after;
        Parents expected;
    };
    const Case cases[] = {
        {"opened behind, right after the active tab",
         win(1, {{"a", "https://a/", true}, {"b"}}),
         win(1, {{"a", "https://a/", true}, {"n"}, {"b"}}), {{"n", "a"}}},
        {"opened in front, right after the previously active tab",
         win(1, {{"a", "https://a/", true}, {"b"}}),
         win(1, {{"a"}, {"n", "https://n/", true}, {"b"}}), {{"n", "a"}}},
        {"two behind, side by side",
         win(1, {{"a", "https://a/", true}, {"b"}}),
         win(1, {{"a", "https://a/", true}, {"n"}, {"m"}, {"b"}}), {{"n", "a"}, {"m", "a"}}},
        {"three at once are a restored session",
         win(1, {{"a", "https://a/", true}}),
         win(1, {{"a", "https://a/", true}, {"n"}, {"m"}, {"o"}}), {}},
        {"not beside the opener and not last",
         win(1, {{"a", "https://a/", true}, {"b"}, {"c"}}),
         win(1, {{"a", "https://a/", true}, {"b"}, {"n"}, {"c"}}), {}},
    };
    for (const auto &c : cases) {
        TabTreeRegistry tree;
        tree.apply({c.before});
        EXPECT_EQ(parentsOf(tree.apply({c.after})), c.expected) << c.what;
        EXPECT_EQ(tree.pendingLinkMoveCount(), 0u) << c.what;
    }
}

TEST(TabTreeRegistry, AnOpenerBlockIsSkippedOver) {
    TabTreeRegistry tree;
    tree.apply({win(1, {{"a", "https://a/", true}, {"z"}})});
    tree.apply({win(1, {{"a", "https://a/", true}, {"c1"}, {"z"}})});
    LogCapture logs;
    // In front, after a's block [a, c1]: nested under the previously active a.
    const auto out = tree.apply({win(1, {{"a"}, {"c1"}, {"n", "https://n/", true}, {"z"}})});
    EXPECT_EQ(parentsOf(out), (Parents{{"c1", "a"}, {"n", "a"}}));
    EXPECT_TRUE(logs.contains("Nested n under a"));
}

TEST(TabTreeRegistry, ANewWindowOnlyTakesNoteOnItsFirstSnapshot) {
    TabTreeRegistry tree;
    tree.apply({win(1, {{"a", "https://a/", true}})});
    tree.apply({win(1, {{"a", "https://a/", true}}), win(2, {{"p", "https://p/", true}, {"q"}})});
    const auto out = tree.apply({win(1, {{"a", "https://a/", true}}), win(2, {{"p", "https://p/", true}, {"n"}, {"q"}})});
    EXPECT_EQ(parentsOf(out), (Parents{{"n", "p"}}));
}

TEST(TabTreeRegistry, ALinkThatLandedAtTheFarEndAsksToBeMoved) {
    TabTreeRegistry tree;
    tree.apply({win(1, {{"a", "https://a/", true}, {"c1"}, {"b"}, {"c"}})});
    tree.apply({win(1, {{"a", "https://a/", true}, {"c1"}, {"b"}, {"c"}})});
    tree.recordUserMove(QString("a"), "c1");
    const auto out = tree.apply({win(1, {{"a", "https://a/", true}, {"c1"}, {"b"}, {"c"}, {"n", "https://n/"}})});
    EXPECT_EQ(parentsOf(out), (Parents{{"c1", "a"}}));
    const auto moves = tree.takePendingLinkMoveRequests();
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(moves[0], (SafariTabMove{1, 5, 1, 3, "https://n/", 5, "n", QString("a")}));
    EXPECT_TRUE(tree.takePendingLinkMoveRequests().empty());
}

TEST(TabTreeRegistry, BlankArrivalsWaitForARealPage) {
    TabTreeRegistry tree;
    const auto before = win(1, {{"a", "https://a/", true}, {"b"}});
    tree.apply({before});
    tree.apply({before});
    tree.apply({win(1, {{"a", "https://a/", true}, {"n", "about:blank"}, {"b"}})});
    EXPECT_EQ(tree.deferredArrivals().at("n"), (TabTreeRegistry::DeferredArrival{{"a", "a"}, 8}));
    tree.apply({win(1, {{"a", "https://a/", true}, {"n", "about:blank"}, {"b"}})});
    LogCapture logs;
    const auto out = tree.apply({win(1, {{"a", "https://a/", true}, {"n", "https://page/"}, {"b"}})});
    EXPECT_EQ(parentsOf(out), (Parents{{"n", "a"}}));
    EXPECT_TRUE(logs.contains("Nested n under a, settled after arriving blank"));
    EXPECT_TRUE(tree.deferredArrivals().empty());

    // One that stays blank is given up after 8 snapshots; one that closes is dropped at once.
    tree.apply({win(1, {{"a", "https://a/", true}, {"n", "https://page/"}, {"m", "about:blank"}, {"k", "about:blank"}, {"b"}})});
    ASSERT_EQ(tree.deferredArrivals().size(), 2u);
    for (int i = 0; i < 7; ++i)
        tree.apply({win(1, {{"a", "https://a/", true}, {"n", "https://page/"}, {"m", "about:blank"}, {"b"}})});
    EXPECT_TRUE(tree.deferredArrivals().contains("m"));
    EXPECT_FALSE(tree.deferredArrivals().contains("k"));
    tree.apply({win(1, {{"a", "https://a/", true}, {"n", "https://page/"}, {"m", "about:blank"}, {"b"}})});
    EXPECT_TRUE(tree.deferredArrivals().empty());
    const auto later = tree.apply({win(1, {{"a", "https://a/", true}, {"n", "https://page/"}, {"m", "https://m/"}, {"b"}})});
    EXPECT_FALSE(parentsOf(later).contains("m"));
}

TEST(TabTreeRegistry, OtherSchemesAreKeptFreshAtTheRoot) {
    for (const char *url : {"", "favorites://", "javascript:void(0)"}) {
        TabTreeRegistry tree;
        const auto before = win(1, {{"a", "https://a/", true}});
        tree.apply({before});
        tree.apply({before});
        LogCapture logs;
        EXPECT_TRUE(parentsOf(tree.apply({win(1, {{"a", "https://a/", true}, {"n", url}})})).empty()) << url;
        EXPECT_TRUE(logs.contains("Kept fresh tab n at the root")) << url;
    }
}

TEST(TabTreeRegistry, ClosedParentsHandTheirChildrenUp) {
    TabTreeRegistry tree;
    tree.apply({win(1, {{"a", "https://a/", true}, {"b"}, {"c"}, {"d"}})});
    tree.recordUserMove(QString("a"), "b");
    tree.recordUserMove(QString("b"), "c");
    tree.recordUserMove(QString("c"), "d");
    EXPECT_EQ(parentsOf(tree.apply({win(1, {{"a", "https://a/", true}, {"c"}, {"d"}})})),
              (Parents{{"c", "a"}, {"d", "c"}}));
    EXPECT_EQ(parentsOf(tree.apply({win(1, {{"d", "https://d/", true}})})), Parents{});
    EXPECT_TRUE(tree.parents().empty());
}

TEST(TabTreeRegistry, StraysAreDetached) {
    TabTreeRegistry tree;
    tree.apply({win(1, {{"a", "https://a/", true}, {"b"}, {"c"}}), win(2, {{"p", "https://p/", true}})});
    tree.recordUserMove(QString("a"), "b");
    tree.recordUserMove(QString("a"), "c");
    LogCapture logs;
    // b dragged before its parent; c dragged into window 2.
    const auto out = tree.apply({win(1, {{"b", "https://b/", true}, {"a"}}), win(2, {{"p", "https://p/", true}, {"c"}})});
    EXPECT_TRUE(parentsOf(out).empty());
    EXPECT_TRUE(logs.contains("Detached b: parent moved away"));
    EXPECT_TRUE(logs.contains("Detached c: parent moved away"));

    TabTreeRegistry between;
    between.apply({win(1, {{"a", "https://a/", true}, {"b"}, {"x"}})});
    between.recordUserMove(QString("a"), "b");
    LogCapture logs2;
    EXPECT_TRUE(parentsOf(between.apply({win(1, {{"a", "https://a/", true}, {"x"}, {"b"}})})).empty());
    EXPECT_TRUE(logs2.contains("Detached b: no longer beside its parent"));
}

TEST(TabTreeRegistry, AChildMovedIntoANewWindowKeepsItsLinkForOneSnapshot) {
    TabTreeRegistry tree;
    tree.apply({win(1, {{"a", "https://a/", true}, {"b"}})});
    tree.recordUserMove(QString("a"), "b");
    const auto first = tree.apply({win(1, {{"a", "https://a/", true}}), win(2, {{"b", "https://b/", true}})});
    EXPECT_EQ(parentsOf(first), (Parents{{"b", "a"}}));
    EXPECT_TRUE(parentsOf(tree.apply({win(1, {{"a", "https://a/", true}}), win(2, {{"b", "https://b/", true}})})).empty());
}

TEST(TabTreeRegistry, TabsThisAppOpenedStayAtTheRootOnce) {
    TabTreeRegistry tree;
    const auto before = win(1, {{"a", "https://a/", true}});
    tree.apply({before});
    tree.apply({before});
    tree.noteOpenedTab(1, QUrl("https://own/"));
    tree.noteOpenedTab(std::nullopt, QUrl("https://ignored/"));
    EXPECT_EQ(tree.pendingRootTabs().at(1).size(), 1u);
    LogCapture logs;
    auto out = tree.apply({win(1, {{"a", "https://a/", true}, {"own", "https://own/"}})});
    EXPECT_TRUE(parentsOf(out).empty());
    EXPECT_TRUE(logs.contains("Kept Ondrake-created tab own at the root"));
    EXPECT_TRUE(tree.pendingRootTabs().empty());
    // A second tab with the same URL is handled normally.
    out = tree.apply({win(1, {{"a", "https://a/", true}, {"again", "https://own/"}, {"own", "https://own/"}})});
    EXPECT_EQ(parentsOf(out), (Parents{{"again", "a"}}));

    // Not seen within two handled snapshots: the entry ages away.
    tree.noteOpenedTab(1, std::nullopt);
    tree.apply({win(1, {{"a", "https://a/", true}, {"again"}, {"own"}})});
    EXPECT_EQ(tree.pendingRootTabs().at(1), (std::vector<TabTreeRegistry::PendingRootTab>{{std::nullopt, 1}}));
    tree.apply({win(1, {{"a", "https://a/", true}, {"again"}, {"own"}})});
    EXPECT_TRUE(tree.pendingRootTabs().empty());
}

TEST(TabTreeRegistry, ResetForgetsEverything) {
    TabTreeRegistry tree;
    const auto before = win(1, {{"a", "https://a/", true}, {"b"}});
    tree.apply({before});
    tree.apply({before});
    tree.apply({win(1, {{"a", "https://a/", true}, {"b"}, {"n", "https://n/"}, {"m", "about:blank"}})});
    tree.recordUserMove(QString("a"), "b");
    tree.noteOpenedTab(1, {});
    tree.reset();
    EXPECT_TRUE(tree.parents().empty());
    EXPECT_TRUE(tree.deferredArrivals().empty());
    EXPECT_TRUE(tree.pendingRootTabs().empty());
    EXPECT_TRUE(tree.takePendingLinkMoveRequests().empty());
    // The next snapshot is a first one again.
    EXPECT_TRUE(parentsOf(tree.apply({win(1, {{"a", "https://a/", true}, {"z"}, {"b"}})})).empty());
}

TEST(TabTreeRegistry, CyclicLinksNeverHangAWalk) {
    TabTreeRegistry tree;
    tree.apply({win(1, {{"a", "https://a/", true}, {"b"}})});
    tree.recordUserMove(QString("b"), "a");
    tree.recordUserMove(QString("a"), "b");
    const auto out = tree.apply({win(1, {{"a", "https://a/", true}, {"b"}})});
    EXPECT_EQ(parentsOf(out), (Parents{{"b", "a"}}));  // a's parent stands after it
}

TEST(TabTreeRegistry, UserMovesNestAndUnnest) {
    TabTreeRegistry tree;
    const auto w = win(1, {{"a", "https://a/", true}, {"b"}});
    tree.apply({w});
    LogCapture logs;
    tree.recordUserMove(QString("a"), "b");
    EXPECT_EQ(parentsOf(tree.apply({w})), (Parents{{"b", "a"}}));
    tree.recordUserMove(std::nullopt, "b");
    EXPECT_TRUE(parentsOf(tree.apply({w})).empty());
    EXPECT_TRUE(logs.contains("User nested b under a"));
    EXPECT_TRUE(logs.contains("User moved b to the root"));
}

}  // namespace
