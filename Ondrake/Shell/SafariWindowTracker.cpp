#include "SafariWindowTracker.h"

#include "Browser/ImmersiveTrackingMode.h"
#include "SidebarGeometry.h"

#include <algorithm>
#include <cmath>

namespace ondrake {

namespace {

constexpr double kDefaultSampleRate = 30;
constexpr double kMaximumSampleRate = 120;
constexpr double kDefaultSettleDelay = 0.12;
constexpr double kMinimumSettleDelay = 0.04;
constexpr double kMaximumSettleDelay = 0.4;

bool isPopoverShaped(const SafariWindowCandidate &c, std::size_t position,
                     const std::vector<SafariWindowCandidate> &candidates) {
    const auto &f = c.frame;
    for (std::size_t i = position + 1; i < candidates.size(); ++i) {
        const auto &l = candidates[i].frame;
        if (l.top() < f.top() && f.top() < l.bottom() && l.left() <= f.left() && f.right() <= l.right()) return true;
    }
    return false;
}

bool isLargeEnough(const QRectF &bounds) {
    return bounds.width() > SafariWindowTracker::kMinimumWindowSide
           && bounds.height() > SafariWindowTracker::kMinimumWindowSide;
}

}  // namespace

SafariWindowFilter::Choice SafariWindowFilter::choose(const std::vector<SafariWindowCandidate> &candidates,
                                                      const std::set<std::int64_t> &knownWindowIDs) {
    Choice choice;
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        const auto &c = candidates[i];
        if (!isPopoverShaped(c, i, candidates) || knownWindowIDs.contains(c.number)) {
            choice.window = c;
            return choice;
        }
        choice.popovers.push_back(c);
    }
    return {};
}

SafariWindowTracker::SafariWindowTracker(Services services) : services_(services) {
    // The idle timer is too slow to see a short press; the pointer says when one begins.
    pressWatch_ = QObject::connect(&services_.pointer, &Pointer::primaryButtonPressed,
                                   [this] { pace(services_.scheduler.now()); });
    // A window raised over the sidebar, where the desktop says so, is looked at closely at once.
    // The handler outlives the tracker in the list; it holds the tracker weakly.
    services_.windowList.setChangeHandler([self = std::weak_ptr<SafariWindowTracker *>(self_)] {
        const auto tracker = self.lock();
        if (tracker && (*tracker)->timer_.isActive()) (*tracker)->extendOrderingWatch(kPressWatch);
    });
}

SafariWindowTracker::~SafariWindowTracker() { QObject::disconnect(pressWatch_); }

double SafariWindowTracker::sampleInterval(const UserDefaults &defaults) {
    double rate = kDefaultSampleRate;
    if (defaults.objectForKey(kSampleRateKey)) {
        const double stored = defaults.doubleForKey(kSampleRateKey);
        if (std::isfinite(stored) && stored > kDefaultSampleRate) rate = std::min(stored, kMaximumSampleRate);
    }
    return 1.0 / rate;
}

double SafariWindowTracker::settleDelay(const UserDefaults &defaults) {
    if (!defaults.objectForKey(kSettleDelayKey)) return kDefaultSettleDelay;
    const double stored = defaults.doubleForKey(kSettleDelayKey);
    if (!std::isfinite(stored)) return kDefaultSettleDelay;
    return std::clamp(stored, kMinimumSettleDelay, kMaximumSettleDelay);
}

QRectF SafariWindowTracker::cocoaFrame(const QRectF &r, std::optional<double> firstScreenHeight) {
    return flipped(r, firstScreenHeight.value_or(r.y() + r.height()));
}

bool SafariWindowTracker::fillsVisibleHeight(const QRectF &safari, const QRectF &visible, const QRectF &screen) {
    constexpr double tolerance = SidebarGeometry::kZoomTolerance;
    if (SidebarGeometry::isFullScreen(safari, screen)) return false;
    // Both edges compare like with like, so QRectF's top() and bottom() serve whichever way y grows.
    const bool fillsHeight = std::abs(safari.top() - visible.top()) <= tolerance
                             && std::abs(safari.bottom() - visible.bottom()) <= tolerance;
    const bool fillsWidth = safari.left() <= visible.left() + tolerance && safari.right() >= visible.right() - tolerance;
    return fillsHeight && !fillsWidth;
}

std::optional<ScreenInfo> SafariWindowTracker::screenWithLargestOverlap(const QRectF &frame, const Screens &screens) {
    const auto all = screens.screens();
    if (all.empty()) return screens.mainScreen();
    std::size_t best = 0;
    double bestArea = intersectionArea(all.front().frame, frame);
    for (std::size_t i = 1; i < all.size(); ++i) {
        const double area = intersectionArea(all[i].frame, frame);
        if (area > 0 && area > bestArea) {
            best = i;
            bestArea = area;
        }
    }
    return all[best];
}

