#include "TabTreeRow.h"

#include <optional>

namespace ondrake {

namespace {
// A tab sits one below its parent when the parent stands earlier in the window, else at the root.
template<typename Depths>
int depthOf(const SafariTab &tab, const Depths &recorded) {
    if (!tab.parentID) return 0;
    const auto it = recorded.find(*tab.parentID);
    return it == recorded.end() ? 0 : it->second + 1;
}
}  // namespace

TextMap<int> TabTreeRow::depths(const SafariWindow &window) {
    TextMap<int> recorded;
    recorded.reserve(window.tabs.size());
    for (const auto &tab : window.tabs) recorded.insert_or_assign(tab.id, depthOf(tab, recorded));
    return recorded;
}

std::vector<TabTreeRow> TabTreeRow::rows(const TextSet &collapsed, const SafariWindow &window) {
    // Views of the window's texts, which outlive both tables.
    TextViewMap<int> children;
    for (const auto &tab : window.tabs)
        if (tab.parentID) ++children[*tab.parentID];

    std::vector<TabTreeRow> result;
    result.reserve(window.tabs.size());
    TextViewMap<int> recorded;
    recorded.reserve(window.tabs.size());
    struct Hiding {
        std::size_t row;
        int depth;
    };
    std::optional<Hiding> hiding;
    for (const auto &tab : window.tabs) {
        const int d = depthOf(tab, recorded);
        recorded.insert_or_assign(tab.id, d);
        if (hiding && d > hiding->depth) {
            auto &owner = result[hiding->row];
            ++owner.hiddenDescendants;
            if (tab.isActive) owner.hidesActiveTab = true;
            continue;
        }
        hiding.reset();
        TabTreeRow row;
        row.tab = tab;
        row.depth = d;
        row.hasChildren = children.contains(tab.id);
        row.isCollapsed = row.hasChildren && collapsed.contains(tab.id);
        result.push_back(std::move(row));
        if (result.back().isCollapsed) hiding = Hiding{result.size() - 1, d};
    }
    return result;
}

}  // namespace ondrake
