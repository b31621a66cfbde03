#include "SidebarLayout.h"

#include "Browser/TabTreeRow.h"
#include "Browser/TabTreeSpine.h"

#include <QSet>

namespace ondrake::SidebarLayout {

std::vector<GroupSection> groupSections(const std::vector<TabGroup> &groups,
                                        std::map<TabGroupID, std::vector<SafariTab>> tabsByGroup) {
    std::vector<GroupSection> sections;
    sections.reserve(groups.size());
    for (const auto &group : groups) {
        const auto it = tabsByGroup.find(group.id);
        sections.push_back({group, it != tabsByGroup.end() ? std::move(it->second) : std::vector<SafariTab>{}});
    }
    return sections;
}

Sections sections(std::vector<SafariWindow> windows, const std::vector<TabGroup> &groups,
                  const std::function<bool(const SafariTab &)> &isPinned,
                  const std::function<std::optional<TabGroupID>(const SafariTab &)> &groupOf) {
    Sections result;
    QSet<TabGroupID> listed;
    for (const auto &group : groups) listed.insert(group.id);
    // One pass decides pinned, then grouped, for each tab: a long list is walked once.
    TextSet departed;  // pinned or grouped: their children become roots where they stay
    std::map<TabGroupID, std::vector<SafariTab>> tabsByGroup;
    for (auto &window : windows) {
        std::vector<SafariTab> kept;
        kept.reserve(window.tabs.size());
        for (auto &tab : window.tabs) {
            if (isPinned(tab)) {
                departed.insert(tab.id);
                result.pinned.push_back(std::move(tab));
                continue;
            }
            if (!listed.isEmpty())
                if (const auto group = groupOf(tab); group && listed.contains(*group)) {
                    departed.insert(tab.id);
                    tabsByGroup[*group].push_back(std::move(tab));
                    continue;
                }
            kept.push_back(std::move(tab));
        }
        window.tabs = std::move(kept);
    }
    result.groups = groupSections(groups, std::move(tabsByGroup));

    if (departed.empty()) {
        result.windows = std::move(windows);
        return result;
    }
    for (auto &window : windows) {
        if (window.tabs.empty()) continue;
        // A tab whose parent stays is drawn under it only while nothing but the parent's own
        // nested tabs stands between them here, as in the browser's tree: the children of a
        // departed tab, now roots, would otherwise seem to hold the tabs below them.
        TabTreeSpine spine;
        for (auto &tab : window.tabs) {
            if (tab.parentID && (departed.contains(*tab.parentID) || !spine.holds(*tab.parentID))) tab.parentID.reset();
            spine.take(tab.id, tab.parentID);
        }
        result.windows.push_back(std::move(window));
    }
    return result;
}

std::vector<QString> displayOrder(const std::vector<SafariTab> &pinned, const std::vector<GroupSection> &groups,
                                  const std::vector<SafariWindow> &windows, const TextSet &collapsedTabIDs) {
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
