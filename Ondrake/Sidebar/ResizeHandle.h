#pragma once

#include <QPointF>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <optional>

namespace ondrake {

class SidebarEnvironment;

// A horizontal drag turned into width changes: dragging left widens the sidebar on its leading
// edge, so the reported change is the negated horizontal travel since the press. Travel is taken
// in global coordinates because the panel itself moves while it is resized.
class ResizeGesture {
public:
    static constexpr double kMinimumDistance = 2;

    struct Actions {
        std::function<void()> onBegan;
        std::function<void(double)> onDrag;
        std::function<void()> onEnded;
    };

    explicit ResizeGesture(Actions actions) : actions_(std::move(actions)) {}

    void press(QPointF global);
    void move(QPointF global);
    // Ends a drag that began; a press that never travelled far enough ends silently.
    void release();

    bool isDragging() const { return dragging_; }

private:
    Actions actions_;
    std::optional<QPointF> start_;
    bool dragging_ = false;
};

// The thin strip on the sidebar's edge that resizes it. Highlights and shows the resize cursor
// while the pointer is over it or a drag is under way.
class ResizeHandle : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 6;

    ResizeHandle(SidebarEnvironment *environment, ResizeGesture::Actions actions, QWidget *parent = nullptr);
    ~ResizeHandle() override;

    bool isHighlighted() const { return highlighted_; }
    bool holdsCursor() const { return holdsCursor_; }

protected:
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void setHighlighted(bool highlighted);
    void updateCursor();

    QPointer<SidebarEnvironment> environment_;
    ResizeGesture gesture_;
    bool highlighted_ = false;
    bool holdsCursor_ = false;
};

}  // namespace ondrake
