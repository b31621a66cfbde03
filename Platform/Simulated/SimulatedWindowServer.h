#pragma once

#include "SimulatedSafari.h"
#include "WindowList.h"
#include "Workspace.h"

#include <QObject>

#include <map>
#include <memory>
#include <set>

namespace ondrake {

// The simulated window server: one front-to-back stack holding the simulated browser's windows
// (number = the browser's scripting window id, bounds and order from the browser) and windows
// that tests or the app add (the sidebar panel, other applications' windows). An application
// that becomes active brings its windows to the front. Main thread.
class SimulatedWindowServer final : public WindowList {
public:
    static constexpr std::int64_t kFirstAddedNumber = 100000;

    SimulatedWindowServer(SimulatedSafari &safari, Workspace &workspace);
    ~SimulatedWindowServer() override;

    std::optional<std::vector<WindowInfo>> onScreenWindows() const override;
    std::optional<WindowInfo> window(std::int64_t number) const override;

    // Puts a window in front of all others; answers its number (the given one, else a new one).
    std::int64_t addWindow(WindowInfo window);
    void removeWindow(std::int64_t number);
    // For added windows; the browser's windows follow the browser.
    void setBounds(std::int64_t number, const QRectF &bounds);
    void setOnScreen(std::int64_t number, bool onScreen);

    // Ordering any window, the browser's included. Ordering a browser window front also makes it
    // the browser's front window.
    void orderFront(std::int64_t number);
    void orderBack(std::int64_t number);
    void orderBelow(std::int64_t number, std::int64_t other);
    void bringApplicationToFront(std::int64_t processID);

    // While set, the full scan cannot be read.
    void setListUnreadable(bool unreadable) { unreadable_ = unreadable; }
    // Numbers front to back, on screen or not.
    std::vector<std::int64_t> stackingOrder() const;

private:
    void sync() const;
    std::optional<WindowInfo> describe(std::int64_t number, const std::vector<SimulatedSafari::Window> &browser,
                                       std::optional<std::int64_t> browserPid) const;
    void moveTo(std::int64_t number, std::size_t position);

    SimulatedSafari &safari_;
    std::unique_ptr<QObject> context_;  // receives the workspace's activations
    std::map<std::int64_t, WindowInfo> added_;
    // Front to back. Browser windows keep slots that the browser's own order fills.
    mutable std::vector<std::int64_t> stack_;
    mutable std::set<std::int64_t> browserNumbers_;
    std::int64_t nextNumber_ = kFirstAddedNumber;
    bool unreadable_ = false;
};

}  // namespace ondrake
