#pragma once

#include <QString>

#include <cstdint>
#include <optional>

namespace ondrake {

// Moves the contiguous block of `count` tabs starting at `fromIndex` so that it starts at
// `toIndex` (1-based), refusing when the window no longer looks as it did when planned.
struct SafariTabMove {
    std::int64_t windowID = 0;
    std::int64_t fromIndex = 0;
    std::int64_t count = 0;
    std::int64_t toIndex = 0;
    QString expectedURL;  // empty: no check
    std::int64_t expectedTabCount = 0;
    QString tabID;
    std::optional<QString> newParentID;  // absent: to the root

    bool operator==(const SafariTabMove &) const = default;
};

}  // namespace ondrake
