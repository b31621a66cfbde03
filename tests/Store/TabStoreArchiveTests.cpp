#include "StoreTestSupport.h"

#include "Store/ArchiveFile.h"

#include <QFile>

namespace ondrake {
namespace {

using test::tab;
using test::window;
using Scope = TabStore::ExportScope;
using Mode = OndrakeArchive::ImportMode;

// The front window 2 shows e and f; window 1 behind it shows a > b, then c. Groups K (0), H (1)
// and G (2); f is in H, c in G, and so is z, a closed record. Creation dates set the ties apart.
struct Archives {
    test::StoreWorld world;
    std::unique_ptr<TabStore> store;
    QDateTime start;
    TabGroup k{.name = "K", .sortIndex = 0}, h{.name = "H", .sortIndex = 1}, g{.name = "G", .sortIndex = 2};
    TabRecord z;

    Archives() {
        world.browser.windows = {window(2, {tab("e", 2, 1, true), tab("f", 2, 2)}, true, 1),
                                 window(1, {tab("a", 1, 1, true), tab("b", 1, 2, false, QStringLiteral("a")), tab("c", 1, 3)},
                                        false, 2)};
        store = world.makeStore();
        world.refresh(*store);
        start = world.scheduler.wallNow();
        z = TabRecord{.url = QStringLiteral("https://z.example/"), .title = "z", .groupID = g.id, .createdAt = start,
                      .closedAt = start};
        const std::map<QString, int> createdAfter{{"e", 0}, {"a", 1}, {"b", 2}, {"c", 3}, {"f", 5}};
        store->updateBook([&](TabRecordBook &book) {
            for (const auto &group : {k, h, g}) book.groups[group.id] = group;
            for (const auto &[session, seconds] : createdAfter)
                book.records.at(store->ondrakeIDs().value(session)).createdAt = start.addSecs(seconds);
            book.records.at(idOf("f")).groupID = h.id;
            book.records.at(idOf("c")).groupID = g.id;
            book.records[z.id] = z;
        });
    }
    OndrakeID idOf(const char *session) const { return store->ondrakeIDs().value(QString::fromUtf8(session)); }
    std::vector<QString> titles(const OndrakeArchive &archive) const {
        std::vector<QString> all;
        for (const auto &t : archive.tabs) all.push_back(t.title);
        return all;
    }
    static std::vector<QString> names(const std::vector<TabGroup> &groups) {
        std::vector<QString> all;
        for (const auto &group : groups) all.push_back(group.name);
        return all;
    }
    void run(QCoro::Task<> task) { runToCompletion(world.scheduler, std::move(task)); }
};

struct ArchiveTest : ::testing::Test, Archives {};

TEST_F(ArchiveTest, EachScopeExportsItsRecordsAndGroupsInOrder) {
    store->flags().replaceOverrides({{FeatureFlag::tabGroups().key, true}});
    store->select(QStringLiteral("b"), SidebarModifiers::none());
    store->select(QStringLiteral("f"), SidebarModifiers::command());
    struct Case {
        const char *name;
        Scope scope;
        std::vector<QString> tabs;
        std::vector<QString> groups;
        bool overrides;
    };
    const std::vector<Case> cases{
        {"all data", Scope::allData(), {"e", "a", "b", "f", "c", "z"}, {"K", "H", "G"}, true},
        {"a group", Scope::group(g.id), {"c", "z"}, {"G"}, false},
        {"the selection, in window order", Scope::selectedTabs(), {"f", "b"}, {"H"}, false},
        {"the front window", Scope::currentWindow(), {"e", "f"}, {"H"}, false},
        {"an unknown group", Scope::group(TabGroupID()), {}, {}, false},
    };
    for (const auto &c : cases) {
        const auto archive = store->exportArchive(c.scope);
        EXPECT_EQ(titles(archive), c.tabs) << c.name;
        EXPECT_EQ(names(archive.groups), c.groups) << c.name;
        EXPECT_EQ(archive.featureOverrides.has_value(), c.overrides) << c.name;
        EXPECT_EQ(archive.format, QStringLiteral("ondrake"));
        EXPECT_EQ(archive.version, 1);
        EXPECT_EQ(archive.exportedAt, world.scheduler.wallNow());
        EXPECT_EQ(archive.settings, store->settings());
        for (std::size_t i = 0; i < archive.tabs.size(); ++i) EXPECT_EQ(archive.tabs[i].order, qint64(i)) << c.name;
    }
    const auto all = store->exportArchive(Scope::allData());
    EXPECT_EQ(all.featureOverrides, (FeatureOverrides{{FeatureFlag::tabGroups().key, true}}));
    EXPECT_FALSE(all.tabs.back().wasOpen);
    EXPECT_EQ(all.tabs.back().closedAt, start);
    EXPECT_TRUE(all.tabs.front().wasOpen);
    EXPECT_EQ(all.tabs[2].parentID, idOf("a")) << "a parent inside the export stays";

    const auto selection = store->exportArchive(Scope::selectedTabs());
    EXPECT_FALSE(selection.tabs[1].parentID) << "b's parent was not exported";
    EXPECT_EQ(selection.tabs[0].groupID, h.id);
}

TEST_F(ArchiveTest, TheCurrentWindowIsTheFrontOneElseTheFirst) {
    world.browser.windows[0].isFrontmost = false;
    world.refresh(*store);
    EXPECT_EQ(titles(store->exportArchive(Scope::currentWindow())), (std::vector<QString>{"e", "f"}));
    world.browser.windows[1].isFrontmost = true;
    world.refresh(*store);
    EXPECT_EQ(titles(store->exportArchive(Scope::currentWindow())), (std::vector<QString>{"a", "b", "c"}));
    world.browser.windows.clear();
    world.refresh(*store);
    const auto none = store->exportArchive(Scope::currentWindow());
    EXPECT_TRUE(none.tabs.empty());
    EXPECT_TRUE(none.groups.empty());
}

TEST(TabStoreExportOrder, ByIndexThenCreationThenIdentity) {
    const QDateTime t0 = QDateTime::fromSecsSinceEpoch(1'700'000'000, Qt::UTC);
    const auto r = [&](int n, std::optional<qint64> index, int seconds) {
        return TabRecord{.id = test::rid(n), .index = index, .createdAt = t0.addSecs(seconds)};
    };
    struct Case {
        TabRecord a, b;
        bool aFirst, bFirst;
    };
    const std::vector<Case> cases{
        {r(2, 1, 9), r(1, 2, 0), true, false},
        {r(1, std::nullopt, 0), r(2, 99, 9), false, true},
        {r(2, 3, 0), r(1, 3, 5), true, false},
        {r(2, 3, 0), r(1, 3, 0), false, true},
        {r(1, std::nullopt, 0), r(2, std::nullopt, 0), true, false},
        {r(1, 3, 0), r(1, 3, 0), false, false},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(TabStore::exportSortOrder(cases[i].a, cases[i].b), cases[i].aFirst) << i;
        EXPECT_EQ(TabStore::exportSortOrder(cases[i].b, cases[i].a), cases[i].bFirst) << i;
    }
}

// An archive of the given pages; open ones have wasOpen set. Group X holds the first two.
OndrakeArchive archiveOf(const std::vector<std::pair<std::optional<QString>, bool>> &pages, bool nested = false) {
    OndrakeArchive archive;
    const TabGroup x{.name = "X", .sortIndex = 7}, y{.name = "Y", .sortIndex = 3};
    archive.groups = {x, y};
    for (std::size_t i = 0; i < pages.size(); ++i) {
        OndrakeArchive::Tab t{.url = pages[i].first, .title = QStringLiteral("t%1").arg(i), .order = qint64(i),
                              .wasOpen = pages[i].second};
        if (i < 2) t.groupID = x.id;
        if (nested && i > 0) t.parentID = archive.tabs.front().id;
        archive.tabs.push_back(t);
    }
    archive.settings.parentCloseBehavior = ParentCloseBehavior::parentAndDescendants;
    archive.featureOverrides = FeatureOverrides{{FeatureFlag::pinnedTabs().key, false}};
    return archive;
}

std::optional<QString> web(int n) { return QStringLiteral("https://p%1.example/").arg(n); }

TEST_F(ArchiveTest, EachImportModeStoresOpensAndSaysWhatItDid) {
    struct Case {
        const char *name;
        Mode mode;
        std::size_t opened;
        std::vector<QString> newGroups;  // by sort index
        std::vector<qint64> newSortIndices;
        bool settingsReplaced;
        QString line;
    };
    const std::vector<Case> cases{
        {"merge", Mode::merge(), 0, {"Y", "X"}, {3, 4}, false, QStringLiteral("Imported 5 tab(s)")},
        {"as a new group", Mode::openAsNewGroup("Imported"), 3, {"Imported"}, {3}, false,
         QStringLiteral("Imported and opened 3 tab(s)")},
        {"the complete structure", Mode::restoreCompleteStructure(), 3, {"Y", "X"}, {3, 4}, true,
         QStringLiteral("Imported and opened 3 tab(s)")},
    };
    const auto archive = archiveOf({{web(0), true}, {web(1), false}, {web(2), true}, {web(3), true}, {web(4), false}}, true);
    for (const auto &c : cases) {
        Archives t;
        const auto before = t.store->records().size();
        const int snapshots = t.world.browser.snapshotCount;
        t.run(t.store->importArchive(archive, c.mode));
        EXPECT_EQ(t.store->lastActionSummary(), c.line) << c.name;
        EXPECT_EQ(t.store->records().size(), before + 5) << c.name;
        EXPECT_EQ(t.world.browser.openRequests.size(), c.opened) << c.name;
        std::vector<QString> newGroups;
        std::vector<qint64> indices;
        for (const auto &group : t.store->sortedGroups())
            if (group.sortIndex > 2) {
                newGroups.push_back(group.name);
                indices.push_back(group.sortIndex);
            }
        EXPECT_EQ(newGroups, c.newGroups) << c.name;
        EXPECT_EQ(indices, c.newSortIndices) << c.name;
        EXPECT_EQ(t.store->settings().parentCloseBehavior == ParentCloseBehavior::parentAndDescendants,
                  c.settingsReplaced) << c.name;
        EXPECT_EQ(t.store->flags().isEnabled(FeatureFlag::pinnedTabs()), !c.settingsReplaced) << c.name;
        if (c.opened == 0) {
            EXPECT_EQ(t.world.browser.snapshotCount, snapshots) << "storing alone does not refresh";
        }
        for (const auto &request : t.world.browser.openRequests) EXPECT_EQ(request.windowID, 2) << "the front window";
    }
}

TEST_F(ArchiveTest, TheCompleteStructurePutsOpenedTabsBackInPlace) {
    run(store->importArchive(archiveOf({{web(0), true}, {web(1), true}, {web(2), true}}, true),
                             Mode::restoreCompleteStructure()));
    ASSERT_EQ(world.browser.openRequests.size(), 3u);
    EXPECT_EQ(store->pendingRestores().size(), 0u) << "placed by the refresh that followed";
    const auto &tabs = world.browser.windows[0].tabs;
    const auto at = [&](int page) {
        return std::find_if(tabs.begin(), tabs.end(), [&](const SafariTab &t) { return t.url == QUrl(*web(page)); });
    };
    ASSERT_NE(at(0), tabs.end());
    EXPECT_EQ(at(1), at(0) + 1);
    EXPECT_EQ(at(2), at(0) + 2);
    EXPECT_EQ(at(1)->parentID, at(0)->id);
    EXPECT_EQ(at(2)->parentID, at(0)->id);
}

TEST_F(ArchiveTest, NothingToImportAndABrowserThatCannotOpen) {
    run(store->importArchive(OndrakeArchive{}, Mode::merge()));
    EXPECT_EQ(store->lastActionSummary(), QStringLiteral("Nothing to import"));

    const auto before = store->records().size();
    world.browser.onOpen = [](const auto &) { throw SafariControllerError::safariNotRunning(); };
    run(store->importArchive(archiveOf({{web(0), true}, {web(1), true}}), Mode::openAsNewGroup("New")));
    EXPECT_EQ(store->lastActionSummary(), QStringLiteral("Imported 2 tab(s); Safari couldn’t open them"));
    EXPECT_EQ(store->records().size(), before + 2) << "the records stay";
}

TEST_F(ArchiveTest, OnlyWebStartAndBlankPagesAreOpened) {
    const std::vector<std::pair<std::optional<QString>, bool>> pages{
        {QStringLiteral("javascript:alert(document.cookie)"), true},
        {QStringLiteral("https://safe.example/"), true},
        {QStringLiteral("file:///etc/passwd"), true},
        {QStringLiteral("data:text/html,<script>alert(1)</script>"), true},
        {QStringLiteral("HTTP://loud.example/"), true},
        {QStringLiteral("favorites://"), true},
        {std::nullopt, true},
        {QStringLiteral("not a url at all"), true},
        {QStringLiteral("vbscript:msgbox"), true},
        {QStringLiteral("about:blank"), true},
        {QStringLiteral("about:config"), true},
        {QStringLiteral("/relative/page.html"), true},
    };
    run(store->importArchive(archiveOf(pages), Mode::restoreCompleteStructure()));
    std::vector<QString> opened;
    for (const auto &request : world.browser.openRequests) opened.push_back(request.url->toString());
    EXPECT_EQ(opened, (std::vector<QString>{"https://safe.example/", "http://loud.example/", "favorites://", "about:blank"}));
    EXPECT_EQ(store->lastActionSummary(), QStringLiteral("Imported and opened 4 tab(s) — 7 unsafe addresses not opened"));

    int closed = 0;
    for (const auto &[id, r] : store->records())
        if (r.url && (r.url->startsWith("javascript:") || r.url->startsWith("file:") || r.url->startsWith("data:"))) {
            EXPECT_TRUE(r.closedAt) << r.url->toStdString();
            ++closed;
        }
    EXPECT_EQ(closed, 3) << "kept as closed records";
}

// What an archive from anywhere may hold: none of it is opened on any path, and each path says so.
TEST_F(ArchiveTest, UnsafeAddressesFromAnArchiveOpenOnNoPath) {
    const std::vector<QString> unsafe{QStringLiteral("javascript:alert(document.cookie)"), QStringLiteral("file:///etc/passwd"),
                                      QStringLiteral("data:text/html,<script>alert(1)</script>"),
                                      QStringLiteral("relative/page.html")};
    std::vector<std::pair<std::optional<QString>, bool>> pages;
    for (const auto &address : unsafe) pages.emplace_back(address, true);
    pages.emplace_back(web(0), true);
    auto archive = archiveOf(pages);
    for (auto &tab : archive.tabs) tab.readLater = true;

    struct Case {
        const char *name;
        Mode mode;
        QString imported;
        std::size_t opened;
    };
    const std::vector<Case> cases{
        {"merge", Mode::merge(), QStringLiteral("Imported 5 tab(s)"), 0},
        {"as a new group", Mode::openAsNewGroup("New"),
         QStringLiteral("Imported and opened 1 tab(s) — 4 unsafe addresses not opened"), 1},
        {"the complete structure", Mode::restoreCompleteStructure(),
         QStringLiteral("Imported and opened 1 tab(s) — 4 unsafe addresses not opened"), 1},
    };
    const auto addresses = [](const test::FakeBrowser &browser) {
        std::vector<QString> all;
        for (const auto &request : browser.openRequests) all.push_back(request.url ? request.url->toString() : QString());
        return all;
    };
    for (const auto &c : cases) {
        Archives t;
        t.run(t.store->importArchive(archive, c.mode));
        EXPECT_EQ(t.store->lastActionSummary(), c.imported) << c.name;
        EXPECT_EQ(t.world.browser.openRequests.size(), c.opened) << c.name;

        std::vector<TabRecord> stored;
        for (const auto &[id, record] : t.store->records())
            if (record.url && std::find(unsafe.begin(), unsafe.end(), *record.url) != unsafe.end()) stored.push_back(record);
        ASSERT_EQ(stored.size(), unsafe.size()) << c.name;

        // Read Later, with and without marking read: refused before anything changes.
        for (const auto &record : stored) {
            for (const bool markRead : {false, true}) {
                t.run(t.store->openReadLater(record.id, markRead));
                EXPECT_EQ(t.store->lastActionSummary(), QStringLiteral("Didn’t open Read Later item — unsafe address"))
                    << c.name << " " << record.url->toStdString();
            }
            const auto after = t.store->book().record(record.id);
            EXPECT_TRUE(after->readLater) << c.name << " not marked read";
            EXPECT_TRUE(after->closedAt) << c.name << " still closed";
        }

        // The history: a batch of only such tabs is dropped, a mixed one opens the rest.
        const auto closedTab = [&](const TabRecord &record) {
            return ClosedTab{.id = record.id, .url = record.url, .title = record.title, .closedAt = t.start};
        };
        ClosedTabBatch onlyUnsafe{.id = QUuid::createUuid(), .tabs = {}, .closedAt = t.start};
        for (const auto &record : stored) onlyUnsafe.tabs.push_back(closedTab(record));
        ClosedTabBatch mixed = onlyUnsafe;
        mixed.id = QUuid::createUuid();
        mixed.tabs.insert(mixed.tabs.begin() + 1, ClosedTab{.url = web(7), .title = "w", .closedAt = t.start});
        ClosedTabStack history;
        history.add(mixed);
        history.add(onlyUnsafe);
        t.store->setRecentlyClosed(history);
        const auto before = t.world.browser.openRequests.size();

        t.run(t.store->reopenLastClosed());
        EXPECT_EQ(t.store->lastActionSummary(), QStringLiteral("Nothing reopened — 4 unsafe addresses not opened")) << c.name;
        EXPECT_EQ(t.world.browser.openRequests.size(), before) << c.name;
        EXPECT_EQ(t.store->recentlyClosed().batches, std::vector<ClosedTabBatch>{mixed}) << c.name << " not put back";

        t.run(t.store->reopenLastClosed());
        EXPECT_EQ(t.store->lastActionSummary(), QStringLiteral("Reopened 1 tab — 4 unsafe addresses not opened")) << c.name;
        const auto opened = addresses(t.world.browser);
        EXPECT_EQ(std::vector<QString>(opened.begin() + qsizetype(before), opened.end()), std::vector<QString>{*web(7)})
            << c.name;
        for (const auto &record : stored) EXPECT_TRUE(t.store->book().record(record.id)->closedAt) << c.name << " not revived";

        // One unsafe tab in a batch whose other tab the browser cannot open: the batch comes back.
        t.world.browser.onOpen = [](const auto &) { throw SafariControllerError::safariNotRunning(); };
        ClosedTabBatch failing{.id = QUuid::createUuid(), .tabs = {closedTab(stored[0])}, .closedAt = t.start};
        failing.tabs.push_back(ClosedTab{.url = web(8), .title = "x", .closedAt = t.start});
        t.run(t.store->reopen(failing));
        EXPECT_EQ(t.store->lastActionSummary(), QStringLiteral("Couldn’t reopen — 1 unsafe address not opened")) << c.name;
        EXPECT_EQ(t.store->recentlyClosed().batches.back(), failing) << c.name;
    }
}

TEST_F(ArchiveTest, WithoutAFrontWindowTheTabsShareOneNewWindow) {
    world.browser.windows[0].isFrontmost = false;
    world.refresh(*store);
    run(store->importArchive(archiveOf({{web(0), true}, {web(1), true}, {web(2), true}}), Mode::merge()));
    EXPECT_TRUE(world.browser.openRequests.empty()) << "a merge opens nothing";

    run(store->importArchive(archiveOf({{web(0), true}, {web(1), true}, {web(2), true}}), Mode::openAsNewGroup("G")));
    std::vector<std::optional<std::int64_t>> windows;
    for (const auto &request : world.browser.openRequests) windows.push_back(request.windowID);
    EXPECT_EQ(windows, (std::vector<std::optional<std::int64_t>>{std::nullopt, 900, 900}));
    EXPECT_EQ(world.browser.windows.size(), 3u);
    EXPECT_EQ(world.browser.windows.front().tabs.size(), 3u);
}

TEST_F(ArchiveTest, ExportFilesAreWrittenWholeAndReadBackChecked) {
    const QString path = world.folders.root() + QStringLiteral("/Ondrake Export.json");
    const auto archive = store->exportArchive(Scope::allData());
    ASSERT_TRUE(ArchiveFile::write(archive, path));
    const auto read = ArchiveFile::read(path, world.scheduler.wallNow());
    EXPECT_EQ(read.encode(), archive.encode());
    EXPECT_EQ(read.tabs.size(), 6u);

    const auto failsWith = [&](const QByteArray &bytes, OndrakeArchive::ArchiveError::Kind kind) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        file.close();
        try {
            ArchiveFile::read(path, world.scheduler.wallNow());
            ADD_FAILURE() << bytes.left(40).toStdString();
        } catch (const OndrakeArchive::ArchiveError &error) {
            EXPECT_EQ(error.kind(), kind) << bytes.left(40).toStdString();
        }
    };
    failsWith(R"({"format":"other","version":1})", OndrakeArchive::ArchiveError::Kind::unsupportedFormat);
    failsWith("not json", OndrakeArchive::ArchiveError::Kind::malformed);
    EXPECT_THROW(ArchiveFile::read(path + QStringLiteral(".missing"), world.scheduler.wallNow()),
                 OndrakeArchive::ArchiveError);
    EXPECT_FALSE(ArchiveFile::write(archive, path + QStringLiteral("/no/such/folder/x.json")));
}

}  // namespace
}  // namespace ondrake
