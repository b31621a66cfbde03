#pragma once

#include "Store/SidebarModifiers.h"

#include "Platform/TextHash.h"

#include <QString>

#include <optional>
#include <vector>

namespace ondrake {

// The selected sidebar rows by session tab id, with the row a shift-click extends from.
struct TabSelection {
    TextSet ids;
    std::optional<QString> anchor;

    // Command toggles, shift extends over `visibleIDs` (display order), anything else selects
    // the row alone.
    void click(const QString &id, SidebarModifiers modifiers, const std::vector<QString> &visibleIDs);
    // The range between the anchor and `id`, replacing the selection; a plain click when either
    // end is not shown.
    void extend(const QString &id, const std::vector<QString> &visibleIDs);

    bool operator==(const TabSelection &) const = default;
};

}  // namespace ondrake
