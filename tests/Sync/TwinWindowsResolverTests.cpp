#include "SyncTestSupport.h"

#include "Sync/TabIdentityResolver.h"
#include "Sync/WindowKeys.h"

#include <QRegularExpression>

#include <limits>
#include <map>

namespace ondrake {
namespace {

using test::rid;

// A record of the stored window `w` at 1-based `index`, written "Page", then "^n" when nested
// under the record at n of its window, "#g" when in group g, "!" when its tab had closed.
TabRecord stored(const QString &written, int w, int index, bool noted) {
    static const QRegularExpression form(QStringLiteral(R"(^(\w+)(?:\^(\d+))?(?:#(\d+))?(!)?$)"));
    const auto m = form.match(written);
    EXPECT_TRUE(m.hasMatch()) << written.toStdString();
    auto r = test::record(rid(100 * w + index), m.captured(1), QStringLiteral("https://%1.example/").arg(m.captured(1).toLower()));
    r.index = index;
    if (noted) r.windowKey = 40 + w;
    if (!m.captured(2).isEmpty()) r.parentID = rid(100 * w + m.captured(2).toInt());
    if (!m.captured(3).isEmpty()) r.groupID = test::gid(m.captured(3).toInt());
    if (!m.captured(4).isEmpty()) r.closedAt = test::at(1);
    return r;
}

using Layout = std::vector<std::vector<const char *>>;

// Which record each tab of the poll takes, as "w.i" of the stored layout, or "new".
std::vector<std::vector<std::string>> resolve(const Layout &before, const Layout &now, bool noted) {
    TabIdentityResolver resolver;
    std::vector<TabRecord> open;
    std::vector<TabRecord> closed;
    for (std::size_t w = 0; w < before.size(); ++w)
        for (std::size_t i = 0; i < before[w].size(); ++i) {
            auto r = stored(QString::fromUtf8(before[w][i]), int(w) + 1, int(i) + 1, noted);
            (r.closedAt ? closed : open).push_back(r);
        }
    resolver.loadPool(open);
    for (const auto &r : closed) resolver.release(r);
    std::vector<SafariWindow> windows;
    int serial = 0;
    for (std::size_t w = 0; w < now.size(); ++w) {
        std::vector<SafariTab> tabs;
        for (std::size_t i = 0; i < now[w].size(); ++i) {
            const auto page = QString::fromUtf8(now[w][i]);
            tabs.push_back(test::safariTab(QStringLiteral("tab-%1").arg(serial++), std::int64_t(w) + 7, std::int64_t(i) + 1, page,
                                           QStringLiteral("https://%1.example/").arg(page.toLower())));
        }
        windows.push_back(test::safariWindow(std::int64_t(w) + 7, std::move(tabs), std::int64_t(w) + 1));
    }
    const auto mapping = resolver.resolve(windows);
    std::vector<std::vector<std::string>> taken;
    for (const auto &window : windows) {
        auto &row = taken.emplace_back();
        for (const auto &tab : window.tabs) {
            std::string name = "new";
            for (int n = 100; n < 100 * int(before.size() + 1); ++n)
                if (mapping.value(tab.id) == rid(n)) name = std::to_string(n / 100) + "." + std::to_string(n % 100);
            row.push_back(name);
        }
    }
    return taken;
}

// After a restart, the tabs of a page open in several windows take the records of the window
// they stand in, as the records placed with certainty, the pages open in one window and the
// links of certain records tell, whatever order the windows come back in.
TEST(TwinWindows, EachWindowsTabsTakeTheirOwnWindowsRecords) {
    struct Case {
        const char *what;
        Layout before;
        Layout now;
        bool noted;  // records carry their window's key
        std::vector<std::vector<std::string>> expected;
    };
    const Case cases[] = {
        {"pages shown once name the windows, back reversed",
         {{"Home", "Aa"}, {"Home", "Bb"}},
         {{"Home", "Bb"}, {"Home", "Aa"}},
         true,
         {{"2.1", "2.2"}, {"1.1", "1.2"}}},
        {"pages open in one window only name them",
         {{"Home", "Mail", "Mail"}, {"Home", "Docs", "Docs"}},
         {{"Home", "Docs", "Docs"}, {"Home", "Mail", "Mail"}},
         true,
         {{"2.1", "2.2", "2.3"}, {"1.1", "1.2", "1.3"}}},
        {"a window placed tells the pages it shares with another",
         {{"Home", "Aa", "Mail"}, {"Home", "Mail", "Docs"}, {"Home", "Docs"}},
         {{"Home", "Docs"}, {"Home", "Aa", "Mail"}, {"Home", "Mail", "Docs"}},
         true,
         {{"3.1", "3.2"}, {"1.1", "1.2", "1.3"}, {"2.1", "2.2", "2.3"}}},
        {"windows that mirror each other come back as first seen",
         {{"Home", "Mail"}, {"Home", "Mail"}},
         {{"Home", "Mail"}, {"Home", "Mail"}},
         true,
         {{"1.1", "1.2"}, {"2.1", "2.2"}}},
        {"a window not back leaves its records waiting",
         {{"Home", "Aa"}, {"Home", "Bb"}},
         {{"Home", "Bb"}},
         true,
         {{"2.1", "2.2"}}},
        {"a child placed with certainty names its parent's window",
         {{"Home", "Aa^1"}, {"Home", "Bb^1"}},
         {{"Home", "Bb"}, {"Home", "Aa"}},
         false,
         {{"2.1", "2.2"}, {"1.1", "1.2"}}},
        {"a parent placed with certainty names its child's window",
         {{"Aa", "Home^1"}, {"Bb", "Home^1"}},
         {{"Bb", "Home"}, {"Aa", "Home"}},
         false,
         {{"2.1", "2.2"}, {"1.1", "1.2"}}},
        {"a group's certain members name its window",
         {{"Aa#5", "Home#5"}, {"Bb", "Home"}},
         {{"Bb", "Home"}, {"Aa", "Home"}},
         false,
         {{"2.1", "2.2"}, {"1.1", "1.2"}}},
        {"a record whose tab had closed waits while an open one is left",
         {{"Home", "Mail!", "Mail", "Mail"}},
         {{"Home", "Mail", "Mail"}},
         true,
         {{"1.1", "1.3", "1.4"}}},
        {"and is taken when none is",
         {{"Home", "Mail!", "Mail"}},
         {{"Home", "Mail", "Mail"}},
         true,
         {{"1.1", "1.2", "1.3"}}},
        {"a window split in two: each part takes its own records",
         {{"Home", "Aa", "Home", "Bb"}, {"Home", "Cc"}},
         {{"Home", "Aa"}, {"Home", "Bb"}, {"Home", "Cc"}},
         true,
         {{"1.1", "1.2"}, {"1.3", "1.4"}, {"2.1", "2.2"}}},
        {"the part split off in front",
         {{"Home", "Aa", "Home", "Bb"}, {"Home", "Cc"}},
         {{"Home", "Bb"}, {"Home", "Cc"}, {"Home", "Aa"}},
         true,
         {{"1.3", "1.4"}, {"2.1", "2.2"}, {"1.1", "1.2"}}},
        {"a part of pages shown elsewhere too takes the records its window's others do not show",
         {{"Home", "Aa", "Bb"}, {"Home", "Cc"}},
         {{"Home"}, {"Aa", "Bb"}, {"Home", "Cc"}},
         true,
         {{"1.1"}, {"1.2", "1.3"}, {"2.1", "2.2"}}},
        {"two windows merged, the second after the first",
         {{"Home", "Aa", "Home"}, {"Home", "Bb", "Home"}},
         {{"Home", "Aa", "Home", "Home", "Bb", "Home"}},
         true,
         {{"1.1", "1.2", "1.3", "2.1", "2.2", "2.3"}}},
        {"two windows merged, the second in front",
         {{"Home", "Aa", "Home"}, {"Home", "Bb", "Home"}},
         {{"Home", "Bb", "Home", "Home", "Aa", "Home"}},
         true,
         {{"2.1", "2.2", "2.3", "1.1", "1.2", "1.3"}}},
        {"a merged window's record whose tab closed waits; the other window's are not taken for it",
         {{"Home", "Aa", "Home"}, {"Home", "Bb", "Home"}},
         {{"Home", "Aa", "Home", "Bb", "Home"}},
         true,
         {{"1.1", "1.2", "1.3", "2.2", "2.3"}}},
        {"windows of the same pages take the records they show as often",
         {{"Home", "Mail", "Mail"}, {"Home", "Mail"}},
         {{"Home", "Mail"}, {"Home", "Mail", "Mail"}},
         true,
         {{"2.1", "2.2"}, {"1.1", "1.2", "1.3"}}},
        // S1 U1 U2 S4 U3 U4 S7 V1..V5: the twin at 4 closed, V1..V5 dragged to the front.
        {"tabs moved while away do not outvote the tabs beside a twin",
         {{"Sky", "Ua", "Ub", "Sky", "Uc", "Ud", "Sky", "Va", "Vb", "Vc", "Vd", "Ve"}},
         {{"Va", "Vb", "Vc", "Vd", "Ve", "Sky", "Ua", "Ub", "Uc", "Ud", "Sky"}},
         true,
         {{"1.8", "1.9", "1.10", "1.11", "1.12", "1.1", "1.2", "1.3", "1.5", "1.6", "1.7"}}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(resolve(c.before, c.now, c.noted), c.expected);
    }
}

// Records still waiting after a restart take the key of the window they wait in, so that the
// next tab of their page there takes them, in this launch or a later one: the window of their
// key that shows their page, else the one that took most of their window's records. A key no
// window took leaves them as they were.
TEST(TwinWindows, WaitingRecordsTakeTheKeyOfTheWindowTheyWaitIn) {
    // Windows 1, 2 and 3 had keys 41, 42 and 43; the poll's windows get 1007, 1008 and 1009.
    const Layout three{{"Fav", "Aa", "Bb", "Cc"}, {"Fav", "Dd"}, {"Fav"}};
    struct Case {
        const char *what;
        Layout before;
        Layout now;
        std::map<int, std::int64_t> rekeyed;  // "w.i" as 100 w + i, to the key now
    };
    const Case cases[] = {
        {"each window back without the page", three, {{"Aa", "Bb", "Cc"}, {"Dd"}}, {{101, 1007}, {201, 1008}}},
        {"a window split: its record waits in the part that took more of its records",
         three, {{"Aa", "Bb"}, {"Cc"}, {"Dd"}}, {{101, 1007}, {201, 1009}}},
        {"a window split: the part showing its page keeps it",
         {{"Fav", "Aa", "Bb", "Fav", "Cc"}, {"Fav", "Dd"}}, {{"Aa", "Bb"}, {"Fav", "Cc"}, {"Dd"}}, {{101, 1008}, {201, 1009}}},
        {"a window merged into another: both windows' waiting records go with it",
         three, {{"Aa", "Bb", "Cc", "Dd"}}, {{101, 1007}, {201, 1007}}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        TabIdentityResolver resolver;
        std::vector<TabRecord> records;
        for (std::size_t w = 0; w < c.before.size(); ++w)
            for (std::size_t i = 0; i < c.before[w].size(); ++i)
                records.push_back(stored(QString::fromUtf8(c.before[w][i]), int(w) + 1, int(i) + 1, true));
        resolver.loadPool(records);
        std::vector<SafariWindow> windows;
        int serial = 0;
        for (std::size_t w = 0; w < c.now.size(); ++w) {
            std::vector<SafariTab> tabs;
            for (std::size_t i = 0; i < c.now[w].size(); ++i) {
                const auto page = QString::fromUtf8(c.now[w][i]);
                tabs.push_back(test::safariTab(QStringLiteral("tab-%1").arg(serial++), std::int64_t(w) + 7, std::int64_t(i) + 1, page,
                                               QStringLiteral("https://%1.example/").arg(page.toLower())));
            }
            windows.push_back(test::safariWindow(std::int64_t(w) + 7, std::move(tabs), std::int64_t(w) + 1));
        }
        resolver.resolve(windows, [](std::int64_t windowID) { return 1000 + windowID; });
        std::map<int, std::int64_t> rekeyed;
        for (const auto &[id, key] : resolver.rekeyed())
            for (int n = 100; n < 400; ++n)
                if (id == rid(n)) rekeyed.emplace(n, key);
        EXPECT_EQ(rekeyed, c.rekeyed);
        for (const auto &entry : resolver.pool())
            if (const auto found = std::find_if(resolver.rekeyed().begin(), resolver.rekeyed().end(),
                                                [&](const auto &r) { return r.first == entry.id; });
                found != resolver.rekeyed().end()) {
                EXPECT_EQ(entry.windowKey, found->second) << "the waiting record takes the key";
            }
    }
}

// A command releases a record to open its page again while a tab still shows it: that tab keeps
// it, unless it is gone by the poll that shows the new one.
TEST(TwinWindows, AReopenedRecordStaysWithTheTabThatHoldsIt) {
    for (const bool holderCloses : {false, true}) {
        SCOPED_TRACE(holderCloses ? "the holder closes as the new tab opens" : "the holder stays");
        TabIdentityResolver resolver;
        const auto article = [](const char *id, std::int64_t window, std::int64_t index) {
            return test::safariTab(QString::fromUtf8(id), window, index, QStringLiteral("Article"),
                                   QStringLiteral("https://article.example/"));
        };
        const auto home = test::safariTab(QStringLiteral("tab-0"), 1, 1, QStringLiteral("Home"), QStringLiteral("https://home.example/"));
        const auto first = resolver.resolve({test::safariWindow(1, {home}), test::safariWindow(2, {article("tab-1", 2, 1)}, 2)});
        auto record = test::record(first.value(QStringLiteral("tab-1")), QStringLiteral("Article"), QStringLiteral("https://article.example/"));
        record.sessionTabID = QStringLiteral("tab-1");
        resolver.release(record, true);

        std::vector<SafariTab> second{article("tab-1", 2, 1)};
        if (holderCloses) second.clear();
        const auto next = resolver.resolve({test::safariWindow(1, {home, article("tab-2", 1, 2)}), test::safariWindow(2, second, 2)});
        EXPECT_EQ(next.value(QStringLiteral("tab-2")) == record.id, holderCloses);
        if (!holderCloses) {
            EXPECT_EQ(next.value(QStringLiteral("tab-1")), record.id);
        }
        EXPECT_TRUE(resolver.pool().empty());
    }
}

// Window keys are never given twice: not to another window, not after the browser quit, not in
// a later launch that starts from the records.
TEST(TwinWindows, WindowKeysAreNeverGivenTwice) {
    WindowKeys keys;
    const auto first = keys.keyOf(1001);
    EXPECT_EQ(keys.keyOf(1001), first);
    const auto second = keys.keyOf(1002);
    EXPECT_NE(second, first);
    keys.forgetWindows();
    const auto again = keys.keyOf(1001);
    EXPECT_GT(again, second) << "the same id after a quit is another window";

    TabRecord seen = test::record(rid(1));
    seen.windowKey = 70;
    WindowKeys later;
    later.continueAfter({test::record(rid(2)), seen});
    EXPECT_EQ(later.keyOf(1001), 71);

    // A number no count of windows reaches is damage: it reads as absent, and the numbering
    // continues after the others without ever overflowing.
    for (const auto far : {std::numeric_limits<std::int64_t>::max(), std::numeric_limits<std::int64_t>::max() - 1,
                           WindowKeys::kLargest + 1}) {
        TabRecord damaged = test::record(rid(3));
        damaged.windowKey = far;
        WindowKeys keys;
        keys.continueAfter({seen, damaged});
        EXPECT_EQ(keys.keyOf(1), 71);
        EXPECT_EQ(keys.keyOf(2), 72);
        EXPECT_EQ(TabIdentityResolver::PoolEntry::from(damaged).windowKey, std::nullopt);
    }
    TabRecord edge = test::record(rid(4));
    edge.windowKey = WindowKeys::kLargest;
    EXPECT_EQ(TabIdentityResolver::PoolEntry::from(edge).windowKey, WindowKeys::kLargest);
}

}  // namespace
}  // namespace ondrake
