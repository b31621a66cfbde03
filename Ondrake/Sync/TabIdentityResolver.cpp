#include "TabIdentityResolver.h"

#include "Browser/BrowserURL.h"
#include "Browser/OrderKeepingMatching.h"
#include "Browser/SamePageMatching.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <limits>
#include <tuple>
#include <utility>

namespace ondrake {

TabIdentityResolver::PoolEntry TabIdentityResolver::PoolEntry::from(const TabRecord &record) {
    return {.id = record.id,
            .url = record.url,
            .title = record.title,
            .index = record.index,
            .closed = record.closedAt.has_value(),
            .windowKey = record.windowKey,
            .parentID = record.parentID,
            .groupID = record.groupID};
}

namespace {

std::int64_t shifted(std::int64_t index, std::int64_t shift) {
    constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
    constexpr auto kMin = std::numeric_limits<std::int64_t>::min();
    if (shift > 0 && index > kMax - shift) return kMax;
    if (shift < 0 && index < kMin - shift) return kMin;
    return index + shift;
}

// A tab placed with certainty as a landmark: where it stands and where its record stood.
struct Anchor {
    std::int64_t tab = 0;
    std::int64_t stored = 0;
};

// The anchors, by tab position, that keep their order on both sides, the most of them.
std::vector<Anchor> keptInOrder(const std::vector<Anchor> &anchors) {
    std::vector<std::int64_t> stored;
    stored.reserve(anchors.size());
    for (const auto &a : anchors) stored.push_back(a.stored);
    std::vector<Anchor> kept;
    for (const auto k : longestRisingRun(stored)) kept.push_back(anchors[k]);
    return kept;
}

// An entry's stored position as a sort key: entries without one come before all others.
std::pair<int, std::int64_t> storedPosition(const TabIdentityResolver::PoolEntry &entry) {
    return entry.index ? std::pair(1, *entry.index) : std::pair(0, std::int64_t(0));
}

// Stored positions first, entries without one before them, as they stand in the pool otherwise.
void sortByStoredPosition(std::vector<std::size_t> &columns, const std::vector<TabIdentityResolver::PoolEntry> &pool) {
    std::stable_sort(columns.begin(), columns.end(),
                     [&](std::size_t a, std::size_t b) { return storedPosition(pool[a]) < storedPosition(pool[b]); });
}

}  // namespace

std::int64_t TabIdentityResolver::cost(const PoolEntry &entry, const Expectation &expected) {
    constexpr std::int64_t kClosed = std::int64_t(1) << 40;
    const std::int64_t base = entry.closed ? kClosed : 0;
    if (!entry.index) return base;
    // Stored positions come from the record file and may be anything a 64-bit integer holds:
    // the cost saturates instead of wrapping.
    auto least = positionDistance(*entry.index, expected.at);
    if (expected.before) least = std::min(least, positionDistance(*entry.index, *expected.before));
    if (expected.after) least = std::min(least, positionDistance(*entry.index, *expected.after));
    return addCosts(least, base);
}

void TabIdentityResolver::poolIfOpen(const TabRecord &record) {
    if (record.closedAt || pooled_.contains(record.id)) return;
    pool_.push_back(PoolEntry::from(record));
    pooled_.insert(record.id);
}

void TabIdentityResolver::loadPool(const std::vector<TabRecord> &records) {
    for (const auto &record : records) poolIfOpen(record);
    logger_.debug("%ld record(s) available for reattachment", pool_.size());
}

void TabIdentityResolver::release(const TabRecord &record, bool reopened) {
    // The page of a record whose tab is open opens again beside it: the open tab keeps the record
    // unless it is gone by the time the new one shows.
    if (reopened && record.sessionTabID && bindings_.contains(*record.sessionTabID) && !pooled_.contains(record.id)) {
        auto entry = PoolEntry::from(record);
        entry.reopened = true;
        std::erase_if(heldReopens_, [&](const auto &held) { return held.second.id == record.id; });
        heldReopens_.emplace_back(*record.sessionTabID, std::move(entry));
        return;
    }
    if (record.sessionTabID && bindings_.remove(*record.sessionTabID)) lastOrderValid_ = false;
    if (pooled_.contains(record.id)) {
        if (reopened)
            for (auto &entry : pool_)
                if (entry.id == record.id) entry.reopened = true;
        return;
    }
    // A released record may be closed (its tab went away but it carries user state); it still
    // waits for a tab to show its page again.
    auto entry = PoolEntry::from(record);
    entry.reopened = reopened;
    pool_.push_back(std::move(entry));
    pooled_.insert(record.id);
}

void TabIdentityResolver::settleHeldReopens(const std::vector<SafariWindow> &windows) {
    auto held = std::exchange(heldReopens_, {});
    for (auto &[sessionTabID, entry] : held) {
        const bool open = std::any_of(windows.begin(), windows.end(), [&](const SafariWindow &window) {
            return std::any_of(window.tabs.begin(), window.tabs.end(), [&](const SafariTab &tab) { return tab.id == sessionTabID; });
        });
        if (open || pooled_.contains(entry.id)) continue;
        if (bindings_.remove(sessionTabID)) lastOrderValid_ = false;
        pooled_.insert(entry.id);
        pool_.push_back(std::move(entry));
    }
}

void TabIdentityResolver::unbindAll(const std::vector<TabRecord> &records) {
    heldReopens_.clear();
    bindings_.clear();
    lastOrderValid_ = false;
    for (const auto &record : records) poolIfOpen(record);
}

bool TabIdentityResolver::repeatsLastPoll(const std::vector<SafariWindow> &windows) const {
    if (!lastOrderValid_) return false;
    std::size_t position = 0;
    for (const auto &window : windows)
        for (const auto &tab : window.tabs) {
            // Equal ids mostly share their text, which makes the comparison a pointer check.
            if (position >= lastOrder_.size() || lastOrder_[position] != tab.id) return false;
            ++position;
        }
    return position == lastOrder_.size();
}

std::size_t TabIdentityResolver::claim(const std::vector<Pending> &pending, const std::vector<std::size_t> &rows,
                                       const std::vector<std::size_t> &columns, const std::vector<Expectation> &expected,
                                       std::vector<bool> &claimed, TabIdentityMapping &mapping) const {
    std::vector<std::size_t> tabs;
    std::vector<PageKey> tabKeys;
    for (const auto k : rows)
        if (!mapping.contains(pending[k].sessionTabID)) {
            tabs.push_back(k);
            tabKeys.push_back({*pending[k].url, pending[k].title});
        }
    std::vector<std::size_t> places;
    std::vector<PageKey> placeKeys;
    for (const auto position : columns)
        if (!claimed[position]) {
            places.push_back(position);
            placeKeys.push_back({*pool_[position].url, pool_[position].title});
        }
    const auto matching = matchSamePages(
        tabKeys, placeKeys, [&](std::size_t r, std::size_t c) { return cost(pool_[places[c]], expected[tabs[r]]); });
    std::size_t count = 0;
    for (std::size_t r = 0; r < tabs.size(); ++r) {
        if (!matching[r]) continue;
        const auto position = places[*matching[r]];
        claimed[position] = true;
        mapping.insert(pending[tabs[r]].sessionTabID, pool_[position].id);
        ++count;
    }
    return count;
}

std::vector<std::optional<std::int64_t>> TabIdentityResolver::windowKeysOfPoll(const std::vector<Pending> &pending,
                                                                               std::size_t windowCount,
                                                                               const std::vector<Certain> &certain,
                                                                               const std::vector<TwinPage> &pages) const {
    std::vector<std::optional<std::int64_t>> keys(windowCount);
    // A record placed with certainty votes for its window's key; so do the tabs of a page open in
    // one window only, when every record of the page waiting was last seen in one window. A
    // window's records mostly carry one key: a short list each.
    std::vector<std::vector<std::pair<std::int64_t, int>>> tally(windowCount);
    const auto vote = [&](std::size_t w, std::int64_t key, int count) {
        auto &list = tally[w];
        const auto found = std::find_if(list.begin(), list.end(), [&](const auto &v) { return v.first == key; });
        if (found != list.end()) found->second += count;
        else list.emplace_back(key, count);
    };
    for (const auto &c : certain)
        if (const auto &key = pool_[c.position].windowKey) vote(pending[c.pending].windowOrdinal, *key, 1);
    const auto one = [](const auto &list) {
        return !list.empty() && std::all_of(list.begin(), list.end(), [&](const auto &v) { return v == list.front(); });
    };
    for (const auto &page : pages)
        if (one(page.windows) && one(page.keys) && page.keys.front()) vote(page.windows.front(), *page.keys.front(), int(page.windows.size()));

    struct Vote {
        std::size_t window = 0;
        std::int64_t key = 0;
        int count = 0;
    };
    std::vector<Vote> votes;
    for (std::size_t w = 0; w < windowCount; ++w)
        for (const auto &[key, count] : tally[w]) votes.push_back({w, key, count});
    if (votes.empty()) return keys;
    // Each window takes the key with the most votes, the windows with the most first.
    std::sort(votes.begin(), votes.end(), [](const Vote &a, const Vote &b) {
        return std::tuple(-a.count, a.window, a.key) < std::tuple(-b.count, b.window, b.key);
    });
    QSet<std::int64_t> taken;
    for (const auto &vote : votes) {
        if (keys[vote.window] || taken.contains(vote.key)) continue;
        keys[vote.window] = vote.key;
        taken.insert(vote.key);
    }

    // A page whose tabs stand in one window not placed yet, and whose records were seen in one
    // window not placed yet, pairs the two; each pairing may tell another page's.
    for (bool placed = true; placed;) {
        placed = false;
        for (const auto &page : pages) {
            std::optional<std::size_t> window;
            bool single = true;
            for (const auto w : page.windows)
                if (!keys[w]) {
                    if (window && *window != w) single = false;
                    window = w;
                }
            std::optional<std::int64_t> key;
            for (const auto &k : page.keys)
                if (k && !taken.contains(*k)) {
                    if (key && *key != *k) single = false;
                    key = k;
                }
            if (!single || !window || !key) continue;
            keys[*window] = key;
            taken.insert(*key);
            placed = true;
        }
    }
    // As many windows of such pages left as windows their records were seen in: nothing tells
    // them apart any more, so they are taken to be back in the order they were first seen in.
    std::vector<std::size_t> windowsLeft;
    std::vector<std::int64_t> keysLeft;
    for (const auto &page : pages) {
        for (const auto w : page.windows)
            if (!keys[w]) windowsLeft.push_back(w);
        for (const auto &k : page.keys)
            if (k && !taken.contains(*k)) keysLeft.push_back(*k);
    }
    const auto distinct = [](auto &list) {
        std::sort(list.begin(), list.end());
        list.erase(std::unique(list.begin(), list.end()), list.end());
    };
    distinct(windowsLeft);
    distinct(keysLeft);
    if (windowsLeft.size() == keysLeft.size())
        for (std::size_t i = 0; i < windowsLeft.size(); ++i) keys[windowsLeft[i]] = keysLeft[i];
    return keys;
}

std::vector<std::optional<std::size_t>> TabIdentityResolver::homesOf(const std::vector<Pending> &pending,
                                                                     const std::vector<std::optional<std::int64_t>> &keys,
                                                                     const std::vector<Certain> &certain,
                                                                     const std::vector<std::size_t> &columns) const {
    std::vector<std::optional<std::size_t>> homes(columns.size());
    QHash<std::int64_t, std::size_t> windowOfKey;
    for (std::size_t w = 0; w < keys.size(); ++w)
        if (keys[w]) windowOfKey.insert(*keys[w], w);
    std::vector<std::size_t> unplaced;  // of the columns
    for (std::size_t c = 0; c < columns.size(); ++c) {
        const auto &key = pool_[columns[c]].windowKey;
        const auto found = key ? windowOfKey.constFind(*key) : windowOfKey.cend();
        if (found != windowOfKey.cend()) homes[c] = *found;
        else unplaced.push_back(c);
    }
    if (unplaced.empty() || certain.empty()) return homes;

    // Links of the records placed with certainty place the others: a child stands in its
    // parent's window, a parent in its children's, a group's member in the one window its
    // certain members stand in.
    QSet<OndrakeID> linked;  // parents and ids of the records not placed
    QHash<TabGroupID, std::optional<std::size_t>> groupWindow;  // none when they stand in several
    for (const auto c : unplaced) {
        const auto &entry = pool_[columns[c]];
        linked.insert(entry.id);
        if (entry.parentID) linked.insert(*entry.parentID);
        if (entry.groupID) groupWindow.insert(*entry.groupID, std::nullopt);
    }
    QHash<OndrakeID, std::size_t> windowOf;      // of each certain record linked so
    QHash<OndrakeID, std::size_t> parentWindow;  // of each certain record's parent
    QSet<TabGroupID> grouped;
    for (const auto &c : certain) {
        const auto &entry = pool_[c.position];
        const auto w = pending[c.pending].windowOrdinal;
        if (linked.contains(entry.id)) windowOf.insert(entry.id, w);
        if (entry.parentID && linked.contains(*entry.parentID)) parentWindow.insert(*entry.parentID, w);
        if (entry.groupID)
            if (const auto found = groupWindow.find(*entry.groupID); found != groupWindow.end()) {
                if (!grouped.contains(*entry.groupID)) *found = w;
                else if (*found != w) *found = std::nullopt;
                grouped.insert(*entry.groupID);
            }
    }
    for (const auto c : unplaced) {
        const auto &entry = pool_[columns[c]];
        if (entry.parentID)
            if (const auto found = windowOf.constFind(*entry.parentID); found != windowOf.cend()) {
                homes[c] = *found;
                continue;
            }
        if (const auto found = parentWindow.constFind(entry.id); found != parentWindow.cend()) {
            homes[c] = *found;
            continue;
        }
        if (entry.groupID && grouped.contains(*entry.groupID)) homes[c] = groupWindow.value(*entry.groupID);
    }
    return homes;
}

std::size_t TabIdentityResolver::claimTwins(const std::vector<Pending> &pending, std::size_t windowCount,
                                            const std::vector<Certain> &certain, const std::vector<TwinPage> &pages,
                                            const std::vector<std::size_t> &rows,
                                            const std::vector<std::size_t> &columns, std::vector<Expectation> &expected,
                                            std::vector<bool> &claimed, TabIdentityMapping &mapping) const {
    const auto keys = windowKeysOfPoll(pending, windowCount, certain, pages);
    const auto homes = homesOf(pending, keys, certain, columns);

    // Each window's tabs first with the records of their own window, in the order both stand in.
    std::vector<std::pair<std::size_t, std::size_t>> homed;  // window and pool position
    std::vector<std::size_t> homeless;
    for (std::size_t c = 0; c < columns.size(); ++c) {
        if (homes[c]) homed.emplace_back(*homes[c], columns[c]);
        else homeless.push_back(columns[c]);
    }
    std::stable_sort(homed.begin(), homed.end(), [&](const auto &a, const auto &b) {
        return std::pair(a.first, storedPosition(pool_[a.second])) < std::pair(b.first, storedPosition(pool_[b.second]));
    });

    // Rows and certain records come in the poll's order, window by window.
    std::size_t count = 0;
    std::vector<Anchor> anchors;
    std::vector<std::size_t> windowRows;
    std::vector<std::size_t> windowColumns;
    std::size_t nextCertain = 0;
    std::size_t nextHomed = 0;
    for (std::size_t r = 0; r < rows.size();) {
        const auto w = pending[rows[r]].windowOrdinal;
        windowRows.clear();
        for (; r < rows.size() && pending[rows[r]].windowOrdinal == w; ++r) windowRows.push_back(rows[r]);

        // The window's landmarks: its certain records, of the window its key names when it has one.
        anchors.clear();
        for (; nextCertain < certain.size() && pending[certain[nextCertain].pending].windowOrdinal <= w; ++nextCertain) {
            const auto &c = certain[nextCertain];
            const auto &entry = pool_[c.position];
            if (pending[c.pending].windowOrdinal == w && entry.index && (!keys[w] || entry.windowKey == keys[w]))
                anchors.push_back({pending[c.pending].index, *entry.index});
        }
        // Each tab is expected where it stood, shifted as the nearest landmark before it (or after
        // it, with none before) of those that kept their order was: one moved far away says
        // nothing of its neighbours. But a block moved while the application was away may keep
        // its order better than the few landmarks around a tab: the nearest landmark on either
        // side tells as much.
        const auto kept = anchors.empty() ? std::vector<Anchor>() : keptInOrder(anchors);
        std::size_t n = 0;
        std::size_t a = 0;
        std::optional<std::int64_t> last;
        for (const auto k : windowRows) {
            const auto index = pending[k].index;
            while (n < kept.size() && kept[n].tab <= index) ++n;
            std::int64_t shift = 0;
            if (!kept.empty()) {
                const auto &anchor = n > 0 ? kept[n - 1] : kept.front();
                shift = anchor.tab - anchor.stored;
            }
            // Never before the tab ahead of it in its window, so that its window's order holds.
            auto &e = expected[k];
            e.at = std::max(shifted(index, -shift), last.value_or(std::numeric_limits<std::int64_t>::min()));
            last = e.at;
            while (a < anchors.size() && anchors[a].tab <= index) ++a;
            if (a > 0) e.before = shifted(anchors[a - 1].stored, index - anchors[a - 1].tab);
            if (a < anchors.size()) e.after = shifted(anchors[a].stored, index - anchors[a].tab);
        }

        while (nextHomed < homed.size() && homed[nextHomed].first < w) ++nextHomed;
        windowColumns.clear();
        for (; nextHomed < homed.size() && homed[nextHomed].first == w; ++nextHomed) windowColumns.push_back(homed[nextHomed].second);
        if (!windowColumns.empty()) count += claim(pending, windowRows, windowColumns, expected, claimed, mapping);
    }
    // The others with the records of no known window, both in the order they stand in, so that
    // tabs of a page keep their records'. Records of a known window wait for a tab there.
    if (homeless.empty()) return count;
    auto rest = rows;
    std::stable_sort(rest.begin(), rest.end(), [&](std::size_t a, std::size_t b) {
        return std::tuple(expected[a].at, pending[a].windowOrdinal, pending[a].index) <
               std::tuple(expected[b].at, pending[b].windowOrdinal, pending[b].index);
    });
    sortByStoredPosition(homeless, pool_);
    return count + claim(pending, rest, homeless, expected, claimed, mapping);
}

TabIdentityMapping TabIdentityResolver::resolve(const std::vector<SafariWindow> &windows) {
    if (!heldReopens_.empty()) settleHeldReopens(windows);
    if (repeatsLastPoll(windows)) return bindings_;

    std::vector<Pending> pending;
    qsizetype tabCount = 0;
    for (std::size_t w = 0; w < windows.size(); ++w) {
        for (const auto &tab : windows[w].tabs) {
            ++tabCount;
            if (bindings_.contains(tab.id)) continue;
            pending.push_back(Pending{
                .sessionTabID = tab.id,
                .url = tab.url ? std::optional<QString>(absoluteText(*tab.url)) : std::nullopt,
                .title = tab.title,
                .windowOrdinal = w,
                .index = tab.index,
            });
        }
    }
    lastOrder_.clear();
    lastOrder_.reserve(std::size_t(tabCount));
    for (const auto &window : windows)
        for (const auto &tab : window.tabs) lastOrder_.push_back(tab.id);
    // Session ids are unique within a poll: then the mapping's keys are exactly these ids.
    lastOrderValid_ = true;

    // Bound already, though in another order: the bindings are the mapping as they stand.
    if (pending.empty() && tabCount == bindings_.size()) return bindings_;

    TabIdentityMapping mapping;
    mapping.reserve(tabCount);
    for (const auto &window : windows)
        for (const auto &tab : window.tabs) {
            const auto bound = bindings_.constFind(tab.id);
            if (bound != bindings_.cend()) mapping.insert(tab.id, *bound);
        }

    std::size_t claimedCount = 0;
    std::size_t newCount = 0;
    if (!pending.empty()) {
        // Tabs and records without an address are never paired.
        std::vector<std::size_t> rows;
        for (std::size_t k = 0; k < pending.size(); ++k)
            if (pending[k].url && !pending[k].url->isEmpty()) rows.push_back(k);
        std::vector<std::size_t> columns;
        std::vector<std::size_t> reopened;
        for (std::size_t position = 0; position < pool_.size(); ++position)
            if (pool_[position].url && !pool_[position].url->isEmpty()) {
                columns.push_back(position);
                if (pool_[position].reopened) reopened.push_back(position);
            }
        std::vector<bool> claimed(pool_.size(), false);
        std::vector<Expectation> expected(pending.size());
        for (std::size_t k = 0; k < pending.size(); ++k) expected[k].at = pending[k].index;
        if (!rows.empty() && !columns.empty()) {
            // A record released to reopen its page is the one its tab takes.
            if (!reopened.empty()) claimedCount += claim(pending, rows, reopened, expected, claimed, mapping);

            // A tab alone with its address among the tabs and the records is certain.
            struct Seen {
                int tabs = 0;
                int records = 0;
                std::uint32_t record = 0;  // a pool position
                int page = -1;             // of the pages open more than once
            };
            QHash<QStringView, Seen> seen;
            seen.reserve(qsizetype(columns.size()));
            for (const auto position : columns)
                if (!claimed[position]) {
                    auto &s = seen[*pool_[position].url];
                    ++s.records;
                    s.record = std::uint32_t(position);
                }
            std::vector<Seen *> address(pending.size(), nullptr);
            for (const auto k : rows)
                if (!mapping.contains(pending[k].sessionTabID))
                    if (const auto found = seen.find(*pending[k].url); found != seen.end()) {
                        ++found->tabs;
                        address[k] = &*found;
                    }
            std::vector<Certain> certain;  // in the poll's order
            std::vector<std::size_t> left;
            for (const auto k : rows) {
                if (!address[k]) continue;  // no record shows its address
                if (address[k]->tabs != 1 || address[k]->records != 1) {
                    left.push_back(k);
                    continue;
                }
                const auto position = address[k]->record;
                claimed[position] = true;
                mapping.insert(pending[k].sessionTabID, pool_[position].id);
                ++claimedCount;
                certain.push_back({k, position});
            }
            std::erase_if(columns, [&](std::size_t position) { return claimed[position]; });
            if (!left.empty() && !columns.empty()) {
                // The windows of the tabs of each page open more than once, and of its records.
                std::vector<TwinPage> pages;
                for (const auto k : left) {
                    auto &s = *address[k];
                    if (s.page < 0) {
                        s.page = int(pages.size());
                        // Mostly a page open twice.
                        auto &page = pages.emplace_back();
                        page.windows.reserve(2);
                        page.keys.reserve(2);
                    }
                    pages[std::size_t(s.page)].windows.push_back(pending[k].windowOrdinal);
                }
                for (const auto position : columns)
                    if (const auto found = seen.constFind(*pool_[position].url); found != seen.cend() && found->page >= 0)
                        pages[std::size_t(found->page)].keys.push_back(pool_[position].windowKey);
                claimedCount += claimTwins(pending, windows.size(), certain, pages, left, columns, expected, claimed, mapping);
            }
        }

        for (const auto &tab : pending) {
            if (mapping.contains(tab.sessionTabID)) continue;
            mapping.insert(tab.sessionTabID, OndrakeID());
            ++newCount;
        }

        if (claimedCount > 0) {
            std::vector<PoolEntry> remaining;
            remaining.reserve(pool_.size() - claimedCount);
            for (std::size_t position = 0; position < pool_.size(); ++position) {
                if (claimed[position]) pooled_.remove(pool_[position].id);
                else remaining.push_back(std::move(pool_[position]));
            }
            pool_ = std::move(remaining);
        }
    }

    bindings_ = mapping;
    if (newCount > 0 || claimedCount > 0)
        logger_.debug("Resolved %ld tab(s): %ld reattached, %ld new", mapping.size(), claimedCount, newCount);
    return mapping;
}

}  // namespace ondrake
