#include "Ondrake/Sidebar/GroupedTabsView.h"

#include "Ondrake/Sidebar/TabGroupColorName.h"

#include <algorithm>

namespace ondrake {

SidebarHeading GroupedTabsView::heading(bool compact) const {
    const TabGroup &g = section.group;
    const QString count = QString::number(section.tabs.size());
    SidebarHeading heading;
    if (!compact) {
        heading.symbol = QStringLiteral("chevron.right");
        heading.symbolRotation = g.isCollapsed ? 0 : 90;
        heading.symbolIsBold = true;
        heading.title = g.name;
        heading.count = count;
    }
    heading.dot = groupColor(g);
    heading.height = kHeaderHeight;
    heading.horizontalPadding = compact ? 0 : 8;
    heading.centred = compact;
    heading.help = g.name + QStringLiteral(", ") + count + QStringLiteral(" tabs");
    heading.accessibilityLabel = heading.help;
    heading.accessibilityHint = g.isCollapsed ? QStringLiteral("Expand") : QStringLiteral("Collapse");
    return heading;
}

QString GroupedTabsView::hintText() { return QStringLiteral("Drag tabs here, or use a tab’s “Move to Group” menu"); }

SidebarMenu GroupedTabsView::headerMenu(const Callbacks &callbacks) const {
    using Item = SidebarMenu::Item;
    const TabGroupColorName current = colorName(section.group);
    std::vector<Item> colors;
    for (const TabGroupColorName name : kAllTabGroupColorNames) {
        const bool isCurrent = name == current;
        Item item = Item::button((isCurrent ? QStringLiteral("✓ ") : QString()) + displayName(name),
                                 [run = callbacks.onSetColor, raw = toString(name)] { run(raw); });
        item.checked = isCurrent;
        colors.push_back(std::move(item));
    }
    SidebarMenu menu;
    menu.items.push_back(Item::button(QStringLiteral("Rename…"), callbacks.onRename));
    menu.items.push_back(Item::submenu(QStringLiteral("Color"), std::move(colors)));
    menu.items.push_back(Item::separator());
    menu.items.push_back(Item::button(QStringLiteral("Move Up"), callbacks.onMoveUp, canMoveUp));
    menu.items.push_back(Item::button(QStringLiteral("Move Down"), callbacks.onMoveDown, canMoveDown));
    menu.items.push_back(Item::separator());
    menu.items.push_back(Item::button(section.group.isCollapsed ? QStringLiteral("Expand") : QStringLiteral("Collapse"),
                                      callbacks.onToggleCollapse));
    menu.items.push_back(Item::separator());
    Item remove = Item::button(QStringLiteral("Delete Group"), callbacks.onDelete);
    remove.destructive = true;
    menu.items.push_back(std::move(remove));
    return menu;
}

std::pair<bool, bool> GroupedTabsView::canMove(const std::vector<TabGroup> &sortedGroups, const TabGroupID &id) {
    const auto found = std::find_if(sortedGroups.begin(), sortedGroups.end(), [&](const TabGroup &g) { return g.id == id; });
    if (found == sortedGroups.end()) return {false, false};
    const auto i = found - sortedGroups.begin();
    return {i - 1 >= 0, i + 1 < static_cast<long>(sortedGroups.size())};
}

TabDragOutcome GroupedTabsView::dragEnded(const TabGroupID &own, QPointF location, const GroupFrames &groupFrames) {
    if (const auto other = groupAt(groupFrames, location, own)) return TabDragOutcome::assignGroup(other);
    const auto ownFrame =
        std::find_if(groupFrames.begin(), groupFrames.end(), [&](const auto &entry) { return entry.first == own; });
    if (ownFrame != groupFrames.end() && !ownFrame->second.contains(location))
        return TabDragOutcome::assignGroup(std::nullopt);
    return TabDragOutcome::none();
}

}  // namespace ondrake
