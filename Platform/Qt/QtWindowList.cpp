#include "Qt/QtWindowList.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <algorithm>

namespace ondrake {

QtWindowList::QtWindowList(const Screens &screens) : screens_(screens) {
    QObject::connect(qGuiApp, &QGuiApplication::focusWindowChanged, &context_, [this](QWindow *w) {
        if (w) noteRaised(w);
    });
}

QtWindowList::~QtWindowList() = default;

void QtWindowList::noteRaised(QWindow *window) {
    std::erase_if(recent_, [&](const QPointer<QWindow> &w) { return w.isNull() || w == window; });
    recent_.insert(recent_.begin(), window);
}

std::vector<QWindow *> QtWindowList::frontToBack() const {
    std::vector<QWindow *> out;
    for (const auto &w : recent_)
        if (w) out.push_back(w);
    for (auto *w : QGuiApplication::topLevelWindows())
        if (std::find(out.begin(), out.end(), w) == out.end()) out.push_back(w);
    return out;
}

WindowInfo QtWindowList::describe(QWindow &window) const {
    WindowInfo info;
    bool ok = false;
    const auto number = window.property(kWindowNumberProperty).toLongLong(&ok);
    info.number = ok ? number : std::int64_t(window.winId());
    const auto owner = window.property(kOwnerProcessProperty).toLongLong(&ok);
    info.ownerProcessID = ok ? owner : QCoreApplication::applicationPid();
    // Menus and tool tips float above normal windows, as on the platform's own menu layer.
    info.layer = (window.type() == Qt::Popup || window.type() == Qt::ToolTip) ? 101 : 0;
    // Window-list coordinates start at the first screen's top left.
    info.bounds = QRectF(window.geometry().translated(-screens_.nativeOrigin()));
    info.isOnScreen = window.isVisible() && window.windowState() != Qt::WindowMinimized;
    return info;
}

std::optional<std::vector<WindowInfo>> QtWindowList::onScreenWindows() const {
    std::vector<WindowInfo> out;
    for (auto *w : frontToBack()) {
        if (!w->isVisible()) continue;
        auto info = describe(*w);
        if (info.isOnScreen) out.push_back(std::move(info));
    }
    return out;
}

std::optional<WindowInfo> QtWindowList::window(std::int64_t number) const {
    for (auto *w : frontToBack()) {
        auto info = describe(*w);
        if (info.number == number) return info;
    }
    return std::nullopt;
}

}  // namespace ondrake
