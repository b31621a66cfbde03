#include "../Store/StoreTestSupport.h"
#include "ViewWorld.h"

#include "Ondrake/Sidebar/GroupPromptDialog.h"
#include "Ondrake/Sidebar/SidebarMessageView.h"
#include "Ondrake/Sidebar/SidebarRowActions.h"
#include "Ondrake/Sidebar/SidebarTabList.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace ondrake;
using namespace ondrake::test;

namespace {

// The in-memory browser, able to mute: it remembers which tabs it was asked to mute.
class MutingBrowser final : public BrowserAdapter {
public:
    explicit MutingBrowser(std::vector<SafariWindow> windows)
        : inner_(BrowserCapabilities(0x2C3E3), std::move(windows)) {}

    MockSafariController &inner() { return inner_; }
    const MockSafariController &inner() const { return inner_; }
    std::vector<std::pair<QString, bool>> muted;

    BrowserCapabilities capabilities() const override { return BrowserCapabilities(0x2C3E3 | 0x800); }
    QCoro::Task<std::vector<SafariWindow>> snapshot() override { return inner_.snapshot(); }
    QCoro::Task<> activateTab(SafariTab tab) override { return inner_.activateTab(std::move(tab)); }
    QCoro::Task<> closeTab(SafariTab tab) override { return inner_.closeTab(std::move(tab)); }
    QCoro::Task<> moveTabs(SafariTabMove move) override { return inner_.moveTabs(std::move(move)); }
    QCoro::Task<std::optional<SafariWindowFrameChange>> reserveSpace(double a, double b) override {
        return inner_.reserveSpace(a, b);
    }
    QCoro::Task<> restoreWindowBounds(SafariWindowFrameChange change) override {
        return inner_.restoreWindowBounds(std::move(change));
    }
    QCoro::Task<std::optional<SafariWindowFrameChange>> setLeftEdge(double left) override { return inner_.setLeftEdge(left); }
    QCoro::Task<std::optional<bool>> isWindowZoomed(std::int64_t id) override { return inner_.isWindowZoomed(id); }
    QCoro::Task<> openTab(std::optional<QUrl> url, std::optional<std::int64_t> window) override {
        return inner_.openTab(std::move(url), window);
    }
    QCoro::Task<> addReadingListItem(QUrl url, QString title) override {
        return inner_.addReadingListItem(std::move(url), std::move(title));
    }
    QCoro::Task<> setMuted(bool mute, SafariTab tab) override {
        muted.emplace_back(tab.id, mute);
        co_return;
    }

private:
    MockSafariController inner_;
};

// The store over that browser with every window listed:
//   window 1 (front): a1 [a2] a3      window 2: b1 b2
struct ActionWorld : StorePlatform {
    MutingBrowser browser{ViewWorld::session()};
    std::unique_ptr<TabStore> store;
    std::vector<std::vector<QString>> groupRequests;
    TabRowActions actions;
    TabRowActions search;

