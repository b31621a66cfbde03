#include "Log.h"
#include "Sync/PendingRestore.h"

#include "PerItem.h"

#include <benchmark/benchmark.h>

using namespace ondrake;

namespace {

// A window of n tabs whose last tenth was just reopened, each to go back under one of the first
// tabs: the placement pass that follows reopening or importing a long list.
void BM_PlacementPassAfterALongReopen(benchmark::State &state) {
    const auto count = state.range(0);
    const Logger logger(QStringLiteral("Bench"));
    SafariWindow window{1, 1, true, {}};
    TabIdentityMapping mapping;
    std::vector<OndrakeID> ids;
    for (std::int64_t i = 0; i < count; ++i) {
        const QString session = QStringLiteral("tab-%1").arg(i);
        window.tabs.push_back(SafariTab{session, 1, i + 1, session, std::nullopt, false, std::nullopt});
        ids.emplace_back();
        mapping.insert(session, ids.back());
    }
    std::vector<PendingRestore> restores;
    const auto reopened = count / 10;
    for (std::int64_t i = count - reopened; i < count; ++i)
        restores.push_back(PendingRestore{ids[std::size_t(i)], ids[std::size_t(i % 50)], std::nullopt});
    const std::vector<SafariWindow> windows{window};
    for (auto _ : state) {
        auto waiting = restores;
        auto moves = advancePendingRestores(waiting, windows, mapping, logger);
        benchmark::DoNotOptimize(moves);
    }
    state.counters["per_tab"] = bench::perItem(double(count));
}
BENCHMARK(BM_PlacementPassAfterALongReopen)->Arg(500)->Arg(5000)->Unit(benchmark::kMillisecond);

}  // namespace
