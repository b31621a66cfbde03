#include "SessionPolls.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <iterator>
#include <random>

using namespace ondrake;
using bench::alternatePolls;
using bench::frontWindow;

namespace {

using Tabs = std::vector<std::pair<QString, QString>>;

// A window of pages shown once, or of a few pages each shown many times, in random order.
Tabs window(std::int64_t tabs, std::int64_t pages, std::mt19937 &random) {
    std::vector<std::int64_t> once(static_cast<std::size_t>(tabs));
    for (std::size_t t = 0; t < once.size(); ++t) once[t] = std::int64_t(t);
    std::shuffle(once.begin(), once.end(), random);
    Tabs shown;
    for (std::int64_t t = 0; t < tabs; ++t) {
        const auto page = pages == 0 ? once[std::size_t(t)] : std::int64_t(random() % std::uint64_t(pages));
        shown.emplace_back(QStringLiteral("Page %1").arg(page), QStringLiteral("https://p%1.example/").arg(page, 5, 10, QLatin1Char('0')));
    }
    return shown;
}

enum Change { reversed, shuffled, sortedByAddress, firstHalfAfterSecond, everyOtherClosed };

// One poll after a large change of the whole window, back and forth: reversed, shuffled, sorted
// by address, the first half moved after the second, or every other tab closed.
void BM_SessionIdsWholeWindowChange(benchmark::State &state) {
    std::mt19937 random(9);
    const auto before = window(state.range(0), state.range(1), random);
    auto after = before;
    switch (Change(state.range(2))) {
    case reversed: std::reverse(after.begin(), after.end()); break;
    case shuffled: std::shuffle(after.begin(), after.end(), random); break;
    case sortedByAddress:
        std::stable_sort(after.begin(), after.end(), [](const auto &a, const auto &b) { return a.second < b.second; });
        break;
    case firstHalfAfterSecond: std::rotate(after.begin(), after.begin() + std::ptrdiff_t(after.size() / 2), after.end()); break;
    case everyOtherClosed: {
        Tabs kept;
        for (std::size_t t = 0; t < after.size(); t += 2) kept.push_back(after[t]);
        after = std::move(kept);
        break;
    }
    }
    alternatePolls(state, {frontWindow(before), frontWindow(after)});
}
void largeChanges(benchmark::internal::Benchmark *b) {
    b->ArgNames({"tabs", "pages", "change"});
    for (const std::int64_t tabs : {2000, 16000}) {
        for (const std::int64_t pages : {0, 2, 5})
            for (const auto change : {reversed, shuffled, sortedByAddress, firstHalfAfterSecond}) b->Args({tabs, pages, change});
        b->Args({tabs, 2, everyOtherClosed});
    }
}
BENCHMARK(BM_SessionIdsWholeWindowChange)->Apply(largeChanges)->Unit(benchmark::kMillisecond);

std::pair<QString, QString> once(std::int64_t k) {
    return {QStringLiteral("Once %1").arg(k), QStringLiteral("https://once%1.example/").arg(k)};
}

// A long run of one page between pages shown once: a tab of the page opens active right after
// the active one in the middle of the run, while a tab near the end moves forty places. The
// counter tells how many of the run's tabs kept their ids.
void BM_SessionIdsTwinOpenedInALongRun(benchmark::State &state) {
    const auto tabs = state.range(0);
    const std::pair<QString, QString> twin{QStringLiteral("Twin"), QStringLiteral("https://twin.example/")};
    Tabs before;
    for (std::int64_t k = 0; k < 100; ++k) before.push_back(once(k));
    for (std::int64_t k = 0; k < tabs - 200; ++k) before.push_back(twin);
    for (std::int64_t k = 100; k < 200; ++k) before.push_back(once(k));
    const auto active = tabs / 2;
    auto after = before;
    after.insert(after.begin() + std::ptrdiff_t(active + 1), twin);
    const auto moving = after.end() - 5;
    std::rotate(moving - 40, moving, moving + 1);
    auto first = frontWindow(before);
    first.currentTabIndex = active + 1;
    auto second = frontWindow(after);
    second.currentTabIndex = active + 2;

    TabIdentityRegistry registry;
    const auto was = registry.assign({first});
    const auto now = registry.assign({second});
    std::int64_t kept = 0;
    for (std::int64_t k = 100; k < tabs - 100; ++k) {
        const auto at = k <= active ? k : k + 1;
        kept += now[0].tabs[std::size_t(at)].id == was[0].tabs[std::size_t(k)].id;
    }
    state.counters["twins_kept"] = double(kept);
    alternatePolls(state, {first, second});
}
BENCHMARK(BM_SessionIdsTwinOpenedInALongRun)->Arg(2000)->Arg(8000)->Arg(16000)->Unit(benchmark::kMillisecond);

// A window of ten pages in random order: one tab in a hundred closes and as many open, at
// scattered places, in one poll.
void BM_SessionIdsScatteredChanges(benchmark::State &state) {
    std::mt19937 random(11);
    const auto before = window(state.range(0), 10, random);
    auto after = before;
    const auto changes = std::size_t(state.range(0) / 100);
    for (std::size_t k = 0; k < changes; ++k) after.erase(after.begin() + std::ptrdiff_t(random() % after.size()));
    for (std::size_t k = 0; k < changes; ++k)
        after.insert(after.begin() + std::ptrdiff_t(random() % (after.size() + 1)), before[random() % before.size()]);
    alternatePolls(state, {frontWindow(before), frontWindow(after)});
}
BENCHMARK(BM_SessionIdsScatteredChanges)->Arg(2000)->Arg(4000)->Arg(8000)->Arg(16000)->Unit(benchmark::kMillisecond);

}  // namespace