    ActionWorld() {
        EXPECT_TRUE(folders.isValid());
        showAllWindows();
        store = makeStore(browser, std::make_shared<ScriptedHttpClient>());
        poll();
        const auto request = [this](std::vector<SafariTab> tabs) {
            std::vector<QString> ids;
            for (const auto &tab : tabs) ids.push_back(tab.id);
            groupRequests.push_back(ids);
        };
        actions = SidebarRowActions::make(*store, request);
        search = SidebarRowActions::forSearch(*store, request);
    }
    void poll() { runToCompletion(scheduler, store->requestRefresh()); }
    void settle() {
        for (int i = 0; i < 3; ++i) {
            QCoreApplication::processEvents();
            scheduler.runUntilIdle();
        }
    }
    const SafariTab &tab(const QString &id) const {
        for (const auto &w : store->windows())
            for (const auto &t : w.tabs)
                if (t.id == id) return t;
        throw std::runtime_error("no such tab");
    }
    const TabRecord &record(const QString &id) const { return *store->record(id); }
    void change(const QString &id, const std::function<void(TabRecord &)> &edit) {
        const auto key = store->ondrakeIDs().value(id);
        store->updateBook([&](TabRecordBook &book) { edit(book.records.at(key)); });
    }
    void selectThree() {  // a1, a3 and b2
        store->select(QStringLiteral("a1"), SidebarModifiers::none());
        store->select(QStringLiteral("a3"), SidebarModifiers::command());
        store->select(QStringLiteral("b2"), SidebarModifiers::command());
    }
    std::vector<QString> openTabs() const {
        std::vector<QString> ids;
        for (const auto &w : browser.inner().windows())
            for (const auto &t : w.tabs) ids.push_back(t.id);
        return ids;
    }
    std::vector<QString> marked(bool TabRecord::*mark) const {
        std::vector<QString> ids;
        for (const auto &w : store->windows())
            for (const auto &t : w.tabs)
                if (const TabRecord *r = store->record(t.id); r && r->*mark) ids.push_back(t.id);
        return ids;
    }
};

using IDs = std::vector<QString>;

TEST(SidebarRowActions, MarksActOnTheClickedTabOrOnTheWholeSelectionItBelongsTo) {
    struct Case {
        const char *name;
        const char *clicked;
        bool TabRecord::*mark;
        std::function<void(TabRowActions &, const SafariTab &)> fire;
        IDs expected;
    };
    const std::vector<Case> cases = {
        {"important, unselected", "b1", &TabRecord::important, [](auto &a, auto &t) { a.toggleImportant(t); }, {"b1"}},
        {"important, selected", "a3", &TabRecord::important, [](auto &a, auto &t) { a.toggleImportant(t); },
         {"a1", "a3", "b2"}},
        {"locked, selected", "b2", &TabRecord::locked, [](auto &a, auto &t) { a.toggleLocked(t); }, {"a1", "a3", "b2"}},
        {"pinned, unselected", "a2", &TabRecord::pinned, [](auto &a, auto &t) { a.togglePinned(t); }, {"a2"}},
        {"pinned, selected", "a1", &TabRecord::pinned, [](auto &a, auto &t) { a.togglePinned(t); }, {"a1", "a3", "b2"}},
        {"read later, selected", "a1", &TabRecord::readLater, [](auto &a, auto &t) { a.toggleReadLater(t); },
         {"a1", "a3", "b2"}},
        {"muted, selected", "a3", &TabRecord::muted, [](auto &a, auto &t) { a.toggleMuted(t); }, {"a1", "a3", "b2"}},
    };
    for (const auto &c : cases) {
        ActionWorld world;
        world.selectThree();
        c.fire(world.actions, world.tab(QString::fromUtf8(c.clicked)));
        world.settle();
        EXPECT_EQ(world.marked(c.mark), c.expected) << c.name;
    }
}

TEST(SidebarRowActions, EveryTargetTakesTheOppositeOfTheClickedTabsMark) {
    ActionWorld world;
    world.change(QStringLiteral("a3"), [](TabRecord &r) { r.muted = true; });
    world.change(QStringLiteral("b2"), [](TabRecord &r) { r.readLater = true; });
    world.selectThree();
    // a1 is unmuted, so all three are muted, a3 again.
    world.actions.toggleMuted(world.tab(QStringLiteral("a1")));
    world.settle();
    EXPECT_EQ(world.marked(&TabRecord::muted), (IDs{"a1", "a3", "b2"}));
    EXPECT_EQ(world.browser.muted.size(), 3u);
    // b2 is on the list, so all three come off it.
    world.actions.toggleReadLater(world.tab(QStringLiteral("b2")));
    world.settle();
    EXPECT_TRUE(world.marked(&TabRecord::readLater).empty());
    world.actions.toggleReadLater(world.tab(QStringLiteral("b2")));
    world.settle();
    EXPECT_EQ(world.marked(&TabRecord::readLater), (IDs{"a1", "a3", "b2"}));
    EXPECT_EQ(world.browser.inner().readingList().size(), 3u);
}

TEST(SidebarRowActions, CloseTakesTheTargetsAndKeepsLockedOnes) {
    ActionWorld world;
    world.selectThree();
    world.actions.close(world.tab(QStringLiteral("b1")));
    world.settle();
    EXPECT_EQ(world.openTabs(), (IDs{"a1", "a2", "a3", "b2"}));

    world.change(QStringLiteral("a3"), [](TabRecord &r) { r.locked = true; });
    world.actions.addToReadLaterAndClose(world.tab(QStringLiteral("a1")));
    world.settle();
    // The locked tab is marked and stays; the others are marked and gone.
    EXPECT_EQ(world.openTabs(), (IDs{"a2", "a3"}));
    EXPECT_TRUE(world.record(QStringLiteral("a3")).readLater);
}

TEST(SidebarRowActions, ModifierClicksOnlySelectAndAPlainOrOptionClickActivates) {
    ActionWorld world;
    int raised = 0;
    world.store->onBrowserWindowRaised = [&] { ++raised; };
    world.actions.click(world.tab(QStringLiteral("b2")), SidebarModifiers::command());
    world.actions.click(world.tab(QStringLiteral("a3")), SidebarModifiers::shift());
    world.settle();
    EXPECT_FALSE(world.browser.inner().windows().back().tabs.back().isActive);
    EXPECT_EQ(raised, 0);
    EXPECT_GE(world.store->selection().ids.size(), 2);

    world.actions.click(world.tab(QStringLiteral("b2")), SidebarModifiers::option());
    world.settle();
    EXPECT_TRUE(world.browser.inner().windows().back().tabs.back().isActive);
    EXPECT_EQ(world.store->selection().ids, TextSet{QStringLiteral("b2")});
    EXPECT_EQ(raised, 1);
}

TEST(SidebarRowActions, GroupActionsFileTheTargetsOrAskForANewGroup) {
    ActionWorld world;
    world.store->flags().setOverride(true, FeatureFlag::tabGroups());
    world.settle();
    const auto group = world.store->createGroup(QStringLiteral("Work"), {});
    ASSERT_TRUE(group);
    world.selectThree();
    world.actions.assignGroup(world.tab(QStringLiteral("a1")), group->id);
    for (const char *id : {"a1", "a3", "b2"}) EXPECT_EQ(world.record(QString::fromUtf8(id)).groupID, group->id) << id;
    world.actions.assignGroup(world.tab(QStringLiteral("a3")), std::nullopt);
    for (const char *id : {"a1", "a3", "b2"}) EXPECT_FALSE(world.record(QString::fromUtf8(id)).groupID) << id;

    world.actions.requestNewGroup(world.tab(QStringLiteral("b2")));
    world.actions.requestNewGroup(world.tab(QStringLiteral("b1")));
    EXPECT_EQ(world.groupRequests, (std::vector<IDs>{{"a1", "a3", "b2"}, {"b1"}}));
}

TEST(SidebarRowActions, SearchRowsActOnTheClickedResultAloneAndAClickEndsTheSearch) {
    struct Case {
        const char *name;
        bool TabRecord::*mark;
        std::function<void(TabRowActions &, const SafariTab &)> fire;
    };
    const std::vector<Case> cases = {
        {"important", &TabRecord::important, [](auto &a, auto &t) { a.toggleImportant(t); }},
        {"locked", &TabRecord::locked, [](auto &a, auto &t) { a.toggleLocked(t); }},
        {"pinned", &TabRecord::pinned, [](auto &a, auto &t) { a.togglePinned(t); }},
        {"muted", &TabRecord::muted, [](auto &a, auto &t) { a.toggleMuted(t); }},
        {"read later", &TabRecord::readLater, [](auto &a, auto &t) { a.toggleReadLater(t); }},
    };
    for (const auto &c : cases) {
        ActionWorld world;
        world.selectThree();
        world.store->setSearchQuery(QStringLiteral("beta"));
        c.fire(world.search, world.tab(QStringLiteral("a3")));
        world.settle();
        EXPECT_EQ(world.marked(c.mark), IDs{"a3"}) << c.name;
        // The selection behind the results is left as it was.
        EXPECT_EQ(world.store->selection().ids, (TextSet{"a1", "a3", "b2"})) << c.name;
    }

    ActionWorld world;
    world.selectThree();
    world.store->setSearchQuery(QStringLiteral("beta"));
    world.search.close(world.tab(QStringLiteral("a3")));
    world.search.requestNewGroup(world.tab(QStringLiteral("b2")));
    world.settle();
    EXPECT_EQ(world.openTabs(), (IDs{"a1", "a2", "b1", "b2"}));
    EXPECT_EQ(world.groupRequests, std::vector<IDs>{{"b2"}});

    world.store->toggleSearch();
    world.store->setSearchQuery(QStringLiteral("delta"));
    // Modifiers mean nothing to a result: it opens.
    world.search.click(world.tab(QStringLiteral("b2")), SidebarModifiers::command());
    world.settle();
    EXPECT_TRUE(world.browser.inner().windows().back().tabs.back().isActive);
    EXPECT_FALSE(world.store->isSearchActive());
    EXPECT_TRUE(world.store->searchQuery().isEmpty());
}

TEST(SidebarRowActions, BrowserActionsReturnAtOnceAndMarksChangeBeforeTheyReturn) {
    StoreWorld world;
    world.browser.windows = ViewWorld::session();
    auto store = world.makeStore();
    world.refresh(*store);
    const auto actions = SidebarRowActions::make(*store, {});
    const SafariTab a1 = ViewWorld::session().front().tabs.front();

    // Marks are written before the closure returns and ask the browser nothing.
    const int polls = world.browser.snapshotCount;
    actions.toggleImportant(a1);
    EXPECT_TRUE(store->record(a1.id)->important);
    EXPECT_EQ(world.browser.snapshotCount, polls);

    // A click returns while its refresh still waits on the browser.
    world.browser.snapshotGate.emplace();
    actions.click(a1, SidebarModifiers::none());
    EXPECT_TRUE(store->isRefreshing());
    EXPECT_EQ(store->selection().ids, TextSet{a1.id});
    world.browser.snapshotGate->resolve();
    world.scheduler.runUntilIdle();
    EXPECT_FALSE(store->isRefreshing());
}

// A refresh that the test holds at the browser, with the sidebar over it.
struct HeldRefreshWorld : StoreWorld {
    std::unique_ptr<TabStore> store;
    ShellCalls shell;
    std::unique_ptr<SidebarView> view;

