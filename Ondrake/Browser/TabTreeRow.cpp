#include "TabTreeRow.h"

#include <optional>

namespace ondrake {

namespace {
// A tab sits one below its parent when the parent stands earlier in the window, else at the root.
int depthOf(const SafariTab &tab, const QHash<QString, int> &recorded) {
    if (!tab.parentID) return 0;
    const auto it = recorded.constFind(*tab.parentID);
    return it == recorded.cend() ? 0 : *it + 1;
}
}  // namespace

QHash<QString, int> TabTreeRow::depths(const SafariWindow &window) {
    QHash<QString, int> recorded;
    for (const auto &tab : window.tabs) recorded.insert(tab.id, depthOf(tab, recorded));
    return recorded;
}

std::vector<TabTreeRow> TabTreeRow::rows(const QSet<QString> &collapsed, const SafariWindow &window) {
    QHash<QString, int> children;
    for (const auto &tab : window.tabs)
        if (tab.parentID) ++children[*tab.parentID];

    std::vector<TabTreeRow> result;
    result.reserve(window.tabs.size());
    QHash<QString, int> recorded;
    recorded.reserve(qsizetype(window.tabs.size()));
    struct Hiding {
        std::size_t row;
        int depth;
    };
    std::optional<Hiding> hiding;
    for (const auto &tab : window.tabs) {
        const int d = depthOf(tab, recorded);
        recorded.insert(tab.id, d);
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
        row.hasChildren = children.value(tab.id) >= 1;
        row.isCollapsed = row.hasChildren && collapsed.contains(tab.id);
        result.push_back(std::move(row));
        if (result.back().isCollapsed) hiding = Hiding{result.size() - 1, d};
    }
    return result;
}

}  // namespace ondrake
