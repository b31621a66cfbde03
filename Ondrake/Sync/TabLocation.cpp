#include "TabLocation.h"

namespace ondrake {

namespace {
constexpr int kMaxDepth = 64;
}

std::optional<TabLocation> locateTab(const QString &sessionTabID, const std::vector<SafariWindow> &windows) {
    for (const auto &window : windows)
        for (const auto &tab : window.tabs)
            if (tab.id == sessionTabID) return TabLocation{&window, &tab};
    return std::nullopt;
}

std::vector<QString> subtreeTabIDs(const QString &sessionTabID, const SafariWindow &window) {
    const auto index = nestedTabIndex(window);
    if (index.empty()) return {};
    const auto nested = nestedTabIDs(sessionTabID, index);
    std::vector<QString> ordered;
    for (const auto &tab : window.tabs)
        if (nested.contains(tab.id)) ordered.push_back(tab.id);
    return ordered;
}

NestedTabIndex nestedTabIndex(const SafariWindow &window) {
    NestedTabIndex children;
    for (const auto &tab : window.tabs)
        if (tab.parentID) children[*tab.parentID].push_back(tab.id);
    return children;
}

TextSet nestedTabIDs(const QString &sessionTabID, const NestedTabIndex &index) {
    TextSet nested;
    if (index.empty()) return nested;
    std::vector<QString> level{sessionTabID};
    for (int depth = 0; depth < kMaxDepth && !level.empty(); ++depth) {
        std::vector<QString> next;
        for (const auto &parent : level) {
            const auto found = index.find(parent);
            if (found == index.end()) continue;
            for (const auto &child : found->second) {
                // A loop in the links leads back up; each tab is taken once.
                if (child == sessionTabID || nested.contains(child)) continue;
                nested.insert(child);
                next.push_back(child);
            }
        }
        level = std::move(next);
    }
    return nested;
}

}  // namespace ondrake
