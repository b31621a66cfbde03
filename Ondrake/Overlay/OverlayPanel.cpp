#include "Overlay/OverlayPanel.h"

#include <QGuiApplication>
#include <QMouseEvent>

#include <algorithm>
#include <cmath>

namespace ondrake {

namespace {
// Platforms that draw nowhere a person could see have no window opacity or stacking, and
// complain when asked for them.
bool isOnDisplay() {
    const auto name = QGuiApplication::platformName();
    return name != QLatin1String("offscreen") && name != QLatin1String("minimal");
}

// A frame from a hostile interface tree or a hand-edited calibration can lie beyond anything a
// window's whole-number geometry holds; the desktop gets the nearest one that it can hold.
constexpr double kFarthest = QWIDGETSIZE_MAX;
QRectF representable(const QRectF &r) {
    const auto bound = [](double v) { return std::isnan(v) ? 0.0 : std::clamp(v, -kFarthest, kFarthest); };
    return QRectF(bound(r.x()), bound(r.y()), bound(r.width()), bound(r.height()));
}
}  // namespace

OverlayPanel::OverlayPanel(const Screens &screens, QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus
                          | Qt::NoDropShadowWindowHint),
      screens_(screens) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_MacAlwaysShowToolWindow);  // stays when the application deactivates
    setFocusPolicy(Qt::NoFocus);
    setWindowTitle(QStringLiteral("Tab Bar Overlay"));
    setAccessibleName(QStringLiteral("Tab bar overlay"));
    setMouseTracking(true);
    setFrame(QRectF(0, 0, 600, 28), false);
}

OverlayPanel::~OverlayPanel() = default;

void OverlayPanel::setFrame(const QRectF &frame, bool display) {
    const QRectF previous = frame_;
    frame_ = frame;
    setGeometry(screens_.toNative(representable(frame)).toRect());
    if (display) update();
    if (previous.topLeft() != frame.topLeft()) Q_EMIT didMove();
    if (previous.size() != frame.size()) Q_EMIT didResize();
}

void OverlayPanel::setAlpha(double alpha) {
    alpha_ = std::clamp(alpha, 0.0, 1.0);
    if (isOnDisplay()) setWindowOpacity(alpha_);
}

void OverlayPanel::orderFrontRegardless() {
    show();
    if (isOnDisplay()) raise();
}

void OverlayPanel::orderOut() { hide(); }

void OverlayPanel::setMovable(bool movable) {
    movable_ = movable;
    if (!acceptsDrags()) drag_.reset();
}

void OverlayPanel::setResizable(bool resizable) {
    resizable_ = resizable;
    if (!resizable) unsetCursor();
}

OverlayPanel::Edges OverlayPanel::edgesAt(QPointF p) const {
    Edges edges;
    if (!resizable_) return edges;
    // A thin bar keeps room in its middle for moving it.
    const double mx = std::min(resizeMargin, width() / 4.0);
    const double my = std::min(resizeMargin, height() / 4.0);
    if (p.x() < mx) edges |= Edge::left;
    if (p.x() >= width() - mx) edges |= Edge::right;
    if (p.y() < my) edges |= Edge::top;
    if (p.y() >= height() - my) edges |= Edge::bottom;
    return edges;
}

QRectF OverlayPanel::draggedFrame(const QRectF &start, Edges edges, QPointF delta) const {
    if (!edges) return start.translated(delta.x(), -delta.y());
    const auto clampWidth = [&](double w) {
        return std::clamp(w, minimumFrameSize_.width(), std::max(minimumFrameSize_.width(), maximumFrameSize_.width()));
    };
    const auto clampHeight = [&](double h) {
        return std::clamp(h, minimumFrameSize_.height(),
                          std::max(minimumFrameSize_.height(), maximumFrameSize_.height()));
    };
    // Screen coordinates grow upwards: the desktop's top edge is the frame's maximum y.
    double left = start.x(), right = start.x() + start.width();
    double bottom = start.y(), top = start.y() + start.height();
    if (edges & Edge::left) left = right - clampWidth(right - (left + delta.x()));
    if (edges & Edge::right) right = left + clampWidth(right + delta.x() - left);
    if (edges & Edge::top) top = bottom + clampHeight(top - delta.y() - bottom);
    if (edges & Edge::bottom) bottom = top - clampHeight(top - (bottom - delta.y()));
    return QRectF(left, bottom, right - left, top - bottom);
}

void OverlayPanel::mousePressEvent(QMouseEvent *event) {
    if (!acceptsDrags() || event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    drag_ = Drag{event->globalPosition(), frame_, edgesAt(event->position())};
    event->accept();
}

void OverlayPanel::mouseMoveEvent(QMouseEvent *event) {
    if (!drag_) {
        updateCursor(event->position());
        return QWidget::mouseMoveEvent(event);
    }
    setFrame(draggedFrame(drag_->startFrame, drag_->edges, event->globalPosition() - drag_->origin), true);
    event->accept();
}

void OverlayPanel::mouseReleaseEvent(QMouseEvent *event) {
    if (!drag_ || event->button() != Qt::LeftButton) return QWidget::mouseReleaseEvent(event);
    drag_.reset();
    event->accept();
}

void OverlayPanel::updateCursor(QPointF point) {
    if (!resizable_ || !acceptsDrags()) return;
    const Edges edges = edgesAt(point);
    const bool horizontal = edges & (Edge::left | Edge::right);
    const bool vertical = edges & (Edge::top | Edge::bottom);
    if (horizontal && vertical) {
        const bool falling = (edges.testFlag(Edge::left) && edges.testFlag(Edge::top))
                             || (edges.testFlag(Edge::right) && edges.testFlag(Edge::bottom));
        setCursor(falling ? Qt::SizeFDiagCursor : Qt::SizeBDiagCursor);
    } else if (horizontal) {
        setCursor(Qt::SizeHorCursor);
    } else if (vertical) {
        setCursor(Qt::SizeVerCursor);
    } else {
        setCursor(Qt::OpenHandCursor);
    }
}

}  // namespace ondrake
