#pragma once

#include <QRectF>

// Screen rectangles of the overlay have their origin at the bottom left of the first screen, so
// y grows upwards and a rectangle's top edge is its largest y. QRectF's own top() and bottom()
// assume the opposite; these say what is meant.
namespace ondrake::screen {

inline double minX(const QRectF &r) { return r.x(); }
inline double maxX(const QRectF &r) { return r.x() + r.width(); }
inline double minY(const QRectF &r) { return r.y(); }
inline double maxY(const QRectF &r) { return r.y() + r.height(); }

}  // namespace ondrake::screen
