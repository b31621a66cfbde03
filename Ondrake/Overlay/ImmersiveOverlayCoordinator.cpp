#include "Overlay/ImmersiveOverlayCoordinator.h"

#include "Browser/ImmersiveTrackingMode.h"
#include "Overlay/SafariChromeScoring.h"
#include "Overlay/ScreenRect.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace ondrake {

namespace {
SafariChromeInsets calculatedAcrossWindow(const std::optional<QString> &safariVersion) {
    auto insets = SafariChromeInsets::calculated(safariVersion);
    insets.fromLeft = 0;
    insets.fromRight = 0;
    return insets;
}
}  // namespace

ImmersiveOverlayCoordinator::ImmersiveOverlayCoordinator(OverlayBarModel &model, std::optional<QString> safariVersion,
                                                         OverlayCalibrationStore &calibrations, Services services)
    : services_(services),
      overlay_(std::make_unique<OverlayController>(
          model, OverlayController::Services{services.scheduler, services.defaults, services.screens})),
      observer_(std::make_unique<SafariAccessibilityObserver>(services.workspace, services.accessibility,
                                                              [this] { return firstScreenHeight(); })),
      safariVersion_(std::move(safariVersion)), model_(model), calibrations_(calibrations) {
    observer_->onChange = [this](const SafariChromeChange &change) { handleChromeChange(change); };
    overlay_->onCalibrationFrameChanged = [this](const QRectF &frame) { updateLiveCalibration(frame); };
}

ImmersiveOverlayCoordinator::~ImmersiveOverlayCoordinator() {
    observer_->onChange = nullptr;
    overlay_->onCalibrationFrameChanged = nullptr;
    if (observer_->isRunning()) observer_->stop();
}

FirstScreenHeight ImmersiveOverlayCoordinator::firstScreenHeight() const {
    if (services_.screens.screens().empty()) return std::nullopt;
    return services_.screens.firstScreenHeight();
}

bool ImmersiveOverlayCoordinator::isSafari(const std::optional<RunningApplication> &application) {
    return application && application->bundleIdentifier == safariBundleIdentifier;
}

QRectF ImmersiveOverlayCoordinator::rowFrame(const SafariChromeInsets &insets, const QRectF &w) {
    using namespace screen;
    return QRectF(minX(w) + insets.fromLeft, maxY(w) - insets.fromTop - insets.height,
                  std::max(0.0, w.width() - insets.fromLeft - insets.fromRight), insets.height);
}

SafariChromeInsets ImmersiveOverlayCoordinator::insetsOf(const QRectF &row, const QRectF &w) {
    using namespace screen;
    return {.fromTop = maxY(w) - maxY(row),
            .fromLeft = minX(row) - minX(w),
            .fromRight = maxX(w) - maxX(row),
            .height = row.height()};
}

SafariChromeInsets ImmersiveOverlayCoordinator::clampedCalibration(const SafariChromeInsets &i) {
    return {.fromTop = std::clamp(i.fromTop, 0.0, maximumFromTop),
            .fromLeft = std::clamp(i.fromLeft, 0.0, maximumSideInset),
            .fromRight = std::clamp(i.fromRight, 0.0, maximumSideInset),
            .height = std::clamp(i.height, minimumRowHeight, maximumRowHeight)};
}

QString ImmersiveOverlayCoordinator::calibrationSummary(const SafariChromeInsets &i) {
    char text[160];
    std::snprintf(text, sizeof text, "top %.0f · height %.0f · left %.0f · right %.0f", i.fromTop, i.height,
                  i.fromLeft, i.fromRight);
    return QString::fromUtf8(text);
}

// MARK: Enabling and evaluating

void ImmersiveOverlayCoordinator::setEnabled(bool enabled) {
    if (enabled == isEnabled_) return;
    isEnabled_ = enabled;
    overlay_->setEnabled(enabled);
    if (enabled) {
        observer_->start();
    } else {
        if (observer_->isRunning()) observer_->stop();
        focusedWindow_.reset();
        trackedWindowNumber_.reset();
        lastSample_.reset();
        windowIsMoving_ = false;
        detection_.reset();
    }
    if (onEnablementChanged) onEnablementChanged(enabled);
    evaluate();
}

