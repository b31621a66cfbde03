#include "SessionPolls.h"

#include <benchmark/benchmark.h>

#include <algorithm>
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

}  // namespace
