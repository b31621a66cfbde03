#include "TabIdentityResolver.h"

#include "Browser/BrowserURL.h"
#include "Browser/OrderKeepingMatching.h"
#include "Browser/SamePageMatching.h"

#include <QHash>

#include <algorithm>
#include <limits>

namespace ondrake {

TabIdentityResolver::PoolEntry TabIdentityResolver::PoolEntry::from(const TabRecord &record) {
    return {record.id, record.url, record.title, record.index};
}

namespace {

std::int64_t shifted(std::int64_t index, std::int64_t shift) {
    constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
    constexpr auto kMin = std::numeric_limits<std::int64_t>::min();
    if (shift > 0 && index > kMax - shift) return kMax;
    if (shift < 0 && index < kMin - shift) return kMin;
    return index + shift;
}

// The pairs (tab index, stored index), by tab index, that keep their order on both sides, the
// most of them.
std::vector<std::pair<std::int64_t, std::int64_t>> keptInOrder(const std::vector<std::pair<std::int64_t, std::int64_t>> &pairs) {
    std::vector<std::size_t> ends;
    std::vector<std::size_t> before(pairs.size(), pairs.size());
    for (std::size_t k = 0; k < pairs.size(); ++k) {
        const auto at = std::lower_bound(ends.begin(), ends.end(), pairs[k].second,
                                         [&](std::size_t e, std::int64_t stored) { return pairs[e].second < stored; });
        if (at != ends.begin()) before[k] = *(at - 1);
        if (at == ends.end()) ends.push_back(k);
        else *at = k;
    }
    std::vector<std::pair<std::int64_t, std::int64_t>> kept;
    for (auto k = ends.empty() ? pairs.size() : ends.back(); k < pairs.size(); k = before[k]) kept.push_back(pairs[k]);
    std::reverse(kept.begin(), kept.end());
    return kept;
}

}  // namespace

std::int64_t TabIdentityResolver::cost(const PoolEntry &entry, const Pending &tab, std::int64_t shift) {
    // Stored positions come from the record file and may be anything a 64-bit integer holds:
    // the cost saturates instead of wrapping.
    if (!entry.index) return 0;
    return positionDistance(shifted(*entry.index, shift), tab.index);
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

std::size_t TabIdentityResolver::claim(const std::vector<Pending> &pending, const std::vector<std::size_t> &rows,
                                       const std::vector<std::size_t> &columns, const std::vector<std::int64_t> &shift,
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
    const auto matching = matchSamePages(tabKeys, placeKeys, [&](std::size_t r, std::size_t c) {
        return cost(pool_[places[c]], pending[tabs[r]], shift[tabs[r]]);
    });
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
        std::vector<std::int64_t> shift(pending.size(), 0);
        if (!rows.empty() && !columns.empty()) {
            // A record released to reopen its page is the one its tab takes.
            if (!reopened.empty()) claimedCount += claim(pending, rows, reopened, shift, claimed, mapping);

            // A tab alone with its address among the tabs and the records is certain; the shift
            // of its window's records around it is the shift of its own.
            struct Seen {
                int tabs = 0;
                int records = 0;
                std::size_t record = 0;
            };
            QHash<QStringView, Seen> seen;
            seen.reserve(qsizetype(columns.size()));
            for (const auto position : columns)
                if (!claimed[position]) {
                    auto &s = seen[*pool_[position].url];
                    ++s.records;
                    s.record = position;
                }
            std::vector<Seen *> address(pending.size(), nullptr);
            for (const auto k : rows)
                if (!mapping.contains(pending[k].sessionTabID))
                    if (const auto found = seen.find(*pending[k].url); found != seen.end()) {
                        ++found->tabs;
                        address[k] = &*found;
                    }
            // Tab index and stored index of the certain tabs, window by window in tab order.
            std::vector<std::vector<std::pair<std::int64_t, std::int64_t>>> certain(windows.size());
            std::vector<std::size_t> left;
            for (const auto k : rows) {
                if (!address[k]) continue;  // no record shows its address
                if (address[k]->tabs != 1 || address[k]->records != 1) {
                    left.push_back(k);
                    continue;
                }
                const auto &entry = pool_[address[k]->record];
                claimed[address[k]->record] = true;
                mapping.insert(pending[k].sessionTabID, entry.id);
                ++claimedCount;
                if (entry.index) certain[pending[k].windowOrdinal].emplace_back(pending[k].index, *entry.index);
            }
            rows = std::move(left);
            std::erase_if(columns, [&](std::size_t position) { return claimed[position]; });
            if (rows.empty() || columns.empty()) columns.clear();

            // The others are expected where they stood, shifted as the nearest certain tab
            // before them was (or after them, with none before), of those that kept their order:
            // one moved far away says nothing of its neighbours.
            std::vector<std::vector<std::pair<std::int64_t, std::int64_t>>> kept(windows.size());
            std::vector<std::size_t> next(windows.size(), 0);
            std::vector<std::optional<std::int64_t>> lastExpected(windows.size());
            std::vector<std::int64_t> expected(pending.size(), 0);
            for (const auto k : rows) {  // in the poll's order, window by window
                const auto w = pending[k].windowOrdinal;
                if (!certain[w].empty() && kept[w].empty()) kept[w] = keptInOrder(certain[w]);
                const auto &around = kept[w];
                auto &n = next[w];
                while (n < around.size() && around[n].first <= pending[k].index) ++n;
                if (!around.empty()) {
                    const auto &anchor = n > 0 ? around[n - 1] : around.front();
                    shift[k] = anchor.first - anchor.second;
                }
                // Never before the tab ahead of it in its window, so that its window's order holds.
                auto &last = lastExpected[w];
                expected[k] = std::max(shifted(pending[k].index, -shift[k]), last.value_or(std::numeric_limits<std::int64_t>::min()));
                shift[k] = shifted(pending[k].index, -expected[k]);
                last = expected[k];
            }
            // Both sides in the order they stand in, so that tabs of a page keep their records'.
            std::stable_sort(rows.begin(), rows.end(), [&](std::size_t a, std::size_t b) {
                return std::tuple(expected[a], pending[a].windowOrdinal, pending[a].index) <
                       std::tuple(expected[b], pending[b].windowOrdinal, pending[b].index);
            });
            std::stable_sort(columns.begin(), columns.end(), [&](std::size_t a, std::size_t b) {
                const auto at = [&](std::size_t p) {
                    return pool_[p].index ? std::pair(1, *pool_[p].index) : std::pair(0, std::int64_t(0));
                };
                return at(a) < at(b);
            });
            if (!columns.empty()) claimedCount += claim(pending, rows, columns, shift, claimed, mapping);
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