std::optional<double> SafariWindowTracker::screenHeight() const {
    const auto all = services_.screens.screens();
    if (all.empty()) return std::nullopt;
    return all.front().frame.height();
}

void SafariWindowTracker::start() {
    if (timer_.isActive()) return;
    displayLink_.reset();
    startTimer(sampleInterval(services_.defaults));
}

void SafariWindowTracker::startTimer(double interval) {
    timer_ = services_.scheduler.every(Seconds(interval), [this] { tick(); });
    timerInterval_ = interval;
}

bool SafariWindowTracker::isQuiet(double now) const {
    if (orderingWatchUntil_ && now < *orderingWatchUntil_) return false;
    return !services_.pointer.isPrimaryButtonDown() && (!lastSample_ || !lastSample_->isMoving)
           && (!lastChange_ || now - *lastChange_ >= kRecentChange) && lastMeasured_.has_value();
}

void SafariWindowTracker::pace(double now) {
    if (!timer_.isActive()) return;
    const double rate = sampleInterval(services_.defaults);
    const double interval = isQuiet(now) ? std::max(rate, kIdleMeasureInterval) : rate;
    if (timerInterval_ && *timerInterval_ == interval) return;
    displayLink_.reset();
    startTimer(interval);
}

void SafariWindowTracker::stop() {
    timer_.cancel();
    timerInterval_.reset();
    displayLink_.reset();
    hasReported_ = false;
    lastSample_.reset();
    lastMeasurement_.reset();
    previous_.reset();
    lastMeasured_.reset();
    lastChange_.reset();
    trackedNumber_.reset();
    lastFullScan_.reset();
    orderingWatchUntil_.reset();
    lastSidebarInFront_.reset();
    lastWindowInFront_.reset();
    dragState_ = {};
    buttonWasDown_ = false;
}

void SafariWindowTracker::extendOrderingWatch(double seconds) {
    const double now = services_.scheduler.now();
    const double until = now + seconds;
    orderingWatchUntil_ = std::max(orderingWatchUntil_.value_or(until), until);
    pace(now);
}

void SafariWindowTracker::setOrderingWatchUntil(std::optional<double> until) {
    orderingWatchUntil_ = until;
    pace(services_.scheduler.now());
}

void SafariWindowTracker::tick() {
    const double now = services_.scheduler.now();
    watchMouseButton(now);
    if (shouldMeasure(now)) measure(std::nullopt);
    pace(services_.scheduler.now());
}

void SafariWindowTracker::displayLinkFired(double targetTimestamp) {
    const double now = services_.scheduler.now();
    watchMouseButton(now);
    if (shouldMeasure(now)) measure(targetTimestamp);
}

void SafariWindowTracker::displayLinkLost() {
    // Without its screen the link never fires again; the timer takes over so tracking goes on.
    logger_.debug("Display link lost its screen; measuring on the timer");
    displayLink_.reset();
    start();
}

bool SafariWindowTracker::shouldMeasure(double now) const {
    if (!isQuiet(now)) return true;
    return now - *lastMeasured_ >= kIdleMeasureInterval - kTimerSlack;
}

void SafariWindowTracker::watchMouseButton(double now) {
    const bool down = services_.pointer.isPrimaryButtonDown();
    if (down && !buttonWasDown_ && lastSidebarInFront_ == true) {
        // The press may bring the browser's window over the sidebar: look closely for a moment.
        orderingWatchUntil_ = std::max(orderingWatchUntil_.value_or(now + kPressWatch), now + kPressWatch);
        buttonWasDown_ = true;
    } else {
        buttonWasDown_ = down;
    }
}

std::optional<std::int64_t> SafariWindowTracker::safariProcessID() const {
    // Asked afresh each time: an application that has terminated must never count as running.
    for (const auto &app : services_.workspace.runningApplications(kSafariBundleIdentifier))
        if (!app.isTerminated) return app.processIdentifier;
    return std::nullopt;
}

std::optional<SafariWindowTracker::Measurement> SafariWindowTracker::queryTrackedWindow(
    std::int64_t safariPid, std::optional<double> height) const {
    const auto info = services_.windowList.window(*trackedNumber_);
    if (!info || info->ownerProcessID != safariPid || info->layer != 0 || !info->isOnScreen || !info->bounds
        || !isLargeEnough(*info->bounds))
        return std::nullopt;
    return Measurement{cocoaFrame(*info->bounds, height), *trackedNumber_};
}

