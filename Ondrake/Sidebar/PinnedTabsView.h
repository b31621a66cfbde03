#pragma once

#include "Ondrake/Sidebar/SidebarHeading.h"
#include "Ondrake/Sidebar/TabDragOutcome.h"

#include "Browser/SafariTab.h"

#include <QSizeF>

#include <optional>
#include <vector>

namespace ondrake {

// The "Pinned in Sidebar" section: flat rows on a tinted band. A row dragged below the last
// pinned row is unpinned; pinned rows are never reordered.
struct PinnedTabsView {
    static constexpr double kHeaderHeight = 20;

    std::vector<SafariTab> tabs;

    SidebarHeading heading(bool compact) const;

    struct Dragging {
        QString tabID;
        QSizeF translation;
        bool wouldUnpin = false;
        bool operator==(const Dragging &) const = default;
    };
    Dragging dragChanged(const QString &tabID, QSizeF translation) const;
    static TabDragOutcome dragEnded(const std::optional<Dragging> &dragging, const QString &tabID, QPointF location,
                                    const GroupFrames &groupFrames);
};

}  // namespace ondrake
