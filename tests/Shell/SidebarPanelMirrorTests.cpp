#include "ShellTestWorld.h"

#include "Shell/SidebarPanelMirror.h"
#include "Shell/SidebarWindowController.h"

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
