#include "StoreTestSupport.h"

#include "JsonOutput.h"
#include "Ondrake/Model/PersistedState.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>

namespace ondrake {
namespace {

using test::tab;
using test::window;

// Every change signal of the store, counted.
struct SignalCounter {
    std::vector<std::unique_ptr<QSignalSpy>> spies;
    explicit SignalCounter(TabStore &store) {
        const auto *meta = store.metaObject();
        for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
            const auto method = meta->method(i);
            if (method.methodType() == QMetaMethod::Signal)
                spies.push_back(std::make_unique<QSignalSpy>(&store, method));
        }
    }
    int total() const {
        int n = 0;
        for (const auto &spy : spies) n += int(spy->count());
        return n;
    }
};

struct StoreTest : ::testing::Test {
    test::StoreWorld world;

    void writeFile(const QByteArray &bytes) {
        QDir().mkpath(QFileInfo(world.recordFile()).absolutePath());
        QFile file(world.recordFile());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    bool fileExists() const { return QFileInfo::exists(world.recordFile()); }
};

TEST_F(StoreTest, AnUnchangedPollNotifiesNobodyAndSavesNothing) {
    world.browser.windows = {window(1, {tab("a", 1, 1, true), tab("b", 1, 2, false, QStringLiteral("a"))})};
    auto store = world.makeStore();
    world.refresh(*store);
    world.scheduler.advance(Seconds(3));
    ASSERT_TRUE(fileExists());
    EXPECT_EQ(store->state(), SidebarState::ready());
    EXPECT_EQ(store->records().size(), 2u);

    SignalCounter counter(*store);
    const auto written = world.written();
    for (int i = 0; i < 3; ++i) world.refresh(*store);
    EXPECT_EQ(counter.total(), 0);
    EXPECT_FALSE(store->hasPendingSave());
    world.scheduler.advance(Seconds(5));
    EXPECT_EQ(world.written(), written);
}

TEST_F(StoreTest, SavesOnceTwoSecondsAfterTheLastChange) {
    auto store = world.makeStore();
    EXPECT_FALSE(store->hasPendingSave()) << "a start without a file writes nothing";
    const auto change = [&](int n) {
        store->updateBook([&](TabRecordBook &book) {
            TabRecord r{.title = QStringLiteral("r%1").arg(n), .createdAt = world.scheduler.wallNow()};
            book.records[r.id] = r;
        });
    };
    change(1);
    world.scheduler.advance(Seconds(1.5));
    change(2);
    world.scheduler.advance(Seconds(1.9));
    EXPECT_FALSE(fileExists());
    world.scheduler.advance(Seconds(0.1));
    ASSERT_TRUE(fileExists());
    EXPECT_EQ(world.written().records.size(), 2u);
    EXPECT_FALSE(store->hasPendingSave());
}

TEST_F(StoreTest, QuittingWritesOnceAndThePendingSaveNever) {
    auto store = world.makeStore();
    store->setSettings(AppSettings{ParentCloseBehavior::parentAndDescendants});
    ASSERT_TRUE(store->hasPendingSave());
    store->cancelPendingSave();
    store->save();
    const auto atQuit = world.written();
    EXPECT_EQ(atQuit.settings.parentCloseBehavior, ParentCloseBehavior::parentAndDescendants);
    QFile::remove(world.recordFile());
    world.scheduler.advance(Seconds(10));
    EXPECT_FALSE(fileExists());
}

TEST_F(StoreTest, AnOlderFileIsWrittenBackAfterStartAndACurrentOneIsNot) {
    writeFile(R"([{"id":"00000000-0000-0000-0000-000000000001","title":"old","createdAt":"2025-01-01T00:00:00Z"}])");
    auto store = world.makeStore();
    EXPECT_EQ(store->records().size(), 1u);
    EXPECT_TRUE(store->hasPendingSave());
    world.scheduler.advance(Seconds(2));
    EXPECT_EQ(world.written().schemaVersion, 3);

    auto again = world.makeStore();
    EXPECT_FALSE(again->hasPendingSave());
}

// Groups change without any record changing: the sidebar hears of it and the file follows.
TEST_F(StoreTest, AChangeToGroupsAloneIsPublishedAndSavedTwoSecondsLater) {
    struct Case {
        const char *what;
        std::function<void(TabStore &, const TabGroupID &)> change;
        std::function<void(const TabGroup &)> check;
    };
    const Case cases[] = {
        {"rename", [](TabStore &store, const TabGroupID &id) { store.renameGroup(id, "  Later "); },
         [](const TabGroup &group) { EXPECT_EQ(group.name, "Later"); }},
        {"colour",
         [](TabStore &store, const TabGroupID &id) {
             store.commands().editGroups(id, TabCommands::setGroupColor(QStringLiteral("green")));
         },
         [](const TabGroup &group) { EXPECT_EQ(group.colorName, "green"); }},
        {"fold",
         [](TabStore &store, const TabGroupID &id) { store.commands().editGroups(id, TabCommands::setGroupCollapsed(true)); },
         [](const TabGroup &group) { EXPECT_TRUE(group.isCollapsed); }},
        {"reorder", [](TabStore &store, const TabGroupID &id) { store.moveGroup(id, 1); },
         [](const TabGroup &group) { EXPECT_EQ(group.sortIndex, 1); }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        test::StoreWorld world;
        world.environment = {{QStringLiteral("ONDRAKE_FEATURE_TABGROUPS"), QStringLiteral("1")}};
        world.browser.windows = {window(1, {tab("a", 1, 1, true)})};
        auto store = world.makeStore();
        world.refresh(*store);
        const auto group = store->createGroup(QStringLiteral("Reading"), store->windows()[0].tabs);
        ASSERT_TRUE(group && store->createGroup(QStringLiteral("Work"), {}));
        world.scheduler.advance(Seconds(3));
        ASSERT_FALSE(store->hasPendingSave());
        const auto savedGroups = [&] {
            std::map<TabGroupID, TabGroup> groups;
            for (const auto &g : world.written().groups) groups.emplace(g.id, g);
            return groups;
        };
        const auto before = savedGroups();
        ASSERT_EQ(before, store->groups());
        const auto records = store->records();

        QSignalSpy groupsSpy(store.get(), &TabStore::groupsChanged);
        QSignalSpy recordsSpy(store.get(), &TabStore::recordsChanged);
        c.change(*store, group->id);
        EXPECT_EQ(groupsSpy.count(), 1);
        EXPECT_EQ(recordsSpy.count(), 0);
        EXPECT_EQ(store->records(), records);
        c.check(store->groups().at(group->id));

        world.scheduler.advance(Seconds(1.9));
        EXPECT_EQ(savedGroups(), before);
        world.scheduler.advance(Seconds(0.1));
        EXPECT_EQ(savedGroups(), store->groups());
        c.check(savedGroups().at(group->id));
    }
}

// A file that could not be read is moved aside, never overwritten; what the store starts from
// is written in its place two seconds after start, and the moved copy stays.
TEST_F(StoreTest, AnUnreadableFileIsMovedAsideAndTheRecoveredStateWrittenBack) {
    writeFile("{ not a record file");
    auto store = world.makeStore();
    EXPECT_TRUE(store->records().empty());
    EXPECT_FALSE(fileExists()) << "moved aside";
    const QDir folder = QFileInfo(world.recordFile()).absoluteDir();
    const auto aside = folder.entryList({QFileInfo(world.recordFile()).fileName() + QStringLiteral(".*.corrupt")}, QDir::Files);
    ASSERT_EQ(aside.size(), 1);
    EXPECT_TRUE(store->hasPendingSave());

    world.scheduler.advance(Seconds(1.9));
    EXPECT_FALSE(fileExists());
    world.scheduler.advance(Seconds(0.1));
    ASSERT_TRUE(fileExists());
    const auto written = world.fileStore().load(world.scheduler.wallNow());
    EXPECT_EQ(written.outcome.kind, TabRecordFileStore::LoadOutcome::Kind::loaded);
    EXPECT_EQ(written.state.schemaVersion, 3);
    EXPECT_TRUE(written.state.records.empty());
    QFile kept(folder.filePath(aside[0]));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("{ not a record file"));
}

TEST_F(StoreTest, SettingsAndHistorySaveOnlyWhenTheyChange) {
    auto store = world.makeStore();
    QSignalSpy settingsSpy(store.get(), &TabStore::settingsChanged);
    store->setSettings(AppSettings{});
    EXPECT_FALSE(store->hasPendingSave());
    EXPECT_EQ(settingsSpy.count(), 0);
    store->setRecentlyClosed(ClosedTabStack{});
    EXPECT_FALSE(store->hasPendingSave());
    store->setRecentlyClosed(ClosedTabStack{{ClosedTabBatch{.tabs = {ClosedTab{.title = "t"}}}}});
    EXPECT_TRUE(store->hasPendingSave());
}

TEST_F(StoreTest, ASavePrunesExpiredRecordsAndSavesAgain) {
    auto store = world.makeStore();
    const auto now = world.scheduler.wallNow();
    TabRecord expired{.title = "expired", .createdAt = now.addDays(-30), .closedAt = now.addDays(-8)};
    TabRecord child{.title = "child", .parentID = expired.id, .createdAt = now.addDays(-30)};
    TabRecord kept{.title = "kept", .createdAt = now.addDays(-30), .closedAt = now.addDays(-8), .locked = true};
    store->setBook(TabRecordBook({expired, child, kept}, {}));
    world.scheduler.advance(Seconds(2));
    EXPECT_EQ(store->records().size(), 2u);
    EXPECT_EQ(store->records().at(child.id).parentID, std::nullopt);
    EXPECT_EQ(world.written().records.size(), 2u);
    EXPECT_TRUE(store->hasPendingSave()) << "the pruning itself is saved again";
}

TEST_F(StoreTest, AFlagChangeCountsAndIsSaved) {
    auto store = world.makeStore();
    QSignalSpy spy(store.get(), &TabStore::flagsVersionChanged);
    store->flags().setOverride(true, FeatureFlag::tabGroups());
    world.scheduler.runUntilIdle();
    EXPECT_EQ(store->flagsVersion(), 1);
    EXPECT_EQ(spy.count(), 1);
    world.scheduler.advance(Seconds(2));
    EXPECT_EQ(world.written().featureOverrides, (FeatureOverrides{{QStringLiteral("tabGroups"), true}}));
}

TEST_F(StoreTest, ChangingTheWindowScopeDropsWhatItHides) {
    world.defaults.setString(kSidebarWindowScopeKey, QStringLiteral("allWindows"));
    world.browser.windows = {window(1, {tab("a", 1, 1, true)}), window(2, {tab("b", 2, 1)}, false, 2)};
    auto store = world.makeStore();
    world.refresh(*store);
    store->setSelection(TabSelection{{"a", "b"}, QStringLiteral("b")});
    world.defaults.setString(QStringLiteral("SidebarWidth"), QStringLiteral("320"));
    world.scheduler.runUntilIdle();
    EXPECT_EQ(store->presentationRevision(), 0);
    EXPECT_EQ(store->selection().ids.size(), 2);

    world.defaults.setString(kSidebarWindowScopeKey, QStringLiteral("activeWindow"));
    world.scheduler.runUntilIdle();
    EXPECT_EQ(store->presentationRevision(), 1);
    EXPECT_EQ(store->selection(), (TabSelection{{"a"}, std::nullopt}));
}

TEST_F(StoreTest, DisplacedWindowsGoBackOnlyFromWhereTheyWereLeft) {
    auto store = world.makeStore();
    auto &browser = world.browser;
    browser.nextFrameChange = SafariWindowFrameChange{7, {0, 25, 1000, 800}, {300, 25, 1300, 800}};
    runToCompletion(world.scheduler, store->reserveSpace(300, 1400));
    browser.nextFrameChange = SafariWindowFrameChange{7, {300, 25, 1300, 800}, {250, 25, 1300, 800}};
    runToCompletion(world.scheduler, store->setLeftEdge(250));
    browser.nextFrameChange = SafariWindowFrameChange{8, {10, 25, 900, 800}, {300, 25, 1190, 800}};
    runToCompletion(world.scheduler, store->reserveSpace(300, 1400));
    runToCompletion(world.scheduler, store->reserveSpace(300, 1400));  // nothing to do: nothing remembered
    ASSERT_EQ(store->displacedWindows().size(), 2u);
    EXPECT_EQ(store->displacedWindows().at(7),
              (SafariWindowFrameChange{7, {0, 25, 1000, 800}, {250, 25, 1300, 800}}));

    browser.goneWindows = {7};  // the user closed the first: the second still goes back
    runToCompletion(world.scheduler, store->restoreDisplacedWindows());
    EXPECT_EQ(browser.restoreRequests.size(), 2u);
    EXPECT_EQ(browser.restoreRequests[1].windowID, 8);
    runToCompletion(world.scheduler, store->restoreDisplacedWindows());
    EXPECT_EQ(browser.restoreRequests.size(), 2u);

    browser.frameError = std::make_exception_ptr(SafariControllerError::automationFailure("moved"));
    runToCompletion(world.scheduler, store->reserveSpace(300, 1400));
    EXPECT_TRUE(store->displacedWindows().empty());
    EXPECT_EQ(store->state(), SidebarState::failed("moved"));
}

TEST_F(StoreTest, TheZoomQueryNeedsItsCapability) {
    auto store = world.makeStore();
    world.browser.zoomAnswer = true;
    EXPECT_EQ(runToCompletion(world.scheduler, store->isWindowZoomed(3)), true);
    world.browser.caps = BrowserCapabilities(0x2C3E3 & ~0x20000);
    EXPECT_EQ(runToCompletion(world.scheduler, store->isWindowZoomed(3)), std::nullopt);
    EXPECT_EQ(world.browser.zoomQueries, 1);
}

TEST_F(StoreTest, PublishedTabsBringTheirSitesIcons) {
    QImage icon(16, 16, QImage::Format_ARGB32);
    icon.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    icon.save(&buffer, "PNG");
    world.http->answer(QUrl("https://a.example/favicon.ico"), 200, png);
    world.browser.windows = {window(1, {tab("a", 1, 1, true, std::nullopt, "https://www.a.example/page"),
                                        tab("b", 1, 2), tab("f", 1, 3, false, std::nullopt, "ftp://f.example/")})};
    auto store = world.makeStore();
    QSignalSpy spy(store.get(), &TabStore::faviconsChanged);
    world.refresh(*store);
    world.scheduler.runUntilIdle();
    EXPECT_EQ(store->favicons().size(), 1) << "b.example has none; ftp is never asked";
    EXPECT_EQ(store->favicons().value("a.example").size(), QSize(32, 32));
    EXPECT_EQ(spy.count(), 1);
    const auto asked = world.http->requests().size();
    world.refresh(*store);
    world.scheduler.runUntilIdle();
    EXPECT_EQ(world.http->requests().size(), asked) << "an unchanged poll asks for nothing";
}

}  // namespace
}  // namespace ondrake