    HeldRefreshWorld() {
        browser.windows = ViewWorld::session();
        store = makeStore();
        refresh(*store);
        view = std::make_unique<SidebarView>(*store, shell.callbacks(), SidebarView::Services{scheduler, defaults, privacy});
        view->setPalette(lightPalette());
        view->resize(280, 520);
        view->show();
        QCoreApplication::processEvents();
        view->tabList()->rebuild();
        view->tabList()->doItemsLayout();
    }
    QPoint rowCentre(const QString &tabID) const {
        auto *list = view->tabList();
        return list->visualRect(list->rowModel().index(list->rowModel().rowOfTab(tabID))).center();
    }
};

TEST(SidebarRowActions, ClickingARowDuringARefreshQueuesExactlyOneMore) {
    HeldRefreshWorld world;
    const int before = world.browser.snapshotCount;
    world.browser.snapshotGate.emplace();
    auto running = observe(world.store->requestRefresh());
    EXPECT_EQ(world.browser.snapshotCount, before + 1);

    auto *viewport = world.view->tabList()->viewport();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, world.rowCentre(QStringLiteral("a3")));
    QTest::mouseClick(viewport, Qt::LeftButton, {}, world.rowCentre(QStringLiteral("a3")));
    EXPECT_EQ(world.browser.snapshotCount, before + 1);  // nothing beside the running one

