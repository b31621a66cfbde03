#include "TabTreeRegistry.h"

#include "Browser/BrowserURL.h"

#include <algorithm>

namespace ondrake {

namespace {

enum class UrlKind { web, blank, other };

UrlKind kindOf(const std::optional<QUrl> &url) {
    if (!url || absoluteText(*url).isEmpty()) return UrlKind::other;
    const auto scheme = lowerScheme(*url);
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https") || scheme == QLatin1String("file"))
        return UrlKind::web;
    if (scheme == QLatin1String("about")) return UrlKind::blank;
    return UrlKind::other;
}

std::optional<QString> firstActive(const SafariWindow &window) {
    for (const auto &t : window.tabs)
        if (t.isActive) return t.id;
    return std::nullopt;
}

}  // namespace

void TabTreeRegistry::reset() {
    parents_.clear();
    lastActive_.clear();
    known_.clear();
    seenWindows_.clear();
    pendingRootTabs_.clear();
    deferredArrivals_.clear();
    pendingLinkMoves_.clear();
}

std::optional<QString> TabTreeRegistry::nearestSurvivingAncestor(const QString &tab, const QSet<TextKey> &alive) const {
    QStringView at = tab;
    for (int level = 0; level < kMaxWalk; ++level) {
        const auto it = parents_.find(at);
        if (it == parents_.end()) return std::nullopt;
        if (alive.contains(it->second)) return it->second;
        at = it->second;
    }
    return std::nullopt;
}

bool TabTreeRegistry::isDescendant(const QString &tab, const QString &ancestor) const {
    QStringView at = tab;
    for (int level = 0; level < kMaxWalk; ++level) {
        const auto it = parents_.find(at);
        if (it == parents_.end()) return false;
        if (it->second == ancestor) return true;
        at = it->second;
    }
    return false;
}

std::size_t TabTreeRegistry::subtreeEnd(const SafariWindow &window, std::size_t position) const {
    const auto &root = window.tabs[position].id;
    std::size_t end = position;
    while (end + 1 < window.tabs.size() && isDescendant(window.tabs[end + 1].id, root)) ++end;
    return end;
}

bool TabTreeRegistry::fits(const QString &candidate, const QString &tab, std::size_t position,
                           const SafariWindow &window, const Positions &positions) const {
    if (candidate == tab) return false;
    const auto it = positions.constFind(HashedText(candidate));
    if (it == positions.cend() || *it >= position) return false;
    return subtreeEnd(window, *it) + 1 >= position;
}

std::vector<SafariWindow> TabTreeRegistry::apply(std::vector<SafariWindow> windows) {
    QSet<TextKey> current;
    qsizetype tabCount = 0;
    for (const auto &w : windows) tabCount += qsizetype(w.tabs.size());
    current.reserve(tabCount);
    for (const auto &w : windows)
        for (const auto &t : w.tabs) current.insert(t.id);

    pruneVanished(current);
    settleDeferredArrivals(windows);

    std::unordered_set<std::int64_t> windowIDs;
    for (auto &w : windows) {
        windowIDs.insert(w.safariID);
        Positions positions;
        positions.reserve(qsizetype(w.tabs.size()));
        for (std::size_t i = 0; i < w.tabs.size(); ++i) positions.insert(HashedText(w.tabs[i].id), i);
        if (seenWindows_.contains(w.safariID)) {
            placeArrivals(w, positions);
            detachStrays(w, positions);
        }
        for (auto &t : w.tabs) {
            const auto it = parents_.find(t.id);
            t.parentID = it == parents_.end() ? std::nullopt : std::optional<QString>(it->second);
        }
        if (const auto active = firstActive(w)) lastActive_.insert_or_assign(w.safariID, *active);
    }

    std::erase_if(lastActive_, [&](const auto &entry) { return !windowIDs.contains(entry.first); });
    seenWindows_ = std::move(windowIDs);
    known_ = std::move(current);
    return windows;
}

void TabTreeRegistry::pruneVanished(const QSet<TextKey> &current) {
    if (parents_.empty()) return;
    TextMap<QString> pruned;
    for (const auto &[tab, parent] : parents_) {
        if (!current.contains(tab)) continue;
        if (auto ancestor = nearestSurvivingAncestor(tab, current)) pruned.emplace(tab, std::move(*ancestor));
    }
    parents_ = std::move(pruned);
}

void TabTreeRegistry::settleDeferredArrivals(const std::vector<SafariWindow> &windows) {
    if (deferredArrivals_.empty()) return;
    const auto waiting = deferredArrivals_;
    for (const auto &[tabID, arrival] : waiting) {
        const SafariWindow *holder = nullptr;
        std::size_t position = 0;
        for (const auto &w : windows) {
            const auto it = std::find_if(w.tabs.begin(), w.tabs.end(), [&](const SafariTab &t) { return t.id == tabID; });
            if (it != w.tabs.end()) {
                holder = &w;
                position = std::size_t(it - w.tabs.begin());
                break;
            }
        }
        if (!holder) {
            deferredArrivals_.erase(tabID);
            continue;
        }
        if (kindOf(holder->tabs[position].url) == UrlKind::web) {
            Positions positions;
            for (std::size_t i = 0; i < holder->tabs.size(); ++i) positions.insert(HashedText(holder->tabs[i].id), i);
            for (const auto &candidate : arrival.candidates) {
                if (!fits(candidate, tabID, position, *holder, positions)) continue;
                parents_.insert_or_assign(tabID, candidate);
                logger_.debug("Nested %{public}s under %{public}s, settled after arriving blank", tabID, candidate);
                break;
            }
            deferredArrivals_.erase(tabID);
            continue;
        }
        const int remaining = arrival.pollsRemaining - 1;
        if (remaining < 1)
            deferredArrivals_.erase(tabID);
        else
            deferredArrivals_[tabID].pollsRemaining = remaining;
    }
}

void TabTreeRegistry::placeArrivals(const SafariWindow &window, const Positions &positions) {
    std::vector<std::size_t> arrivals;
    for (std::size_t i = 0; i < window.tabs.size(); ++i)
        if (!known_.contains(window.tabs[i].id)) arrivals.push_back(i);

    // Three or more at once is a restored session or a folder of bookmarks, not a link.
    if (arrivals.size() == 1 || arrivals.size() == 2) {
        const auto last = lastActive_.find(window.safariID);
        const auto previousActive = last != lastActive_.end() ? std::optional<QString>(last->second) : std::nullopt;
        const auto currentActive = firstActive(window);
        const auto count = window.tabs.size();
        for (const auto i : arrivals) {
            const auto &tab = window.tabs[i];

            if (const auto own = pendingRootTabs_.find(window.safariID); own != pendingRootTabs_.end()) {
                auto &list = own->second;
                const auto text = tab.url ? std::optional<QString>(absoluteText(*tab.url)) : std::nullopt;
                const auto match = std::find_if(list.begin(), list.end(), [&](const PendingRootTab &p) {
                    return (!p.url && !tab.url) || (text && p.url == text);
                });
                if (match != list.end()) {
                    list.erase(match);
                    if (list.empty()) pendingRootTabs_.erase(own);
                    logger_.debug("Kept Ondrake-created tab %{public}s at the root", tab.id);
                    continue;
                }
            }

            std::vector<QString> candidates;
            const auto &first = tab.isActive ? previousActive : currentActive;
            const auto &second = tab.isActive ? currentActive : previousActive;
            if (first) candidates.push_back(*first);
            if (second) candidates.push_back(*second);

            switch (kindOf(tab.url)) {
            case UrlKind::web: {
                const auto fitting = std::find_if(candidates.begin(), candidates.end(), [&](const QString &c) {
                    return fits(c, tab.id, i, window, positions);
                });
                if (fitting != candidates.end()) {
                    parents_.insert_or_assign(tab.id, *fitting);
                    logger_.debug("Nested %{public}s under %{public}s", tab.id, *fitting);
                    break;
                }
                if (i + 1 != count) break;
                for (const auto &c : candidates) {
                    const auto p = positions.constFind(HashedText(c));
                    if (p == positions.cend() || *p + 1 >= count) continue;
                    SafariTabMove move;
                    move.windowID = window.safariID;
                    move.fromIndex = std::int64_t(count);
                    move.count = 1;
                    move.toIndex = std::int64_t(subtreeEnd(window, *p)) + 2;
                    move.expectedURL = absoluteText(tab.url);
                    move.expectedTabCount = std::int64_t(count);
                    move.tabID = tab.id;
                    move.newParentID = c;
                    pendingLinkMoves_.insert_or_assign(tab.id, LinkMove{nextLinkMoveSequence_++, std::move(move)});
                    break;
                }
                break;
            }
            case UrlKind::blank:
                deferredArrivals_[tab.id] = DeferredArrival{candidates, 8};
                break;
            case UrlKind::other:
                logger_.debug("Kept fresh tab %{public}s at the root", tab.id);
                break;
            }
        }
    }
    agePendingRootTabs(window.safariID);
}

void TabTreeRegistry::agePendingRootTabs(std::int64_t windowID) {
    const auto it = pendingRootTabs_.find(windowID);
    if (it == pendingRootTabs_.end()) return;
    auto &list = it->second;
    for (auto &p : list) --p.pollsRemaining;
    list.erase(std::remove_if(list.begin(), list.end(), [](const PendingRootTab &p) { return p.pollsRemaining < 1; }),
               list.end());
    if (list.empty()) pendingRootTabs_.erase(it);
}

void TabTreeRegistry::detachStrays(const SafariWindow &window, const Positions &positions) {
    for (std::size_t i = 0; i < window.tabs.size(); ++i) {
        const auto &id = window.tabs[i].id;
        const auto link = parents_.find(id);
        if (link == parents_.end()) continue;
        const QString parent = link->second;
        const auto p = positions.constFind(HashedText(parent));
        if (p == positions.cend() || *p >= i) {
            parents_.erase(link);
            logger_.debug("Detached %{public}s: parent moved away", id);
            continue;
        }
        for (std::size_t between = *p + 1; between < i; ++between) {
            if (isDescendant(window.tabs[between].id, parent)) continue;
            parents_.erase(id);
            logger_.debug("Detached %{public}s: no longer beside its parent", id);
            break;
        }
    }
}

void TabTreeRegistry::recordUserMove(const std::optional<QString> &newParentID, const QString &tabID) {
    if (newParentID) {
        parents_.insert_or_assign(tabID, *newParentID);
        logger_.debug("User nested %{public}s under %{public}s", tabID, *newParentID);
    } else {
        parents_.erase(tabID);
        logger_.debug("User moved %{public}s to the root", tabID);
    }
}

void TabTreeRegistry::noteOpenedTab(std::optional<std::int64_t> windowID, const std::optional<QUrl> &url) {
    if (!windowID) return;
    pendingRootTabs_[*windowID].push_back(
        {url ? std::optional<QString>(absoluteText(*url)) : std::nullopt, 2});
}

std::vector<SafariTabMove> TabTreeRegistry::takePendingLinkMoveRequests() {
    std::vector<LinkMove> all;
    all.reserve(pendingLinkMoves_.size());
    for (auto &[tab, move] : pendingLinkMoves_) all.push_back(std::move(move));
    pendingLinkMoves_.clear();
    std::sort(all.begin(), all.end(), [](const LinkMove &a, const LinkMove &b) { return a.sequence < b.sequence; });
    std::vector<SafariTabMove> moves;
    moves.reserve(all.size());
    for (auto &m : all) moves.push_back(std::move(m.move));
    return moves;
}

}  // namespace ondrake
