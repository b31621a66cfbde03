#pragma once

#include "Overlay/ImmersiveOverlayCoordinator.h"
#include "Overlay/OverlayBarView.h"

#include "ManualScheduler.h"
#include "SimulatedAccessibility.h"
#include "SimulatedPrivacy.h"
#include "SimulatedSafari.h"
#include "SimulatedScreens.h"
#include "SimulatedWorkspace.h"
#include "UserDefaults.h"

#include <vector>

namespace ondrake::test {

// A simulated desktop with one 1440 × 900 screen, Safari installed but not running, this process
// trusted for Accessibility, and a coordinator for Safari 17.4.1 that is not yet enabled.
struct CoordinatorWorld {
    enum class Fades { instant, asSet };
    static inline const QString kVersion = QStringLiteral("17.4.1");
    // Safari's window at (100, 50)-(1300, 850) from the top left is this in screen coordinates...
    static inline const SimulatedSafari::Bounds kBounds{100, 50, 1300, 850};
    static inline const QRectF kWindowFrame{100, 50, 1200, 800};
    // ...and its tab row, under a 52-point toolbar, 28 tall, lies here.
    static inline const QRectF kRowFrame{100, 770, 1200, 28};

    ManualScheduler scheduler;
    SimulatedWorkspace workspace{scheduler};
    SimulatedSafari safari{workspace};
    SimulatedPrivacy privacy{workspace};
    SimulatedAccessibility accessibility{scheduler, safari, privacy};
    SimulatedScreens screens;
    UserDefaults defaults;
    OverlayCalibrationStore store{defaults, scheduler};
    OverlayBarModel model;
    std::unique_ptr<ImmersiveOverlayCoordinator> owned = std::make_unique<ImmersiveOverlayCoordinator>(
        model, kVersion, store,
        ImmersiveOverlayCoordinator::Services{scheduler, workspace, accessibility, privacy, screens, defaults});
    ImmersiveOverlayCoordinator &coordinator = *owned;

    explicit CoordinatorWorld(Fades fades = Fades::instant) {
        privacy.setTrusted(true);
        // Fades are not what most tests look at: every change of the bar lands at once.
        if (fades == Fades::instant) defaults.setDouble(OverlayController::fadeDurationKey, 0);
    }
    ~CoordinatorWorld() { owned.reset(); }

    OverlayPanel &panel() { return coordinator.overlay().panel(); }
    bool barIsShown() { return panel().isVisible() && !coordinator.hiddenReason(); }

    // Safari running and in front with one window of three tabs; immersive mode on.
    std::int64_t start(SimulatedAccessibility::TabRowLayout layout = SimulatedAccessibility::TabRowLayout::separate) {
        return start({{QStringLiteral("One"), QStringLiteral("https://one.example/")},
                      {QStringLiteral("Two"), QStringLiteral("https://two.example/")},
                      {QStringLiteral("Three"), QStringLiteral("https://three.example/")}},
                     layout);
    }
    std::int64_t start(std::vector<SimulatedSafari::Tab> tabs,
                       SimulatedAccessibility::TabRowLayout layout = SimulatedAccessibility::TabRowLayout::separate) {
        const auto id = openWindow(std::move(tabs), layout);
        coordinator.setEnabled(true);
        scheduler.runUntilIdle();
        return id;
    }
    // Safari running and in front with one window of these tabs at kBounds; immersive mode as it was.
    std::int64_t openWindow(std::vector<SimulatedSafari::Tab> tabs,
                            SimulatedAccessibility::TabRowLayout layout = SimulatedAccessibility::TabRowLayout::separate) {
        safari.launch();
        SimulatedSafari::Window w;
        w.bounds = kBounds;
        w.tabs = std::move(tabs);
        const auto id = safari.addWindow(std::move(w));
        accessibility.setTabRowLayout(id, layout);
        safari.activate();
        scheduler.runUntilIdle();
        return id;
    }

    // What the window tracker would report of that window.
    static SafariWindowSample sample(std::int64_t number, QRectF frame = kWindowFrame, bool moving = false,
                                     std::vector<QRectF> popovers = {}) {
        SafariWindowSample s;
        s.frame = frame;
        s.predictedFrame = frame;
        s.number = number;
        s.isMoving = moving;
        s.popovers = std::move(popovers);
        return s;
    }
    // Feeds a first sample, which ties the focused window to its number.
    void track(std::int64_t number) { coordinator.handleWindowSample(sample(number)); }
};

}  // namespace ondrake::test
