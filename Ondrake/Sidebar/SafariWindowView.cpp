#include "Ondrake/Sidebar/SafariWindowView.h"

#include "Ondrake/Sidebar/SidebarMetrics.h"

#include <algorithm>

namespace ondrake {

QString SafariWindowView::title() const {
    return name.value_or(QStringLiteral("Window ") + QString::number(window.index));
}

SidebarHeading SafariWindowView::heading(bool compact) const {
    const QString count = QString::number(window.tabs.size());
    SidebarHeading heading;
    heading.symbol = QStringLiteral("chevron.right");
    heading.symbolRotation = isCollapsed ? 0 : 90;
    heading.symbolIsBold = true;
    if (!compact) heading.title = title();
    if (isCollapsed) heading.badge = count;
    heading.height = kHeadingHeight;
    heading.horizontalPadding = compact ? 0 : 8;
    heading.centred = compact;
    heading.accessibilityLabel = title() + QStringLiteral(", ") + count + QStringLiteral(" tabs");
    heading.accessibilityHint = isCollapsed ? QStringLiteral("Expand") : QStringLiteral("Collapse");
    return heading;
}

SafariWindowView::Dragging SafariWindowView::dragChanged(const QString &tabID, QSizeF translation,
                                                         const SafariWindow &browserWindow) const {
    const int rowDelta = rowsMoved(translation.height());
    const int depthDelta = levelsMoved(translation.width());
    if (pinsOnDragOut) {
        const auto found = std::find_if(rows.begin(), rows.end(), [&](const TabTreeRow &row) { return row.tab.id == tabID; });
        const long long position = found == rows.end() ? 0 : found - rows.begin();
        if (position + rowDelta < 0) return Dragging{tabID, translation, std::nullopt, true};
    }
    return Dragging{tabID, translation, TabDropPlan::make(tabID, browserWindow, window, rows, rowDelta, depthDelta), false};
}

TabDragOutcome SafariWindowView::dragEnded(const std::optional<Dragging> &dragging, const QString &tabID,
                                           QPointF location, const GroupFrames &groupFrames) {
    if (!dragging || dragging->tabID != tabID) return TabDragOutcome::none();
    if (const auto group = groupAt(groupFrames, location)) return TabDragOutcome::assignGroup(group);
    if (dragging->wouldPin) return TabDragOutcome::pin();
    if (dragging->plan && dragging->plan->changesAnything) return TabDragOutcome::move(*dragging->plan);
    return TabDragOutcome::none();
}

double SafariWindowView::indicatorY(const TabDropPlan &plan) { return plan.insertionRow * sidebar::kRowPitch - 1.5; }

double SafariWindowView::indicatorIndent(int depth, bool compact) {
    return compact ? 0 : sidebar::indentLevels(depth) * sidebar::kNestingStep;
}

}  // namespace ondrake