void ImmersiveOverlayCoordinator::evaluate(const std::optional<RunningApplication> &activated) {
    ++evaluations_;
    const auto geometry = detect();
    const bool trusted = services_.privacy.isProcessTrusted();
    const auto front = activated ? activated : services_.workspace.frontmostApplication();
    const bool obscured = geometry && std::any_of(popovers_.begin(), popovers_.end(), [&](const QRectF &popover) {
                              return popover.intersects(geometry->tabBarFrame);
                          });
    const auto reason = resolveHiddenReason({
        .isEnabled = isEnabled_,
        .isTrusted = trusted,
        .safariIsFrontmost = isSafari(front),
        .hasFocusedWindow = focusedWindow_.has_value(),
        .isMinimized = focusedWindow_ && focusedWindow_->isMinimized,
        .isFullScreen = focusedWindow_ && focusedWindow_->isFullScreen,
        .isUnsupportedLayout = detection_ && detection_->kind() == CachedDetection::Kind::unsupportedLayout,
        .confidence = geometry ? geometry->confidence : 0,
        .geometryIsMissing = !geometry,
        .windowIsMoving = windowIsMoving_,
        .isObscured = obscured,
        .isTemporarilyRevealed = isTemporarilyRevealed_,
        .isCalibrating = isCalibrating_,
    });
    if (reason) {
        // Passing states fade; the others end the bar at once.
        const bool animated = *reason == OverlayHiddenReason::temporarilyRevealed
                              || *reason == OverlayHiddenReason::windowMoving
                              || *reason == OverlayHiddenReason::tabRowObscured;
        overlay_->hide(animated);
        recordHiddenReason(*reason);
        return;
    }
    overlay_->apply(geometry);
    hiddenReason_.reset();
}

void ImmersiveOverlayCoordinator::scheduleEvaluate() {
    if (evaluateScheduled_) return;
    evaluateScheduled_ = true;
    services_.scheduler.post([weak = std::weak_ptr(self_)] {
        const auto self = weak.lock();
        if (!self) return;
        (*self)->evaluateScheduled_ = false;
        (*self)->evaluate();
    });
}

void ImmersiveOverlayCoordinator::recordHiddenReason(OverlayHiddenReason reason) {
    if (hiddenReason_ == reason) return;
    hiddenReason_ = reason;
    log_.debug("Immersive bar hidden: %{public}s", toString(reason));
}

// MARK: Where the row lies

std::optional<SafariChromeGeometry> ImmersiveOverlayCoordinator::detect() {
    if (!focusedWindow_) return std::nullopt;
    const QRectF window = focusedWindow_->frame;
    if (liveCalibration_)
        return SafariChromeGeometry{.windowFrame = window,
                                    .tabBarFrame = rowFrame(*liveCalibration_, window),
                                    .confidence = 1.0,
                                    .source = SafariChromeGeometrySource::calibrated};
    if (!detection_)
        if (auto direct = resolveDetection(*focusedWindow_)) return direct;
    if (!detection_ || detection_->kind() != CachedDetection::Kind::located) return std::nullopt;
    return SafariChromeGeometry{.windowFrame = window,
                                .tabBarFrame = rowFrame(detection_->insets(), window),
                                .confidence = std::clamp(detection_->confidence(), 0.0, 1.0),
                                .source = detection_->source()};
}

std::optional<SafariChromeGeometry> ImmersiveOverlayCoordinator::resolveDetection(const SafariFocusedWindow &window) {
    if (const auto stored = calibrations_.load(safariVersion_)) {
        detection_ = CachedDetection::located(stored->insets, SafariChromeGeometrySource::calibrated, 1.0);
        return std::nullopt;
    }
    using Kind = SafariChromeScoring::Detection::Kind;
    const auto detected = SafariChromeScoring::detect(window, safariVersion_, firstScreenHeight());
    switch (detected.kind()) {
    case Kind::located: {
        const auto &g = *detected.geometry();
        detection_ = CachedDetection::located(insetsOf(g.tabBarFrame, g.windowFrame), g.source, g.confidence);
        return std::nullopt;
    }
    case Kind::provisional: return detected.geometry();
    case Kind::unsupportedLayout: detection_ = CachedDetection::unsupportedLayout(); return std::nullopt;
    case Kind::unavailable: detection_ = CachedDetection::unavailable(); return std::nullopt;
    }
    return std::nullopt;
}

