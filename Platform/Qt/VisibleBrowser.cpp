#include "Qt/VisibleBrowser.h"

#include <QGuiApplication>

#include <algorithm>

namespace ondrake {

std::unique_ptr<VisibleBrowser> VisibleBrowser::createOnDisplay(SimulatedSafari &safari, Scheduler &scheduler,
                                                                QPoint nativeOrigin) {
    const auto platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal")) return nullptr;
    return std::make_unique<VisibleBrowser>(safari, scheduler, nativeOrigin);
}

VisibleBrowser::VisibleBrowser(SimulatedSafari &safari, Scheduler &scheduler, QPoint nativeOrigin)
    : safari_(safari), nativeOrigin_(nativeOrigin), pending_(std::make_shared<Pending>()) {
    pending_->owner = this;
    // A burst of changes is shown once, at the next turn of the main loop.
    safari_.setChangeObserver([pending = pending_, &scheduler] {
        if (pending->queued.exchange(true)) return;
        scheduler.post([pending] {
            pending->queued = false;
            if (pending->owner) pending->owner->sync();
        });
    });
    sync();
}

VisibleBrowser::~VisibleBrowser() {
    safari_.setChangeObserver(nullptr);
    pending_->owner = nullptr;
}

const VisibleBrowserWindow *VisibleBrowser::window(std::int64_t id) const {
    const auto it = windows_.find(id);
    return it == windows_.end() ? nullptr : it->second.get();
}

void VisibleBrowser::windowActivated(std::int64_t id) {
    // The desktop has already brought it up; the others keep their places under it.
    std::erase(order_, id);
    order_.insert(order_.begin(), id);
}

void VisibleBrowser::sync() {
    const auto pid = safari_.processIdentifier();
    const auto windows = pid ? safari_.windows() : std::vector<SimulatedSafari::Window>{};

    std::vector<std::int64_t> order;
    for (const auto &w : windows) order.push_back(w.id);
    std::erase_if(windows_, [&](const auto &entry) { return std::find(order.begin(), order.end(), entry.first) == order.end(); });
    std::erase_if(order_, [&](std::int64_t id) { return !windows_.contains(id); });

    // Back to front, so that where nothing restacks them the last one shown lies in front.
    bool shownFirstTime = false;
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
        const auto &w = *it;
        auto &shown = windows_[w.id];
        if (!shown) {
            shown = std::make_unique<VisibleBrowserWindow>(safari_, w.id, nativeOrigin_, moves_.get());
            QObject::connect(shown.get(), &VisibleBrowserWindow::activatedByDesktop, shown.get(),
                             [this, id = w.id] { windowActivated(id); });
            order_.insert(order_.begin(), w.id);
        }
        shown->present(w, *pid);
        if (w.minimised) {
            shown->hide();
        } else if (!shown->isVisible()) {
            shown->setAttribute(Qt::WA_ShowWithoutActivating);
            shown->show();
            shownFirstTime = true;
        }
    }

    // Only the windows from the front down to the deepest one out of place are raised, deepest
    // first; windows shown for the first time are all put in order, whatever the window manager
    // did with them.
    std::size_t depth = shownFirstTime ? order.size() : 0;
    for (std::size_t i = 0; i < order.size(); ++i)
        if (i >= order_.size() || order_[i] != order[i]) depth = std::max(depth, i + 1);
    for (std::size_t i = depth; i-- > 0;) windows_[order[i]]->raise();
    order_ = order;

    if (shownFirstTime && !windows.empty() && !windows.front().minimised) windows_[windows.front().id]->activateWindow();
}

}  // namespace ondrake
