#include "TabPoller.h"

#include "Browser/BrowserAdapter.h"

#include "Async.h"

namespace ondrake {

namespace {
// A free function, so the wait does not depend on the poller, which may be gone by then; the
// store is only known to outlive the poller, so the refresh runs only while the poller lives.
QCoro::Task<> refreshAfter(Scheduler &scheduler, PolledStore &store, Seconds delay, std::shared_ptr<bool> alive) {
    co_await scheduler.sleep(delay);
    if (*alive) co_await store.requestRefresh();
}
}  // namespace

TabPoller::TabPoller(PolledStore &store, Scheduler &scheduler, Workspace &workspace, std::int64_t ownProcessIdentifier)
    : store_(store), scheduler_(scheduler), workspace_(workspace), ownProcessIdentifier_(ownProcessIdentifier) {
    const auto observe = [this](auto signal, WorkspaceEvent event) {
        observers_.push_back(QObject::connect(&workspace_, signal, [this, event](const RunningApplication &app) {
            handleWorkspaceNotification(event, app);
        }));
    };
    observe(&Workspace::applicationLaunched, WorkspaceEvent::launched);
    observe(&Workspace::applicationTerminated, WorkspaceEvent::terminated);
    observe(&Workspace::applicationActivated, WorkspaceEvent::activated);
}

TabPoller::~TabPoller() {
    *alive_ = false;
    for (const auto &observer : observers_) QObject::disconnect(observer);
}

void TabPoller::start() {
    if (timer_.isActive()) return;
    timer_ = scheduler_.every(kInterval, [this] { tick(); });
    requestRefreshSoon();
}

void TabPoller::stop() { timer_.cancel(); }

int TabPoller::divisor(const SidebarState &state, bool browserOrSelfFrontmost) {
    switch (state.kind) {
    case SidebarState::Kind::loading:
    case SidebarState::Kind::ready: return browserOrSelfFrontmost ? 1 : 4;
    case SidebarState::Kind::safariNotRunning: return 3;
    case SidebarState::Kind::permissionRequired:
    case SidebarState::Kind::failed: return 4;
    }
    return 4;
}

bool TabPoller::isBrowserOrSelfFrontmost() const {
    const auto front = workspace_.frontmostApplication();
    if (!front) return false;
    return front->bundleIdentifier == safariBundleIdentifier() || front->processIdentifier == ownProcessIdentifier_;
}

void TabPoller::tick() {
    ++tick_;
    const auto state = store_.state();
    // The front application matters only in these states; asking the workspace costs.
    const bool front = (state.kind == SidebarState::Kind::loading || state.kind == SidebarState::Kind::ready)
                       && isBrowserOrSelfFrontmost();
    if (tick_ % divisor(state, front) == 0) requestRefreshSoon();
}

void TabPoller::requestRefreshSoon() {
    scheduler_.post([this, alive = alive_] {
        if (*alive) startDetached(store_.requestRefresh(), logger_, QStringLiteral("Refresh"));
    });
}

void TabPoller::handleWorkspaceNotification(WorkspaceEvent event, const RunningApplication &application) {
    if (application.bundleIdentifier != safariBundleIdentifier()) return;
    if (!timer_.isActive()) return;
    if (event == WorkspaceEvent::terminated) {
        // The refresh then finds the browser gone and takes the store's quit path.
        startDetached(refreshAfter(scheduler_, store_, kTerminationDelay, alive_), logger_, QStringLiteral("Refresh"));
        return;
    }
    requestRefreshSoon();
}

}  // namespace ondrake
