#include "Qt/X11Placement.h"

#include "Qt/XcbConnection.h"
#include "Qt/XcbReply.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

#include <xcb/xcb.h>

#include <cstdlib>

namespace ondrake {

std::unique_ptr<X11Placement> X11Placement::forApplication() {
    if (auto *connection = applicationXcbConnection()) return std::make_unique<X11Placement>(connection);
    return nullptr;
}

QRect X11Placement::toQt(const QWindow &window, const QRect &serverRect) {
    // Qt scales the server's pixels about each screen's top left, which it keeps.
    const double ratio = window.devicePixelRatio();
    if (ratio == 1 || !window.screen()) return serverRect;
    const QPointF origin = window.screen()->geometry().topLeft();
    const QPointF topLeft = origin + (QPointF(serverRect.topLeft()) - origin) / ratio;
    return QRectF(topLeft, QSizeF(serverRect.size()) / ratio).toAlignedRect();
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
