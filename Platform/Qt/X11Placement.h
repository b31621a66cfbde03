#pragma once

#include <QRect>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class QWindow;
struct xcb_connection_t;

namespace ondrake {

// Where the X server has windows now. A window manager moving a window by hand tells the window's
// client of its new place only once the move ends; the server knows it all along. Main thread.
class X11Placement {
public:
    using WindowID = std::uint32_t;

    // Nothing unless the application runs on X11.
    static std::unique_ptr<X11Placement> forApplication();

    explicit X11Placement(xcb_connection_t *connection) : connection_(connection) {}

    // Each window's inside on the root, in the server's pixels, in the order asked; nothing for a
    // window the server does not know. All the questions go out before the first answer is
    // awaited, so the list costs one wait whatever its length.
    std::vector<std::optional<QRect>> insides(const std::vector<WindowID> &windows) const;

    // A rectangle in the server's pixels in the coordinates Qt gives `window`'s geometry in.
    static QRect toQt(const QWindow &window, const QRect &serverRect);

private:
    std::optional<WindowID> rootOf(WindowID window) const;

    xcb_connection_t *connection_;
    mutable std::optional<WindowID> root_;
};

}  // namespace ondrake
