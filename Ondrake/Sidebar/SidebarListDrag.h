#pragma once

#include "Ondrake/Sidebar/PinnedTabsView.h"
#include "Ondrake/Sidebar/SafariWindowView.h"
#include "Ondrake/Sidebar/SidebarListGeometry.h"
#include "Ondrake/Sidebar/TabDragOutcome.h"

#include "Browser/SafariTab.h"

#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <optional>
#include <vector>

namespace ondrake {

// One row drag in the tab list, in the list's content coordinates: it starts once a press on a
// row of the pinned, a group or a window section travels far enough, follows the pointer with
// that section's reading of it, and ends in at most one outcome. The list feeds it the pointer
// and draws what `overlay` lays out.
struct SidebarListDrag {
    static constexpr double kThreshold = 5;
    // The lifted row is drawn a little see-through, and half as strong again while it would unpin.
    static constexpr double kLiftedOpacity = 0.85;

    QString tabID;
    SafariTab tab;
    QString sectionKey;
    QPointF start;
    QSizeF translation;
    std::optional<SafariWindowView::Dragging> window;
    std::optional<PinnedTabsView::Dragging> pinned;

    // The drag of the row at `entry`, pressed at `start`, once the pointer at `point` has
    // travelled the threshold; none for headings and for the rows of the arrangements and the
    // search, which stay where they are.
    static std::optional<SidebarListDrag> begin(const SidebarRowModel &model, int entry, QPointF start, QPointF point);

    // `browserWindows` are the browser's whole windows: a move is counted among all of a
    // window's tabs, also those the pinned and group sections show.
    void moveTo(QPointF point, const SidebarListContent &content, const std::vector<SafariWindow> &browserWindows);
    TabDragOutcome drop(QPointF point, const SidebarListContent &content, const GroupFrames &groupFrames) const;

    struct Overlay {
        std::optional<QRectF> liftedRow;  // where the pointer carries the row's band
        double liftedOpacity = kLiftedOpacity;
        std::optional<QRectF> indicator;  // the drop indicator
        std::optional<QPointF> pinHint;   // the top-leading corner of the "Pin in Sidebar" hint
        bool operator==(const Overlay &) const = default;
    };
    Overlay overlay(const SidebarListGeometry &geometry) const;

    bool operator==(const SidebarListDrag &) const = default;
};

}  // namespace ondrake
