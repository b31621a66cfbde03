#include "Qt/VisibleBrowserWindow.h"

#include "Qt/QtWindowList.h"
#include "Qt/X11MoveWatch.h"

#include <QCloseEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

#include <algorithm>
#include <utility>

namespace ondrake {

QRectF VisibleBrowserWindow::nativeRect(const SimulatedSafari::Bounds &b, QPoint nativeOrigin) {
    return QRectF(QPointF(b.left, b.top), QPointF(b.right, b.bottom)).translated(nativeOrigin);
}

SimulatedSafari::Bounds VisibleBrowserWindow::boundsOf(const QRectF &r, QPoint nativeOrigin) {
    const auto local = r.translated(-nativeOrigin);
    return {local.left(), local.top(), local.right(), local.bottom()};
}

QString VisibleBrowserWindow::titleOf(const SimulatedSafari::Window &window) {
    if (window.currentTab < 1 || window.currentTab > std::int64_t(window.tabs.size())) return QStringLiteral("Safari");
    const auto &tab = window.tabs[std::size_t(window.currentTab - 1)];
    if (!tab.title.isEmpty()) return tab.title;
    return tab.url.isEmpty() ? QStringLiteral("Untitled") : tab.url;
}

VisibleBrowserWindow::VisibleBrowserWindow(SimulatedSafari &safari, std::int64_t windowID, QPoint nativeOrigin,
                                           X11MoveWatch *moves)
    : QWidget(nullptr, Qt::Window), safari_(safari), windowID_(windowID), nativeOrigin_(nativeOrigin), moves_(moves) {
    setAttribute(Qt::WA_DeleteOnClose, false);
    setMinimumSize(int(SimulatedSafari::kMinimumWindowWidth), 200);
    winId();
    windowHandle()->setProperty(QtWindowList::kWindowNumberProperty, qlonglong(windowID));
    windowHandle()->installEventFilter(this);
    place_ = QRectF(geometry());
    if (moves_) moves_->watch(X11MoveWatch::WindowID(winId()), [this](const QRect &inside) { placeHeard(inside); });
}

VisibleBrowserWindow::~VisibleBrowserWindow() {
    if (moves_) moves_->unwatch(X11MoveWatch::WindowID(internalWinId()));
}

void VisibleBrowserWindow::present(const SimulatedSafari::Window &window, std::int64_t ownerProcess) {
    presenting_ = true;
    windowHandle()->setProperty(QtWindowList::kOwnerProcessProperty, qlonglong(ownerProcess));
    // Against where the window stands now: Qt may not have heard yet of a move by hand.
    const auto wanted = nativeRect(window.bounds, nativeOrigin_);
    if (!samePixels(place_, wanted)) {
        placement_.place(*this, wanted);
        place_ = wanted;
    }
    setWindowTitle(titleOf(window));
    if (window != shown_) {
        shown_ = window;
        update();
    }
    presenting_ = false;
}

bool VisibleBrowserWindow::samePixels(const QRectF &a, const QRectF &b) const {
    return WindowPlacement::pixelsAt(*this, a).toPixels(a) == WindowPlacement::pixelsAt(*this, b).toPixels(b);
}

bool VisibleBrowserWindow::eventFilter(QObject *watched, QEvent *event) {
    // Shown: the manager has placed the window, maybe elsewhere than asked, and may have told of
    // that before it showed the window.
    if (watched == windowHandle() && event->type() == QEvent::Expose) {
        const bool placed = windowHandle()->isExposed();
        const bool wasPlaced = std::exchange(placedByDesktop_, placed);
        if (placed && !wasPlaced) geometryMoved();
    }
    return QWidget::eventFilter(watched, event);
}

void VisibleBrowserWindow::geometryMoved() {
    // Qt tells of a move in its whole units; the server knows the pixels.
    if (!presenting_ && placedByDesktop_) takeBounds(placement_.placeOf(*this));
}

void VisibleBrowserWindow::placeHeard(const QRect &pixels) {
    const auto place = DevicePixels::of(screen()).toQt(pixels);
    if (!presenting_ && placedByDesktop_ && !samePixels(place, place_)) takeBounds(place);
}

void VisibleBrowserWindow::takeBounds(const QRectF &place) {
    place_ = place;
    // Bounds on these pixels already stay as they are, though the pixels read back may differ from
    // them by a fraction of a unit.
    if (samePixels(place, nativeRect(shown_.bounds, nativeOrigin_))) return;
    const auto bounds = boundsOf(place, nativeOrigin_);
    safari_.update([&](std::vector<SimulatedSafari::Window> &windows) {
        for (auto &w : windows)
            if (w.id == windowID_) w.bounds = bounds;
    });
    shown_.bounds = bounds;
}

void VisibleBrowserWindow::moveEvent(QMoveEvent *event) {
    QWidget::moveEvent(event);
    geometryMoved();
}

void VisibleBrowserWindow::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    geometryMoved();
}

