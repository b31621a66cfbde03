#pragma once

#include <QPoint>
#include <QRect>
#include <QRectF>

class QScreen;

namespace ondrake {

// Between the display server's pixels and Qt's units on one screen, which Qt scales by the
// screen's device pixel ratio about the screen's top left, the same point in both. Every edge is
// mapped on its own: into Qt's units exactly, back to the nearest pixel. So a rectangle comes back
// from Qt's units to the very pixels it came from, and two rectangles that meet in one meet in the
// other. Qt's own window geometry is whole units, which under a fractional ratio stand on only
// some of the pixels; `qtGeometry` says what Qt makes of a window on any of them.
struct DevicePixels {
    double ratio = 1;
    QPoint origin;  // the screen's top left, in both

    // The screen's; one to one without a screen.
    static DevicePixels of(const QScreen *screen);

    QRectF toQt(const QRect &pixels) const;
    QRect toPixels(const QRectF &qt) const;
    // The geometry Qt gives a window standing on these pixels: its position and its size, each
    // rounded on its own.
    QRect qtGeometry(const QRect &pixels) const;

    bool operator==(const DevicePixels &) const = default;
};

}  // namespace ondrake