    world.browser.snapshotGate->resolve();
    world.scheduler.runUntilIdle();
    EXPECT_TRUE(running->done);
    EXPECT_EQ(world.browser.snapshotCount, before + 2);
    EXPECT_FALSE(world.store->isRefreshing());
    EXPECT_EQ(world.store->selection().ids, TextSet{QStringLiteral("a3")});
}

TEST(SidebarRowActions, TryAgainPressedTwiceRunsOneRefreshAndQueuesOneMore) {
    HeldRefreshWorld world;
    world.store->reportAdapterError(SafariControllerError::automationFailure(QStringLiteral("The script timed out")));
    QCoreApplication::processEvents();
    auto *retry = world.view->messageView()->actionButton();
    ASSERT_NE(retry, nullptr);
    const int before = world.browser.snapshotCount;
    world.browser.snapshotGate.emplace();
    QTest::mouseClick(retry, Qt::LeftButton);
    QTest::mouseClick(retry, Qt::LeftButton);
    EXPECT_EQ(world.browser.snapshotCount, before + 1);
    world.browser.snapshotGate->resolve();
    world.scheduler.runUntilIdle();
    EXPECT_EQ(world.browser.snapshotCount, before + 2);
    EXPECT_FALSE(world.store->isRefreshing());
    EXPECT_EQ(world.store->state(), SidebarState::ready());
}

