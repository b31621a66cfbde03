#pragma once

#include <QMargins>
#include <QRectF>
#include <QSize>

#include <vector>

namespace ondrake {

// Windows of one size standing one behind the other, each a step further right and down, so that
// the band along each window's top (a title bar and a tab strip) shows whatever their order: a
// window further down, its step down no smaller than the band, never reaches up into the band of
// one above it, and one further up ends a step left of the band's right end. Whole points, in
// coordinates with y down.
struct WindowCascade {
    // Kept free inside the area: at the left for a sidebar beside the first window, above for a
    // title bar, at the right and the bottom for a frame.
    QMargins room;
    QSize step;  // from one window to the next
    QSize preferredSize;
    QSize minimumSize;

    // `count` windows inside `area`, the top left one first. Short of room, the windows shrink
    // toward their minimum first, then the steps, then the room kept free; a window is never larger
    // than the area.
    std::vector<QRectF> windows(const QRectF &area, int count) const;
};

}  // namespace ondrake
