#pragma once

#include "Async.h"
#include "Browser/SafariController.h"
#include "ManualScheduler.h"
#include "SimulatedSafari.h"
#include "SimulatedScriptEngine.h"
#include "SimulatedWorkspace.h"

#include <QString>

#include <benchmark/benchmark.h>

#include <cstdint>

namespace ondrake::bench {

inline constexpr std::int64_t kSessionWindows = 50;

// With twins, one tab in five shows the page of another tab: half of them the tab beside it in
// the next window, half the one a row earlier in their own window. Twins come in pairs.
inline std::int64_t pageOf(std::int64_t tab, bool twins) {
    if (!twins) return tab;
    if (tab % 10 == 1) return tab - 1;
    const bool oddRow = (tab / kSessionWindows) % 2 == 1;
    if (oddRow && (tab % 10 == 4 || tab % 10 == 7)) return tab - kSessionWindows;
    return tab;
}

// A running simulated browser holding a long session: `tabs` pages dealt round-robin over 50
// windows, a few sites among them, read through the real controller.
struct LongSession {
    explicit LongSession(std::int64_t tabs, bool twins = false) {
        safari.launch();
        for (std::int64_t w = 0; w < kSessionWindows; ++w) {
            SimulatedSafari::Window window;
            window.id = 100 + w;
            for (std::int64_t t = w; t < tabs; t += kSessionWindows) {
                const auto page = pageOf(t, twins);
                window.tabs.push_back({QStringLiteral("Page %1 of a long session").arg(page),
                                       QStringLiteral("https://site%1.example/path/to/page?id=%2").arg(page % 97).arg(page)});
            }
            safari.addWindow(std::move(window));
        }
    }

    ManualScheduler scheduler;
    SimulatedWorkspace workspace{scheduler};
    SimulatedSafari safari{workspace};
    SimulatedScriptEngine engine{safari};
    SafariController controller{engine, scheduler, workspace};
};

// Two polls of a long session spread over 50 windows, taken by the controller from the simulated
// browser as the app takes them; before the second, one tab in a hundred navigates when asked.
inline std::vector<std::vector<SafariWindow>> twoPolls(std::int64_t tabs, bool changing, bool twins = false) {
    LongSession session(tabs, twins);
    auto &[scheduler, workspace, safari, engine, controller] = session;
    std::vector<std::vector<SafariWindow>> polls;
    polls.push_back(runToCompletion(scheduler, controller.snapshot()));
    if (changing)
        safari.update([](auto &windows) {
            std::int64_t n = 0;
            for (auto &window : windows)
                for (auto &tab : window.tabs)
                    if (n++ % 100 == 7) {
                        tab.title += QStringLiteral(" (updated)");
                        tab.url += QStringLiteral("&next");
                    }
        });
    polls.push_back(runToCompletion(scheduler, controller.snapshot()));
    return polls;
}

// The sessions the two polls are taken at: unchanged at three sizes, changing at two.
inline void twoPollSizes(benchmark::internal::Benchmark *b) {
    b->ArgNames({"tabs", "changed"})->Args({1000, 0})->Args({2000, 0})->Args({10000, 0})->Args({1000, 1})->Args({10000, 1});
}

}  // namespace ondrake::bench
