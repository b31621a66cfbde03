#pragma once

#include "Browser/SafariTab.h"

#include <QString>

#include <cstdint>
#include <vector>

namespace ondrake {

// Browser window ids in the order the sidebar first saw them, so that the list does not
// rearrange itself when the user clicks between windows. Lives in memory only.
struct SidebarWindowOrdering {
    std::vector<std::int64_t> order;  // each id once

    // Drops the windows that are gone and appends new ones in the poll's order; true on a change.
    bool update(const std::vector<SafariWindow> &windows);
    // Known windows in the fixed order, unknown ones after them as given.
    std::vector<SafariWindow> sorted(std::vector<SafariWindow> windows) const;
    // "Window 2": the position in the fixed order, else the browser's own window index.
    QString label(std::int64_t windowID, std::int64_t index) const;

    bool operator==(const SidebarWindowOrdering &) const = default;
};

}  // namespace ondrake
