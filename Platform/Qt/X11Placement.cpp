#include "Qt/X11Placement.h"

#include "Qt/XcbConnection.h"
#include "Qt/XcbReply.h"

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace ondrake {

std::unique_ptr<X11Placement> X11Placement::forApplication() {
    if (auto *connection = applicationXcbConnection()) return std::make_unique<X11Placement>(connection);
    return nullptr;
}

void X11Placement::allowEverySize(WindowID window) const {
    // Under a scale Qt asks the manager to size the window in steps of the scale's whole pixels,
    // which would take a size between them back to a step.
    constexpr std::uint32_t kResizeIncrement = 1u << 6;  // PResizeInc
    constexpr std::uint32_t kHintsLength = 18;           // 32-bit fields of WM_SIZE_HINTS
    const XcbReply<xcb_get_property_reply_t> hints{xcb_get_property_reply(
        connection_,
        xcb_get_property(connection_, 0, window, XCB_ATOM_WM_NORMAL_HINTS, XCB_ATOM_WM_SIZE_HINTS, 0, kHintsLength),
        nullptr)};
    if (!hints || hints->format != 32 || xcb_get_property_value_length(hints.get()) < int(kHintsLength * 4)) return;
    std::uint32_t fields[kHintsLength];
    std::memcpy(fields, xcb_get_property_value(hints.get()), sizeof fields);
    if (!(fields[0] & kResizeIncrement)) return;
    fields[0] &= ~kResizeIncrement;
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NORMAL_HINTS, XCB_ATOM_WM_SIZE_HINTS,
                        32, kHintsLength, fields);
}

void X11Placement::place(WindowID window, const QRect &pixels) const {
    allowEverySize(window);
    const std::uint32_t values[] = {std::uint32_t(pixels.x()), std::uint32_t(pixels.y()),
                                    std::uint32_t(std::max(pixels.width(), 1)),
                                    std::uint32_t(std::max(pixels.height(), 1))};
    xcb_configure_window(connection_, window,
                         XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT,
                         values);
    xcb_flush(connection_);
}

std::optional<X11Placement::WindowID> X11Placement::rootOf(WindowID window) const {
    if (root_) return root_;
    xcb_generic_error_t *error = nullptr;
    const XcbReply<xcb_get_geometry_reply_t> geometry{
        xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, window), &error)};
    std::free(error);
    if (geometry) root_ = geometry->root;
    return root_;
}

std::vector<std::optional<QRect>> X11Placement::insides(const std::vector<WindowID> &windows) const {
    std::vector<std::optional<QRect>> out(windows.size());
    if (windows.empty() || !rootOf(windows.front())) return out;

    std::vector<xcb_get_geometry_cookie_t> sizes;
    std::vector<xcb_translate_coordinates_cookie_t> places;
    sizes.reserve(windows.size());
    places.reserve(windows.size());
    for (const auto window : windows) {
        sizes.push_back(xcb_get_geometry(connection_, window));
        places.push_back(xcb_translate_coordinates(connection_, window, *root_, 0, 0));
    }
    // Every reply is taken, even after a failure, so that none is left waiting in the connection.
    for (std::size_t i = 0; i < windows.size(); ++i) {
        xcb_generic_error_t *sizeError = nullptr;
        xcb_generic_error_t *placeError = nullptr;
        const XcbReply<xcb_get_geometry_reply_t> size{xcb_get_geometry_reply(connection_, sizes[i], &sizeError)};
        const XcbReply<xcb_translate_coordinates_reply_t> place{
            xcb_translate_coordinates_reply(connection_, places[i], &placeError)};
        std::free(sizeError);
        std::free(placeError);
        if (size && place && place->same_screen) out[i] = QRect(place->dst_x, place->dst_y, size->width, size->height);
    }
    return out;
}

}  // namespace ondrake
