#include "Qt/QtWindowList.h"

#include "Qt/DevicePixels.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <algorithm>

namespace ondrake {

namespace {

// Menus and tool tips float above normal windows, as on the platform's own menu layer.
bool floatsAboveWindows(const QWindow &window) { return window.type() == Qt::Popup || window.type() == Qt::ToolTip; }

std::int64_t numberOf(QWindow &window) {
    bool ok = false;
    const auto number = window.property(QtWindowList::kWindowNumberProperty).toLongLong(&ok);
    return ok ? number : std::int64_t(window.winId());
}

}  // namespace

QtWindowList::QtWindowList(const Screens &screens, std::unique_ptr<X11Stacking> stacking,
                           std::unique_ptr<X11Placement> placement)
    : screens_(screens), stacking_(std::move(stacking)), placement_(std::move(placement)) {
    QObject::connect(qGuiApp, &QGuiApplication::focusWindowChanged, &context_, [this](QWindow *w) {
        if (w) noteRaised(w);
    });
}

QtWindowList::~QtWindowList() = default;

void QtWindowList::noteRaised(QWindow *window) {
    std::erase_if(recent_, [&](const QPointer<QWindow> &w) { return w.isNull() || w == window; });
    recent_.insert(recent_.begin(), window);
}

std::vector<QWindow *> QtWindowList::activationOrder() const {
    std::vector<QWindow *> out;
    for (const auto &w : recent_)
        if (w) out.push_back(w);
    for (auto *w : QGuiApplication::topLevelWindows())
        if (std::find(out.begin(), out.end(), w) == out.end()) out.push_back(w);
    return out;
}

std::optional<std::vector<QWindow *>> QtWindowList::stackingOrder() const {
    std::vector<QWindow *> shown;
    std::vector<X11Stacking::WindowID> ids;
    for (auto *w : QGuiApplication::topLevelWindows()) {
        if (!w->isVisible() || !w->handle()) continue;
        shown.push_back(w);
        ids.push_back(X11Stacking::WindowID(w->winId()));
    }
    const auto order = stacking_->frontToBack(ids);
    if (!order) return std::nullopt;
    // Menus stand above every managed window; a window the server does not list yet (just
    // shown, not yet managed) counts as behind the rest until it is.
    std::vector<QWindow *> out;
    out.reserve(shown.size());
    for (auto *w : shown)
        if (floatsAboveWindows(*w)) out.push_back(w);
    for (const auto id : *order) {
        auto *w = shown[std::size_t(std::find(ids.begin(), ids.end(), id) - ids.begin())];
        if (!floatsAboveWindows(*w)) out.push_back(w);
    }
    for (auto *w : shown)
        if (std::find(out.begin(), out.end(), w) == out.end()) out.push_back(w);
    return out;
}

std::vector<QWindow *> QtWindowList::frontToBack() const {
    if (stacking_)
        if (auto order = stackingOrder()) return std::move(*order);
    return activationOrder();
}

std::vector<QRectF> QtWindowList::places(const std::vector<QWindow *> &windows) const {
    std::vector<QRectF> out;
    out.reserve(windows.size());
    for (auto *w : windows) out.push_back(QRectF(w->geometry()));
    if (!placement_) return out;
    std::vector<X11Placement::WindowID> ids;
    std::vector<std::size_t> asked;
    for (std::size_t i = 0; i < windows.size(); ++i) {
        if (!windows[i]->handle()) continue;
        ids.push_back(X11Placement::WindowID(windows[i]->winId()));
        asked.push_back(i);
    }
    const auto insides = placement_->insides(ids);
    for (std::size_t k = 0; k < asked.size(); ++k)
        if (insides[k]) out[asked[k]] = DevicePixels::of(windows[asked[k]]->screen()).toQt(*insides[k]);
    return out;
}

WindowInfo QtWindowList::describe(QWindow &window, const QRectF &place) const {
    WindowInfo info;
    info.number = numberOf(window);
    bool ok = false;
    const auto owner = window.property(kOwnerProcessProperty).toLongLong(&ok);
    info.ownerProcessID = ok ? owner : QCoreApplication::applicationPid();
    info.layer = floatsAboveWindows(window) ? 101 : 0;
    // Window-list coordinates start at the first screen's top left.
    info.bounds = place.translated(-screens_.nativeOrigin());
    info.isOnScreen = window.isVisible() && window.windowState() != Qt::WindowMinimized;
    return info;
}

std::optional<std::vector<WindowInfo>> QtWindowList::onScreenWindows() const {
    std::vector<QWindow *> shown;
    for (auto *w : frontToBack())
        if (w->isVisible() && w->windowState() != Qt::WindowMinimized) shown.push_back(w);
    const auto at = places(shown);
    std::vector<WindowInfo> out;
    out.reserve(shown.size());
    for (std::size_t i = 0; i < shown.size(); ++i) out.push_back(describe(*shown[i], at[i]));
    return out;
}

void QtWindowList::setChangeHandler(ChangeHandler handler) const {
    if (stacking_) stacking_->setChangeHandler(std::move(handler));
}

std::optional<WindowInfo> QtWindowList::window(std::int64_t number) const {
    // One window needs no order, and so no question to the server but where it stands.
    for (auto *w : QGuiApplication::topLevelWindows())
        if (numberOf(*w) == number) return describe(*w, places({w}).front());
    return std::nullopt;
}

}  // namespace ondrake
