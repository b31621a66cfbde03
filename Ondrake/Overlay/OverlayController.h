#pragma once

#include "Overlay/OverlayBarModel.h"
#include "Overlay/OverlayPanel.h"
#include "Overlay/SafariChromeGeometry.h"
#include "ScheduledAnimation.h"

#include "Scheduler.h"
#include "Screens.h"
#include "UserDefaults.h"

#include <QMetaObject>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace ondrake {

class OverlayBarView;

// Lays the bar's panel over a tab row, fades it in and out, and while the user calibrates lets
// them drag and resize it, reporting each frame they give it. Every alpha change takes a new
// token, so only the latest fade may order the panel out. Main thread.
class OverlayController {
public:
    struct Services {
        Scheduler &scheduler;
        UserDefaults &defaults;
        const Screens &screens;
    };

    static inline const QString fadeDurationKey = QStringLiteral("ImmersiveFadeDuration");
    static constexpr double defaultFadeDuration = 0.12;
    static constexpr double maximumFadeDuration = 0.4;
    // Hiding is quicker than showing.
    static constexpr double maximumHideDuration = 0.08;
    static constexpr QSizeF calibrationMinimumSize{120, 16};
    static constexpr double calibrationMaximumHeight = 80;

    OverlayController(OverlayBarModel &model, Services services);
    ~OverlayController();
    OverlayController(const OverlayController &) = delete;
    OverlayController &operator=(const OverlayController &) = delete;

    OverlayPanel &panel() { return *panel_; }
    const OverlayPanel &panel() const { return *panel_; }
    OverlayBarView &view() { return *view_; }

    bool isEnabled() const { return isEnabled_; }
    // Switching off hides a visible panel at once.
    void setEnabled(bool enabled);
    const std::optional<SafariChromeGeometry> &geometry() const { return geometry_; }
    int fadeToken() const { return fadeToken_; }
    const std::optional<QRectF> &lastAppliedFrame() const { return lastAppliedFrame_; }
    bool isCalibrating() const { return isCalibrating_; }
    bool isFadingOut() const { return fade_.isRunning() && fadeOrdersOut_; }
    bool isFadingIn() const { return fade_.isRunning() && !fadeOrdersOut_; }

    // The coordinator's; told of every frame the user gives the panel while calibrating.
    std::function<void(const QRectF &)> onCalibrationFrameChanged;

    // Shows the panel over the geometry's tab row, fading it in; none hides it at once.
    void apply(const std::optional<SafariChromeGeometry> &geometry);
    void hide(bool animated);
    void animateAlpha(bool orderOut, double alpha, double duration);
    void setCalibrating(bool calibrating);

    double fadeDuration() const { return fadeDuration(services_.defaults); }
    // "ImmersiveFadeDuration" clamped to 0...0.4 s; 0.12 s when absent or not a finite number.
    static double fadeDuration(const UserDefaults &defaults);

private:
    void observeFrameChanges();
    void frameChanged();

    Services services_;
    OverlayBarModel &model_;
    std::unique_ptr<OverlayPanel> panel_;
    OverlayBarView *view_ = nullptr;  // owned by the panel
    bool isEnabled_ = false;
    std::optional<SafariChromeGeometry> geometry_;
    int fadeToken_ = 0;
    std::optional<QRectF> lastAppliedFrame_;
    bool isCalibrating_ = false;
    std::vector<QMetaObject::Connection> frameObservers_;
    ScheduledAnimation fade_;
    bool fadeOrdersOut_ = false;
};

}  // namespace ondrake
