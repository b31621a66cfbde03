#include "Screens.h"

#include <algorithm>

namespace ondrake {

QRectF flipped(const QRectF &rect, double firstScreenHeight) {
    return {rect.x(), firstScreenHeight - rect.y() - rect.height(), rect.width(), rect.height()};
}

double intersectionArea(const QRectF &a, const QRectF &b) {
    const double w = std::min(a.x() + a.width(), b.x() + b.width()) - std::max(a.x(), b.x());
    const double h = std::min(a.y() + a.height(), b.y() + b.height()) - std::max(a.y(), b.y());
    return (w > 0 && h > 0) ? w * h : 0;
}

double Screens::firstScreenHeight() const {
    const auto all = screens();
    return all.empty() ? 0 : all.front().frame.height();
}

QRectF Screens::toNative(const QRectF &screenRect) const {
    return flipped(screenRect, firstScreenHeight()).translated(nativeOrigin());
}

QRectF Screens::fromNative(const QRectF &nativeRect) const {
    return flipped(nativeRect.translated(-nativeOrigin()), firstScreenHeight());
}

}  // namespace ondrake
