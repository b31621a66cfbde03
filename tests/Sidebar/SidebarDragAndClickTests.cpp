#include "BrowserViewWorld.h"

#include <QTest>

using namespace ondrake;
using namespace ondrake::test;

namespace {

// MARK: Drags

// A row dragged in its window's section lands in the browser where the user dropped it, also
// when some of the window's tabs are shown in the pinned or a group section instead.
TEST(SidebarDrag, TheBrowserTakesTheOrderAndNestingTheUserDroppedIn) {
    // Titles, space-separated; ">" marks a row one level deeper.
    const struct {
        const char *name;
        const char *tabs;
        const char *pinned;
        const char *grouped;
        const char *dragged;
        int rows;
        int levels;
        const char *browser;  // the window's whole tab order afterwards
        const char *shown;    // the window section afterwards
        const char *parent;
    } cases[] = {
        {"no pinned tab, up two rows", "A B C D", "", "", "D", -2, 0, "A D B C", "A D B C", ""},
        {"no pinned tab, far past the last row", "A B C D", "", "", "A", 9, 0, "B C D A", "B C D A", ""},
        {"pinned tab first", "P A B C", "P", "", "C", -2, 0, "P C A B", "C A B", ""},
        {"pinned tab last", "A B C P", "P", "", "A", 1, 0, "B A C P", "B A C", ""},
        {"pinned tab last, below the last row", "A B C P", "P", "", "A", 2, 0, "B C A P", "B C A", ""},
        {"pinned tab between", "A P B C", "P", "", "C", -2, 0, "C A P B", "C A B", ""},
        {"grouped tab", "A G B C", "", "G", "C", -2, 0, "C A G B", "C A B", ""},
        {"pinned and grouped tabs", "P A G B C", "P", "G", "A", 2, 0, "P G B C A", "B C A", ""},
        {"one level deeper, pinned tab first", "P A B C", "P", "", "C", 0, 1, "P A B C", "A B >C", "B"},
        {"up a row and one level deeper, pinned and grouped tabs", "P A G B C", "P", "G", "C", -1, 1, "P A C G B",
         "A >C B", "A"},
        {"one level deeper past a grouped tab", "A G B", "", "G", "B", 0, 1, "A B G", "A >B", "A"},
    };
    const auto titles = [](const char *text) { return QString::fromUtf8(text).split(u' ', Qt::SkipEmptyParts); };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        BrowserViewWorld world(std::vector<QStringList>{titles(c.tabs)});
        for (const QString &title : titles(c.pinned)) world.pin(title);
        if (const QStringList grouped = titles(c.grouped); !grouped.isEmpty()) world.group(grouped);

        world.drag(QString::fromUtf8(c.dragged), c.rows, c.levels);

        EXPECT_EQ(world.browserTitles().join(u' ').toStdString(), c.browser);
        EXPECT_EQ(world.windowRows().join(u' ').toStdString(), c.shown);
        const auto parent = world.tab(QString::fromUtf8(c.dragged)).parentID;
        EXPECT_EQ(parent ? world.titleOf(*parent) : QString(), QString::fromUtf8(c.parent));
        EXPECT_EQ(world.store->state(), SidebarState::ready());
        // The order holds from poll to poll.
        world.poll();
        EXPECT_EQ(world.windowRows().join(u' ').toStdString(), c.shown);
    }
}

