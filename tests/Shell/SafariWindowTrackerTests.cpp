#include "ShellTestWorld.h"

#include "Browser/ImmersiveTrackingMode.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace ondrake {
namespace {

using test::ShellWorld;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(SafariWindowTracker, TunablesAreReadWithTheirDefaultsAndBounds) {
    struct Case {
        std::optional<QVariant> stored;
        double expected;
    };
    const Case rates[] = {
        {std::nullopt, 1.0 / 30}, {20.0, 1.0 / 30}, {30.0, 1.0 / 30}, {kNaN, 1.0 / 30},
        {60.0, 1.0 / 60},         {500.0, 1.0 / 120}, {QStringLiteral("90"), 1.0 / 90},
    };
    for (const auto &c : rates) {
        UserDefaults defaults;
        if (c.stored) defaults.setObject(SafariWindowTracker::kSampleRateKey, *c.stored);
        EXPECT_DOUBLE_EQ(SafariWindowTracker::sampleInterval(defaults), c.expected) << c.stored.value_or(QVariant()).toString().toStdString();
    }
    const Case delays[] = {{std::nullopt, 0.12}, {0.01, 0.04}, {1.0, 0.4}, {0.2, 0.2}, {kNaN, 0.12}};
    for (const auto &c : delays) {
        UserDefaults defaults;
        if (c.stored) defaults.setObject(SafariWindowTracker::kSettleDelayKey, *c.stored);
        EXPECT_DOUBLE_EQ(SafariWindowTracker::settleDelay(defaults), c.expected);
    }
}

TEST(SafariWindowTracker, WindowListFramesFlipOverTheFirstScreensHeight) {
    ShellWorld world;
    world.addSafariWindow({100, 25, 900, 625});
    world.startTracking();
    ASSERT_EQ(world.samples.size(), 1u);
    EXPECT_EQ(world.lastSample().frame, QRectF(100, 275, 800, 600));

    // A second screen above the first does not change the reference height.
    world.screens.setScreens({SimulatedScreens::standardScreen(),
                              {QStringLiteral("Above"), QRectF(0, 900, 1920, 1080), QRectF(0, 900, 1920, 1080), 60}});
    world.moveSafariWindow(world.safari.windows().front().id, 0, -500);
    world.scheduler.advance(Seconds(0.3));
    EXPECT_EQ(world.lastSample().frame, QRectF(100, 775, 800, 600));

    // Without any screen the rectangle's own bottom stands in.
    EXPECT_EQ(SafariWindowTracker::cocoaFrame(QRectF(10, 20, 100, 50), std::nullopt), QRectF(10, 0, 100, 50));
}

TEST(SafariWindowFilter, TellsTheWindowFromPopoversLyingOverIt) {
    const SafariWindowCandidate big{1, QRectF(100, 100, 1000, 700), false, false};
    const SafariWindowCandidate popover{2, QRectF(300, 150, 300, 300), false, false};
    const SafariWindowCandidate aboveTop{3, QRectF(300, 50, 300, 300), false, false};       // top edge above the big one
    const SafariWindowCandidate overhanging{4, QRectF(900, 150, 300, 300), false, false};  // reaches past its right
    const SafariWindowCandidate second{5, QRectF(200, 150, 1200, 700), false, false};
    struct Case {
        const char *name;
        std::vector<SafariWindowCandidate> candidates;
        std::set<std::int64_t> known;
        SafariWindowFilter::Choice expected;
    };
    const Case cases[] = {
        {"nothing", {}, {}, {}},
        {"one window", {big}, {}, {big, {}}},
        {"a popover over the window", {popover, big}, {}, {big, {popover}}},
        {"a known window shaped like a popover", {popover, big}, {2}, {popover, {}}},
        {"top edge outside the window", {aboveTop, big}, {}, {aboveTop, {}}},
        {"reaching past the window's side", {overhanging, big}, {}, {overhanging, {}}},
        {"front of two large windows", {second, big}, {}, {second, {}}},
    };
    for (const auto &c : cases) EXPECT_EQ(SafariWindowFilter::choose(c.candidates, c.known), c.expected) << c.name;
}

TEST(SafariWindowTracker, ChoosesTheFrontWindowAndReportsPopoversOverIt) {
    ShellWorld world;
    const auto back = world.addSafariWindow({400, 100, 1200, 800});
    const auto front = world.addSafariWindow({100, 50, 1100, 850});
    world.windowServer.orderFront(front);
    const auto popover = world.addSafariWindow({300, 100, 600, 400});
    world.windowServer.orderFront(popover);
    const auto tiny = world.addSafariWindow({150, 60, 300, 200});  // 150 × 140: never a candidate
    world.windowServer.orderFront(tiny);

    world.startTracking();
    ASSERT_TRUE(world.samples.back());
    EXPECT_EQ(world.lastSample().number, front);
    EXPECT_EQ(world.lastSample().popovers, std::vector<QRectF>{QRectF(300, 500, 300, 300)});

    // Once the snapshot names the small window as one of the browser's own, it is the window.
    world.tracker.setKnownSafariWindowIDs({back, front, popover});
    world.scheduler.advance(Seconds(0.3));
    EXPECT_EQ(world.lastSample().number, popover);
    EXPECT_TRUE(world.lastSample().popovers.empty());
}

TEST(SafariWindowTracker, TellsWhatLiesInFrontOfTheWindow) {
    enum class Front { nothing, largeOther, smallOther, ownWindow, sidebar, otherBehind };
    struct Case {
        const char *name;
        Front front;
        std::optional<bool> sidebarIsInFront;
        std::optional<bool> windowIsInFront;
    };
    const Case cases[] = {
        {"nothing", Front::nothing, false, true},
        {"a large window of another application", Front::largeOther, false, false},
        {"a 150 × 150 window of another application", Front::smallOther, false, true},
        {"a window of this application", Front::ownWindow, false, true},
        {"the sidebar", Front::sidebar, true, true},
        {"another application's window behind", Front::otherBehind, false, true},
    };
    for (const auto &c : cases) {
        ShellWorld world;
        const auto safariWindow = world.addSafariWindow({100, 50, 1100, 850});
        const auto other = world.workspace.launch(QStringLiteral("com.example.Editor"));
        const auto sidebar = world.addOtherWindow(world.ownPid, QRectF(0, 50, 300, 800));
        world.windowServer.orderBack(sidebar);
        world.tracker.setSidebarWindowNumber(sidebar);
        switch (c.front) {
        case Front::nothing: break;
        case Front::largeOther: world.addOtherWindow(other, QRectF(200, 200, 800, 600)); break;
        case Front::smallOther: world.addOtherWindow(other, QRectF(200, 200, 150, 150)); break;
        case Front::ownWindow: world.addOtherWindow(world.ownPid, QRectF(200, 200, 800, 600)); break;
        case Front::sidebar: world.windowServer.orderFront(sidebar); break;
        case Front::otherBehind:
            world.windowServer.orderBelow(world.addOtherWindow(other, QRectF(200, 200, 800, 600)), safariWindow);
            break;
        }
        world.startTracking();
        ASSERT_TRUE(world.samples.back()) << c.name;
        EXPECT_EQ(world.lastSample().number, safariWindow) << c.name;
        EXPECT_EQ(world.lastSample().sidebarIsInFront, c.sidebarIsInFront) << c.name;
        EXPECT_EQ(world.lastSample().windowIsInFront, c.windowIsInFront) << c.name;
    }
}

TEST(SafariWindowTracker, ReportsOnlyChangesAndOneNilForALostWindow) {
    ShellWorld world;
    const auto id = world.addSafariWindow({100, 50, 1100, 850});
    world.startTracking();
    // The first measurement is a change, so the window counts as moving until it settles.
    world.scheduler.advance(Seconds(2));
    ASSERT_EQ(world.samples.size(), 2u);
    EXPECT_TRUE(world.samples[0]->isMoving);
    EXPECT_FALSE(world.samples[1]->isMoving);

    world.safari.quit();
    world.scheduler.advance(Seconds(2));
    ASSERT_EQ(world.samples.size(), 3u);
    EXPECT_FALSE(world.samples.back());

    world.safari.launch();
    world.scheduler.advance(Seconds(2));
    ASSERT_EQ(world.samples.size(), 5u);
    EXPECT_EQ(world.lastSample().number, id);

    // A restart forgets what was reported: an unchanged window is reported again.
    world.tracker.stop();
    EXPECT_TRUE(world.tracker.isIdle());
    world.startTracking();
    world.scheduler.advance(Seconds(2));
    ASSERT_EQ(world.samples.size(), 7u);
    EXPECT_EQ(world.samples[6], world.samples[4]);
}

TEST(SafariWindowTracker, ATerminatedBrowserNeverCountsAsRunning) {
    ShellWorld world;
    world.addSafariWindow({100, 50, 1100, 850});
    world.startTracking();
    world.safari.quit();
    // The termination notice has not been delivered yet; the tracker still must not see a window.
    world.tracker.measure();
    ASSERT_EQ(world.samples.size(), 2u);
    EXPECT_FALSE(world.samples.back());
}

TEST(SafariWindowTracker, DuringAnOrderingWatchASidebarBehindTheWindowIsReportedEvenUnchanged) {
    ShellWorld world;
    world.addSafariWindow({100, 50, 1100, 850});
    const auto sidebar = world.addOtherWindow(world.ownPid, QRectF(0, 50, 300, 800));
    world.windowServer.orderBack(sidebar);
    world.tracker.setSidebarWindowNumber(sidebar);
    world.startTracking();
    world.scheduler.advance(Seconds(1));
    EXPECT_EQ(world.samples.size(), 2u);  // moving at first, then settled
    world.scheduler.advance(Seconds(1));
    EXPECT_EQ(world.samples.size(), 2u);

    world.tracker.extendOrderingWatch(0.5);
    const auto before = world.samples.size();
    world.scheduler.advance(Seconds(0.5));
    // Every tick of the watch measures with a full scan and reports: about 15 at 30 Hz.
    EXPECT_GE(world.samples.size() - before, 13u);
    world.scheduler.advance(Seconds(1));
    const auto after = world.samples.size();
    world.scheduler.advance(Seconds(1));
    EXPECT_EQ(world.samples.size(), after);
}

TEST(SafariWindowTracker, IdleWindowsAreMeasuredFourTimesASecondAndMovingOnesOnEveryTick) {
    ShellWorld world;
    const auto id = world.addSafariWindow({100, 50, 1100, 850});
    world.startTracking();
    world.scheduler.advance(Seconds(1));  // let the start settle
    world.windowList.fullScans = world.windowList.singleQueries = 0;
    world.scheduler.advance(Seconds(2));
    const int idleMeasurements = world.windowList.fullScans + world.windowList.singleQueries;
    EXPECT_GE(idleMeasurements, 7);
    EXPECT_LE(idleMeasurements, 9);

    world.windowList.fullScans = world.windowList.singleQueries = 0;
    world.defaults.setDouble(SafariWindowTracker::kSampleRateKey, 60);
    for (int frame = 0; frame < 60; ++frame) {
        world.moveSafariWindow(id, 2, 0);
        world.scheduler.advance(Seconds(1.0 / 60));
    }
    // Between full scans, at most four a second, only the tracked window is asked for.
    EXPECT_LE(world.windowList.fullScans, 6);
    EXPECT_GE(world.windowList.singleQueries, 45);
    EXPECT_DOUBLE_EQ(world.tracker.timerInterval().value_or(0), 1.0 / 60);
}

// How often the tracker's timer fires in the next `seconds`, as a wake-up of the process.
int wakeUps(ShellWorld &world, double seconds) {
    const double end = world.scheduler.now() + seconds;
    int count = 0;
    while (world.scheduler.nextTimerTime() && *world.scheduler.nextTimerTime() <= end) {
        world.scheduler.advanceToNextTimer();
        ++count;
    }
    world.scheduler.advance(Seconds(end - world.scheduler.now()));
    return count;
}

TEST(SafariWindowTracker, AQuietTrackerWakesOnlyToMeasureAndWhatNeedsACloserLookWakesItAtOnce) {
    const struct {
        const char *name;
        std::function<void(ShellWorld &, std::int64_t window)> disturb;
    } cases[] = {
        {"a press", [](ShellWorld &w, std::int64_t) { w.pointer.setPrimaryButtonDown(true); }},
        {"an ordering watch", [](ShellWorld &w, std::int64_t) { w.tracker.extendOrderingWatch(0.5); }},
        {"the desktop restacking its windows", [](ShellWorld &w, std::int64_t) { w.windowList.announceChange(); }},
        {"a moved window", [](ShellWorld &w, std::int64_t id) {
             w.moveSafariWindow(id, 40, 0);
             w.tracker.measure();
         }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ShellWorld world;
        const auto id = world.addSafariWindow({400, 50, 1100, 850});
        world.tracker.setSidebarWindowNumber(world.addOtherWindow(world.ownPid, QRectF(100, 50, 300, 800)));
        world.startTracking();
        world.scheduler.advance(Seconds(1));
        // Four measurements a second and no wake-up without one, whatever the sample rate.
        EXPECT_LE(wakeUps(world, 2), 9);
        EXPECT_DOUBLE_EQ(world.tracker.timerInterval().value_or(0), SafariWindowTracker::kIdleMeasureInterval);

        c.disturb(world, id);
        EXPECT_DOUBLE_EQ(world.tracker.timerInterval().value_or(0), 1.0 / 30);
        EXPECT_GE(wakeUps(world, 0.2), 5);

        world.pointer.setPrimaryButtonDown(false);
        world.scheduler.advance(Seconds(2));
        EXPECT_DOUBLE_EQ(world.tracker.timerInterval().value_or(0), SafariWindowTracker::kIdleMeasureInterval);
    }
}

TEST(SafariWindowTracker, AWindowCountsAsMovingUntilItSettlesOrTheButtonComesUp) {
    ShellWorld world;
    const auto id = world.addSafariWindow({100, 50, 1100, 850});
    world.startTracking();
    world.scheduler.advance(Seconds(1));

    world.pointer.setPrimaryButtonDown(true);
    world.moveSafariWindow(id, 30, 0);
    world.scheduler.advance(Seconds(0.05));
    EXPECT_TRUE(world.lastSample().isMoving);
    EXPECT_TRUE(world.lastSample().isPressed);
    // Held still with the button down: still moving, the drag is not over.
    world.scheduler.advance(Seconds(1));
    EXPECT_TRUE(world.lastSample().isMoving);

    world.pointer.setPrimaryButtonDown(false);
    world.scheduler.advance(Seconds(0.5));
    EXPECT_FALSE(world.lastSample().isMoving);
    EXPECT_FALSE(world.lastSample().isPressed);

    // Without a press a window settles after the settle delay. A quiet window is measured four
    // times a second, so the move is seen within a quarter of a second.
    world.moveSafariWindow(id, 30, 0);
    const auto before = world.samples.size();
    const double movedAt = world.scheduler.now();
    while (world.samples.size() == before) world.scheduler.advance(Seconds(1.0 / 30));
    EXPECT_LE(world.scheduler.now() - movedAt, 0.25 + 1.0 / 30);
    EXPECT_TRUE(world.lastSample().isMoving);
    world.scheduler.advance(Seconds(0.2));
    EXPECT_FALSE(world.lastSample().isMoving);
}

TEST(WindowMotionPrediction, ExtrapolatesOneFrameAheadWithinBounds) {
    const QRectF frame(110, 100, 800, 600);
    const WindowMotionPrediction::Sample tenLeft{QRectF(100, 100, 800, 600), 1.0};
    struct Case {
        const char *name;
        std::optional<WindowMotionPrediction::Sample> previous;
        QRectF frame;
        std::optional<double> target;
        QRectF expected;
    };
    const double now = 1.016;
    const Case cases[] = {
        {"10 pt in 16 ms, one frame ahead", tenLeft, frame, now + 0.016, QRectF(120, 100, 800, 600)},
        {"a jump is capped at 200 pt", WindowMotionPrediction::Sample{QRectF(-890, 100, 800, 600), 1.0}, frame,
         now + 0.016, QRectF(310, 100, 800, 600)},
        {"a resize predicts nothing", WindowMotionPrediction::Sample{QRectF(100, 100, 700, 600), 1.0}, frame,
         now + 0.016, frame},
        {"measurements too far apart", WindowMotionPrediction::Sample{QRectF(100, 100, 800, 600), 0.9}, frame,
         now + 0.016, frame},
        {"no target", tenLeft, frame, std::nullopt, frame},
        {"target not ahead", tenLeft, frame, now, frame},
        {"no previous", std::nullopt, frame, now + 0.016, frame},
    };
    for (const auto &c : cases) {
        const auto predicted = WindowMotionPrediction::predict(c.frame, now, c.target, c.previous);
        EXPECT_NEAR(predicted.x(), c.expected.x(), 1e-9) << c.name;
        EXPECT_NEAR(predicted.y(), c.expected.y(), 1e-9) << c.name;
        EXPECT_EQ(predicted.size(), c.expected.size()) << c.name;
    }
}

TEST(SafariWindowTracker, PredictsOnTheDisplayLinkWhileAWindowMovesAndReturnsToTheTimer) {
    ShellWorld world;
    world.defaults.setString(QString::fromLatin1(kImmersiveTrackingModeKey), QStringLiteral("followPredicted"));
    const auto id = world.addSafariWindow({100, 50, 1100, 850});
    world.startTracking();
    world.scheduler.advance(Seconds(1));
    EXPECT_FALSE(world.tracker.isUsingDisplayLink());

    // The first move is seen on a timer tick and switches to frame pacing.
    world.moveSafariWindow(id, 10, 0);
    world.scheduler.advance(Seconds(1.0 / 30));
    EXPECT_TRUE(world.tracker.isUsingDisplayLink());
    EXPECT_FALSE(world.tracker.timerInterval());

    for (int frame = 0; frame < 10; ++frame) {
        world.moveSafariWindow(id, 10, 0);
        world.scheduler.advance(Seconds(1.0 / 60));
    }
    const auto &moving = world.lastSample();
    EXPECT_TRUE(moving.isMoving);
    EXPECT_NEAR(moving.predictedFrame.x() - moving.frame.x(), 10, 1e-6);
    EXPECT_EQ(moving.predictedFrame.y(), moving.frame.y());

    world.scheduler.advance(Seconds(0.5));
    EXPECT_FALSE(world.lastSample().isMoving);
    EXPECT_EQ(world.lastSample().predictedFrame, world.lastSample().frame);
    EXPECT_FALSE(world.tracker.isUsingDisplayLink());
    EXPECT_TRUE(world.tracker.timerInterval());
}

TEST(SafariWindowTracker, WithoutPredictionAMovingWindowStaysOnTheTimer) {
    for (const auto *mode : {"hideWhileMoving", "follow"}) {
        ShellWorld world;
        world.defaults.setString(QString::fromLatin1(kImmersiveTrackingModeKey), QString::fromLatin1(mode));
        const auto id = world.addSafariWindow({100, 50, 1100, 850});
        world.startTracking();
        for (int tick = 0; tick < 10; ++tick) {
            world.moveSafariWindow(id, 10, 0);
            world.scheduler.advance(Seconds(1.0 / 30));
        }
        EXPECT_TRUE(world.lastSample().isMoving) << mode;
        EXPECT_EQ(world.lastSample().predictedFrame, world.lastSample().frame) << mode;
        EXPECT_FALSE(world.tracker.isUsingDisplayLink()) << mode;
    }
}

TEST(SafariWindowTracker, ADisplayLinkThatLosesItsScreenFallsBackToTheTimer) {
    ShellWorld world;
    world.defaults.setString(QString::fromLatin1(kImmersiveTrackingModeKey), QStringLiteral("followPredicted"));
    const ScreenInfo other{QStringLiteral("Projector"), QRectF(1440, 0, 1280, 800), QRectF(1440, 0, 1280, 800), 60};
    world.screens.setScreens({SimulatedScreens::standardScreen(), other});
    const auto id = world.addSafariWindow({100, 50, 1100, 850});
    world.startTracking();
    world.moveSafariWindow(id, 10, 0);
    world.scheduler.advance(Seconds(1.0 / 30));
    ASSERT_TRUE(world.tracker.isUsingDisplayLink());
    ASSERT_EQ(world.frameClock.liveLinkCount(), 1);

    // The window's screen goes away; the link never fires again.
    world.screens.setScreens({other});
    world.scheduler.runUntilIdle();
    EXPECT_FALSE(world.tracker.isUsingDisplayLink());
    EXPECT_EQ(world.frameClock.liveLinkCount(), 0);
    EXPECT_TRUE(world.tracker.timerInterval());

    // Tracking goes on: a further move is still measured.
    const auto before = world.samples.size();
    world.moveSafariWindow(id, 300, 0);
    world.scheduler.advance(Seconds(0.1));
    EXPECT_GT(world.samples.size(), before);
}

TEST(SafariWindowTracker, APressWhileTheSidebarIsInFrontWatchesTheOrdering) {
    ShellWorld world;
    world.addSafariWindow({400, 50, 1100, 850});
    const auto sidebar = world.addOtherWindow(world.ownPid, QRectF(100, 50, 300, 800));
    world.tracker.setSidebarWindowNumber(sidebar);
    world.startTracking();
    ASSERT_EQ(world.lastSample().sidebarIsInFront, true);
    world.scheduler.advance(Seconds(1));
    EXPECT_FALSE(world.tracker.orderingWatchUntil());

    world.pointer.setPrimaryButtonDown(true);
    world.scheduler.advance(Seconds(1.0 / 30));
    ASSERT_TRUE(world.tracker.orderingWatchUntil());
    EXPECT_NEAR(*world.tracker.orderingWatchUntil(), world.scheduler.now() + 0.2, 1.0 / 30);
    // Holding the button does not extend it.
    const auto until = *world.tracker.orderingWatchUntil();
    world.scheduler.advance(Seconds(0.1));
    EXPECT_EQ(*world.tracker.orderingWatchUntil(), until);
}

TEST(SafariWindowTracker, ATrackedWindowThatShrinksIsReplacedInTheSameMeasurement) {
    ShellWorld world;
    const auto back = world.addSafariWindow({300, 100, 1200, 800});
    const auto front = world.addSafariWindow({100, 50, 1100, 850});
    world.windowServer.orderFront(front);
    world.startTracking();
    ASSERT_EQ(world.lastSample().number, front);
    world.scheduler.advance(Seconds(0.1));

    world.safari.update([&](auto &windows) {
        for (auto &w : windows)
            if (w.id == front) w.bounds = {100, 50, 250, 200};
    });
    world.tracker.measure();
    EXPECT_EQ(world.lastSample().number, back);
}

TEST(SafariWindowTracker, FillTestAndScreenChoice) {
    const QRectF screen(0, 0, 1440, 900), visible(0, 0, 1440, 875);
    struct FillCase {
        const char *name;
        QRectF safari;
        bool fills;
    };
    const FillCase fills[] = {
        {"visible height, part of the width", QRectF(300, 0, 900, 875), true},
        {"visible height and width", QRectF(0, 0, 1440, 875), false},
        {"full screen", QRectF(0, 0, 1440, 900), false},
        {"short window", QRectF(300, 100, 900, 600), false},
        {"within the tolerance", QRectF(300, 10, 900, 860), true},
    };
    for (const auto &c : fills)
        EXPECT_EQ(SafariWindowTracker::fillsVisibleHeight(c.safari, visible, screen), c.fills) << c.name;

    SimulatedScreens screens;
    const ScreenInfo right{QStringLiteral("Right"), QRectF(1440, 0, 1440, 900), QRectF(1440, 0, 1440, 875), 120};
    screens.setScreens({SimulatedScreens::standardScreen(), right});
    EXPECT_EQ(SafariWindowTracker::screenWithLargestOverlap(QRectF(1200, 100, 800, 600), screens)->name, right.name);
    EXPECT_EQ(SafariWindowTracker::screenWithLargestOverlap(QRectF(1040, 100, 800, 600), screens)->name,
              QStringLiteral("Built-in Display"));  // an even split goes to the earlier screen
    EXPECT_EQ(SafariWindowTracker::screenWithLargestOverlap(QRectF(5000, 100, 800, 600), screens)->name,
              QStringLiteral("Built-in Display"));
}

}  // namespace
}  // namespace ondrake
