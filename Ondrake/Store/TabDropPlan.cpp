#include "Store/TabDropPlan.h"

#include "Browser/BrowserURL.h"

#include <algorithm>
#include <cstdint>

namespace ondrake {

std::optional<TabDropPlan> TabDropPlan::make(const QString &tabID, const SafariWindow &window,
                                             const std::vector<TabTreeRow> &rows, int rowOffset, int depthOffset) {
    if (rows.empty()) return std::nullopt;
    const auto draggedRow =
        std::find_if(rows.begin(), rows.end(), [&](const TabTreeRow &row) { return row.tab.id == tabID; });
    if (draggedRow == rows.end()) return std::nullopt;
    const auto blockEnd = std::find_if(std::next(draggedRow), rows.end(),
                                       [&](const TabTreeRow &row) { return row.depth <= draggedRow->depth; });

    std::vector<const TabTreeRow *> remaining;
    remaining.reserve(rows.size());
    for (auto it = rows.begin(); it != rows.end(); ++it)
        if (it < draggedRow || it >= blockEnd) remaining.push_back(&*it);

    // 64 bits: the offsets come from pointer travel and may be anything.
    const std::int64_t d = draggedRow - rows.begin();
    const auto insertionRow = std::clamp<std::int64_t>(d + rowOffset, 0, std::int64_t(remaining.size()));
    const TabTreeRow *above = insertionRow > 0 ? remaining[std::size_t(insertionRow - 1)] : nullptr;
    const TabTreeRow *below = insertionRow < std::int64_t(remaining.size()) ? remaining[std::size_t(insertionRow)] : nullptr;

    // A collapsed row's children are hidden, so nothing can be dropped among them.
    const std::int64_t deepest = above ? above->depth + (above->isCollapsed ? 0 : 1) : 0;
    const std::int64_t shallowest = below ? below->depth : 0;
    const std::int64_t proposed = std::int64_t(draggedRow->depth) + depthOffset;
    const std::int64_t depth = std::min(std::max(proposed, std::min(shallowest, deepest)), deepest);

    std::optional<QString> newParentID;
    if (depth > 0) {
        for (auto i = insertionRow - 1; i >= 0 && !newParentID; --i)
            if (remaining[std::size_t(i)]->depth == depth - 1) newParentID = remaining[std::size_t(i)]->tab.id;
        if (!newParentID) return std::nullopt;
    }

    // The browser moves the dragged tab with the nested tabs that follow it in its own list.
    const auto depths = TabTreeRow::depths(window);
    const auto &tabs = window.tabs;
    const auto from = std::find_if(tabs.begin(), tabs.end(), [&](const SafariTab &tab) { return tab.id == tabID; });
    if (from == tabs.end() || !depths.contains(tabID)) return std::nullopt;
    const int draggedDepth = depths.value(tabID);
    auto blockLast = std::next(from);
    while (blockLast != tabs.end()) {
        const auto it = depths.constFind(blockLast->id);
        if (it == depths.cend() || *it <= draggedDepth) break;
        ++blockLast;
    }
    const auto inMovedBlock = [&](const QString &id) {
        return std::any_of(from, blockLast, [&](const SafariTab &tab) { return tab.id == id; });
    };
    // Rows that disagree with the window could otherwise nest the tab under itself or one of its
    // own nested tabs, or aim at a place inside the block that moves.
    if (newParentID && inMovedBlock(*newParentID)) return std::nullopt;
    if (below && inMovedBlock(below->tab.id)) return std::nullopt;

    std::vector<const SafariTab *> left;  // the window without the block
    left.reserve(tabs.size());
    for (auto it = tabs.begin(); it != tabs.end(); ++it)
        if (it < from || it >= blockLast) left.push_back(&*it);
    const auto positionOf = [&](const QString &id) -> std::optional<std::size_t> {
        const auto found = std::find_if(left.begin(), left.end(), [&](const SafariTab *tab) { return tab->id == id; });
        if (found == left.end()) return std::nullopt;
        return std::size_t(found - left.begin());
    };
    // Past the tabs nested under the one at `position`, folded away or shown elsewhere.
    const auto pastNested = [&](std::size_t position, int ownDepth) {
        std::size_t i = position + 1;
        while (i < left.size() && depths.value(left[i]->id, -1) > ownDepth) ++i;
        return i;
    };
    std::size_t to = left.size();
    if (below) {
        if (const auto position = positionOf(below->tab.id)) to = *position;
    } else if (above) {
        // Below the last row: after the section's last tab, not after the pinned or grouped tabs
        // that follow it in the window.
        if (const auto position = positionOf(above->tab.id)) to = pastNested(*position, depths.value(above->tab.id));
    }
    // Tabs the section does not show (pinned, grouped, folded away) may stand between the row
    // above and the row below. A nested block goes right after its new parent's nested tabs
    // among them: the browser's tree only keeps a tab that stands beside its parent.
    if (newParentID && above) {
        const auto parentDepth = depths.constFind(*newParentID);
        const auto start = positionOf(above->tab.id);
        if (parentDepth != depths.cend() && start && *start < to) to = std::min(to, pastNested(*start, *parentDepth));
    }
    // Back in its own place under the same parent: the section looks as before, so the browser
    // must too, whatever tabs it holds there that the section does not show.
    const bool samePlace = insertionRow == d && newParentID == draggedRow->tab.parentID;
    if (samePlace) to = std::size_t(from - tabs.begin());

    TabDropPlan plan;
    plan.move.windowID = window.safariID;
    plan.move.fromIndex = (from - tabs.begin()) + 1;
    plan.move.count = blockLast - from;
    plan.move.toIndex = std::int64_t(to) + 1;
    plan.move.expectedURL = absoluteText(draggedRow->tab.url);
    plan.move.expectedTabCount = std::int64_t(tabs.size());
    plan.move.tabID = tabID;
    plan.move.newParentID = newParentID;
    plan.insertionRow = int(insertionRow);
    plan.depth = int(depth);
    plan.changesAnything = plan.move.fromIndex != plan.move.toIndex || newParentID != draggedRow->tab.parentID;
    return plan;
}

}  // namespace ondrake
