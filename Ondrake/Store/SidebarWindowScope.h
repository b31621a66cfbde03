#pragma once

#include "Browser/SafariTab.h"

#include <QString>

#include <vector>

namespace ondrake {

class UserDefaults;

// Which browser windows the sidebar lists: the one the user is in, or all in a fixed order.
enum class SidebarWindowScope { activeWindow, allWindows };

inline const QString kSidebarWindowScopeKey = QStringLiteral("SidebarWindowScope");

QString toString(SidebarWindowScope scope);
// Read afresh on every call: anything but exactly "allWindows" is the active window.
SidebarWindowScope currentWindowScope(const UserDefaults &defaults);
// Expects the windows already in the fixed order, so that a tie falls to the longest known.
std::vector<SafariWindow> scopedWindows(SidebarWindowScope scope, std::vector<SafariWindow> windows);

}  // namespace ondrake
