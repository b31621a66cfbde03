#pragma once

#include "Browser/SafariWindowSample.h"
#include "Overlay/OverlayBarModel.h"
#include "Overlay/OverlayCalibrationStore.h"
#include "Overlay/OverlayController.h"
#include "Overlay/OverlayHiddenReason.h"
#include "Overlay/SafariAccessibilityObserver.h"
#include "Overlay/SafariChromeGeometry.h"
#include "Overlay/SafariChromeInsets.h"
#include "Overlay/SafariFocusedWindow.h"

#include "Accessibility.h"
#include "Log.h"
#include "Privacy.h"
#include "Scheduler.h"
#include "Screens.h"
#include "UserDefaults.h"
#include "Workspace.h"

#include <QRectF>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace ondrake {

// The immersive bar's state machine. It keeps what it knows of Safari's focused window, finds the
// tab row (a stored calibration first, else detection, cached per focused window), and on every
// evaluation shows the bar over the row or hides it with a reason. It also runs the calibration
// by hand, in which the bar's own frame becomes the row. Window samples, Accessibility
// notifications, activations and the shell's calls drive it; nothing runs on a timer. Main thread.
class ImmersiveOverlayCoordinator {
public:
    struct Services {
        Scheduler &scheduler;
        Workspace &workspace;
        Accessibility &accessibility;
        const Privacy &privacy;
        const Screens &screens;
        UserDefaults &defaults;
    };

    // The last tab-row detection for the focused window.
    class CachedDetection {
    public:
        enum class Kind { located, unsupportedLayout, unavailable };
        static CachedDetection located(SafariChromeInsets insets, SafariChromeGeometrySource source,
                                       double confidence) {
            return CachedDetection(Kind::located, insets, source, confidence);
        }
        static CachedDetection unsupportedLayout() { return CachedDetection(Kind::unsupportedLayout); }
        static CachedDetection unavailable() { return CachedDetection(Kind::unavailable); }

        Kind kind() const { return kind_; }
        const SafariChromeInsets &insets() const { return insets_; }
        SafariChromeGeometrySource source() const { return source_; }
        double confidence() const { return confidence_; }
        bool operator==(const CachedDetection &) const = default;

    private:
        explicit CachedDetection(Kind kind, SafariChromeInsets insets = {},
                                 SafariChromeGeometrySource source = SafariChromeGeometrySource::calculated,
                                 double confidence = 0)
            : kind_(kind), insets_(insets), source_(source), confidence_(confidence) {}
        Kind kind_;
        SafariChromeInsets insets_;
        SafariChromeGeometrySource source_;
        double confidence_;
    };

    static inline const QString safariBundleIdentifier = QStringLiteral("com.apple.Safari");
    // How far the window list's frame and Accessibility's may differ and still be one window.
    static constexpr double matchTolerance = 2;
    // The limits of a calibration, by hand or typed.
    static constexpr double maximumFromTop = 400;
    static constexpr double maximumSideInset = 600;
    static constexpr double minimumRowHeight = 16;
    static constexpr double maximumRowHeight = 80;

    ImmersiveOverlayCoordinator(OverlayBarModel &model, std::optional<QString> safariVersion,
                                OverlayCalibrationStore &calibrations, Services services);
    ~ImmersiveOverlayCoordinator();
    ImmersiveOverlayCoordinator(const ImmersiveOverlayCoordinator &) = delete;
    ImmersiveOverlayCoordinator &operator=(const ImmersiveOverlayCoordinator &) = delete;

    // Set by the shell.
    std::function<void(bool enabled)> onEnablementChanged;
    std::function<void(const SafariChromeInsets &)> onCalibrationChanged;

    void setEnabled(bool enabled);
    // `activated`: the application the workspace just activated; none asks the workspace which
    // application is in front.
    void evaluate(const std::optional<RunningApplication> &activated = std::nullopt);
    // One evaluation on the next turn of the main loop however often this is called before it.
    void scheduleEvaluate();
    void handleWindowSample(const std::optional<SafariWindowSample> &sample);
    void handleChromeChange(const SafariChromeChange &change);

    void beginCalibration();
    void endCalibration(bool save);
    // The panel's frame, given by the user while calibrating.
    void updateLiveCalibration(const QRectF &panelFrame);
    void updateCalibrationSummary();

