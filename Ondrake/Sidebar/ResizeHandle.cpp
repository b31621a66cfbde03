#include "Ondrake/Sidebar/ResizeHandle.h"

#include "Ondrake/Sidebar/SidebarEnvironment.h"

#include <QEnterEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>

#include <cmath>

namespace ondrake {

void ResizeGesture::press(QPointF global) {
    start_ = global;
    dragging_ = false;
}

void ResizeGesture::move(QPointF global) {
    if (!start_) return;
    const QPointF travel = global - *start_;
    if (!dragging_) {
        if (std::hypot(travel.x(), travel.y()) < kMinimumDistance) return;
        dragging_ = true;
        if (actions_.onBegan) actions_.onBegan();
    }
    if (actions_.onDrag) actions_.onDrag(-travel.x());
}

void ResizeGesture::release() {
    start_.reset();
    if (!std::exchange(dragging_, false)) return;
    if (actions_.onEnded) actions_.onEnded();
}

ResizeHandle::ResizeHandle(SidebarEnvironment *environment, ResizeGesture::Actions actions, QWidget *parent)
    : QWidget(parent), environment_(environment), gesture_(std::move(actions)) {
    setFixedWidth(kWidth);
    setAttribute(Qt::WA_Hover);
    setMouseTracking(true);
    setAccessibleName(QStringLiteral("Resize sidebar"));
    if (environment) connect(environment, &SidebarEnvironment::themeChanged, this, qOverload<>(&QWidget::update));
}

ResizeHandle::~ResizeHandle() {
    // The override cursor is application-wide; a handle that goes away while hovered must not
    // leave the resize arrows behind.
    if (holdsCursor_) QGuiApplication::restoreOverrideCursor();
}

void ResizeHandle::enterEvent(QEnterEvent *) { setHighlighted(true); }

void ResizeHandle::leaveEvent(QEvent *) { setHighlighted(false); }

void ResizeHandle::mousePressEvent(QMouseEvent *event) {
    if (event->button() != Qt::LeftButton) return event->ignore();
    gesture_.press(event->globalPosition());
}

void ResizeHandle::mouseMoveEvent(QMouseEvent *event) {
    if (!(event->buttons() & Qt::LeftButton)) return;
    const bool wasDragging = gesture_.isDragging();
    gesture_.move(event->globalPosition());
    if (gesture_.isDragging() != wasDragging) updateCursor();
}

void ResizeHandle::mouseReleaseEvent(QMouseEvent *event) {
    if (event->button() != Qt::LeftButton) return event->ignore();
    gesture_.release();
    // The pointer may have been let go outside the strip.
    setHighlighted(rect().contains(mapFromGlobal(event->globalPosition()).toPoint()));
    updateCursor();
}

void ResizeHandle::hideEvent(QHideEvent *) {
    // A hidden handle gets no release; finish the drag so the panel is docked again.
    gesture_.release();
    setHighlighted(false);
    updateCursor();
}

void ResizeHandle::paintEvent(QPaintEvent *) {
    if (!highlighted_ || !environment_) return;
    QPainter painter(this);
    painter.fillRect(rect(), environment_->theme().border.resolved(palette()));
}

void ResizeHandle::setHighlighted(bool highlighted) {
    if (highlighted == highlighted_) return;
    highlighted_ = highlighted;
    updateCursor();
    update();
}

void ResizeHandle::updateCursor() {
    const bool wanted = highlighted_ || gesture_.isDragging();
    if (wanted == holdsCursor_) return;
    holdsCursor_ = wanted;
    if (wanted)
        QGuiApplication::setOverrideCursor(Qt::SizeHorCursor);
    else
        QGuiApplication::restoreOverrideCursor();
}

}  // namespace ondrake
