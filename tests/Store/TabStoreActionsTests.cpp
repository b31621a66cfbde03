#include "StoreTestSupport.h"

namespace ondrake {
namespace {

using test::tab;
using test::window;
using Text = TabStore::OptionalText;

const BrowserCapabilities kSafari{0x2C3E3};

// A store over a browser the test holds. Window 1: a > b, then c and d; window 2 behind: e.
struct Actions {
    test::StoreWorld world;
    std::unique_ptr<TabStore> store;

    Actions() {
        world.browser.windows = {window(1, {tab("a", 1, 1, true), tab("b", 1, 2, false, QStringLiteral("a")),
                                            tab("c", 1, 3), tab("d", 1, 4)}),
                                 window(2, {tab("e", 2, 1, true)}, false, 2)};
        store = world.makeStore();
        world.refresh(*store);
    }
    template<typename T = void>
    T run(QCoro::Task<T> task) { return runToCompletion(world.scheduler, std::move(task)); }
    const SafariTab &shown(const char *id) const {
        for (const auto &w : store->windows())
            for (const auto &t : w.tabs)
                if (t.id == QString::fromUtf8(id)) return t;
        throw std::logic_error(std::string("no tab ") + id);
    }
    std::vector<SafariTab> shownTabs(std::initializer_list<const char *> ids) const {
        std::vector<SafariTab> list;
        for (const auto *id : ids) list.push_back(shown(id));
        return list;
    }
    const TabRecord &record(const char *id) const { return *store->record(QString::fromUtf8(id)); }
    void change(const char *id, const std::function<void(TabRecord &)> &edit) {
        const auto rid = store->ondrakeIDs().value(QString::fromUtf8(id));
        store->updateBook([&](TabRecordBook &book) { edit(book.records.at(rid)); });
    }
    void groupsOn(bool on = true) { store->flags().replaceOverrides({{FeatureFlag::tabGroups().key, on}}); }
    void selectAll(std::initializer_list<const char *> ids) {
        store->clearSelection();
        for (const auto *id : ids) store->select(QString::fromUtf8(id), SidebarModifiers::command());
    }
    std::vector<QString> shownIDs() const {
        std::vector<QString> ids;
        for (const auto &w : store->windows())
            for (const auto &t : w.tabs) ids.push_back(t.id);
        return ids;
    }
};

struct ActionsTest : ::testing::Test, Actions {};

// Every line the actions can say, each in its situation.
TEST_F(ActionsTest, EachActionSaysItsOwnLine) {
    struct Case {
        const char *name;
        std::function<void(Actions &)> act;
        Text line;
    };
    const auto pin = [](bool value) {
        return [value](Actions &t) { t.run(t.store->togglePinned(value, t.shownTabs({"c"}))); };
    };
    const std::vector<Case> cases{
        {"pinning", pin(true), QStringLiteral("Pinned in Sidebar")},
        {"unpinning", pin(false), QStringLiteral("Unpinned")},
        {"pinning switched off",
         [pin](Actions &t) {
             t.store->flags().replaceOverrides({{FeatureFlag::pinnedTabs().key, false}});
             pin(true)(t);
         },
         QStringLiteral("Pinning is switched off")},
        {"muting", [](Actions &t) { t.run(t.store->toggleMuted(true, t.shownTabs({"c"}))); },
         QStringLiteral("Safari can’t mute tabs")},
        {"muting with nested tabs", [](Actions &t) { t.run(t.store->muteSubtree(true, t.shown("a"))); },
         QStringLiteral("Safari can’t mute tabs")},
        {"a group with tabs groups off", [](Actions &t) { t.store->createGroup("Work", t.shownTabs({"c"})); },
         QStringLiteral("Tab Groups is switched off")},
        {"filing tabs groups off",
         [](Actions &t) { t.store->assignGroup(std::nullopt, t.shownTabs({"c"})); },
         QStringLiteral("Tab Groups is switched off")},
        {"a blank group name",
         [](Actions &t) {
             t.groupsOn();
             t.store->createGroup(" \n\t ", t.shownTabs({"c"}));
         },
         QStringLiteral("A group needs a name")},
        {"deleting a group",
         [](Actions &t) {
             t.groupsOn();
             t.store->deleteGroup(*t.store->createGroup("Work", {}));
         },
         QStringLiteral("Deleted “Work” — tabs kept")},
        {"deleting a group groups off",
         [](Actions &t) {
             t.groupsOn();
             const auto group = *t.store->createGroup("Work", {});
             t.groupsOn(false);
             t.store->deleteGroup(group);
         },
         QStringLiteral("Tab Groups is switched off")},
        {"locking one", [](Actions &t) { t.store->toggleLocked(t.shown("c")); },
         QStringLiteral("Locked — won’t close from here")},
        {"locking three selected",
         [](Actions &t) {
             t.selectAll({"a", "c", "d"});
             t.store->toggleLocked(t.shown("c"));
         },
         QStringLiteral("Locked 3 tabs")},
        {"unlocking",
         [](Actions &t) {
             t.change("c", [](TabRecord &r) { r.locked = true; });
             t.store->toggleLocked(t.shown("c"));
         },
         std::nullopt},
        {"muting a tab without a record",
         [](Actions &t) { t.run(t.store->muteSubtree(true, tab("stray", 1, 9))); },
         QStringLiteral("before")},
    };
    for (const auto &c : cases) {
        Actions t;
        t.store->announce(QStringLiteral("before"));
        c.act(t);
        EXPECT_EQ(t.store->lastActionSummary(), c.line) << c.name;
    }
}

TEST_F(ActionsTest, ARepeatedLineIsNotRewritten) {
    store->flags().replaceOverrides({{FeatureFlag::pinnedTabs().key, false}});
    QSignalSpy lines(store.get(), &TabStore::lastActionSummaryChanged);
    run(store->togglePinned(true, shownTabs({"c"})));
    run(store->togglePinned(true, shownTabs({"c"})));
    EXPECT_EQ(lines.count(), 1);
}

TEST_F(ActionsTest, MarksGoToEveryTargetWithTheClickedTabsOppositeValue) {
    change("a", [](TabRecord &r) { r.important = true; });
    selectAll({"a", "c", "d"});
    store->toggleImportant(shown("a"));
    for (const auto *id : {"a", "c", "d"}) EXPECT_FALSE(record(id).important) << id;

    store->toggleImportant(shown("b"));  // not selected: alone
    EXPECT_TRUE(record("b").important);
    EXPECT_FALSE(record("c").important);

    store->toggleLocked(shown("c"));
    for (const auto *id : {"a", "c", "d"}) EXPECT_TRUE(record(id).locked) << id;
    store->toggleLocked(shown("d"));
    for (const auto *id : {"a", "c", "d"}) EXPECT_FALSE(record(id).locked) << id;
    EXPECT_FALSE(store->lastActionSummary()) << "unlocking clears the line";

    const auto now = world.scheduler.wallNow();
    store->markRead(shown("b"));
    EXPECT_EQ(record("b").readAt, now) << "marked read though never on the list";
    EXPECT_EQ(record("b").addedToReadLaterAt, now);
    EXPECT_FALSE(record("b").readLater);
}

TEST_F(ActionsTest, GroupsAreCreatedFiledRenamedAndMoved) {
    groupsOn();
    const auto first = store->createGroup("  Work ", shownTabs({"c", "d"}));
    ASSERT_TRUE(first);
    EXPECT_EQ(first->name, QStringLiteral("Work"));
    EXPECT_EQ(first->sortIndex, 0);
    EXPECT_EQ(record("c").groupID, first->id);
    EXPECT_EQ(record("d").groupID, first->id);
    const auto second = store->createGroup("Home", {});
    const auto third = store->createGroup("Play", {});
    EXPECT_EQ(second->sortIndex, 1);

    store->renameGroup(first->id, "  ");
    EXPECT_EQ(store->groups().at(first->id).name, QStringLiteral("Work")) << "a blank name changes nothing";
    store->renameGroup(first->id, " Jobs\n");
    EXPECT_EQ(store->groups().at(first->id).name, QStringLiteral("Jobs"));

    const auto names = [&] {
        std::vector<QString> all;
        for (const auto &g : store->sortedGroups()) all.push_back(g.name);
        return all;
    };
    store->moveGroup(first->id, -1);
    store->moveGroup(third->id, +1);
    EXPECT_EQ(names(), (std::vector<QString>{"Jobs", "Home", "Play"})) << "the ends do not move";
    store->moveGroup(second->id, -1);
    EXPECT_EQ(names(), (std::vector<QString>{"Home", "Jobs", "Play"}));
    std::vector<qint64> indices;
    for (const auto &g : store->sortedGroups()) indices.push_back(g.sortIndex);
    EXPECT_EQ(indices, (std::vector<qint64>{0, 1, 2}));

    store->assignGroup(std::nullopt, shownTabs({"c"}));
    EXPECT_FALSE(record("c").groupID);
    store->deleteGroup(store->groups().at(first->id));
    EXPECT_FALSE(record("d").groupID) << "the tab stays and leaves the group";
    EXPECT_TRUE(record("d").isOpen());
}

TEST_F(ActionsTest, ADragAsksTheBrowserAndRefreshesWhateverItSays) {
    TabDropPlan plan{.move = SafariTabMove{1, 3, 1, 1, QStringLiteral("https://c.example/"), 4, QStringLiteral("c"), {}},
                     .insertionRow = 0, .depth = 0, .changesAnything = true, .leadingMoves = {}};
    const int before = world.browser.snapshotCount;
    run(store->moveTabs(TabDropPlan{}));
    EXPECT_TRUE(world.browser.moves.empty());
    EXPECT_EQ(world.browser.snapshotCount, before) << "a plan that changes nothing does nothing";

    world.browser.onMove = [](const SafariTabMove &) { throw SafariControllerError::tabNotFound(); };
    run(store->moveTabs(plan));
    EXPECT_EQ(world.browser.moves.size(), 1u);
    EXPECT_EQ(store->state(), SidebarState::ready()) << "a window that changed mid-drag shows no error";
    EXPECT_EQ(world.browser.snapshotCount, before + 1);

    world.browser.onMove = {};
    run(store->moveTabs(plan));
    EXPECT_EQ(shownIDs().front(), QStringLiteral("c")) << "the rows show the browser's new order";

    world.browser.onMove = [](const SafariTabMove &) { throw SafariControllerError::automationFailure("stuck"); };
    world.browser.snapshotErrors.push_back(std::make_exception_ptr(SafariControllerError::automationFailure("stuck")));
    run(store->moveTabs(plan));
    EXPECT_EQ(store->state(), SidebarState::failed("stuck"));
}

TEST(TabStoreSummaries, CloseAndLockSummariesReadAsTheUserSeesThem) {
    struct Case {
        int closed, locked, pinned;
        Text line;
    };
    const std::vector<Case> closes{
        {0, 0, 0, std::nullopt},
        {0, 1, 0, QStringLiteral("Kept 1 protected tab")},
        {0, 1, 1, QStringLiteral("Kept 2 protected tabs")},
        {1, 0, 0, std::nullopt},
        {2, 0, 0, QStringLiteral("Closed 2 tabs")},
        {1000, 0, 0, QStringLiteral("Closed 1000 tabs")},
        {2, 1, 0, QStringLiteral("Closed 2, kept 1")},
        {1, 0, 3, QStringLiteral("Closed 1, kept 3")},
    };
    for (const auto &c : closes)
        EXPECT_EQ(TabStore::closeSummary({c.closed, c.locked, c.pinned, std::nullopt}), c.line)
            << c.closed << "/" << c.locked << "/" << c.pinned;
    EXPECT_EQ(TabStore::lockSummary(true, 0), QStringLiteral("Locked — won’t close from here"));
    EXPECT_EQ(TabStore::lockSummary(true, 1), QStringLiteral("Locked — won’t close from here"));
    EXPECT_EQ(TabStore::lockSummary(true, 2), QStringLiteral("Locked 2 tabs"));
    EXPECT_EQ(TabStore::lockSummary(false, 5), std::nullopt);
}

// MARK: Closing

TEST_F(ActionsTest, ClosingTakesTheRowsAwayAtOnceAndSaysWhatWasKept) {
    struct Case {
        const char *name;
        std::vector<const char *> asked;
        ParentCloseBehavior behavior;
        std::vector<const char *> locked;
        std::vector<QString> shownWhileClosing;
        std::optional<QString> parentOfBWhileClosing;
        Text line;
    };
    using B = ParentCloseBehavior;
    const std::vector<Case> cases{
        {"one tab", {"c"}, B::parentOnly, {}, {"a", "b", "d", "e"}, "a", std::nullopt},
        {"two tabs", {"c", "d"}, B::parentOnly, {}, {"a", "b", "e"}, "a", QStringLiteral("Closed 2 tabs")},
        {"a parent alone", {"a"}, B::parentOnly, {}, {"b", "c", "d", "e"}, std::nullopt, std::nullopt},
        {"a parent and its nested tab", {"a"}, B::parentAndDescendants, {}, {"c", "d", "e"}, std::nullopt,
         QStringLiteral("Closed 2 tabs")},
        {"two and one locked", {"c", "d", "b"}, B::parentOnly, {"b"}, {"a", "b", "e"}, "a",
         QStringLiteral("Closed 2, kept 1")},
        {"the only tab of a window", {"e"}, B::parentOnly, {}, {"a", "b", "c", "d"}, "a", std::nullopt},
    };
    for (const auto &c : cases) {
        Actions t;
        t.store->setParentCloseBehavior(c.behavior);
        for (const auto *id : c.locked) t.change(id, [](TabRecord &r) { r.locked = true; });
        std::vector<QString> shownWhileClosing;
        std::optional<QString> parentOfB;
        t.world.browser.onClose = [&](const std::vector<SafariTab> &closing) {
            shownWhileClosing = t.shownIDs();
            for (const auto &w : t.store->windows())
                for (const auto &tb : w.tabs)
                    if (tb.id == QStringLiteral("b")) parentOfB = tb.parentID;
            t.world.browser.removeTabs(closing);
        };
        std::vector<SafariTab> asked;
        for (const auto *id : c.asked) asked.push_back(t.shown(id));
        t.store->announce(QStringLiteral("before"));
        t.run(t.store->closeTabs(asked));
        EXPECT_EQ(shownWhileClosing, c.shownWhileClosing) << c.name;
        EXPECT_EQ(parentOfB, c.parentOfBWhileClosing) << c.name;
        EXPECT_EQ(t.store->lastActionSummary(), c.line) << c.name;
        EXPECT_EQ(t.store->recentlyClosed().batches.size(), 1u) << c.name;
    }
}

TEST_F(ActionsTest, NestedTabsOfClosedTabsMoveUpToTheNearestParentThatStays) {
    world.browser.windows = {window(1, {tab("r", 1, 1), tab("a", 1, 2, false, QStringLiteral("r")),
                                        tab("b", 1, 3, false, QStringLiteral("a")), tab("g", 1, 4, false, QStringLiteral("b")),
                                        tab("x", 1, 5, false, QStringLiteral("a"))})};
    world.refresh(*store);
    std::map<QString, std::optional<QString>> parents;
    world.browser.onClose = [&](const std::vector<SafariTab> &closing) {
        for (const auto &t : store->windows()[0].tabs) parents[t.id] = t.parentID;
        world.browser.removeTabs(closing);
    };
    run(store->closeTabs(shownTabs({"a", "b"})));
    EXPECT_EQ(parents, (std::map<QString, std::optional<QString>>{{"r", std::nullopt}, {"g", "r"}, {"x", "r"}}));
}

TEST_F(ActionsTest, ClosingOnlyLockedTabsLeavesEverythingAsItWas) {
    change("c", [](TabRecord &r) { r.locked = true; });
    const auto windows = store->windows();
    run(store->closeTabs(shownTabs({"c"})));
    EXPECT_EQ(store->lastActionSummary(), QStringLiteral("Locked — not closed"));
    EXPECT_EQ(store->windows(), windows);
    EXPECT_TRUE(world.browser.closeRequests.empty());

    run(store->closeTabs({}));
    EXPECT_EQ(store->lastActionSummary(), QStringLiteral("Locked — not closed")) << "nothing asked, nothing said";
}

TEST_F(ActionsTest, AFailedCloseBringsTheRowsBack) {
    world.browser.onClose = [](const auto &) { throw SafariControllerError::automationFailure("busy"); };
    const auto windows = store->windows();
    run(store->closeTabs(shownTabs({"c", "d"})));
    EXPECT_EQ(store->windows(), windows);
    EXPECT_TRUE(store->recentlyClosed().batches.empty());
    EXPECT_FALSE(store->lastActionSummary());
}

// MARK: History and read later

TEST_F(ActionsTest, ReopeningSaysHowManyTheBatchHeld) {
    run(store->reopenLastClosed());
    EXPECT_EQ(store->lastActionSummary(), QStringLiteral("Nothing to reopen"));

    run(store->closeTabs(shownTabs({"c"})));
    const int snapshots = world.browser.snapshotCount;
    run(store->reopenLastClosed());
    EXPECT_EQ(store->lastActionSummary(), QStringLiteral("Reopened"));
    EXPECT_TRUE(store->recentlyClosed().batches.empty());
    EXPECT_GT(world.browser.snapshotCount, snapshots) << "a reopen refreshes";

    run(store->closeTabs(shownTabs({"a", "b", "d"})));
    int opens = 0;
    world.browser.onOpen = [&](const auto &request) {
        if (++opens == 2) throw SafariControllerError::automationFailure("busy");
        world.browser.openNow(request);
    };
    run(store->reopenLastClosed());
    EXPECT_EQ(store->lastActionSummary(), QStringLiteral("Reopened 3 tabs")) << "the batch's count, not the opened";
}

TEST_F(ActionsTest, AFailedReopenPutsTheBatchBackAsTheNewest) {
    ClosedTabStack history;
    for (int i = 0; i < 25; ++i)
        history.batches.push_back(ClosedTabBatch{.tabs = {ClosedTab{.url = QStringLiteral("https://h%1.example/").arg(i)}}});
    store->setRecentlyClosed(history);
    const auto middle = history.batches[10];
    world.browser.onOpen = [](const auto &) { throw SafariControllerError::safariNotRunning(); };

    run(store->reopen(middle));
    EXPECT_EQ(store->lastActionSummary(), QStringLiteral("Couldn’t reopen"));
    ASSERT_EQ(store->recentlyClosed().batches.size(), 25u);
    EXPECT_EQ(store->recentlyClosed().batches.back(), middle);

    run(store->reopenLastClosed());
    EXPECT_EQ(store->recentlyClosed().batches.back(), middle) << "and again";
    EXPECT_EQ(store->recentlyClosed().batches.front(), history.batches.front());
}

TEST_F(ActionsTest, ReadLaterItemsOpenInTheFrontWindowAndSaySo) {
    struct Case {
        const char *name;
        bool markRead;
        bool fails;
        bool frontWindow;
        Text line;
    };
    const std::vector<Case> cases{
        {"opened", false, false, true, QStringLiteral("Opened from Read Later")},
        {"opened and marked read", true, false, true, QStringLiteral("Opened and marked read")},
        {"the browser fails", true, true, true, QStringLiteral("Couldn’t open Read Later item")},
        {"no front window", false, false, false, QStringLiteral("Opened from Read Later")},
    };
    for (const auto &c : cases) {
        Actions t;
        if (!c.frontWindow) {
            t.world.browser.windows[0].isFrontmost = false;
            t.world.refresh(*t.store);
        }
        const auto id = t.store->ondrakeIDs().value(QStringLiteral("c"));
        t.change("c", [](TabRecord &r) { r.readLater = true; });
        if (c.fails) t.world.browser.onOpen = [](const auto &) { throw SafariControllerError::windowNotFound(); };
        t.run(t.store->openReadLater(id, c.markRead));
        EXPECT_EQ(t.store->lastActionSummary(), c.line) << c.name;
        ASSERT_EQ(t.world.browser.openRequests.size(), 1u) << c.name;
        EXPECT_EQ(t.world.browser.openRequests[0].windowID, c.frontWindow ? std::optional<std::int64_t>(1) : std::nullopt)
            << c.name;
        EXPECT_EQ(t.store->records().at(id).readLater, !(c.markRead && !c.fails)) << c.name;
    }
}

TEST_F(ActionsTest, MarkingReadAndTheCloseBehaviourChangeOnlyWhatDiffers) {
    const auto id = store->ondrakeIDs().value(QStringLiteral("c"));
    change("c", [](TabRecord &r) { r.readLater = true; });
    world.scheduler.advance(Seconds(3));
    store->markReadLaterItemRead(id);
    EXPECT_FALSE(store->records().at(id).readLater);
    EXPECT_EQ(store->records().at(id).readAt, world.scheduler.wallNow());
    world.scheduler.advance(Seconds(3));

    store->markReadLaterItemRead(OndrakeID());
    store->setParentCloseBehavior(store->settings().parentCloseBehavior);
    EXPECT_FALSE(store->hasPendingSave()) << "nothing changed, nothing to save";
    store->setParentCloseBehavior(ParentCloseBehavior::parentAndDescendants);
    EXPECT_EQ(store->settings().parentCloseBehavior, ParentCloseBehavior::parentAndDescendants);
    EXPECT_TRUE(store->hasPendingSave());
}

}  // namespace
}  // namespace ondrake
