#include "PendingRestore.h"

#include "Sync/TabLocation.h"

#include "Browser/BrowserURL.h"

#include <QSet>

#include <algorithm>

namespace ondrake {

namespace {

// What every restore of a pass looks up, made once per pass instead of once per restore: where
// each identity shows (the first session id in window order, and that window's place in the
// list) and each window's nesting. Moves within a window keep the first; the nesting follows
// every move.
class PassIndex {
public:
    PassIndex(const std::vector<SafariWindow> &windows, const TabIdentityMapping &mapping) {
        nesting_.reserve(windows.size());
        for (std::size_t w = 0; w < windows.size(); ++w) {
            nesting_.push_back(nestedTabIndex(windows[w]));
            for (const auto &tab : windows[w].tabs) {
                const auto *entry = mapping.find(tab.id);
                if (entry && !sightings_.contains(*entry)) sightings_.insert(*entry, {tab.id, w});
            }
        }
    }

    struct Sighting {
        QString sessionID;
        std::size_t window = 0;
    };
    std::optional<Sighting> find(const OndrakeID &id) const {
        const auto found = sightings_.constFind(id);
        if (found == sightings_.cend()) return std::nullopt;
        return *found;
    }
    const NestedTabIndex &nesting(std::size_t window) const { return nesting_[window]; }

    void reparent(std::size_t window, const QString &tabID, const std::optional<QString> &from,
                  const std::optional<QString> &to) {
        auto &index = nesting_[window];
        if (from)
            if (const auto children = index.find(*from); children != index.end()) {
                std::erase(children->second, tabID);
                if (children->second.empty()) index.erase(children);
            }
        if (to) index[*to].push_back(tabID);
    }

private:
    QHash<OndrakeID, Sighting> sightings_;
    std::vector<NestedTabIndex> nesting_;
};

// What the browser shows after a one-tab move: the tab at its new place under its new parent.
// Answers the parent the tab had, or nothing when the move does not apply.
std::optional<std::optional<QString>> applyMove(SafariWindow &window, const SafariTabMove &move) {
    auto &tabs = window.tabs;
    const auto from = std::size_t(move.fromIndex - 1);
    const auto to = std::size_t(move.toIndex - 1);
    if (move.count != 1 || from >= tabs.size() || to >= tabs.size()) return std::nullopt;
    auto tab = std::move(tabs[from]);
    auto formerParent = std::exchange(tab.parentID, move.newParentID);
    tabs.erase(tabs.begin() + std::ptrdiff_t(from));
    tabs.insert(tabs.begin() + std::ptrdiff_t(to), std::move(tab));
    for (std::size_t i = 0; i < tabs.size(); ++i) tabs[i].index = std::int64_t(i) + 1;
    return formerParent;
}

PendingRestore::Plan planIn(const PendingRestore &restore, const std::vector<SafariWindow> &windows,
                            const PassIndex &index) {
    const auto sighting = index.find(restore.ondrakeID);
    if (!sighting) return PendingRestore::NotVisibleYet{};
    const SafariWindow &window = windows[sighting->window];
    const auto tabIt = std::find_if(window.tabs.begin(), window.tabs.end(),
                                    [&](const SafariTab &t) { return t.id == sighting->sessionID; });
    if (tabIt == window.tabs.end()) return PendingRestore::NotVisibleYet{};
    const SafariTab &tab = *tabIt;

    std::optional<QString> parentSession;
    if (restore.parentID)
        if (const auto parent = index.find(*restore.parentID); parent && parent->window == sighting->window)
            parentSession = parent->sessionID;

    std::vector<const SafariTab *> remaining;
    remaining.reserve(window.tabs.size());
    for (const auto &t : window.tabs)
        if (&t != &tab) remaining.push_back(&t);
    const auto count = std::int64_t(remaining.size());

    std::optional<std::int64_t> parentPosition;
    if (parentSession)
        for (std::int64_t p = 0; p < count; ++p)
            if (remaining[std::size_t(p)]->id == *parentSession) {
                parentPosition = p;
                break;
            }

    std::int64_t insertion = 0;
    if (parentPosition) {
        const auto subtree = nestedTabIDs(*parentSession, index.nesting(sighting->window));
        insertion = *parentPosition + 1;
        while (insertion < count && subtree.contains(remaining[std::size_t(insertion)]->id)) ++insertion;
    } else if (!restore.targetIndex) {
        insertion = count;
    } else {
        // A former position from the record file may be any integer; compared before the step
        // back to 0-based, so even the smallest one cannot overflow.
        insertion = *restore.targetIndex < 1 ? 0 : std::min<std::int64_t>(*restore.targetIndex - 1, count);
    }

    const std::int64_t target = insertion + 1;
    if (tab.index == target && tab.parentID == parentSession) return PendingRestore::InPlace{};
    return SafariTabMove{
        .windowID = window.safariID,
        .fromIndex = tab.index,
        .count = 1,
        .toIndex = target,
        .expectedURL = absoluteText(tab.url),
        .expectedTabCount = std::int64_t(window.tabs.size()),
        .tabID = tab.id,
        .newParentID = parentSession,
    };
}

}  // namespace

PendingRestore::Plan PendingRestore::plan(const std::vector<SafariWindow> &windows,
                                          const TabIdentityMapping &mapping) const {
    return planIn(*this, windows, PassIndex(windows, mapping));
}

std::vector<SafariTabMove> advancePendingRestores(std::vector<PendingRestore> &restores,
                                                  const std::vector<SafariWindow> &windows,
                                                  const TabIdentityMapping &mapping, const Logger &logger) {
    std::vector<SafariTabMove> moves;
    std::vector<PendingRestore> waiting;
    // The browser makes the moves one after another, so each is planned on the windows as the
    // moves before it leave them: a reopened subtree then lands whole, parent first.
    auto moved = windows;
    PassIndex index(moved, mapping);
    for (auto &restore : restores) {
        const auto plan = planIn(restore, moved, index);
        if (const auto *move = std::get_if<SafariTabMove>(&plan)) {
            moves.push_back(*move);
            for (std::size_t w = 0; w < moved.size(); ++w) {
                if (moved[w].safariID != move->windowID) continue;
                if (const auto formerParent = applyMove(moved[w], *move))
                    index.reparent(w, move->tabID, *formerParent, move->newParentID);
                break;
            }
        } else if (std::holds_alternative<PendingRestore::NotVisibleYet>(plan)) {
            if (--restore.attemptsRemaining < 1) logger.debug("Gave up placing a reopened tab; it never appeared");
            else waiting.push_back(restore);
        }
    }
    restores = std::move(waiting);
    return moves;
}

}  // namespace ondrake
