#pragma once

#include <functional>

namespace ondrake {

// The sidebar panel's rail width and corner radius, which the panel's window controller owns. The
// application hands these in; without a panel the getters answer the defaults and the setters do
// nothing.
struct SettingsPanelGeometry {
    std::function<double()> getCompactWidth = [] { return 64.0; };
    std::function<void(double)> setCompactWidth = [](double) {};
    std::function<double()> getCornerRadius = [] { return 20.0; };
    std::function<void(double)> setCornerRadius = [](double) {};
};

}  // namespace ondrake
