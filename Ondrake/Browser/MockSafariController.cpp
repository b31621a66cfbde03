#include "MockSafariController.h"

#include <algorithm>

namespace ondrake {

namespace {
void renumber(SafariWindow &window) {
    for (std::size_t i = 0; i < window.tabs.size(); ++i) window.tabs[i].index = std::int64_t(i + 1);
}
}  // namespace

MockSafariController::MockSafariController(BrowserCapabilities capabilities, std::vector<SafariWindow> windows,
                                           Behaviour behaviour, std::set<std::int64_t> zoomedWindowIDs)
    : capabilities_(capabilities),
      windows_(std::move(windows)),
      behaviour_(behaviour),
      zoomedWindowIDs_(std::move(zoomedWindowIDs)) {}

bool MockSafariController::holds(const QString &tabID) const {
    return std::any_of(windows_.begin(), windows_.end(), [&](const SafariWindow &w) {
        return std::any_of(w.tabs.begin(), w.tabs.end(), [&](const SafariTab &t) { return t.id == tabID; });
    });
}

QCoro::Task<std::vector<SafariWindow>> MockSafariController::snapshot() {
    switch (behaviour_) {
    case Behaviour::normal: break;
    case Behaviour::safariNotRunning: throw SafariControllerError::safariNotRunning();
    case Behaviour::permissionDenied: throw SafariControllerError::permissionDenied();
    }
    std::vector<SafariWindow> copy = windows_;  // g++ 12 would move a member named in co_return
    co_return copy;
}

QCoro::Task<> MockSafariController::activateTab(SafariTab tab) {
    if (!holds(tab.id)) throw SafariControllerError::tabNotFound();
    for (auto &w : windows_) {
        const bool target = w.safariID == tab.windowID;
        w.isFrontmost = target;
        if (!target) continue;
        for (auto &t : w.tabs) t.isActive = t.id == tab.id;
    }
    co_return;
}

QCoro::Task<> MockSafariController::closeTab(SafariTab tab) {
    closeNow(tab);
    co_return;
}

void MockSafariController::closeNow(const SafariTab &tab) {
    std::optional<QString> heir;
    bool found = false;
    for (const auto &w : windows_) {
        for (const auto &t : w.tabs) {
            if (t.id != tab.id) continue;
            // The parent as held now, not as the caller last saw it.
            heir = t.parentID;
            found = true;
            break;
        }
        if (found) break;
    }
    if (!found) throw SafariControllerError::tabNotFound();
    for (auto &w : windows_) {
        std::erase_if(w.tabs, [&](const SafariTab &t) { return t.id == tab.id; });
        for (auto &t : w.tabs)
            if (t.parentID == tab.id) t.parentID = heir;
        renumber(w);
    }
    std::erase_if(windows_, [](const SafariWindow &w) { return w.tabs.empty(); });
}

QCoro::Task<> MockSafariController::moveTabs(SafariTabMove move) {
    moveNow(move);
    co_return;
}

void MockSafariController::moveNow(const SafariTabMove &m) {
    const auto it = std::find_if(windows_.begin(), windows_.end(), [&](const SafariWindow &w) { return w.safariID == m.windowID; });
    if (it == windows_.end()) throw SafariControllerError::windowNotFound();
    auto &tabs = it->tabs;
    const auto n = std::int64_t(tabs.size());
    if (n != m.expectedTabCount || m.fromIndex < 1 || m.fromIndex + m.count - 1 > n || m.toIndex < 1 ||
        m.toIndex + m.count - 1 > n || m.count < 0)
        throw SafariControllerError::tabNotFound();
    const auto first = tabs.begin() + (m.fromIndex - 1);
    std::vector<SafariTab> block(first, first + m.count);
    tabs.erase(first, first + m.count);
    tabs.insert(tabs.begin() + (m.toIndex - 1), block.begin(), block.end());
    renumber(*it);
    for (auto &t : tabs)
        if (t.id == m.tabID) t.parentID = m.newParentID;
}

QCoro::Task<std::optional<SafariWindowFrameChange>> MockSafariController::reserveSpace(double, double) {
    co_return std::nullopt;
}

QCoro::Task<> MockSafariController::restoreWindowBounds(SafariWindowFrameChange) { co_return; }

QCoro::Task<std::optional<SafariWindowFrameChange>> MockSafariController::setLeftEdge(double) { co_return std::nullopt; }

QCoro::Task<std::optional<bool>> MockSafariController::isWindowZoomed(std::int64_t windowID) {
    co_return zoomedWindowIDs_.contains(windowID);
}

QCoro::Task<> MockSafariController::openTab(std::optional<QUrl> url, std::optional<std::int64_t> windowID) {
    openNow(url, windowID);
    co_return;
}

void MockSafariController::openNow(const std::optional<QUrl> &url, std::optional<std::int64_t> windowID) {
    openedURLs_.push_back(url);
    const auto target = windowID ? *windowID : (windows_.empty() ? 1 : windows_.front().safariID);
    const auto it = std::find_if(windows_.begin(), windows_.end(), [&](const SafariWindow &w) { return w.safariID == target; });
    if (it == windows_.end()) throw SafariControllerError::windowNotFound();
    const auto n = std::int64_t(it->tabs.size());
    // After a close and an open "mock-new-<n+1>" may already be taken; the next free number keeps
    // session ids unique.
    auto number = n + 1;
    const auto idFor = [&](std::int64_t k) { return QStringLiteral("mock-new-%1-%2").arg(k).arg(target); };
    while (holds(idFor(number))) ++number;
    for (auto &t : it->tabs) t.isActive = false;
    SafariTab tab;
    tab.id = idFor(number);
    tab.windowID = target;
    tab.index = n + 1;
    tab.title = url && !url->host().isEmpty() ? url->host() : QStringLiteral("Untitled");
    tab.url = url;
    tab.isActive = true;
    it->tabs.push_back(std::move(tab));
}

QCoro::Task<> MockSafariController::addReadingListItem(QUrl url, QString) {
    readingList_.push_back(std::move(url));
    co_return;
}

}  // namespace ondrake
