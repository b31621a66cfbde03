#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>

#include <functional>
#include <optional>

class QWidget;

namespace ondrake {

// Turns a middle-button click on one row into an action: pressed on a row and released on the
// same row, without having left it in between. Rows are named by their tab id, so a list that is
// rebuilt under the pointer still finds the row. Other buttons are never taken.
class MiddleClickCatcher {
public:
    using RowID = std::optional<QString>;

    // Press and release return whether the event was taken, so the caller does not pass it on;
    // moves are always passed on.
    bool press(Qt::MouseButton button, const RowID &row);
    void drag(Qt::MouseButtons buttons, const RowID &row);
    // `fired` receives the row to act on when the click completes.
    bool release(Qt::MouseButton button, const RowID &row, RowID *fired);

    const RowID &pressedRow() const { return pressed_; }

private:
    RowID pressed_;
};

// The catcher as an event filter on a list's viewport: `rowAt` names the row under a point,
// `onClick` receives the row of a completed middle click.
class MiddleClickFilter : public QObject {
    Q_OBJECT
public:
    using RowAt = std::function<std::optional<QString>(QPoint)>;
    using OnClick = std::function<void(const QString &)>;

    MiddleClickFilter(QWidget *viewport, RowAt rowAt, OnClick onClick);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPointer<QWidget> viewport_;
    RowAt rowAt_;
    OnClick onClick_;
    MiddleClickCatcher catcher_;
};

}  // namespace ondrake
