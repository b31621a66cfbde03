#include "Async.h"
#include "LongSession.h"
#include "Browser/SafariController.h"
#include "ManualScheduler.h"
#include "PerItem.h"
#include "SimulatedSafari.h"
#include "SimulatedScriptEngine.h"
#include "SimulatedWorkspace.h"
#include "Sync/ResolvedSnapshot.h"
#include "Sync/TabEventDiffer.h"
#include "Sync/TabIdentityResolver.h"
#include "Sync/TabRecordBook.h"

#include <benchmark/benchmark.h>

using namespace ondrake;

namespace {

// The store's synchronisation steps for one poll the controller has returned.
struct Pipeline {
    TabIdentityResolver resolver;
    TabEventDiffer differ;
    TabRecordBook book;
    ResolvedSnapshot last;
    ResolvedTabCache resolvedTabs;
    QDateTime now = QDateTime(QDate(2026, 1, 1), QTime(0, 0), Qt::UTC);

    std::size_t poll(const std::vector<SafariWindow> &windows) {
        const auto mapping = resolver.resolve(windows);
        auto current = makeResolvedSnapshot(windows, mapping, &resolvedTabs);
        const auto events =
            differ.diff(last.tabs, last.windowIDs, current.tabs, current.windowIDs, current.browserWasRunning);
        if (!events.empty()) book.apply(events, current.tabs, now, true);
        std::swap(last, current);
        resolvedTabs.recycle(std::move(current.tabs));
        return events.size();
    }
};

void BM_Poll(benchmark::State &state) {
    const auto tabs = state.range(0);
    const bool changing = state.range(1) != 0;
    // Going back and forth between the two polls changes nothing, or 1% of the tabs each time.
    const auto polls = bench::twoPolls(tabs, changing);
    Pipeline pipeline;
    pipeline.poll(polls[0]);  // every tab created once
    pipeline.poll(polls[1]);

    std::size_t events = 0;
    std::size_t next = 1;
    for (auto _ : state) {
        next = 1 - next;
        events += pipeline.poll(polls[next]);
    }
    state.counters["events"] = benchmark::Counter(double(events), benchmark::Counter::kAvgIterations);
    state.counters["per_tab"] = bench::perItem(double(tabs));
}
BENCHMARK(BM_Poll)->Apply(bench::twoPollSizes)->Unit(benchmark::kMicrosecond);

}  // namespace
