#include "TabTreeRow.h"

#include <QHash>

namespace ondrake {

namespace {
// A tab sits one below its parent when the parent stands earlier in the window, else at the root.
int depthOf(const SafariTab &tab, const TextMap<int> &recorded) {
    if (!tab.parentID) return 0;
    const auto it = recorded.find(*tab.parentID);
    return it == recorded.end() ? 0 : it->second + 1;
}
// Keyed by views of the window's texts, which outlive it.
int depthOf(const SafariTab &tab, const QHash<HashedText, int> &recorded) {
    if (!tab.parentID) return 0;
    const auto it = recorded.constFind(HashedText(*tab.parentID));
    return it == recorded.cend() ? 0 : *it + 1;
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
    QHash<HashedText, int> children;
    for (const auto &tab : window.tabs)
        if (tab.parentID) ++children[HashedText(*tab.parentID)];

    std::vector<TabTreeRow> result;
    result.reserve(window.tabs.size());
    QHash<HashedText, int> recorded;
    recorded.reserve(qsizetype(window.tabs.size()));
    // The collapsed row whose run is being counted, and its depth.
    constexpr auto kNone = std::size_t(-1);
    std::size_t hidingRow = kNone;
    int hidingDepth = 0;
    for (const auto &tab : window.tabs) {
        const int d = depthOf(tab, recorded);
        const HashedText id(tab.id);
        recorded.insert(id, d);
        if (hidingRow != kNone && d > hidingDepth) {
            auto &owner = result[hidingRow];
            ++owner.hiddenDescendants;
            if (tab.isActive) owner.hidesActiveTab = true;
            continue;
        }
        hidingRow = kNone;
        TabTreeRow row;
        row.tab = tab;
        row.depth = d;
        row.hasChildren = children.contains(id);
        row.isCollapsed = row.hasChildren && collapsed.contains(tab.id);
        result.push_back(std::move(row));
        if (result.back().isCollapsed) {
            hidingRow = result.size() - 1;
            hidingDepth = d;
        }
    }
    return result;
}

}  // namespace ondrake
