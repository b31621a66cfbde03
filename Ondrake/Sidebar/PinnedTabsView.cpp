#include "Ondrake/Sidebar/PinnedTabsView.h"

#include <algorithm>

namespace ondrake {

SidebarHeading PinnedTabsView::heading(bool compact) const {
    SidebarHeading heading;
    heading.symbol = QStringLiteral("pin.fill");
    if (!compact) heading.title = QStringLiteral("Pinned in Sidebar");
    heading.height = kHeaderHeight;
    heading.horizontalPadding = compact ? 0 : 8;
    heading.centred = compact;
    heading.help = QStringLiteral("Pinned in Sidebar, ") + QString::number(tabs.size()) + QStringLiteral(" tabs");
    heading.accessibilityLabel = heading.help;
    return heading;
}

PinnedTabsView::Dragging PinnedTabsView::dragChanged(const QString &tabID, QSizeF translation) const {
    const auto found = std::find_if(tabs.begin(), tabs.end(), [&](const SafariTab &tab) { return tab.id == tabID; });
    if (found == tabs.end()) return Dragging{tabID, translation, false};
    const long long target = (found - tabs.begin()) + rowsMoved(translation.height());
    return Dragging{tabID, translation, target >= static_cast<long long>(tabs.size())};
}

TabDragOutcome PinnedTabsView::dragEnded(const std::optional<Dragging> &dragging, const QString &tabID,
                                         QPointF location, const GroupFrames &groupFrames) {
    const bool wouldUnpin = dragging && dragging->tabID == tabID && dragging->wouldUnpin;
    if (const auto group = groupAt(groupFrames, location)) return TabDragOutcome::assignGroup(group);
    return wouldUnpin ? TabDragOutcome::unpin() : TabDragOutcome::none();
}

}  // namespace ondrake
