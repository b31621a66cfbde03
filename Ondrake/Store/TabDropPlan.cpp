#include "Store/TabDropPlan.h"

#include "Browser/BrowserURL.h"
#include "Browser/TabTreeSpine.h"
#include "Platform/TextHash.h"


#include <algorithm>
#include <cstdint>

namespace ondrake {

namespace {
using TabList = std::vector<const SafariTab *>;

// `count` tabs from position `from` to position `to` (both 0-based, `to` counted without them).
SafariTabMove moveOf(const SafariWindow &window, const SafariTab &first, std::size_t from, std::size_t count,
                     std::size_t to, std::optional<QString> newParentID) {
    return SafariTabMove{.windowID = window.safariID,
                         .fromIndex = std::int64_t(from) + 1,
                         .count = std::int64_t(count),
                         .toIndex = std::int64_t(to) + 1,
                         .expectedURL = absoluteText(first.url),
                         .expectedTabCount = std::int64_t(window.tabs.size()),
                         .tabID = first.id,
                         .newParentID = std::move(newParentID)};
}
}  // namespace

std::optional<TabDropPlan> TabDropPlan::make(const QString &tabID, const SafariWindow &window,
                                             const SafariWindow &section, const std::vector<TabTreeRow> &rows,
                                             int rowOffset, int depthOffset) {
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

    // The block is what the rows show moving: the dragged tab and the section's tabs nested
    // under it, folded away or not. Tabs of other sections that stand among them stay.
    const auto shownDepths = TabTreeRow::depths(section);
    const auto sectionTab = std::find_if(section.tabs.begin(), section.tabs.end(),
                                         [&](const SafariTab &tab) { return tab.id == tabID; });
    if (sectionTab == section.tabs.end()) return std::nullopt;
    const int ownDepth = valueOr(shownDepths, tabID);
    TextSet block{tabID};
    for (auto it = std::next(sectionTab); it != section.tabs.end() && valueOr(shownDepths, it->id) > ownDepth; ++it)
        block.insert(it->id);
    const auto inBlock = [&](const TabTreeRow &row) { return block.contains(row.tab.id); };
    // Rows out of step with their section could aim inside the block or leave part of it behind.
    if (!std::all_of(draggedRow, blockEnd, inBlock) ||
        std::any_of(remaining.begin(), remaining.end(), [&](const TabTreeRow *row) { return inBlock(*row); }))
        return std::nullopt;
    TextSet shownHere;
    for (const auto &tab : section.tabs) shownHere.insert(tab.id);

    const auto &tabs = window.tabs;
    TabList moved, left;  // the block and the rest, in the window's order
    std::size_t from = 0;
    for (std::size_t i = 0; i < tabs.size(); ++i) {
        if (!block.contains(tabs[i].id)) {
            left.push_back(&tabs[i]);
            continue;
        }
        if (moved.empty()) from = i;
        moved.push_back(&tabs[i]);
    }
    if (moved.size() != std::size_t(block.size()) || moved.front()->id != tabID) return std::nullopt;

    TextMap<std::optional<QString>> parents;  // before the drop
    TextMap<std::size_t> indices;
    for (std::size_t i = 0; i < tabs.size(); ++i) {
        parents.insert_or_assign(tabs[i].id, tabs[i].parentID);
        indices.insert_or_assign(tabs[i].id, i);
    }
    // Where a tab lands in the browser's tree when its link to `parent` does not hold: a tab of
    // another section under the nearest of its ancestors it still stands beside, once re-nested
    // there, else at the top level.
    const auto nearestHeld = [&](const TabTreeSpine &spine, const QString &parent) -> std::optional<QString> {
        auto up = valueOr(parents, parent);
        for (std::size_t steps = 0; up && steps < tabs.size(); ++steps, up = valueOr(parents, *up))
            if (spine.holds(*up)) return up;
        return std::nullopt;
    };
    // Depths in the window once the block has gone.
    TextMap<int> depths;
    {
        TabTreeSpine spine;
        for (const SafariTab *tab : left) {
            auto parent = tab->parentID;
            if (parent && !spine.holds(*parent)) parent = nearestHeld(spine, *parent);
            depths.insert_or_assign(tab->id, spine.take(tab->id, parent));
        }
    }
    const auto positionOf = [&](const QString &id) -> std::optional<std::size_t> {
        const auto found = std::find_if(left.begin(), left.end(), [&](const SafariTab *tab) { return tab->id == id; });
        if (found == left.end()) return std::nullopt;
        return std::size_t(found - left.begin());
    };
    // Past the tabs nested under the one at `position`, folded away or shown elsewhere.
    const auto pastNested = [&](std::size_t position, int level) {
        std::size_t i = position + 1;
        while (i < left.size() && valueOr(depths, left[i]->id, -1) > level) ++i;
        return i;
    };
    std::size_t to = left.size();
    if (below) {
        const auto position = positionOf(below->tab.id);
        if (!position) return std::nullopt;
        to = *position;
    } else if (above) {
        // Below the last row: after the section's last tab, not after the pinned or grouped tabs
        // that follow it in the window.
        const auto position = positionOf(above->tab.id);
        if (!position) return std::nullopt;
        to = pastNested(*position, valueOr(depths, above->tab.id));
    }
    // Tabs the section does not show (pinned, grouped, folded away) may stand between the row
    // above and the row below. A nested block goes right after its new parent's nested tabs
    // among them: the browser's tree only keeps a tab that stands beside its parent.
    if (newParentID && above) {
        const auto parentDepth = depths.find(*newParentID);
        const auto start = positionOf(above->tab.id);
        if (parentDepth != depths.end() && start && *start < to) to = std::min(to, pastNested(*start, parentDepth->second));
    }

    TabDropPlan plan;
    plan.insertionRow = int(insertionRow);
    plan.depth = int(depth);
    plan.move = moveOf(window, tabs[from], from, moved.size(), from, newParentID);
    plan.move.expectedURL = absoluteText(draggedRow->tab.url);
    // Back in its own place under the same parent: the section looks as before, so the browser
    // must too, whatever tabs it holds there that the section does not show.
    if (insertionRow == d && newParentID == draggedRow->tab.parentID) return plan;

    TabList after = left;
    after.insert(after.begin() + std::ptrdiff_t(to), moved.begin(), moved.end());
    TextMap<std::optional<QString>> shownParents;
    for (const auto &tab : section.tabs) shownParents.insert_or_assign(tab.id, tab.parentID);
    const auto relink = [&](const SafariTab &tab, const std::optional<QString> &parent) {
        const std::size_t at = valueOr(indices, tab.id);
        plan.leadingMoves.push_back(moveOf(window, tab, at, 1, at, parent));
    };
    // The browser's tree once the block stands in its place, and what the section then draws:
    // every tab of the section as deep as the indicator promised, or no plan.
    TabTreeSpine tree, drawn;
    for (const SafariTab *tab : after) {
        auto parent = tab->id == tabID ? newParentID : valueOr(parents, tab->id);
        if (parent && !tree.holds(*parent)) {
            // A tab of another section whose parent went with the block would otherwise cut the
            // section's tabs around it off from their parent.
            parent = shownHere.contains(tab->id) ? std::nullopt : nearestHeld(tree, *parent);
            if (parent) relink(*tab, parent);
        }
        const bool shown = shownHere.contains(tab->id);
        const bool drawnNested = shown && parent && shownHere.contains(*parent) && drawn.holds(*parent);
        auto shownParent = drawnNested ? parent : std::nullopt;
        // A tab the section drew at the top level, though linked in the browser to a tab of the
        // section it comes to stand beside again, stays at the top level.
        if (shownParent && tab->id != tabID && !valueOr(shownParents, tab->id)) {
            parent.reset();
            shownParent.reset();
            relink(*tab, parent);
        }
        tree.take(tab->id, parent);
        if (!shown) continue;
        const int promised = valueOr(shownDepths, tab->id) + (block.contains(tab->id) ? int(depth) - ownDepth : 0);
        if (drawn.take(tab->id, shownParent) != promised) return std::nullopt;
    }

    // Tabs of other sections between the block's tabs stay: the block's later runs come up
    // behind the dragged tab first.
    TabList order;
    order.reserve(tabs.size());
    for (const auto &tab : tabs) order.push_back(&tab);
    for (std::size_t gathered = from + 1; gathered < from + moved.size();) {
        std::size_t start = gathered;
        while (!block.contains(order[start]->id)) ++start;
        std::size_t end = start;
        while (end < order.size() && block.contains(order[end]->id)) ++end;
        if (start != gathered) {
            const SafariTab &first = *order[start];
            plan.leadingMoves.push_back(moveOf(window, first, start, end - start, gathered, valueOr(parents, first.id)));
            std::rotate(order.begin() + std::ptrdiff_t(gathered), order.begin() + std::ptrdiff_t(start),
                        order.begin() + std::ptrdiff_t(end));
        }
        gathered += end - start;
    }

    plan.move.toIndex = std::int64_t(to) + 1;
    const bool reordered = !std::equal(after.begin(), after.end(), tabs.begin(),
                                       [](const SafariTab *a, const SafariTab &b) { return a == &b; });
    plan.changesAnything = reordered || newParentID != draggedRow->tab.parentID;
    return plan;
}

}  // namespace ondrake
