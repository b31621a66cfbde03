#include "TabSelection.h"

#include <algorithm>

namespace ondrake {

void TabSelection::click(const QString &id, SidebarModifiers modifiers, const std::vector<QString> &visibleIDs) {
    if (modifiers.contains(SidebarModifiers::command())) {
        if (!ids.erase(id)) ids.insert(id);
        anchor = id;
    } else if (modifiers.contains(SidebarModifiers::shift())) {
        extend(id, visibleIDs);
    } else {
        ids = {id};
        anchor = id;
    }
}

void TabSelection::extend(const QString &id, const std::vector<QString> &visibleIDs) {
    const auto position = [&](const QString &wanted) { return std::find(visibleIDs.begin(), visibleIDs.end(), wanted); };
    if (anchor) {
        const auto from = position(*anchor);
        const auto to = position(id);
        if (from != visibleIDs.end() && to != visibleIDs.end()) {
            const auto [low, high] = std::minmax(from, to);
            ids = TextSet(low, high + 1);
            return;
        }
    }
    ids = {id};
    anchor = id;
}

}  // namespace ondrake
