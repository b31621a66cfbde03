#include "SimulatedSafari.h"

#include <QUrl>

#include <algorithm>
#include <cmath>

namespace ondrake {

namespace {
const QString kOK = QStringLiteral("OK");
const QString kNotRunning = QStringLiteral("NOT_RUNNING");
const QString kNoWindow = QStringLiteral("NO_WINDOW");
const QString kNoTab = QStringLiteral("NO_TAB");

AppleEventDescriptor number(double v) {
    if (v == std::floor(v) && std::abs(v) < 2147483647.0) return AppleEventDescriptor::fromInt32(std::int32_t(v));
    return AppleEventDescriptor::fromDouble(v);
}

QString titleFor(const QString &url) {
    if (url.isEmpty()) return {};
    const QUrl parsed(url);
    return parsed.host().isEmpty() ? url : parsed.host();
}
}  // namespace

SimulatedSafari::SimulatedSafari(SimulatedWorkspace &workspace, QString bundleIdentifier)
    : workspace_(workspace), bundleIdentifier_(std::move(bundleIdentifier)) {}

std::int64_t SimulatedSafari::launch() {
    const auto pid = workspace_.launch(bundleIdentifier_);
    changed();
    return pid;
}

void SimulatedSafari::quit() {
    workspace_.terminate(bundleIdentifier_);
    changed();
}

void SimulatedSafari::activate() {
    setHidden(false);
    workspace_.activate(bundleIdentifier_);
}

void SimulatedSafari::setHidden(bool hidden) {
    const Change changing(*this);
    hidden_ = hidden;
}

void SimulatedSafari::setChangeObserver(std::function<void()> observer) {
    const std::lock_guard lock(observerMutex_);
    observer_ = std::move(observer);
}

void SimulatedSafari::changed() const {
    std::function<void()> observer;
    {
        const std::lock_guard lock(observerMutex_);
        observer = observer_;
    }
    if (observer) observer();
}

bool SimulatedSafari::isHidden() const {
    const std::lock_guard lock(mutex_);
    return hidden_;
}
bool SimulatedSafari::isRunning() const { return workspace_.isRunning(bundleIdentifier_); }

bool SimulatedSafari::isActive() const {
    const auto apps = workspace_.runningApplications(bundleIdentifier_);
    return std::any_of(apps.begin(), apps.end(), [](const auto &a) { return a.isActive; });
}

std::optional<std::int64_t> SimulatedSafari::processIdentifier() const {
    const auto apps = workspace_.runningApplications(bundleIdentifier_);
    if (apps.empty()) return std::nullopt;
    return apps.front().processIdentifier;
}

std::int64_t SimulatedSafari::addWindow(Window window) {
    const Change changing(*this);
    if (window.id == 0) window.id = nextWindowID_++;
    nextWindowID_ = std::max(nextWindowID_, window.id + 1);
    windows_.push_back(std::move(window));
    return windows_.back().id;
}

std::vector<SimulatedSafari::Window> SimulatedSafari::windows() const {
    const std::lock_guard lock(mutex_);
    return windows_;
}

std::optional<SimulatedSafari::Window> SimulatedSafari::window(std::int64_t id) const {
    const std::lock_guard lock(mutex_);
    for (const auto &w : windows_)
        if (w.id == id) return w;
    return std::nullopt;
}

void SimulatedSafari::setWindows(std::vector<Window> windows) {
    const Change changing(*this);
    windows_ = std::move(windows);
    for (const auto &w : windows_) nextWindowID_ = std::max(nextWindowID_, w.id + 1);
}

void SimulatedSafari::update(const std::function<void(std::vector<Window> &)> &change) {
    const Change changing(*this);
    change(windows_);
}

bool SimulatedSafari::bringToFront(std::int64_t id) {
    const Change changing(*this);
    const auto it = std::find_if(windows_.begin(), windows_.end(), [&](const Window &w) { return w.id == id; });
    if (it == windows_.end()) return false;
    std::rotate(windows_.begin(), it, std::next(it));
    return true;
}

std::vector<SimulatedSafari::ReadingListItem> SimulatedSafari::readingList() const {
    const std::lock_guard lock(mutex_);
    return readingList_;
}

SimulatedSafari::Window *SimulatedSafari::find(std::int64_t wid) {
    const auto it = std::find_if(windows_.begin(), windows_.end(), [&](const Window &w) { return w.id == wid; });
    return it == windows_.end() ? nullptr : &*it;
}

SimulatedSafari::Bounds SimulatedSafari::settle(Bounds b) {
    return {std::round(b.left), std::round(b.top), std::round(b.right), std::round(b.bottom)};
}

std::int64_t SimulatedSafari::resolveTabIndex(const Window &window, std::int64_t idx, const QString &expectedURL) {
    const auto n = std::int64_t(window.tabs.size());
    if (n == 0) return 0;
    if (idx >= 1 && idx <= n) {
        if (expectedURL.isEmpty() || window.tabs[std::size_t(idx - 1)].url == expectedURL) return idx;
    }
    if (!expectedURL.isEmpty()) {
        for (std::int64_t i = 1; i <= n; ++i)
            if (window.tabs[std::size_t(i - 1)].url == expectedURL) return i;
    }
    return 0;
}

AppleEventDescriptor SimulatedSafari::getSnapshot() const {
    auto out = AppleEventDescriptor::list();
    if (!isRunning()) return out;
    const std::lock_guard lock(mutex_);
    for (std::size_t i = 0; i < windows_.size(); ++i) {
        const auto &w = windows_[i];
        if (!w.isBrowserWindow) continue;  // the tab reads fail and the error trap leaves it out
        std::vector<AppleEventDescriptor> titles, urls;
        titles.reserve(w.tabs.size());
        urls.reserve(w.tabs.size());
        for (const auto &t : w.tabs) {
            titles.push_back(AppleEventDescriptor::fromString(t.title));
            urls.push_back(t.url.isEmpty() ? AppleEventDescriptor() : AppleEventDescriptor::fromString(t.url));
        }
        const auto current = (w.currentTab >= 1 && w.currentTab <= std::int64_t(w.tabs.size())) ? w.currentTab : 0;
        std::vector<AppleEventDescriptor> entry;
        entry.reserve(5);
        entry.push_back(number(double(w.id)));
        entry.push_back(number(double(i + 1)));
        entry.push_back(number(double(current)));
        entry.push_back(AppleEventDescriptor::list(std::move(titles)));
        entry.push_back(AppleEventDescriptor::list(std::move(urls)));
        out.appendItem(AppleEventDescriptor::list(std::move(entry)));
    }
    return out;
}

QString SimulatedSafari::activateTab(std::int64_t wid, std::int64_t idx, const QString &expectedURL,
                                     bool shouldActivate) {
    if (!isRunning()) return kNotRunning;
    {
        const Change changing(*this);
        auto *w = find(wid);
        if (!w) return kNoWindow;
        const auto t = resolveTabIndex(*w, idx, expectedURL);
        if (t == 0) return kNoTab;
        w->currentTab = t;
        w->minimised = false;
        auto raised = std::move(*w);
        windows_.erase(windows_.begin() + (w - windows_.data()));
        windows_.insert(windows_.begin(), std::move(raised));
    }
    if (shouldActivate) activate();
    return kOK;
}

void SimulatedSafari::closeAt(std::vector<Window> &windows, std::size_t position, std::int64_t tabIndex) {
    auto &w = windows[position];
    w.tabs.erase(w.tabs.begin() + (tabIndex - 1));
    const auto n = std::int64_t(w.tabs.size());
    if (tabIndex < w.currentTab) --w.currentTab;
    w.currentTab = std::min(w.currentTab, n);  // the closed current tab hands focus to its neighbour
    if (w.tabs.empty()) windows.erase(windows.begin() + std::ptrdiff_t(position));
}

QString SimulatedSafari::closeTab(std::int64_t wid, std::int64_t idx, const QString &expectedURL) {
    if (!isRunning()) return kNotRunning;
    const Change changing(*this);
    auto *w = find(wid);
    if (!w) return kNoWindow;
    const auto t = resolveTabIndex(*w, idx, expectedURL);
    if (t == 0) return kNoTab;
    closeAt(windows_, std::size_t(w - windows_.data()), t);
    return kOK;
}

QString SimulatedSafari::closeTabs(std::int64_t wid, const std::vector<std::int64_t> &idxList,
                                   const std::vector<QString> &urlList) {
    if (!isRunning()) return kNotRunning;
    const Change changing(*this);
    if (!find(wid)) return kNoWindow;
    for (std::size_t i = 0; i < idxList.size(); ++i) {
        auto *w = find(wid);  // the window goes with its last tab; the trap covers the rest
        if (!w) break;
        if (i >= urlList.size()) continue;  // reading the missing item fails inside the trap
        if (const auto t = resolveTabIndex(*w, idxList[i], urlList[i]); t != 0)
            closeAt(windows_, std::size_t(w - windows_.data()), t);
    }
    return kOK;
}

QString SimulatedSafari::moveTabs(std::int64_t wid, std::int64_t f, std::int64_t c, std::int64_t d,
                                  const QString &expectedURL, std::int64_t expectedCount) {
    if (!isRunning()) return kNotRunning;
    const Change changing(*this);
    auto *w = find(wid);
    if (!w) return kNoWindow;
    const auto n = std::int64_t(w->tabs.size());
    if (n != expectedCount) return kNoTab;
    if (f < 1 || f + c - 1 > n) return kNoTab;
    if (d < 1 || d + c - 1 > n) return kNoTab;
    // A negative count names no block: the script's moves would address tabs that do not exist.
    if (c < 0) return kNoTab;
    // An empty block may start just past the last tab, where reading the address fails.
    if (!expectedURL.isEmpty() && (f > n || w->tabs[std::size_t(f - 1)].url != expectedURL)) return kNoTab;

    // The current tab is a tab, not a position: it travels with the moves.
    std::vector<std::pair<Tab, bool>> tabs;
    for (std::int64_t i = 0; i < n; ++i) tabs.emplace_back(w->tabs[std::size_t(i)], i + 1 == w->currentTab);
    const auto moveBefore = [&](std::int64_t from, std::int64_t before) {
        auto moving = tabs[std::size_t(from - 1)];
        tabs.erase(tabs.begin() + (from - 1));
        tabs.insert(tabs.begin() + (from < before ? before - 2 : before - 1), std::move(moving));
    };
    if (d < f) {
        for (std::int64_t j = 1; j <= c; ++j) moveBefore(f + j - 1, d + j - 1);
    } else if (d > f) {
        for (std::int64_t j = 1; j <= d - f; ++j) moveBefore(f + c + j - 1, f + j - 1);
    }
    w->tabs.clear();
    for (std::size_t i = 0; i < tabs.size(); ++i) {
        w->tabs.push_back(tabs[i].first);
        if (tabs[i].second) w->currentTab = std::int64_t(i + 1);
    }
    return kOK;
}

AppleEventDescriptor SimulatedSafari::frameReply(const Window &window, Bounds before) const {
    const auto &after = window.bounds;
    return AppleEventDescriptor::list({number(double(window.id)), number(before.left), number(before.top),
                                       number(before.right), number(before.bottom), number(after.left),
                                       number(after.top), number(after.right), number(after.bottom)});
}

AppleEventDescriptor SimulatedSafari::reserveSpace(double minLeft, double maxRight) {
    if (!isRunning()) return AppleEventDescriptor::list();
    const Change changing(*this);
    if (windows_.empty()) return AppleEventDescriptor::list();
    auto &w = windows_.front();
    if (!w.isBrowserWindow || w.tabs.empty()) return AppleEventDescriptor::list();
    const auto before = w.bounds;
    if (before.left >= minLeft) return AppleEventDescriptor::list();
    const double newL = minLeft;
    double newR = before.right + (minLeft - before.left);
    if (newR > maxRight) newR = maxRight;
    if (newR - newL < kMinimumWindowWidth) newR = newL + kMinimumWindowWidth;
    w.bounds = settle({newL, before.top, newR, before.bottom});
    return frameReply(w, before);
}

AppleEventDescriptor SimulatedSafari::setLeftEdge(double newLeft) {
    if (!isRunning()) return AppleEventDescriptor::list();
    const Change changing(*this);
    if (windows_.empty()) return AppleEventDescriptor::list();
    auto &w = windows_.front();
    if (!w.isBrowserWindow || w.tabs.empty()) return AppleEventDescriptor::list();
    const auto before = w.bounds;
    if (before.left == newLeft) return AppleEventDescriptor::list();
    double targetLeft = newLeft;
    if (before.right - targetLeft < kMinimumWindowWidth) targetLeft = before.right - kMinimumWindowWidth;
    w.bounds = settle({targetLeft, before.top, before.right, before.bottom});
    return frameReply(w, before);
}

QString SimulatedSafari::restoreWindowBounds(std::int64_t wid, Bounds expected, Bounds original) {
    if (!isRunning()) return kNotRunning;
    const Change changing(*this);
    auto *w = find(wid);
    if (!w) return kNoWindow;
    if (w->bounds == expected) w->bounds = settle(original);
    return kOK;
}

std::int32_t SimulatedSafari::isWindowZoomed(std::int64_t wid) const {
    if (!isRunning()) return -1;
    const std::lock_guard lock(mutex_);
    for (const auto &w : windows_)
        if (w.id == wid) return w.zoomed ? 1 : 0;
    return -1;
}

QString SimulatedSafari::openTab(std::int64_t wid, const QString &targetURL) {
    if (!isRunning()) return kNotRunning;
    const Change changing(*this);
    const Tab tab{titleFor(targetURL), targetURL};
    if (wid == 0) {
        Window w;
        w.id = nextWindowID_++;
        if (!windows_.empty()) w.bounds = windows_.front().bounds;
        w.tabs = {tab};
        w.currentTab = 1;
        windows_.insert(windows_.begin(), std::move(w));
        return kOK;
    }
    auto *w = find(wid);
    if (!w) return kNoWindow;
    w->tabs.push_back(tab);
    w->currentTab = std::int64_t(w->tabs.size());
    return kOK;
}

QString SimulatedSafari::addReadingListItem(const QString &targetURL, const QString &itemTitle) {
    if (!isRunning()) return kNotRunning;
    if (targetURL.isEmpty()) return kNoTab;
    const QUrl url(targetURL, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty()) return kNoTab;  // the browser refuses what is not an address
    const Change changing(*this);
    readingList_.push_back({targetURL, itemTitle});
    return kOK;
}

}  // namespace ondrake
