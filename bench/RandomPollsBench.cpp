#include "SessionPolls.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <ctime>
#include <iostream>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

using namespace ondrake;

namespace {

using Page = std::pair<QString, QString>;  // title, address

// How a session's windows are filled.
enum class Mix { once, fewPages, longRuns, twins };
constexpr std::array kMixes{Mix::once, Mix::fewPages, Mix::longRuns, Mix::twins};
const char *name(Mix mix) {
    switch (mix) {
    case Mix::once: return "pages shown once";
    case Mix::fewPages: return "few pages";
    case Mix::longRuns: return "long runs of one page";
    case Mix::twins: return "20% twins";
    }
    return "";
}

// What changes between two polls.
enum class Shape { oneAction, twoActions, severalActions, blockShuffle, reversal, retitlesBesideAnAction, twinBesideActive };
constexpr std::array kShapes{Shape::oneAction,   Shape::twoActions,           Shape::severalActions, Shape::blockShuffle,
                             Shape::reversal,    Shape::retitlesBesideAnAction, Shape::twinBesideActive};
const char *name(Shape shape) {
    switch (shape) {
    case Shape::oneAction: return "one action";
    case Shape::twoActions: return "two actions";
    case Shape::severalActions: return "3-10 actions";
    case Shape::blockShuffle: return "block shuffle";
    case Shape::reversal: return "window reversed";
    case Shape::retitlesBesideAnAction: return "many retitles beside an action";
    case Shape::twinBesideActive: return "twin beside the active tab";
    }
    return "";
}

struct Window {
    std::vector<Page> tabs;
    std::size_t active = 0;
};

// The browser's windows as a person changes them at random; the same for a seed.
class Session {
public:
    Session(std::size_t tabs, std::size_t perWindow, Mix mix, std::uint32_t seed) : random_(seed), mix_(mix) {
        for (std::size_t left = tabs; left > 0;) {
            const auto n = std::min(left, perWindow);
            windows_.push_back(filled(n));
            left -= n;
        }
    }

    std::vector<SafariSnapshot::RawWindow> raw() const {
        std::vector<SafariSnapshot::RawWindow> out;
        out.reserve(windows_.size());
        for (std::size_t w = 0; w < windows_.size(); ++w) {
            auto &window = out.emplace_back();
            window.id = window.index = std::int64_t(w) + 1;
            window.currentTabIndex = std::int64_t(windows_[w].active) + 1;
            window.tabs.reserve(windows_[w].tabs.size());
            for (const auto &[title, url] : windows_[w].tabs)
                window.tabs.push_back({std::int64_t(window.tabs.size()) + 1, title, url});
        }
        return out;
    }

    // Changes the windows by one poll's shape; answers what was done.
    std::string change(Shape shape) {
        auto &window = windows_[pick(windows_.size())];
        std::string made;
        const auto actions = [&](std::size_t count) {
            for (std::size_t k = 0; k < count; ++k) {
                auto &w = k > 0 && windows_.size() > 1 && pick(2) == 0 ? windows_[pick(windows_.size())] : window;
                made += (made.empty() ? "" : ", ") + act(w);
            }
        };
        switch (shape) {
        case Shape::oneAction: actions(1); break;
        case Shape::twoActions: actions(2); break;
        case Shape::severalActions: actions(3 + pick(8)); break;
        case Shape::blockShuffle: made = shuffleBlocks(window); break;
        case Shape::reversal:
            std::reverse(window.tabs.begin(), window.tabs.end());
            window.active = window.tabs.size() - 1 - window.active;
            made = "reversed";
            break;
        case Shape::retitlesBesideAnAction: {
            const auto percent = 5 + pick(26);
            std::size_t count = 0;
            for (auto &tab : window.tabs)
                if (pick(100) < percent) {
                    retitle(tab);
                    ++count;
                }
            made = std::to_string(count) + " retitled, " + act(window);
            break;
        }
        case Shape::twinBesideActive: {
            const bool front = pick(2) == 0;
            window.tabs.insert(window.tabs.begin() + std::ptrdiff_t(window.active + 1), window.tabs[window.active]);
            if (front) ++window.active;
            made = front ? "twin of the active tab opened after it in front" : "twin of the active tab opened after it";
            break;
        }
        }
        return made + " in a window of " + std::to_string(window.tabs.size());
    }

private:
    std::size_t pick(std::size_t n) { return std::size_t(random_() % n); }

