#include "Overlay/ImmersiveOverlayCoordinator.h"

#include "ManualScheduler.h"
#include "SimulatedAccessibility.h"
#include "SimulatedPrivacy.h"
#include "SimulatedSafari.h"
#include "SimulatedScreens.h"
#include "SimulatedWorkspace.h"
#include "UserDefaults.h"

#include <QApplication>

#include <benchmark/benchmark.h>

using namespace ondrake;

namespace {

// The bar is a widget, which needs an application object; drawn offscreen.
void ensureWidgetApplication() {
    if (QCoreApplication::instance()) return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "OndrakeBench";
    static char *argv[] = {name, nullptr};
    static QApplication app(argc, argv);
}

// Safari in front with one window whose tab row has been found; the bar is shown over it.
struct ShownBar {
    ManualScheduler scheduler;
    SimulatedWorkspace workspace{scheduler};
    SimulatedSafari safari{workspace};
    SimulatedPrivacy privacy{workspace};
    SimulatedAccessibility accessibility{scheduler, safari, privacy};
    SimulatedScreens screens;
    UserDefaults defaults;
    OverlayCalibrationStore store{defaults, scheduler};
    OverlayBarModel model;
    ImmersiveOverlayCoordinator coordinator{
        model, QStringLiteral("17.4.1"), store,
        ImmersiveOverlayCoordinator::Services{scheduler, workspace, accessibility, privacy, screens, defaults}};
    std::int64_t window = 0;

    ShownBar() {
        privacy.setTrusted(true);
        defaults.setDouble(OverlayController::fadeDurationKey, 0);
        safari.launch();
        SimulatedSafari::Window w;
        w.bounds = {100, 50, 1300, 850};
        for (int i = 0; i < 12; ++i)
            w.tabs.push_back({QStringLiteral("Tab %1").arg(i), QStringLiteral("https://%1.example/").arg(i)});
        window = safari.addWindow(std::move(w));
        safari.activate();
        scheduler.runUntilIdle();
        coordinator.setEnabled(true);
        scheduler.runUntilIdle();
        coordinator.handleWindowSample(sample(0));
    }
    ~ShownBar() { coordinator.setEnabled(false); }

    SafariWindowSample sample(double dx) const {
        SafariWindowSample s;
        s.frame = QRectF(100 + dx, 50, 1200, 800);
        s.predictedFrame = s.frame;
        s.number = window;
        return s;
    }
};

// One window sample that moves the window by a point: one evaluation from the cached detection,
// and the bar's panel moved along.
void BM_CoordinatorEvaluatesSample(benchmark::State &state) {
    ensureWidgetApplication();
    ShownBar bar;
    if (!bar.coordinator.detection() || bar.coordinator.hiddenReason() || !bar.coordinator.trackedWindowNumber())
        state.SkipWithError("the bar is not shown over a detected row");
    const SafariWindowSample samples[] = {bar.sample(1), bar.sample(0)};
    const int before = bar.coordinator.evaluationCount();
    std::size_t i = 0;
    for (auto _ : state) bar.coordinator.handleWindowSample(samples[i++ % 2]);
    if (bar.coordinator.evaluationCount() - before != int(state.iterations()))
        state.SkipWithError("a sample went without an evaluation");
    if (bar.coordinator.hiddenReason()) state.SkipWithError("the bar was hidden");
}
BENCHMARK(BM_CoordinatorEvaluatesSample)->Unit(benchmark::kMicrosecond);

}  // namespace
