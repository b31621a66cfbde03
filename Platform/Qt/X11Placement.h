#pragma once

#include <QRect>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

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

    // Asks for the window's inside on the root at these pixels, through the window manager where
    // one runs, as Qt asks for a geometry; the manager is let to give it any size.
    void place(WindowID window, const QRect &pixels) const;

private:
    std::optional<WindowID> rootOf(WindowID window) const;
    void allowEverySize(WindowID window) const;

    xcb_connection_t *connection_;
    mutable std::optional<WindowID> root_;
};

}  // namespace ondrake
