#include "WindowKeys.h"

#include <algorithm>

namespace ondrake {

void WindowKeys::continueAfter(const std::vector<TabRecord> &records) {
    for (const auto &record : records)
        if (const auto key = readable(record.windowKey)) last_ = std::max<std::int64_t>(last_, *key);
}

std::int64_t WindowKeys::keyOf(std::int64_t windowID) {
    auto found = keys_.find(windowID);
    if (found == keys_.end()) found = keys_.insert(windowID, ++last_);
    return *found;
}

}  // namespace ondrake
