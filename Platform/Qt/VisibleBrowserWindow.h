#pragma once

#include "Qt/TabStripLayout.h"
#include "SimulatedSafari.h"

#include <QWidget>

namespace ondrake {

// One window of the simulated browser drawn as a plain window of the desktop, so a person can
// move it and the app follows it as it would follow the real browser. Its geometry is the
// simulated window's bounds in both directions. It shows a strip of the window's tabs: a click
// selects a tab, "+" opens a new tab and a close mark closes one.
class VisibleBrowserWindow final : public QWidget {
    Q_OBJECT
public:
    static inline const QString kNewTabAddress = QStringLiteral("favorites://");

    // The browser's bounds (origin top left of the first screen) as the desktop places windows,
    // and back.
    static QRect nativeRect(const SimulatedSafari::Bounds &bounds, QPoint nativeOrigin);
    static SimulatedSafari::Bounds boundsOf(const QRect &nativeRect, QPoint nativeOrigin);
    static QString titleOf(const SimulatedSafari::Window &window);

    VisibleBrowserWindow(SimulatedSafari &safari, std::int64_t windowID, QPoint nativeOrigin);

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

private:
    void geometryMoved();

    SimulatedSafari &safari_;
    const std::int64_t windowID_;
    const QPoint nativeOrigin_;
    SimulatedSafari::Window shown_;
    bool presenting_ = false;  // geometry changes made from the browser are not written back
};

}  // namespace ondrake
