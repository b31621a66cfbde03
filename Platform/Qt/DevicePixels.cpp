#include "Qt/DevicePixels.h"

#include <QScreen>

#include <cmath>

namespace ondrake {

namespace {
// Halves go up, wherever they lie, so that an edge shared by two rectangles lands on one pixel.
int nearest(double value) { return int(std::floor(value + 0.5)); }
}  // namespace

DevicePixels DevicePixels::of(const QScreen *screen) {
    if (!screen) return {};
    return {screen->devicePixelRatio(), screen->geometry().topLeft()};
}

QRectF DevicePixels::toQt(const QRect &pixels) const {
    const auto edge = [&](int pixel, int from) { return from + (pixel - from) / ratio; };
    const double left = edge(pixels.x(), origin.x());
    const double top = edge(pixels.y(), origin.y());
    return QRectF(QPointF(left, top), QPointF(edge(pixels.x() + pixels.width(), origin.x()),
                                              edge(pixels.y() + pixels.height(), origin.y())));
}

QRect DevicePixels::toPixels(const QRectF &qt) const {
    const auto edge = [&](double unit, int from) { return nearest(from + (unit - from) * ratio); };
    const int left = edge(qt.left(), origin.x());
    const int top = edge(qt.top(), origin.y());
    return QRect(left, top, edge(qt.right(), origin.x()) - left, edge(qt.bottom(), origin.y()) - top);
}

QRect DevicePixels::qtGeometry(const QRect &pixels) const {
    // As Qt scales from the server's pixels: by the inverse ratio, rounding as its point and size
    // types round a product.
    const double factor = 1 / ratio;
    return QRect((pixels.topLeft() - origin) * factor + origin, pixels.size() * factor);
}

}  // namespace ondrake
