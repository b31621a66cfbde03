#include "SimulatedAccessibility.h"

#include <algorithm>
#include <limits>

namespace ondrake {

namespace {
const QString kChildren = QStringLiteral("AXChildren");
const QString kFocusedWindow = QStringLiteral("AXFocusedWindow");
const QString kMainWindow = QStringLiteral("AXMainWindow");
const QString kWindows = QStringLiteral("AXWindows");

AXValue::Array refs(const std::vector<SimulatedAccessibilityTree::Element> &elements) {
    AXValue::Array out;
    out.reserve(elements.size());
    for (const auto &e : elements) out.emplace_back(e.ref());
    return out;
}
}  // namespace

// What the world and its observers share, so that either may go first.
struct SimulatedAccessibility::Hub {
    Scheduler *scheduler = nullptr;
    std::vector<Observer *> observers;
    std::function<void()> scheduledChanged;
};

class SimulatedAccessibility::Observer final : public AXObserver {
public:
    struct Delivery {
        AXObserver::Callback callback;
        bool alive = true;
        bool scheduled = false;
    };

    Observer(std::shared_ptr<Hub> hub, std::int64_t pid, Callback callback)
        : hub_(std::move(hub)), pid_(pid), delivery_(std::make_shared<Delivery>()) {
        delivery_->callback = std::move(callback);
        hub_->observers.push_back(this);
    }

    ~Observer() override {
        delivery_->alive = false;
        std::erase(hub_->observers, this);
        if (delivery_->scheduled && hub_->scheduledChanged) hub_->scheduledChanged();
    }

    AXError addNotification(const AXUIElement &element, const QString &notification) override {
        const auto probe = element.copyAttributeNames();
        if (!probe.ok() && (probe.error() == AXError::invalidUIElement || probe.error() == AXError::apiDisabled))
            return probe.error();
        if (isRegistered(element, notification)) return AXError::notificationAlreadyRegistered;
        registrations_.push_back({pid_, element, notification});
        return AXError::success;
    }

    AXError removeNotification(const AXUIElement &element, const QString &notification) override {
        const auto it = std::find_if(registrations_.begin(), registrations_.end(), [&](const Registration &r) {
            return r.notification == notification && r.element == element;
        });
        if (it == registrations_.end()) return AXError::notificationNotRegistered;
        registrations_.erase(it);
        return AXError::success;
    }

    void addToMainRunLoop() override { setScheduled(true); }
    void removeFromMainRunLoop() override { setScheduled(false); }

    bool isScheduled() const { return delivery_->scheduled; }
    const std::vector<Registration> &registrations() const { return registrations_; }

    bool isRegistered(const AXUIElement &element, const QString &notification) const {
        return std::any_of(registrations_.begin(), registrations_.end(), [&](const Registration &r) {
            return r.notification == notification && r.element == element;
        });
    }

    void deliver(const AXUIElement &element, const QString &notification) {
        if (!hub_->scheduler || !isRegistered(element, notification)) return;
        hub_->scheduler->post([delivery = delivery_, element, notification] {
            // The callback may end the observer; `delivery` keeps the callback alive meanwhile.
            if (delivery->alive && delivery->scheduled) delivery->callback(element, notification);
        });
    }

private:
    void setScheduled(bool scheduled) {
        if (delivery_->scheduled == scheduled) return;
        delivery_->scheduled = scheduled;
        if (hub_->scheduledChanged) hub_->scheduledChanged();
    }

