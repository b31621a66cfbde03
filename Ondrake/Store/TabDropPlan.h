#pragma once

#include "Browser/SafariTab.h"
#include "Browser/SafariTabMove.h"
#include "Browser/TabTreeRow.h"

#include <QString>

#include <optional>
#include <vector>

namespace ondrake {

// Where one dragged row, with the rows nested under it, lands in its window's section, and the
// move the browser must make for it.
struct TabDropPlan {
    SafariTabMove move;
    int insertionRow = 0;  // among the section's rows without the dragged block
    int depth = 0;
    bool changesAnything = false;

    bool operator==(const TabDropPlan &) const = default;

    // `window` is the browser's whole window and `rows` the rows its section shows, in display
    // order: tabs shown in other sections (pinned, grouped) are among the window's tabs but not
    // among the rows. The offsets are whole rows (downward positive) and whole indentation steps
    // (rightward positive). A drop that leaves the rows as they were keeps the tab where it is
    // in the browser, whatever the section does not show around it. Nothing when the drag does
    // not fit the rows and the window, which then drops nothing.
    static std::optional<TabDropPlan> make(const QString &tabID, const SafariWindow &window,
                                           const std::vector<TabTreeRow> &rows, int rowOffset, int depthOffset);
};

}  // namespace ondrake
