#include "SyncTestSupport.h"

#include "Sync/TabIdentityResolver.h"

#include "Log.h"

#include <functional>
#include <limits>

namespace ondrake {
namespace {

using test::at;
using test::record;
using test::rid;
using test::safariTab;
using test::safariWindow;

std::vector<OndrakeID> poolIDs(const TabIdentityResolver &resolver) {
    std::vector<OndrakeID> out;
    for (const auto &e : resolver.pool()) out.push_back(e.id);
    return out;
}

TabRecord stored(int n, const QString &title, const QString &url, std::optional<qint64> index = std::nullopt) {
    auto r = record(rid(n), title, url);
    r.index = index;
    return r;
}

const QString kNews = QStringLiteral("https://news.example/");

TEST(TabIdentityResolver, LoadsOpenRecordsIntoThePoolAndReattachesThem) {
    LogCapture log;
    TabIdentityResolver resolver;
    auto closed = stored(4, QStringLiteral("Gone"), QStringLiteral("https://gone.example/"));
    closed.closedAt = at(1);
    resolver.loadPool({stored(1, QStringLiteral("A"), QStringLiteral("https://a.example/")),
                       stored(2, QStringLiteral("B"), QStringLiteral("https://b.example/")), closed,
                       stored(3, QStringLiteral("C"), QStringLiteral("https://c.example/"))});
    EXPECT_EQ(poolIDs(resolver), (std::vector<OndrakeID>{rid(1), rid(2), rid(3)}));
    EXPECT_TRUE(log.contains(QStringLiteral("3 record(s) available for reattachment")));

    const std::vector<SafariWindow> windows{
        safariWindow(10, {safariTab("tab-0", 10, 1, "C", "https://c.example/"),
                          safariTab("tab-1", 10, 2, "A", "https://a.example/", true)}),
        safariWindow(11, {safariTab("tab-2", 11, 1, "B", "https://b.example/", true)}, 2)};
    const auto mapping = resolver.resolve(windows);
    EXPECT_EQ(mapping, (TabIdentityMapping{{"tab-0", rid(3)}, {"tab-1", rid(1)}, {"tab-2", rid(2)}}));
    EXPECT_TRUE(resolver.pool().empty());
    EXPECT_EQ(resolver.bindings(), mapping);
    EXPECT_TRUE(log.contains(QStringLiteral("Resolved 3 tab(s): 3 reattached, 0 new")));

    // Every tab bound: the same identities, the pool untouched, nothing logged.
    log.clear();
    resolver.release(stored(5, QStringLiteral("E"), QStringLiteral("https://e.example/")));
    auto renamed = windows;
    renamed[0].tabs[0].title = QStringLiteral("C, renamed");
    renamed[0].tabs[0].url = QUrl(QStringLiteral("https://elsewhere.example/"));
    renamed[1].tabs.clear();
    EXPECT_EQ(resolver.resolve(renamed), (TabIdentityMapping{{"tab-0", rid(3)}, {"tab-1", rid(1)}}));
    EXPECT_EQ(poolIDs(resolver), (std::vector<OndrakeID>{rid(5)}));
    EXPECT_TRUE(log.messages(QStringLiteral("Identity")).empty());
}

TEST(TabIdentityResolver, TitleMatchesComeBeforeAddressMatches) {
    TabIdentityResolver resolver;
    resolver.loadPool({stored(1, QStringLiteral("A"), kNews, 1), stored(2, QStringLiteral("B"), kNews, 2)});
    // Tab B stands nearer record A's position, but every tab tries the title first.
    const auto mapping = resolver.resolve({safariWindow(
        1, {safariTab("tab-0", 1, 1, "B", kNews), safariTab("tab-1", 1, 2, "A", kNews)})});
    EXPECT_EQ(mapping.value("tab-0"), rid(2));
    EXPECT_EQ(mapping.value("tab-1"), rid(1));
}

TEST(TabIdentityResolver, PicksTheNearestPositionAndTheEarliestOnATie) {
    struct Case {
        const char *name;
        std::vector<TabRecord> pool;
        std::int64_t tabIndex;
        OndrakeID expected;
    };
    const Case cases[] = {
        {"nearest", {stored(1, "T", kNews, 1), stored(2, "T", kNews, 4)}, 3, rid(2)},
        {"tie goes to the earlier entry", {stored(1, "T", kNews, 2), stored(2, "T", kNews, 4)}, 3, rid(1)},
        {"no position costs nothing", {stored(1, "T", kNews, 4), stored(2, "T", kNews)}, 3, rid(2)},
        {"address alone when no title matches", {stored(1, "Other", kNews, 9), stored(2, "Else", kNews, 3)}, 3, rid(2)},
        {"a far-off stored position", {stored(1, "T", kNews, std::numeric_limits<qint64>::min()), stored(2, "T", kNews, 9)}, 3, rid(2)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TabIdentityResolver resolver;
        resolver.loadPool(c.pool);
        const auto mapping = resolver.resolve({safariWindow(1, {safariTab("tab-0", 1, c.tabIndex, "T", kNews)})});
        EXPECT_EQ(mapping.value("tab-0"), c.expected);
        EXPECT_EQ(resolver.pool().size(), 1u);
    }
}

TEST(TabIdentityResolver, SamePageInTwoWindowsGoesByPosition) {
    TabIdentityResolver resolver;
    resolver.loadPool({stored(1, "Docs", kNews, 1), stored(2, "Docs", kNews, 3)});
    const auto mapping = resolver.resolve({safariWindow(1, {safariTab("tab-0", 1, 3, "Docs", kNews)}),
                                           safariWindow(2, {safariTab("tab-1", 2, 1, "Docs", kNews)}, 2)});
    EXPECT_EQ(mapping.value("tab-0"), rid(2));
    EXPECT_EQ(mapping.value("tab-1"), rid(1));
}

// After a restart records carry no window, so twins in several windows are told apart by their
// positions alone: taken together they move least, whichever window the poll lists first.
TEST(TabIdentityResolver, TwinsShareTheirRecordsByTheLeastTotalMove) {
    struct Case {
        const char *what;
        std::vector<TabRecord> pool;
        std::vector<SafariWindow> windows;
        TabIdentityMapping expected;
    };
    const Case cases[] = {
        // Taken tab by tab the first would take record 1 (2 away) and leave record 2 to the second
        // (7 away): 9 in all, against 5.
        {"across windows",
         {stored(1, "Docs", kNews, 4), stored(2, "Docs", kNews, 9)},
         {safariWindow(1, {safariTab("tab-0", 1, 6, "Docs", kNews)}), safariWindow(2, {safariTab("tab-1", 2, 2, "Docs", kNews)}, 2)},
         {{"tab-0", rid(2)}, {"tab-1", rid(1)}}},
        {"the earlier twin took the later one's title",
         {stored(1, "A", kNews, 1), stored(2, "B", kNews, 2)},
         {safariWindow(1, {safariTab("tab-0", 1, 1, "B", kNews), safariTab("tab-1", 1, 2, "B", kNews)})},
         {{"tab-0", rid(1)}, {"tab-1", rid(2)}}},
        {"three tabs for two records: the one farthest off is new",
         {stored(1, "Docs", kNews, 2), stored(2, "Docs", kNews, 3)},
         {safariWindow(1, {safariTab("tab-0", 1, 1, "Docs", kNews), safariTab("tab-1", 1, 3, "Docs", kNews),
                           safariTab("tab-2", 1, 9, "Docs", kNews)})},
         {{"tab-0", rid(1)}, {"tab-1", rid(2)}}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        TabIdentityResolver resolver;
        resolver.loadPool(c.pool);
        const auto mapping = resolver.resolve(c.windows);
        for (const auto &[session, id] : c.expected) EXPECT_EQ(mapping.value(session), id) << session.text.toStdString();
        EXPECT_TRUE(resolver.pool().empty());
    }
}

TEST(TabIdentityResolver, CostIsTheDistanceAndSaturates) {
    const TabIdentityResolver::Expectation tab{.at = 5};
    constexpr auto kMin = std::numeric_limits<std::int64_t>::min();
    constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
    // Positions read from a damaged file: the cost saturates, never wraps.
    const std::pair<std::optional<std::int64_t>, std::int64_t> cases[] = {{std::nullopt, 0}, {2, 3}, {8, 3}, {kMin, kMax}, {kMax, kMax - 5}};
    for (const auto &[index, expected] : cases) EXPECT_EQ(TabIdentityResolver::cost({rid(1), kNews, "T", index}, tab), expected);
}

TEST(TabIdentityResolver, BlankTabsAlwaysGetNewIdentities) {
    LogCapture log;
    TabIdentityResolver resolver;
    resolver.loadPool({record(rid(1), QString(), std::nullopt), record(rid(2), QStringLiteral("Blank"), QString())});
    const auto mapping = resolver.resolve({safariWindow(1, {safariTab("tab-0", 1, 1, "Blank", "")})});
    ASSERT_EQ(mapping.size(), 1);
    EXPECT_NE(mapping.value("tab-0"), rid(1));
    EXPECT_NE(mapping.value("tab-0"), rid(2));
    EXPECT_EQ(resolver.pool().size(), 2u);
    EXPECT_TRUE(log.contains(QStringLiteral("Resolved 1 tab(s): 0 reattached, 1 new")));
}

TEST(TabIdentityResolver, AReleasedRecordReattachesToTheTabThatShowsItsPage) {
    TabIdentityResolver resolver;
    const auto first = resolver.resolve({safariWindow(1, {safariTab("tab-0", 1, 1, "A", "https://a.example/")})});
    auto closedRecord = record(first.value("tab-0"), "A", "https://a.example/");
    closedRecord.sessionTabID = QStringLiteral("tab-0");
    closedRecord.closedAt = at(5);
    resolver.release(closedRecord);
    resolver.release(closedRecord);  // pooled once
    EXPECT_TRUE(resolver.bindings().isEmpty());
    EXPECT_EQ(resolver.pool().size(), 1u);

    const auto reopened = resolver.resolve({safariWindow(1, {safariTab("tab-7", 1, 1, "A", "https://a.example/")})});
    EXPECT_EQ(reopened.value("tab-7"), closedRecord.id);
    EXPECT_TRUE(resolver.pool().empty());
}

TEST(TabIdentityResolver, AfterTheBrowserQuitsOpenRecordsReattachOnce) {
    TabIdentityResolver resolver;
    resolver.loadPool({stored(1, "Waiting", "https://w.example/")});
    const auto mapping = resolver.resolve({safariWindow(1, {safariTab("tab-0", 1, 1, "A", "https://a.example/")})});
    auto open = record(mapping.value("tab-0"), "A", "https://a.example/");
    open.sessionTabID = QStringLiteral("tab-0");
    auto closed = stored(3, "Closed", "https://c.example/");
    closed.closedAt = at(1);

    resolver.unbindAll({stored(1, "Waiting", "https://w.example/"), open, closed});
    EXPECT_TRUE(resolver.bindings().isEmpty());
    EXPECT_EQ(poolIDs(resolver), (std::vector<OndrakeID>{rid(1), open.id}));

    const auto next = resolver.resolve({safariWindow(5, {safariTab("tab-1", 5, 1, "A", "https://a.example/"),
                                                         safariTab("tab-2", 5, 2, "Waiting", "https://w.example/")})});
    EXPECT_EQ(next.value("tab-1"), open.id);
    EXPECT_EQ(next.value("tab-2"), rid(1));
}

// The usual poll repeats the last one and is answered by the bindings as they stand; a binding
// given up in between must not let a tab of that poll go without an identity.
TEST(TabIdentityResolver, ARepeatedPollAfterBindingsWereGivenUpResolvesEveryTab) {
    const std::vector<SafariWindow> windows{safariWindow(1, {safariTab("tab-0", 1, 1, "A", "https://a.example/"),
                                                             safariTab("tab-1", 1, 2, "B", "https://b.example/")})};
    struct Case {
        const char *what;
        std::function<void(TabIdentityResolver &, const TabIdentityMapping &)> between;
    };
    const Case cases[] = {
        {"nothing", [](TabIdentityResolver &, const TabIdentityMapping &) {}},
        {"one record released",
         [](TabIdentityResolver &resolver, const TabIdentityMapping &first) {
             auto released = record(first.value("tab-1"), "B", "https://b.example/");
             released.sessionTabID = QStringLiteral("tab-1");
             resolver.release(released);
         }},
        {"the browser quit",
         [](TabIdentityResolver &resolver, const TabIdentityMapping &first) {
             auto a = record(first.value("tab-0"), "A", "https://a.example/");
             auto b = record(first.value("tab-1"), "B", "https://b.example/");
             resolver.unbindAll({a, b});
         }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        TabIdentityResolver resolver;
        const auto first = resolver.resolve(windows);
        c.between(resolver, first);
        // Each record comes back to the tab that shows its page.
        EXPECT_EQ(resolver.resolve(windows), first);
        EXPECT_EQ(resolver.bindings(), first);
        EXPECT_TRUE(resolver.pool().empty());
    }
}

}  // namespace
}  // namespace ondrake
