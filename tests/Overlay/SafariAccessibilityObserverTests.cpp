#include "OverlayTestSupport.h"

#include "Log.h"
#include "Overlay/SafariAccessibilityObserver.h"

#include <gtest/gtest.h>

#include <memory>

using namespace ondrake;
using namespace ondrake::test;

namespace {

const QString kSafari = QStringLiteral("com.apple.Safari");

// A workspace that lists what the test says, terminated processes included.
class ListedWorkspace final : public Workspace {
public:
    std::vector<RunningApplication> applications;

protected:
    std::vector<RunningApplication> listRunningApplications() const override { return applications; }
};

struct ObservedWorld : OverlayWorld {
    std::vector<SafariChromeChange> changes;
    std::unique_ptr<SafariAccessibilityObserver> observer = make(workspace);

    std::unique_ptr<SafariAccessibilityObserver> make(Workspace &ws) {
        auto o = std::make_unique<SafariAccessibilityObserver>(ws, accessibility, [] { return kScreenHeight; });
        o->onChange = [this](const SafariChromeChange &change) { changes.push_back(change); };
        return o;
    }
    // The browser's state reaches its interface tree, and the notifications their observers.
    void settle() {
        accessibility.refresh();
        scheduler.runUntilIdle();
    }
    std::vector<QString> registered(const AXUIElement &element) const {
        std::vector<QString> names;
        for (const auto &r : accessibility.registrations())
            if (r.element == element) names.push_back(r.notification);
        return names;
    }
    AXUIElement windowElement(std::int64_t id) { return *accessibility.safariWindowElement(id); }
    const SafariChromeChange &last() const { return changes.back(); }
};

std::vector<QString> names(const QStringList &list) { return {list.begin(), list.end()}; }

TEST(SafariAccessibilityObserver, ReportsGoneUntilSafariLaunchesThenItsFocusedWindow) {
    ObservedWorld w;
    w.safari.addWindow(OverlayWorld::window(7, {"a"}));
    w.observer->start();
    ASSERT_EQ(w.changes.size(), 1u);
    EXPECT_TRUE(w.last().isGone());
    EXPECT_FALSE(w.observer->isAttached());

    const auto pid = w.safari.launch();
    w.scheduler.runUntilIdle();
    EXPECT_EQ(w.observer->processIdentifier(), pid);
    ASSERT_FALSE(w.last().isGone());
    EXPECT_EQ(w.last().window()->frame, HandBuiltWindow::screenFrame);
    EXPECT_EQ(w.last().window()->element.element, w.windowElement(7));
    EXPECT_EQ(w.registered(*w.accessibility.safariApplicationElement()),
              names(SafariAccessibilityObserver::applicationNotifications()));
    EXPECT_EQ(w.registered(w.windowElement(7)), names(SafariAccessibilityObserver::windowNotifications()));
    EXPECT_EQ(w.accessibility.registrations().size(), 10u);

    w.observer->start();  // already running
    EXPECT_EQ(w.accessibility.observerCreationCount(), 1);
}

TEST(SafariAccessibilityObserver, KeepsTheWindowNotificationsOnTheFocusedWindowOnly) {
    ObservedWorld w;
    w.safari.addWindow(OverlayWorld::window(7, {"a"}));
    w.safari.addWindow(OverlayWorld::window(8, {"b"}, {400, 100, 1400, 900}));
    w.safari.launch();
    w.observer->start();
    w.observer->reportFocusedWindow();  // the same window again
    EXPECT_EQ(w.registered(w.windowElement(7)).size(), 3u);
    EXPECT_EQ(w.accessibility.registrations().size(), 10u);

    w.safari.update([](auto &windows) { std::swap(windows[0], windows[1]); });
    const auto before = w.changes.size();
    w.accessibility.refresh();
    EXPECT_EQ(w.changes.size(), before);  // delivered on the main thread's next turn, not at once
    w.scheduler.runUntilIdle();
    EXPECT_GT(w.changes.size(), before);
    EXPECT_EQ(w.last().window()->element.element, w.windowElement(8));
    EXPECT_TRUE(w.registered(w.windowElement(7)).empty());
    EXPECT_EQ(w.registered(w.windowElement(8)).size(), 3u);
    EXPECT_EQ(w.accessibility.registrations().size(), 10u);
}

TEST(SafariAccessibilityObserver, AWindowThatLosesFocusLeavesNoRegistrationBehind) {
    ObservedWorld w;
    w.safari.addWindow(OverlayWorld::window(7, {"a"}));
    w.safari.launch();
    w.observer->start();
    ASSERT_EQ(w.registered(w.windowElement(7)).size(), 3u);
    // A small panel comes to the front: Safari has no usable focused window.
    w.safari.update([](auto &windows) {
        auto panel = OverlayWorld::window(9, {"p"}, {0, 0, 200, 200});
        windows.insert(windows.begin(), panel);
    });
    w.settle();
    EXPECT_TRUE(w.last().isGone());
    EXPECT_EQ(w.observer->observedWindow(), std::nullopt);
    EXPECT_TRUE(w.registered(w.windowElement(7)).empty());
    EXPECT_EQ(w.accessibility.registrations().size(), 7u);
}

TEST(SafariAccessibilityObserver, ReportsMinimisingAndFullScreen) {
    ObservedWorld w;
    w.safari.addWindow(OverlayWorld::window(7, {"a"}));
    w.safari.launch();
    w.observer->start();
    w.safari.update([](auto &windows) { windows[0].minimised = true; });
    w.settle();
    ASSERT_TRUE(w.last().window());
    EXPECT_TRUE(w.last().window()->isMinimized);
    w.safari.update([](auto &windows) { windows[0].minimised = false; });
    w.accessibility.setFullScreen(7, true);
    w.scheduler.runUntilIdle();
    EXPECT_FALSE(w.last().window()->isMinimized);
    EXPECT_TRUE(w.last().window()->isFullScreen);
}

TEST(SafariAccessibilityObserver, ReattachesOnlyWhenSafariLaunchesOrQuits) {
    ObservedWorld w;
    w.safari.addWindow(OverlayWorld::window(7, {"a"}));
    const auto first = w.safari.launch();
    w.scheduler.runUntilIdle();
    w.observer->start();
    w.workspace.launch(QStringLiteral("org.example.Editor"));
    w.scheduler.runUntilIdle();
    EXPECT_EQ(w.accessibility.observerCreationCount(), 1);

    w.safari.quit();
    w.scheduler.runUntilIdle();
    EXPECT_TRUE(w.last().isGone());
    EXPECT_FALSE(w.observer->isAttached());
    EXPECT_EQ(w.observer->processIdentifier(), std::nullopt);
    EXPECT_TRUE(w.accessibility.registrations().empty());
    EXPECT_EQ(w.accessibility.observerCount(), 0);

    const auto second = w.safari.launch();
    w.scheduler.runUntilIdle();
    EXPECT_NE(second, first);
    EXPECT_EQ(w.observer->processIdentifier(), second);
    EXPECT_FALSE(w.last().isGone());

    w.observer->safariLifecycleChanged(std::nullopt);  // a notification that names no application
    EXPECT_EQ(w.accessibility.observerCreationCount(), 3);
    w.observer->safariLifecycleChanged(RunningApplication{});  // one without a bundle identifier
    EXPECT_EQ(w.accessibility.observerCreationCount(), 3);
}

TEST(SafariAccessibilityObserver, AttachesToTheFirstSafariThatIsNotTerminated) {
    ObservedWorld w;
    ListedWorkspace listed;
    listed.applications = {{kSafari, 600, false, true}, {QStringLiteral("org.example.Editor"), 601, true, false},
                           {kSafari, 602, false, false}};
    SimulatedAccessibilityTree tree;
    auto window = tree.add(QStringLiteral("AXWindow")).frame(HandBuiltWindow::topLeftFrame);
    auto app = tree.add(QStringLiteral("AXApplication")).set(QStringLiteral("AXFocusedWindow"), window.ref());
    w.accessibility.setApplication(602, app.ref());
    auto observer = w.make(listed);
    observer->start();
    EXPECT_EQ(observer->processIdentifier(), 602);
    EXPECT_FALSE(w.last().isGone());
    EXPECT_EQ(app.messagingTimeout(), 0.25);
}

TEST(SafariAccessibilityObserver, ABusySafariIsGivenAQuarterOfASecond) {
    for (const double delay : {0.2, 0.3}) {
        ObservedWorld w;
        ListedWorkspace listed;
        listed.applications = {{kSafari, 600, true, false}};
        SimulatedAccessibilityTree tree;
        auto window = tree.add(QStringLiteral("AXWindow")).frame(HandBuiltWindow::topLeftFrame);
        auto app = tree.add(QStringLiteral("AXApplication")).set(QStringLiteral("AXFocusedWindow"), window.ref());
        app.respondAfter(delay);
        w.accessibility.setApplication(600, app.ref());
        auto observer = w.make(listed);
        observer->start();
        EXPECT_EQ(w.last().isGone(), delay > 0.25) << delay;
        EXPECT_EQ(app.timedOutReads() > 0, delay > 0.25) << delay;
    }
}

TEST(SafariAccessibilityObserver, AnObserverThatCannotBeMadeIsLoggedAndReportedGone) {
    LogCapture log;
    ObservedWorld w;
    const auto pid = w.safari.launch();
    w.scheduler.runUntilIdle();
    w.accessibility.setObserverCreationFails(true);
    w.observer->start();
    EXPECT_TRUE(w.last().isGone());
    EXPECT_FALSE(w.observer->isAttached());
    const auto entries = log.entries();
    const LogEntry expected{QString::fromLatin1(kOndrakeSubsystem), QStringLiteral("overlay"), LogLevel::debug,
                            QStringLiteral("Could not create AX observer for Safari (pid %1)").arg(pid)};
    EXPECT_NE(std::find(entries.begin(), entries.end(), expected), entries.end());

    w.accessibility.setObserverCreationFails(false);  // the next launch tries again
    w.observer->safariLifecycleChanged(RunningApplication{kSafari, pid, false, false});
    EXPECT_TRUE(w.observer->isAttached());
}

TEST(SafariAccessibilityObserver, WithoutTrustOrWindowsThereIsNoFocusedWindow) {
    ObservedWorld w;
    w.safari.launch();
    w.observer->start();
    EXPECT_TRUE(w.last().isGone());  // no windows
    w.safari.addWindow(OverlayWorld::window(7, {"a"}));
    w.settle();
    ASSERT_FALSE(w.last().isGone());

    w.privacy.setTrusted(false);
    w.observer->reportFocusedWindow();
    EXPECT_TRUE(w.last().isGone());
}

TEST(SafariAccessibilityObserver, StoppingEndsEveryRegistrationAndReport) {
    ObservedWorld w;
    w.safari.addWindow(OverlayWorld::window(7, {"a"}));
    w.safari.launch();
    w.observer->start();
    w.safari.update([](auto &windows) { windows[0].minimised = true; });
    w.accessibility.refresh();  // a notification on its way
    const auto before = w.changes.size();
    w.observer->stop();
    w.scheduler.runUntilIdle();
    EXPECT_EQ(w.changes.size(), before);
    EXPECT_EQ(w.accessibility.observerCount(), 0);
    EXPECT_FALSE(w.observer->isRunning());

    w.safari.quit();
    w.safari.launch();
    w.scheduler.runUntilIdle();
    EXPECT_EQ(w.changes.size(), before);  // no longer listening for launches
    EXPECT_EQ(w.accessibility.observerCreationCount(), 1);
}

TEST(SafariAccessibilityObserver, NotificationsInFlightWhenTheObserverGoesAreDropped) {
    ObservedWorld w;
    w.safari.addWindow(OverlayWorld::window(7, {"a"}));
    w.safari.launch();
    w.observer->start();
    w.safari.update([](auto &windows) { windows[0].minimised = true; });
    w.accessibility.refresh();
    const auto before = w.changes.size();
    w.observer.reset();
    w.scheduler.runUntilIdle();
    EXPECT_EQ(w.changes.size(), before);
}

TEST(SafariAccessibilityObserver, TheSimulatedTreeFollowsTheBrowserWhileObserved) {
    ObservedWorld w;
    w.safari.addWindow(OverlayWorld::window(7, {"a"}));
    w.safari.launch();
    w.observer->start();
    w.safari.update([](auto &windows) { windows[0].bounds = {200, 60, 1400, 860}; });
    w.safari.addWindow(OverlayWorld::window(8, {"b"}));  // behind: reported, but the focus stays
    const auto before = w.changes.size();
    w.scheduler.advance(SimulatedAccessibility::refreshInterval);
    EXPECT_EQ(w.changes.size(), before + 1);
    EXPECT_EQ(w.last().window()->frame, QRectF(200, 140, 1200, 800));
    EXPECT_EQ(w.last().window()->element.element, w.windowElement(7));

    w.safari.activate();  // Safari's own activation is one more occasion to read
    w.scheduler.advance(SimulatedAccessibility::refreshInterval);
    EXPECT_EQ(w.changes.size(), before + 2);

    const auto closed = w.windowElement(7);  // closing the focused window hands focus to the next
    w.safari.update([](auto &windows) { windows.erase(windows.begin()); });
    w.scheduler.advance(SimulatedAccessibility::refreshInterval);
    EXPECT_EQ(w.last().window()->element.element, w.windowElement(8));
    EXPECT_TRUE(w.registered(closed).empty());
    EXPECT_EQ(w.accessibility.registrations().size(), 10u);
}

}  // namespace
