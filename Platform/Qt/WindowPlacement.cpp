#include "Qt/WindowPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace ondrake {

WindowPlacement::WindowPlacement(std::unique_ptr<X11Placement> server) : server_(std::move(server)) {}
WindowPlacement::~WindowPlacement() = default;
WindowPlacement::WindowPlacement(WindowPlacement &&) noexcept = default;
WindowPlacement &WindowPlacement::operator=(WindowPlacement &&) noexcept = default;

DevicePixels WindowPlacement::pixelsAt(const QWidget &window, const QRectF &place) {
    if (auto *screen = QGuiApplication::screenAt(place.center().toPoint())) return DevicePixels::of(screen);
    return DevicePixels::of(window.screen());
}

QRectF WindowPlacement::placeOf(const QWidget &window) const {
    if (server_ && window.internalWinId()) {
        if (const auto inside = server_->insides({X11Placement::WindowID(window.internalWinId())}).front())
            return DevicePixels::of(window.screen()).toQt(*inside);
    }
    return QRectF(window.geometry());
}

QRect WindowPlacement::place(QWidget &window, const QRectF &place) const {
    const auto device = pixelsAt(window, place);
    const QRect pixels = device.toPixels(place);
    // Qt's own request goes first and lands where its rounding of whole units does; where the
    // server can be told, the exact pixels follow. Qt then hears of them as the geometry it was
    // given, and asks for nothing more until the place changes.
    window.setGeometry(device.qtGeometry(pixels));
    if (server_ && window.internalWinId()) server_->place(X11Placement::WindowID(window.internalWinId()), pixels);
    return pixels;
}

}  // namespace ondrake
