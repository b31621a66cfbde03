#pragma once

#include "Shell/SafariWindowTracker.h"
#include "Shell/SidebarWindowController.h"

#include "Browser/SafariWindowSample.h"
#include "Log.h"
#include "Pointer.h"
#include "Scheduler.h"
#include "UserDefaults.h"
#include "Workspace.h"

#include <QCoro/QCoroTask>

#include <functional>
#include <memory>
#include <optional>

namespace ondrake {

class TabPoller;
class TabStore;

// Decides whether the sidebar panel is on screen, at which depth it stands against the
// browser's front window, and when that window must move aside for it. The panel stands in front
// of the browser's window while the browser or this application is in front, one level below
// normal windows while another application is, waits for the browser's window to really come
// forward before it rises over another application's window, and leaves a window that is still
// being dragged alone until it settles. Main thread.
class SidebarPresence {
public:
    struct Services {
        Scheduler &scheduler;
        const Workspace &workspace;
        const Pointer &pointer;
        const UserDefaults &defaults;
        std::int64_t ownProcessID = 0;
    };

    static constexpr double kRaiseWatch = 0.5;
    static constexpr double kRaiseHold = 1.2;
    static constexpr double kSettleWhileMoving = 0.5;
    static constexpr double kSettleWhilePressed = 0.1;

    SidebarPresence(TabStore &store, SafariWindowTracker &tracker, Services services);
    ~SidebarPresence();
    SidebarPresence(const SidebarPresence &) = delete;
    SidebarPresence &operator=(const SidebarPresence &) = delete;

    // Made at launch; before that every decision does nothing.
    void setWindowController(SidebarWindowController *controller) { controller_ = controller; }
    void setPoller(TabPoller *poller) { poller_ = poller; }
    // Whether the immersive bar runs; it keeps the tracker and the poller going.
    std::function<bool()> isImmersiveActive = [] { return false; };

    // The user's wish, set by the status menu and the reopen event.
    bool userWantsSidebar = true;

    // Runs the poller and the tracker as the wish and the panel's visibility require.
    void applySidebarPresence();
    // Shows or hides the panel. `activated`: the application the workspace just activated.
    void evaluatePresence(const std::optional<RunningApplication> &activated);
    void windowTrackerChanged(const std::optional<SafariWindowSample> &sample);
    // Answers whether the browser or this application is in front.
    bool raiseSidebar(const std::optional<RunningApplication> &activated, bool watch);
    void raiseNow(bool watch);
    void startRaiseHold();
    void endRaiseHold();
    void dropRaiseHold();
    void dockSidebar();
    void startSettleTimer(double interval);
    void updateZoomState(const std::optional<SafariWindowSample> &sample);

    bool isBrowserRunning() const;
    bool safariHasVisibleWindow() const { return safariHasVisibleWindow_; }
    std::optional<std::int64_t> dockedWindowNumber() const { return dockedWindowNumber_; }
    const std::optional<SafariWindowSample> &lastWindowSample() const { return lastWindowSample_; }
    bool isHoldingRaise() const { return isHoldingRaise_; }
    bool isSettling() const { return settleTimer_.isActive(); }
    bool isZoomQueryInFlight() const { return zoomQueryInFlight_; }

private:
    struct ZoomQuery {
        std::int64_t number = 0;
        QRectF frame;
        bool operator==(const ZoomQuery &) const = default;
    };

    void raiseHoldDeadline();
    void bringForward(int level);
    void reframeIfVisible();
    bool isBrowserOrSelf(const RunningApplication &application) const;
    std::optional<RunningApplication> frontmostApplication() const;
    static QCoro::Task<> queryZoomedState(std::weak_ptr<SidebarPresence *> self, TabStore &store, std::int64_t number);
    static QCoro::Task<> reserveSpace(TabStore &store, double minLeft, double maxRight);

    TabStore &store_;
    SafariWindowTracker &tracker_;
    Services services_;
    const Logger log_{QStringLiteral("Sidebar")};
    SidebarWindowController *controller_ = nullptr;
    TabPoller *poller_ = nullptr;

    std::optional<std::int64_t> dockedWindowNumber_;
    bool safariHasVisibleWindow_ = false;
    TimerHandle settleTimer_;
    bool isHoldingRaise_ = false;
    TimerHandle raiseHoldTimer_;
    bool mouseWasPressed_ = false;
    bool zoomQueryInFlight_ = false;
    std::optional<SafariWindowSample> lastWindowSample_;
    std::optional<ZoomQuery> lastZoomQuery_;
    // Lets a zoom query that outlives the presence notice it went.
    std::shared_ptr<SidebarPresence *> self_ = std::make_shared<SidebarPresence *>(this);
};

}  // namespace ondrake
