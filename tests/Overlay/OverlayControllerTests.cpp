#include "Overlay/OverlayBarButton.h"
#include "Overlay/OverlayBarView.h"
#include "Overlay/OverlayController.h"

#include "ManualScheduler.h"
#include "SimulatedScreens.h"
#include "UserDefaults.h"

#include <QApplication>
#include <QMouseEvent>

#include <gtest/gtest.h>

#include <limits>

using namespace ondrake;

namespace {

const QRectF kRow{100, 770, 1200, 28};

SafariChromeGeometry geometryAt(QRectF row, double confidence = 0.8) {
    return {.windowFrame = QRectF(row.x(), 50, row.width(), 800),
            .tabBarFrame = row,
            .confidence = confidence,
            .source = SafariChromeGeometrySource::accessibility};
}

struct ControllerWorld {
    ManualScheduler scheduler;
    SimulatedScreens screens;
    UserDefaults defaults;
    OverlayBarModel model;
    OverlayController controller{model, {scheduler, defaults, screens}};

    ControllerWorld() { controller.setEnabled(true); }
    OverlayPanel &panel() { return controller.panel(); }
    void advance(double seconds) { scheduler.advance(Seconds(seconds)); }
    // Shows the bar fully at once, then leaves the fade duration at its default for what follows.
    void showAtOnce(const SafariChromeGeometry &geometry) {
        defaults.setDouble(OverlayController::fadeDurationKey, 0);
        controller.apply(geometry);
        defaults.removeObject(OverlayController::fadeDurationKey);
    }
};

// Sends a press, a move by `delta` and a release through `target` at `local`, as the desktop
// would for a drag with the primary button.
void drag(QWidget &target, QPointF local, QPointF delta) {
    const QPointF global = target.mapToGlobal(local);
    QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&target, &press);
    QMouseEvent move(QEvent::MouseMove, local + delta, global + delta, Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&target, &move);
    QMouseEvent release(QEvent::MouseButtonRelease, local + delta, global + delta, Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(&target, &release);
}

TEST(OverlayController, FadeDurationComesFromTheDefaultsWithinLimits) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        std::optional<QVariant> stored;
        double expected;
    };
    const Case cases[] = {
        {std::nullopt, 0.12},   {QVariant(1.0), 0.4},  {QVariant(-1.0), 0.0},
        {QVariant(0.0), 0.0},   {QVariant(0.25), 0.25}, {QVariant(QStringLiteral("0.2")), 0.2},
        {QVariant(nan), 0.12},  {QVariant(inf), 0.12},
    };
    for (const auto &c : cases) {
        UserDefaults defaults;
        if (c.stored) defaults.setObject(OverlayController::fadeDurationKey, *c.stored);
        EXPECT_DOUBLE_EQ(OverlayController::fadeDuration(defaults), c.expected)
            << (c.stored ? c.stored->toString().toStdString() : "absent");
    }
}

TEST(OverlayController, FadesInOverTheRowAndOutQuicker) {
    ControllerWorld w;
    w.controller.apply(geometryAt(kRow));
    EXPECT_TRUE(w.panel().isVisible());
    EXPECT_EQ(w.panel().frame(), kRow);
    EXPECT_EQ(w.model.geometrySource(), SafariChromeGeometrySource::accessibility);
    EXPECT_DOUBLE_EQ(w.model.confidence(), 0.8);
    EXPECT_DOUBLE_EQ(w.panel().alpha(), 0);

    w.advance(0.06);
    EXPECT_GT(w.panel().alpha(), 0.5);  // eased out: more than half-way at half time
    EXPECT_LT(w.panel().alpha(), 1);
    w.advance(0.08);
    EXPECT_DOUBLE_EQ(w.panel().alpha(), 1);
    EXPECT_FALSE(w.controller.isFadingIn());

    // Hiding takes 0.08 s, not the 0.12 s of showing.
    w.controller.hide(true);
    w.advance(0.05);
    EXPECT_TRUE(w.panel().isVisible());
    EXPECT_LT(w.panel().alpha(), 1);
    w.advance(0.04);
    EXPECT_FALSE(w.panel().isVisible());
    EXPECT_DOUBLE_EQ(w.panel().alpha(), 1);  // ready for the next time it is shown without a fade
}

TEST(OverlayController, AHideDuringAFadeInFadesTheBarOut) {
    ControllerWorld w;
    w.controller.apply(geometryAt(kRow));
    w.advance(0.05);
    ASSERT_TRUE(w.controller.isFadingIn());
    const double reached = w.panel().alpha();
    ASSERT_GT(reached, 0);

    w.controller.hide(true);
    EXPECT_TRUE(w.controller.isFadingOut());
    w.advance(1.0 / 30);
    EXPECT_LT(w.panel().alpha(), reached);
    w.advance(0.06);
    EXPECT_FALSE(w.panel().isVisible());
}

