#pragma once

#include "Ondrake/Sidebar/SidebarHeading.h"

#include "Store/TabViewSection.h"

namespace ondrake {

// One section of the age, domain or group arrangement: a small heading with its tab count, then
// flat rows that cannot be dragged.
struct TabSectionView {
    static constexpr double kHeadingHeight = 22;
    static constexpr double kBottomPadding = 6;

    TabViewSection section;

    SidebarHeading heading(bool compact) const;
};

}  // namespace ondrake
