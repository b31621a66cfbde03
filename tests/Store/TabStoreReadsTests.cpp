#include "ReadsWorld.h"

#include <QSignalSpy>

namespace ondrake {
namespace {

using test::ReadsWorld;
using test::tab;
using test::window;

constexpr auto kCommand = SidebarModifiers::command();
constexpr auto kShift = SidebarModifiers::shift();
constexpr auto kNone = SidebarModifiers::none();

std::vector<QString> ids(const std::vector<SafariTab> &tabs) {
    std::vector<QString> result;
    for (const auto &t : tabs) result.push_back(t.id);
    return result;
}

TextSet set(std::initializer_list<const char *> names) {
    TextSet result;
    for (const auto *name : names) result.insert(QString::fromUtf8(name));
    return result;
}

SafariTab at(const QString &id, std::int64_t windowID, std::int64_t index, const QString &url,
             std::optional<QString> parent = std::nullopt) {
    return tab(id, windowID, index, false, std::move(parent), url);
}

// a ─ b (nested under a) ─ c ─ d, one window.
std::vector<SafariWindow> oneWindow() {
    return {window(1, {tab("a", 1, 1, true), tab("b", 1, 2, false, QStringLiteral("a")), tab("c", 1, 3), tab("d", 1, 4)})};
}

// MARK: Selection

struct Click {
    const char *id;
    SidebarModifiers modifiers;
};

struct SelectionCase {
    const char *name;
    std::vector<Click> clicks;
    bool collapseA = false;  // folds b away after the first click
    TextSet ids;
    std::optional<QString> anchor;
};

TEST(TabStoreSelection, ClicksFollowTheRulesOverTheDisplayOrder) {
    const std::vector<SelectionCase> cases = {
        {"plain click", {{"b", kNone}}, false, set({"b"}), "b"},
        {"command adds and moves the anchor", {{"b", kNone}, {"d", kCommand}}, false, set({"b", "d"}), "d"},
        {"shift extends downward", {{"b", kNone}, {"d", kShift}}, false, set({"b", "c", "d"}), "b"},
        {"shift extends upward", {{"d", kNone}, {"b", kShift}}, false, set({"b", "c", "d"}), "d"},
        {"shift replaces command picks", {{"a", kNone}, {"c", kCommand}, {"d", kShift}}, false, set({"c", "d"}), "c"},
        {"shift twice keeps the anchor", {{"b", kNone}, {"d", kShift}, {"a", kShift}}, false, set({"a", "b"}), "b"},
        {"shift without anchor selects alone", {{"c", kShift}}, false, set({"c"}), "c"},
        {"shift on the anchor", {{"c", kNone}, {"c", kShift}}, false, set({"c"}), "c"},
        {"command deselects, keeps the anchor", {{"c", kNone}, {"c", kCommand}}, false, set({}), "c"},
        {"command then shift extends from it", {{"a", kNone}, {"c", kCommand}, {"c", kCommand}, {"d", kShift}}, false,
         set({"c", "d"}), "c"},
        {"command with shift toggles", {{"a", kNone}, {"d", kCommand | kShift}}, false, set({"a", "d"}), "d"},
        {"option alone is a plain click", {{"a", kNone}, {"d", SidebarModifiers::option()}}, false, set({"d"}), "d"},
        {"anchor folded away: plain click", {{"b", kNone}, {"d", kShift}}, true, set({"d"}), "d"},
    };
    for (const auto &c : cases) {
        ReadsWorld world(oneWindow());
        auto &store = *world.store;
        store.clearSelection();
        for (std::size_t i = 0; i < c.clicks.size(); ++i) {
            store.select(QString::fromUtf8(c.clicks[i].id), c.clicks[i].modifiers);
            if (i == 0 && c.collapseA) store.toggleCollapsed(QStringLiteral("a"));
        }
        EXPECT_EQ(store.selection().ids, c.ids) << c.name;
        EXPECT_EQ(store.selection().anchor, c.anchor) << c.name;
    }
}

TEST(TabStoreSelection, ShiftClickFollowsTheArrangementNotTheWindow) {
    ReadsWorld world({window(1, {at("z", 1, 1, "https://zeta.example/"), at("a", 1, 2, "https://alpha.example/"),
                                 at("m", 1, 3, "https://mid.example/")})});
    auto &store = *world.store;
    store.setViewMode(SidebarViewMode::domain);
    EXPECT_EQ(store.displayOrder(), (std::vector<QString>{"a", "m", "z"}));
    store.select("z", kNone);
    store.select("a", kShift);
    EXPECT_EQ(store.selection().ids, set({"a", "m", "z"})) << "in the window, m lies outside z to a";
}

TEST(TabStoreSelection, AClickClearsTheSummaryAndRepublishesOnlyChanges) {
    ReadsWorld world(oneWindow());
    auto &store = *world.store;
    store.select("b", kNone);
    store.announce(QStringLiteral("Closed 2 tabs"));
    QSignalSpy selectionSpy(&store, &TabStore::selectionChanged);
    QSignalSpy summarySpy(&store, &TabStore::lastActionSummaryChanged);
    store.select("b", kNone);
    EXPECT_EQ(store.lastActionSummary(), std::nullopt);
    EXPECT_EQ(summarySpy.count(), 1);
    EXPECT_EQ(selectionSpy.count(), 0);

    store.clearSelection();
    store.clearSelection();
    EXPECT_EQ(selectionSpy.count(), 1);
    EXPECT_EQ(store.selection(), TabSelection{});
}

TEST(TabStoreSelection, SelectedTabsComeInWindowOrderAndSkipClosedOnes) {
    ReadsWorld world(oneWindow());
    auto &store = *world.store;
    EXPECT_TRUE(store.selectedTabs().empty());
    store.select("d", kNone);
    store.select("a", kCommand);
    store.select("c", kCommand);
    EXPECT_EQ(ids(store.selectedTabs()), (std::vector<QString>{"a", "c", "d"}));
    world.browser->setWindows({window(1, {tab("a", 1, 1, true), tab("b", 1, 2, false, QStringLiteral("a")), tab("d", 1, 3)})});
    world.poll();
    EXPECT_EQ(ids(store.selectedTabs()), (std::vector<QString>{"a", "d"}));
}

// MARK: Targets of a row action

TEST(TabStoreTargets, TheClickedTabAloneOrTheVisibleSelection) {
    ReadsWorld world({window(1, {tab("a", 1, 1, true), tab("b", 1, 2, false, QStringLiteral("a")),
                                 at("c", 1, 3, "https://0.example/"), tab("d", 1, 4)})});
    auto &store = *world.store;
    const auto clicked = [&](const char *id) { return world.shown(QString::fromUtf8(id)); };

    store.select("c", kNone);
    store.select("a", kCommand);
    EXPECT_EQ(ids(store.targets(clicked("d"))), std::vector<QString>{"d"}) << "a tab outside the selection";

    store.setViewMode(SidebarViewMode::domain);  // c sorts first here, a second
    store.select("d", kCommand);
    EXPECT_EQ(ids(store.targets(clicked("d"))), (std::vector<QString>{"a", "c", "d"})) << "window order";
    store.setViewMode(SidebarViewMode::tree);

    store.select("b", kNone);
    SafariTab stale = clicked("b");
    stale.title = QStringLiteral("as the row showed it");
    EXPECT_EQ(store.targets(stale), std::vector<SafariTab>{stale}) << "a lone selection gives the value passed";

    store.select("a", kCommand);
    store.toggleCollapsed("a");  // b is folded away
    EXPECT_EQ(ids(store.targets(clicked("a"))), std::vector<QString>{"a"}) << "only one selected tab is visible";
    store.select("d", kCommand);
    EXPECT_EQ(ids(store.targets(clicked("a"))), (std::vector<QString>{"a", "d"}));

    world.browser->setWindows({window(1, {tab("a", 1, 1, true), tab("b", 1, 2, false, QStringLiteral("a")), tab("c", 1, 3)})});
    store.select("c", kCommand);
    const auto targets = store.targets(clicked("a"));  // d is still listed when the click happens
    world.poll();
    EXPECT_EQ(ids(targets), (std::vector<QString>{"a", "c", "d"}));
    EXPECT_EQ(ids(store.targets(clicked("a"))), (std::vector<QString>{"a", "c"})) << "d has closed since";
}

// MARK: Display order and select-all

struct ArrangedWorld : ReadsWorld {
    TabGroup work, home;
    // Front window 1: p (pinned), a, b nested under a, g1 (group work), c; window 2: h (group home), e.
    ArrangedWorld()
        : ReadsWorld({window(1, {at("p", 1, 1, "https://pinned.example/"), at("a", 1, 2, "https://b10.example/"),
                                 at("b", 1, 3, "https://b9.example/", QStringLiteral("a")),
                                 at("g1", 1, 4, "https://b9.example/x"), at("c", 1, 5, "file:///tmp/c")}),
                      window(2, {at("h", 2, 1, "https://home.example/"), at("e", 2, 2, "https://b9.example/e")}, false, 2)}) {
        showAllWindows();
        store->flags().setOverride(true, FeatureFlag::tabGroups());
        work = addGroup(QStringLiteral("Work"), 1);
        home = addGroup(QStringLiteral("Home"), 0);
        changeRecord("p", [](TabRecord &r) { r.pinned = true; });
        changeRecord("g1", [&](TabRecord &r) { r.groupID = work.id; });
        changeRecord("h", [&](TabRecord &r) { r.groupID = home.id; });
        const auto now = scheduler.wallNow();
        for (const char *old : {"a", "e"}) changeRecord(old, [&](TabRecord &r) { r.createdAt = now.addDays(-30); });
    }
};

TEST(TabStoreDisplayOrder, EachArrangementListsItsRowsTopToBottom) {
    ArrangedWorld world;
    auto &store = *world.store;
    const std::vector<std::pair<SidebarViewMode, std::vector<QString>>> cases = {
        {SidebarViewMode::tree, {"p", "h", "g1", "a", "b", "c", "e"}},
        {SidebarViewMode::age, {"p", "b", "g1", "c", "h", "a", "e"}},
        {SidebarViewMode::domain, {"b", "g1", "e", "a", "h", "p", "c"}},
        {SidebarViewMode::group, {"h", "g1", "p", "a", "b", "c", "e"}},
    };
    for (const auto &[mode, expected] : cases) {
        store.setViewMode(mode);
        EXPECT_EQ(store.displayOrder(), expected) << toString(mode).toStdString();
        store.selectAll();
        EXPECT_EQ(store.selection().ids, TextSet(expected.begin(), expected.end())) << toString(mode).toStdString();
        EXPECT_EQ(store.selection().anchor, expected.front()) << toString(mode).toStdString();
    }
}

TEST(TabStoreDisplayOrder, FoldedRowsAreLeftOutAndCollapsedWindowsAreNot) {
    ArrangedWorld world;
    auto &store = *world.store;
    store.toggleCollapsed("a");
    store.toggleWindowCollapsed(2);
    world.store->updateBook([&](TabRecordBook &book) { book.setGroupCollapsed(true, world.home.id); });
    EXPECT_EQ(store.displayOrder(), (std::vector<QString>{"p", "g1", "a", "c", "e"}));

    store.setViewMode(SidebarViewMode::group);
    EXPECT_EQ(store.displayOrder().size(), 7u) << "the flat arrangements fold nothing";
}

TEST(TabStoreDisplayOrder, FeaturesShapeOnlyTheTree) {
    ArrangedWorld world;
    auto &store = *world.store;
    store.flags().setOverride(false, FeatureFlag::tabGroups());
    store.flags().setOverride(false, FeatureFlag::pinnedTabs());
    EXPECT_EQ(store.displayOrder(), (std::vector<QString>{"p", "a", "b", "g1", "c", "h", "e"}));
    EXPECT_TRUE(store.layout().groups.empty());
    EXPECT_TRUE(store.layout().pinned.empty());
    store.setViewMode(SidebarViewMode::group);
    EXPECT_EQ(store.modeSections().size(), 3u) << "Home, Work and Ungrouped, whatever the feature";
}

TEST(TabStoreDisplayOrder, TheActiveWindowScopeListsTheFrontWindowEverywhere) {
    ArrangedWorld world;
    auto &store = *world.store;
    world.defaults.setString(kSidebarWindowScopeKey, QStringLiteral("activeWindow"));
    const auto layout = store.layout();
    EXPECT_EQ(layout.groups.size(), 2u);
    EXPECT_TRUE(layout.groups[0].tabs.empty()) << "Home's tab is in the other window";
    EXPECT_EQ(store.displayOrder(), (std::vector<QString>{"p", "g1", "a", "b", "c"}));
    store.setViewMode(SidebarViewMode::domain);
    EXPECT_EQ(store.displayOrder(), (std::vector<QString>{"b", "g1", "a", "p", "c"}));
}

TEST(TabStoreDisplayOrder, EveryReadSeesTheRecordsAsTheyAreNow) {
    ArrangedWorld world;
    auto &store = *world.store;
    EXPECT_EQ(store.displayOrder().front(), QStringLiteral("p"));
    world.changeRecord("c", [](TabRecord &r) { r.pinned = true; });
    world.changeRecord("p", [](TabRecord &r) { r.pinned = false; });
    EXPECT_EQ(store.displayOrder(), (std::vector<QString>{"c", "h", "g1", "p", "a", "b", "e"}));

    store.setViewMode(SidebarViewMode::age);
    world.changeRecord("c", [&](TabRecord &r) { r.createdAt = world.scheduler.wallNow().addDays(-40); });
    EXPECT_EQ(store.displayOrder(), (std::vector<QString>{"p", "b", "g1", "h", "a", "c", "e"}));

    // The browser restarts: the same pages come back under new session ids and keep their records.
    auto windows = world.browser->windows();
    for (auto &w : windows)
        for (auto &t : w.tabs) {
            t.id += QStringLiteral("2");
            if (t.parentID) *t.parentID += QStringLiteral("2");
        }
    world.browser->setWindows({});
    world.poll();
    world.browser->setWindows(windows);
    world.poll();
    store.setViewMode(SidebarViewMode::tree);
    EXPECT_EQ(store.displayOrder(), (std::vector<QString>{"c2", "h2", "g12", "p2", "a2", "b2", "e2"}));
}

TEST(TabStoreDisplayOrder, SelectAllWritesOnlyAChange) {
    ReadsWorld world(oneWindow());
    auto &store = *world.store;
    store.clearSelection();
    QSignalSpy spy(&store, &TabStore::selectionChanged);
    store.selectAll();
    store.selectAll();
    EXPECT_EQ(spy.count(), 1);
    store.setSearchQuery("c");
    store.selectAll();
    EXPECT_EQ(store.selection().ids.size(), 4) << "the search does not narrow select-all";

    world.browser->setWindows({});
    world.poll();
    store.selectAll();
    EXPECT_EQ(store.selection(), TabSelection{});
}

// MARK: Headings, groups and records

TEST(TabStoreHeadings, WindowHeadingsFollowTheScope) {
    ReadsWorld world({window(1, {tab("a", 1, 1, true), tab("b", 1, 2)}), window(2, {tab("c", 2, 1)}, false, 2)});
    auto &store = *world.store;
    EXPECT_TRUE(store.windowSections()) << "one listed window of two";
    world.showAllWindows();
    EXPECT_TRUE(store.windowSections());
    world.changeRecord("c", [](TabRecord &r) { r.pinned = true; });
    EXPECT_FALSE(store.windowSections()) << "the second window's only tab went to the pinned section";
    world.browser->setWindows({window(1, {tab("a", 1, 1, true)})});
    world.poll();
    world.defaults.setString(kSidebarWindowScopeKey, QStringLiteral("activeWindow"));
    EXPECT_FALSE(store.windowSections());
}

TEST(TabStoreRecords, RecordsGroupsAndGroupNamesByTab) {
    ReadsWorld world(oneWindow());
    auto &store = *world.store;
    ASSERT_NE(store.record("a"), nullptr);
    EXPECT_EQ(store.record("a")->sessionTabID, QStringLiteral("a"));
    EXPECT_EQ(store.record("nope"), nullptr);
    EXPECT_EQ(store.recordIDs({world.shown("d"), tab("x", 1, 9), world.shown("a")}),
              (std::vector<OndrakeID>{store.ondrakeIDs().value("d"), store.ondrakeIDs().value("a")}));

    const auto later = world.addGroup(QStringLiteral("Later"), 3);
    const auto tieB = world.addGroup(QStringLiteral("Tie"), 1);
    const auto tieA = world.addGroup(QStringLiteral("Tie too"), 1);
    const auto first = tieA.id < tieB.id ? tieA.id : tieB.id;
    const auto sorted = store.sortedGroups();
    ASSERT_EQ(sorted.size(), 3u);
    EXPECT_EQ(sorted[0].id, first) << "equal sort indices fall back to identity, the same on every read";
    EXPECT_EQ(sorted[2].id, later.id);

    world.changeRecord("b", [&](TabRecord &r) { r.groupID = later.id; });
    world.changeRecord("c", [&](TabRecord &r) { r.groupID = TabGroupID(); });
    EXPECT_EQ(store.groupName("b"), QStringLiteral("Later"));
    EXPECT_EQ(store.groupName("c"), std::nullopt) << "a group that is gone";
    EXPECT_EQ(store.groupName("d"), std::nullopt);
    EXPECT_EQ(store.groupName("nope"), std::nullopt);
}

// MARK: Collapsing, compact mode, scroll target

TEST(TabStoreCollapsing, TogglesAddAndRemoveTheirKeyOnly) {
    ReadsWorld world(oneWindow());
    auto &store = *world.store;
    store.toggleWindowCollapsed(7);
    EXPECT_TRUE(store.isWindowCollapsed(7));
    EXPECT_FALSE(store.isWindowCollapsed(70));
    store.toggleWindowCollapsed(-3);
    EXPECT_EQ(store.collapsedWindowIDs(), set({"window-7", "window--3"}));
    store.toggleWindowCollapsed(7);
    EXPECT_FALSE(store.isWindowCollapsed(7));

    QSignalSpy spy(&store, &TabStore::collapsedTabIDsChanged);
    store.toggleCollapsed("a");
    EXPECT_EQ(store.collapsedTabIDs(), set({"a"}));
    store.toggleCollapsed("a");
    EXPECT_TRUE(store.collapsedTabIDs().empty());
    EXPECT_EQ(spy.count(), 2);
}

TEST(TabStoreCompact, WritesTheDefaultOnlyOnAChange) {
    ReadsWorld world(oneWindow());
    auto &store = *world.store;
    QSignalSpy defaultsSpy(&world.defaults, &UserDefaults::didChange);
    store.setCompact(false);
    EXPECT_EQ(defaultsSpy.count(), 0);
    store.setCompact(true);
    EXPECT_TRUE(store.isCompact());
    EXPECT_TRUE(world.defaults.boolForKey(TabStore::kCompactKey));
    EXPECT_EQ(defaultsSpy.count(), 1);
    store.setCompact(true);
    EXPECT_EQ(defaultsSpy.count(), 1);
}

TEST(TabStoreScrollTarget, ClearedOnlyForTheTabItNames) {
    ReadsWorld world(oneWindow());
    auto &store = *world.store;
    world.browser->setWindows({window(1, {tab("a", 1, 1), tab("b", 1, 2), tab("c", 1, 3), tab("d", 1, 4),
                                          tab("n", 1, 5, true)})});
    world.poll();
    ASSERT_EQ(store.newTabScrollTargetID(), QStringLiteral("n"));
    store.clearNewTabScrollTarget("a");
    EXPECT_EQ(store.newTabScrollTargetID(), QStringLiteral("n"));
    store.clearNewTabScrollTarget("n");
    EXPECT_EQ(store.newTabScrollTargetID(), std::nullopt);
}

// MARK: Activation and new tabs

TEST(TabStoreActivation, ActivatesThroughTheBrowserAndReportsItsErrors) {
    ReadsWorld world({window(1, {tab("a", 1, 1, true), tab("b", 1, 2)})});
    auto &store = *world.store;
    const auto outcome = runToCompletion(world.scheduler, store.performReportingErrors(store.activate(world.shown("b"))));
    EXPECT_EQ(outcome, CommandOutcome::applied());
    EXPECT_TRUE(world.browser->windows()[0].tabs[1].isActive);

    const auto gone = runToCompletion(world.scheduler, store.performReportingErrors(store.activate(tab("x", 1, 3))));
    EXPECT_EQ(gone, std::nullopt);
    EXPECT_EQ(store.state(), SidebarState::ready()) << "a stale target is only logged";

    const auto failing = [&]() -> QCoro::Task<CommandOutcome> {
        throw std::runtime_error("the script stopped");
        co_return CommandOutcome::applied();
    };
    EXPECT_EQ(runToCompletion(world.scheduler, store.performReportingErrors(failing())), std::nullopt);
    EXPECT_EQ(store.state(), SidebarState::failed("the script stopped"));
}

TEST(TabStoreActivation, WithoutTheCapabilityNothingIsAsked) {
    ReadsWorld world({window(1, {tab("a", 1, 1, true), tab("b", 1, 2)})}, BrowserCapabilities(0x2C3E3 & ~0x120));
    auto &store = *world.store;
    EXPECT_EQ(runToCompletion(world.scheduler, store.activate(world.shown("b"))),
              CommandOutcome::unavailable(BrowserCapabilities::activate));
    EXPECT_FALSE(world.browser->windows()[0].tabs[1].isActive);
    EXPECT_EQ(runToCompletion(world.scheduler, store.openNewTab(1)), CommandOutcome::unavailable(BrowserCapabilities::open));
    EXPECT_TRUE(world.browser->openedURLs().empty());
}

TEST(TabStoreNewTab, OpensFavoritesInTheFrontWindow) {
    ReadsWorld world({window(1, {tab("a", 1, 1, true)}, false, 1), window(2, {tab("b", 2, 1, true)}, true, 2)});
    auto &store = *world.store;
    ASSERT_TRUE(store.newTabWindow());
    EXPECT_EQ(store.newTabWindow()->safariID, 2);
    EXPECT_EQ(runToCompletion(world.scheduler, store.openNewTab(2)), CommandOutcome::applied());
    EXPECT_EQ(world.browser->openedURLs(), std::vector<std::optional<QUrl>>{QUrl("favorites://")});
    EXPECT_EQ(world.browser->windows()[1].tabs.size(), 2u);

    world.browser->setWindows({window(1, {tab("a", 1, 1, true)}, false), window(2, {tab("b", 2, 1, true)}, false, 2)});
    world.poll();
    EXPECT_EQ(store.newTabWindow()->safariID, 1) << "no front window: the first";
    world.browser->setWindows({});
    world.poll();
    EXPECT_EQ(store.newTabWindow(), std::nullopt);
}

TEST(SidebarModifiersTest, QtFlagsMapToTheSidebarKeys) {
    const std::vector<std::pair<Qt::KeyboardModifiers, SidebarModifiers>> cases = {
        {Qt::NoModifier, kNone},
        {Qt::ControlModifier, kCommand},
        {Qt::ShiftModifier, kShift},
        {Qt::AltModifier, SidebarModifiers::option()},
        {Qt::MetaModifier, SidebarModifiers::control()},
        {Qt::ControlModifier | Qt::ShiftModifier | Qt::KeypadModifier | Qt::GroupSwitchModifier, kCommand | kShift},
    };
    for (const auto &[qt, expected] : cases) EXPECT_EQ(SidebarModifiers::fromQt(qt), expected) << qt.toInt();
}

}  // namespace
}  // namespace ondrake
