#pragma once

#include <QRectF>

#include <cstdint>
#include <optional>
#include <vector>

namespace ondrake {

// One measurement of the browser's front window. Frames are in screen coordinates (origin at the
// bottom left of the first screen).
struct SafariWindowSample {
    QRectF frame;
    QRectF predictedFrame;  // where the window should be at the next display frame; else `frame`
    std::int64_t number = 0;  // the window server's number, also the browser's scripting window id
    bool isMoving = false;
    bool isPressed = false;  // primary mouse button down
    std::vector<QRectF> popovers;  // the browser's small windows lying over it, front to back
    std::optional<bool> sidebarIsInFront;  // unknown until a full scan answered
    std::optional<bool> windowIsInFront;   // no other application's window lay in front of it

    bool operator==(const SafariWindowSample &) const = default;
};

}  // namespace ondrake