TEST(OverlayController, OnlyAFadeOutUnderWayMakesAnotherHideRedundant) {
    ControllerWorld w;
    w.showAtOnce(geometryAt(kRow));

    w.controller.hide(true);
    const int token = w.controller.fadeToken();
    w.advance(0.04);
    w.controller.hide(true);
    EXPECT_EQ(w.controller.fadeToken(), token);
    w.advance(0.045);  // the first fade's end, not a restarted one's
    EXPECT_FALSE(w.panel().isVisible());
}

TEST(OverlayController, ApplyDuringAFadeOutKeepsTheBarAndFadesItBackIn) {
    ControllerWorld w;
    w.showAtOnce(geometryAt(kRow));

    w.controller.hide(true);
    w.advance(0.04);
    w.controller.apply(geometryAt(kRow));
    w.advance(0.5);
    EXPECT_TRUE(w.panel().isVisible());
    EXPECT_DOUBLE_EQ(w.panel().alpha(), 1);

    // Even a fade-out that has not yet taken anything off is turned round.
    w.controller.hide(true);
    w.controller.apply(geometryAt(kRow));
    w.advance(0.5);
    EXPECT_TRUE(w.panel().isVisible());
}

TEST(OverlayController, WithoutAFadeTheBarComesAndGoesAtOnce) {
    ControllerWorld w;
    w.defaults.setDouble(OverlayController::fadeDurationKey, 0);
    w.controller.apply(geometryAt(kRow));
    EXPECT_TRUE(w.panel().isVisible());
    EXPECT_DOUBLE_EQ(w.panel().alpha(), 1);
    EXPECT_FALSE(w.controller.isFadingIn());
    w.controller.hide(true);
    EXPECT_FALSE(w.panel().isVisible());
    EXPECT_EQ(w.scheduler.pendingCount(), 0u);
}

TEST(OverlayController, NoGeometryOrSwitchingOffHidesAtOnce) {
    ControllerWorld w;
    w.controller.apply(geometryAt(kRow));
    w.advance(0.2);
    w.controller.apply(std::nullopt);
    EXPECT_FALSE(w.panel().isVisible());

    w.controller.apply(geometryAt(kRow));
    w.advance(0.05);  // mid fade-in
    w.controller.setEnabled(false);
    EXPECT_FALSE(w.panel().isVisible());
    EXPECT_DOUBLE_EQ(w.panel().alpha(), 1);
    w.advance(0.2);
    EXPECT_FALSE(w.panel().isVisible());

    // Switched off, nothing shows it.
    w.controller.apply(geometryAt(kRow));
    EXPECT_FALSE(w.panel().isVisible());
}

TEST(OverlayController, FollowsTheRowWithoutFadingAgain) {
    ControllerWorld w;
    w.controller.apply(geometryAt(kRow));
    w.advance(0.2);
    const int token = w.controller.fadeToken();
    const QRectF moved = kRow.translated(40, -30);
    w.controller.apply(geometryAt(moved));
    EXPECT_EQ(w.panel().frame(), moved);
    EXPECT_EQ(w.controller.lastAppliedFrame(), moved);
    EXPECT_EQ(w.controller.fadeToken(), token);
    EXPECT_DOUBLE_EQ(w.panel().alpha(), 1);
}

