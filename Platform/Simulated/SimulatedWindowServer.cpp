#include "SimulatedWindowServer.h"

#include <algorithm>

namespace ondrake {

namespace {
std::vector<SimulatedSafari::Window> browserWindows(const SimulatedSafari &safari) {
    return safari.isRunning() ? safari.windows() : std::vector<SimulatedSafari::Window>{};
}
}  // namespace

SimulatedWindowServer::SimulatedWindowServer(SimulatedSafari &safari, Workspace &workspace)
    : safari_(safari), context_(std::make_unique<QObject>()) {
    QObject::connect(&workspace, &Workspace::applicationActivated, context_.get(),
                     [this](const RunningApplication &app) { bringApplicationToFront(app.processIdentifier); });
}

SimulatedWindowServer::~SimulatedWindowServer() = default;

void SimulatedWindowServer::sync() const {
    const auto windows = browserWindows(safari_);
    std::set<std::int64_t> current;
    for (const auto &w : windows) current.insert(w.id);

    std::erase_if(stack_, [&](std::int64_t n) { return browserNumbers_.contains(n) && !current.contains(n); });
    std::vector<std::int64_t> arrived;
    for (const auto &w : windows)
        if (!browserNumbers_.contains(w.id)) arrived.push_back(w.id);
    stack_.insert(stack_.begin(), arrived.begin(), arrived.end());  // a new window opens in front
    browserNumbers_ = std::move(current);

    auto next = windows.begin();
    for (auto &n : stack_)
        if (browserNumbers_.contains(n)) n = (next++)->id;
}

std::optional<WindowInfo> SimulatedWindowServer::describe(std::int64_t number,
                                                          const std::vector<SimulatedSafari::Window> &browser,
                                                          std::optional<std::int64_t> browserPid) const {
    if (const auto it = added_.find(number); it != added_.end()) return it->second;
    for (const auto &w : browser) {
        if (w.id != number) continue;
        WindowInfo info;
        info.number = w.id;
        info.layer = 0;
        info.bounds = QRectF(w.bounds.left, w.bounds.top, w.bounds.right - w.bounds.left, w.bounds.bottom - w.bounds.top);
        info.ownerProcessID = browserPid;
        info.isOnScreen = !w.minimised && !safari_.isHidden();
        return info;
    }
    return std::nullopt;
}

std::optional<std::vector<WindowInfo>> SimulatedWindowServer::onScreenWindows() const {
    if (unreadable_) return std::nullopt;
    sync();
    const auto browser = browserWindows(safari_);
    const auto pid = safari_.processIdentifier();
    std::vector<WindowInfo> out;
    out.reserve(stack_.size());
    for (const auto n : stack_)
        if (auto info = describe(n, browser, pid); info && info->isOnScreen) out.push_back(std::move(*info));
    return out;
}

std::optional<WindowInfo> SimulatedWindowServer::window(std::int64_t number) const {
    return describe(number, browserWindows(safari_), safari_.processIdentifier());
}

std::int64_t SimulatedWindowServer::addWindow(WindowInfo window) {
    sync();
    const auto number = window.number.value_or(nextNumber_);
    nextNumber_ = std::max(nextNumber_, number + 1);
    window.number = number;
    std::erase(stack_, number);
    stack_.insert(stack_.begin(), number);
    added_[number] = std::move(window);
    return number;
}

void SimulatedWindowServer::removeWindow(std::int64_t number) {
    if (added_.erase(number) > 0) std::erase(stack_, number);
}

void SimulatedWindowServer::setBounds(std::int64_t number, const QRectF &bounds) {
    if (const auto it = added_.find(number); it != added_.end()) it->second.bounds = bounds;
}

void SimulatedWindowServer::setOnScreen(std::int64_t number, bool onScreen) {
    if (const auto it = added_.find(number); it != added_.end()) it->second.isOnScreen = onScreen;
}

void SimulatedWindowServer::moveTo(std::int64_t number, std::size_t position) {
    const auto it = std::find(stack_.begin(), stack_.end(), number);
    if (it == stack_.end()) return;
    stack_.erase(it);
    stack_.insert(stack_.begin() + std::ptrdiff_t(std::min(position, stack_.size())), number);
}

void SimulatedWindowServer::orderFront(std::int64_t number) {
    sync();
    if (browserNumbers_.contains(number)) safari_.bringToFront(number);
    moveTo(number, 0);
    sync();
}

void SimulatedWindowServer::orderBack(std::int64_t number) {
    sync();
    moveTo(number, stack_.size());
}

void SimulatedWindowServer::orderBelow(std::int64_t number, std::int64_t other) {
    sync();
    if (number == other || std::find(stack_.begin(), stack_.end(), number) == stack_.end()) return;
    std::erase(stack_, number);
    const auto it = std::find(stack_.begin(), stack_.end(), other);
    stack_.insert(it == stack_.end() ? it : std::next(it), number);
}

void SimulatedWindowServer::bringApplicationToFront(std::int64_t processID) {
    sync();
    const auto browserPid = safari_.processIdentifier();
    const auto owned = [&](std::int64_t n) {
        if (browserNumbers_.contains(n)) return browserPid == processID;
        const auto it = added_.find(n);
        return it != added_.end() && it->second.ownerProcessID == processID;
    };
    std::stable_partition(stack_.begin(), stack_.end(), owned);
}

std::vector<std::int64_t> SimulatedWindowServer::stackingOrder() const {
    sync();
    return stack_;
}

}  // namespace ondrake
