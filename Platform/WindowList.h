#pragma once

#include <QRectF>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace ondrake {

// One entry of the window server's list. Every key may be missing, as with the real service, so
// readers check each one.
struct WindowInfo {
    std::optional<std::int64_t> number;
    std::optional<int> layer;              // 0 for normal application windows
    std::optional<QRectF> bounds;          // origin at the top left of the first screen, y down
    std::optional<std::int64_t> ownerProcessID;
    bool isOnScreen = false;

    bool operator==(const WindowInfo &) const = default;
};

// The window server's list of windows. Main thread.
class WindowList {
public:
    virtual ~WindowList() = default;

    // The on-screen windows without desktop elements, front to back; nothing when the list
    // cannot be read.
    virtual std::optional<std::vector<WindowInfo>> onScreenWindows() const = 0;
    // The one window with that number, on screen or not; nothing when there is no such window.
    virtual std::optional<WindowInfo> window(std::int64_t number) const = 0;

    using ChangeHandler = std::function<void()>;
    // Where the platform announces that its windows were restacked, called after each such
    // change; lets a reader that looks only now and then look at once. One handler at a time;
    // nothing ever calls it where no such announcement exists.
    virtual void setChangeHandler(ChangeHandler handler) const { (void)handler; }
};

}  // namespace ondrake
