#include "WindowKeys.h"

#include <algorithm>
#include <limits>

namespace ondrake {

void WindowKeys::continueAfter(const std::vector<TabRecord> &records) {
    for (const auto &record : records)
        if (record.windowKey) last_ = std::max<std::int64_t>(last_, *record.windowKey);
    // A damaged file could leave no number after it; then they start again from the bottom.
    if (last_ == std::numeric_limits<std::int64_t>::max()) last_ = 0;
}

std::int64_t WindowKeys::keyOf(std::int64_t windowID) {
    auto found = keys_.find(windowID);
    if (found == keys_.end()) found = keys_.insert(windowID, ++last_);
    return *found;
}

}  // namespace ondrake