TEST(OverlayController, ThePanelFloatsWithoutEverTakingFocus) {
    ControllerWorld w;
    auto &panel = w.panel();
    const auto flags = panel.windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::Tool));
    EXPECT_TRUE(flags.testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_TRUE(panel.testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_FALSE(panel.canBecomeKeyWindow());
    EXPECT_FALSE(panel.canBecomeMainWindow());
    EXPECT_FALSE(panel.isMovable());
    EXPECT_FALSE(panel.isResizable());

    w.controller.apply(geometryAt(kRow));
    w.advance(0.2);
    w.controller.view().commandButton().click();
    EXPECT_NE(QApplication::activeWindow(), &panel);
}

TEST(OverlayController, WhileCalibratingReportsTheFramesTheUserGivesThePanel) {
    ControllerWorld w;
    std::vector<QRectF> reported;
    w.controller.onCalibrationFrameChanged = [&](const QRectF &f) { reported.push_back(f); };
    w.controller.apply(geometryAt(kRow));
    w.advance(0.2);

    w.controller.setCalibrating(true);
    EXPECT_TRUE(w.model.isCalibrating());
    EXPECT_TRUE(w.panel().isMovable());
    EXPECT_TRUE(w.panel().isMovableByWindowBackground());
    EXPECT_TRUE(w.panel().isResizable());
    EXPECT_EQ(w.panel().minimumFrameSize(), QSizeF(120, 16));
    EXPECT_DOUBLE_EQ(w.panel().maximumFrameSize().height(), 80);

    // The controller's own move is no calibration.
    w.controller.apply(geometryAt(kRow.translated(0, -20)));
    EXPECT_TRUE(reported.empty());

    // A drag on the bar's middle moves the panel: down on the desktop is down the screen.
    drag(w.controller.view(), QPointF(600, 14), QPointF(15, 10));
    ASSERT_FALSE(reported.empty());
    EXPECT_EQ(reported.back(), QRectF(115, 740, 1200, 28));
    EXPECT_EQ(w.panel().frame(), reported.back());

    w.controller.setCalibrating(false);
    EXPECT_FALSE(w.model.isCalibrating());
    EXPECT_FALSE(w.panel().isMovable());
    reported.clear();
    drag(w.controller.view(), QPointF(600, 14), QPointF(15, 10));
    w.panel().setFrame(kRow.translated(5, 5), false);
    EXPECT_TRUE(reported.empty());
    EXPECT_EQ(w.panel().minimumFrameSize(), QSizeF(120, 16));  // the limits stay
}

TEST(OverlayPanel, DragsItsEdgesWithinItsSizeLimits) {
    SimulatedScreens screens;
    OverlayPanel panel(screens);
    panel.setResizable(true);
    panel.setMinimumFrameSize(QSizeF(120, 16));
    panel.setMaximumFrameSize(QSizeF(std::numeric_limits<double>::max(), 80));
    using E = OverlayPanel::Edge;
    const QRectF start(100, 500, 400, 28);  // screen coordinates: its top edge is at y 528
    struct Case {
        const char *name;
        OverlayPanel::Edges edges;
        QPointF delta;  // the desktop's way: y down
        QRectF expected;
    };
    const Case cases[] = {
        {"move", {}, {10, 20}, {110, 480, 400, 28}},
        {"right wider", E::right, {50, 0}, {100, 500, 450, 28}},
        {"left narrower", E::left, {30, 0}, {130, 500, 370, 28}},
        {"left to the minimum", E::left, {390, 0}, {380, 500, 120, 28}},
        {"top up, taller", E::top, {0, -10}, {100, 500, 400, 38}},
        {"top up past the maximum", E::top, {0, -100}, {100, 500, 400, 80}},
        {"bottom up, shorter", E::bottom, {0, -10}, {100, 510, 400, 18}},
        {"bottom up past the minimum", E::bottom, {0, -40}, {100, 512, 400, 16}},
        {"top right corner", E::top | E::right, {20, -4}, {100, 500, 420, 32}},
    };
    for (const auto &c : cases) EXPECT_EQ(panel.draggedFrame(start, c.edges, c.delta), c.expected) << c.name;
}

TEST(OverlayPanel, PressesNearItsEdgesResizeOnlyWhileResizable) {
    SimulatedScreens screens;
    OverlayPanel panel(screens);
    panel.setFrame(QRectF(0, 0, 400, 40), false);
    EXPECT_EQ(panel.edgesAt(QPointF(2, 20)), OverlayPanel::Edges());
    panel.setResizable(true);
    using E = OverlayPanel::Edge;
    EXPECT_EQ(panel.edgesAt(QPointF(2, 20)), OverlayPanel::Edges(E::left));
    EXPECT_EQ(panel.edgesAt(QPointF(398, 38)), E::right | E::bottom);
    EXPECT_EQ(panel.edgesAt(QPointF(200, 1)), OverlayPanel::Edges(E::top));
    EXPECT_EQ(panel.edgesAt(QPointF(200, 20)), OverlayPanel::Edges());
}

TEST(OverlayPanel, AFrameNoWindowCouldHaveStillGivesTheDesktopOneItCan) {
    SimulatedScreens screens;
    OverlayPanel panel(screens);
    const double inf = std::numeric_limits<double>::infinity();
    const QRectF frames[] = {
        {1e20, -1e20, 1e30, 28},                                  // a calibration edited by hand
        {100, 500, inf, 28},                                      // a window the interface made endless
        {std::numeric_limits<double>::quiet_NaN(), 500, 400, 28},
    };
    for (const auto &frame : frames) {
        panel.setFrame(frame, false);
        const QRect native = panel.geometry();
        for (const int v : {native.x(), native.y(), native.width(), native.height()})
            EXPECT_LE(std::abs(qint64(v)), 2 * qint64(QWIDGETSIZE_MAX)) << frame.x() << " " << frame.width();
    }
    panel.setFrame(QRectF(100, 500, 400, 28), false);
    EXPECT_EQ(panel.geometry(), screens.toNative(QRectF(100, 500, 400, 28)));
}

}  // namespace
