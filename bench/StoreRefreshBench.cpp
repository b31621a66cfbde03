#include "LongSession.h"
#include "NoNetwork.h"
#include "PerItem.h"
#include "StorePlatform.h"

#include <benchmark/benchmark.h>

using namespace ondrake;

namespace {

// One whole refresh of the store: snapshot through the in-memory adapter, resolve, diff, apply,
// publish. Going back and forth between the two polls changes nothing, or 1% of the tabs each time.
void BM_StoreRefresh(benchmark::State &state) {
    const auto tabs = state.range(0);
    const bool changing = state.range(1) != 0;
    const auto polls = bench::twoPolls(tabs, changing);

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
        world.poll();
    }
    state.counters["per_tab"] = bench::perItem(double(tabs));
}
BENCHMARK(BM_StoreRefresh)->Apply(bench::twoPollSizes)->Unit(benchmark::kMicrosecond);

}  // namespace
