#pragma once

#include <QPointF>
#include <Qt>

namespace ondrake {

// The mouse. Main thread.
class Pointer {
public:
    virtual ~Pointer() = default;

    // In screen coordinates (origin bottom left of the first screen).
    virtual QPointF location() const = 0;
    virtual Qt::MouseButtons pressedButtons() const = 0;

    bool isPrimaryButtonDown() const { return pressedButtons().testFlag(Qt::LeftButton); }
};

}  // namespace ondrake
