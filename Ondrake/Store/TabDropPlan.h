#pragma once

#include "Browser/SafariTab.h"
#include "Browser/SafariTabMove.h"
#include "Browser/TabTreeRow.h"

#include <QString>

#include <optional>
#include <vector>

namespace ondrake {

// Where one dragged row, with the rows nested under it, lands in its window's section, and the
// moves the browser must make for it.
struct TabDropPlan {
    SafariTabMove move;  // the block, by then one run from the dragged tab on, to its place
    int insertionRow = 0;  // among the section's rows without the dragged block
    int depth = 0;
    bool changesAnything = false;
    // Made before `move`, in order: tabs shown in other sections re-nested (in place) under the
    // nearest ancestor they still stand beside once the block has gone, then the block's later
    // tabs brought up behind the dragged tab past such tabs standing between them.
    std::vector<SafariTabMove> leadingMoves;

    bool operator==(const TabDropPlan &) const = default;

    // `window` is the browser's whole window, `section` the tabs its section holds (without
    // those of the pinned and group sections, nested as the section draws them) and `rows` the
    // rows it shows of them, in display order. The offsets are whole rows (downward positive)
    // and whole indentation steps (rightward positive). What moves in the browser is what the
    // rows show moving: the dragged tab and the section's tabs nested under it, folded or not;
    // tabs of other sections keep their order. Nothing when the drag does not fit the rows and
    // the window, or when the browser's tree could not show what the drop indicator promises;
    // such a drag drops nothing.
    static std::optional<TabDropPlan> make(const QString &tabID, const SafariWindow &window, const SafariWindow &section,
                                           const std::vector<TabTreeRow> &rows, int rowOffset, int depthOffset);
    // A section that holds the whole window.
    static std::optional<TabDropPlan> make(const QString &tabID, const SafariWindow &window,
                                           const std::vector<TabTreeRow> &rows, int rowOffset, int depthOffset) {
        return make(tabID, window, window, rows, rowOffset, depthOffset);
    }
};

}  // namespace ondrake
