#pragma once

#include "Ondrake/Sidebar/SidebarHeading.h"
#include "Ondrake/Sidebar/SidebarMenu.h"
#include "Ondrake/Sidebar/TabDragOutcome.h"

#include "Store/SidebarLayout.h"

#include <functional>
#include <vector>

namespace ondrake {

// One user-made group as a section: a header that folds it and carries the group's menu, then
// its tabs as flat rows. A row dropped outside every group leaves its group.
struct GroupedTabsView {
    static constexpr double kHeaderHeight = 22;

    SidebarLayout::GroupSection section;
    bool canMoveUp = false;
    bool canMoveDown = false;

    struct Callbacks {
        std::function<void()> onToggleCollapse = [] {};
        std::function<void()> onRename = [] {};
        std::function<void(const QString &)> onSetColor = [](const QString &) {};
        std::function<void()> onDelete = [] {};
        std::function<void()> onMoveUp = [] {};
        std::function<void()> onMoveDown = [] {};
    };

    const TabGroup &group() const { return section.group; }
    SidebarHeading heading(bool compact) const;
    bool showsRows() const { return !section.group.isCollapsed; }
    bool showsHint(bool compact) const { return showsRows() && section.tabs.empty() && !compact; }
    static QString hintText();
    SidebarMenu headerMenu(const Callbacks &callbacks) const;

    // Whether the group at its place among `sortedGroups` can move up or down one place.
    static std::pair<bool, bool> canMove(const std::vector<TabGroup> &sortedGroups, const TabGroupID &id);

    static TabDragOutcome dragEnded(const TabGroupID &own, QPointF location, const GroupFrames &groupFrames);
};

}  // namespace ondrake