TEST(SidebarRowActions, RowClicksWithModifiersOnlyChangeTheSelection) {
    ViewWorld world;
    auto *list = world.view->tabList();
    list->rebuild();
    list->doItemsLayout();
    const auto centre = [&](const char *id) {
        return list->visualRect(list->rowModel().index(list->rowModel().rowOfTab(QString::fromUtf8(id)))).center();
    };
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier, centre("a3"));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ShiftModifier, centre("a1"));
    world.settle();
    EXPECT_EQ(world.store->selection().ids.size(), 3);
    EXPECT_TRUE(world.inBrowser(QStringLiteral("a1")).isActive);  // unchanged
    EXPECT_EQ(world.view->countLabel()->text(), QStringLiteral("3 selected"));
    saveScreenshot(world.grab(), QStringLiteral("sidebar-view-tree-selection"));

    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, centre("a3"));
    world.settle();
    EXPECT_TRUE(world.inBrowser(QStringLiteral("a3")).isActive);
    EXPECT_EQ(world.store->selection().ids, TextSet{QStringLiteral("a3")});
}

TEST(SidebarRowActions, AContextMenuChoiceReachesTheStoreOnTheRightTabs) {
    ViewWorld world;
    world.showAllWindows();
    world.settle();
    world.store->select(QStringLiteral("a1"), SidebarModifiers::none());
    world.store->select(QStringLiteral("b1"), SidebarModifiers::command());
    auto *list = world.view->tabList();
    list->rebuild();
    list->doItemsLayout();
    const QPoint b1 = list->visualRect(list->rowModel().index(list->rowModel().rowOfTab(QStringLiteral("b1")))).center();
    const auto menu = list->contextMenuAt(b1);
    ASSERT_TRUE(menu);
    ASSERT_TRUE(menu->trigger({QStringLiteral("Mark Important (2 Tabs)")})) << menu->titles().join(u'|').toStdString();
    for (const char *id : {"a1", "b1"}) EXPECT_TRUE(world.store->record(QString::fromUtf8(id))->important) << id;
    EXPECT_FALSE(world.store->record(QStringLiteral("a3"))->important);
}

TEST(SidebarRowActions, NewGroupFromARowFilesItsTargetsOnceConfirmed) {
    ViewWorld world;
    world.showAllWindows();
    world.enableGroups();
    world.store->select(QStringLiteral("a1"), SidebarModifiers::none());
    world.store->select(QStringLiteral("a3"), SidebarModifiers::command());
    world.store->select(QStringLiteral("b2"), SidebarModifiers::command());
    world.settle();
    auto *list = world.view->tabList();
    list->rebuild();
    list->doItemsLayout();
    const QPoint a3 = list->visualRect(list->rowModel().index(list->rowModel().rowOfTab(QStringLiteral("a3")))).center();
    ASSERT_TRUE(list->contextMenuAt(a3)->trigger({QStringLiteral("Move to Group (3 Tabs)"), QStringLiteral("New Group…")}));
    auto *dialog = world.view->groupPromptDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->messageText(), QStringLiteral("Files these 3 tabs into the new group."));
    QTest::keyClicks(dialog->nameField(), QStringLiteral("  Reading  "));
    QTest::mouseClick(dialog->confirmButton(), Qt::LeftButton);
    world.settle();
    const auto groups = world.store->sortedGroups();
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_EQ(groups.front().name, QStringLiteral("Reading"));
    for (const char *id : {"a1", "a3", "b2"}) EXPECT_EQ(world.store->record(QString::fromUtf8(id))->groupID, groups.front().id);
    EXPECT_FALSE(world.view->groupPrompt());
    EXPECT_TRUE(world.view->groupPromptText().isEmpty());

    // Renaming through the group's header menu.
    world.view->requestRenamePrompt(groups.front());
    auto *rename = world.view->groupPromptDialog();
    rename->nameField()->selectAll();
    QTest::keyClicks(rename->nameField(), QStringLiteral("Later"));
    QTest::mouseClick(rename->confirmButton(), Qt::LeftButton);
    EXPECT_EQ(world.store->sortedGroups().front().name, QStringLiteral("Later"));
    world.settle();
    saveScreenshot(world.grab(), QStringLiteral("sidebar-view-tree-groups"));
}

}  // namespace
