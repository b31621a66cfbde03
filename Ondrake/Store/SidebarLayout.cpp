#include "SidebarLayout.h"

#include "Browser/TabTreeRow.h"

#include <QSet>

namespace ondrake::SidebarLayout {

std::vector<GroupSection> groupSections(const std::vector<TabGroup> &groups,
                                        const std::map<TabGroupID, std::vector<SafariTab>> &tabsByGroup) {
    std::vector<GroupSection> sections;
    sections.reserve(groups.size());
    for (const auto &group : groups) {
        const auto it = tabsByGroup.find(group.id);
        sections.push_back({group, it != tabsByGroup.end() ? it->second : std::vector<SafariTab>{}});
    }
    return sections;
}

Sections sections(const std::vector<SafariWindow> &windows, const std::vector<TabGroup> &groups,
                  const std::function<bool(const SafariTab &)> &isPinned,
                  const std::function<std::optional<TabGroupID>(const SafariTab &)> &groupOf) {
    Sections result;
    QSet<QString> pinnedIDs;
    std::vector<SafariWindow> unpinned = windows;
    for (auto &window : unpinned) {
        std::vector<SafariTab> kept;
        kept.reserve(window.tabs.size());
        for (auto &tab : window.tabs) {
            if (isPinned(tab)) {
                pinnedIDs.insert(tab.id);
                result.pinned.push_back(tab);
            } else {
                kept.push_back(std::move(tab));
            }
        }
        window.tabs = std::move(kept);
    }

    QSet<QString> groupedIDs;
    std::map<TabGroupID, std::vector<SafariTab>> tabsByGroup;
    if (!groups.empty()) {
        QSet<TabGroupID> listed;
        for (const auto &group : groups) listed.insert(group.id);
        for (const auto &window : unpinned)
            for (const auto &tab : window.tabs)
                if (const auto group = groupOf(tab); group && listed.contains(*group)) {
                    tabsByGroup[*group].push_back(tab);
                    groupedIDs.insert(tab.id);
                }
    }
    result.groups = groupSections(groups, tabsByGroup);

    if (pinnedIDs.isEmpty() && groupedIDs.isEmpty()) {
        result.windows = std::move(unpinned);
        return result;
    }
    for (auto &window : unpinned) {
        std::vector<SafariTab> kept;
        for (auto &tab : window.tabs) {
            if (groupedIDs.contains(tab.id)) continue;
            if (tab.parentID && (pinnedIDs.contains(*tab.parentID) || groupedIDs.contains(*tab.parentID)))
                tab.parentID.reset();
            kept.push_back(std::move(tab));
        }
        if (kept.empty()) continue;
        window.tabs = std::move(kept);
        result.windows.push_back(std::move(window));
    }
    return result;
}

std::vector<QString> displayOrder(const std::vector<SafariTab> &pinned, const std::vector<GroupSection> &groups,
                                  const std::vector<SafariWindow> &windows, const QSet<QString> &collapsedTabIDs) {
    std::vector<QString> order;
    order.reserve(pinned.size());
    for (const auto &tab : pinned) order.push_back(tab.id);
    for (const auto &section : groups) {
        if (section.group.isCollapsed) continue;
        for (const auto &tab : section.tabs) order.push_back(tab.id);
    }
    for (const auto &window : windows)
        for (const auto &row : TabTreeRow::rows(collapsedTabIDs, window)) order.push_back(row.tab.id);
    return order;
}

}  // namespace ondrake::SidebarLayout
