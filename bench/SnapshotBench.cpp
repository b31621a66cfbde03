#include "Async.h"
#include "Browser/SafariController.h"
#include "ManualScheduler.h"
#include "SimulatedSafari.h"
#include "SimulatedScriptEngine.h"
#include "SimulatedWorkspace.h"

#include <benchmark/benchmark.h>

using namespace ondrake;

namespace {

// One poll: the simulated browser builds the reply on the runner's thread, the controller parses
// it, gives session ids and applies the tab tree.
void BM_Snapshot(benchmark::State &state) {
    const auto tabs = state.range(0);
    const std::int64_t windows = 50;
    ManualScheduler scheduler;
    SimulatedWorkspace workspace(scheduler);
    SimulatedSafari safari(workspace);
    SimulatedScriptEngine engine(safari);
    safari.launch();
    for (std::int64_t w = 0; w < windows; ++w) {
        SimulatedSafari::Window window;
        window.id = 100 + w;
        for (std::int64_t t = w; t < tabs; t += windows)
            window.tabs.push_back({QStringLiteral("Page %1 of a long session").arg(t),
                                   QStringLiteral("https://site%1.example/path/to/page?id=%2").arg(t % 97).arg(t)});
        safari.addWindow(std::move(window));
    }
    SafariController controller(engine, scheduler, workspace);
    runToCompletion(scheduler, controller.snapshot());  // compiles, gives the first ids

    for (auto _ : state) {
        auto result = runToCompletion(scheduler, controller.snapshot());
        benchmark::DoNotOptimize(result);
    }
    state.counters["per_tab"] = benchmark::Counter(double(tabs), benchmark::Counter::kIsIterationInvariantRate |
                                                                     benchmark::Counter::kInvert);
}
BENCHMARK(BM_Snapshot)->Arg(1000)->Arg(2000)->Arg(10000)->Unit(benchmark::kMicrosecond);

}  // namespace
