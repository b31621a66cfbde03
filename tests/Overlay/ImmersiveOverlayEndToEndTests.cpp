#include "CoordinatorWorld.h"

#include "Overlay/AccessibilityElement.h"
#include "Shell/SafariWindowTracker.h"

#include "SimulatedFrameClock.h"
#include "SimulatedWindowServer.h"

#include <gtest/gtest.h>

using namespace ondrake;
using R = OverlayHiddenReason;

namespace {

// The whole road of the immersive bar over the simulated desktop: the window server, the real
// window tracker and Safari's Accessibility tree feed the coordinator, wired as the shell wires
// them.
struct Desktop : test::CoordinatorWorld {
    SimulatedWindowServer windowServer{safari, workspace};
    SimulatedPointer pointer;
    SimulatedFrameClock frameClock{scheduler, screens};
    std::int64_t ownPid = workspace.launch(QStringLiteral("com.ondrake.Ondrake"));
    SafariWindowTracker tracker{{scheduler, windowServer, workspace, pointer, screens, frameClock, defaults, ownPid}};
    std::int64_t window = 0;

    Desktop() : CoordinatorWorld(Fades::asSet) {
        tracker.setOnChange([this](const std::optional<SafariWindowSample> &s) { coordinator.handleWindowSample(s); });
        QObject::connect(&workspace, &Workspace::applicationActivated, &workspace,
                         [this](const RunningApplication &app) { coordinator.evaluate(app); });
        window = openWindow({{QStringLiteral("News"), QStringLiteral("https://news.example/")},
                             {QStringLiteral("Mail"), QStringLiteral("https://mail.example/")}});
    }
    ~Desktop() { tracker.stop(); }

