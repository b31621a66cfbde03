#include "Store/SidebarViewMode.h"

namespace ondrake {

QString toString(SidebarViewMode mode) {
    switch (mode) {
    case SidebarViewMode::tree: return QStringLiteral("tree");
    case SidebarViewMode::age: return QStringLiteral("age");
    case SidebarViewMode::domain: return QStringLiteral("domain");
    case SidebarViewMode::group: return QStringLiteral("group");
    }
    return QStringLiteral("tree");
}

std::optional<SidebarViewMode> sidebarViewModeFromString(QStringView text) {
    for (const auto mode : kAllSidebarViewModes)
        if (text == toString(mode)) return mode;
    return std::nullopt;
}

}  // namespace ondrake