// A row let go with a few points of travel, or dropped back anywhere around its place, leaves
// the browser as it was, also where a tab the section does not show stands next to it; a drop
// below the last row lands right after the section's last tab, before such a tab.
TEST(SidebarDrag, ADropThatLeavesTheSectionAsItWasMovesNothingInTheBrowser) {
    const struct {
        const char *name;
        const char *tabs;  // H is pinned or grouped
        const char *dragged;
        QPoint travel;
        const char *browser;
    } drops[] = {
        {"a sloppy click on the last row", "A B C H", "C", {0, 5}, "A B C H"},
        {"let go half a row lower", "A B C H", "C", {2, 15}, "A B C H"},
        {"let go far below the last row", "A B C H", "C", {0, 150}, "A B C H"},
        {"a sloppy click on the first row, H next to it", "A H B C", "A", {3, -4}, "A H B C"},
        {"to the middle", "A B C H", "C", {0, -29}, "A C B H"},
        {"to the start", "A B C H", "C", {0, -58}, "C A B H"},
        {"the first row below the last", "A B C H", "A", {0, 58}, "B C A H"},
    };
    const auto titles = [](const char *text) { return QString::fromUtf8(text).split(u' ', Qt::SkipEmptyParts); };
    for (const bool grouped : {false, true}) {
        for (const auto &c : drops) {
            SCOPED_TRACE(std::string(c.name) + (grouped ? ", H grouped" : ", H pinned"));
            BrowserViewWorld world(std::vector<QStringList>{titles(c.tabs)});
            if (grouped) world.group({QStringLiteral("H")});
            else world.pin(QStringLiteral("H"));
            const bool unchanged = QByteArray(c.tabs) == c.browser;

            world.dragBy(QString::fromUtf8(c.dragged), c.travel);

            EXPECT_EQ(world.browserTitles().join(u' ').toStdString(), c.browser);
            EXPECT_EQ(world.movesAsked(), unchanged ? 0 : 1);
            world.poll();
            QStringList shown = titles(c.browser);
            shown.removeAll(QStringLiteral("H"));
            EXPECT_EQ(world.windowRows().join(u' ').toStdString(), shown.join(u' ').toStdString());
        }
    }
}

// Two drags in a row: the second is counted on the order the first left.
TEST(SidebarDrag, ASecondDragStartsFromWhereTheFirstLeftTheTabs) {
    BrowserViewWorld world(std::vector<QStringList>{{"A", "P", "B", "C", "D"}});
    world.pin(QStringLiteral("P"));
    world.drag(QStringLiteral("D"), -3, 0);
    ASSERT_EQ(world.windowRows().join(u' '), QStringLiteral("D A B C"));
    world.drag(QStringLiteral("C"), -2, 1);  // under D, above A
    EXPECT_EQ(world.windowRows().join(u' '), QStringLiteral("D >C A B"));
    EXPECT_EQ(world.browserTitles().join(u' '), QStringLiteral("D C A P B"));
    // The nested tab travels with its parent.
    world.drag(QStringLiteral("D"), 2, 0);
    EXPECT_EQ(world.windowRows().join(u' '), QStringLiteral("A B D >C"));
    EXPECT_EQ(world.browserTitles().join(u' '), QStringLiteral("A P B D C"));
}

// The drop indicator's promise holds when the dragged tab's family holds a pinned tab, and when
// the row it is dropped into was folded before its nested tabs went:
// - A B P C, P nested under B and pinned, C nested under P: the section shows A B C, and B
//   dragged one row up lands above A on its own;
// - P C X, C nested under P, P folded, C closed in the browser: X dropped one step in shows
//   nested under P, which now unfolds.
TEST(SidebarDrag, ADropEndsWhereItsIndicatorShowed) {
    const struct {
        const char *name;
        const char *tabs;
        std::function<void(BrowserViewWorld &)> arrange;
        const char *shownBefore;
        const char *dragged;
        int rows;
        int levels;
        int indicatorRow;
        int indicatorDepth;
        const char *shown;
        const char *browser;
    } cases[] = {
        {"a pinned tab in the dragged tab's family", "A B P C",
         [](BrowserViewWorld &w) {
             w.drag(QStringLiteral("P"), 0, 1);
             w.drag(QStringLiteral("C"), 0, 2);
             w.pin(QStringLiteral("P"));
         },
         "A B C", "B", -1, 0, 0, 0, "B A C", "B A P C"},
        {"a row folded before its nested tab was closed", "P C X",
         [](BrowserViewWorld &w) {
             w.drag(QStringLiteral("C"), 0, 1);
             const int row = w.list().rowModel().rowOfTab(w.tab(QStringLiteral("P")).id);
             QTest::mouseClick(w.list().viewport(), Qt::LeftButton, {},
                               w.list().geometry().rowGeometry(row, true).chevron.center().toPoint());
             w.settle();
             ASSERT_TRUE(w.store->collapsedTabIDs().contains(w.tab(QStringLiteral("P")).id));
             w.safari.update([](auto &windows) {
                 auto &tabs = windows.front().tabs;
                 tabs.erase(tabs.begin() + 1);
             });
             w.poll();
         },
         "P X", "X", 0, 1, 1, 1, "P >X", "P X"},
    };
    const auto titles = [](const char *text) { return QString::fromUtf8(text).split(u' ', Qt::SkipEmptyParts); };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        BrowserViewWorld world(std::vector<QStringList>{titles(c.tabs)});
        c.arrange(world);
        ASSERT_EQ(world.windowRows().join(u' '), QString::fromUtf8(c.shownBefore));

        QWidget *viewport = world.list().viewport();
        const QPoint from = world.band(QString::fromUtf8(c.dragged)).center();
        const QPoint to = from + QPoint(c.levels * int(sidebar::kNestingStep), c.rows * int(sidebar::kRowPitch));
        QTest::mousePress(viewport, Qt::LeftButton, {}, from);
        QTest::mouseMove(viewport, from + QPoint(0, 6));
        QTest::mouseMove(viewport, to);
        ASSERT_TRUE(world.list().drag() && world.list().drag()->window && world.list().drag()->window->plan);
        const TabDropPlan &plan = *world.list().drag()->window->plan;
        EXPECT_EQ(std::pair(plan.insertionRow, plan.depth), std::pair(c.indicatorRow, c.indicatorDepth));
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, to);
        world.settle();

        EXPECT_EQ(world.windowRows().join(u' ').toStdString(), c.shown);
        EXPECT_EQ(world.browserTitles().join(u' ').toStdString(), c.browser);
        world.poll();
        EXPECT_EQ(world.windowRows().join(u' ').toStdString(), c.shown) << "the next poll keeps it";
    }
}

