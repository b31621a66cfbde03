#include "TabIdentityResolver.h"

#include "Browser/BrowserURL.h"

#include <QHash>

#include <limits>

namespace ondrake {

TabIdentityResolver::PoolEntry TabIdentityResolver::PoolEntry::from(const TabRecord &record) {
    return {record.id, record.url, record.title, std::nullopt, record.index};
}

std::int64_t TabIdentityResolver::cost(const PoolEntry &entry, const Pending &tab) {
    // Stored positions come from the record file and may be anything a 64-bit integer holds:
    // the distance is taken without overflow and the cost saturates instead of wrapping.
    const std::int64_t a = entry.index.value_or(tab.index);
    const std::int64_t b = tab.index;
    const std::uint64_t distance = a > b ? std::uint64_t(a) - std::uint64_t(b) : std::uint64_t(b) - std::uint64_t(a);
    constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
    const bool otherWindow = entry.windowOrdinal && *entry.windowOrdinal != tab.windowOrdinal;
    const std::int64_t cap = otherWindow ? kMax - kOtherWindowCost : kMax;
    const std::int64_t c = distance > std::uint64_t(cap) ? cap : std::int64_t(distance);
    return otherWindow ? c + kOtherWindowCost : c;
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
        // Pool positions by URL, ascending, so the earliest position wins a tie.
        QHash<QString, std::vector<std::size_t>> byURL;
        for (std::size_t position = 0; position < pool_.size(); ++position)
            if (pool_[position].url && !pool_[position].url->isEmpty()) byURL[*pool_[position].url].push_back(position);

        const auto matchPass = [&](bool sameTitle) {
            if (byURL.isEmpty()) return;
            for (const auto &tab : pending) {
                if (!tab.url || tab.url->isEmpty() || mapping.contains(tab.sessionTabID)) continue;
                const auto bucket = byURL.constFind(*tab.url);
                if (bucket == byURL.cend()) continue;
                std::optional<std::size_t> best;
                std::int64_t bestCost = 0;
                for (const auto position : *bucket) {
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
                if (!best) continue;
                claimed[*best] = true;
                ++claimedCount;
                mapping.insert(tab.sessionTabID, pool_[*best].id);
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
