#pragma once

#include "Ondrake/Model/TabRecord.h"

#include <QHash>

#include <cstdint>
#include <optional>
#include <vector>

namespace ondrake {

// Names each browser window the application sees with a number of its own, one never given
// before, not even in an earlier launch: a record notes the number of the window it was last seen
// in, so that after a restart the records of one window can be told from another's.
class WindowKeys {
public:
    // Numbers are given from 1 up, one a window: no count of windows comes near this one.
    static constexpr std::int64_t kLargest = std::int64_t(1) << 53;

    // A number read from a record, or none where it is one no count of windows reaches.
    static std::optional<std::int64_t> readable(std::optional<std::int64_t> key) {
        return key && *key <= kLargest ? key : std::nullopt;
    }

    // New numbers continue after the highest the records carry.
    void continueAfter(const std::vector<TabRecord> &records);
    // The number of the browser's window, given at its first sight.
    std::int64_t keyOf(std::int64_t windowID);
    // The browser quit: its window ids will name other windows.
    void forgetWindows() { keys_.clear(); }

private:
    QHash<std::int64_t, std::int64_t> keys_;
    std::int64_t last_ = 0;
};

}  // namespace ondrake
