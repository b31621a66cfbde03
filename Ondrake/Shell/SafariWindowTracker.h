#pragma once

#include "Browser/SafariWindowSample.h"
#include "Browser/WindowMotionPrediction.h"

#include "FrameClock.h"
#include "Log.h"
#include "Pointer.h"
#include "Scheduler.h"
#include "Screens.h"
#include "UserDefaults.h"
#include "WindowList.h"
#include "Workspace.h"

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <vector>

namespace ondrake {

// One browser window seen in a full scan, in window-list coordinates (origin top left).
struct SafariWindowCandidate {
    std::int64_t number = 0;
    QRectF frame;
    bool sidebarWasInFront = false;           // the sidebar panel came earlier in the list
    bool otherApplicationWasInFront = false;  // a large window of another application did

    bool operator==(const SafariWindowCandidate &) const = default;
};

// Tells the browser's main window from the small windows (popovers, sheets) lying over it.
struct SafariWindowFilter {
    struct Choice {
        std::optional<SafariWindowCandidate> window;
        std::vector<SafariWindowCandidate> popovers;  // front to back
        bool operator==(const Choice &) const = default;
    };
    // `knownWindowIDs`: the browser's own window ids from the tab snapshot, never popovers.
    static Choice choose(const std::vector<SafariWindowCandidate> &candidates,
                         const std::set<std::int64_t> &knownWindowIDs);
};

struct WindowDragState {
    std::optional<double> lastMovedAt;  // media time
    bool movedDuringThisPress = false;
    bool operator==(const WindowDragState &) const = default;
};

// Follows the browser's front window through the window server's list and reports each changed
// measurement. Idle windows are measured four times a second; a moving one on every tick, or on
// every display frame while its motion is predicted. While all is quiet the timer itself wakes
// only four times a second; a change, a press of the primary button or an ordering watch brings
// back the full rate at once. Main thread.
class SafariWindowTracker {
public:
    struct Services {
        Scheduler &scheduler;
        const WindowList &windowList;
        const Workspace &workspace;
        const Pointer &pointer;
        const Screens &screens;
        FrameClock &frameClock;
        const UserDefaults &defaults;
        std::int64_t ownProcessID = 0;
    };

    static inline const QString kSafariBundleIdentifier = QStringLiteral("com.apple.Safari");
    static inline const QString kSampleRateKey = QStringLiteral("SafariWindowSampleRate");
    static inline const QString kSettleDelayKey = QStringLiteral("ImmersiveSettleDelay");
    static constexpr double kFullScanInterval = 0.25;
    static constexpr double kIdleMeasureInterval = 0.25;
    static constexpr double kRecentChange = 0.5;
    static constexpr double kPressWatch = 0.2;
    static constexpr double kMinimumWindowSide = 200;
    // A timer may fire a little before its interval is up by the clock that judges it.
    static constexpr double kTimerSlack = 0.002;

    using ChangeHandler = std::function<void(const std::optional<SafariWindowSample> &)>;

    explicit SafariWindowTracker(Services services);
    ~SafariWindowTracker();
    SafariWindowTracker(const SafariWindowTracker &) = delete;
    SafariWindowTracker &operator=(const SafariWindowTracker &) = delete;

    void setOnChange(ChangeHandler handler) { onChange_ = std::move(handler); }
    void start();
    void stop();
    bool isIdle() const { return !timer_.isActive() && !displayLink_; }
    void measure(std::optional<double> targetTimestamp = std::nullopt);

    // Until this media time every measurement is a full scan and none is throttled.
    std::optional<double> orderingWatchUntil() const { return orderingWatchUntil_; }
    void setOrderingWatchUntil(std::optional<double> until);
    // Keeps the watch until at least `seconds` from now.
    void extendOrderingWatch(double seconds);
    void setKnownSafariWindowIDs(std::set<std::int64_t> ids) { knownSafariWindowIDs_ = std::move(ids); }
    const std::set<std::int64_t> &knownSafariWindowIDs() const { return knownSafariWindowIDs_; }
    void setSidebarWindowNumber(std::optional<std::int64_t> number) { sidebarWindowNumber_ = number; }
    std::optional<std::int64_t> sidebarWindowNumber() const { return sidebarWindowNumber_; }

    const std::optional<SafariWindowSample> &lastSample() const { return lastSample_; }
    bool isUsingDisplayLink() const { return displayLink_ != nullptr; }
    std::optional<double> timerInterval() const { return timerInterval_; }
    bool shouldMeasure(double now) const;

    // The tunables, read afresh on every use.
    static double sampleInterval(const UserDefaults &defaults);
    static double settleDelay(const UserDefaults &defaults);
    // A window-list rectangle in screen coordinates, flipped over the first screen's height (the
    // rectangle's own bottom when there is no screen).
    static QRectF cocoaFrame(const QRectF &windowListRect, std::optional<double> firstScreenHeight);
    // The window fills the visible frame's height but neither the whole visible frame nor the
    // screen.
    static bool fillsVisibleHeight(const QRectF &safari, const QRectF &visible, const QRectF &screen);
    static std::optional<ScreenInfo> screenWithLargestOverlap(const QRectF &frame, const Screens &screens);

private:
    struct Measurement {
        QRectF frame;
        std::int64_t number = 0;
    };

    void tick();
    void displayLinkFired(double targetTimestamp);
    void displayLinkLost();
    void watchMouseButton(double now);
    std::optional<std::int64_t> safariProcessID() const;
    std::optional<Measurement> queryTrackedWindow(std::int64_t safariPid, std::optional<double> screenHeight) const;
    void process(const Measurement &measurement, std::optional<double> targetTimestamp,
                 std::optional<bool> sidebarInFront, std::optional<bool> windowInFront, std::vector<QRectF> popovers);
    void lose(double now);
    void startDisplayLink();
    void startTimer(double interval);
    // Nothing moves, nothing is pressed and no ordering watch runs.
    bool isQuiet(double now) const;
    // Times the running timer for what is going on: the sample rate, or the idle measuring rate
    // while all is quiet. Also takes up a changed sample rate.
    void pace(double now);
    void report(const std::optional<SafariWindowSample> &sample, bool force);
    std::optional<double> screenHeight() const;

    Services services_;
    const Logger logger_{QStringLiteral("Sidebar")};
    QMetaObject::Connection pressWatch_;
    std::shared_ptr<SafariWindowTracker *> self_ = std::make_shared<SafariWindowTracker *>(this);
    ChangeHandler onChange_;
    TimerHandle timer_;
    std::unique_ptr<DisplayLink> displayLink_;
    std::optional<SafariWindowSample> lastSample_;
    bool hasReported_ = false;
    std::optional<Measurement> lastMeasurement_;
    WindowDragState dragState_;
    std::optional<WindowMotionPrediction::Sample> previous_;
    std::optional<double> timerInterval_;
    bool buttonWasDown_ = false;
    std::optional<double> lastMeasured_;
    std::optional<double> lastChange_;
    std::optional<std::int64_t> trackedNumber_;
    std::optional<double> lastFullScan_;
    std::optional<double> orderingWatchUntil_;
    std::optional<bool> lastSidebarInFront_;
    std::optional<bool> lastWindowInFront_;
    std::set<std::int64_t> knownSafariWindowIDs_;
    std::optional<std::int64_t> sidebarWindowNumber_;
};

}  // namespace ondrake
