#pragma once

#include "AppleEventDescriptor.h"
#include "SimulatedWorkspace.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

namespace ondrake {

// The simulated browser: its windows front to back, their tabs, the Reading List, and its
// process (running, active, process id) as the shared workspace shows it. The handler methods
// do what the app's Safari script does against the real browser, answering the same words,
// lists and numbers. Thread-safe: the script runs on the runner's thread while tests and the
// app look on from the main thread.
class SimulatedSafari {
public:
    static constexpr double kMinimumWindowWidth = 480;

    struct Bounds {
        double left = 0, top = 0, right = 0, bottom = 0;
        bool operator==(const Bounds &) const = default;
    };
    struct Tab {
        QString title;
        QString url;  // empty for a blank tab, which the browser reports as missing
        bool operator==(const Tab &) const = default;
    };
    struct Window {
        std::int64_t id = 0;  // 0 when added: the browser picks one
        Bounds bounds{0, 25, 1280, 800};
        bool minimised = false;
        bool zoomed = false;
        bool isBrowserWindow = true;  // settings and bookmark windows have no tabs
        std::vector<Tab> tabs;
        std::int64_t currentTab = 1;  // 1-based; 0 when none
        bool operator==(const Window &) const = default;
    };
    struct ReadingListItem {
        QString url;
        QString title;
        bool operator==(const ReadingListItem &) const = default;
    };

    explicit SimulatedSafari(SimulatedWorkspace &workspace, QString bundleIdentifier = QStringLiteral("com.apple.Safari"));

    // The process.
    const QString &bundleIdentifier() const { return bundleIdentifier_; }
    std::int64_t launch();  // answers the process id
    void quit();
    void activate();
    bool isRunning() const;
    bool isActive() const;
    // Hidden, every window is off screen until the browser is activated again.
    void setHidden(bool hidden);
    bool isHidden() const;
    std::optional<std::int64_t> processIdentifier() const;

    // The windows, front to back (window index = position + 1).
    std::int64_t addWindow(Window window);  // behind the others; answers its id
    std::vector<Window> windows() const;
    std::optional<Window> window(std::int64_t id) const;
    void setWindows(std::vector<Window> windows);
    void update(const std::function<void(std::vector<Window> &)> &change);
    // Makes the window the front one, as clicking into it does. False when there is no such window.
    bool bringToFront(std::int64_t id);
    std::vector<ReadingListItem> readingList() const;
    // Told after every change of the windows, tabs, Reading List, visibility or process, on the
    // thread that made it and outside the browser's lock; one observer at a time. Lets a view
    // follow the browser without asking it over and over.
    void setChangeObserver(std::function<void()> observer);

    // The script's handlers.
    static std::int64_t resolveTabIndex(const Window &window, std::int64_t idx, const QString &expectedURL);
    AppleEventDescriptor getSnapshot() const;
    QString activateTab(std::int64_t wid, std::int64_t idx, const QString &expectedURL, bool shouldActivate);
    QString closeTab(std::int64_t wid, std::int64_t idx, const QString &expectedURL);
    QString closeTabs(std::int64_t wid, const std::vector<std::int64_t> &idxList, const std::vector<QString> &urlList);
    QString moveTabs(std::int64_t wid, std::int64_t f, std::int64_t c, std::int64_t d, const QString &expectedURL,
                     std::int64_t expectedCount);
    AppleEventDescriptor reserveSpace(double minLeft, double maxRight);
    AppleEventDescriptor setLeftEdge(double newLeft);
    QString restoreWindowBounds(std::int64_t wid, Bounds expected, Bounds original);
    std::int32_t isWindowZoomed(std::int64_t wid) const;
    QString openTab(std::int64_t wid, const QString &targetURL);
    QString addReadingListItem(const QString &targetURL, const QString &itemTitle);

private:
    // Holds the browser's lock for a change and tells the observer once the lock is let go.
    class Change {
    public:
        explicit Change(SimulatedSafari &safari) : safari_(safari), lock_(safari.mutex_) {}
        ~Change() {
            lock_.unlock();
            safari_.changed();
        }
        Change(const Change &) = delete;
        Change &operator=(const Change &) = delete;

    private:
        SimulatedSafari &safari_;
        std::unique_lock<std::mutex> lock_;
    };

    void changed() const;
    Window *find(std::int64_t wid);
    static void closeAt(std::vector<Window> &windows, std::size_t windowPosition, std::int64_t tabIndex);
    // The window server puts a window on whole points.
    static Bounds settle(Bounds requested);
    AppleEventDescriptor frameReply(const Window &window, Bounds before) const;

    SimulatedWorkspace &workspace_;
    const QString bundleIdentifier_;
    mutable std::mutex mutex_;
    std::vector<Window> windows_;
    std::vector<ReadingListItem> readingList_;
    bool hidden_ = false;
    std::int64_t nextWindowID_ = 1001;
    mutable std::mutex observerMutex_;
    std::function<void()> observer_;
};

}  // namespace ondrake
