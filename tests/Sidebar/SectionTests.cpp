#include "RowRecorder.h"

#include "Ondrake/Sidebar/GroupedTabsView.h"
#include "Ondrake/Sidebar/PinnedTabsView.h"
#include "Ondrake/Sidebar/SafariWindowView.h"
#include "Ondrake/Sidebar/TabGroupColorName.h"
#include "Ondrake/Sidebar/TabSectionView.h"

#include "Browser/BrowserURL.h"

#include <QMenu>

#include <gtest/gtest.h>

using namespace ondrake;
using namespace ondrake::test;

namespace {

SafariTab tab(const QString &id, std::int64_t index, std::optional<QString> parent = std::nullopt) {
    return SafariTab{id, 7, index, id, parseURL(QStringLiteral("https://%1.example/").arg(id)), false, std::move(parent)};
}

// a, b nested under a, c, d.
SafariWindowView windowSection(bool pinsOnDragOut = false) {
    SafariWindowView view;
    view.window = SafariWindow{7, 2, true, {tab("a", 1), tab("b", 2, QStringLiteral("a")), tab("c", 3), tab("d", 4)}};
    view.pinsOnDragOut = pinsOnDragOut;
    view.rows = TabTreeRow::rows({}, view.window);
    return view;
}

// A drag in a section that shows every tab of its window.
SafariWindowView::Dragging dragIn(const SafariWindowView &view, const QString &tabID, QSizeF translation) {
    return view.dragChanged(tabID, translation, view.window);
}

TabGroup group(const QString &name) {
    TabGroup g;
    g.name = name;
    return g;
}

// MARK: Window section

TEST(SafariWindowView, DragTranslationsBecomePlans) {
    const struct {
        const char *name;
        QString tab;
        QSizeF translation;
        bool changes;
        int insertionRow;
        int depth;
        std::optional<QString> parent;
    } cases[] = {
        {"less than half a row and half a level", "c", {5.4, 14.4}, false, 2, 0, std::nullopt},
        {"half a row rounds away from zero", "d", {0, -14.5}, true, 2, 0, std::nullopt},
        {"reorder up two rows, between a parent and its child", "d", {0, -58}, true, 1, 1, QStringLiteral("a")},
        {"reorder up three rows", "d", {0, -87}, true, 0, 0, std::nullopt},
        {"deeper by one step", "c", {11, 0}, true, 2, 1, QStringLiteral("a")},
        {"no deeper than one below the row above", "c", {99, 0}, true, 2, 2, QStringLiteral("b")},
        {"shallower by one step", "b", {-11, 0}, true, 1, 0, std::nullopt},
        {"far below the last row", "a", {0, 2900}, true, 2, 0, std::nullopt},
    };
    const SafariWindowView view = windowSection();
    for (const auto &c : cases) {
        const auto dragging = dragIn(view, c.tab, c.translation);
        EXPECT_FALSE(dragging.wouldPin) << c.name;
        ASSERT_TRUE(dragging.plan) << c.name;
        EXPECT_EQ(dragging.plan->changesAnything, c.changes) << c.name;
        EXPECT_EQ(dragging.plan->insertionRow, c.insertionRow) << c.name;
        EXPECT_EQ(dragging.plan->depth, c.depth) << c.name;
        EXPECT_EQ(dragging.plan->move.newParentID, c.parent) << c.name;
        const auto outcome = SafariWindowView::dragEnded(dragging, c.tab, QPointF(10, 10), {});
        EXPECT_EQ(outcome, c.changes ? TabDragOutcome::move(*dragging.plan) : TabDragOutcome::none()) << c.name;
    }
}

// The pinned tab has a section of its own; the browser still counts it.
TEST(SafariWindowView, MovesAreCountedAmongAllOfTheBrowsersTabs) {
    const SafariWindow browser{7, 1, true, {tab("a", 1), tab("p", 2), tab("b", 3), tab("c", 4)}};
    SafariWindowView view;
    view.window = SafariWindow{7, 1, true, {tab("a", 1), tab("b", 3), tab("c", 4)}};
    view.rows = TabTreeRow::rows({}, view.window);
    const auto dragging = view.dragChanged(QStringLiteral("c"), QSizeF(0, -58), browser);
    ASSERT_TRUE(dragging.plan);
    EXPECT_EQ(dragging.plan->insertionRow, 0);
    const SafariTabMove &move = dragging.plan->move;
    EXPECT_EQ(std::tuple(move.fromIndex, move.count, move.toIndex, move.expectedTabCount), std::tuple(4, 1, 1, 4));
    EXPECT_FALSE(view.dragChanged(QStringLiteral("c"), QSizeF(0, -58), SafariWindow{}).plan) << "the window is gone";
}

TEST(SafariWindowView, DraggingAboveTheFirstRowPinsOnlyWhereAllowed) {
    const auto pinning = dragIn(windowSection(true), QStringLiteral("a"), QSizeF(0, -15));
    EXPECT_TRUE(pinning.wouldPin);
    EXPECT_FALSE(pinning.plan);
    EXPECT_EQ(SafariWindowView::dragEnded(pinning, QStringLiteral("a"), {}, {}), TabDragOutcome::pin());
    // A row further down needs to travel past the first row.
    EXPECT_FALSE(dragIn(windowSection(true), QStringLiteral("c"), QSizeF(0, -58)).wouldPin);
    EXPECT_TRUE(dragIn(windowSection(true), QStringLiteral("c"), QSizeF(0, -88)).wouldPin);

    const auto moving = dragIn(windowSection(false), QStringLiteral("a"), QSizeF(0, -15));
    EXPECT_FALSE(moving.wouldPin);
    ASSERT_TRUE(moving.plan);
    EXPECT_EQ(moving.plan->insertionRow, 0);
}

TEST(SafariWindowView, DropOnAGroupWinsAndOtherTabsDragsAreIgnored) {
    const TabGroup work = group(QStringLiteral("Work"));
    const TabGroup home = group(QStringLiteral("Home"));
    const GroupFrames frames = {{work.id, QRectF(0, 0, 200, 80)}, {home.id, QRectF(0, 90, 200, 50)}};
    const auto pinning = dragIn(windowSection(true), QStringLiteral("a"), QSizeF(0, -40));
    EXPECT_EQ(SafariWindowView::dragEnded(pinning, QStringLiteral("a"), QPointF(20, 100), frames),
              TabDragOutcome::assignGroup(home.id));
    EXPECT_EQ(SafariWindowView::dragEnded(pinning, QStringLiteral("a"), QPointF(20, 200), frames), TabDragOutcome::pin());
    EXPECT_EQ(SafariWindowView::dragEnded(pinning, QStringLiteral("b"), QPointF(20, 100), frames), TabDragOutcome::none());
    EXPECT_EQ(SafariWindowView::dragEnded(std::nullopt, QStringLiteral("a"), QPointF(20, 100), frames), TabDragOutcome::none());
}

TEST(SafariWindowView, OverlappingGroupFramesResolveToTheUpperSection) {
    const TabGroup work = group(QStringLiteral("Work"));
    const TabGroup home = group(QStringLiteral("Home"));
    const auto dragging = dragIn(windowSection(), QStringLiteral("c"), QSizeF(0, 40));
    const QPointF point(20, 60);
    EXPECT_EQ(SafariWindowView::dragEnded(dragging, QStringLiteral("c"), point,
                                          {{work.id, QRectF(0, 0, 200, 80)}, {home.id, QRectF(0, 50, 200, 80)}}),
              TabDragOutcome::assignGroup(work.id));
}

TEST(SafariWindowView, IndicatorSitsAtTheInsertionRowIndentedUpToSixLevels) {
    TabDropPlan plan;
    plan.insertionRow = 3;
    EXPECT_DOUBLE_EQ(SafariWindowView::indicatorY(plan), 3 * 29 - 1.5);
    EXPECT_DOUBLE_EQ(SafariWindowView::indicatorIndent(2, false), 22);
    EXPECT_DOUBLE_EQ(SafariWindowView::indicatorIndent(9, false), 66);
    EXPECT_DOUBLE_EQ(SafariWindowView::indicatorIndent(9, true), 0);
}

TEST(SafariWindowView, HeadingNamesTheWindowAndCountsItsTabsWhenCollapsed) {
    SafariWindowView view = windowSection();
    EXPECT_EQ(view.title(), QStringLiteral("Window 2"));
    view.name = QStringLiteral("Window 1");
    auto heading = view.heading(false);
    EXPECT_EQ(heading.title, QStringLiteral("Window 1"));
    EXPECT_EQ(heading.symbolRotation, 90);
    EXPECT_EQ(heading.badge, std::nullopt);
    EXPECT_EQ(heading.accessibilityLabel, QStringLiteral("Window 1, 4 tabs"));
    EXPECT_EQ(heading.accessibilityHint, QStringLiteral("Collapse"));

    view.isCollapsed = true;
    view.showsHeading = true;
    EXPECT_FALSE(view.showsRows());
    heading = view.heading(true);
    EXPECT_TRUE(heading.title.isEmpty());
    EXPECT_EQ(heading.badge, QStringLiteral("4"));
    EXPECT_EQ(heading.symbolRotation, 0);
    EXPECT_EQ(heading.accessibilityHint, QStringLiteral("Expand"));
    // Without a heading nothing can fold the rows away.
    view.showsHeading = false;
    EXPECT_TRUE(view.showsRows());
}

// MARK: Pinned section

TEST(PinnedTabsView, RowsDraggedBelowTheLastPinnedRowUnpin) {
    const PinnedTabsView view{{tab("p1", 1), tab("p2", 2), tab("p3", 3)}};
    const struct {
        QString tab;
        double dy;
        bool unpins;
    } cases[] = {
        {"p3", 15, true}, {"p3", 14, false}, {"p1", 58, false}, {"p1", 87, true}, {"p2", -200, false}, {"zz", 400, false},
    };
    for (const auto &c : cases) {
        const auto dragging = view.dragChanged(c.tab, QSizeF(0, c.dy));
        EXPECT_EQ(dragging.wouldUnpin, c.unpins) << c.tab.toStdString() << " " << c.dy;
        EXPECT_EQ(PinnedTabsView::dragEnded(dragging, c.tab, QPointF(5, 500), {}),
                  c.unpins ? TabDragOutcome::unpin() : TabDragOutcome::none());
    }
}

TEST(PinnedTabsView, DropOnAGroupAssignsInsteadOfUnpinning) {
    const PinnedTabsView view{{tab("p1", 1)}};
    const TabGroup work = group(QStringLiteral("Work"));
    const auto dragging = view.dragChanged(QStringLiteral("p1"), QSizeF(0, 60));
    ASSERT_TRUE(dragging.wouldUnpin);
    EXPECT_EQ(PinnedTabsView::dragEnded(dragging, QStringLiteral("p1"), QPointF(5, 60), {{work.id, QRectF(0, 40, 100, 40)}}),
              TabDragOutcome::assignGroup(work.id));
}

TEST(PinnedTabsView, HeaderCountsThePinnedTabs) {
    const PinnedTabsView view{{tab("p1", 1), tab("p2", 2)}};
    EXPECT_EQ(view.heading(false).title, QStringLiteral("Pinned in Sidebar"));
    EXPECT_EQ(view.heading(false).help, QStringLiteral("Pinned in Sidebar, 2 tabs"));
    EXPECT_EQ(view.heading(false).accessibilityLabel, QStringLiteral("Pinned in Sidebar, 2 tabs"));
    EXPECT_TRUE(view.heading(true).title.isEmpty());
    EXPECT_EQ(view.heading(true).symbol, QStringLiteral("pin.fill"));
}

// MARK: Group sections

TEST(GroupedTabsView, DropsLeaveJoinOrStayByWhereTheyLand) {
    const TabGroup work = group(QStringLiteral("Work"));
    const TabGroup home = group(QStringLiteral("Home"));
    const GroupFrames frames = {{work.id, QRectF(0, 0, 200, 80)}, {home.id, QRectF(0, 90, 200, 50)}};
    EXPECT_EQ(GroupedTabsView::dragEnded(work.id, QPointF(20, 40), frames), TabDragOutcome::none());
    EXPECT_EQ(GroupedTabsView::dragEnded(work.id, QPointF(20, 100), frames), TabDragOutcome::assignGroup(home.id));
    EXPECT_EQ(GroupedTabsView::dragEnded(work.id, QPointF(20, 300), frames), TabDragOutcome::assignGroup(std::nullopt));
    EXPECT_EQ(GroupedTabsView::dragEnded(work.id, QPointF(20, 300), {{home.id, QRectF(0, 90, 200, 50)}}),
              TabDragOutcome::none());
}

TEST(GroupedTabsView, HeaderShowsColourNameAndCount) {
    TabGroup work = group(QStringLiteral("Work"));
    work.colorName = QStringLiteral("Teal");
    GroupedTabsView view{{work, {tab("a", 1), tab("b", 2)}}, false, true};
    const auto full = view.heading(false);
    EXPECT_EQ(full.title, QStringLiteral("Work"));
    EXPECT_EQ(full.count, QStringLiteral("2"));
    EXPECT_EQ(full.dot, QColor(drawingColor(TabGroupColorName::gray)));
    EXPECT_EQ(full.help, QStringLiteral("Work, 2 tabs"));
    EXPECT_EQ(full.accessibilityHint, QStringLiteral("Collapse"));
    const auto compact = view.heading(true);
    EXPECT_TRUE(compact.title.isEmpty());
    EXPECT_TRUE(compact.symbol.isEmpty());
    EXPECT_FALSE(compact.count);
    EXPECT_TRUE(compact.dot);

    GroupedTabsView empty{{group(QStringLiteral("Empty")), {}}, false, false};
    EXPECT_TRUE(empty.showsHint(false));
    EXPECT_FALSE(empty.showsHint(true));
    empty.section.group.isCollapsed = true;
    EXPECT_FALSE(empty.showsHint(false));
    EXPECT_FALSE(empty.showsRows());
}

TEST(GroupedTabsView, HeaderMenuOffersTheGroupsEdits) {
    TabGroup work = group(QStringLiteral("Work"));
    work.colorName = QStringLiteral("purple");
    QStringList calls;
    const GroupedTabsView::Callbacks callbacks{
        .onToggleCollapse = [&] { calls << QStringLiteral("toggle"); },
        .onRename = [&] { calls << QStringLiteral("rename"); },
        .onSetColor = [&](const QString &name) { calls << QStringLiteral("color ") + name; },
        .onDelete = [&] { calls << QStringLiteral("delete"); },
        .onMoveUp = [&] { calls << QStringLiteral("up"); },
        .onMoveDown = [&] { calls << QStringLiteral("down"); },
    };
    GroupedTabsView view{{work, {}}, false, true};
    const SidebarMenu menu = view.headerMenu(callbacks);
    EXPECT_EQ(menu.titles(), (QStringList{QStringLiteral("Rename…"), QStringLiteral("Color"), QStringLiteral("—"),
                                          QStringLiteral("Move Up"), QStringLiteral("Move Down"), QStringLiteral("—"),
                                          QStringLiteral("Collapse"), QStringLiteral("—"), QStringLiteral("Delete Group")}));
    EXPECT_EQ(menu.titles({QStringLiteral("Color")}),
              (QStringList{QStringLiteral("Gray"), QStringLiteral("Red"), QStringLiteral("Orange"), QStringLiteral("Yellow"),
                           QStringLiteral("Green"), QStringLiteral("Mint"), QStringLiteral("Blue"), QStringLiteral("✓ Purple"),
                           QStringLiteral("Pink")}));
    EXPECT_FALSE(menu.find({QStringLiteral("Move Up")})->enabled);
    EXPECT_TRUE(menu.find({QStringLiteral("Move Down")})->enabled);
    EXPECT_TRUE(menu.find({QStringLiteral("Delete Group")})->destructive);
    for (const QStringList &path : {QStringList{QStringLiteral("Rename…")}, QStringList{QStringLiteral("Color"), QStringLiteral("Blue")},
                                    QStringList{QStringLiteral("Move Up")}, QStringList{QStringLiteral("Move Down")},
                                    QStringList{QStringLiteral("Collapse")}, QStringList{QStringLiteral("Delete Group")}})
        menu.trigger(path);
    EXPECT_EQ(calls, (QStringList{QStringLiteral("rename"), QStringLiteral("color blue"), QStringLiteral("down"),
                                  QStringLiteral("toggle"), QStringLiteral("delete")}));

    work.colorName.reset();
    work.isCollapsed = true;
    const SidebarMenu collapsed = GroupedTabsView{{work, {}}, true, true}.headerMenu(callbacks);
    EXPECT_TRUE(collapsed.find({QStringLiteral("Expand")}));
    EXPECT_TRUE(collapsed.find({QStringLiteral("Color"), QStringLiteral("✓ Gray")})->checked);
}

TEST(SidebarMenu, BecomesAQMenuWithTheSameItemsAndActions) {
    QStringList calls;
    GroupedTabsView::Callbacks callbacks;
    callbacks.onDelete = [&] { calls << QStringLiteral("delete"); };
    callbacks.onSetColor = [&](const QString &name) { calls << name; };
    const SidebarMenu menu = GroupedTabsView{{group(QStringLiteral("Work")), {}}, false, true}.headerMenu(callbacks);
    QMenu qmenu;
    menu.populate(qmenu);
    const auto actions = qmenu.actions();
    ASSERT_EQ(actions.size(), qsizetype(menu.items.size()));
    QStringList titles;
    for (QAction *action : actions) titles << (action->isSeparator() ? QStringLiteral("—") : action->text());
    EXPECT_EQ(titles, menu.titles());
    EXPECT_FALSE(actions[3]->isEnabled());  // Move Up
    ASSERT_TRUE(actions[1]->menu());
    EXPECT_EQ(actions[1]->menu()->actions().size(), 9);
    actions[1]->menu()->actions()[2]->trigger();
    actions.back()->trigger();
    EXPECT_EQ(calls, (QStringList{QStringLiteral("orange"), QStringLiteral("delete")}));
}

TEST(GroupedTabsView, OnlyGroupsWithANeighbourCanMoveThatWay) {
    const TabGroup a = group(QStringLiteral("A"));
    const TabGroup b = group(QStringLiteral("B"));
    const TabGroup c = group(QStringLiteral("C"));
    EXPECT_EQ(GroupedTabsView::canMove({a, b, c}, a.id), std::pair(false, true));
    EXPECT_EQ(GroupedTabsView::canMove({a, b, c}, b.id), std::pair(true, true));
    EXPECT_EQ(GroupedTabsView::canMove({a, b, c}, c.id), std::pair(true, false));
    EXPECT_EQ(GroupedTabsView::canMove({a}, a.id), std::pair(false, false));
    EXPECT_EQ(GroupedTabsView::canMove({a}, b.id), std::pair(false, false));
}

// MARK: Arrangement sections

TEST(TabSectionView, HeadingCountsItsRowsInTheFullFormOnly) {
    TabViewSection section{QStringLiteral("today"), QStringLiteral("Today"), {}};
    for (int i = 0; i < 5; ++i) section.rows.push_back(TabTreeRow{tab(QString::number(i), i + 1)});
    const TabSectionView view{section};
    EXPECT_EQ(view.heading(false).count, QStringLiteral("5"));
    EXPECT_EQ(view.heading(true).count, std::nullopt);
    EXPECT_EQ(view.heading(true).titleSize, 9);
    EXPECT_EQ(view.heading(false).accessibilityLabel, QStringLiteral("Today, 5 tabs"));

    // On the narrow rail a long title shrinks down to seven tenths of its size, then is cut.
    const struct {
        bool compact;
        double natural, available, size;
    } cases[] = {
        {true, 40, 50, 9}, {true, 50, 40, 9 * 0.8}, {true, 100, 40, 9 * 0.7}, {true, 100, -5, 9 * 0.7},
        {false, 100, 40, 11},
    };
    for (const auto &c : cases)
        EXPECT_DOUBLE_EQ(view.heading(c.compact).fittedTitleSize(c.natural, c.available), c.size)
            << c.compact << " " << c.natural << " in " << c.available;
}

}  // namespace