    Page fresh() {
        const auto k = ++fresh_;
        return {QStringLiteral("Page %1").arg(k), QStringLiteral("https://p%1.example/").arg(k)};
    }
    static Page shared(std::size_t k) {
        return {QStringLiteral("Shared %1").arg(k), QStringLiteral("https://shared%1.example/inbox").arg(k)};
    }

    Window filled(std::size_t n) {
        Window window;
        while (window.tabs.size() < n) {
            switch (mix_) {
            case Mix::once: window.tabs.push_back(fresh()); break;
            case Mix::fewPages: window.tabs.push_back(shared(pick(5))); break;
            case Mix::longRuns: {
                // Runs of one page an eighth to a quarter of the window long, a few pages between.
                const auto run = std::max<std::size_t>(4, n / 8 + pick(n / 8 + 1));
                window.tabs.insert(window.tabs.end(), std::min(run, n - window.tabs.size()), shared(pick(8)));
                for (auto k = pick(4); k > 0 && window.tabs.size() < n; --k) window.tabs.push_back(fresh());
                break;
            }
            case Mix::twins: window.tabs.push_back(pick(5) == 0 ? shared(pick(10)) : fresh()); break;
            }
        }
        window.active = pick(n);
        return window;
    }

    // A page for a tab to open or go to, as the session's pages go.
    Page pageFor(const Window &window) {
        switch (mix_) {
        case Mix::once: return pick(10) == 0 ? window.tabs[pick(window.tabs.size())] : fresh();
        case Mix::fewPages: return pick(10) == 0 ? fresh() : shared(pick(5));
        case Mix::longRuns: return pick(2) == 0 ? window.tabs[pick(window.tabs.size())] : fresh();
        case Mix::twins: return pick(5) == 0 ? shared(pick(10)) : fresh();
        }
        return fresh();
    }

    void retitle(Page &page) {
        auto &title = page.first;
        if (const auto at = title.lastIndexOf(QLatin1String(" (")); at > 0) title.truncate(at);
        title += QStringLiteral(" (%1)").arg(++fresh_);
    }

    // Mostly a tab or two, now and then a block of up to a quarter of the window.
    std::size_t count(std::size_t n) {
        const auto r = pick(20);
        if (r < 14 || n < 16) return 1;
        if (r < 17) return 2;
        return 3 + pick(std::min<std::size_t>(200, n / 4) - 2);
    }

    std::string act(Window &w) {
        const auto n = w.tabs.size();
        switch (pick(n > 2 ? 7 : 2)) {
        case 0: {
            const auto c = count(n);
            const auto at = pick(n + 1);
            std::vector<Page> opened;
            for (std::size_t k = 0; k < c; ++k) opened.push_back(pageFor(w));
            w.tabs.insert(w.tabs.begin() + std::ptrdiff_t(at), opened.begin(), opened.end());
            if (pick(2) == 0) {
                w.active = pick(2) == 0 ? at : at + c - 1;
                return std::to_string(c) + " opened in front";
            }
            if (w.active >= at) w.active += c;
            return std::to_string(c) + " opened behind";
        }
        case 1: w.active = pick(n); return "activated";
        case 2: {
            const auto c = std::min(count(n), n - 1);
            const auto at = pick(n - c + 1);
            w.tabs.erase(w.tabs.begin() + std::ptrdiff_t(at), w.tabs.begin() + std::ptrdiff_t(at + c));
            if (w.active >= at + c) w.active -= c;
            else if (w.active >= at) w.active = at < w.tabs.size() ? at : at - 1;
            return std::to_string(c) + " closed";
        }
        case 3: w.tabs[pick(n)] = pageFor(w); return "went elsewhere";
        case 4: retitle(w.tabs[pick(n)]); return "retitled";
        default: {
            const auto c = std::min(count(n), n - 1);
            const auto at = pick(n - c + 1);
            const auto to = pick(n - c + 1);
            std::vector<Page> block(w.tabs.begin() + std::ptrdiff_t(at), w.tabs.begin() + std::ptrdiff_t(at + c));
            auto activeAt = w.active;
            if (activeAt >= at && activeAt < at + c) activeAt = to + (activeAt - at);
            else {
                if (activeAt > at) activeAt -= c;
                if (activeAt >= to) activeAt += c;
            }
            w.tabs.erase(w.tabs.begin() + std::ptrdiff_t(at), w.tabs.begin() + std::ptrdiff_t(at + c));
            w.tabs.insert(w.tabs.begin() + std::ptrdiff_t(to), block.begin(), block.end());
            w.active = activeAt;
            return std::to_string(c) + " dragged " + std::to_string(std::max(at, to) - std::min(at, to)) + " places";
        }
        }
    }

