#pragma once

#include "Ondrake/Sidebar/SidebarHeading.h"
#include "Ondrake/Sidebar/SidebarMetrics.h"
#include "Ondrake/Sidebar/TabDragOutcome.h"

#include "Browser/SafariTab.h"
#include "Browser/TabTreeRow.h"
#include "Store/TabDropPlan.h"

#include <QPointF>
#include <QSizeF>
#include <QString>

#include <optional>
#include <vector>

namespace ondrake {

// One browser window's section: its heading and the drag of its rows, which reorders and
// re-nests tabs, or pins one dragged above the first row.
struct SafariWindowView {
    static constexpr double kHeadingHeight = 24;
    // Where the "Pin in Sidebar" hint's top-leading corner lies from the first row's: one row up.
    static constexpr QPointF kPinHintOffset{0, -sidebar::kRowPitch};

    SafariWindow window;  // the tabs this section shows: without those of the pinned and group sections
    std::optional<QString> name;  // "Window " and the index when absent
    bool isCollapsed = false;
    bool showsHeading = false;
    bool pinsOnDragOut = false;
    std::vector<TabTreeRow> rows;  // the visible rows, in display order

    QString title() const;
    SidebarHeading heading(bool compact) const;
    // A hidden heading cannot fold the section, so its rows show whatever it says.
    bool showsRows() const { return !showsHeading || !isCollapsed; }

    struct Dragging {
        QString tabID;
        QSizeF translation;
        std::optional<TabDropPlan> plan;
        bool wouldPin = false;
        bool operator==(const Dragging &) const = default;
    };
    // The drop lands among `rows`, but the browser counts the move in its whole window, the tabs
    // shown in the pinned and group sections included; `browserWindow` is that window.
    Dragging dragChanged(const QString &tabID, QSizeF translation, const SafariWindow &browserWindow) const;
    // Only the drag of this tab counts; a drop on a group frame wins over pinning and moving.
    static TabDragOutcome dragEnded(const std::optional<Dragging> &dragging, const QString &tabID, QPointF location,
                                    const GroupFrames &groupFrames);

    // The drop indicator, measured from the top of the first row.
    static double indicatorY(const TabDropPlan &plan);
    static double indicatorIndent(int depth, bool compact);
};

}  // namespace ondrake
