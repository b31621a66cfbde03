#pragma once

#include "Browser/SafariTab.h"

#include "Platform/TextHash.h"

#include <QString>

#include <vector>

namespace ondrake {

// One visible row of a window's nested tab list. Rows keep the browser's tab order; nesting shows
// only as depth.
struct TabTreeRow {
    SafariTab tab;
    int depth = 0;
    bool hasChildren = false;
    bool isCollapsed = false;
    int hiddenDescendants = 0;  // on a collapsed row
    bool hidesActiveTab = false;  // on a collapsed row

    bool operator==(const TabTreeRow &) const = default;

    // The visible rows of the window; tabs under a collapsed row are counted on it, not shown.
    static std::vector<TabTreeRow> rows(const TextSet &collapsed, const SafariWindow &window);
    // The depth of every tab, hidden or not.
    static TextMap<int> depths(const SafariWindow &window);
};

}  // namespace ondrake