// MARK: Clicks

// The sidebar of one window with a pinned tab and a grouped one, B selected, P the browser's
// current tab:
//   Pinned: P | Work: G | Window 1: A B C
struct ClickWorld : BrowserViewWorld {
    TabGroup work;

    ClickWorld() : BrowserViewWorld(std::vector<QStringList>{{"P", "G", "A", "B", "C"}, {"D"}}) {
        pin(QStringLiteral("P"));
        work = group({QStringLiteral("G")});
        store->select(tab(QStringLiteral("B")).id, SidebarModifiers::none());
        settle();
    }

    QRect heading(const QString &key) const { return band(entryKeyed(key)); }
    QRect groupHeading() const { return heading(QStringLiteral("group:") + work.id.toString()); }
    QRect windowHeading() const {
        return heading(QStringLiteral("window-") + QString::number(tab(QStringLiteral("A")).windowID));
    }

    // A click where the pointer is, in the list's own coordinates, on whatever lies there.
    void click(QPoint inList) {
        QWidget *target = list().childAt(inList);
        if (!target) target = &list();
        QTest::mouseClick(target, Qt::LeftButton, {}, target->mapFrom(&list(), inList));
        settle();
    }
    QPoint inList(QPoint inViewport) const { return list().viewport()->mapTo(&list(), inViewport); }
};

