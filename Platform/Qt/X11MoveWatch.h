#pragma once

#include "Qt/X11Placement.h"

#include <QAbstractNativeEventFilter>
#include <QRect>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>

struct xcb_connection_t;

namespace ondrake {

// Tells of a window's new place each time the window manager moves the frame it keeps the window
// in. The window's client hears of such a move only once a move by hand ends, since the window
// keeps its place inside the frame. Main thread.
class X11MoveWatch final : public QAbstractNativeEventFilter {
public:
    using WindowID = std::uint32_t;
    // The window's inside on the root, in the server's pixels.
    using Handler = std::function<void(const QRect &inside)>;

    // Nothing unless the application runs on X11.
    static std::unique_ptr<X11MoveWatch> forApplication();

    explicit X11MoveWatch(xcb_connection_t *connection);
    ~X11MoveWatch() override;
    X11MoveWatch(const X11MoveWatch &) = delete;
    X11MoveWatch &operator=(const X11MoveWatch &) = delete;

    // One handler a window, told until the window is no longer watched.
    void watch(WindowID window, Handler moved);
    void unwatch(WindowID window);

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

private:
    struct Watched {
        Handler moved;
        std::optional<WindowID> frame;
    };

    void findFrame(WindowID window, Watched &watched);
    void tell(WindowID window, const Watched &watched) const;
    std::optional<WindowID> topLevelAncestor(WindowID window) const;

    xcb_connection_t *connection_;
    X11Placement placement_;
    std::map<WindowID, Watched> windows_;
};

}  // namespace ondrake
