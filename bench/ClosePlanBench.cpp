#include "Store/TabCommands.h"

#include "PerItem.h"

#include <benchmark/benchmark.h>

using namespace ondrake;

namespace {

// One window of n tabs in chains of ten, every tab asked for, closing with the nested tabs: what
// select-all and Delete hand the planner.
void BM_ClosePlanWithNestedTabs(benchmark::State &state) {
    const auto count = state.range(0);
    SafariWindow window{1, 1, true, {}};
    std::vector<QString> asked;
    for (std::int64_t i = 0; i < count; ++i) {
        const QString id = QStringLiteral("tab-%1").arg(i);
        std::optional<QString> parent;
        if (i % 10 != 0) parent = QStringLiteral("tab-%1").arg(i - 1);
        window.tabs.push_back(SafariTab{id, 1, i + 1, id, std::nullopt, false, parent});
        asked.push_back(id);
    }
    const std::vector<SafariWindow> windows{window};
    for (auto _ : state) {
        auto plan = TabCommands::closeScope(asked, windows, ParentCloseBehavior::parentAndDescendants, {}, {});
        benchmark::DoNotOptimize(plan);
    }
    state.counters["per_tab"] = bench::perItem(double(count));
}
BENCHMARK(BM_ClosePlanWithNestedTabs)->Arg(500)->Arg(5000)->Unit(benchmark::kMillisecond);

}  // namespace
