#include "StoreTestSupport.h"

namespace ondrake {
namespace {

using test::tab;
using test::window;

PendingRestore restore(const OndrakeID &id, std::optional<OndrakeID> parent = std::nullopt,
                       std::optional<std::int64_t> target = std::nullopt) {
    return PendingRestore{.ondrakeID = id, .parentID = parent, .targetIndex = target, .attemptsRemaining = 8};
}

struct RefreshTest : ::testing::Test {
    test::StoreWorld world;
    std::unique_ptr<TabStore> store;
    LogCapture log;

    RefreshTest() {
        world.browser.windows = {window(1, {tab("a", 1, 1, true), tab("b", 1, 2, false, QStringLiteral("a")),
                                            tab("c", 1, 3, false, QStringLiteral("b"))})};
        store = world.makeStore();
    }
    void refresh() { world.refresh(*store); }
    std::vector<SafariTab> &tabs() { return world.browser.windows[0].tabs; }
    // A tab opening at the end of window 1.
    void open(const QString &id, bool active) {
        if (active)
            for (auto &t : tabs()) t.isActive = false;
        tabs().push_back(tab(id, 1, std::int64_t(tabs().size()) + 1, active));
    }
    bool logged(const QString &line) const { return log.contains(line); }
    OndrakeID idOf(const QString &sessionID) const { return store->ondrakeIDs().value(sessionID); }
};

TEST_F(RefreshTest, RequestsDuringAPassFoldIntoOneMore) {
    world.browser.snapshotGate.emplace();
    auto first = observe(store->requestRefresh());
    world.scheduler.runUntilIdle();
    std::vector<std::shared_ptr<TaskResult<void>>> more;
    for (int i = 0; i < 10; ++i) more.push_back(observe(store->requestRefresh()));
    for (const auto &r : more) EXPECT_TRUE(r->done) << "a request during a pass returns at once";
    EXPECT_EQ(world.browser.snapshotCount, 1);
    auto gate = *world.browser.snapshotGate;
    world.browser.snapshotGate.reset();
    gate.resolve();
    world.scheduler.runUntilIdle();
    EXPECT_TRUE(first->done);
    EXPECT_EQ(world.browser.snapshotCount, 2);
    EXPECT_FALSE(store->isRefreshing());
}

TEST_F(RefreshTest, TheFirstSnapshotNeverTakesTheSelection) {
    refresh();
    EXPECT_EQ(store->state(), SidebarState::ready());
    EXPECT_TRUE(store->selection().ids.empty());
    EXPECT_EQ(store->newTabScrollTargetID(), std::nullopt);
    EXPECT_EQ(store->ondrakeIDs().size(), 3);
}

TEST_F(RefreshTest, ANewTabSteersTheSidebarByHowItOpened) {
    store->setCollapsedWindowIDs({"window-1"});
    store->setCollapsedTabIDs({"a", "b"});
    refresh();

    struct Case {
        const char *name;
        bool active;
        int newTabPolls;
        bool takesSelection;
        bool armsScroll;
    };
    const std::vector<Case> cases{
        {"foreground", true, 0, true, true},
        {"background after New Tab", false, 2, false, true},
        {"background by itself", false, 0, false, false},
    };
    int n = 0;
    for (const auto &c : cases) {
        store->setSelection({});
        store->setCollapsedWindowIDs({"window-1"});
        store->setCollapsedTabIDs({"a", "b"});
        store->setPendingNewTabScrollPolls(c.newTabPolls);
        const QString id = QStringLiteral("n%1").arg(++n);
        // Nested under c, so that revealing it opens both collapsed ancestors.
        open(id, c.active);
        tabs().back().parentID = QStringLiteral("c");
        const auto targetBefore = store->newTabScrollTargetID();
        refresh();
        EXPECT_EQ(store->selection() == (TabSelection{{id}, id}), c.takesSelection) << c.name;
        EXPECT_EQ(store->newTabScrollTargetID() == TabStore::OptionalText(id), c.armsScroll) << c.name;
        if (!c.armsScroll) {
            EXPECT_EQ(store->newTabScrollTargetID(), targetBefore) << c.name;
        }
        EXPECT_TRUE(store->collapsedWindowIDs().empty()) << c.name;
        EXPECT_TRUE(store->collapsedTabIDs().empty()) << c.name;
        EXPECT_EQ(store->pendingNewTabScrollPolls(), 0) << c.name;
    }
}

TEST_F(RefreshTest, PollsWithoutANewTabUseUpTheNewTabButton) {
    refresh();
    store->setPendingNewTabScrollPolls(2);
    refresh();
    EXPECT_EQ(store->pendingNewTabScrollPolls(), 1);
    refresh();
    EXPECT_EQ(store->pendingNewTabScrollPolls(), 0);
    open("late", false);
    refresh();
    EXPECT_EQ(store->newTabScrollTargetID(), std::nullopt);
}

TEST_F(RefreshTest, QuittingTheBrowserUnbindsEverythingOnce) {
    refresh();
    open("n", true);
    refresh();
    store->addPendingRestores({restore(OndrakeID())});
    ASSERT_TRUE(store->newTabScrollTargetID());

    world.workspace.terminate(safariBundleIdentifier());
    refresh();
    EXPECT_EQ(store->state(), SidebarState::safariNotRunning());
    EXPECT_TRUE(store->windows().empty());
    EXPECT_TRUE(store->ondrakeIDs().isEmpty());
    EXPECT_TRUE(store->selection().ids.empty());
    EXPECT_TRUE(store->pendingRestores().empty());
    EXPECT_EQ(store->newTabScrollTargetID(), std::nullopt);
    EXPECT_EQ(store->resolver().pool().size(), 4u);
    for (const auto &[_, r] : store->records()) EXPECT_FALSE(r.isBound());
    EXPECT_TRUE(logged("Browser quit; unbound 4 record(s)"));

    log.clear();
    const auto records = store->records();
    refresh();
    EXPECT_EQ(store->records(), records);
    EXPECT_FALSE(logged("Browser quit; unbound 4 record(s)"));
}

TEST_F(RefreshTest, AdapterErrorsMapToStatesOrLogLines) {
    refresh();
    using E = SafariControllerError;
    struct Case {
        const char *name;
        std::exception_ptr error;
        SidebarState state;
        TabStore::OptionalText errorText;
        QString line;
    };
    const std::vector<Case> cases{
        {"automation", std::make_exception_ptr(E::automationFailure("boom")), SidebarState::failed("boom"), "boom",
         "Browser automation failed: boom"},
        {"foreign error", std::make_exception_ptr(std::runtime_error("odd")), SidebarState::failed("odd"), "odd",
         "Browser automation failed: odd"},
        {"unsupported", std::make_exception_ptr(E::unsupported(BrowserCapabilities::mute)), SidebarState::ready(),
         std::nullopt, "Unsupported operation attempted: BrowserCapabilities(rawValue: 2048)"},
        {"stale tab", std::make_exception_ptr(E::tabNotFound()), SidebarState::ready(), std::nullopt,
         "Stale target: <private>"},
        {"permission", std::make_exception_ptr(E::permissionDenied()), SidebarState::permissionRequired(), std::nullopt,
         "State ready -> permissionRequired"},
        {"not running", std::make_exception_ptr(E::safariNotRunning()), SidebarState::safariNotRunning(), std::nullopt,
         "State ready -> safariNotRunning"},
    };
    for (const auto &c : cases) {
        refresh();  // back to ready
        ASSERT_EQ(store->state(), SidebarState::ready()) << c.name;
        log.clear();
        world.browser.snapshotErrors.push_back(c.error);
        refresh();
        EXPECT_EQ(store->state(), c.state) << c.name;
        EXPECT_EQ(store->error(), c.errorText) << c.name;
        EXPECT_TRUE(logged(c.line)) << c.name;
    }
}

TEST_F(RefreshTest, ARepeatedFailureKeepsItsStateAndANewOneReplacesIt) {
    refresh();
    QSignalSpy spy(store.get(), &TabStore::stateChanged);
    for (const char *message : {"one", "one", "two"}) {
        world.browser.snapshotErrors.push_back(
            std::make_exception_ptr(SafariControllerError::automationFailure(QString::fromUtf8(message))));
        refresh();
    }
    EXPECT_EQ(spy.count(), 2);
    EXPECT_EQ(store->state(), SidebarState::failed("two"));
    refresh();
    EXPECT_EQ(store->error(), std::nullopt) << "a publish clears the failure text";
}

TEST_F(RefreshTest, WhilePermissionIsDeniedNoSnapshotIsTried) {
    world.browser.snapshotErrors.push_back(std::make_exception_ptr(SafariControllerError::permissionDenied()));
    refresh();
    ASSERT_EQ(store->state(), SidebarState::permissionRequired());
    world.privacy.setAutomationAnswer(Privacy::errAEEventNotPermitted);
    const auto before = world.browser.snapshotCount;
    refresh();
    EXPECT_EQ(world.browser.snapshotCount, before);
    EXPECT_EQ(store->state(), SidebarState::permissionRequired());
    for (const auto &question : world.privacy.automationQuestions()) EXPECT_FALSE(question.askUserIfNeeded);

    world.privacy.setAutomationAnswer(Privacy::noErr);
    refresh();
    EXPECT_EQ(store->state(), SidebarState::ready());
}

TEST_F(RefreshTest, OnlyClosedRecordsWithUserStateWaitForReattachment) {
    refresh();
    store->updateBook([&](TabRecordBook &book) {
        book.records.at(idOf("b")).muted = true;
        book.records.at(idOf("c")).locked = true;
    });
    const auto muted = idOf("b"), locked = idOf("c");
    tabs().resize(1);
    refresh();
    const auto &pool = store->resolver().pool();
    const auto pooled = [&](const OndrakeID &id) {
        return std::any_of(pool.begin(), pool.end(), [&](const auto &e) { return e.id == id; });
    };
    EXPECT_FALSE(pooled(muted));
    EXPECT_TRUE(pooled(locked));
    EXPECT_TRUE(store->records().at(muted).closedAt);
}

// A fold stays on a tab only while it exists and holds nested tabs: folded before its last
// nested tab went, it would hide the next tab nested under it.
TEST_F(RefreshTest, PrunesCollapsedTabsThatAreGoneOrHoldNothing) {
    refresh();
    store->setCollapsedTabIDs({"a", "b", "c", "zzz"});
    refresh();
    EXPECT_EQ(store->collapsedTabIDs(), (TabStore::StringSet{"a", "b"}));
    tabs().pop_back();  // c, b's only nested tab, closes
    refresh();
    EXPECT_EQ(store->collapsedTabIDs(), (TabStore::StringSet{"a"}));
}

// MARK: Placement of reopened tabs and nesting of linked tabs

TEST_F(RefreshTest, AReopenedTabIsPutBackOnceItAppears) {
    refresh();
    const auto parent = idOf("a");
    const OndrakeID reopened;
    store->addPendingRestores({restore(reopened, parent, 2)});
    // Two passes without the tab: it waits.
    refresh();
    refresh();
    ASSERT_EQ(store->pendingRestores().size(), 1u);
    EXPECT_EQ(store->pendingRestores()[0].attemptsRemaining, 6);

    // It appears at the end, bound to the reopened record through the pool.
    TabRecord record{.id = reopened, .url = "https://r.example/", .title = "r"};
    store->releaseForReattachment(record);
    open("r", false);
    tabs().back().url = parseURL("https://r.example/");
    tabs().back().title = "r";
    const auto snapshots = world.browser.snapshotCount;
    refresh();
    ASSERT_EQ(world.browser.moves.size(), 1u);
    EXPECT_EQ(world.browser.moves[0].newParentID, QStringLiteral("a"));
    EXPECT_TRUE(store->pendingRestores().empty());
    EXPECT_EQ(world.browser.snapshotCount, snapshots + 2) << "one more look shows the result";
    EXPECT_EQ(store->windows()[0].tabs[world.browser.moves[0].toIndex - 1].id, QStringLiteral("r"));
}

TEST_F(RefreshTest, AReopenedTabAlreadyInPlaceNeedsNoMove) {
    refresh();
    store->addPendingRestores({restore(idOf("c"), idOf("b"))});
    const auto snapshots = world.browser.snapshotCount;
    refresh();
    EXPECT_TRUE(world.browser.moves.empty());
    EXPECT_TRUE(store->pendingRestores().empty());
    EXPECT_EQ(world.browser.snapshotCount, snapshots + 1);
}

TEST_F(RefreshTest, AReopenedTabThatNeverAppearsIsGivenUpAfterEightPasses) {
    refresh();
    store->addPendingRestores({restore(OndrakeID())});
    for (int i = 0; i < 7; ++i) refresh();
    EXPECT_EQ(store->pendingRestores().size(), 1u);
    refresh();
    EXPECT_TRUE(store->pendingRestores().empty());
    EXPECT_TRUE(logged("Gave up placing a reopened tab; it never appeared"));
}

TEST_F(RefreshTest, RestoresAddedWhileAMoveIsUnderWayAreKept) {
    refresh();
    // c wants to go right after a: one move, held at its await.
    store->addPendingRestores({restore(idOf("c"), idOf("a"))});
    world.browser.moveGate.emplace();
    auto pass = observe(store->requestRefresh());
    world.scheduler.runUntilIdle();
    ASSERT_EQ(world.browser.moves.size(), 1u);
    const OndrakeID late;
    store->addPendingRestores({restore(late)});
    auto gate = *world.browser.moveGate;
    world.browser.moveGate.reset();
    gate.resolve();
    world.scheduler.runUntilIdle();
    ASSERT_TRUE(pass->done);
    ASSERT_EQ(store->pendingRestores().size(), 1u);
    EXPECT_EQ(store->pendingRestores()[0].ondrakeID, late);
}

TEST_F(RefreshTest, LinkedTabsAreNestedOnlyWithTheFeature) {
    refresh();
    const SafariTabMove linkMove{1, 3, 1, 2, "https://c.example/", 3, "c", QStringLiteral("a")};
    world.browser.linkMoves = {linkMove};
    refresh();
    EXPECT_TRUE(world.browser.moves.empty());
    EXPECT_TRUE(world.browser.linkMoves.empty()) << "collected and dropped, never replayed";

    store->flags().setOverride(true, FeatureFlag::autoNestLinkedTabs());
    refresh();
    EXPECT_TRUE(world.browser.moves.empty());

    world.browser.linkMoves = {linkMove};
    world.browser.onMove = [](const SafariTabMove &) { throw SafariControllerError::tabNotFound(); };
    const auto snapshots = world.browser.snapshotCount;
    refresh();
    EXPECT_EQ(world.browser.moves.size(), 1u);
    EXPECT_TRUE(logged("Could not auto-nest a linked tab: <private>"));
    EXPECT_EQ(world.browser.snapshotCount, snapshots + 1) << "no extra look after a failed move";

    world.browser.linkMoves = {linkMove};
    world.browser.onMove = {};
    refresh();
    EXPECT_EQ(world.browser.snapshotCount, snapshots + 3);
}

TEST_F(RefreshTest, AnUnseenRelaunchUnbindsTheOldSessionBeforeResolving) {
    refresh();
    store->updateBook([&](TabRecordBook &book) { book.records.at(idOf("b")).pinned = true; });
    const auto pinned = idOf("b");
    // Between two polls the browser quit and came back: new session ids for the same pages.
    world.browser.session = 1;
    for (auto &t : tabs()) t.id = QStringLiteral("new-") + t.id;
    tabs()[1].parentID = tabs()[2].parentID = std::nullopt;
    refresh();
    EXPECT_EQ(store->records().size(), 3u) << "no record doubles";
    EXPECT_EQ(idOf("new-b"), pinned);
    EXPECT_TRUE(store->records().at(pinned).pinned);
    EXPECT_EQ(store->records().at(pinned).parentID, idOf("new-a")) << "the nesting comes back";
    for (const auto &[_, r] : store->records()) EXPECT_FALSE(r.closedAt);
}

}  // namespace
}  // namespace ondrake
