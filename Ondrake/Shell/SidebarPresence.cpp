#include "SidebarPresence.h"

#include "Store/TabStore.h"
#include "Sync/TabPoller.h"

#include "Async.h"

namespace ondrake {

namespace {

QString rectangleString(const QRectF &r) {
    return QStringLiteral("{{%1, %2}, {%3, %4}}").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

const QString &browserBundleIdentifier() { return SafariWindowTracker::kSafariBundleIdentifier; }

}  // namespace

SidebarPresence::SidebarPresence(TabStore &store, SafariWindowTracker &tracker, Services services)
    : store_(store), tracker_(tracker), services_(services) {}

SidebarPresence::~SidebarPresence() { *self_ = nullptr; }

bool SidebarPresence::isBrowserRunning() const {
    // A process that has terminated may still be listed for a moment; it does not count.
    for (const auto &app : services_.workspace.runningApplications(browserBundleIdentifier()))
        if (!app.isTerminated) return true;
    return false;
}

bool SidebarPresence::isBrowserOrSelf(const RunningApplication &application) const {
    return application.bundleIdentifier == browserBundleIdentifier()
           || application.processIdentifier == services_.ownProcessID;
}

std::optional<RunningApplication> SidebarPresence::frontmostApplication() const {
    auto front = services_.workspace.frontmostApplication();
    if (front && front->isTerminated) return std::nullopt;
    return front;
}

void SidebarPresence::applySidebarPresence() {
    const bool immersive = isImmersiveActive();
    const bool visible = controller_ && controller_->panel().isVisible();
    if (poller_) {
        if (visible || immersive)
            poller_->start();
        else
            poller_->stop();
    }
    if (!userWantsSidebar && !immersive) {
        tracker_.stop();
        settleTimer_.cancel();
        dockedWindowNumber_.reset();
        safariHasVisibleWindow_ = false;
    } else if (tracker_.isIdle()) {
        tracker_.start();
        tracker_.measure();
    }
}

void SidebarPresence::evaluatePresence(const std::optional<RunningApplication> &activated) {
    if (!controller_) return;
    auto &panel = controller_->panel();
    const bool running = isBrowserRunning();
    const bool hasWindow = running ? safariHasVisibleWindow_ : true;
    const QString activatedName =
        activated && !activated->bundleIdentifier.isEmpty() ? activated->bundleIdentifier : QStringLiteral("-");
    log_.debug("Presence: activated=%{public}s wants=%{bool,public}d safariRunning=%{bool,public}d "
               "hasWindow=%{bool,public}d visible=%{bool,public}d frame=%{public}s",
               activatedName, userWantsSidebar, running, safariHasVisibleWindow_, panel.isVisible(),
               rectangleString(panel.frame()));

    if (userWantsSidebar && hasWindow) {
        if (raiseSidebar(activated, true) && controller_->needsRoomFromSafari()) dockSidebar();
        return;
    }
    if (panel.isVisible()) {
        log_.debug("Presence: taking the sidebar off screen");
        panel.orderOut();
        if (controller_->onVisibilityChange) controller_->onVisibilityChange(false);
    }
    // Only here: a raise held back just above must keep waiting for the browser's window.
    dropRaiseHold();
}

bool SidebarPresence::raiseSidebar(const std::optional<RunningApplication> &activated, bool watch) {
    if (!controller_) return false;
    const auto application = activated ? activated : frontmostApplication();
    if (!application || !isBrowserOrSelf(*application)) {
        dropRaiseHold();
        bringForward(SidebarWindowController::holdLevel);
        return false;
    }
    const auto &panel = controller_->panel();
    if (isHoldingRaise_) {
        startRaiseHold();
    } else if (activated && activated->bundleIdentifier == browserBundleIdentifier() && panel.isVisible()
               && panel.level() != SidebarPanel::kNormalLevel && lastWindowSample_
               && lastWindowSample_->windowIsInFront == false) {
        startRaiseHold();
    } else {
        raiseNow(watch);
    }
    return true;
}

void SidebarPresence::bringForward(int level) {
    auto &panel = controller_->panel();
    panel.setFrame(controller_->sidebarFrame(), true);
    panel.invalidateShadow();
    panel.setLevel(level);
    panel.orderFrontRegardless();
    if (controller_->onVisibilityChange) controller_->onVisibilityChange(true);
}

void SidebarPresence::raiseNow(bool watch) {
    endRaiseHold();
    if (controller_) bringForward(SidebarPanel::kNormalLevel);
    if (watch) tracker_.extendOrderingWatch(kRaiseWatch);
}

void SidebarPresence::startRaiseHold() {
    if (isHoldingRaise_) return;
    isHoldingRaise_ = true;
    tracker_.extendOrderingWatch(kRaiseHold);
    raiseHoldTimer_ = services_.scheduler.after(Seconds(kRaiseHold), [this] { raiseHoldDeadline(); });
}

void SidebarPresence::raiseHoldDeadline() {
    if (!isHoldingRaise_) return;
    log_.debug("Raising the sidebar on the deadline; Safari's window was never measured in front");
    raiseNow(false);
}

void SidebarPresence::endRaiseHold() {
    isHoldingRaise_ = false;
    raiseHoldTimer_.cancel();
}

void SidebarPresence::dropRaiseHold() {
    if (!isHoldingRaise_) return;
    log_.debug("Sidebar raise no longer wanted; dropping the hold");
    endRaiseHold();
}

void SidebarPresence::windowTrackerChanged(const std::optional<SafariWindowSample> &sample) {
    lastWindowSample_ = sample;
    if (!controller_) return;
    controller_->setSafariFrame(sample ? std::optional(sample->frame) : std::nullopt);

    if (isHoldingRaise_ && sample && sample->windowIsInFront == true) {
        log_.debug("Safari's window is in front; raising the sidebar to meet it");
        raiseNow(false);
    }

    bool sameWindow = false;
    bool identityHandled = false;
    const auto visibilityChange = [&](bool visible) {
        const bool fullScreen = controller_->zoomState() == SidebarGeometry::fullScreen;
        log_.debug("Presence: Safari window %{public}s per the window tracker (fullScreen=%{bool,public}d)",
                   visible ? QStringLiteral("appeared") : QStringLiteral("vanished"), fullScreen);
        safariHasVisibleWindow_ = visible;
        evaluatePresence(std::nullopt);
        identityHandled = true;
    };
    if (!sample) {
        dockedWindowNumber_.reset();
        if (safariHasVisibleWindow_) visibilityChange(false);
        identityHandled = true;
    } else {
        sameWindow = dockedWindowNumber_ && *dockedWindowNumber_ == sample->number;
        dockedWindowNumber_ = sample->number;
        const bool visible = controller_->zoomState() != SidebarGeometry::fullScreen;
        if (visible != safariHasVisibleWindow_) {
            visibilityChange(visible);
        } else if (!sameWindow && controller_->panel().isVisible()) {
            log_.debug("Safari front window changed to %{public}ld; re-asserting sidebar depth", sample->number);
            raiseSidebar(std::nullopt, true);
            identityHandled = true;
        }
    }

    if (!identityHandled && sample && sample->sidebarIsInFront == false && !isHoldingRaise_
        && controller_->panel().isVisible()) {
        const auto front = frontmostApplication();
        if (front && isBrowserOrSelf(*front)) {
            log_.debug("Sidebar is behind Safari's window; raising it back");
            raiseSidebar(std::nullopt, false);
        }
    }

    updateZoomState(sample);

    const bool wasPressed = mouseWasPressed_;
    const bool pressedNow = sample && sample->isPressed;
    mouseWasPressed_ = pressedNow;
    settleTimer_.cancel();
    if (sample && controller_->needsRoomFromSafari()) {
        const bool released = wasPressed && !pressedNow;
        if (released || !sameWindow || !sample->isMoving)
            dockSidebar();
        else
            startSettleTimer(kSettleWhileMoving);
    }
}

void SidebarPresence::dockSidebar() {
    settleTimer_.cancel();
    updateZoomState(lastWindowSample_);
    if (!controller_) return;
    if (!controller_->needsRoomFromSafari()) return;
    const auto screen = controller_->screenForSafari();
    if (!screen) return;
    if (services_.pointer.isPrimaryButtonDown()) {
        startSettleTimer(kSettleWhilePressed);
        return;
    }
    const double minLeft = screen->visibleFrame.left() + controller_->currentWidth();
    const double maxRight = screen->visibleFrame.right();
    startDetached(reserveSpace(store_, minLeft, maxRight), log_, QStringLiteral("Making room for the sidebar"));
}

QCoro::Task<> SidebarPresence::reserveSpace(TabStore &store, double minLeft, double maxRight) {
    co_await store.reserveSpace(minLeft, maxRight);
}

void SidebarPresence::startSettleTimer(double interval) {
    settleTimer_ = services_.scheduler.after(Seconds(interval), [this] { dockSidebar(); });
}

void SidebarPresence::reframeIfVisible() {
    auto &panel = controller_->panel();
    if (!panel.isVisible()) return;
    panel.setFrame(controller_->sidebarFrame(), true);
    panel.invalidateShadow();
}

void SidebarPresence::updateZoomState(const std::optional<SafariWindowSample> &sample) {
    if (!controller_) return;
    const auto screen = controller_->screenForSafari();
    const auto frame = controller_->safariFrame();
    if (currentSidebarEdgeBehavior(services_.defaults) == SidebarEdgeBehavior::slideOffScreen
        && controller_->overlapsSafari() && frame && screen
        && SafariWindowTracker::fillsVisibleHeight(*frame, screen->visibleFrame, screen->frame) && sample) {
        const ZoomQuery query{sample->number, sample->frame};
        if (!sample->isMoving && !services_.pointer.isPrimaryButtonDown() && !zoomQueryInFlight_
            && lastZoomQuery_ != query) {
            lastZoomQuery_ = query;
            zoomQueryInFlight_ = true;
            startDetached(queryZoomedState(self_, store_, sample->number), log_, QStringLiteral("Zoom query"));
        }
        return;
    }
    if (controller_->safariSaysZoomed()) {
        controller_->setSafariSaysZoomed(false);
        reframeIfVisible();
    }
}

QCoro::Task<> SidebarPresence::queryZoomedState(std::weak_ptr<SidebarPresence *> self, TabStore &store,
                                                std::int64_t number) {
    const auto answer = co_await store.isWindowZoomed(number);
    const auto alive = self.lock();
    if (!alive || !*alive) co_return;
    auto &presence = **alive;
    presence.zoomQueryInFlight_ = false;
    if (!answer || !presence.controller_) co_return;
    if (*answer != presence.controller_->safariSaysZoomed()) {
        presence.controller_->setSafariSaysZoomed(*answer);
        presence.reframeIfVisible();
    }
    if (*answer) presence.dockSidebar();
}

}  // namespace ondrake
