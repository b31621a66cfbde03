#pragma once

#include <QString>

#include <optional>

namespace ondrake {

class UserDefaults;

// How the sidebar meets the screen's left edge.
enum class SidebarEdgeBehavior {
    moveSafari,     // the panel stays on screen; the browser's window moves aside for it
    slideOffScreen  // the panel may leave the screen, unless the browser's window fills it
};

inline const QString kSidebarEdgeBehaviorKey = QStringLiteral("SidebarEdgeBehavior");

QString toString(SidebarEdgeBehavior behavior);
std::optional<SidebarEdgeBehavior> sidebarEdgeBehaviorFrom(const QString &rawValue);
// The stored choice, read afresh on every call; `moveSafari` unless "slideOffScreen" is stored.
SidebarEdgeBehavior currentSidebarEdgeBehavior(const UserDefaults &defaults);

}  // namespace ondrake