    // What the shell's calibration window does. An edit typed while calibrating, clamped to the
    // limits, becomes the live calibration.
    void applyCalibrationEdit(const SafariChromeInsets &insets);
    // Forgets the stored calibration for this Safari and detects afresh; while calibrating, the
    // live calibration goes back to the calculated row.
    void resetToAutomaticDetection();
    // The calibration window closed without Save or Cancel: the calibration ends and nothing is
    // stored. As after Save or Cancel, the row is found afresh.
    void abandonCalibration();
    // What a calibration starts from: the live one, else the calculated row across the window.
    SafariChromeInsets calibrationSeed() const;
    bool hasStoredCalibration() const { return calibrations_.load(safariVersion_).has_value(); }

    static SafariChromeInsets clampedCalibration(const SafariChromeInsets &insets);
    static QString calibrationSummary(const SafariChromeInsets &insets);
    static bool isSafari(const std::optional<RunningApplication> &application);
    // The row at `insets` inside `window`, both in screen coordinates.
    static QRectF rowFrame(const SafariChromeInsets &insets, const QRectF &window);
    // The insets of `row` inside `window`.
    static SafariChromeInsets insetsOf(const QRectF &row, const QRectF &window);

    bool isEnabled() const { return isEnabled_; }
    bool isCalibrating() const { return isCalibrating_; }
    bool isTemporarilyRevealed() const { return isTemporarilyRevealed_; }
    const std::optional<OverlayHiddenReason> &hiddenReason() const { return hiddenReason_; }
    const std::optional<QString> &safariVersion() const { return safariVersion_; }
    const std::optional<SafariFocusedWindow> &focusedWindow() const { return focusedWindow_; }
    const std::optional<CachedDetection> &detection() const { return detection_; }
    void clearDetection() { detection_.reset(); }
    const std::optional<SafariChromeInsets> &liveCalibration() const { return liveCalibration_; }
    void setLiveCalibration(std::optional<SafariChromeInsets> insets) { liveCalibration_ = insets; }
    const std::optional<std::int64_t> &trackedWindowNumber() const { return trackedWindowNumber_; }
    const std::optional<SafariWindowSample> &lastSample() const { return lastSample_; }
    bool windowIsMoving() const { return windowIsMoving_; }
    const std::vector<QRectF> &popovers() const { return popovers_; }
    bool isEvaluateScheduled() const { return evaluateScheduled_; }
    int evaluationCount() const { return evaluations_; }

    OverlayController &overlay() { return *overlay_; }
    SafariAccessibilityObserver &observer() { return *observer_; }
    OverlayCalibrationStore &calibrations() { return calibrations_; }
    OverlayBarModel &model() { return model_; }

private:
    std::optional<SafariChromeGeometry> detect();
    std::optional<SafariChromeGeometry> resolveDetection(const SafariFocusedWindow &window);
    void matchTrackedWindow();
    void recordHiddenReason(OverlayHiddenReason reason);
    FirstScreenHeight firstScreenHeight() const;

    Services services_;
    const Logger log_{QStringLiteral("overlay")};
    std::unique_ptr<OverlayController> overlay_;
    std::unique_ptr<SafariAccessibilityObserver> observer_;
    std::optional<SafariFocusedWindow> focusedWindow_;
    std::optional<CachedDetection> detection_;
    std::optional<QString> safariVersion_;
    bool isEnabled_ = false;
    bool isTemporarilyRevealed_ = false;
    // Off from the start, and saying so.
    std::optional<OverlayHiddenReason> hiddenReason_ = OverlayHiddenReason::disabled;
    OverlayBarModel &model_;
    OverlayCalibrationStore &calibrations_;
    bool isCalibrating_ = false;
    std::optional<SafariChromeInsets> liveCalibration_;
    bool evaluateScheduled_ = false;
    std::optional<std::int64_t> trackedWindowNumber_;
    std::optional<SafariWindowSample> lastSample_;
    bool windowIsMoving_ = false;
    std::vector<QRectF> popovers_;
    int evaluations_ = 0;
    // Lets a queued evaluation notice that the coordinator went away.
    std::shared_ptr<ImmersiveOverlayCoordinator *> self_ = std::make_shared<ImmersiveOverlayCoordinator *>(this);
};

}  // namespace ondrake