void VisibleBrowserWindow::changeEvent(QEvent *event) {
    QWidget::changeEvent(event);
    // Clicking into the window makes it the browser's front window and the browser frontmost.
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && safari_.bringToFront(windowID_)) {
        Q_EMIT activatedByDesktop();
        safari_.activate();
    }
}

void VisibleBrowserWindow::closeEvent(QCloseEvent *event) {
    safari_.update([&](std::vector<SimulatedSafari::Window> &windows) {
        std::erase_if(windows, [&](const SimulatedSafari::Window &w) { return w.id == windowID_; });
    });
    event->accept();
}

void VisibleBrowserWindow::click(QPoint point) {
    const TabStripLayout layout(width(), int(shown_.tabs.size()));
    const auto hit = layout.hitTest(point);
    if (hit.kind == TabStripLayout::Hit::newTab) {
        safari_.openTab(windowID_, kNewTabAddress);
    } else if (hit.kind == TabStripLayout::Hit::tab || hit.kind == TabStripLayout::Hit::close) {
        const auto index = std::int64_t(hit.index) + 1;
        const auto &url = shown_.tabs[std::size_t(hit.index)].url;
        if (hit.kind == TabStripLayout::Hit::tab)
            safari_.activateTab(windowID_, index, url, true);
        else
            safari_.closeTab(windowID_, index, url);
    }
}

void VisibleBrowserWindow::mousePressEvent(QMouseEvent *event) {
    if (event->button() == Qt::LeftButton) click(event->position().toPoint());
    QWidget::mousePressEvent(event);
}

void VisibleBrowserWindow::paintEvent(QPaintEvent *) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const auto pal = palette();
    p.fillRect(rect(), pal.color(QPalette::Base));
    p.fillRect(QRect(0, 0, width(), TabStripLayout::kHeight), pal.color(QPalette::Window));

    const TabStripLayout layout(width(), int(shown_.tabs.size()));
    for (int i = 0; i < int(shown_.tabs.size()); ++i) {
        const auto r = layout.tabRect(i);
        const auto &tab = shown_.tabs[std::size_t(i)];
        if (i + 1 == shown_.currentTab) p.fillRect(r, pal.color(QPalette::Base));
        p.setPen(pal.color(QPalette::Mid));
        p.drawLine(r.topRight(), r.bottomRight());
        p.setPen(pal.color(QPalette::WindowText));
        auto textRect = r.adjusted(8, 0, -8, 0);
        if (layout.showsCloseMarks()) {
            textRect.setRight(layout.closeRect(i).left() - 4);
            p.drawText(layout.closeRect(i), Qt::AlignCenter, QStringLiteral("\u00D7"));
        }
        const auto text = tab.title.isEmpty() ? (tab.url.isEmpty() ? QStringLiteral("Untitled") : tab.url) : tab.title;
        p.drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft,
                   p.fontMetrics().elidedText(text, Qt::ElideRight, textRect.width()));
    }
    p.drawText(layout.newTabRect(), Qt::AlignCenter, QStringLiteral("+"));

    if (shown_.currentTab >= 1 && shown_.currentTab <= std::int64_t(shown_.tabs.size())) {
        const auto &tab = shown_.tabs[std::size_t(shown_.currentTab - 1)];
        const QRect page(0, TabStripLayout::kHeight, width(), height() - TabStripLayout::kHeight);
        p.setPen(pal.color(QPalette::PlaceholderText));
        const auto text = tab.title.isEmpty() || tab.title == tab.url ? tab.url : tab.title + QLatin1Char('\n') + tab.url;
        p.drawText(page.adjusted(24, 24, -24, -24), Qt::AlignTop | Qt::AlignLeft | Qt::TextWordWrap, text);
    }
}

}  // namespace ondrake
