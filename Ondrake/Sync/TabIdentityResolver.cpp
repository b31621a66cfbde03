#include "TabIdentityResolver.h"

#include "Browser/LeastCostMatching.h"

#include "Browser/BrowserURL.h"

#include <QHash>


namespace ondrake {

TabIdentityResolver::PoolEntry TabIdentityResolver::PoolEntry::from(const TabRecord &record) {
    return {record.id, record.url, record.title, std::nullopt, record.index};
}

std::int64_t TabIdentityResolver::cost(const PoolEntry &entry, const Pending &tab) {
    // Stored positions come from the record file and may be anything a 64-bit integer holds:
    // the cost saturates instead of wrapping.
    const auto distance = positionDistance(entry.index.value_or(tab.index), tab.index);
    const bool otherWindow = entry.windowOrdinal && *entry.windowOrdinal != tab.windowOrdinal;
    return otherWindow ? addCosts(distance, kOtherWindowCost) : distance;
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

void TabIdentityResolver::release(const TabRecord &record) {
    if (record.sessionTabID && bindings_.remove(*record.sessionTabID)) lastOrderValid_ = false;
    if (pooled_.contains(record.id)) return;
    // A released record may be closed (its tab went away but it carries user state); it still
    // waits for a tab to show its page again.
    pool_.push_back(PoolEntry::from(record));
    pooled_.insert(record.id);
}

void TabIdentityResolver::unbindAll(const std::vector<TabRecord> &records) {
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

TabIdentityMapping TabIdentityResolver::resolve(const std::vector<SafariWindow> &windows) {
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
                .windowOrdinal = std::int64_t(w),
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
        std::vector<bool> claimed(pool_.size(), false);
        // Pool positions by URL, ascending, so the earliest position wins a tie; beside them the
        // pending tabs that show the URL, in poll order.
        struct Bucket {
            std::vector<std::size_t> positions;
            std::size_t tabCount = 0;
            std::vector<std::size_t> tabs;  // listed only where more than one tab shows the URL
        };
        QHash<QString, Bucket> byURL;
        for (std::size_t position = 0; position < pool_.size(); ++position)
            if (pool_[position].url && !pool_[position].url->isEmpty())
                byURL[*pool_[position].url].positions.push_back(position);
        // Each pending tab's bucket, looked up once; nothing is added to the hash after this.
        std::vector<Bucket *> bucketOf(pending.size(), nullptr);
        if (!byURL.isEmpty()) {
            for (std::size_t k = 0; k < pending.size(); ++k)
                if (pending[k].url && !pending[k].url->isEmpty())
                    if (const auto bucket = byURL.find(*pending[k].url); bucket != byURL.end()) {
                        bucketOf[k] = &*bucket;
                        ++bucket->tabCount;
                    }
            for (std::size_t k = 0; k < pending.size(); ++k)
                if (bucketOf[k] && bucketOf[k]->tabCount > 1) bucketOf[k]->tabs.push_back(k);
        }

        const auto claim = [&](const Pending &tab, std::size_t position) {
            claimed[position] = true;
            ++claimedCount;
            mapping.insert(tab.sessionTabID, pool_[position].id);
        };
        const auto matchPass = [&](bool sameTitle) {
            std::vector<bool> grouped;
            for (std::size_t k = 0; k < pending.size(); ++k) {
                const auto &tab = pending[k];
                const auto *bucket = bucketOf[k];
                if (!bucket || mapping.contains(tab.sessionTabID)) continue;
                if (bucket->tabCount == 1) {
                    std::optional<std::size_t> best;
                    std::int64_t bestCost = 0;
                    for (const auto position : bucket->positions) {
                        if (claimed[position]) continue;
                        const auto &entry = pool_[position];
                        if (sameTitle && entry.title != tab.title) continue;
                        const auto c = cost(entry, tab);
                        if (!best || c < bestCost) {
                            best = position;
                            bestCost = c;
                            if (c == 0) break;  // nothing later can be strictly cheaper
                        }
                    }
                    if (best) claim(tab, *best);
                    continue;
                }
                // Tabs that show one page (and title) share its records so that they move least
                // in all, wherever each tab's window stands in the poll.
                if (grouped.empty()) grouped.assign(pending.size(), false);
                if (grouped[k]) continue;
                std::vector<std::size_t> rows;
                for (const auto j : bucket->tabs) {
                    if (mapping.contains(pending[j].sessionTabID) || (sameTitle && pending[j].title != tab.title)) continue;
                    grouped[j] = true;
                    rows.push_back(j);
                }
                std::vector<std::size_t> columns;
                for (const auto position : bucket->positions)
                    if (!claimed[position] && (!sameTitle || pool_[position].title == tab.title)) columns.push_back(position);
                if (columns.empty()) continue;
                const auto matching = leastCostMatching(rows.size(), columns.size(), [&](std::size_t r, std::size_t c) {
                    return cost(pool_[columns[c]], pending[rows[r]]);
                });
                for (std::size_t r = 0; r < rows.size(); ++r)
                    if (matching[r]) claim(pending[rows[r]], columns[*matching[r]]);
            }
        };
        matchPass(true);
        matchPass(false);

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
