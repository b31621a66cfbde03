#pragma once

#include "Browser/SafariTab.h"
#include "Browser/SafariTabMove.h"

#include "Log.h"
#include "Platform/TextHash.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QUrl>

#include <cstdint>
#include <map>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace ondrake {

// Infers from the succession of snapshots which tab was opened from which, keeps those links
// valid while tabs close and move, and writes them into every snapshot as `parentID`. Also keeps
// user nesting, keeps tabs this app opened at the root, waits for tabs that arrive blank, and
// asks for link-opened tabs that landed at the far end to be moved next to their opener.
class TabTreeRegistry {
public:
    static constexpr int kMaxWalk = 64;

    struct PendingRootTab {
        std::optional<QString> url;  // absolute text of what was opened
        int pollsRemaining = 2;
        bool operator==(const PendingRootTab &) const = default;
    };
    struct DeferredArrival {
        std::vector<QString> candidates;  // in order of preference
        int pollsRemaining = 8;
        bool operator==(const DeferredArrival &) const = default;
    };

    void reset();
    // The same windows and tabs, each tab's `parentID` set from the links.
    std::vector<SafariWindow> apply(std::vector<SafariWindow> windows);
    void recordUserMove(const std::optional<QString> &newParentID, const QString &tabID);
    void noteOpenedTab(std::optional<std::int64_t> windowID, const std::optional<QUrl> &url);
    // Empties the requests; oldest request first.
    std::vector<SafariTabMove> takePendingLinkMoveRequests();

    const TextMap<QString> &parents() const { return parents_; }
    const std::map<std::int64_t, std::vector<PendingRootTab>> &pendingRootTabs() const { return pendingRootTabs_; }
    const std::map<QString, DeferredArrival> &deferredArrivals() const { return deferredArrivals_; }
    std::size_t pendingLinkMoveCount() const { return pendingLinkMoves_.size(); }

private:
    using Positions = QHash<HashedText, std::size_t>;  // views of the window's ids

    std::optional<QString> nearestSurvivingAncestor(const QString &tab, const QSet<TextKey> &alive) const;
    bool isDescendant(const QString &tab, const QString &ancestor) const;
    std::size_t subtreeEnd(const SafariWindow &window, std::size_t position) const;
    bool fits(const QString &candidate, const QString &tab, std::size_t position, const SafariWindow &window,
              const Positions &positions) const;

    void pruneVanished(const QSet<TextKey> &current);
    void settleDeferredArrivals(const std::vector<SafariWindow> &windows);
    void placeArrivals(const SafariWindow &window, const Positions &positions);
    void detachStrays(const SafariWindow &window, const Positions &positions);
    void agePendingRootTabs(std::int64_t windowID);

    const Logger logger_{QStringLiteral("TabTree")};
    TextMap<QString> parents_;
    std::unordered_map<std::int64_t, QString> lastActive_;
    QSet<TextKey> known_;
    std::unordered_set<std::int64_t> seenWindows_;
    std::map<std::int64_t, std::vector<PendingRootTab>> pendingRootTabs_;
    std::map<QString, DeferredArrival> deferredArrivals_;  // settled in id order
    struct LinkMove {
        std::uint64_t sequence = 0;
        SafariTabMove move;
    };
    TextMap<LinkMove> pendingLinkMoves_;  // given out in order of sequence
    std::uint64_t nextLinkMoveSequence_ = 0;
};

}  // namespace ondrake
