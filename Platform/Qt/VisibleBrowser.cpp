#include "Qt/VisibleBrowser.h"

#include <QGuiApplication>

namespace ondrake {

std::unique_ptr<VisibleBrowser> VisibleBrowser::createOnDisplay(SimulatedSafari &safari, Scheduler &scheduler,
                                                                QPoint nativeOrigin) {
    const auto platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal")) return nullptr;
    return std::make_unique<VisibleBrowser>(safari, scheduler, nativeOrigin);
}

VisibleBrowser::VisibleBrowser(SimulatedSafari &safari, Scheduler &scheduler, QPoint nativeOrigin)
    : safari_(safari), nativeOrigin_(nativeOrigin) {
    sync();
    timer_ = scheduler.every(Seconds(kSyncInterval), [this] { sync(); });
}

VisibleBrowser::~VisibleBrowser() = default;

const VisibleBrowserWindow *VisibleBrowser::window(std::int64_t id) const {
    const auto it = windows_.find(id);
    return it == windows_.end() ? nullptr : it->second.get();
}

void VisibleBrowser::sync() {
    const auto pid = safari_.processIdentifier();
    const auto windows = pid ? safari_.windows() : std::vector<SimulatedSafari::Window>{};

    std::vector<std::int64_t> order;
    for (const auto &w : windows) {
        order.push_back(w.id);
        auto &shown = windows_[w.id];
        if (!shown) shown = std::make_unique<VisibleBrowserWindow>(safari_, w.id, nativeOrigin_);
        shown->present(w, *pid);
        if (w.minimised)
            shown->hide();
        else if (!shown->isVisible())
            shown->show();
    }
    std::erase_if(windows_, [&](const auto &entry) {
        return std::find(order.begin(), order.end(), entry.first) == order.end();
    });

    if (order != order_) {
        for (auto it = order.rbegin(); it != order.rend(); ++it) windows_[*it]->raise();
        order_ = std::move(order);
    }
}

}  // namespace ondrake
