#include "CoordinatorWorld.h"
#include "WidgetApplication.h"

#include <benchmark/benchmark.h>

using namespace ondrake;

namespace {

// Safari in front with one window of twelve tabs whose tab row has been found; the bar is shown over it.
struct ShownBar : bench::WithWidgetApplication, test::CoordinatorWorld {
    std::int64_t window = 0;

    ShownBar() {
        std::vector<SimulatedSafari::Tab> tabs;
        for (int i = 0; i < 12; ++i)
            tabs.push_back({QStringLiteral("Tab %1").arg(i), QStringLiteral("https://%1.example/").arg(i)});
        window = start(std::move(tabs));
        track(window);
    }
    ~ShownBar() { coordinator.setEnabled(false); }

    SafariWindowSample sample(double dx) const { return CoordinatorWorld::sample(window, kWindowFrame.translated(dx, 0)); }
};

// One window sample that moves the window by a point: one evaluation from the cached detection,
// and the bar's panel moved along.
void BM_CoordinatorEvaluatesSample(benchmark::State &state) {
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
