#include "BrowserViewWorld.h"

#include "Log.h"

#include <QTest>

using namespace ondrake;
using namespace ondrake::test;

namespace {

// A press on the tab's row, a move past the drag threshold, then on by whole rows and nesting
// steps, and the release there; the row is found by the tab, not by its title.
void dragTab(BrowserViewWorld &world, const QString &tabID, int rows, int levels) {
    QWidget *viewport = world.list().viewport();
    const QPoint from = world.band(world.list().rowModel().rowOfTab(tabID)).center();
    const QPoint to = from + QPoint(levels * int(sidebar::kNestingStep), rows * int(sidebar::kRowPitch));
    QTest::mousePress(viewport, Qt::LeftButton, {}, from);
    QTest::mouseMove(viewport, from + QPoint(0, 6));
    QTest::mouseMove(viewport, to);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, to);
    world.settle();
}

// Two identical tabs, the second locked with a page nested under it, the first marked: the user
// drags the locked one above its twin. The browser takes the new order, and after the next poll
// every tab still carries its own record: the lock and the nested page went with the dragged tab,
// the mark stayed on the other, and a close of the locked tab from the sidebar is refused.
TEST(SidebarTwinDrag, ALockedTwinDraggedPastItsTwinKeepsItsLockAndNestedTab) {
    LogCapture log;
    BrowserViewWorld world(std::vector<QStringList>{{"Favorites", "Sky", "Diffuse", "Weather", "Sky", "Rayleigh", "News"}});
    world.drag(QStringLiteral("Rayleigh"), 0, 1);
    ASSERT_EQ(world.windowRows().join(u' '), QStringLiteral("Favorites Sky Diffuse Weather Sky >Rayleigh News"));
    const auto tabs = world.store->windows().front().tabs;
    const auto &first = tabs[1];
    const auto &second = tabs[4];
    world.store->toggleLocked(second);
    world.store->toggleImportant(first);
    world.settle();
    std::vector<OndrakeID> records;
    for (const auto &tab : tabs) records.push_back(world.store->ondrakeIDs().value(tab.id));

    dragTab(world, second.id, -3, 0);
    world.poll();

    EXPECT_EQ(world.browserTitles().join(u' '), QStringLiteral("Favorites Sky Rayleigh Sky Diffuse Weather News"));
    EXPECT_EQ(world.windowRows().join(u' '), QStringLiteral("Favorites Sky >Rayleigh Sky Diffuse Weather News"));
    // Where each tab of before stands now.
    const std::size_t now[] = {0, 3, 4, 5, 1, 2, 6};
    const auto &shown = world.store->windows().front().tabs;
    ASSERT_EQ(shown.size(), tabs.size());
    for (std::size_t i = 0; i < tabs.size(); ++i) {
        const auto &tab = shown[now[i]];
        SCOPED_TRACE(tab.title.toStdString() + " at " + std::to_string(now[i] + 1));
        EXPECT_EQ(tab.id, tabs[i].id);
        const auto &record = world.store->records().at(world.store->ondrakeIDs().value(tab.id));
        EXPECT_EQ(record.id, records[i]);
        EXPECT_EQ(record.locked, i == 4);
        EXPECT_EQ(record.important, i == 1);
        EXPECT_EQ(record.parentID, i == 5 ? std::optional<OndrakeID>(records[4]) : std::nullopt);
        EXPECT_EQ(tab.parentID, i == 5 ? std::optional<QString>(second.id) : std::nullopt);
    }
    for (const auto &message : log.messages(QStringLiteral("TabTree"))) EXPECT_FALSE(message.startsWith(QStringLiteral("Detached"))) << message.toStdString();

    runToCompletion(world.scheduler, world.store->closeTabs({shown[1]}));
    world.poll();
    EXPECT_EQ(world.browserTitles().join(u' '), QStringLiteral("Favorites Sky Rayleigh Sky Diffuse Weather News"));
}

}  // namespace
