#pragma once

#include "Browser/SafariTab.h"

#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace ondrake {

// Where the active tab sits: its group, the tabs it was opened from, root first, and the tab
// itself, shortened to a number of crumbs.
struct TabBreadcrumb {
    struct Crumb {
        enum class Kind { group, tab, elision };

        QString id;  // "group", "elision", or the Safari tab's id
        QString title;
        Kind kind = Kind::tab;
        std::optional<QString> tabID;  // the tab a click activates; none when the crumb is not clickable

        bool operator==(const Crumb &) const = default;
    };

    // The name of the group of the record behind a Safari tab, none without one.
    using GroupNameLookup = std::function<std::optional<QString>(const QString &tabID)>;

    std::vector<Crumb> crumbs;

    bool operator==(const TabBreadcrumb &) const = default;

    static TabBreadcrumb make(const SafariTab &activeTab, const std::vector<SafariTab> &tabs, int maximum,
                              const GroupNameLookup &groupName);
    // The first crumb, an elision and the last maximum - 2, when there are more than the maximum
    // and the maximum leaves room for that; otherwise the crumbs unchanged.
    static std::vector<Crumb> elided(int maximum, std::vector<Crumb> crumbs);
};

}  // namespace ondrake
