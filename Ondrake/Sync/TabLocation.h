#pragma once

#include "Browser/SafariTab.h"
#include "Platform/TextHash.h"

#include <QString>

#include <optional>
#include <vector>

namespace ondrake {

// Where a tab stands in a list of windows. Points into that list, so it lives no longer.
struct TabLocation {
    const SafariWindow *window = nullptr;
    const SafariTab *tab = nullptr;
};

// The first window, in list order, holding a tab with that session id.
std::optional<TabLocation> locateTab(const QString &sessionTabID, const std::vector<SafariWindow> &windows);

// The ids of the window's tabs nested under the tab at any depth, in the window's tab order,
// the tab itself never among them. Looks at most 64 levels down.
std::vector<QString> subtreeTabIDs(const QString &sessionTabID, const SafariWindow &window);

// A window's tab ids by the tab they are nested under, made once to ask about many subtrees
// without walking the whole window for each.
using NestedTabIndex = TextMap<std::vector<QString>>;
NestedTabIndex nestedTabIndex(const SafariWindow &window);
// What subtreeTabIDs finds, as a set.
TextSet nestedTabIDs(const QString &sessionTabID, const NestedTabIndex &index);

}  // namespace ondrake
