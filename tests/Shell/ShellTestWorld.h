#pragma once

#include "Shell/SafariWindowTracker.h"

#include "ManualScheduler.h"
#include "SimulatedFrameClock.h"
#include "SimulatedSafari.h"
#include "SimulatedScreens.h"
#include "SimulatedWindowServer.h"
#include "SimulatedWorkspace.h"
#include "UserDefaults.h"

namespace ondrake::test {

// Counts what the tracker asks of the window server.
class CountingWindowList final : public WindowList {
public:
    explicit CountingWindowList(const WindowList &inner) : inner_(inner) {}
    std::optional<std::vector<WindowInfo>> onScreenWindows() const override {
        ++fullScans;
        return inner_.onScreenWindows();
    }
    std::optional<WindowInfo> window(std::int64_t number) const override {
        ++singleQueries;
        return inner_.window(number);
    }
    void setChangeHandler(ChangeHandler handler) const override { changeHandler_ = std::move(handler); }
    // As a desktop does when its windows were restacked.
    void announceChange() const {
        if (changeHandler_) changeHandler_();
    }
    mutable int fullScans = 0;
    mutable int singleQueries = 0;

private:
    const WindowList &inner_;
    mutable ChangeHandler changeHandler_;
};

// A simulated desktop: the browser running with no windows yet, one 1440 × 900 screen, this
// application running, and a tracker that records every sample it reports.
struct ShellWorld {
    ManualScheduler scheduler;
    SimulatedWorkspace workspace{scheduler};
    SimulatedSafari safari{workspace};
    SimulatedWindowServer windowServer{safari, workspace};
    CountingWindowList windowList{windowServer};
    SimulatedScreens screens;
    SimulatedPointer pointer;
    SimulatedFrameClock frameClock{scheduler, screens};
    UserDefaults defaults;
    std::int64_t ownPid = workspace.launch(QStringLiteral("com.ondrake.Ondrake"));
    std::int64_t safariPid = safari.launch();
    SafariWindowTracker tracker{{scheduler, windowList, workspace, pointer, screens, frameClock, defaults, ownPid}};
    std::vector<std::optional<SafariWindowSample>> samples;

    ShellWorld() {
        scheduler.runUntilIdle();
        tracker.setOnChange([this](const std::optional<SafariWindowSample> &s) { samples.push_back(s); });
    }

    // A browser window with one tab at these bounds (left, top, right, bottom; origin top left).
    std::int64_t addSafariWindow(SimulatedSafari::Bounds bounds, std::int64_t id = 0) {
        SimulatedSafari::Window w;
        w.id = id;
        w.bounds = bounds;
        w.tabs = {{QStringLiteral("Example"), QStringLiteral("https://example.com/")}};
        return safari.addWindow(std::move(w));
    }
    void moveSafariWindow(std::int64_t id, double dx, double dy) {
        safari.update([&](std::vector<SimulatedSafari::Window> &windows) {
            for (auto &w : windows)
                if (w.id == id) w.bounds = {w.bounds.left + dx, w.bounds.top + dy, w.bounds.right + dx, w.bounds.bottom + dy};
        });
    }
    std::int64_t addOtherWindow(std::int64_t pid, QRectF bounds) {
        WindowInfo info;
        info.layer = 0;
        info.bounds = bounds;
        info.ownerProcessID = pid;
        info.isOnScreen = true;
        return windowServer.addWindow(info);
    }
    void startTracking() {
        tracker.start();
        tracker.measure();
    }
    const SafariWindowSample &lastSample() const { return *samples.back(); }
};

}  // namespace ondrake::test
