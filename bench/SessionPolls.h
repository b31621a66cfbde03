#pragma once

#include "SessionIdentities/TabIdentityRegistry.h"

#include <benchmark/benchmark.h>

#include <utility>
#include <vector>

namespace ondrake::bench {

// The front window, its first tab active, showing these (title, address) tabs.
inline SafariSnapshot::RawWindow frontWindow(const std::vector<std::pair<QString, QString>> &tabs = {}) {
    SafariSnapshot::RawWindow window;
    window.id = 1;
    window.index = 1;
    window.currentTabIndex = 1;
    for (const auto &[title, url] : tabs) window.tabs.push_back({std::int64_t(window.tabs.size()) + 1, title, url});
    return window;
}

// Polls the registry back and forth between two shapes of the front window, after the first.
inline void alternatePolls(benchmark::State &state, const std::vector<SafariSnapshot::RawWindow> &polls) {
    TabIdentityRegistry registry;
    registry.assign({polls[0]});
    std::size_t next = 1;
    for (auto _ : state) {
        auto result = registry.assign({polls[next]});
        benchmark::DoNotOptimize(result);
        next = 1 - next;
    }
}

}  // namespace ondrake::bench
