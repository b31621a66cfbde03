#include "SidebarEdgeBehavior.h"

#include "UserDefaults.h"

namespace ondrake {

QString toString(SidebarEdgeBehavior behavior) {
    return behavior == SidebarEdgeBehavior::slideOffScreen ? QStringLiteral("slideOffScreen")
                                                           : QStringLiteral("moveSafari");
}

std::optional<SidebarEdgeBehavior> sidebarEdgeBehaviorFrom(const QString &rawValue) {
    if (rawValue == QLatin1String("moveSafari")) return SidebarEdgeBehavior::moveSafari;
    if (rawValue == QLatin1String("slideOffScreen")) return SidebarEdgeBehavior::slideOffScreen;
    return std::nullopt;
}

SidebarEdgeBehavior currentSidebarEdgeBehavior(const UserDefaults &defaults) {
    const auto stored = defaults.stringForKey(kSidebarEdgeBehaviorKey);
    return stored == QStringLiteral("slideOffScreen") ? SidebarEdgeBehavior::slideOffScreen
                                                      : SidebarEdgeBehavior::moveSafari;
}

}  // namespace ondrake