    std::string shuffleBlocks(Window &w) {
        const auto n = w.tabs.size();
        const auto blocks = std::min<std::size_t>(n, 3 + pick(6));
        std::vector<std::size_t> cuts{0, n};
        while (cuts.size() < blocks + 1) {
            const auto at = 1 + pick(n - 1);
            if (std::find(cuts.begin(), cuts.end(), at) == cuts.end()) cuts.push_back(at);
        }
        std::sort(cuts.begin(), cuts.end());
        std::vector<std::size_t> order(blocks);
        for (std::size_t b = 0; b < blocks; ++b) order[b] = b;
        while (std::is_sorted(order.begin(), order.end())) std::shuffle(order.begin(), order.end(), random_);
        std::vector<Page> tabs;
        tabs.reserve(n);
        std::size_t active = 0;
        for (const auto b : order) {
            if (w.active >= cuts[b] && w.active < cuts[b + 1]) active = tabs.size() + (w.active - cuts[b]);
            tabs.insert(tabs.end(), w.tabs.begin() + std::ptrdiff_t(cuts[b]), w.tabs.begin() + std::ptrdiff_t(cuts[b + 1]));
        }
        w.tabs = std::move(tabs);
        w.active = active;
        return std::to_string(blocks) + " blocks shuffled";
    }

