#pragma once

#include "Browser/SafariTab.h"
#include "Ondrake/Model/Identifiers.h"
#include "Store/SidebarModifiers.h"

#include <functional>
#include <optional>

namespace ondrake {

// Every effect of a row leaves through one of these; the row never talks to the store. Each
// receives the row's tab. Unset closures do nothing, so a host fills only what it offers.
struct TabRowActions {
    using TabAction = std::function<void(const SafariTab &)>;

    std::function<void(const SafariTab &, SidebarModifiers)> click = [](const SafariTab &, SidebarModifiers) {};
    TabAction close = [](const SafariTab &) {};
    TabAction toggleSubtree = [](const SafariTab &) {};
    TabAction toggleImportant = [](const SafariTab &) {};
    TabAction toggleLocked = [](const SafariTab &) {};
    TabAction toggleReadLater = [](const SafariTab &) {};
    TabAction addToReadLaterAndClose = [](const SafariTab &) {};
    TabAction markRead = [](const SafariTab &) {};
    TabAction togglePinned = [](const SafariTab &) {};
    TabAction toggleMuted = [](const SafariTab &) {};
    std::function<void(const SafariTab &, bool)> muteSubtree = [](const SafariTab &, bool) {};
    std::function<void(const SafariTab &, std::optional<TabGroupID>)> assignGroup =
        [](const SafariTab &, std::optional<TabGroupID>) {};
    TabAction requestNewGroup = [](const SafariTab &) {};
};

}  // namespace ondrake
