#pragma once

#include "Qt/DevicePixels.h"
#include "Qt/X11Placement.h"

#include <QRectF>

#include <memory>

class QWidget;

namespace ondrake {

// Where this application's top-level windows stand and where they go, to the display server's
// pixel. Qt alone takes and tells a window's place in its own whole units, which under a
// fractional scale stand on only some of the pixels; where the server can be asked and told (X11)
// the place is the server's, so that a window put beside another meets it on the screen. Places
// are in Qt's units and may hold fractions. Main thread.
class WindowPlacement {
public:
    explicit WindowPlacement(std::unique_ptr<X11Placement> server = X11Placement::forApplication());
    ~WindowPlacement();
    WindowPlacement(WindowPlacement &&) noexcept;
    WindowPlacement &operator=(WindowPlacement &&) noexcept;

    bool readsPixels() const { return server_ != nullptr; }
    // The pixels of the screen a place falls on: the one holding its centre, else the window's.
    static DevicePixels pixelsAt(const QWidget &window, const QRectF &place);
    // Where the window's inside stands now.
    QRectF placeOf(const QWidget &window) const;
    // Puts the window's inside on the pixels nearest `place`, and answers them.
    QRect place(QWidget &window, const QRectF &place) const;

private:
    std::unique_ptr<X11Placement> server_;
};

}  // namespace ondrake
