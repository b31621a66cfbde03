#include "Ondrake/Sidebar/MiddleClickCatcher.h"

#include <QMouseEvent>
#include <QWidget>

#include <utility>

namespace ondrake {

bool MiddleClickCatcher::press(Qt::MouseButton button, const RowID &row) {
    if (button != Qt::MiddleButton || !row) return false;
    pressed_ = row;
    return true;
}

void MiddleClickCatcher::drag(Qt::MouseButtons buttons, const RowID &row) {
    // Leaving the row gives up the click, even when the pointer comes back before release.
    if (pressed_ && (buttons & Qt::MiddleButton) && row != pressed_) pressed_.reset();
}

bool MiddleClickCatcher::release(Qt::MouseButton button, const RowID &row, RowID *fired) {
    if (fired) fired->reset();
    if (button != Qt::MiddleButton || !pressed_) return false;
    const RowID pressed = std::exchange(pressed_, std::nullopt);
    if (row == pressed && fired) *fired = pressed;
    return true;
}

MiddleClickFilter::MiddleClickFilter(QWidget *viewport, RowAt rowAt, OnClick onClick)
    : QObject(viewport), viewport_(viewport), rowAt_(std::move(rowAt)), onClick_(std::move(onClick)) {
    viewport->installEventFilter(this);
}

bool MiddleClickFilter::eventFilter(QObject *watched, QEvent *event) {
    if (watched != viewport_) return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {  // the second of two quick clicks arrives as a double click
        const auto *mouse = static_cast<QMouseEvent *>(event);
        return catcher_.press(mouse->button(), rowAt_(mouse->position().toPoint()));
    }
    case QEvent::MouseMove: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        catcher_.drag(mouse->buttons(), rowAt_(mouse->position().toPoint()));
        return false;
    }
    case QEvent::MouseButtonRelease: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        MiddleClickCatcher::RowID fired;
        const bool taken = catcher_.release(mouse->button(), rowAt_(mouse->position().toPoint()), &fired);
        if (fired && onClick_) onClick_(*fired);
        return taken;
    }
    default: return false;
    }
}

}  // namespace ondrake