    // Where Safari's own tab row is, in screen coordinates.
    QRectF tabRow() { return tabRow(window); }
    QRectF tabRow(std::int64_t id) {
        const auto row = accessibility.safariTabRow(id);
        return *AccessibilityElement{row->ref()}.frame(screens.firstScreenHeight());
    }
    void moveWindow(double dx, double dy) { moveWindow(window, dx, dy); }
    void moveWindow(std::int64_t id, double dx, double dy) {
        safari.update([&](std::vector<SimulatedSafari::Window> &windows) {
            for (auto &w : windows)
                if (w.id == id) w.bounds = {w.bounds.left + dx, w.bounds.top + dy, w.bounds.right + dx, w.bounds.bottom + dy};
        });
    }
    // A second window behind the first.
    std::int64_t addWindow(SimulatedSafari::Bounds bounds) {
        SimulatedSafari::Window w;
        w.bounds = bounds;
        w.tabs = {{QStringLiteral("Docs"), QStringLiteral("https://docs.example/")}};
        const auto id = safari.addWindow(std::move(w));
        accessibility.setTabRowLayout(id, SimulatedAccessibility::TabRowLayout::separate);
        return id;
    }
    void advance(double seconds) { scheduler.advance(Seconds(seconds)); }
};

TEST(ImmersiveOverlayEndToEnd, TheBarLiesOverTheTabRowAndFollowsTheWindow) {
    Desktop d;
    d.coordinator.setEnabled(true);
    d.tracker.start();
    d.advance(0.3);

    EXPECT_EQ(d.coordinator.hiddenReason(), std::nullopt);
    EXPECT_EQ(d.coordinator.trackedWindowNumber(), d.window);
    EXPECT_TRUE(d.panel().isVisible());
    EXPECT_DOUBLE_EQ(d.panel().alpha(), 1);
    EXPECT_EQ(d.panel().frame(), d.tabRow());
    EXPECT_EQ(d.panel().frame(), QRectF(100, 770, 1200, 28));

    // Dragged across the screen: the bar gets out of the way while the window moves...
    bool hidWhileMoving = false;
    for (int step = 0; step < 12; ++step) {
        d.moveWindow(5, 4);
        d.advance(1.0 / 30);
        hidWhileMoving = hidWhileMoving || d.coordinator.hiddenReason() == R::windowMoving;
    }
    EXPECT_TRUE(hidWhileMoving);
    EXPECT_EQ(d.coordinator.hiddenReason(), R::windowMoving);
    d.advance(0.1);
    EXPECT_FALSE(d.panel().isVisible());

    // ...and comes back over the row where the window came to rest.
    d.advance(0.6);
    EXPECT_EQ(d.coordinator.hiddenReason(), std::nullopt);
    EXPECT_TRUE(d.panel().isVisible());
    EXPECT_DOUBLE_EQ(d.panel().alpha(), 1);
    EXPECT_EQ(d.panel().frame(), d.tabRow());
    EXPECT_EQ(d.panel().frame(), QRectF(160, 722, 1200, 28));
}

TEST(ImmersiveOverlayEndToEnd, TheBarGoesOverAnotherWindowThatTakesTheFocusAndFollowsThatOne) {
    Desktop d;
    // Smaller and over the first: only knowing it as one of Safari's own windows tells it from a popover.
    const auto second = d.addWindow({300, 150, 1100, 750});
    d.tracker.setKnownSafariWindowIDs({d.window, second});
    d.coordinator.setEnabled(true);
    d.tracker.start();
    d.advance(0.3);
    ASSERT_EQ(d.coordinator.trackedWindowNumber(), d.window);
    ASSERT_EQ(d.panel().frame(), d.tabRow());

    // The user clicks into the other window.
    d.windowServer.orderFront(second);
    d.advance(0.1);
    EXPECT_TRUE(d.panel().isVisible());
    EXPECT_EQ(d.panel().frame(), d.tabRow(second)) << "Accessibility names the new window first";
    d.advance(0.5);
    EXPECT_EQ(d.coordinator.trackedWindowNumber(), second) << "then the window list's measurements are its";
    d.advance(1);
    const auto expectBarRestingOverSecond = [&](QRectF row) {
        EXPECT_EQ(d.coordinator.hiddenReason(), std::nullopt);
        EXPECT_TRUE(d.panel().isVisible());
        EXPECT_DOUBLE_EQ(d.panel().alpha(), 1);
        EXPECT_EQ(d.panel().frame(), d.tabRow(second));
        EXPECT_EQ(d.panel().frame(), row);
    };
    expectBarRestingOverSecond(QRectF(300, 670, 800, 28));

    // Dragging that window hides the bar until it rests, then the bar lies over its row again.
    bool hidWhileMoving = false;
    for (int step = 0; step < 12; ++step) {
        d.moveWindow(second, -5, 4);
        d.advance(1.0 / 30);
        hidWhileMoving = hidWhileMoving || d.coordinator.hiddenReason() == R::windowMoving;
    }
    EXPECT_TRUE(hidWhileMoving);
    d.advance(0.1);
    EXPECT_FALSE(d.panel().isVisible());
    d.advance(0.6);
    expectBarRestingOverSecond(QRectF(240, 622, 800, 28));

    // The window left behind moves without the bar.
    d.moveWindow(d.window, 40, 0);
    d.advance(1);
    EXPECT_TRUE(d.panel().isVisible());
    EXPECT_EQ(d.panel().frame(), QRectF(240, 622, 800, 28));
}

TEST(ImmersiveOverlayEndToEnd, FullScreenMinimisingAndOtherApplicationsHideTheBar) {
    Desktop d;
    d.coordinator.setEnabled(true);
    d.tracker.start();
    d.advance(0.3);
    ASSERT_TRUE(d.panel().isVisible());

    d.accessibility.setFullScreen(d.window, true);
    d.advance(0.1);
    EXPECT_EQ(d.coordinator.hiddenReason(), R::fullScreen);
    EXPECT_FALSE(d.panel().isVisible());  // at once, no fade

    d.accessibility.setFullScreen(d.window, false);
    d.advance(0.3);
    EXPECT_EQ(d.coordinator.hiddenReason(), std::nullopt);
    EXPECT_TRUE(d.panel().isVisible());

    d.safari.update([](std::vector<SimulatedSafari::Window> &windows) { windows.front().minimised = true; });
    d.advance(0.3);
    EXPECT_EQ(d.coordinator.hiddenReason(), R::minimized);
    EXPECT_FALSE(d.panel().isVisible());

    d.safari.update([](std::vector<SimulatedSafari::Window> &windows) { windows.front().minimised = false; });
    d.advance(0.3);
    EXPECT_TRUE(d.panel().isVisible());

    const QString editor = QStringLiteral("com.example.Editor");
    d.workspace.launch(editor);
    d.workspace.activate(editor);
    d.advance(0.1);
    EXPECT_EQ(d.coordinator.hiddenReason(), R::safariNotFrontmost);
    EXPECT_FALSE(d.panel().isVisible());

    d.safari.activate();
    d.advance(0.3);
    EXPECT_EQ(d.coordinator.hiddenReason(), std::nullopt);
    EXPECT_TRUE(d.panel().isVisible());

    d.safari.quit();
    d.advance(0.3);
    EXPECT_EQ(d.coordinator.hiddenReason(), R::safariNotFrontmost);
    EXPECT_FALSE(d.coordinator.focusedWindow());
}

}  // namespace
