#include "WindowTabs.h"

#include "Sync/TabLocation.h"
#include "Platform/TextHash.h"

#include <QSet>

namespace ondrake {

std::vector<SafariTab> allTabs(const std::vector<SafariWindow> &windows) {
    std::vector<SafariTab> tabs;
    for (const auto &window : windows) tabs.insert(tabs.end(), window.tabs.begin(), window.tabs.end());
    return tabs;
}

std::vector<SafariTab> allTabs(std::vector<SafariWindow> &&windows) {
    std::size_t count = 0;
    for (const auto &window : windows) count += window.tabs.size();
    std::vector<SafariTab> tabs;
    tabs.reserve(count);
    for (auto &window : windows) std::move(window.tabs.begin(), window.tabs.end(), std::back_inserter(tabs));
    return tabs;
}

std::vector<SafariTab> subtreeTabs(const QString &sessionTabID, const SafariWindow &window) {
    const auto ids = subtreeTabIDs(sessionTabID, window);
    if (ids.empty()) return {};
    const TextSet wanted(ids.begin(), ids.end());
    std::vector<SafariTab> tabs;
    tabs.reserve(ids.size());
    for (const auto &tab : window.tabs)
        if (wanted.contains(tab.id)) tabs.push_back(tab);
    return tabs;
}

std::vector<OndrakeID> descendantRecordIDs(const OndrakeID &id, const std::map<OndrakeID, TabRecord> &records) {
    constexpr int kMaxLevels = 64;
    std::map<OndrakeID, std::vector<OndrakeID>> children;
    for (const auto &[childID, record] : records)
        if (record.parentID) children[*record.parentID].push_back(childID);
    if (children.empty()) return {};

    std::vector<OndrakeID> collected;
    QSet<OndrakeID> seen{id};
    std::vector<OndrakeID> frontier{id};
    for (int level = 0; level < kMaxLevels && !frontier.empty(); ++level) {
        std::vector<OndrakeID> next;
        for (const auto &parent : frontier) {
            const auto it = children.find(parent);
            if (it == children.end()) continue;
            for (const auto &child : it->second)
                if (!seen.contains(child)) {
                    seen.insert(child);
                    collected.push_back(child);
                    next.push_back(child);
                }
        }
        frontier = std::move(next);
    }
    return collected;
}

}  // namespace ondrake
