#pragma once

#include <array>
#include <cstdint>

namespace ondrake {

// One adjustment of a browser window's bounds ({left, top, right, bottom}, screen points, origin
// at the top left), kept so the window can be put back.
struct SafariWindowFrameChange {
    std::int64_t windowID = 0;
    std::array<double, 4> original{};  // before the change
    std::array<double, 4> applied{};   // as read back after it

    bool operator==(const SafariWindowFrameChange &) const = default;
};

}  // namespace ondrake
