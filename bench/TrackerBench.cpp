// One measurement of the browser's front window over a window list of 30 windows.

#include "Shell/SafariWindowTracker.h"

#include "ManualScheduler.h"
#include "SimulatedFrameClock.h"
#include "SimulatedScreens.h"
#include "SimulatedWindowServer.h"
#include "SimulatedWorkspace.h"

#include <benchmark/benchmark.h>

namespace ondrake {
namespace {

// Ten browser windows among twenty of other applications, the browser's front one in the middle.
struct TrackerWorld {
    ManualScheduler scheduler;
    SimulatedWorkspace workspace{scheduler};
    SimulatedSafari safari{workspace};
    SimulatedWindowServer server{safari, workspace};
    SimulatedScreens screens;
    SimulatedPointer pointer;
    SimulatedFrameClock frameClock{scheduler, screens};
    UserDefaults defaults;
    std::int64_t ownPid = workspace.launch(QStringLiteral("com.ondrake.Ondrake"));
    SafariWindowTracker tracker{{scheduler, server, workspace, pointer, screens, frameClock, defaults, ownPid}};
    int reports = 0;

    TrackerWorld() {
        safari.launch();
        const auto other = workspace.launch(QStringLiteral("com.example.Editor"));
        for (int i = 0; i < 10; ++i) {
            SimulatedSafari::Window w;
            w.bounds = {100.0 + 10 * i, 50.0 + 10 * i, 1100.0 + 10 * i, 850.0};
            w.tabs = {{QStringLiteral("Tab"), QStringLiteral("https://example.com/")}};
            safari.addWindow(w);
        }
        for (int i = 0; i < 20; ++i) {
            WindowInfo info;
            info.layer = i % 5 == 0 ? 25 : 0;
            info.bounds = QRectF(20.0 * i, 30.0 * i, 150.0 + 40 * i, 150.0 + 30 * i);
            info.ownerProcessID = i % 3 == 0 ? ownPid : other;
            info.isOnScreen = true;
            const auto number = server.addWindow(info);
            if (i >= 10) server.orderBack(number);
        }
        scheduler.runUntilIdle();
        tracker.setOnChange([this](const auto &) { ++reports; });
        tracker.start();
        tracker.measure();
    }
};

void BM_TrackerSampleFullScan(benchmark::State &state) {
    TrackerWorld world;
    world.tracker.setOrderingWatchUntil(1e9);  // every measurement scans the whole list
    for (auto _ : state) world.tracker.measure();
    benchmark::DoNotOptimize(world.reports);
}
BENCHMARK(BM_TrackerSampleFullScan);

void BM_TrackerSampleTrackedWindow(benchmark::State &state) {
    TrackerWorld world;  // the clock stands still: between full scans only the tracked window is asked for
    for (auto _ : state) world.tracker.measure();
    benchmark::DoNotOptimize(world.reports);
}
BENCHMARK(BM_TrackerSampleTrackedWindow);

}  // namespace
}  // namespace ondrake
