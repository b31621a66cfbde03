#include "SidebarWindowScope.h"

#include "UserDefaults.h"

#include <algorithm>

namespace ondrake {

QString toString(SidebarWindowScope scope) {
    return scope == SidebarWindowScope::allWindows ? QStringLiteral("allWindows") : QStringLiteral("activeWindow");
}

SidebarWindowScope currentWindowScope(const UserDefaults &defaults) {
    const auto stored = defaults.stringForKey(kSidebarWindowScopeKey);
    return stored && *stored == QLatin1String("allWindows") ? SidebarWindowScope::allWindows
                                                             : SidebarWindowScope::activeWindow;
}

std::vector<SafariWindow> scopedWindows(SidebarWindowScope scope, std::vector<SafariWindow> windows) {
    if (scope == SidebarWindowScope::allWindows || windows.empty()) return windows;
    const auto front = std::find_if(windows.begin(), windows.end(), [](const SafariWindow &w) { return w.isFrontmost; });
    return {std::move(front != windows.end() ? *front : windows.front())};
}

}  // namespace ondrake
