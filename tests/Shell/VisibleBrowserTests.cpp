#include "Qt/VisibleBrowser.h"

#include <QCoreApplication>
#include <QDir>

#include "ManualScheduler.h"
#include "SimulatedWorkspace.h"

#include <gtest/gtest.h>

#include <thread>

namespace ondrake {
namespace {

TEST(TabStripLayout, ClicksHitTabsCloseMarksAndTheNewTabButton) {
    using Hit = TabStripLayout::Hit;
    const TabStripLayout wide(1000, 3);  // 240-point tabs, "+" after them
    const TabStripLayout narrow(130, 4);  // 25-point tabs: no room for close marks
    struct Case {
        const char *name;
        const TabStripLayout &layout;
        QPoint point;
        Hit expected;
    };
    const Case cases[] = {
        {"first tab", wide, {10, 15}, {Hit::tab, 0}},
        {"third tab", wide, {500, 15}, {Hit::tab, 2}},
        {"second tab's close mark", wide, {240 + 240 - 8 - 7, 15}, {Hit::close, 1}},
        {"new tab", wide, {720 + 15, 15}, {Hit::newTab, -1}},
        {"past the new tab button", wide, {900, 15}, {}},
        {"below the strip", wide, {10, 30}, {}},
        {"narrow tab where a close mark would be", narrow, {24 - 8 - 7, 15}, {Hit::tab, 0}},
        {"narrow new tab", narrow, {100 + 5, 15}, {Hit::newTab, -1}},
    };
    for (const auto &c : cases) EXPECT_EQ(c.layout.hitTest(c.point), c.expected) << c.name;
    EXPECT_EQ(TabStripLayout(400, 0).hitTest({10, 10}), (Hit{Hit::newTab, -1}));
}

TEST(VisibleBrowserWindow, BoundsAndDesktopGeometryMapBothWays) {
    const SimulatedSafari::Bounds bounds{100, 25, 900, 625};
    for (const QPoint origin : {QPoint(0, 0), QPoint(1920, 0), QPoint(0, -1080)}) {
        const auto native = VisibleBrowserWindow::nativeRect(bounds, origin);
        EXPECT_EQ(native, QRect(100, 25, 800, 600).translated(origin));
        EXPECT_EQ(VisibleBrowserWindow::boundsOf(native, origin), bounds);
    }
}

struct BrowserWindowWorld {
    ManualScheduler scheduler;
    SimulatedWorkspace workspace{scheduler};
    SimulatedSafari safari{workspace};
    std::int64_t id = 0;

