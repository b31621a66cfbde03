#include "Async.h"
#include "HeapPeak.h"
#include "LongSession.h"
#include "Browser/SafariController.h"
#include "ManualScheduler.h"
#include "PerItem.h"
#include "SimulatedSafari.h"
#include "SimulatedScriptEngine.h"
#include "SimulatedWorkspace.h"
#include "SessionPolls.h"

#include <benchmark/benchmark.h>

using namespace ondrake;
using bench::frontWindow;

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

// One window of `tabs` tabs showing one page, a blank tab opening and closing before them on
// alternate polls, so that every twin moves at every poll and none stands where it stood.
// "peak/tab" is the most heap one such poll held at once, per tab.
void BM_SessionIdsShiftedTwins(benchmark::State &state) {
    const auto tabs = state.range(0);
    std::vector<SafariSnapshot::RawWindow> polls(2);
    for (std::size_t p = 0; p < polls.size(); ++p) {
        auto &window = polls[p] = frontWindow();
        if (p == 1) window.tabs.push_back({1, QStringLiteral("New Tab"), QString()});
        for (std::int64_t t = 0; t < tabs; ++t)
            window.tabs.push_back({std::int64_t(window.tabs.size()) + 1, QStringLiteral("Inbox"),
                                   QStringLiteral("https://mail.example/inbox")});
    }
    TabIdentityRegistry registry;
    registry.assign({polls[0]});
    double peakPerTab = 0;
    {
        const bench::HeapPeak peak;
        registry.assign({polls[1]});
        peakPerTab = double(peak.bytes()) / double(tabs);
    }
    std::size_t next = 0;
    for (auto _ : state) {
        auto result = registry.assign({polls[next]});
        benchmark::DoNotOptimize(result);
        next = 1 - next;
    }
    state.counters["per_tab"] = bench::perItem(double(tabs));
    state.counters["peak/tab"] = peakPerTab;
}
BENCHMARK(BM_SessionIdsShiftedTwins)->Arg(100)->Arg(1000)->Arg(4000)->Unit(benchmark::kMicrosecond);

// One window of `tabs` tabs showing one page, polled again unchanged: the usual poll of a page
// open thousands of times.
void BM_SessionIdsOnePage(benchmark::State &state) {
    const auto tabs = state.range(0);
    auto window = frontWindow();
    for (std::int64_t t = 0; t < tabs; ++t)
        window.tabs.push_back({t + 1, QStringLiteral("Inbox"), QStringLiteral("https://mail.example/inbox")});
    TabIdentityRegistry registry;
    registry.assign({window});
    for (auto _ : state) {
        auto result = registry.assign({window});
        benchmark::DoNotOptimize(result);
    }
    state.counters["per_tab"] = bench::perItem(double(tabs));
}
BENCHMARK(BM_SessionIdsOnePage)->Arg(1000)->Arg(16000)->Unit(benchmark::kMicrosecond);

// One window of 16,000 tabs, a quarter of them twins over ten pages, with `opened` tabs opening
// in its middle and closing again at every other poll: a folder of bookmarks, or an afternoon of
// browsing seen in one poll once the sidebar shows again.
void BM_SessionIdsLargeChange(benchmark::State &state) {
    const auto opened = state.range(0);
    constexpr std::int64_t kTabs = 16000;
    std::vector<SafariSnapshot::RawWindow> polls(2);
    for (std::size_t p = 0; p < polls.size(); ++p) {
        auto &window = polls[p] = frontWindow();
        for (std::int64_t t = 0; t < kTabs; ++t) {
            if (p == 1 && t == kTabs / 2)
                for (std::int64_t k = 0; k < opened; ++k)
                    window.tabs.push_back({std::int64_t(window.tabs.size()) + 1, QStringLiteral("Opened %1").arg(k),
                                           QStringLiteral("https://opened.example/%1").arg(k)});
            const auto page = t % 4 == 0 ? QStringLiteral("twin%1").arg(t % 10) : QStringLiteral("page%1").arg(t);
            window.tabs.push_back({std::int64_t(window.tabs.size()) + 1, page, QStringLiteral("https://%1.example/").arg(page)});
        }
    }
    bench::alternatePolls(state, polls);
}
BENCHMARK(BM_SessionIdsLargeChange)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace
