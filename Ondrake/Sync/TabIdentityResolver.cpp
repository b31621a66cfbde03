#include "TabIdentityResolver.h"

#include "WindowKeys.h"
#include "WindowOrigins.h"

#include "Browser/BrowserURL.h"
#include "SessionIdentities/OrderKeepingMatching.h"
#include "SessionIdentities/SamePageMatching.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <limits>
#include <span>
#include <tuple>
#include <utility>

namespace ondrake {

namespace {

// Titles of one address that tell windows apart, the most looked at; past them a title tells
// little.
constexpr std::size_t kMostTitlesLookedAt = 32;

}  // namespace

TabIdentityResolver::PoolEntry TabIdentityResolver::PoolEntry::from(const TabRecord &record) {
    return {.id = record.id,
            .url = record.url,
            .title = record.title,
            .index = record.index,
            .closed = record.closedAt.has_value(),
            .windowKey = WindowKeys::readable(record.windowKey),
            .parentID = record.parentID,
            .groupID = record.groupID};
}


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
                                       const std::vector<Expectation> &expected, const std::vector<std::size_t> &columns,
                                       Claims &claimed, TabIdentityMapping &mapping) const {
    std::vector<std::size_t> tabs;  // of rows
    std::vector<PageKey> tabKeys;
    for (std::size_t r = 0; r < rows.size(); ++r)
        if (const auto &tab = pending[rows[r]]; !mapping.contains(tab.sessionTabID)) {
            tabs.push_back(r);
            tabKeys.push_back({*tab.url, tab.title});
        }
    std::vector<std::size_t> places;
    std::vector<PageKey> placeKeys;
    for (const auto position : columns)
        if (!claimed[position]) {
            places.push_back(position);
            placeKeys.push_back({*pool_[position].url, pool_[position].title});
        }
    if (tabs.empty() || places.empty()) return 0;
    const auto matching = matchSamePages(
        tabKeys, placeKeys, [&](std::size_t r, std::size_t c) { return cost(pool_[places[c]], expected[tabs[r]]); });
    std::size_t count = 0;
    for (std::size_t r = 0; r < tabs.size(); ++r) {
        if (!matching[r]) continue;
        const auto position = places[*matching[r]];
        claimed[position] = rows[tabs[r]] + 1;
        mapping.insert(pending[rows[tabs[r]]].sessionTabID, pool_[position].id);
        ++count;
    }
    return count;
}


TabIdentityMapping TabIdentityResolver::resolve(const std::vector<SafariWindow> &windows, const WindowKeyOf &windowKey) {
    rekeyed_.clear();
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
            if (const auto *bound = bindings_.find(tab.id)) mapping.insert(tab.id, *bound);
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
        Claims claimed(pool_.size(), 0);
        if (!rows.empty() && !columns.empty()) {
            // A record released to reopen its page is the one its tab takes.
            if (!reopened.empty()) {
                std::vector<Expectation> atIndex(rows.size());
                for (std::size_t r = 0; r < rows.size(); ++r) atIndex[r].at = pending[rows[r]].index;
                claimedCount += claim(pending, rows, atIndex, reopened, claimed, mapping);
            }

            // A tab alone with its address among the tabs and the records is certain.
            struct Seen {
                int tabs = 0;
                int records = 0;
                std::uint32_t record = 0;  // a pool position
                int page = -1;             // of the pages open more than once
            };
            QHash<HashedText, Seen> seen;
            seen.reserve(qsizetype(columns.size()));
            for (const auto position : columns)
                if (!claimed[position]) {
                    auto &s = seen[HashedText(*pool_[position].url)];
                    ++s.records;
                    s.record = std::uint32_t(position);
                }
            std::vector<Seen *> address(pending.size(), nullptr);
            for (const auto k : rows)
                if (!mapping.contains(pending[k].sessionTabID))
                    if (const auto found = seen.find(HashedText(*pending[k].url)); found != seen.end()) {
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
                claimed[position] = k + 1;
                mapping.insert(pending[k].sessionTabID, pool_[position].id);
                ++claimedCount;
                certain.push_back({k, position});
            }
            std::erase_if(columns, [&](std::size_t position) { return claimed[position]; });

            // What tells which window's records each window's tabs take.
            WindowEvidence evidence{.windowCount = windows.size()};
            for (const auto &c : certain)
                if (const auto &key = pool_[c.position].windowKey) evidence.landmarks.emplace_back(pending[c.pending].windowOrdinal, *key);
            const bool twins = !left.empty() && !columns.empty();
            if (twins) {
                // The windows of the tabs of each page open more than once, and the keys of its records.
                for (const auto k : left) {
                    auto &s = *address[k];
                    if (s.page < 0) {
                        s.page = int(evidence.pages.size());
                        // Mostly a page open twice.
                        auto &page = evidence.pages.emplace_back();
                        page.windows.reserve(2);
                        page.keys.reserve(2);
                    }
                    evidence.pages[std::size_t(s.page)].windows.push_back(pending[k].windowOrdinal);
                }
                // Pages by their title too: the tabs of one title may tell windows apart where
                // their address does not. An address has a few titles, looked for one by one.
                std::vector<std::vector<std::pair<QStringView, std::size_t>>> titles(evidence.pages.size());
                const auto titled = [&](std::size_t page, QStringView title) -> std::optional<std::size_t> {
                    for (const auto &[t, at] : titles[page])
                        if (t == title) return at;
                    return std::nullopt;
                };
                for (const auto k : left) {
                    const auto page = std::size_t(address[k]->page);
                    auto at = titled(page, pending[k].title);
                    if (!at) {
                        if (titles[page].size() >= kMostTitlesLookedAt) continue;
                        at = evidence.pages.size();
                        titles[page].emplace_back(pending[k].title, *at);
                        evidence.pages.emplace_back();
                    }
                    evidence.pages[*at].windows.push_back(pending[k].windowOrdinal);
                }
                for (const auto position : columns)
                    if (const auto found = seen.constFind(HashedText(*pool_[position].url)); found != seen.cend() && found->page >= 0) {
                        const auto &entry = pool_[position];
                        const auto page = std::size_t(found->page);
                        evidence.pages[page].keys.push_back(entry.windowKey);
                        if (const auto at = titled(page, entry.title)) evidence.pages[*at].keys.push_back(entry.windowKey);
                    }
            }
            if (windowKey) {
                evidence.own.resize(windows.size());
                for (std::size_t w = 0; w < windows.size(); ++w) evidence.own[w] = windowKey(windows[w].safariID);
            }
            const auto shows = keysShown(evidence);
            const Poll poll{windows, pending, certain, shows};
            if (twins) claimedCount += claimTwins(poll, left, columns, claimed, mapping);
            if (windowKey) rekeyWaiting(poll, evidence.own, claimed);
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