// A row or a heading answers only inside its own band; the spacing and padding around it are the
// sidebar's empty space, where a click clears the selection and nothing else.
TEST(SidebarClicks, OnlyABandTakesTheClickAndEverythingBetweenIsEmptySpace) {
    enum class Effect { empty, selects, foldsGroup, foldsWindow };
    const auto rowEdge = [](const char *title, bool top, int off) {
        return [=](const ClickWorld &w) {
            const QRect b = w.band(QString::fromUtf8(title));
            return w.inList(QPoint(b.center().x(), (top ? b.top() : b.bottom()) + off));
        };
    };
    const auto headingEdge = [](bool group, bool top, int off) {
        return [=](const ClickWorld &w) {
            const QRect b = group ? w.groupHeading() : w.windowHeading();
            return w.inList(QPoint(b.center().x(), (top ? b.top() : b.bottom()) + off));
        };
    };
    const struct {
        const char *name;
        std::function<QPoint(const ClickWorld &)> at;
        Effect effect;
        const char *tab;
    } cases[] = {
        {"A's top edge", rowEdge("A", true, 0), Effect::selects, "A"},
        {"A's bottom edge", rowEdge("A", false, 0), Effect::selects, "A"},
        {"just above A", rowEdge("A", true, -1), Effect::empty, ""},
        {"just below A", rowEdge("A", false, 1), Effect::empty, ""},
        {"just above C", rowEdge("C", true, -1), Effect::empty, ""},
        {"just below the last row", rowEdge("C", false, 1), Effect::empty, ""},
        {"P's bottom edge", rowEdge("P", false, 0), Effect::selects, "P"},
        {"the pinned section's padding under P", rowEdge("P", false, 1), Effect::empty, ""},
        {"the pinned section's margin under P", rowEdge("P", false, 8), Effect::empty, ""},
        {"G's top edge", rowEdge("G", true, 0), Effect::selects, "G"},
        {"the group's padding under G", rowEdge("G", false, 1), Effect::empty, ""},
        {"the group heading's top edge", headingEdge(true, true, 0), Effect::foldsGroup, ""},
        {"the group heading's bottom edge", headingEdge(true, false, 0), Effect::foldsGroup, ""},
        {"just above the group heading", headingEdge(true, true, -1), Effect::empty, ""},
        {"16 points above the group heading", headingEdge(true, true, -16), Effect::empty, ""},
        {"the window heading's top edge", headingEdge(false, true, 0), Effect::foldsWindow, ""},
        {"the window heading's bottom edge", headingEdge(false, false, 0), Effect::foldsWindow, ""},
        {"just above the window heading", headingEdge(false, true, -1), Effect::empty, ""},
        {"8 points above the window heading", headingEdge(false, true, -8), Effect::empty, ""},
        {"just below the window heading", headingEdge(false, false, 1), Effect::empty, ""},
        {"the list's padding above the first section", [](const ClickWorld &w) { return w.inList(QPoint(40, -3)); },
         Effect::empty, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ClickWorld world;
        const auto windowID = world.tab(QStringLiteral("A")).windowID;
        ASSERT_EQ(world.browserCurrentTab(), QStringLiteral("P"));

        world.click(c.at(world));

        const TextSet selection = world.store->selection().ids;
        const bool groupFolded = world.store->groups().at(world.work.id).isCollapsed;
        const bool windowFolded = world.store->isWindowCollapsed(windowID);
        switch (c.effect) {
        case Effect::empty:
            EXPECT_TRUE(selection.empty());
            EXPECT_EQ(world.browserCurrentTab(), QStringLiteral("P"));
            EXPECT_FALSE(groupFolded);
            EXPECT_FALSE(windowFolded);
            break;
        case Effect::selects:
            EXPECT_EQ(selection, TextSet{world.tab(QString::fromUtf8(c.tab)).id});
            EXPECT_EQ(world.browserCurrentTab(), QString::fromUtf8(c.tab));
            EXPECT_FALSE(groupFolded);
            EXPECT_FALSE(windowFolded);
            break;
        case Effect::foldsGroup:
        case Effect::foldsWindow:
            EXPECT_EQ(groupFolded, c.effect == Effect::foldsGroup);
            EXPECT_EQ(windowFolded, c.effect == Effect::foldsWindow);
            EXPECT_EQ(selection, TextSet{world.tab(QStringLiteral("B")).id}) << "a fold keeps the selection";
            EXPECT_EQ(world.browserCurrentTab(), QStringLiteral("P"));
            break;
        }
    }
}

// Between the rows the pointer hovers nothing: no close button shows there, and neither a
// middle click nor a context menu reaches the row next to it.
TEST(SidebarClicks, BetweenTheRowsThePointerHoversAndClosesNothing) {
    ClickWorld world;
    QWidget *viewport = world.list().viewport();
    const QRect a = world.band(QStringLiteral("A"));
    const QPoint gap(a.center().x(), a.bottom() + 1);
    QTest::mouseMove(viewport, a.center());
    EXPECT_EQ(world.list().hoveredTab(), world.tab(QStringLiteral("A")).id);
    QTest::mouseMove(viewport, gap);
    EXPECT_EQ(world.list().hoveredTab(), std::nullopt);
    EXPECT_FALSE(world.list().contextMenuAt(gap));
    QTest::mouseClick(viewport, Qt::MiddleButton, {}, gap);
    world.settle();
    EXPECT_EQ(world.browserTitles().join(u' '), QStringLiteral("P G A B C"));
}

}  // namespace
