#pragma once

#include <QString>

#include <cstdint>
#include <vector>

namespace ondrake {

// The parsed reply of the snapshot handler, before session ids are given.
struct SafariSnapshot {
    struct RawTab {
        std::int64_t index = 0;  // 1-based
        QString title;
        QString url;  // possibly empty
        bool operator==(const RawTab &) const = default;
    };
    struct RawWindow {
        std::int64_t id = 0;
        std::int64_t index = 0;
        std::int64_t currentTabIndex = 0;  // 1-based; 0 when the browser named none
        std::vector<RawTab> tabs;
        bool operator==(const RawWindow &) const = default;
    };

    std::vector<RawWindow> windows;
    bool operator==(const SafariSnapshot &) const = default;
};

}  // namespace ondrake
