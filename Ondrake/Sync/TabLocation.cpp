#include "TabLocation.h"

#include <QHash>
#include <QSet>

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
    QHash<QString, std::vector<QString>> children;
    for (const auto &tab : window.tabs)
        if (tab.parentID) children[*tab.parentID].push_back(tab.id);
    if (children.isEmpty()) return {};

    QSet<QString> nested;
    std::vector<QString> level{sessionTabID};
    for (int depth = 0; depth < kMaxDepth && !level.empty(); ++depth) {
        std::vector<QString> next;
        for (const auto &parent : level) {
            const auto found = children.constFind(parent);
            if (found == children.cend()) continue;
            for (const auto &child : *found) {
                // A loop in the links leads back up; each tab is taken once.
                if (child == sessionTabID || nested.contains(child)) continue;
                nested.insert(child);
                next.push_back(child);
            }
        }
        level = std::move(next);
    }

    std::vector<QString> ordered;
    for (const auto &tab : window.tabs)
        if (nested.contains(tab.id)) ordered.push_back(tab.id);
    return ordered;
}

}  // namespace ondrake
