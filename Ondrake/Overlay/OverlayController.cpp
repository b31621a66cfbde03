#include "Overlay/OverlayController.h"

#include "Overlay/OverlayBarView.h"

#include <QHBoxLayout>

#include <algorithm>
#include <cmath>
#include <limits>

namespace ondrake {

namespace {
// The ease-out timing curve: quick off the mark, gentle at the end.
QEasingCurve easeOut() {
    QEasingCurve curve(QEasingCurve::BezierSpline);
    curve.addCubicBezierSegment(QPointF(0, 0), QPointF(0.58, 1), QPointF(1, 1));
    return curve;
}
}  // namespace

OverlayController::OverlayController(OverlayBarModel &model, Services services)
    : services_(services), model_(model), panel_(std::make_unique<OverlayPanel>(services.screens)),
      fade_(services.scheduler, panel_.get(), QByteArrayLiteral("alpha")) {
    view_ = new OverlayBarView(model_, &services_.defaults, panel_.get());
    auto *layout = new QHBoxLayout(panel_.get());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(view_);
}

OverlayController::~OverlayController() {
    fade_.stop();
    for (const auto &c : frameObservers_) QObject::disconnect(c);
}

double OverlayController::fadeDuration(const UserDefaults &defaults) {
    if (!defaults.objectForKey(fadeDurationKey)) return defaultFadeDuration;
    const double stored = defaults.doubleForKey(fadeDurationKey);
    if (!std::isfinite(stored)) return defaultFadeDuration;
    return std::clamp(stored, 0.0, maximumFadeDuration);
}

void OverlayController::setEnabled(bool enabled) {
    if (enabled == isEnabled_) return;
    isEnabled_ = enabled;
    if (!enabled && panel_->isVisible()) animateAlpha(true, 1, 0);
}

void OverlayController::apply(const std::optional<SafariChromeGeometry> &geometry) {
    if (!isEnabled_) {
        if (panel_->isVisible()) animateAlpha(true, 1, 0);
        return;
    }
    geometry_ = geometry;
    if (!geometry) {
        if (panel_->isVisible()) animateAlpha(true, 1, 0);
        return;
    }
    model_.setGeometrySource(geometry->source);
    model_.setConfidence(geometry->confidence);
    const QRectF row = geometry->tabBarFrame;
    const double fade = fadeDuration();
    if (panel_->frame() != row) {
        lastAppliedFrame_ = row;
        panel_->setFrame(row, false);
    }
    if (!panel_->isVisible()) {
        panel_->setAlpha(fade > 0 ? 0 : 1);
        lastAppliedFrame_ = row;
        panel_->setFrame(row, true);
        panel_->orderFrontRegardless();
    }
    // A fade-in under way already goes where this one would; a fade-out is turned round even
    // before it has taken anything off the alpha.
    if ((panel_->alpha() < 1 && !isFadingIn()) || isFadingOut()) animateAlpha(false, 1, fade);
}

void OverlayController::hide(bool animated) {
    if (!panel_->isVisible()) return;
    const double fade = fadeDuration();
    if (animated && fade > 0) {
        // Only a fade-out already under way makes this one redundant; a fade-in is turned round.
        if (isFadingOut()) return;
        animateAlpha(true, 0, std::min(fade, maximumHideDuration));
    } else {
        animateAlpha(true, 1, 0);
    }
}

void OverlayController::animateAlpha(bool orderOut, double alpha, double duration) {
    const int token = ++fadeToken_;
    fade_.stop();
    fadeOrdersOut_ = orderOut;
    if (duration > 0) {
        fade_.start(alpha, Seconds(duration), easeOut(), [this, token, orderOut] {
            if (token != fadeToken_ || !orderOut) return;
            panel_->orderOut();
            panel_->setAlpha(1);
        });
        return;
    }
    panel_->setAlpha(alpha);
    if (orderOut) panel_->orderOut();
}

void OverlayController::setCalibrating(bool calibrating) {
    if (calibrating == isCalibrating_) return;
    isCalibrating_ = calibrating;
    model_.setCalibrating(calibrating);
    panel_->setMovable(calibrating);
    panel_->setMovableByWindowBackground(calibrating);
    panel_->setResizable(calibrating);
    if (calibrating) {
        panel_->setMinimumFrameSize(calibrationMinimumSize);
        panel_->setMaximumFrameSize(QSizeF(std::numeric_limits<double>::max(), calibrationMaximumHeight));
        observeFrameChanges();
    } else {
        for (const auto &c : frameObservers_) QObject::disconnect(c);
        frameObservers_.clear();
    }
}

void OverlayController::observeFrameChanges() {
    const auto check = [this] { frameChanged(); };
    frameObservers_.push_back(QObject::connect(panel_.get(), &OverlayPanel::didMove, panel_.get(), check));
    frameObservers_.push_back(QObject::connect(panel_.get(), &OverlayPanel::didResize, panel_.get(), check));
}

void OverlayController::frameChanged() {
    if (!isCalibrating_) return;
    const QRectF frame = panel_->frame();
    // A frame the controller set itself is no calibration.
    if (frame == lastAppliedFrame_) return;
    if (onCalibrationFrameChanged) onCalibrationFrameChanged(frame);
}

}  // namespace ondrake
