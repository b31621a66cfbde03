#include "SyncTestSupport.h"

#include "Sync/PendingRestore.h"
#include "Sync/TabLocation.h"

#include "Log.h"

#include <limits>

namespace ondrake {
namespace {

using test::rid;
using test::safariTab;
using test::safariWindow;

// Window 1: P, its child C1, C1's child C2, an unrelated X, and the reopened R at the end.
// Window 2: Q alone.
struct Scene {
    std::vector<SafariWindow> windows{
        safariWindow(1, {safariTab("tab-1", 1, 1, "P", "https://p.example/"),
                         safariTab("tab-2", 1, 2, "C1", "https://c1.example/", false, QStringLiteral("tab-1")),
                         safariTab("tab-3", 1, 3, "C2", "https://c2.example/", false, QStringLiteral("tab-2")),
                         safariTab("tab-4", 1, 4, "X", "https://x.example/"),
                         safariTab("tab-5", 1, 5, "R", "https://r.example/", true)}),
        safariWindow(2, {safariTab("tab-6", 2, 1, "Q", "https://q.example/", true)}, 2)};
    TabIdentityMapping mapping{{"tab-1", rid(1)}, {"tab-2", rid(2)}, {"tab-3", rid(3)},
                               {"tab-4", rid(4)}, {"tab-5", rid(5)}, {"tab-6", rid(6)}};
};

SafariTabMove moveOfR(std::int64_t from, std::int64_t to, std::optional<QString> parent) {
    return SafariTabMove{1, from, 1, to, QStringLiteral("https://r.example/"), 5, QStringLiteral("tab-5"), parent};
}

TEST(PendingRestore, PlansThePlaceOfAReopenedTab) {
    const Scene scene;
    using Plan = PendingRestore::Plan;
    struct Case {
        const char *name;
        std::optional<OndrakeID> parent;
        std::optional<std::int64_t> targetIndex;
        Plan expected;
    };
    const Case cases[] = {
        {"after the parent and its nested tabs", rid(1), 1, moveOfR(5, 4, QStringLiteral("tab-1"))},
        {"after a nested parent's own subtree", rid(2), std::nullopt, moveOfR(5, 4, QStringLiteral("tab-2"))},
        {"parent in another window: former position", rid(6), 2, moveOfR(5, 2, std::nullopt)},
        {"parent gone, no position: already last", rid(99), std::nullopt, PendingRestore::InPlace{}},
        {"position beyond the end", std::nullopt, 40, PendingRestore::InPlace{}},
        {"position of 0 or below", std::nullopt, -3, moveOfR(5, 1, std::nullopt)},
        {"former position", std::nullopt, 3, moveOfR(5, 3, std::nullopt)},
        {"the smallest stored position", std::nullopt, std::numeric_limits<std::int64_t>::min(), moveOfR(5, 1, std::nullopt)},
        {"the largest stored position", std::nullopt, std::numeric_limits<std::int64_t>::max(), PendingRestore::InPlace{}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const PendingRestore restore{rid(5), c.parent, c.targetIndex};
        EXPECT_EQ(restore.plan(scene.windows, scene.mapping), c.expected);
    }

    const PendingRestore missing{rid(42), rid(1), 1};
    EXPECT_EQ(missing.plan(scene.windows, scene.mapping), Plan(PendingRestore::NotVisibleYet{}));
    auto unmapped = scene.mapping;
    unmapped.remove("tab-5");
    EXPECT_EQ((PendingRestore{rid(5), rid(1), 1}).plan(scene.windows, unmapped), Plan(PendingRestore::NotVisibleYet{}));
}

TEST(PendingRestore, ATabAlreadyAtItsTargetNeedsNoMoveOnlyWhenNestedRight) {
    Scene scene;
    // Safari opened R right after P's block, already nested under P.
    auto &tabs = scene.windows[0].tabs;
    std::rotate(tabs.begin() + 3, tabs.begin() + 4, tabs.end());
    for (std::size_t i = 0; i < tabs.size(); ++i) tabs[i].index = std::int64_t(i) + 1;
    tabs[3].parentID = QStringLiteral("tab-1");
    const PendingRestore restore{rid(5), rid(1), std::nullopt};
    EXPECT_EQ(restore.plan(scene.windows, scene.mapping), PendingRestore::Plan(PendingRestore::InPlace{}));

    // At the right place but not nested: a move that stays put and only records the parent.
    tabs[3].parentID.reset();
    EXPECT_EQ(restore.plan(scene.windows, scene.mapping), PendingRestore::Plan(moveOfR(4, 4, QStringLiteral("tab-1"))));
}

TEST(PendingRestore, WaitsEightPollsForATabThatNeverAppears) {
    LogCapture log;
    const Logger logger(QStringLiteral("TabStore"));
    const Scene scene;
    std::vector<PendingRestore> restores{{rid(42), std::nullopt, 1}, {rid(5), rid(1), 1}, {rid(4), std::nullopt, 5}};

    // The first poll places R, finds X in place behind it and misses the first.
    EXPECT_EQ(advancePendingRestores(restores, scene.windows, scene.mapping, logger),
              (std::vector<SafariTabMove>{moveOfR(5, 4, QStringLiteral("tab-1"))}));
    ASSERT_EQ(restores.size(), 1u);
    EXPECT_EQ(restores[0].attemptsRemaining, 7);

    for (int poll = 2; poll <= 7; ++poll) EXPECT_TRUE(advancePendingRestores(restores, scene.windows, scene.mapping, logger).empty());
    ASSERT_EQ(restores.size(), 1u);
    EXPECT_EQ(restores[0].attemptsRemaining, 1);
    EXPECT_FALSE(log.contains(QStringLiteral("Gave up placing a reopened tab; it never appeared")));

    EXPECT_TRUE(advancePendingRestores(restores, scene.windows, scene.mapping, logger).empty());
    EXPECT_TRUE(restores.empty());
    EXPECT_TRUE(log.contains(QStringLiteral("Gave up placing a reopened tab; it never appeared")));
}

TEST(PendingRestore, AReopenedSubtreeIsPlacedMoveAfterMove) {
    LogCapture log;
    const Logger logger(QStringLiteral("TabStore"));
    // P > C1 > G and P > C2 were closed from between A and X; the browser opened them at the end.
    const std::vector<SafariWindow> windows{safariWindow(
        1, {safariTab("tab-1", 1, 1, "A", "https://a/"), safariTab("tab-2", 1, 2, "X", "https://x/"),
            safariTab("tab-3", 1, 3, "P", "https://p/"), safariTab("tab-4", 1, 4, "C1", "https://c1/"),
            safariTab("tab-5", 1, 5, "G", "https://g/"), safariTab("tab-6", 1, 6, "C2", "https://c2/")})};
    const TabIdentityMapping mapping{{"tab-1", rid(1)}, {"tab-2", rid(2)}, {"tab-3", rid(3)},
                                     {"tab-4", rid(4)}, {"tab-5", rid(5)}, {"tab-6", rid(6)}};
    std::vector<PendingRestore> restores{{rid(3), std::nullopt, 2}, {rid(4), rid(3), 3}, {rid(5), rid(4), 4}, {rid(6), rid(3), 5}};
    const auto move = [](std::int64_t from, std::int64_t to, const char *url, const char *tab, std::optional<QString> parent) {
        return SafariTabMove{1, from, 1, to, QString::fromUtf8(url), 6, QString::fromUtf8(tab), std::move(parent)};
    };
    // Each move's indices hold once the moves before it are made.
    EXPECT_EQ(advancePendingRestores(restores, windows, mapping, logger),
              (std::vector<SafariTabMove>{move(3, 2, "https://p/", "tab-3", std::nullopt),
                                          move(4, 3, "https://c1/", "tab-4", QStringLiteral("tab-3")),
                                          move(5, 4, "https://g/", "tab-5", QStringLiteral("tab-4")),
                                          move(6, 5, "https://c2/", "tab-6", QStringLiteral("tab-3"))}));
    EXPECT_TRUE(restores.empty());
}

TEST(TabLocation, FindsTheFirstWindowHoldingTheTab) {
    const Scene scene;
    auto windows = scene.windows;
    windows.push_back(safariWindow(3, {safariTab("tab-6", 3, 1, "Q again", "https://q.example/")}, 3));
    const auto location = locateTab(QStringLiteral("tab-6"), windows);
    ASSERT_TRUE(location);
    EXPECT_EQ(location->window->safariID, 2);
    EXPECT_EQ(location->tab->title, QStringLiteral("Q"));
    EXPECT_FALSE(locateTab(QStringLiteral("tab-77"), windows));
}

TEST(TabLocation, SubtreeComesInTabOrderAtAnyDepth) {
    // tab-1 <- tab-4 <- tab-2, tab-1 <- tab-3; the deeper tab-2 stands before tab-3 in the window.
    const auto window = safariWindow(1, {safariTab("tab-1", 1, 1, "A", "https://a/"),
                                         safariTab("tab-2", 1, 2, "B", "https://b/", false, QStringLiteral("tab-4")),
                                         safariTab("tab-3", 1, 3, "C", "https://c/", false, QStringLiteral("tab-1")),
                                         safariTab("tab-4", 1, 4, "D", "https://d/", false, QStringLiteral("tab-1")),
                                         safariTab("tab-5", 1, 5, "E", "https://e/")});
    EXPECT_EQ(subtreeTabIDs(QStringLiteral("tab-1"), window), (std::vector<QString>{"tab-2", "tab-3", "tab-4"}));
    EXPECT_EQ(subtreeTabIDs(QStringLiteral("tab-4"), window), (std::vector<QString>{"tab-2"}));
    EXPECT_TRUE(subtreeTabIDs(QStringLiteral("tab-5"), window).empty());
    EXPECT_TRUE(subtreeTabIDs(QStringLiteral("tab-1"), safariWindow(1, {safariTab("tab-1", 1, 1, "A", "https://a/")})).empty());
}

TEST(TabLocation, SubtreeSurvivesLoopsAndStopsAt64Levels) {
    const auto loop = safariWindow(1, {safariTab("tab-1", 1, 1, "A", "https://a/", false, QStringLiteral("tab-2")),
                                       safariTab("tab-2", 1, 2, "B", "https://b/", false, QStringLiteral("tab-1"))});
    EXPECT_EQ(subtreeTabIDs(QStringLiteral("tab-1"), loop), (std::vector<QString>{"tab-2"}));

    SafariWindow chain = safariWindow(1, {safariTab("tab-0", 1, 1, "root", "https://r/")});
    for (int i = 1; i <= 70; ++i)
        chain.tabs.push_back(safariTab(QStringLiteral("tab-%1").arg(i), 1, i + 1, "x", "https://x/", false,
                                       QStringLiteral("tab-%1").arg(i - 1)));
    const auto nested = subtreeTabIDs(QStringLiteral("tab-0"), chain);
    ASSERT_EQ(nested.size(), 64u);
    EXPECT_EQ(nested.back(), QStringLiteral("tab-64"));
}

}  // namespace
}  // namespace ondrake
