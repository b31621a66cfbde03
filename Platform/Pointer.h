#pragma once

#include <QObject>
#include <QPointF>
#include <Qt>

namespace ondrake {

// The mouse. Main thread.
class Pointer : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // In screen coordinates (origin bottom left of the first screen).
    virtual QPointF location() const = 0;
    virtual Qt::MouseButtons pressedButtons() const = 0;

    bool isPrimaryButtonDown() const { return pressedButtons().testFlag(Qt::LeftButton); }

Q_SIGNALS:
    // The primary button went down, wherever the platform tells of it; lets a watcher that looks
    // only now and then look closely at once.
    void primaryButtonPressed();
};

}  // namespace ondrake
