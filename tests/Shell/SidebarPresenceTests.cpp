#include "AppWorld.h"

#include <gtest/gtest.h>

namespace ondrake {
namespace {

using test::AppWorld;
using test::page;

int handlerCalls(const AppWorld &world, const QString &handler) {
    int count = 0;
    for (const auto &event : world.engine.receivedEvents()) {
        const auto name = event.parameter(QStringLiteral("snam")).value_or(AppleEventDescriptor()).stringValue();
        if (name && name->compare(handler, Qt::CaseInsensitive) == 0) ++count;
    }
    return count;
}

void moveBrowserWindow(AppWorld &world, std::int64_t id, double dx) {
    world.safari.update([&](std::vector<SimulatedSafari::Window> &windows) {
        for (auto &w : windows)
            if (w.id == id) w.bounds = {w.bounds.left + dx, w.bounds.top, w.bounds.right + dx, w.bounds.bottom};
    });
}

bool logged(const LogCapture &log, const QString &line) { return log.contains(line); }

TEST(SidebarPresence, ThePanelStandsByTheBrowserAsTheFrontApplicationChanges) {
    enum class Front { browser, self, editor, browserNotRunning, browserQuit };
    struct Case {
        const char *name;
        Front front;
        bool visible;
        int level;
    };
    const Case cases[] = {
        {"browser in front", Front::browser, true, SidebarPanel::kNormalLevel},
        {"this application in front", Front::self, true, SidebarPanel::kNormalLevel},
        {"another application in front", Front::editor, true, SidebarWindowController::holdLevel},
        {"browser not running", Front::browserNotRunning, true, SidebarWindowController::holdLevel},
        {"browser quit", Front::browserQuit, true, SidebarWindowController::holdLevel},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        AppWorld world;
        if (c.front != Front::browserNotRunning) world.openBrowser({page("Alpha")});
        world.launch();
        switch (c.front) {
        case Front::browser: break;
        case Front::self: world.application.activateIgnoringOtherApps(); break;
        case Front::editor:
            world.launchEditor();
            world.activate(AppWorld::kEditor);
            break;
        case Front::browserNotRunning: break;
        case Front::browserQuit: world.safari.quit(); break;
        }
        world.step(1);
        EXPECT_EQ(world.panel().isVisible(), c.visible);
        EXPECT_EQ(world.panel().level(), c.level);
        EXPECT_TRUE(world.app().poller()->isRunning());
    }
}

TEST(SidebarPresence, ThePanelLeavesWhenTheBrowserHasNoWindowToStandBy) {
    enum class Change { hidden, minimised, fullScreen, allClosed };
    struct Case {
        const char *name;
        Change change;
        bool fullScreen;
    };
    const Case cases[] = {
        {"hidden", Change::hidden, false},
        {"minimised", Change::minimised, false},
        {"full screen", Change::fullScreen, true},
        {"every window closed", Change::allClosed, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        AppWorld world;
        const auto id = world.openBrowser({page("Alpha")});
        world.launch();
        ASSERT_TRUE(world.panel().isVisible());
        LogCapture log;
        world.safari.update([&](std::vector<SimulatedSafari::Window> &windows) {
            switch (c.change) {
            case Change::hidden: break;
            case Change::minimised: windows.front().minimised = true; break;
            case Change::fullScreen: windows.front().bounds = {0, 0, 1440, 900}; break;
            case Change::allClosed: windows.clear(); break;
            }
        });
        if (c.change == Change::hidden) {
            world.safari.setHidden(true);
            world.application.activateIgnoringOtherApps();  // the next application comes forward
        }
        world.step(1);
        EXPECT_FALSE(world.panel().isVisible());
        EXPECT_FALSE(world.presence().safariHasVisibleWindow());
        EXPECT_TRUE(logged(log, QStringLiteral("Presence: Safari window vanished per the window tracker (fullScreen=%1)")
                                    .arg(c.fullScreen ? QStringLiteral("true") : QStringLiteral("false"))));
        EXPECT_TRUE(logged(log, QStringLiteral("Presence: taking the sidebar off screen")));
        EXPECT_FALSE(world.app().tracker().isIdle()) << "the tracker keeps looking for a window";
        EXPECT_FALSE(world.app().poller()->isRunning());

        // The window comes back and so does the sidebar.
        world.safari.update([&](std::vector<SimulatedSafari::Window> &windows) {
            SimulatedSafari::Window back;
            back.id = id;
            back.bounds = {400, 25, 1400, 875};
            back.tabs = {page("Alpha")};
            windows = {back};
        });
        world.safari.activate();
        world.step(1);
        EXPECT_TRUE(world.panel().isVisible());
        EXPECT_TRUE(world.app().poller()->isRunning());
    }
}

TEST(SidebarPresence, AWindowLargerThanTheScreenOrPartlyOffItIsFoundAtLaunchAndTheSidebarIsCutToTheScreen) {
    // The screen is 1440 x 900 with a 25 point menu bar; bounds are the browser's (origin top left),
    // frames the panel's (origin bottom left).
    struct Case {
        const char *name;
        SimulatedSafari::Bounds bounds;
        double leftAfter;  // where the window stands once the sidebar has its room
        QRectF frame;
    };
    const Case cases[] = {
        {"taller than the screen", {400, 25, 1400, 1100}, 400, QRectF(100, 0, 300, 875)},
        {"the screen's full height", {360, 0, 1400, 900}, 360, QRectF(60, 0, 300, 875)},
        {"partly off the right and the bottom", {900, 300, 2000, 1200}, 900, QRectF(600, 0, 300, 600)},
        {"larger than the screen, off its top left", {-100, -50, 1600, 1000}, 300, QRectF(0, 0, 300, 875)},
        {"wider than the screen", {200, 100, 1700, 700}, 300, QRectF(0, 200, 300, 600)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        AppWorld world;
        const auto id = world.openBrowser({page("Alpha")}, c.bounds);
        LogCapture log;
        world.launch();
        world.step(1);
        EXPECT_TRUE(world.presence().safariHasVisibleWindow());
        EXPECT_TRUE(
            logged(log, QStringLiteral("Presence: Safari window appeared per the window tracker (fullScreen=false)")));
        ASSERT_TRUE(world.panel().isVisible());
        EXPECT_EQ(world.browserWindow(id)->bounds.left, c.leftAfter);
        EXPECT_EQ(world.panel().frame(), c.frame);
        EXPECT_TRUE(world.app().poller()->isRunning());
    }
}

TEST(SidebarPresence, HidingFromTheMenuStopsTheTrackerAndForgetsTheWindow) {
    AppWorld world;
    world.openBrowser({page("Alpha")});
    auto &app = world.launch();
    ASSERT_TRUE(world.presence().dockedWindowNumber());
    app.hideSidebar();
    world.settle();
    EXPECT_FALSE(world.panel().isVisible());
    EXPECT_TRUE(app.tracker().isIdle());
    EXPECT_FALSE(app.poller()->isRunning());
    EXPECT_FALSE(world.presence().dockedWindowNumber());
    EXPECT_FALSE(world.presence().safariHasVisibleWindow());
    world.step(2);
    EXPECT_FALSE(world.panel().isVisible());

    app.showSidebar();
    world.step(1);
    EXPECT_TRUE(world.panel().isVisible());
    EXPECT_EQ(world.panel().level(), SidebarPanel::kNormalLevel);
}

// The editor's window lies over the browser's; the sidebar waits below it.
struct HeldWorld {
    AppWorld world;
    std::int64_t browserWindow = world.openBrowser({page("Alpha")});
    std::int64_t editorPid = 0;
    std::int64_t editorWindow = 0;

    HeldWorld() {
        world.launch();
        editorPid = world.launchEditor(QRectF(350, 50, 900, 700));
        editorWindow = world.windowServer.stackingOrder().front();
        world.activate(AppWorld::kEditor);
        world.step(1);
    }
};

TEST(SidebarPresence, ActivatingTheBrowserHoldsTheRaiseUntilItsWindowIsMeasuredInFront) {
    HeldWorld held;
    auto &world = held.world;
    ASSERT_EQ(world.panel().level(), SidebarWindowController::holdLevel);
    ASSERT_EQ(world.presence().lastWindowSample()->windowIsInFront, false);

    LogCapture log;
    world.activate(AppWorld::kBrowser);
    // The browser's activation alone does not lift the sidebar over the editor's window, and the
    // hold started by the activation survives it.
    EXPECT_TRUE(world.presence().isHoldingRaise());
    EXPECT_EQ(world.panel().level(), SidebarWindowController::holdLevel);

    world.step(0.1);  // the browser's windows came forward: the next full scan says so
    EXPECT_FALSE(world.presence().isHoldingRaise());
    EXPECT_EQ(world.panel().level(), SidebarPanel::kNormalLevel);
    EXPECT_TRUE(logged(log, QStringLiteral("Safari's window is in front; raising the sidebar to meet it")));
    EXPECT_FALSE(logged(log, QStringLiteral("Sidebar raise no longer wanted; dropping the hold")));
}

TEST(SidebarPresence, AHeldRaiseEndsOnItsDeadlineAndASecondActivationDoesNotExtendIt) {
    HeldWorld held;
    auto &world = held.world;
    LogCapture log;
    world.activate(AppWorld::kBrowser);
    world.windowServer.orderFront(held.editorWindow);  // the browser's window never comes forward
    ASSERT_TRUE(world.presence().isHoldingRaise());

    world.step(0.6);
    world.presence().evaluatePresence(world.workspace.frontmostApplication());
    EXPECT_TRUE(world.presence().isHoldingRaise());
    world.step(0.55);
    EXPECT_TRUE(world.presence().isHoldingRaise());
    EXPECT_EQ(world.panel().level(), SidebarWindowController::holdLevel);
    world.step(0.1);
    EXPECT_FALSE(world.presence().isHoldingRaise());
    EXPECT_EQ(world.panel().level(), SidebarPanel::kNormalLevel);
    EXPECT_TRUE(logged(log, QStringLiteral("Raising the sidebar on the deadline; Safari's window was never measured in front")));
}

TEST(SidebarPresence, AnotherApplicationComingForwardDropsAHeldRaise) {
    HeldWorld held;
    auto &world = held.world;
    world.activate(AppWorld::kBrowser);
    world.windowServer.orderFront(held.editorWindow);
    ASSERT_TRUE(world.presence().isHoldingRaise());
    LogCapture log;
    world.activate(AppWorld::kEditor);
    EXPECT_FALSE(world.presence().isHoldingRaise());
    EXPECT_TRUE(logged(log, QStringLiteral("Sidebar raise no longer wanted; dropping the hold")));
    world.step(2);
    EXPECT_EQ(world.panel().level(), SidebarWindowController::holdLevel);
}

TEST(SidebarPresence, ASidebarFoundBehindTheBrowsersWindowIsRaisedBack) {
    AppWorld world;
    const auto id = world.openBrowser({page("Alpha")});
    world.launch();
    world.step(1);
    const auto panelNumber = world.panel().windowNumber();
    ASSERT_EQ(world.windowServer.stackingOrder().front(), panelNumber);

    LogCapture log;
    world.windowServer.orderFront(id);  // a click into the browser's window brings it over the panel
    world.step(0.5);
    EXPECT_TRUE(logged(log, QStringLiteral("Sidebar is behind Safari's window; raising it back")));
    EXPECT_EQ(world.windowServer.stackingOrder().front(), panelNumber);
    EXPECT_EQ(world.presence().lastWindowSample()->sidebarIsInFront, true);
}

TEST(SidebarPresence, ADifferentFrontWindowReassertsTheSidebarsDepth) {
    AppWorld world;
    const auto first = world.openBrowser({page("Alpha")});
    SimulatedSafari::Window w;
    w.bounds = {500, 100, 1300, 800};
    w.tabs = {page("Beta")};
    const auto second = world.safari.addWindow(w);
    world.launch();
    world.step(1);
    ASSERT_EQ(world.presence().dockedWindowNumber(), first);

    LogCapture log;
    world.windowServer.orderFront(second);
    world.step(0.5);
    EXPECT_EQ(world.presence().dockedWindowNumber(), second);
    EXPECT_TRUE(logged(log, QStringLiteral("Safari front window changed to %1; re-asserting sidebar depth").arg(second)));
    EXPECT_EQ(world.windowServer.stackingOrder().front(), world.panel().windowNumber());
    EXPECT_EQ(world.panel().frame().right(), 500) << "docked against the new window";
}

TEST(SidebarPresence, ADifferentFrontWindowInTheStripMakesRoomAtOnceThoughItCountsAsMoving) {
    AppWorld world;
    world.openBrowser({page("Alpha")});
    SimulatedSafari::Window w;
    w.bounds = {100, 100, 900, 700};
    w.tabs = {page("Beta")};
    const auto second = world.safari.addWindow(w);
    world.launch();
    world.step(1);
    ASSERT_NE(world.presence().dockedWindowNumber(), second);
    ASSERT_EQ(handlerCalls(world, QStringLiteral("reserveSpace")), 0);

    world.windowServer.orderFront(second);
    world.app().tracker().extendOrderingWatch(0.001);  // the next measurement scans every window
    world.app().tracker().measure();
    world.settle();
    ASSERT_EQ(world.presence().dockedWindowNumber(), second);
    ASSERT_TRUE(world.app().tracker().lastSample()->isMoving);
    EXPECT_EQ(handlerCalls(world, QStringLiteral("reserveSpace")), 1) << "no settling for a new window";
    EXPECT_EQ(world.browserWindow(second)->bounds.left, 300);
}

TEST(SidebarPresence, AWindowDraggedIntoTheStripMakesRoomOnlyWhenReleased) {
    AppWorld world;
    const auto id = world.openBrowser({page("Alpha")});
    world.launch();
    world.step(1);

    world.pointer.setPrimaryButtonDown(true);
    for (int i = 0; i < 10; ++i) {
        moveBrowserWindow(world, id, -30);
        world.step(0.05);
    }
    world.step(1);  // held still with the button down: still part of the drag
    EXPECT_EQ(world.browserWindow(id)->bounds.left, 100) << "no room is asked for while the user drags";
    EXPECT_EQ(handlerCalls(world, QStringLiteral("reserveSpace")), 0);

    world.pointer.setPrimaryButtonDown(false);
    world.step(0.1);
    EXPECT_EQ(world.browserWindow(id)->bounds.left, 300);
    EXPECT_EQ(handlerCalls(world, QStringLiteral("reserveSpace")), 1);
}

TEST(SidebarPresence, AWindowMovedIntoTheStripMakesRoomOnceItSettles) {
    AppWorld world;
    const auto id = world.openBrowser({page("Alpha")});
    world.launch();
    world.step(1);
    for (int i = 0; i < 10; ++i) {
        moveBrowserWindow(world, id, -30);
        world.step(0.034);
        EXPECT_EQ(handlerCalls(world, QStringLiteral("reserveSpace")), 0) << "still moving at step " << i;
    }
    world.step(0.6);
    EXPECT_EQ(world.browserWindow(id)->bounds.left, 300);
}

TEST(SidebarPresence, DockingWaitsForThePrimaryButtonOnly) {
    struct Case {
        Qt::MouseButtons buttons;
        bool waits;
    };
    for (const auto &c : {Case{Qt::LeftButton, true}, Case{Qt::RightButton, false}}) {
        AppWorld world;
        const auto id = world.openBrowser({page("Alpha")}, {40, 25, 1040, 875});
        world.pointer.setPressedButtons(c.buttons);
        world.launch();
        world.step(0.35);
        EXPECT_EQ(world.browserWindow(id)->bounds.left, c.waits ? 40 : 300);
        world.pointer.setPressedButtons(Qt::NoButton);
        world.step(0.1);
        EXPECT_EQ(world.browserWindow(id)->bounds.left, 300);
    }
}

TEST(SidebarPresence, TheCompactRailTakesOnlyItsOwnWidthAndExpandingMakesRoomAgain) {
    for (const bool expandBrowser : {false, true}) {
        SCOPED_TRACE(expandBrowser ? "the browser grows into the freed room" : "the browser stays where it is");
        AppWorld world;
        world.defaults.setBool(AppDelegate::kExpandSafariWhenCompactKey, expandBrowser);
        const auto id = world.openBrowser({page("Alpha")}, {40, 25, 1040, 875});
        world.launch();
        world.step(0.5);
        ASSERT_EQ(world.browserWindow(id)->bounds.left, 300);

        world.store().setCompact(true);
        world.step(0.1);
        const double compactWidth = world.app().windowController()->compactWidth();
        EXPECT_EQ(world.panel().frame().width(), compactWidth);
        EXPECT_EQ(world.browserWindow(id)->bounds.left, expandBrowser ? compactWidth : 300);

        // Dragged over the rail and let go: the browser makes room for the rail, not the wide sidebar.
        world.pointer.setPrimaryButtonDown(true);
        const double start = world.browserWindow(id)->bounds.left;
        for (int i = 1; i <= 10; ++i) {
            moveBrowserWindow(world, id, start + (10 - start) * i / 10 - world.browserWindow(id)->bounds.left);
            world.step(0.05);
        }
        ASSERT_EQ(world.browserWindow(id)->bounds.left, 10);
        world.pointer.setPrimaryButtonDown(false);
        world.step(0.1);
        EXPECT_EQ(world.browserWindow(id)->bounds.left, compactWidth);
        EXPECT_EQ(world.panel().frame(), QRectF(0, world.panel().frame().y(), compactWidth, world.panel().frame().height()));

        // Expanded again, the wide sidebar gets its room back: through the setting, else by docking.
        const int movedToEdge = handlerCalls(world, QStringLiteral("setLeftEdge"));
        const int roomAsked = handlerCalls(world, QStringLiteral("reserveSpace"));
        world.store().setCompact(false);
        world.step(0.1);
        EXPECT_EQ(world.panel().frame().width(), world.app().windowController()->expandedWidth());
        EXPECT_EQ(world.browserWindow(id)->bounds.left, 300);
        EXPECT_EQ(world.panel().frame().right(), 300);
        EXPECT_EQ(handlerCalls(world, QStringLiteral("setLeftEdge")) - movedToEdge, expandBrowser ? 1 : 0);
        if (!expandBrowser) {
            EXPECT_EQ(handlerCalls(world, QStringLiteral("reserveSpace")) - roomAsked, 1);
        }
    }
}

TEST(SidebarPresence, WindowsMovedAsideGoBackOnHideOnlyWhenUntouched) {
    for (const bool touched : {false, true}) {
        SCOPED_TRACE(touched ? "moved by the user" : "untouched");
        AppWorld world;
        const auto id = world.openBrowser({page("Alpha")}, {40, 25, 1040, 875});
        auto &app = world.launch();
        world.step(0.5);
        ASSERT_EQ(world.browserWindow(id)->bounds.left, 300);
        ASSERT_EQ(world.store().displacedWindows().size(), 1u);
        if (touched) moveBrowserWindow(world, id, 20);
        world.step(0.5);

        app.hideSidebar();
        world.settle();
        EXPECT_EQ(world.browserWindow(id)->bounds.left, touched ? 320 : 40);
        EXPECT_TRUE(world.store().displacedWindows().empty());
    }
}

TEST(SidebarPresence, UnderSlideOffScreenAWindowSpanningTheHeightIsAskedOnceWhetherItIsZoomed) {
    for (const bool zoomed : {true, false}) {
        SCOPED_TRACE(zoomed ? "zoomed" : "not zoomed");
        AppWorld world;
        world.defaults.setString(kSidebarEdgeBehaviorKey, QStringLiteral("slideOffScreen"));
        world.safari.launch();
        SimulatedSafari::Window w;
        w.bounds = {0, 25, 1000, 900};
        w.zoomed = zoomed;
        w.tabs = {page("Alpha")};
        const auto id = world.safari.addWindow(w);
        world.safari.activate();
        world.launch();
        world.step(2);
        EXPECT_EQ(handlerCalls(world, QStringLiteral("isWindowZoomed")), zoomed ? 1 : 1);
        if (zoomed) {
            EXPECT_EQ(world.browserWindow(id)->bounds.left, 300) << "a zoomed window makes room";
            EXPECT_GE(world.panel().frame().left(), 0) << "kept on the screen";
        } else {
            EXPECT_EQ(world.browserWindow(id)->bounds.left, 0);
            EXPECT_LT(world.panel().frame().left(), 0) << "slid off the screen";
            world.step(2);
            EXPECT_EQ(handlerCalls(world, QStringLiteral("isWindowZoomed")), 1) << "asked once per position";
        }
    }
}

TEST(SidebarPresence, ATerminatedBrowserStillListedDoesNotCountAsRunning) {
    class ListedWorkspace final : public Workspace {
    public:
        std::vector<RunningApplication> apps;
    protected:
        std::vector<RunningApplication> listRunningApplications() const override { return apps; }
    };
    AppWorld world;
    world.launch();
    ListedWorkspace workspace;
    workspace.apps = {{AppWorld::kBrowser, 77, true, true}};
    SidebarPresence presence(world.store(), world.app().tracker(),
                             {world.scheduler, workspace, world.pointer, world.defaults, world.application.processIdentifier()});
    EXPECT_FALSE(presence.isBrowserRunning());
    workspace.apps.push_back({AppWorld::kBrowser, 78, false, false});
    EXPECT_TRUE(presence.isBrowserRunning());
}

}  // namespace
}  // namespace ondrake
