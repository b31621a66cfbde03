#include "TabIdentityResolver.h"

#include "Browser/BrowserURL.h"
#include "Browser/LeastCostMatching.h"
#include "Browser/SamePageMatching.h"

namespace ondrake {

TabIdentityResolver::PoolEntry TabIdentityResolver::PoolEntry::from(const TabRecord &record) {
    return {record.id, record.url, record.title, record.index};
}

std::int64_t TabIdentityResolver::cost(const PoolEntry &entry, const Pending &tab) {
    // Stored positions come from the record file and may be anything a 64-bit integer holds:
    // the cost saturates instead of wrapping.
    return positionDistance(entry.index.value_or(tab.index), tab.index);
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
    for (const auto &window : windows) {
        for (const auto &tab : window.tabs) {
            ++tabCount;
            if (bindings_.contains(tab.id)) continue;
            pending.push_back(Pending{
                .sessionTabID = tab.id,
                .url = tab.url ? std::optional<QString>(absoluteText(*tab.url)) : std::nullopt,
                .title = tab.title,
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
        std::vector<PageKey> rowKeys;
        for (std::size_t k = 0; k < pending.size(); ++k)
            if (pending[k].url && !pending[k].url->isEmpty()) {
                rows.push_back(k);
                rowKeys.push_back({*pending[k].url, pending[k].title});
            }
        std::vector<std::size_t> columns;
        std::vector<PageKey> columnKeys;
        for (std::size_t position = 0; position < pool_.size(); ++position)
            if (pool_[position].url && !pool_[position].url->isEmpty()) {
                columns.push_back(position);
                columnKeys.push_back({*pool_[position].url, pool_[position].title});
            }
        std::vector<bool> claimed(pool_.size(), false);
        const auto matching = matchSamePages(rowKeys, columnKeys, [&](std::size_t r, std::size_t c) {
            return cost(pool_[columns[c]], pending[rows[r]]);
        });
        for (std::size_t r = 0; r < rows.size(); ++r) {
            if (!matching[r]) continue;
            const auto position = columns[*matching[r]];
            claimed[position] = true;
            ++claimedCount;
            mapping.insert(pending[rows[r]].sessionTabID, pool_[position].id);
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