void SafariWindowTracker::measure(std::optional<double> targetTimestamp) {
    const double now = services_.scheduler.now();
    lastMeasured_ = now;
    const auto safariPid = safariProcessID();
    if (!safariPid) {
        lose(now);
        return;
    }
    const auto height = screenHeight();

    const bool fullScanNeeded = (orderingWatchUntil_ && now < *orderingWatchUntil_) || !lastFullScan_
                                || now - *lastFullScan_ >= kFullScanInterval - kTimerSlack || !trackedNumber_;
    if (!fullScanNeeded) {
        if (const auto measurement = queryTrackedWindow(*safariPid, height)) {
            process(*measurement, targetTimestamp, std::nullopt, std::nullopt, {});
            return;
        }
    }

    const auto list = services_.windowList.onScreenWindows();
    if (!list) return;
    lastFullScan_ = now;

    bool sidebarSeen = false;
    bool otherSeen = false;
    std::vector<SafariWindowCandidate> candidates;
    for (const auto &entry : *list) {
        if (entry.number && sidebarWindowNumber_ && *entry.number == *sidebarWindowNumber_) {
            sidebarSeen = true;
            continue;
        }
        if (entry.layer != 0 || !entry.bounds || !isLargeEnough(*entry.bounds) || !entry.number
            || !entry.ownerProcessID)
            continue;
        if (*entry.ownerProcessID != *safariPid) {
            if (*entry.ownerProcessID != services_.ownProcessID) otherSeen = true;
            continue;
        }
        candidates.push_back({*entry.number, *entry.bounds, sidebarSeen, otherSeen});
    }

    const auto choice = SafariWindowFilter::choose(candidates, knownSafariWindowIDs_);
    if (!choice.window) {
        lose(now);
        return;
    }
    trackedNumber_ = choice.window->number;
    std::vector<QRectF> popovers;
    popovers.reserve(choice.popovers.size());
    for (const auto &p : choice.popovers) popovers.push_back(cocoaFrame(p.frame, height));
    process({cocoaFrame(choice.window->frame, height), choice.window->number}, targetTimestamp,
            choice.window->sidebarWasInFront, !choice.window->otherApplicationWasInFront, std::move(popovers));
}

void SafariWindowTracker::lose(double now) {
    trackedNumber_.reset();
    if (lastMeasurement_) lastChange_ = now;
    lastMeasurement_.reset();
    dragState_ = {};
    previous_.reset();
    report(std::nullopt, false);
}

void SafariWindowTracker::process(const Measurement &measurement, std::optional<double> targetTimestamp,
                                  std::optional<bool> sidebarInFront, std::optional<bool> windowInFront,
                                  std::vector<QRectF> popovers) {
    const double now = services_.scheduler.now();
    if (sidebarInFront) lastSidebarInFront_ = sidebarInFront;
    if (windowInFront) lastWindowInFront_ = windowInFront;
    const bool force = orderingWatchUntil_ && now < *orderingWatchUntil_ && sidebarInFront == false;

    const bool changed = !lastMeasurement_ || lastMeasurement_->frame != measurement.frame
                         || lastMeasurement_->number != measurement.number;
    lastMeasurement_ = measurement;
    if (changed) lastChange_ = now;

    const bool pressed = services_.pointer.isPrimaryButtonDown();
    if (changed)
        dragState_ = {now, pressed};
    else if (!pressed)
        dragState_.movedDuringThisPress = false;
    const bool isMoving = (dragState_.lastMovedAt && now - *dragState_.lastMovedAt < settleDelay(services_.defaults))
                          || dragState_.movedDuringThisPress;

    const bool predicting = currentImmersiveTrackingMode(services_.defaults) == ImmersiveTrackingMode::followPredicted;
    const QRectF predicted = (predicting && changed)
                                 ? WindowMotionPrediction::predict(measurement.frame, now, targetTimestamp, previous_)
                                 : measurement.frame;
    previous_ = WindowMotionPrediction::Sample{measurement.frame, now};

    if (predicting && isMoving) {
        startDisplayLink();
    } else {
        start();
        pace(now);
    }

    SafariWindowSample sample;
    sample.frame = measurement.frame;
    sample.predictedFrame = predicted;
    sample.number = measurement.number;
    sample.isMoving = isMoving;
    sample.isPressed = pressed;
    sample.popovers = std::move(popovers);
    sample.sidebarIsInFront = sidebarInFront ? sidebarInFront : lastSidebarInFront_;
    sample.windowIsInFront = windowInFront ? windowInFront : lastWindowInFront_;
    report(sample, force);
}

void SafariWindowTracker::startDisplayLink() {
    if (displayLink_) return;
    timer_.cancel();
    timerInterval_.reset();
    const auto screen = lastMeasurement_ ? screenWithLargestOverlap(lastMeasurement_->frame, services_.screens)
                                         : services_.screens.mainScreen();
    if (screen)
        displayLink_ = services_.frameClock.makeDisplayLink(
            *screen, [this](double target) { displayLinkFired(target); }, [this] { displayLinkLost(); });
    if (!displayLink_) start();
}

void SafariWindowTracker::report(const std::optional<SafariWindowSample> &sample, bool force) {
    if (!force && hasReported_ && sample == lastSample_) return;
    lastSample_ = sample;
    hasReported_ = true;
    if (onChange_) onChange_(sample);
}

}  // namespace ondrake
