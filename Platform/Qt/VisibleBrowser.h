#pragma once

#include "Qt/VisibleBrowserWindow.h"
#include "Qt/X11MoveWatch.h"
#include "Scheduler.h"
#include "SimulatedSafari.h"

#include <atomic>
#include <map>
#include <memory>

namespace ondrake {

// Shows every window of the simulated browser as a window of the desktop and keeps the two in
// step: windows come and go with the browser's, take on its bounds, titles and tabs, and stack in
// its order. It follows the browser's changes as they happen rather than asking it on a timer.
// The windows first shown come up without taking focus, and then the browser's front window is
// activated, so that whatever the window manager does with new windows the front window is the
// same on every start. Only worth having on a real display.
class VisibleBrowser {
public:
    // Nothing on the offscreen or minimal platforms, where no person could see it.
    static std::unique_ptr<VisibleBrowser> createOnDisplay(SimulatedSafari &safari, Scheduler &scheduler,
                                                           QPoint nativeOrigin);

    VisibleBrowser(SimulatedSafari &safari, Scheduler &scheduler, QPoint nativeOrigin);
    ~VisibleBrowser();
    VisibleBrowser(const VisibleBrowser &) = delete;
    VisibleBrowser &operator=(const VisibleBrowser &) = delete;

    void sync();
    const VisibleBrowserWindow *window(std::int64_t id) const;

private:
    // Shared with the browser's observer, which may run on the script's thread.
    struct Pending {
        std::atomic<bool> queued{false};
        VisibleBrowser *owner = nullptr;  // main thread only
    };

    void windowActivated(std::int64_t id);

    SimulatedSafari &safari_;
    const QPoint nativeOrigin_;
    const std::unique_ptr<X11MoveWatch> moves_ = X11MoveWatch::forApplication();  // outlives the windows
    std::map<std::int64_t, std::unique_ptr<VisibleBrowserWindow>> windows_;
    std::vector<std::int64_t> order_;  // front to back, as the desktop stacks them
    std::shared_ptr<Pending> pending_;
};

}  // namespace ondrake
