#pragma once

#include "Accessibility.h"
#include "Privacy.h"
#include "Scheduler.h"
#include "SimulatedAccessibilityTree.h"
#include "SimulatedSafari.h"

#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace ondrake {

// The simulated world's Accessibility interface. The simulated browser's process answers with an
// interface tree drawn from its windows: per window a toolbar, a tab row (a tab group whose
// buttons are the window's tabs) and a web area. Tests may stand any hand-built tree in for a
// process instead. Reads need the process to be trusted. Notifications reach observers on the
// main thread through the scheduler. Main thread.
class SimulatedAccessibility final : public Accessibility {
public:
    // The browser's own tree is refreshed from its state this often while observers listen, as
    // well as before every read of its application and window elements.
    static constexpr Seconds refreshInterval{1.0 / 30.0};
    static constexpr double toolbarHeight = 52;
    static constexpr double tabRowHeight = 28;

    // How a window shows its tabs, as far as its interface tree tells.
    enum class TabRowLayout {
        separate,       // a tab row below the toolbar
        insideToolbar,  // the tabs drawn inside the toolbar, leaving no row to cover
        none,           // no tab row at all
        outOfReach,     // the chrome nested so deep that no search of reasonable depth finds it
    };

    struct Registration {
        std::int64_t processIdentifier = 0;
        AXUIElement element;
        QString notification;
    };

    SimulatedAccessibility(Scheduler &scheduler, SimulatedSafari &safari, const Privacy &privacy);
    ~SimulatedAccessibility() override;

    AXUIElement createApplication(std::int64_t processIdentifier) override;
    AXResult<std::unique_ptr<AXObserver>> createObserver(std::int64_t processIdentifier,
                                                          AXObserver::Callback callback) override;

    // The browser's tree.
    void setTabRowLayout(std::int64_t windowID, TabRowLayout layout);
    void setFullScreen(std::int64_t windowID, bool fullScreen);
    // The windows as they are drawn on a desktop: no toolbar, and a tab strip this tall along the
    // top edge, which the tab row then covers; none goes back to the browser's own chrome.
    void setDrawnTabStrip(std::optional<double> height);
    // Brings the browser's tree up to date and posts the notifications of what changed.
    void refresh();
    std::optional<AXUIElement> safariApplicationElement();
    std::optional<AXUIElement> safariWindowElement(std::int64_t windowID);
    // The element of the window's tab row, toolbar or web area; none where the layout has none.
    std::optional<SimulatedAccessibilityTree::Element> safariTabRow(std::int64_t windowID);
    std::optional<SimulatedAccessibilityTree::Element> safariToolbar(std::int64_t windowID);

    // Hand-built processes, and faults.
    void setApplication(std::int64_t processIdentifier, AXUIElement application);
    void setObserverCreationFails(bool fails) { observerCreationFails_ = fails; }
    // Delivers `notification` to every observer that registered it on `element`.
    void post(const AXUIElement &element, const QString &notification);

    std::vector<Registration> registrations() const;
    int observerCount() const;
    int observerCreationCount() const { return observersCreated_; }

private:
    struct Hub;
    class Observer;
    struct WindowState {
        SimulatedSafari::Window window;
        TabRowLayout layout = TabRowLayout::separate;
        bool fullScreen = false;
        bool operator==(const WindowState &) const = default;
    };
    struct WindowNodes {
        std::optional<SimulatedAccessibilityTree::Element> window;
        std::vector<SimulatedAccessibilityTree::Element> chrome;  // every element below the window
        std::optional<SimulatedAccessibilityTree::Element> toolbar;
        std::optional<SimulatedAccessibilityTree::Element> tabRow;
        WindowState state;
    };

    void forgetSafari();
    void updateWindow(WindowNodes &nodes, const WindowState &state);
    void buildChrome(WindowNodes &nodes, const WindowState &state);
    void scheduledObserversChanged();
    WindowState stateFor(const SimulatedSafari::Window &window) const;

    Scheduler &scheduler_;
    SimulatedSafari &safari_;
    const Privacy &privacy_;
    std::shared_ptr<Hub> hub_;
    SimulatedAccessibilityTree safariTree_;
    SimulatedAccessibilityTree deadProcesses_;
    std::map<std::int64_t, AXUIElement> applications_;  // hand-built
    std::map<std::int64_t, TabRowLayout> layouts_;
    std::map<std::int64_t, bool> fullScreen_;
    std::optional<double> drawnTabStrip_;
    bool observerCreationFails_ = false;
    int observersCreated_ = 0;
    bool refreshing_ = false;
    TimerHandle refreshTimer_;

    std::optional<std::int64_t> safariPid_;
    std::optional<SimulatedAccessibilityTree::Element> safariApp_;
    std::map<std::int64_t, WindowNodes> windows_;
    std::optional<std::int64_t> frontWindow_;
    bool frontFullScreen_ = false;
    bool safariActive_ = false;
};

}  // namespace ondrake