    std::shared_ptr<Hub> hub_;
    std::int64_t pid_;
    std::shared_ptr<Delivery> delivery_;
    std::vector<Registration> registrations_;
};

SimulatedAccessibility::SimulatedAccessibility(Scheduler &scheduler, SimulatedSafari &safari, const Privacy &privacy)
    : scheduler_(scheduler), safari_(safari), privacy_(privacy), hub_(std::make_shared<Hub>()) {
    hub_->scheduler = &scheduler_;
    hub_->scheduledChanged = [this] { scheduledObserversChanged(); };
    safariTree_.setTrusted([this] { return privacy_.isProcessTrusted(); });
}

SimulatedAccessibility::~SimulatedAccessibility() {
    hub_->scheduler = nullptr;
    hub_->scheduledChanged = nullptr;
}

AXUIElement SimulatedAccessibility::createApplication(std::int64_t processIdentifier) {
    if (const auto it = applications_.find(processIdentifier); it != applications_.end()) return it->second;
    refresh();
    if (safariApp_ && safariPid_ == processIdentifier) return safariApp_->ref();
    // No such process: every message to it goes unanswered.
    return deadProcesses_.add().respondAfter(std::numeric_limits<double>::infinity()).ref();
}

AXResult<std::unique_ptr<AXObserver>> SimulatedAccessibility::createObserver(std::int64_t processIdentifier,
                                                                              AXObserver::Callback callback) {
    if (observerCreationFails_ || processIdentifier <= 0 || !callback) return AXError::failure;
    ++observersCreated_;
    return std::unique_ptr<AXObserver>(std::make_unique<Observer>(hub_, processIdentifier, std::move(callback)));
}

void SimulatedAccessibility::setApplication(std::int64_t processIdentifier, AXUIElement application) {
    applications_.insert_or_assign(processIdentifier, std::move(application));
}

void SimulatedAccessibility::post(const AXUIElement &element, const QString &notification) {
    // Delivering may add or end observers; deliver to those there were when it was posted.
    const auto observers = hub_->observers;
    for (auto *observer : observers)
        if (std::find(hub_->observers.begin(), hub_->observers.end(), observer) != hub_->observers.end())
            observer->deliver(element, notification);
}

std::vector<SimulatedAccessibility::Registration> SimulatedAccessibility::registrations() const {
    std::vector<Registration> out;
    for (const auto *observer : hub_->observers)
        out.insert(out.end(), observer->registrations().begin(), observer->registrations().end());
    return out;
}

int SimulatedAccessibility::observerCount() const { return int(hub_->observers.size()); }

void SimulatedAccessibility::scheduledObserversChanged() {
    const bool listening = std::any_of(hub_->observers.begin(), hub_->observers.end(),
                                       [](const Observer *o) { return o->isScheduled(); });
    if (!listening) {
        refreshTimer_.cancel();
    } else if (!refreshTimer_.isActive()) {
        refreshTimer_ = scheduler_.every(refreshInterval, [this] { refresh(); });
    }
}

// MARK: The browser's tree

void SimulatedAccessibility::setTabRowLayout(std::int64_t windowID, TabRowLayout layout) {
    layouts_[windowID] = layout;
    refresh();
}

void SimulatedAccessibility::setFullScreen(std::int64_t windowID, bool fullScreen) {
    fullScreen_[windowID] = fullScreen;
    refresh();
}

void SimulatedAccessibility::setDrawnTabStrip(std::optional<double> height) {
    if (height == drawnTabStrip_) return;
    drawnTabStrip_ = height;
    for (auto &[id, nodes] : windows_) buildChrome(nodes, nodes.state);
    refresh();
}

std::optional<AXUIElement> SimulatedAccessibility::safariApplicationElement() {
    refresh();
    if (!safariApp_) return std::nullopt;
    return safariApp_->ref();
}

std::optional<AXUIElement> SimulatedAccessibility::safariWindowElement(std::int64_t windowID) {
    refresh();
    const auto it = windows_.find(windowID);
    if (it == windows_.end()) return std::nullopt;
    return it->second.window->ref();
}

std::optional<SimulatedAccessibilityTree::Element> SimulatedAccessibility::safariTabRow(std::int64_t windowID) {
    refresh();
    const auto it = windows_.find(windowID);
    return it == windows_.end() ? std::nullopt : it->second.tabRow;
}

std::optional<SimulatedAccessibilityTree::Element> SimulatedAccessibility::safariToolbar(std::int64_t windowID) {
    refresh();
    const auto it = windows_.find(windowID);
    return it == windows_.end() ? std::nullopt : it->second.toolbar;
}

SimulatedAccessibility::WindowState SimulatedAccessibility::stateFor(const SimulatedSafari::Window &window) const {
    WindowState state{window};
    if (const auto it = layouts_.find(window.id); it != layouts_.end()) state.layout = it->second;
    if (const auto it = fullScreen_.find(window.id); it != fullScreen_.end()) state.fullScreen = it->second;
    return state;
}

void SimulatedAccessibility::forgetSafari() {
    for (auto &[id, nodes] : windows_) {
        for (const auto &e : nodes.chrome) safariTree_.remove(e);
        safariTree_.remove(*nodes.window);
    }
    windows_.clear();
    if (safariApp_) safariTree_.remove(*safariApp_);
    safariApp_.reset();
    safariPid_.reset();
    frontWindow_.reset();
    frontFullScreen_ = false;
    safariActive_ = false;
}

void SimulatedAccessibility::refresh() {
    if (refreshing_) return;
    refreshing_ = true;
    const auto pid = safari_.processIdentifier();
    if (pid != safariPid_) {
        forgetSafari();  // a new process has elements of its own
        if (pid) {
            safariPid_ = pid;
            safariApp_ = safariTree_.add(QStringLiteral("AXApplication"));
            safariApp_->set(QStringLiteral("AXTitle"), QStringLiteral("Safari")).beforeRead([this] { refresh(); });
        }
    }
    if (!safariApp_) {
        refreshing_ = false;
        return;
    }
    auto &app = *safariApp_;
    std::vector<std::pair<AXUIElement, QString>> notifications;

    const auto windows = safari_.windows();
    for (auto it = windows_.begin(); it != windows_.end();) {
        const bool kept = std::any_of(windows.begin(), windows.end(), [&](const auto &w) { return w.id == it->first; });
        if (kept) {
            ++it;
            continue;
        }
        notifications.emplace_back(it->second.window->ref(), QStringLiteral("AXUIElementDestroyed"));
        for (const auto &e : it->second.chrome) safariTree_.remove(e);
        safariTree_.remove(*it->second.window);
        it = windows_.erase(it);
    }
    std::vector<SimulatedAccessibilityTree::Element> ordered;
    for (const auto &w : windows) {
        const auto state = stateFor(w);
        auto [it, created] = windows_.try_emplace(w.id);
        auto &nodes = it->second;
        if (created) {
            nodes.window = safariTree_.add(QStringLiteral("AXWindow"));
            nodes.window->beforeRead([this] { refresh(); });
            updateWindow(nodes, state);
            notifications.emplace_back(app.ref(), QStringLiteral("AXWindowCreated"));
        } else if (!(nodes.state == state)) {
            const bool wasMinimised = nodes.state.window.minimised;
            updateWindow(nodes, state);
            if (wasMinimised != state.window.minimised)
                notifications.emplace_back(nodes.window->ref(), state.window.minimised
                                                                    ? QStringLiteral("AXWindowMiniaturized")
                                                                    : QStringLiteral("AXWindowDeminiaturized"));
        }
        ordered.push_back(*nodes.window);
    }
    app.set(kWindows, refs(ordered)).set(kChildren, refs(ordered));

    const std::optional<std::int64_t> front = windows.empty() ? std::nullopt : std::optional(windows.front().id);
    const bool frontFullScreen = front && windows_.at(*front).state.fullScreen;
    if (front) {
        app.set(kFocusedWindow, ordered.front().ref()).set(kMainWindow, ordered.front().ref());
    } else {
        app.fail(kFocusedWindow, AXError::noValue).fail(kMainWindow, AXError::noValue);
    }
    // Entering or leaving full screen moves the window to another space, which focuses it anew.
    if (front != frontWindow_ || frontFullScreen != frontFullScreen_) {
        frontWindow_ = front;
        frontFullScreen_ = frontFullScreen;
        notifications.emplace_back(app.ref(), QStringLiteral("AXFocusedWindowChanged"));
        notifications.emplace_back(app.ref(), QStringLiteral("AXMainWindowChanged"));
    }
    if (const bool active = safari_.isActive(); active != safariActive_) {
        safariActive_ = active;
        notifications.emplace_back(app.ref(), active ? QStringLiteral("AXApplicationActivated")
                                                     : QStringLiteral("AXApplicationDeactivated"));
    }
    refreshing_ = false;
    for (const auto &[element, name] : notifications) post(element, name);
}

void SimulatedAccessibility::updateWindow(WindowNodes &nodes, const WindowState &state) {
    const auto &w = state.window;
    const bool chromeChanged = nodes.chrome.empty() || nodes.state.window.bounds != w.bounds ||
                               nodes.state.window.tabs != w.tabs || nodes.state.window.currentTab != w.currentTab ||
                               nodes.state.layout != state.layout;
    const QRectF frame(w.bounds.left, w.bounds.top, w.bounds.right - w.bounds.left, w.bounds.bottom - w.bounds.top);
    const bool hasCurrent = w.currentTab >= 1 && w.currentTab <= std::int64_t(w.tabs.size());
    auto &window = *nodes.window;
    window.subrole(QStringLiteral("AXStandardWindow"))
        .set(QStringLiteral("AXTitle"), hasCurrent ? w.tabs[std::size_t(w.currentTab - 1)].title : QString())
        .frame(frame)
        .set(QStringLiteral("AXMinimized"), w.minimised)
        .set(QStringLiteral("AXFullScreen"), state.fullScreen);
    nodes.state = state;
    if (chromeChanged) buildChrome(nodes, state);
}

void SimulatedAccessibility::buildChrome(WindowNodes &nodes, const WindowState &state) {
    for (const auto &e : nodes.chrome) safariTree_.remove(e);
    nodes.chrome.clear();
    nodes.toolbar.reset();
    nodes.tabRow.reset();
    auto &tree = safariTree_;
    auto make = [&](const QString &role, const QRectF &frame) {
        auto e = tree.add(role).frame(frame);
        nodes.chrome.push_back(e);
        return e;
    };

    const auto &w = state.window;
    const double left = w.bounds.left, top = w.bounds.top;
    const double width = w.bounds.right - w.bounds.left, height = w.bounds.bottom - w.bounds.top;
    const QRectF whole(left, top, width, height);

    auto toolbar = make(QStringLiteral("AXToolbar"), QRectF(left, top, width, toolbarHeight));
    std::vector<SimulatedAccessibilityTree::Element> toolbarItems;
    toolbarItems.push_back(make(QStringLiteral("AXButton"), QRectF(left + 80, top + 12, 28, 28)).description("back"));
    toolbarItems.push_back(make(QStringLiteral("AXButton"), QRectF(left + 112, top + 12, 28, 28)).description("forward"));
    auto address = make(QStringLiteral("AXTextField"), QRectF(left + width * 0.3, top + 11, width * 0.4, 30));
    address.description(QStringLiteral("address"));
    toolbarItems.push_back(make(QStringLiteral("AXGroup"), QRectF(left + width * 0.3, top + 10, width * 0.4, 32)).children({address}));
    toolbarItems.push_back(make(QStringLiteral("AXButton"), QRectF(left + width - 44, top + 12, 28, 28)).description("New Tab"));

    const bool inToolbar = state.layout == TabRowLayout::insideToolbar;
    // A window drawn on a desktop has no toolbar, only its tab strip along the top.
    const bool strip = drawnTabStrip_.has_value() && !inToolbar;
    const double stripHeight = drawnTabStrip_.value_or(0);
    const double chromeHeight = strip ? stripHeight : toolbarHeight + tabRowHeight;
    auto page = make(QStringLiteral("AXStaticText"), QRectF(left + 20, top + chromeHeight + 20, width - 40, 20));
    const QRectF content(left, top + chromeHeight, width, height - chromeHeight);
    auto webArea = make(QStringLiteral("AXWebArea"), content).children({page});
    auto webContent = make(QStringLiteral("AXScrollArea"), content).children({webArea});

    std::vector<SimulatedAccessibilityTree::Element> windowChildren;
    if (!strip) windowChildren.push_back(toolbar);
    if (state.layout != TabRowLayout::none) {
        // The tab row: one button per tab, sharing the row's width.
        const QRectF row = inToolbar ? QRectF(left + 150, top + 12, width * 0.25, tabRowHeight)
                           : strip   ? QRectF(left, top, width, stripHeight)
                                     : QRectF(left, top + toolbarHeight, width, tabRowHeight);
        std::vector<SimulatedAccessibilityTree::Element> buttons;
        const auto count = w.tabs.size();
        for (std::size_t i = 0; i < count; ++i) {
            const double buttonWidth = row.width() / double(count);
            auto button = make(QStringLiteral("AXRadioButton"),
                               QRectF(row.left() + buttonWidth * double(i), row.top(), buttonWidth, row.height()));
            button.subrole(QStringLiteral("AXTabButton"))
                .set(QStringLiteral("AXTitle"), w.tabs[i].title)
                .set(QStringLiteral("AXValue"), std::int64_t(i + 1) == w.currentTab);
            buttons.push_back(button);
        }
        auto tabRow = make(QStringLiteral("AXTabGroup"), row);
        tabRow.description(QStringLiteral("tab bar")).set(QStringLiteral("AXTabs"), refs(buttons)).children(buttons);
        nodes.tabRow = tabRow;
        if (inToolbar) {
            toolbarItems.insert(toolbarItems.begin() + 2, tabRow);
        } else {
            tabRow.identifier(QStringLiteral("TabBar"));
            windowChildren.push_back(tabRow);
        }
    }
    toolbar.children(toolbarItems);
    if (!strip) nodes.toolbar = toolbar;
    windowChildren.push_back(webContent);

    if (state.layout == TabRowLayout::outOfReach) {
        // Groups as large as the window, each holding the next: none of them is a plausible row.
        for (int i = 0; i < 4; ++i)
            windowChildren = {make(i == 2 ? QStringLiteral("AXSplitGroup") : QStringLiteral("AXGroup"), whole)
                                  .children(windowChildren)};
    }
    nodes.window->children(windowChildren);
}

}  // namespace ondrake
