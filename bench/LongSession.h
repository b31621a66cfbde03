#pragma once

#include "SimulatedSafari.h"

#include <QString>

#include <cstdint>

namespace ondrake::bench {

inline constexpr std::int64_t kSessionWindows = 50;

// A long browsing session: `tabs` pages dealt round-robin over 50 windows, a few sites among them.
inline void seedLongSession(SimulatedSafari &safari, std::int64_t tabs) {
    for (std::int64_t w = 0; w < kSessionWindows; ++w) {
        SimulatedSafari::Window window;
        window.id = 100 + w;
        for (std::int64_t t = w; t < tabs; t += kSessionWindows)
            window.tabs.push_back({QStringLiteral("Page %1 of a long session").arg(t),
                                   QStringLiteral("https://site%1.example/path/to/page?id=%2").arg(t % 97).arg(t)});
        safari.addWindow(std::move(window));
    }
}

}  // namespace ondrake::bench
