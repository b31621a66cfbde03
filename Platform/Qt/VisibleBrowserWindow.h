#pragma once

#include "Qt/TabStripLayout.h"
#include "Qt/WindowPlacement.h"
#include "SimulatedSafari.h"

#include <QWidget>

namespace ondrake {

class X11MoveWatch;

// One window of the simulated browser drawn as a plain window of the desktop, so a person can
// move it and the app follows it as it would follow the real browser. Its geometry is the
// simulated window's bounds in both directions; while the window manager moves it by hand, the
// bounds follow it step by step where the manager can be watched, not only once the move ends.
// It shows a strip of the window's tabs: a click selects a tab, "+" opens a new tab and a close
// mark closes one.
class VisibleBrowserWindow final : public QWidget {
    Q_OBJECT
public:
    static inline const QString kNewTabAddress = QStringLiteral("favorites://");

    // The browser's bounds (origin top left of the first screen) as the desktop places windows,
    // and back. Under a fractional scale a window moved by hand may stand between whole units; its
    // bounds say so, so that written back and shown again they put it on the same pixels.
    static QRectF nativeRect(const SimulatedSafari::Bounds &bounds, QPoint nativeOrigin);
    static SimulatedSafari::Bounds boundsOf(const QRectF &nativeRect, QPoint nativeOrigin);
    static QString titleOf(const SimulatedSafari::Window &window);

    // `moves`: tells of the window manager's moves, where it can; outlives the window.
    VisibleBrowserWindow(SimulatedSafari &safari, std::int64_t windowID, QPoint nativeOrigin,
                         X11MoveWatch *moves = nullptr);
    ~VisibleBrowserWindow() override;

    std::int64_t windowID() const { return windowID_; }
    // Takes on what the browser holds for this window now.
    void present(const SimulatedSafari::Window &window, std::int64_t ownerProcess);
    // Carries out a click at that point of the strip.
    void click(QPoint point);

Q_SIGNALS:
    // The desktop made it the active window (a click, the keyboard, the window manager) and with
    // that the browser's front window.
    void activatedByDesktop();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void geometryMoved();
    // Where the desktop has the window now, in the server's pixels, heard before Qt hears it.
    void placeHeard(const QRect &pixels);
    void takeBounds(const QRectF &place);
    bool samePixels(const QRectF &a, const QRectF &b) const;

    SimulatedSafari &safari_;
    const std::int64_t windowID_;
    const QPoint nativeOrigin_;
    X11MoveWatch *const moves_;
    const WindowPlacement placement_;
    SimulatedSafari::Window shown_;
    QRectF place_;             // where the window stands, as the desktop last told or was told
    bool presenting_ = false;  // geometry changes made from the browser are not written back
    // Shown by the window manager, and so placed by it. Until then the server holds where the
    // window was made, no place anybody gave it: the window keeps the one it asked for.
    bool placedByDesktop_ = false;
};

}  // namespace ondrake
