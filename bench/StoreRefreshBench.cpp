#include "LongSession.h"
#include "NoNetwork.h"
#include "PerItem.h"
#include "StorePlatform.h"

#include <benchmark/benchmark.h>

using namespace ondrake;

namespace {

// The measured steps, kept out of line so that an instruction count can single them out.
[[gnu::noinline]] void measuredPoll(test::MockBrowserStore &world) { world.poll(); }
[[gnu::noinline]] void measuredRestart(test::MockBrowserStore &world) {
    world.workspace.terminate(safariBundleIdentifier());
    world.poll();
    world.workspace.launch(safariBundleIdentifier());
    world.poll();
}

// One whole refresh of the store: snapshot through the in-memory adapter, resolve, diff, apply,
// publish. Going back and forth between the two polls changes nothing, or 1% of the tabs each time.
void BM_StoreRefresh(benchmark::State &state) {
    const auto tabs = state.range(0);
    const bool changing = state.range(1) != 0;
    const bool twins = state.range(2) != 0;
    const auto polls = bench::twoPolls(tabs, changing, twins);

    test::MockBrowserStore world(polls[0], std::make_shared<test::NoNetwork>());
    auto &browser = *world.browser;
    world.showAllWindows();
    world.poll();  // every tab created once
    browser.setWindows(polls[1]);
    world.poll();

    std::size_t next = 1;
    for (auto _ : state) {
        if (changing) {
            state.PauseTiming();
            next = 1 - next;
            browser.setWindows(polls[next]);
            state.ResumeTiming();
        }
        measuredPoll(world);
    }
    state.counters["per_tab"] = bench::perItem(double(tabs));
}
BENCHMARK(BM_StoreRefresh)
    ->ArgNames({"tabs", "changed", "twins"})
    ->Args({1000, 0, 0})
    ->Args({2000, 0, 0})
    ->Args({10000, 0, 0})
    ->Args({1000, 1, 0})
    ->Args({10000, 1, 0})
    ->Args({1000, 0, 20})
    ->Args({10000, 0, 20})
    ->Args({1000, 1, 20})
    ->Args({10000, 1, 20})
    ->Unit(benchmark::kMicrosecond);

// The browser quits and comes back with the same session: the store unbinds every record, then
// each tab of the next poll takes its record back from the pool.
void BM_StoreReattach(benchmark::State &state) {
    const auto tabs = state.range(0);
    const bool twins = state.range(1) != 0;
    const auto polls = bench::twoPolls(tabs, false, twins);

    test::MockBrowserStore world(polls[0], std::make_shared<test::NoNetwork>());
    world.showAllWindows();
    world.poll();
    const auto records = world.store->records().size();

    for (auto _ : state) measuredRestart(world);
    if (world.store->records().size() != records) state.SkipWithError("a restart doubled records");
    state.counters["per_tab"] = bench::perItem(double(tabs));
}
BENCHMARK(BM_StoreReattach)
    ->ArgNames({"tabs", "twins"})
    ->Args({1000, 0})
    ->Args({10000, 0})
    ->Args({1000, 20})
    ->Args({10000, 20})
    ->Unit(benchmark::kMicrosecond);

}  // namespace
