#include "CoordinatorWorld.h"
#include <gtest/gtest.h>

#include "Browser/ImmersiveTrackingMode.h"
#include "Log.h"

#include <functional>

using namespace ondrake;
using namespace ondrake::test;
using R = OverlayHiddenReason;
using Layout = SimulatedAccessibility::TabRowLayout;

namespace {

const QString kOther = QStringLiteral("com.example.Editor");

TEST(ImmersiveOverlayCoordinator, AtLaunchWithImmersiveModeOffSaysSo) {
    CoordinatorWorld w;
    int changes = 0;
    w.coordinator.onEnablementChanged = [&](bool) { ++changes; };
    EXPECT_EQ(w.coordinator.hiddenReason(), R::disabled);
    w.coordinator.setEnabled(false);
    EXPECT_EQ(w.coordinator.hiddenReason(), R::disabled);
    EXPECT_EQ(changes, 0);
    EXPECT_FALSE(w.panel().isVisible());
}

TEST(ImmersiveOverlayCoordinator, SwitchedOnItLaysTheBarOverSafarisTabRow) {
    CoordinatorWorld w;
    std::vector<bool> told;
    w.coordinator.onEnablementChanged = [&](bool on) { told.push_back(on); };
    w.start();
    EXPECT_EQ(told, std::vector<bool>{true});
    EXPECT_TRUE(w.coordinator.observer().isRunning());
    EXPECT_TRUE(w.barIsShown());
    EXPECT_EQ(w.panel().frame(), CoordinatorWorld::kRowFrame);
    EXPECT_EQ(w.model.geometrySource(), SafariChromeGeometrySource::accessibility);
    ASSERT_TRUE(w.coordinator.detection());
    EXPECT_EQ(*w.coordinator.detection(),
              ImmersiveOverlayCoordinator::CachedDetection::located({52, 0, 0, 28}, SafariChromeGeometrySource::accessibility,
                                                                    w.model.confidence()));

    w.coordinator.setEnabled(false);
    EXPECT_EQ(told, (std::vector<bool>{true, false}));
    EXPECT_EQ(w.coordinator.hiddenReason(), R::disabled);
    EXPECT_FALSE(w.panel().isVisible());
    EXPECT_FALSE(w.coordinator.observer().isRunning());
    EXPECT_FALSE(w.coordinator.focusedWindow());
    EXPECT_FALSE(w.coordinator.detection());
    EXPECT_FALSE(w.coordinator.lastSample());
}

TEST(ImmersiveOverlayCoordinator, HidesTheBarWithTheReasonTheWorldGives) {
    struct Case {
        const char *name;
        Layout layout;
        std::function<void(CoordinatorWorld &, std::int64_t window)> change;
        std::optional<R> expected;
    };
    const Case cases[] = {
        {"shown", Layout::separate, [](auto &, auto) {}, std::nullopt},
        {"switched off", Layout::separate, [](auto &w, auto) { w.coordinator.setEnabled(false); }, R::disabled},
        {"no trust", Layout::separate,
         [](auto &w, auto) {
             w.privacy.setTrusted(false);
             w.coordinator.evaluate();
         },
         R::accessibilityMissing},
        {"another application in front", Layout::separate,
         [](auto &w, auto) {
             w.workspace.launch(kOther);
             w.workspace.activate(kOther);
             w.coordinator.evaluate();
         },
         R::safariNotFrontmost},
        {"the window closed", Layout::separate,
         [](auto &w, auto) {
             w.safari.setWindows({});
             w.scheduler.advance(Seconds(0.1));
         },
         R::noFocusedWindow},
        {"minimised", Layout::separate,
         [](auto &w, auto) {
             w.safari.update([&](auto &windows) { windows.front().minimised = true; });
             w.scheduler.advance(Seconds(0.1));
         },
         R::minimized},
        {"full screen", Layout::separate,
         [](auto &w, std::int64_t id) {
             w.accessibility.setFullScreen(id, true);
             w.scheduler.runUntilIdle();
         },
         R::fullScreen},
        {"tabs inside the toolbar", Layout::insideToolbar, [](auto &, auto) {}, R::unsupportedTabLayout},
        {"no tab row", Layout::none, [](auto &, auto) {}, R::geometryUnavailable},
        {"moving", Layout::separate,
         [](auto &w, std::int64_t id) {
             w.track(id);
             w.coordinator.handleWindowSample(CoordinatorWorld::sample(id, CoordinatorWorld::kWindowFrame, true));
         },
         R::windowMoving},
        {"a list over the row", Layout::separate,
         [](auto &w, std::int64_t id) {
             w.track(id);
             w.coordinator.handleWindowSample(CoordinatorWorld::sample(id, CoordinatorWorld::kWindowFrame, false,
                                                                       {QRectF(300, 600, 250, 180)}));
         },
         R::tabRowObscured},
        {"a list below the row", Layout::separate,
         [](auto &w, std::int64_t id) {
             w.track(id);
             w.coordinator.handleWindowSample(CoordinatorWorld::sample(id, CoordinatorWorld::kWindowFrame, false,
                                                                       {QRectF(300, 500, 250, 270)}));
         },
         std::nullopt},
    };
    for (const auto &c : cases) {
        CoordinatorWorld w;
        const auto id = w.start(c.layout);
        c.change(w, id);
        EXPECT_EQ(w.coordinator.hiddenReason(), c.expected) << c.name;
        EXPECT_EQ(w.panel().isVisible(), !c.expected) << c.name;
    }
}

TEST(ImmersiveOverlayCoordinator, AnActivationNamesTheApplicationInFront) {
    CoordinatorWorld w;
    w.start();
    w.coordinator.evaluate(RunningApplication{kOther, 900, true, false});
    EXPECT_EQ(w.coordinator.hiddenReason(), R::safariNotFrontmost);

    w.workspace.launch(kOther);
    w.workspace.activate(kOther);
    w.coordinator.evaluate(w.workspace.runningApplications(ImmersiveOverlayCoordinator::safariBundleIdentifier).front());
    EXPECT_EQ(w.coordinator.hiddenReason(), std::nullopt);
}

TEST(ImmersiveOverlayCoordinator, ARowFoundOnlyByCalculationIsUsedButNotKept) {
    CoordinatorWorld w;
    w.start(Layout::outOfReach);
    EXPECT_TRUE(w.barIsShown());
    EXPECT_EQ(w.model.geometrySource(), SafariChromeGeometrySource::calculated);
    EXPECT_DOUBLE_EQ(w.model.confidence(), 0.45);
    EXPECT_EQ(w.panel().frame(), CoordinatorWorld::kRowFrame);
    EXPECT_FALSE(w.coordinator.detection());
}

TEST(ImmersiveOverlayCoordinator, AStoredCalibrationComesBeforeDetection) {
    CoordinatorWorld w;
    w.store.save({.fromTop = 60, .fromLeft = 10, .fromRight = 20, .height = 30}, QStringLiteral("17.0"));
    w.start(Layout::insideToolbar);
    EXPECT_TRUE(w.barIsShown());
    EXPECT_EQ(w.model.geometrySource(), SafariChromeGeometrySource::calibrated);
    EXPECT_EQ(w.panel().frame(), QRectF(110, 760, 1170, 30));
}

TEST(ImmersiveOverlayCoordinator, WindowSamplesMoveTheBarAndKeepTheDetection) {
    CoordinatorWorld w;
    const auto id = w.start();
    w.track(id);
    ASSERT_EQ(w.coordinator.trackedWindowNumber(), id);
    const auto detection = w.coordinator.detection();

    const QRectF moved = CoordinatorWorld::kWindowFrame.translated(-60, 25);
    w.coordinator.handleWindowSample(CoordinatorWorld::sample(id, moved));
    EXPECT_EQ(w.panel().frame(), CoordinatorWorld::kRowFrame.translated(-60, 25));
    EXPECT_EQ(w.coordinator.detection(), detection);

    // Another window's samples are not this one's.
    w.coordinator.handleWindowSample(CoordinatorWorld::sample(id + 1, CoordinatorWorld::kWindowFrame));
    EXPECT_EQ(w.panel().frame(), CoordinatorWorld::kRowFrame.translated(-60, 25));

    // Losing the window clears motion and popovers without a new decision.
    w.coordinator.handleWindowSample(CoordinatorWorld::sample(id, moved, true, {QRectF(0, 0, 5000, 5000)}));
    ASSERT_EQ(w.coordinator.hiddenReason(), R::windowMoving);
    const int evaluations = w.coordinator.evaluationCount();
    w.coordinator.handleWindowSample(std::nullopt);
    EXPECT_FALSE(w.coordinator.windowIsMoving());
    EXPECT_TRUE(w.coordinator.popovers().empty());
    EXPECT_EQ(w.coordinator.evaluationCount(), evaluations);
}

TEST(ImmersiveOverlayCoordinator, TheTrackingModeDecidesWhatASampleMeans) {
    struct Case {
        const char *mode;
        bool moving;
        bool frameChanges;
        bool evaluates;
        std::optional<R> expected;
    };
    const Case cases[] = {
        {"hideWhileMoving", true, false, true, R::windowMoving},
        {"follow", true, false, false, std::nullopt},           // motion is no reason to hide there
        {"followPredicted", true, true, true, std::nullopt},
        {"nonsense", true, false, true, R::windowMoving},       // unknown modes hide while moving
    };
    for (const auto &c : cases) {
        CoordinatorWorld w;
        const auto id = w.start();
        w.track(id);
        w.defaults.setString(QString::fromLatin1(kImmersiveTrackingModeKey), QString::fromLatin1(c.mode));
        auto s = CoordinatorWorld::sample(id, CoordinatorWorld::kWindowFrame, c.moving);
        if (c.frameChanges) s.predictedFrame = s.frame.translated(30, 0);
        const int evaluations = w.coordinator.evaluationCount();
        w.coordinator.handleWindowSample(s);
        EXPECT_EQ(w.coordinator.evaluationCount() > evaluations, c.evaluates) << c.mode;
        EXPECT_EQ(w.coordinator.hiddenReason(), c.expected) << c.mode;
        if (c.frameChanges) {
            EXPECT_EQ(w.panel().frame(), CoordinatorWorld::kRowFrame.translated(30, 0)) << c.mode;
        }
    }
}

TEST(ImmersiveOverlayCoordinator, MatchesTheWindowWithinTwoPoints) {
    struct Case {
        QRectF offset;  // added to the frame field by field
        bool matched;
    };
    const Case cases[] = {
        {{2, 2, 2, 2}, true},
        {{-2, -2, -2, -2}, true},
        {{2.5, 0, 0, 0}, false},
        {{0, 0, 0, -2.5}, false},
    };
    for (const auto &c : cases) {
        CoordinatorWorld w;
        const auto id = w.start();
        const QRectF f = CoordinatorWorld::kWindowFrame;
        const QRectF off(f.x() + c.offset.x(), f.y() + c.offset.y(), f.width() + c.offset.width(),
                         f.height() + c.offset.height());
        w.coordinator.handleWindowSample(CoordinatorWorld::sample(id, off));
        EXPECT_EQ(w.coordinator.trackedWindowNumber().has_value(), c.matched) << c.offset.x() << " " << c.offset.height();
    }
}

TEST(ImmersiveOverlayCoordinator, ASampleBeforeAnyWindowIsMatchedWhenOneIsReported) {
    CoordinatorWorld w;
    w.coordinator.setEnabled(true);
    EXPECT_EQ(w.coordinator.hiddenReason(), R::safariNotFrontmost);
    EXPECT_FALSE(w.coordinator.focusedWindow());

    SimulatedSafari::Window window;
    window.bounds = CoordinatorWorld::kBounds;
    window.tabs = {{QStringLiteral("One"), QStringLiteral("https://one.example/")}};
    const auto id = w.safari.addWindow(window);
    w.coordinator.handleWindowSample(CoordinatorWorld::sample(id));
    EXPECT_FALSE(w.coordinator.trackedWindowNumber());

    w.safari.launch();
    w.safari.activate();
    w.scheduler.runUntilIdle();
    EXPECT_EQ(w.coordinator.trackedWindowNumber(), id);
    EXPECT_TRUE(w.barIsShown());
}

TEST(ImmersiveOverlayCoordinator, LogsEachReasonOnceUntilTheBarIsShownAgain) {
    CoordinatorWorld w;
    const auto id = w.start();
    w.track(id);
    LogCapture log;
    const auto moving = [&](bool m, double dx) {
        w.coordinator.handleWindowSample(CoordinatorWorld::sample(id, CoordinatorWorld::kWindowFrame.translated(dx, 0), m));
    };
    moving(true, 1);
    moving(true, 2);
    moving(false, 2);
    moving(true, 3);
    const auto lines = log.messages(QStringLiteral("overlay"));
    EXPECT_EQ(std::count(lines.begin(), lines.end(), QStringLiteral("Immersive bar hidden: windowMoving")), 2);
}

TEST(ImmersiveOverlayCoordinator, CoalescesScheduledEvaluationsAndDropsThemWithItself) {
    CoordinatorWorld w;
    w.start();
    const int evaluations = w.coordinator.evaluationCount();
    w.coordinator.scheduleEvaluate();
    w.coordinator.scheduleEvaluate();
    EXPECT_TRUE(w.coordinator.isEvaluateScheduled());
    w.scheduler.runUntilIdle();
    EXPECT_EQ(w.coordinator.evaluationCount(), evaluations + 1);
    EXPECT_FALSE(w.coordinator.isEvaluateScheduled());

    w.coordinator.scheduleEvaluate();
    w.owned.reset();
    w.scheduler.runUntilIdle();  // finds nothing to evaluate
}

// MARK: Calibration

TEST(ImmersiveOverlayCoordinator, ACalibrationStartsFromTheDetectedRow) {
    CoordinatorWorld w;
    std::vector<SafariChromeInsets> told;
    w.coordinator.onCalibrationChanged = [&](const SafariChromeInsets &i) { told.push_back(i); };
    w.start();
    w.coordinator.beginCalibration();
    const SafariChromeInsets detected{52, 0, 0, 28};
    EXPECT_TRUE(w.coordinator.isCalibrating());
    EXPECT_EQ(w.coordinator.liveCalibration(), detected);
    EXPECT_EQ(told, std::vector<SafariChromeInsets>{detected});
    EXPECT_EQ(w.model.calibrationSummary(), QStringLiteral("top 52 · height 28 · left 0 · right 0"));
    EXPECT_TRUE(w.model.isCalibrating());
    EXPECT_TRUE(w.panel().isMovable());
    EXPECT_EQ(w.model.geometrySource(), SafariChromeGeometrySource::calibrated);

    // Another application in front, or the tabs inside the toolbar: still shown while calibrating.
    w.workspace.launch(kOther);
    w.workspace.activate(kOther);
    w.coordinator.evaluate();
    EXPECT_TRUE(w.barIsShown());
}

TEST(ImmersiveOverlayCoordinator, ACalibrationWithoutARowStartsFromTheCalculatedOne) {
    CoordinatorWorld w;
    w.start(Layout::none);
    ASSERT_EQ(w.coordinator.hiddenReason(), R::geometryUnavailable);
    w.coordinator.beginCalibration();
    EXPECT_EQ(w.coordinator.liveCalibration(), (SafariChromeInsets{52, 0, 0, 28}));
    EXPECT_TRUE(w.barIsShown());
    EXPECT_EQ(w.panel().frame(), CoordinatorWorld::kRowFrame);

    // Full screen hides it all the same.
    w.accessibility.setFullScreen(w.safari.windows().front().id, true);
    w.scheduler.runUntilIdle();
    EXPECT_EQ(w.coordinator.hiddenReason(), R::fullScreen);
}

TEST(ImmersiveOverlayCoordinator, ThePanelsFrameBecomesTheLiveCalibrationWithinLimits) {
    struct Case {
        const char *name;
        QRectF panel;
        SafariChromeInsets expected;
    };
    // The window spans x 100...1300 and y 50...850.
    const Case cases[] = {
        {"inside", {120, 800, 1150, 24}, {26, 20, 30, 24}},
        {"above the window's top", {100, 840, 1200, 30}, {0, 0, 0, 30}},
        {"far down and narrow", {800, 100, 120, 16}, {400, 600, 380, 16}},
        {"left of the window", {50, 770, 1200, 28}, {52, 0, 50, 28}},
    };
    for (const auto &c : cases) {
        CoordinatorWorld w;
        w.start();
        w.coordinator.updateLiveCalibration(c.panel);
        EXPECT_FALSE(w.coordinator.liveCalibration()) << "ignored outside a calibration: " << c.name;
        w.coordinator.beginCalibration();
        w.coordinator.updateLiveCalibration(c.panel);
        EXPECT_EQ(w.coordinator.liveCalibration(), c.expected) << c.name;
    }
}

TEST(ImmersiveOverlayCoordinator, SavingStoresTheCalibrationForThisSafari) {
    CoordinatorWorld w;
    w.start();
    w.coordinator.beginCalibration();
    w.coordinator.applyCalibrationEdit({.fromTop = 60, .fromLeft = 0, .fromRight = 0, .height = 30});
    w.coordinator.endCalibration(true);
    EXPECT_FALSE(w.coordinator.isCalibrating());
    EXPECT_FALSE(w.panel().isMovable());
    EXPECT_FALSE(w.model.isCalibrating());
    ASSERT_TRUE(w.store.load(QStringLiteral("17.9")));
    EXPECT_EQ(w.store.load(QStringLiteral("17.9"))->insets, (SafariChromeInsets{60, 0, 0, 30}));
    EXPECT_EQ(w.store.load(QStringLiteral("17.9"))->safariVersion, CoordinatorWorld::kVersion);
    EXPECT_TRUE(w.coordinator.hasStoredCalibration());
    // The next evaluation reads it back.
    EXPECT_EQ(w.model.geometrySource(), SafariChromeGeometrySource::calibrated);
    EXPECT_EQ(w.panel().frame(), QRectF(100, 760, 1200, 30));
}

TEST(ImmersiveOverlayCoordinator, EndingACalibrationDropsTheDetectionSavedOrNot) {
    for (const bool save : {false, true}) {
        CoordinatorWorld w;
        const auto id = w.start();
        w.coordinator.beginCalibration();
        // Safari changes its layout unnoticed; only a fresh detection sees it.
        w.accessibility.setTabRowLayout(id, Layout::insideToolbar);
        w.coordinator.setLiveCalibration(std::nullopt);
        w.coordinator.endCalibration(save);
        EXPECT_TRUE(w.store.readAll().empty()) << save;
        EXPECT_EQ(w.coordinator.hiddenReason(), R::unsupportedTabLayout) << save;
    }
}

TEST(ImmersiveOverlayCoordinator, ClosingTheCalibrationWindowDiscardsItAndFindsTheRowAfresh) {
    for (const bool layoutChanged : {false, true}) {
        SCOPED_TRACE(layoutChanged ? "tabs moved into the toolbar meanwhile" : "same layout");
        CoordinatorWorld w;
        const auto id = w.start();
        w.coordinator.beginCalibration();
        w.coordinator.applyCalibrationEdit({.fromTop = 70, .fromLeft = 0, .fromRight = 0, .height = 20});
        if (layoutChanged) w.accessibility.setTabRowLayout(id, Layout::insideToolbar);
        w.coordinator.abandonCalibration();
        EXPECT_FALSE(w.coordinator.isCalibrating());
        EXPECT_FALSE(w.coordinator.liveCalibration());
        EXPECT_FALSE(w.panel().isMovable());
        EXPECT_TRUE(w.store.readAll().empty());
        if (layoutChanged) {
            EXPECT_EQ(w.coordinator.hiddenReason(), R::unsupportedTabLayout);
        } else {
            EXPECT_TRUE(w.barIsShown());
            EXPECT_EQ(w.panel().frame(), CoordinatorWorld::kRowFrame);
        }
    }
}

TEST(ImmersiveOverlayCoordinator, TypedEditsAreClampedAndEvaluatedOnce) {
    CoordinatorWorld w;
    w.start();
    w.coordinator.applyCalibrationEdit({10, 10, 10, 20});
    EXPECT_FALSE(w.coordinator.liveCalibration());  // only while calibrating

    w.coordinator.beginCalibration();
    std::vector<SafariChromeInsets> told;
    w.coordinator.onCalibrationChanged = [&](const SafariChromeInsets &i) { told.push_back(i); };
    const int evaluations = w.coordinator.evaluationCount();
    w.coordinator.applyCalibrationEdit({.fromTop = 500, .fromLeft = -3, .fromRight = 700, .height = 10});
    w.coordinator.applyCalibrationEdit({.fromTop = 40, .fromLeft = -3, .fromRight = 700, .height = 90});
    EXPECT_EQ(told, (std::vector<SafariChromeInsets>{{400, 0, 600, 16}, {40, 0, 600, 80}}));
    EXPECT_EQ(w.model.calibrationSummary(), QStringLiteral("top 40 · height 80 · left 0 · right 600"));
    EXPECT_EQ(w.coordinator.evaluationCount(), evaluations);
    w.scheduler.runUntilIdle();
    EXPECT_EQ(w.coordinator.evaluationCount(), evaluations + 1);
    EXPECT_EQ(w.panel().frame(), QRectF(100, 730, 600, 80));
}

TEST(ImmersiveOverlayCoordinator, GoingBackToAutomaticForgetsTheStoredCalibration) {
    CoordinatorWorld w;
    w.store.save({.fromTop = 60, .fromLeft = 10, .fromRight = 20, .height = 30}, CoordinatorWorld::kVersion);
    w.store.save({.fromTop = 1, .fromLeft = 1, .fromRight = 1, .height = 20}, QStringLiteral("16.1"));
    w.start();
    w.coordinator.beginCalibration();
    EXPECT_EQ(w.coordinator.liveCalibration(), (SafariChromeInsets{60, 10, 20, 30}));

    w.coordinator.resetToAutomaticDetection();
    EXPECT_FALSE(w.coordinator.hasStoredCalibration());
    EXPECT_TRUE(w.store.load(QStringLiteral("16.1")));
    EXPECT_EQ(w.coordinator.liveCalibration(), (SafariChromeInsets{52, 0, 0, 28}));
    EXPECT_EQ(w.model.calibrationSummary(), QStringLiteral("top 52 · height 28 · left 0 · right 0"));
    EXPECT_TRUE(w.coordinator.isCalibrating());

    w.coordinator.endCalibration(false);
    EXPECT_EQ(w.model.geometrySource(), SafariChromeGeometrySource::accessibility);
    EXPECT_EQ(w.panel().frame(), CoordinatorWorld::kRowFrame);
}

}  // namespace
