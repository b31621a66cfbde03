#pragma once

#include "Sync/SidebarState.h"

#include "Log.h"
#include "Scheduler.h"
#include "Workspace.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QCoro/QCoroTask>

#include <cstdint>
#include <memory>
#include <vector>

namespace ondrake {

// What the poller needs of the tab store.
class PolledStore {
public:
    virtual ~PolledStore() = default;
    virtual SidebarState state() const = 0;
    // One poll of the browser, coalesced: never two at once, and requests made while one runs
    // fold into one more. Never throws.
    virtual QCoro::Task<> requestRefresh() = 0;
};

// Decides when the store polls the browser: on a repeating timer thinned out by the sidebar's
// state and by which application is in front, at once when the browser starts or comes to the
// front, and shortly after it quits. The store must outlive the poller.
class TabPoller {
public:
    static constexpr Seconds kInterval{0.75};
    static constexpr Seconds kTerminationDelay{0.15};

    enum class WorkspaceEvent { launched, terminated, activated };

    // Observes the workspace for its whole life; acts on what it hears only while started.
    TabPoller(PolledStore &store, Scheduler &scheduler, Workspace &workspace,
              std::int64_t ownProcessIdentifier = QCoreApplication::applicationPid());
    ~TabPoller();
    TabPoller(const TabPoller &) = delete;
    TabPoller &operator=(const TabPoller &) = delete;

    // Arms the timer and refreshes at once; does nothing while the timer runs.
    void start();
    void stop();
    bool isRunning() const { return timer_.isActive(); }

    // One firing of the timer.
    void tick();
    std::int64_t tickCount() const { return tick_; }

    // Every how many ticks a refresh is due.
    static int divisor(const SidebarState &state, bool browserOrSelfFrontmost);
    bool isBrowserOrSelfFrontmost() const;

    void handleWorkspaceNotification(WorkspaceEvent event, const RunningApplication &application);

private:
    void requestRefreshSoon();

    PolledStore &store_;
    Scheduler &scheduler_;
    Workspace &workspace_;
    const std::int64_t ownProcessIdentifier_;
    const Logger logger_{QStringLiteral("TabStore")};
    TimerHandle timer_;
    std::vector<QMetaObject::Connection> observers_;
    std::int64_t tick_ = 0;  // never reset
    // Work posted for later checks this, so none reaches a poller that is gone.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace ondrake
