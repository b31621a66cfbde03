#include "SessionIdentities/OrderKeepingMatching.h"
#include "SessionPolls.h"

#include <benchmark/benchmark.h>

#include <random>

using namespace ondrake;
using bench::alternatePolls;
using bench::frontWindow;

namespace {

// Every page of a window retitles in one poll, as a session does whose tabs finish loading
// together; a quarter of the tabs are twins over ten pages, which retitle together.
void BM_SessionIdsEveryPageRetitled(benchmark::State &state) {
    const auto tabs = state.range(0);
    std::vector<SafariSnapshot::RawWindow> polls;
    for (const auto *suffix : {"", " (1)"}) {
        std::vector<std::pair<QString, QString>> shown;
        for (std::int64_t t = 0; t < tabs; ++t) {
            const auto page = t % 4 == 0 ? QStringLiteral("twin%1").arg(t % 10) : QStringLiteral("page%1").arg(t);
            shown.emplace_back(page + QLatin1String(suffix), QStringLiteral("https://%1.example/").arg(page));
        }
        polls.push_back(frontWindow(shown));
    }
    alternatePolls(state, polls);
}
BENCHMARK(BM_SessionIdsEveryPageRetitled)->Arg(2000)->Arg(16000)->Unit(benchmark::kMillisecond);

// A window of two pages in random order; in one poll the tabs of the first that each stand alone
// between two of the second close, about one tab in seventeen, and open again at the next.
void BM_SessionIdsTwoPagesLargeChange(benchmark::State &state) {
    const auto tabs = state.range(0);
    std::mt19937 random(5);
    std::vector<bool> isA(static_cast<std::size_t>(tabs));
    for (auto &&a : isA) a = random() % 2 == 0;
    std::vector<std::pair<QString, QString>> all;
    std::vector<std::pair<QString, QString>> left;
    const std::pair<QString, QString> a{QStringLiteral("A"), QStringLiteral("https://a.example/")};
    const std::pair<QString, QString> b{QStringLiteral("B"), QStringLiteral("https://b.example/")};
    for (std::size_t t = 0; t < isA.size(); ++t) {
        all.push_back(isA[t] ? a : b);
        const bool alone = isA[t] && t > 0 && t + 1 < isA.size() && !isA[t - 1] && !isA[t + 1];
        if (!(alone && random() % 100 < 48)) left.push_back(all.back());
    }
    state.counters["closed"] = double(all.size() - left.size());
    alternatePolls(state, {frontWindow(all), frontWindow(left)});
}
BENCHMARK(BM_SessionIdsTwoPagesLargeChange)->Arg(4000)->Arg(16000)->Unit(benchmark::kMillisecond);

// Tabs of one page paired with places past the exact table's size: eight thousand rows, each
// nearest to every second of sixteen thousand columns, none at no cost.
void BM_OrderKeepingMatchingPastTable(benchmark::State &state) {
    const auto rows = std::size_t(state.range(0));
    const auto columns = 2 * rows;
    for (auto _ : state) {
        auto matching = orderKeepingMatching(rows, columns, [](std::size_t r, std::size_t c) {
            return positionDistance(std::int64_t(2 * c + 1), std::int64_t(4 * r));
        });
        benchmark::DoNotOptimize(matching);
    }
}
BENCHMARK(BM_OrderKeepingMatchingPastTable)->Arg(8000)->Unit(benchmark::kMillisecond);

}  // namespace
