#include "SimulatedBrowserStore.h"

#include "Ondrake/Model/LegacyIdentity.h"
#include "Store/StoreStartup.h"
#include "Sync/TabPoller.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace ondrake {
namespace {

using test::Browser;
using test::page;
using test::simWindow;

TEST(StoreEndToEnd, ClosingATabWithNestedTabsUnderEachBehaviour) {
    struct Case {
        ParentCloseBehavior behavior;
        std::vector<QString> left;
        std::vector<QString> inBatch;
    };
    const std::vector<Case> cases{
        {ParentCloseBehavior::parentOnly, {"A", "C1", "G", "C2", "C3", "X"}, {"P"}},
        {ParentCloseBehavior::parentAndDescendants, {"A", "C2", "C3", "X"}, {"P", "C1", "G"}},
    };
    for (const auto &c : cases) {
        Browser browser;
        browser.safari.addWindow(simWindow({page("A"), page("P"), page("C1"), page("G"), page("C2"), page("C3"), page("X")}));
        browser.start();
        browser.poll();
        browser.nest("C1", "P");
        browser.nest("G", "C1");
        browser.nest("C2", "P");
        browser.nest("C3", "P");
        browser.poll();
        ASSERT_EQ(browser.tab("G").parentID, browser.tab("C1").id);
        auto &store = *browser.store;
        store.updateBook([&](TabRecordBook &book) {
            book.records.at(browser.idOf("C2")).locked = true;
            book.records.at(browser.idOf("C3")).pinned = true;
        });
        store.setSettings(AppSettings{c.behavior});
        const auto closingIDs = std::vector<OndrakeID>{browser.idOf("P"), browser.idOf("C1"), browser.idOf("G")};

        const auto result = runToCompletion(browser.scheduler,
                                             store.commands().closeTabs({browser.tab("P")}, store.windows()));
        EXPECT_EQ(browser.titles(), c.left) << "the browser lost the tabs";
        ASSERT_TRUE(result.batch);
        EXPECT_EQ(result.closed, int(c.inBatch.size()));
        const bool subtree = c.behavior == ParentCloseBehavior::parentAndDescendants;
        EXPECT_EQ(result.keptLocked, subtree ? 1 : 0);
        EXPECT_EQ(result.keptPinned, subtree ? 1 : 0);
        ASSERT_EQ(store.recentlyClosed().batches.size(), 1u);
        std::vector<QString> remembered;
        for (const auto &closed : store.recentlyClosed().batches[0].tabs) remembered.push_back(closed.title);
        EXPECT_EQ(remembered, c.inBatch) << "the history holds the batch";

        for (std::size_t i = 0; i < c.inBatch.size(); ++i)
            EXPECT_FALSE(store.records().at(closingIDs[i]).closedAt) << "records wait for the next poll";
        browser.poll();
        for (std::size_t i = 0; i < c.inBatch.size(); ++i)
            EXPECT_TRUE(store.records().at(closingIDs[i]).closedAt) << c.inBatch[i].toStdString();
        EXPECT_FALSE(store.records().at(browser.idOf("C2")).closedAt);
    }
}

// Identical tabs in one window and across windows, nesting, marks and a group. The record file
// keeps no window, so identical tabs across windows are told apart by their index.
struct Session {
    static void build(Browser &browser) {
        browser.safari.addWindow(simWindow({page("Home"), page("Dup"), page("Dup"), page("Dup"), page("Other")}));
        browser.safari.addWindow(simWindow({page("Dup"), page("Leaf"), page("Note"), page("Extra"), page("Dup")}));
    }
    // Positions: window order, tab order.
    static std::vector<std::pair<std::int64_t, std::int64_t>> places(const Browser &browser) {
        std::vector<std::pair<std::int64_t, std::int64_t>> all;
        for (const auto &w : browser.store->windows())
            for (const auto &t : w.tabs) all.emplace_back(w.safariID, t.index);
        return all;
    }
    // The record of each tab, in the order of places().
    static std::vector<OndrakeID> records(const Browser &browser) {
        std::vector<OndrakeID> ids;
        for (const auto &w : browser.store->windows())
            for (const auto &t : w.tabs) ids.push_back(browser.store->ondrakeIDs().value(t.id));
        return ids;
    }
    static std::vector<std::optional<OndrakeID>> parents(const Browser &browser) {
        std::vector<std::optional<OndrakeID>> all;
        for (const auto &id : records(browser)) all.push_back(browser.store->records().at(id).parentID);
        return all;
    }
    // The parent of each shown tab, as the sidebar draws it: by record, through the session ids.
    static std::vector<std::optional<OndrakeID>> shownParents(const Browser &browser) {
        std::vector<std::optional<OndrakeID>> all;
        for (const auto &w : browser.store->windows())
            for (const auto &t : w.tabs)
                all.push_back(t.parentID ? std::optional(browser.store->ondrakeIDs().value(*t.parentID)) : std::nullopt);
        return all;
    }
};

TEST(StoreEndToEnd, TheOrganisationSurvivesABrowserRestart) {
    Browser browser;
    Session::build(browser);
    browser.start();
    browser.poll();
    // Window 1: Home > Dup(2) > Dup(3); Dup(4) under Home too. Window 2: Dup(1) > Leaf(2).
    const auto &w1 = browser.store->windows()[0].tabs;
    const auto &w2 = browser.store->windows()[1].tabs;
    const auto nestAt = [&](const SafariTab &child, const SafariTab &parent) {
        runToCompletion(browser.scheduler,
                        browser.controller->moveTabs({child.windowID, child.index, 1, child.index,
                                                      absoluteText(child.url),
                                                      std::int64_t(child.windowID == w1[0].windowID ? w1.size() : w2.size()),
                                                      child.id, parent.id}));
    };
    nestAt(w1[1], w1[0]);
    nestAt(w1[2], w1[1]);
    nestAt(w1[3], w1[0]);
    nestAt(w2[1], w2[0]);
    browser.poll();
    const TabGroup group{.name = "Reading", .createdAt = browser.scheduler.wallNow()};
    const auto before = Session::records(browser);
    browser.store->updateBook([&](TabRecordBook &book) {
        book.groups[group.id] = group;
        book.records.at(before[2]).important = true;
        book.records.at(before[3]).groupID = group.id;
        book.records.at(before[5]).pinned = true;
        book.records.at(before[6]).locked = true;
    });
    const auto places = Session::places(browser);
    const auto parents = Session::parents(browser);
    const auto records = browser.store->records();
    ASSERT_EQ(parents[1], before[0]);
    ASSERT_EQ(parents[2], before[1]);
    ASSERT_EQ(parents[6], before[5]);

    // The browser quits; the application saves at its quit and starts again from the file.
    browser.safari.quit();
    browser.poll();
    browser.store->cancelPendingSave();
    browser.store->save();
    browser.start();
    browser.safari.launch();
    browser.poll();

    EXPECT_EQ(Session::places(browser), places);
    EXPECT_EQ(Session::records(browser), before) << "every record is back on the tab at its own place";
    EXPECT_EQ(Session::parents(browser), parents);
    EXPECT_EQ(Session::shownParents(browser), parents) << "the sidebar shows the nesting again";
    for (const auto &[id, r] : browser.store->records()) {
        const auto &old = records.at(id);
        EXPECT_EQ(r.important, old.important);
        EXPECT_EQ(r.groupID, old.groupID);
        EXPECT_EQ(r.pinned, old.pinned);
        EXPECT_EQ(r.locked, old.locked);
    }
    EXPECT_EQ(browser.store->records().size(), records.size()) << "nothing doubled";
}

TEST(StoreEndToEnd, ARelaunchNoPollSawEndsLikeOneItSaw) {
    const auto run = [](bool observed) {
        Browser browser;
        browser.safari.addWindow(simWindow({page("Home"), page("Dup"), page("Dup"), page("Other")}));
        browser.start();
        browser.poll();
        browser.nest("Other", "Home");  // not contiguous once the others are back: the tree may drop it
        const auto &tabs = browser.store->windows()[0].tabs;
        runToCompletion(browser.scheduler,
                        browser.controller->moveTabs({1001, 2, 1, 2, absoluteText(tabs[1].url), 4, tabs[1].id, tabs[0].id}));
        browser.poll();
        const auto dup = browser.store->ondrakeIDs().value(browser.store->windows()[0].tabs[2].id);
        browser.store->updateBook([&](TabRecordBook &book) { book.records.at(dup).pinned = true; });
        const auto before = Session::records(browser);

        browser.safari.quit();
        if (observed) browser.poll();
        browser.safari.launch();
        browser.poll();
        EXPECT_EQ(Session::records(browser), before) << (observed ? "observed" : "unobserved");
        EXPECT_EQ(browser.store->records().size(), before.size()) << (observed ? "observed" : "unobserved");
        EXPECT_TRUE(browser.store->records().at(dup).pinned);
        // Parents by the position of the parent's tab, comparable between the two runs.
        const auto ids = Session::records(browser);
        const auto positions = [&](const std::vector<std::optional<OndrakeID>> &parents) {
            std::vector<std::optional<std::ptrdiff_t>> at;
            for (const auto &p : parents)
                at.push_back(p ? std::optional(std::find(ids.begin(), ids.end(), *p) - ids.begin()) : std::nullopt);
            return at;
        };
        return std::make_pair(positions(Session::parents(browser)), positions(Session::shownParents(browser)));
    };
    const auto seen = run(true);
    const auto unseen = run(false);
    EXPECT_EQ(unseen, seen);
    EXPECT_TRUE(seen.first[1]) << "the nesting of the first Dup comes back";
}

TEST(StoreEndToEnd, ThePollerDrivesTheStore) {
    Browser browser;
    browser.safari.addWindow(simWindow({page("A"), page("B")}));
    browser.safari.activate();  // polled on every tick while in front
    browser.start();
    TabPoller poller(*browser.store, browser.scheduler, browser.workspace);
    poller.start();
    browser.settle();
    EXPECT_EQ(browser.store->state(), SidebarState::ready());
    browser.safari.update([](auto &windows) { windows[0].tabs.push_back(page("C")); });
    browser.scheduler.advance(TabPoller::kInterval);
    browser.settle();
    EXPECT_EQ(browser.store->records().size(), 3u);
    browser.safari.quit();
    browser.scheduler.advance(Seconds(1));
    browser.settle();
    EXPECT_EQ(browser.store->state(), SidebarState::safariNotRunning());
}

TEST(StoreEndToEnd, AReopenedSubtreeComesBackUnderItsParentsInPlace) {
    Browser browser;
    browser.safari.addWindow(simWindow({page("A"), page("P"), page("C1"), page("G"), page("C2"), page("X")}));
    browser.start();
    browser.poll();
    browser.nest("C1", "P");
    browser.nest("G", "C1");
    browser.nest("C2", "P");
    browser.poll();
    auto &store = *browser.store;
    // Each row as the sidebar shows it: its record and its parent's record.
    const auto shape = [&] {
        std::vector<std::pair<OndrakeID, std::optional<OndrakeID>>> rows;
        for (const auto &t : store.windows()[0].tabs)
            rows.emplace_back(store.ondrakeIDs().value(t.id),
                              t.parentID ? std::optional(store.ondrakeIDs().value(*t.parentID)) : std::nullopt);
        return rows;
    };
    const auto before = shape();
    ASSERT_EQ(before[3], std::make_pair(browser.idOf("G"), std::optional(browser.idOf("C1"))));
    const auto records = std::vector<OndrakeID>{browser.idOf("P"), browser.idOf("C1"), browser.idOf("G"), browser.idOf("C2")};

    store.setParentCloseBehavior(ParentCloseBehavior::parentAndDescendants);
    runToCompletion(browser.scheduler, store.closeTabs({browser.tab("P")}));
    EXPECT_EQ(browser.titles(), (std::vector<QString>{"A", "X"}));
    for (const auto &id : records) EXPECT_TRUE(store.records().at(id).closedAt);

    runToCompletion(browser.scheduler, store.reopenLastClosed());
    EXPECT_EQ(store.lastActionSummary(), QStringLiteral("Reopened 4 tabs"));
    for (int i = 0; i < 3; ++i) browser.poll();
    EXPECT_TRUE(store.pendingRestores().empty());
    EXPECT_EQ(shape(), before) << "every tab under its parent at its place";
    for (const auto &id : records) EXPECT_FALSE(store.records().at(id).closedAt) << "the old records, open again";
    EXPECT_EQ(store.records().size(), 6u) << "no new records";
}

TEST(StoreStartup, TheFormerIdentitysRecordFileIsCarriedOverOnceBeforeLoading) {
    test::TemporaryPaths folders;
    const auto legacy = *LegacyIdentity::legacyRecordFileURL(folders.paths().home);
    QDir().mkpath(QFileInfo(legacy).absolutePath());
    QFile file(legacy);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(R"({"schemaVersion":3,"records":[{"id":"00000000-0000-0000-0000-000000000001","title":"kept",)"
               R"("createdAt":"2025-01-01T00:00:00Z"}]})");
    file.close();
    UserDefaults defaults;
    const auto store = openRecordFileStore(folders.paths(), defaults);
    EXPECT_TRUE(defaults.boolForKey(QString::fromLatin1(LegacyIdentity::kMigratedKey)));
    auto loading = store;
    EXPECT_EQ(loading.load(QDateTime::currentDateTimeUtc()).state.records.size(), 1u);

    test::TemporaryPaths other;
    UserDefaults otherDefaults;
    openRecordFileStore(other.paths(), otherDefaults);
    EXPECT_FALSE(otherDefaults.boolForKey(QString::fromLatin1(LegacyIdentity::kMigratedKey))) << "once per process";
}

}  // namespace
}  // namespace ondrake