    std::mt19937 random_;
    Mix mix_;
    int fresh_ = 0;
    std::vector<Window> windows_;
};

double threadMilliseconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// Builds where the registry counts no readings over budget answer nothing.
template<typename Registry>
std::optional<std::uint64_t> readingsOverBudget(const Registry &registry) {
    if constexpr (requires { registry.readingsOverBudget(); }) return registry.readingsOverBudget();
    else return std::nullopt;
}

constexpr std::size_t kPollsPerMix = 35;
std::uint32_t seedOf(std::size_t tabs, std::size_t perWindow, std::size_t mix) {
    return std::uint32_t(1000 * tabs + 10 * perWindow + mix);
}

// Chains of random polls of every shape, each through one registry: a chain for each way of
// filling the windows, all tabs in one window or in windows of 80. Each poll is timed on the
// thread's clock alone; the counters give the median, the 99th percentile and the slowest, in
// milliseconds, and the label the readings over budget and the slowest poll's shape.
void BM_SessionIdsRandomPolls(benchmark::State &state) {
    const auto tabs = std::size_t(state.range(0));
    const auto perWindow = state.range(1) == 0 ? tabs : std::size_t(state.range(1));
    struct Poll {
        double ms;
        std::string what;
    };
    std::vector<Poll> polls;
    std::array<std::pair<double, std::string>, kShapes.size()> slowestOfShape{};  // and where, to be run again
    std::optional<std::uint64_t> overBudget;
    for (auto _ : state) {
        for (std::size_t m = 0; m < kMixes.size(); ++m) {
            const auto seed = seedOf(tabs, perWindow, m);
            Session session(tabs, perWindow, kMixes[m], seed);
            TabIdentityRegistry registry;
            registry.assign(session.raw());
            const auto before = readingsOverBudget(registry);
            for (std::size_t p = 0; p < kPollsPerMix; ++p) {
                const auto shape = kShapes[p % kShapes.size()];
                const auto made = session.change(shape);
                const auto windows = session.raw();
                const auto start = threadMilliseconds();
                auto result = registry.assign(windows);
                const auto ms = threadMilliseconds() - start;
                benchmark::DoNotOptimize(result);
                auto &slowest = slowestOfShape[p % kShapes.size()];
                if (ms > slowest.first) slowest = {ms, "mix " + std::to_string(m) + " poll " + std::to_string(p + 1)};
                polls.push_back({ms, std::string(name(kMixes[m])) + " (mix " + std::to_string(m) + "), poll " +
                                         std::to_string(p + 1) + ", " + name(shape) + ": " + made});
            }
            if (const auto after = readingsOverBudget(registry)) overBudget = overBudget.value_or(0) + (*after - *before);
        }
    }
    std::sort(polls.begin(), polls.end(), [](const Poll &a, const Poll &b) { return a.ms < b.ms; });
    const auto at = [&](double q) { return polls[std::min(polls.size() - 1, std::size_t(std::ceil(q * double(polls.size()))) - 1)].ms; };
    state.counters["median_ms"] = at(0.5);
    state.counters["p99_ms"] = at(0.99);
    state.counters["max_ms"] = polls.back().ms;
    state.counters["polls"] = double(polls.size());
    if (overBudget) state.counters["over_budget"] = double(*overBudget);
    state.SetLabel("over budget " + (overBudget ? std::to_string(*overBudget) : std::string("-")) + "; slowest: " + polls.back().what);
    std::cerr << "  slowest of each shape, " << tabs << " tabs, " << perWindow << " a window:";
    for (std::size_t s = 0; s < kShapes.size(); ++s)
        std::cerr << (s ? "; " : " ") << name(kShapes[s]) << " " << slowestOfShape[s].first << " ms (" << slowestOfShape[s].second << ")";
    std::cerr << "\n";
}
void randomPollSizes(benchmark::internal::Benchmark *b) {
    b->ArgNames({"tabs", "per_window"});
    for (const std::int64_t perWindow : {0, 80})
        for (const std::int64_t tabs : {2000, 4000, 8000, 16000, 32000}) b->Args({tabs, perWindow});
}
BENCHMARK(BM_SessionIdsRandomPolls)->Apply(randomPollSizes)->Iterations(1)->Unit(benchmark::kMillisecond);

// One poll of a chain above again, back and forth with the one before it, through a registry
// that saw only those two: to follow up a slow one. Those given are slow polls the chains found,
// among them two actions in a window of 80.
void BM_SessionIdsRandomPollAgain(benchmark::State &state) {
    const auto tabs = std::size_t(state.range(0));
    const auto perWindow = state.range(1) == 0 ? tabs : std::size_t(state.range(1));
    const auto mix = std::size_t(state.range(2));
    const auto poll = std::size_t(state.range(3));
    Session session(tabs, perWindow, kMixes[mix], seedOf(tabs, perWindow, mix));
    for (std::size_t p = 0; p + 1 < poll; ++p) session.change(kShapes[p % kShapes.size()]);
    const auto before = session.raw();
    const auto shape = kShapes[(poll - 1) % kShapes.size()];
    state.SetLabel(std::string(name(shape)) + ": " + session.change(shape));
    const std::array polls{before, session.raw()};
    TabIdentityRegistry registry;
    registry.assign(polls[0]);
    std::size_t next = 1;
    for (auto _ : state) {
        auto result = registry.assign(polls[next]);
        benchmark::DoNotOptimize(result);
        next = 1 - next;
    }
    if (const auto over = readingsOverBudget(registry)) state.counters["over_budget"] = double(*over);
}
BENCHMARK(BM_SessionIdsRandomPollAgain)
    ->ArgNames({"tabs", "per_window", "mix", "poll"})
    ->Args({16000, 0, 1, 65})
    ->Args({16000, 0, 1, 16})
    ->Args({16000, 0, 1, 10})
    ->Args({2000, 80, 3, 9})
    ->Unit(benchmark::kMillisecond);

// Three long runs of one page each between a hundred pages shown once at either end, and the
// window reversed: the one poll after the first, through a new registry each time, on the
// thread's clock.
void BM_SessionIdsLongRunsReversed(benchmark::State &state) {
    const auto tabs = state.range(0);
    std::vector<std::pair<QString, QString>> before;
    const auto once = [&](std::int64_t k) {
        before.emplace_back(QStringLiteral("Once %1").arg(k), QStringLiteral("https://once%1.example/").arg(k));
    };
    for (std::int64_t k = 0; k < 100; ++k) once(k);
    const auto runs = tabs - 200;
    for (std::int64_t r = 0; r < 3; ++r)
        for (std::int64_t k = runs * r / 3; k < runs * (r + 1) / 3; ++k)
            before.emplace_back(QStringLiteral("Run %1").arg(r), QStringLiteral("https://run%1.example/").arg(r));
    for (std::int64_t k = 100; k < 200; ++k) once(k);
    auto after = before;
    std::reverse(after.begin(), after.end());
    const auto first = bench::frontWindow(before);
    const auto second = bench::frontWindow(after);
    for (auto _ : state) {
        TabIdentityRegistry registry;
        registry.assign({first});
        const auto start = threadMilliseconds();
        auto result = registry.assign({second});
        state.SetIterationTime((threadMilliseconds() - start) / 1e3);
        benchmark::DoNotOptimize(result);
    }
}
BENCHMARK(BM_SessionIdsLongRunsReversed)->Arg(13920)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
