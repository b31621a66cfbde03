#include "Async.h"
#include "LongSession.h"
#include "Browser/MockSafariController.h"
#include "ManualScheduler.h"
#include "SimulatedPrivacy.h"
#include "SimulatedWorkspace.h"
#include "Store/TabStore.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace ondrake;

namespace {

// A machine without a network: every fetch fails at once.
struct NoNetwork final : HttpClient {
    QCoro::Task<HttpResponse> get(QUrl, qint64) override { co_return HttpResponse::transportFailure(); }
};

// One whole refresh of the store: snapshot through the in-memory adapter, resolve, diff, apply,
// publish. Going back and forth between the two polls changes nothing, or 1% of the tabs each time.
void BM_StoreRefresh(benchmark::State &state) {
    const auto tabs = state.range(0);
    const bool changing = state.range(1) != 0;
    const auto polls = bench::twoPolls(tabs, changing);

    QTemporaryDir folder;
    const auto paths = Paths::under(folder.path());
    ManualScheduler scheduler;
    SimulatedWorkspace workspace(scheduler);
    workspace.launch(safariBundleIdentifier());
    SimulatedPrivacy privacy(workspace);
    UserDefaults defaults;
    defaults.setString(kSidebarWindowScopeKey, QStringLiteral("allWindows"));
    AutomationPermission permission(workspace, privacy, defaults);
    MockSafariController browser(BrowserCapabilities(0x2C3E3), polls[0]);
    TabStore store(browser, TabRecordFileStore(paths, Logger(QStringLiteral("Persistence"))),
                   TabStore::Services{scheduler, workspace, permission, defaults, paths,
                                      std::make_shared<NoNetwork>(), {}});
    runToCompletion(scheduler, store.requestRefresh());  // every tab created once
    browser.setWindows(polls[1]);
    runToCompletion(scheduler, store.requestRefresh());

    std::size_t next = 1;
    for (auto _ : state) {
        if (changing) {
            state.PauseTiming();
            next = 1 - next;
            browser.setWindows(polls[next]);
            state.ResumeTiming();
        }
        runToCompletion(scheduler, store.requestRefresh());
    }
    state.counters["per_tab"] = benchmark::Counter(double(tabs), benchmark::Counter::kIsIterationInvariantRate |
                                                                     benchmark::Counter::kInvert);
}
BENCHMARK(BM_StoreRefresh)
    ->ArgNames({"tabs", "changed"})
    ->Args({1000, 0})
    ->Args({2000, 0})
    ->Args({10000, 0})
    ->Args({1000, 1})
    ->Args({10000, 1})
    ->Unit(benchmark::kMicrosecond);

}  // namespace
