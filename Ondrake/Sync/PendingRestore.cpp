#include "PendingRestore.h"

#include "Sync/TabLocation.h"

#include "Browser/BrowserURL.h"

#include <QSet>

#include <algorithm>

namespace ondrake {

namespace {

// The session id under which the identity shows, the first in window order when several do.
std::optional<QString> sessionIDOf(const OndrakeID &id, const std::vector<SafariWindow> &windows,
                                   const TabIdentityMapping &mapping) {
    for (const auto &window : windows)
        for (const auto &tab : window.tabs) {
            const auto entry = mapping.constFind(tab.id);
            if (entry != mapping.cend() && *entry == id) return tab.id;
        }
    return std::nullopt;
}

// What the browser shows after a one-tab move: the tab at its new place under its new parent.
void applyMove(std::vector<SafariWindow> &windows, const SafariTabMove &move) {
    for (auto &window : windows) {
        if (window.safariID != move.windowID) continue;
        auto &tabs = window.tabs;
        const auto from = std::size_t(move.fromIndex - 1);
        const auto to = std::size_t(move.toIndex - 1);
        if (move.count != 1 || from >= tabs.size() || to >= tabs.size()) return;
        auto tab = std::move(tabs[from]);
        tab.parentID = move.newParentID;
        tabs.erase(tabs.begin() + std::ptrdiff_t(from));
        tabs.insert(tabs.begin() + std::ptrdiff_t(to), std::move(tab));
        for (std::size_t i = 0; i < tabs.size(); ++i) tabs[i].index = std::int64_t(i) + 1;
        return;
    }
}

}  // namespace

PendingRestore::Plan PendingRestore::plan(const std::vector<SafariWindow> &windows,
                                          const TabIdentityMapping &mapping) const {
    const auto tabSession = sessionIDOf(ondrakeID, windows, mapping);
    if (!tabSession) return NotVisibleYet{};
    const auto location = locateTab(*tabSession, windows);
    if (!location) return NotVisibleYet{};
    const SafariWindow &window = *location->window;
    const SafariTab &tab = *location->tab;

    std::optional<QString> parentSession;
    if (parentID) {
        const auto candidate = sessionIDOf(*parentID, windows, mapping);
        if (candidate && std::any_of(window.tabs.begin(), window.tabs.end(),
                                     [&](const SafariTab &t) { return t.id == *candidate; }))
            parentSession = candidate;
    }

    std::vector<const SafariTab *> remaining;
    remaining.reserve(window.tabs.size());
    bool found = false;
    for (const auto &t : window.tabs) {
        if (!found && t.id == tab.id) {
            found = true;
            continue;
        }
        remaining.push_back(&t);
    }
    if (!found) return NotVisibleYet{};
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
        const auto nested = subtreeTabIDs(*parentSession, window);
        const QSet<QString> subtree(nested.begin(), nested.end());
        insertion = *parentPosition + 1;
        while (insertion < count && subtree.contains(remaining[std::size_t(insertion)]->id)) ++insertion;
    } else if (!targetIndex) {
        insertion = count;
    } else {
        // A former position from the record file may be any integer; compared before the step
        // back to 0-based, so even the smallest one cannot overflow.
        insertion = *targetIndex < 1 ? 0 : std::min<std::int64_t>(*targetIndex - 1, count);
    }

    const std::int64_t target = insertion + 1;
    if (tab.index == target && tab.parentID == parentSession) return InPlace{};
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

std::vector<SafariTabMove> advancePendingRestores(std::vector<PendingRestore> &restores,
                                                  const std::vector<SafariWindow> &windows,
                                                  const TabIdentityMapping &mapping, const Logger &logger) {
    std::vector<SafariTabMove> moves;
    std::vector<PendingRestore> waiting;
    // The browser makes the moves one after another, so each is planned on the windows as the
    // moves before it leave them: a reopened subtree then lands whole, parent first.
    auto moved = windows;
    for (auto &restore : restores) {
        const auto plan = restore.plan(moved, mapping);
        if (const auto *move = std::get_if<SafariTabMove>(&plan)) {
            moves.push_back(*move);
            applyMove(moved, *move);
        } else if (std::holds_alternative<PendingRestore::NotVisibleYet>(plan)) {
            if (--restore.attemptsRemaining < 1) logger.debug("Gave up placing a reopened tab; it never appeared");
            else waiting.push_back(restore);
        }
    }
    restores = std::move(waiting);
    return moves;
}

}  // namespace ondrake