    BrowserWindowWorld() {
        safari.launch();
        SimulatedSafari::Window w;
        w.bounds = {100, 25, 1100, 725};
        w.tabs = {{QStringLiteral("One"), QStringLiteral("https://one.example/")},
                  {QStringLiteral("Two"), QStringLiteral("https://two.example/")}};
        id = safari.addWindow(w);
    }
    SimulatedSafari::Window window() const { return *safari.window(id); }
};

TEST(VisibleBrowserWindow, TheStripDrivesTheBrowserAndMovingTheWindowMovesItsBounds) {
    BrowserWindowWorld world;
    VisibleBrowserWindow shown(world.safari, world.id, QPoint());
    shown.present(world.window(), *world.safari.processIdentifier());
    EXPECT_EQ(shown.geometry(), QRect(100, 25, 1000, 700));
    EXPECT_EQ(shown.windowTitle(), QStringLiteral("One"));

    const TabStripLayout layout(shown.width(), 2);
    shown.click(layout.tabRect(1).center());
    EXPECT_EQ(world.window().currentTab, 2);
    shown.present(world.window(), 1);
    EXPECT_EQ(shown.windowTitle(), QStringLiteral("Two"));

    shown.click(layout.newTabRect().center());
    ASSERT_EQ(world.window().tabs.size(), 3u);
    EXPECT_EQ(world.window().tabs.back().url, QStringLiteral("favorites://"));
    shown.present(world.window(), 1);

    shown.click(TabStripLayout(shown.width(), 3).closeRect(0).center());
    ASSERT_EQ(world.window().tabs.size(), 2u);
    EXPECT_EQ(world.window().tabs.front().title, QStringLiteral("Two"));

    // Moving the window by hand moves the browser's window; a script moving it moves it back.
    shown.show();
    shown.setGeometry(QRect(300, 200, 1000, 700));
    QCoreApplication::processEvents();
    EXPECT_EQ(world.window().bounds, (SimulatedSafari::Bounds{300, 200, 1300, 900}));
    world.safari.setLeftEdge(600);
    shown.present(world.window(), 1);
    EXPECT_EQ(shown.geometry(), QRect(600, 200, 700, 700));

    const QString folder = QCoreApplication::applicationDirPath() + QStringLiteral("/screenshots");
    QDir().mkpath(folder);
    shown.grab().save(folder + QStringLiteral("/visible-browser-window.png"));
}

TEST(VisibleBrowserWindow, BoundsBetweenWholeUnitsStayWhileTheWindowStandsOnTheirPixels) {
    // A window let go between Qt's whole units under a scale has such bounds; shown again, or heard
    // of again on the same pixels, they neither move the window nor change.
    BrowserWindowWorld world;
    const SimulatedSafari::Bounds between{100.4, 25.6, 1100.4, 725.6};
    world.safari.update([&](auto &windows) { windows.front().bounds = between; });
    VisibleBrowserWindow shown(world.safari, world.id, QPoint());
    shown.present(world.window(), 1);
    shown.show();
    QCoreApplication::processEvents();
    const auto placed = shown.geometry();
    EXPECT_EQ(placed, QRect(100, 26, 1000, 700)) << "on the nearest pixels";
    EXPECT_EQ(world.window().bounds, between);

    for (int again = 0; again < 3; ++again) {
        shown.present(world.window(), 1);
        shown.setGeometry(placed);  // the desktop telling of the place it has
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(shown.geometry(), placed);
    EXPECT_EQ(world.window().bounds, between) << "nothing drifts";

    shown.setGeometry(placed.translated(1, 0));
    QCoreApplication::processEvents();
    EXPECT_EQ(world.window().bounds, (SimulatedSafari::Bounds{101, 26, 1101, 726})) << "a move elsewhere is taken";
}

TEST(VisibleBrowser, FollowsTheBrowsersChangesWhenTheyHappenWithoutATimer) {
    BrowserWindowWorld world;
    VisibleBrowser shown(world.safari, world.scheduler, QPoint());
    ASSERT_NE(shown.window(world.id), nullptr);
    EXPECT_EQ(shown.window(world.id)->geometry(), QRect(100, 25, 1000, 700));
    EXPECT_FALSE(world.scheduler.nextTimerTime()) << "nothing wakes while nothing changes";

    // A change from the script's thread shows at the next turn of the main loop.
    std::thread script([&] { world.safari.setLeftEdge(400); });
    script.join();
    world.scheduler.runUntilIdle();
    EXPECT_EQ(shown.window(world.id)->geometry(), QRect(400, 25, 700, 700));

    // A burst of changes is shown once; windows come and go with the browser's.
    SimulatedSafari::Window second;
    second.bounds = {200, 100, 900, 700};
    const auto added = world.safari.addWindow(second);
    world.safari.update([&](auto &windows) { std::erase_if(windows, [&](const auto &w) { return w.id == world.id; }); });
    EXPECT_EQ(shown.window(added), nullptr);
    world.scheduler.runUntilIdle();
    EXPECT_NE(shown.window(added), nullptr);
    EXPECT_EQ(shown.window(world.id), nullptr);
    EXPECT_FALSE(world.scheduler.nextTimerTime());
}

TEST(VisibleBrowser, IsNotMadeWithoutADisplay) {
    BrowserWindowWorld world;
    EXPECT_FALSE(VisibleBrowser::createOnDisplay(world.safari, world.scheduler, QPoint()));
}

}  // namespace
}  // namespace ondrake