// MARK: The window

void ImmersiveOverlayCoordinator::handleWindowSample(const std::optional<SafariWindowSample> &sample) {
    lastSample_ = sample;
    if (!sample) {
        windowIsMoving_ = false;
        popovers_.clear();
        return;
    }
    if (!focusedWindow_) return;
    if (!trackedWindowNumber_) {
        matchTrackedWindow();
        return;
    }
    if (sample->number != *trackedWindowNumber_) return;

    const auto mode = currentImmersiveTrackingMode(services_.defaults);
    const QRectF frame = mode == ImmersiveTrackingMode::followPredicted ? sample->predictedFrame : sample->frame;
    const bool moving = mode == ImmersiveTrackingMode::hideWhileMoving && sample->isMoving;
    if (frame == focusedWindow_->frame && moving == windowIsMoving_ && sample->popovers == popovers_) return;
    focusedWindow_->frame = frame;
    windowIsMoving_ = moving;
    popovers_ = sample->popovers;
    evaluate();
}

void ImmersiveOverlayCoordinator::matchTrackedWindow() {
    if (trackedWindowNumber_ || !focusedWindow_ || !lastSample_) return;
    const QRectF &a = lastSample_->frame;
    const QRectF &b = focusedWindow_->frame;
    const auto near = [](double x, double y) { return std::abs(x - y) <= matchTolerance; };
    if (near(a.x(), b.x()) && near(a.y(), b.y()) && near(a.width(), b.width()) && near(a.height(), b.height()))
        trackedWindowNumber_ = lastSample_->number;
}

void ImmersiveOverlayCoordinator::handleChromeChange(const SafariChromeChange &change) {
    focusedWindow_ = change.window();
    detection_.reset();
    trackedWindowNumber_.reset();
    matchTrackedWindow();
    evaluate();
}

// MARK: Calibration

void ImmersiveOverlayCoordinator::beginCalibration() {
    if (isCalibrating_) return;
    isCalibrating_ = true;
    const auto geometry = detect();
    liveCalibration_ = geometry ? insetsOf(geometry->tabBarFrame, geometry->windowFrame)
                                : calculatedAcrossWindow(safariVersion_);
    overlay_->setCalibrating(true);
    updateCalibrationSummary();
    evaluate();
}

void ImmersiveOverlayCoordinator::updateLiveCalibration(const QRectF &panel) {
    if (!isCalibrating_ || !focusedWindow_) return;
    liveCalibration_ = clampedCalibration(insetsOf(panel, focusedWindow_->frame));
    updateCalibrationSummary();
}

void ImmersiveOverlayCoordinator::updateCalibrationSummary() {
    if (!liveCalibration_) return;
    model_.setCalibrationSummary(calibrationSummary(*liveCalibration_));
    if (onCalibrationChanged) onCalibrationChanged(*liveCalibration_);
}

void ImmersiveOverlayCoordinator::endCalibration(bool save) {
    if (!isCalibrating_) return;
    isCalibrating_ = false;
    overlay_->setCalibrating(false);
    if (save && liveCalibration_) calibrations_.save(*liveCalibration_, safariVersion_);
    liveCalibration_.reset();
    detection_.reset();
    evaluate();
}

void ImmersiveOverlayCoordinator::applyCalibrationEdit(const SafariChromeInsets &insets) {
    if (!isCalibrating_) return;
    liveCalibration_ = clampedCalibration(insets);
    updateCalibrationSummary();
    scheduleEvaluate();
}

void ImmersiveOverlayCoordinator::resetToAutomaticDetection() {
    calibrations_.forget(safariVersion_);
    if (isCalibrating_) {
        liveCalibration_ = calculatedAcrossWindow(safariVersion_);
        updateCalibrationSummary();
    }
    detection_.reset();
    evaluate();
}

void ImmersiveOverlayCoordinator::abandonCalibration() {
    if (!isCalibrating_) return;
    isCalibrating_ = false;
    overlay_->setCalibrating(false);
    liveCalibration_.reset();
    detection_.reset();
    evaluate();
}

SafariChromeInsets ImmersiveOverlayCoordinator::calibrationSeed() const {
    return liveCalibration_ ? *liveCalibration_ : calculatedAcrossWindow(safariVersion_);
}

}  // namespace ondrake
