#pragma once

#include "Qt/VisibleBrowserWindow.h"
#include "Scheduler.h"
#include "SimulatedSafari.h"

#include <map>
#include <memory>

namespace ondrake {

// Shows every window of the simulated browser as a window of the desktop and keeps the two in
// step: windows come and go with the browser's, take on its bounds, titles and tabs, and stack in
// its order. Only worth having on a real display.
class VisibleBrowser {
public:
    static constexpr double kSyncInterval = 0.1;

    // Nothing on the offscreen or minimal platforms, where no person could see it.
    static std::unique_ptr<VisibleBrowser> createOnDisplay(SimulatedSafari &safari, Scheduler &scheduler,
                                                           QPoint nativeOrigin);

    VisibleBrowser(SimulatedSafari &safari, Scheduler &scheduler, QPoint nativeOrigin);
    ~VisibleBrowser();

    void sync();
    const VisibleBrowserWindow *window(std::int64_t id) const;

private:
    SimulatedSafari &safari_;
    const QPoint nativeOrigin_;
    std::map<std::int64_t, std::unique_ptr<VisibleBrowserWindow>> windows_;
    std::vector<std::int64_t> order_;
    TimerHandle timer_;
};

}  // namespace ondrake
