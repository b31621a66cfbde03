#include "PerItem.h"
#include "TabCorpus.h"

#include "Store/TabViewProvider.h"

#include <benchmark/benchmark.h>

using namespace ondrake;

namespace {

void perRow(benchmark::State &state) {
    state.counters["per_row"] = bench::perItem(double(state.range(0)));
}

void BM_AgeSections(benchmark::State &state) {
    const bench::TabCorpus corpus(state.range(0));
    const auto calendar = TabViewProvider::Calendar{QTimeZone("Europe/Berlin"), Qt::Monday};
    const auto lookup = corpus.lookup();
    for (auto _ : state) benchmark::DoNotOptimize(TabViewProvider::ageSections(corpus.tabs, corpus.now, lookup, calendar));
    perRow(state);
}
BENCHMARK(BM_AgeSections)->Arg(500)->Arg(5000)->Unit(benchmark::kMicrosecond);

void BM_DomainSections(benchmark::State &state) {
    const bench::TabCorpus corpus(state.range(0));
    for (auto _ : state) benchmark::DoNotOptimize(TabViewProvider::domainSections(corpus.tabs));
    perRow(state);
}
BENCHMARK(BM_DomainSections)->Arg(500)->Arg(5000)->Unit(benchmark::kMicrosecond);

void BM_GroupSections(benchmark::State &state) {
    const bench::TabCorpus corpus(state.range(0));
    const auto lookup = corpus.lookup();
    for (auto _ : state)
        benchmark::DoNotOptimize(TabViewProvider::groupSections(corpus.tabs, corpus.groups, lookup));
    perRow(state);
}
BENCHMARK(BM_GroupSections)->Arg(500)->Arg(5000)->Unit(benchmark::kMicrosecond);

}  // namespace
