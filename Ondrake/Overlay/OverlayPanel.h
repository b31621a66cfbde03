#pragma once

#include "Screens.h"

#include <QSizeF>
#include <QWidget>

#include <optional>

namespace ondrake {

// The immersive bar's window: frameless, always on top, shown without activating anything, and
// never the key window, so clicks on the bar leave Safari the active application. Its frame is in
// screen coordinates. While movable or resizable the user drags it by its background or its edges
// within its size limits; every change of its frame, by the user or by code, is announced.
class OverlayPanel final : public QWidget {
    Q_OBJECT
    Q_PROPERTY(double alpha READ alpha WRITE setAlpha)
public:
    // How far in from an edge a press resizes rather than moves.
    static constexpr double resizeMargin = 6;

    enum class Edge { left = 1, right = 2, top = 4, bottom = 8 };
    Q_DECLARE_FLAGS(Edges, Edge)

    explicit OverlayPanel(const Screens &screens, QWidget *parent = nullptr);
    ~OverlayPanel() override;

    QRectF frame() const { return frame_; }
    // `display`: repaint now rather than when the desktop asks.
    void setFrame(const QRectF &frame, bool display);
    double alpha() const { return alpha_; }
    void setAlpha(double alpha);
    void orderFrontRegardless();
    void orderOut();

    bool canBecomeKeyWindow() const { return false; }
    bool canBecomeMainWindow() const { return false; }

    bool isMovable() const { return movable_; }
    void setMovable(bool movable);
    bool isMovableByWindowBackground() const { return movableByBackground_; }
    void setMovableByWindowBackground(bool movable) { movableByBackground_ = movable; }
    bool isResizable() const { return resizable_; }
    void setResizable(bool resizable);
    QSizeF minimumFrameSize() const { return minimumFrameSize_; }
    void setMinimumFrameSize(QSizeF size) { minimumFrameSize_ = size; }
    QSizeF maximumFrameSize() const { return maximumFrameSize_; }
    void setMaximumFrameSize(QSizeF size) { maximumFrameSize_ = size; }

    // Which edges a press at `point` (in the panel's own coordinates, y down) would drag; none
    // means the press moves the whole panel.
    Edges edgesAt(QPointF point) const;
    // The frame after dragging `edges` (none: the whole panel) by `delta` in the desktop's
    // direction (y down), kept within the size limits with the far edges in place.
    QRectF draggedFrame(const QRectF &start, Edges edges, QPointF delta) const;

Q_SIGNALS:
    void didMove();
    void didResize();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    struct Drag {
        QPointF origin;  // global, in the desktop's coordinates
        QRectF startFrame;
        Edges edges;
    };
    bool acceptsDrags() const { return movable_ && movableByBackground_; }
    void updateCursor(QPointF point);

    const Screens &screens_;
    QRectF frame_;
    double alpha_ = 1;
    bool movable_ = false;
    bool movableByBackground_ = false;
    bool resizable_ = false;
    QSizeF minimumFrameSize_;
    QSizeF maximumFrameSize_{QWIDGETSIZE_MAX, QWIDGETSIZE_MAX};
    std::optional<Drag> drag_;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(OverlayPanel::Edges)

}  // namespace ondrake
