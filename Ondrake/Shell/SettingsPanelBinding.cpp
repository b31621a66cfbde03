#include "Shell/SettingsPanelBinding.h"

#include "Shell/SidebarWindowController.h"

#include <algorithm>
#include <cmath>

namespace ondrake {

SettingsPanelGeometry settingsPanelBinding(std::function<SidebarWindowController *()> controller,
                                           UserDefaults &defaults) {
    SettingsPanelGeometry geometry;
    geometry.getCompactWidth = [controller] {
        const auto *c = controller();
        return c ? c->compactWidth() : SidebarWindowController::kDefaultCompactWidth;
    };
    geometry.setCompactWidth = [controller, &defaults](double width) {
        auto *c = controller();
        if (!c || std::isnan(width)) return;
        const double clamped = std::clamp(width, SidebarWindowController::kMinimumCompactWidth,
                                          SidebarWindowController::kMaximumCompactWidth);
        if (clamped == c->compactWidth()) return;
        c->setCompactWidth(clamped);
        defaults.setDouble(SidebarWindowController::kCompactWidthKey, clamped);
    };
    geometry.getCornerRadius = [controller] {
        const auto *c = controller();
        return c ? c->cornerRadius() : SidebarWindowController::kDefaultCornerRadius;
    };
    geometry.setCornerRadius = [controller](double radius) {
        if (auto *c = controller()) c->setCornerRadius(radius);
    };
    return geometry;
}

}  // namespace ondrake
