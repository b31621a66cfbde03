#include "ShellTestWorld.h"

#include "Shell/SidebarPanelMirror.h"
#include "Shell/SidebarWindowController.h"

#include "Qt/QtScreens.h"
#include "Qt/QtWindowList.h"

#include <QCoreApplication>
#include <QWindow>

#include <gtest/gtest.h>

namespace ondrake {
namespace {

TEST(SidebarPanelMirror, TheTrackerSeesThePanelWhereItWasShown) {
    test::ShellWorld world;
    SidebarWindowController controller(new QWidget, {world.defaults, world.screens, world.pointer, world.scheduler});
    auto &panel = controller.panel();
    SidebarPanelMirror mirror(panel, world.windowServer, world.screens, world.ownPid);
    world.tracker.setSidebarWindowNumber(mirror.windowNumber());
    world.addSafariWindow({100, 25, 1100, 825});
    world.safari.activate();
    world.scheduler.runUntilIdle();

    // Hidden: not on screen, so never in front.
    world.startTracking();
    EXPECT_EQ(world.lastSample().sidebarIsInFront, false);
    EXPECT_FALSE(world.windowServer.window(mirror.windowNumber())->isOnScreen);

    controller.setSafariFrame(world.lastSample().frame);
    panel.setFrame(controller.sidebarFrame(), true);
    panel.orderFrontRegardless();
    world.scheduler.advance(Seconds(0.6));  // a full scan comes at least every half second
    EXPECT_EQ(world.lastSample().sidebarIsInFront, true);
    EXPECT_EQ(world.windowServer.window(mirror.windowNumber())->bounds,
              flipped(panel.frame(), world.screens.firstScreenHeight()));

    // The browser coming forward covers it; brought up below the normal level it stays behind.
    world.workspace.launch(QStringLiteral("com.example.Editor"));
    world.workspace.activate(QStringLiteral("com.example.Editor"));
    world.safari.activate();
    world.scheduler.advance(Seconds(0.6));
    EXPECT_EQ(world.lastSample().sidebarIsInFront, false);
    panel.setLevel(SidebarWindowController::holdLevel);
    panel.orderFrontRegardless();
    world.scheduler.advance(Seconds(0.6));
    EXPECT_EQ(world.lastSample().sidebarIsInFront, false);
    panel.setLevel(SidebarPanel::kNormalLevel);
    world.scheduler.advance(Seconds(0.6));
    EXPECT_EQ(world.lastSample().sidebarIsInFront, true);

    panel.orderOut();
    EXPECT_FALSE(world.windowServer.window(mirror.windowNumber())->isOnScreen);
}

}  // namespace
}  // namespace ondrake

namespace ondrake {
namespace {

TEST(QtPanelRaiseNotes, QtsWindowListSeesThePanelComeForwardAtTheNormalLevelOnly) {
    QtScreens screens;
    QtWindowList list(screens);
    ManualScheduler scheduler;
    SimulatedPointer pointer;
    UserDefaults defaults;
    SidebarWindowController controller(new QWidget, {defaults, screens, pointer, scheduler});
    auto &panel = controller.panel();
    QtPanelRaiseNotes notes(panel, list);
    QWidget browser;
    browser.setGeometry(400, 50, 800, 600);
    browser.show();
    QCoreApplication::processEvents();
    list.noteRaised(browser.windowHandle());

    panel.setLevel(SidebarWindowController::holdLevel);
    panel.orderFrontRegardless();
    EXPECT_EQ(list.onScreenWindows()->front().number, std::int64_t(browser.winId())) << "below normal windows";
    panel.setLevel(SidebarPanel::kNormalLevel);
    EXPECT_EQ(list.onScreenWindows()->front().number, panel.windowNumber());
}

}  // namespace
}  // namespace ondrake
