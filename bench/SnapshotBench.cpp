#include "Async.h"
#include "LongSession.h"
#include "Browser/SafariController.h"
#include "ManualScheduler.h"
#include "PerItem.h"
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
    bench::LongSession session(tabs, state.range(1) != 0);
    auto &[scheduler, workspace, safari, engine, controller] = session;
    runToCompletion(scheduler, controller.snapshot());  // compiles, gives the first ids

    for (auto _ : state) {
        auto result = runToCompletion(scheduler, controller.snapshot());
        benchmark::DoNotOptimize(result);
    }
    state.counters["per_tab"] = bench::perItem(double(tabs));
}
BENCHMARK(BM_Snapshot)
    ->ArgNames({"tabs", "twins"})
    ->Args({1000, 0})
    ->Args({2000, 0})
    ->Args({10000, 0})
    ->Args({10000, 20})
    ->Unit(benchmark::kMicrosecond);

}  // namespace
