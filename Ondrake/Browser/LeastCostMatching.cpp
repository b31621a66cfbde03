#include "LeastCostMatching.h"

#include <algorithm>
#include <bit>
#include <limits>
#include <span>
#include <tuple>

namespace ondrake {

namespace {

constexpr auto kMaxCost = std::numeric_limits<std::int64_t>::max();

// Groups of a few on each side, the usual twins, are solved exactly over the subsets of columns.
constexpr std::size_t kExactColumns = 9;
constexpr std::size_t kExactStates = 4096;
// Larger groups take the cheapest pairs first; past this many pairs, each row in turn takes its
// cheapest column, so a page open hundreds of times costs no more than it always did.
constexpr std::size_t kSortedPairs = std::size_t(1) << 16;

using Matching = std::vector<std::optional<std::size_t>>;

Matching exact(std::size_t rows, std::size_t columns, std::span<const std::int64_t> costs) {
    const std::size_t pairs = std::min(rows, columns);
    const std::size_t masks = std::size_t(1) << columns;
    // Whether rows i.. can still bring the columns in `mask` up to the number of pairs.
    const auto feasible = [&](std::size_t i, std::size_t mask) {
        const auto used = std::size_t(std::popcount(mask));
        return used <= pairs && pairs - used <= rows - i;
    };
    // best[i * masks + mask]: the least cost of rows i.. with the columns in `mask` taken.
    std::vector<std::int64_t> best((rows + 1) * masks, 0);
    for (std::size_t i = rows; i-- > 0;) {
        for (std::size_t mask = 0; mask < masks; ++mask) {
            if (!feasible(i, mask)) continue;
            std::int64_t least = kMaxCost;
            bool any = false;
            if (feasible(i + 1, mask)) {
                least = best[(i + 1) * masks + mask];
                any = true;
            }
            for (std::size_t c = 0; c < columns; ++c) {
                const std::size_t bit = std::size_t(1) << c;
                if ((mask & bit) || !feasible(i + 1, mask | bit)) continue;
                const auto cost = addCosts(costs[i * columns + c], best[(i + 1) * masks + (mask | bit)]);
                if (!any || cost < least) least = cost;
                any = true;
            }
            best[i * masks + mask] = least;
        }
    }

    Matching matching(rows);
    std::size_t mask = 0;
    for (std::size_t i = 0; i < rows; ++i) {
        const auto target = best[i * masks + mask];
        std::optional<std::size_t> chosen;
        for (std::size_t c = 0; c < columns; ++c) {
            const std::size_t bit = std::size_t(1) << c;
            if ((mask & bit) || !feasible(i + 1, mask | bit)) continue;
            const auto cost = costs[i * columns + c];
            if (addCosts(cost, best[(i + 1) * masks + (mask | bit)]) != target) continue;
            if (!chosen || cost < costs[i * columns + *chosen]) chosen = c;
        }
        if (chosen) {
            matching[i] = chosen;
            mask |= std::size_t(1) << *chosen;
        }
    }
    return matching;
}

bool fitsExactly(std::size_t rows, std::size_t columns) {
    return columns <= kExactColumns && rows + 1 <= (kExactStates >> columns);
}

// With no more rows than columns, a row's partner in the preferred pairing is always among its
// `rows` cheapest columns: of those, the other rows hold at most one fewer, and a free one is no
// dearer and comes earlier. The columns outside every row's short list can go.
std::vector<std::size_t> shortListedColumns(std::size_t rows, std::size_t columns, std::span<const std::int64_t> costs) {
    std::vector<bool> listed(columns, false);
    std::vector<std::size_t> order(columns);
    for (std::size_t r = 0; r < rows; ++r) {
        for (std::size_t c = 0; c < columns; ++c) order[c] = c;
        const auto byCost = [&](std::size_t a, std::size_t b) {
            return std::tie(costs[r * columns + a], a) < std::tie(costs[r * columns + b], b);
        };
        std::partial_sort(order.begin(), order.begin() + std::ptrdiff_t(rows), order.end(), byCost);
        for (std::size_t k = 0; k < rows; ++k) listed[order[k]] = true;
    }
    std::vector<std::size_t> kept;
    for (std::size_t c = 0; c < columns; ++c)
        if (listed[c]) kept.push_back(c);
    return kept;
}

// The exact pairing over the short-listed columns alone, when they are few enough.
std::optional<Matching> exactOverShortList(std::size_t rows, std::size_t columns, std::span<const std::int64_t> costs) {
    const auto kept = shortListedColumns(rows, columns, costs);
    if (!fitsExactly(rows, kept.size())) return std::nullopt;
    std::vector<std::int64_t> reduced;
    reduced.reserve(rows * kept.size());
    for (std::size_t r = 0; r < rows; ++r)
        for (const auto c : kept) reduced.push_back(costs[r * columns + c]);
    auto matching = exact(rows, kept.size(), reduced);
    for (auto &c : matching)
        if (c) c = kept[*c];
    return matching;
}

Matching cheapestPairsFirst(std::size_t rows, std::size_t columns, std::span<const std::int64_t> costs) {
    std::vector<std::tuple<std::int64_t, std::size_t, std::size_t>> pairs;
    pairs.reserve(rows * columns);
    for (std::size_t r = 0; r < rows; ++r)
        for (std::size_t c = 0; c < columns; ++c) pairs.emplace_back(costs[r * columns + c], r, c);
    std::sort(pairs.begin(), pairs.end());
    Matching matching(rows);
    std::vector<bool> taken(columns, false);
    std::size_t left = std::min(rows, columns);
    for (const auto &[cost, r, c] : pairs) {
        if (left == 0) break;
        if (matching[r] || taken[c]) continue;
        matching[r] = c;
        taken[c] = true;
        --left;
    }
    return matching;
}

Matching rowByRow(std::size_t rows, std::size_t columns, const MatchingCost &cost) {
    Matching matching(rows);
    std::vector<bool> taken(columns, false);
    std::size_t left = columns;
    for (std::size_t r = 0; r < rows && left > 0; ++r) {
        std::optional<std::size_t> chosen;
        std::int64_t least = 0;
        for (std::size_t c = 0; c < columns; ++c) {
            if (taken[c]) continue;
            const auto candidate = cost(r, c);
            if (!chosen || candidate < least) {
                chosen = c;
                least = candidate;
            }
        }
        matching[r] = chosen;
        taken[*chosen] = true;
        --left;
    }
    return matching;
}

}  // namespace

std::int64_t positionDistance(std::int64_t a, std::int64_t b) {
    const std::uint64_t distance = a > b ? std::uint64_t(a) - std::uint64_t(b) : std::uint64_t(b) - std::uint64_t(a);
    return distance > std::uint64_t(kMaxCost) ? kMaxCost : std::int64_t(distance);
}

std::int64_t addCosts(std::int64_t a, std::int64_t b) { return a > kMaxCost - b ? kMaxCost : a + b; }

bool leastCostMatchingIsExact(std::size_t rows, std::size_t columns) {
    if (rows <= 1 || columns == 0) return true;
    if (rows > columns) return fitsExactly(rows, columns);
    return rows <= kExactColumns && fitsExactly(rows, std::min(columns, rows * rows));
}

std::vector<std::optional<std::size_t>> leastCostMatching(std::size_t rows, std::size_t columns,
                                                          const MatchingCost &cost) {
    if (rows == 0 || columns == 0) return Matching(rows);
    if (rows == 1) return rowByRow(rows, columns, cost);
    const bool exactly = fitsExactly(rows, columns);
    // Few rows against many columns may still be solved exactly over their short lists.
    const bool shortList = !exactly && rows <= columns && fitsExactly(rows, rows);
    if (!exactly && !shortList && rows * columns > kSortedPairs) return rowByRow(rows, columns, cost);
    std::vector<std::int64_t> costs;
    costs.reserve(rows * columns);
    for (std::size_t r = 0; r < rows; ++r)
        for (std::size_t c = 0; c < columns; ++c) costs.push_back(cost(r, c));
    if (exactly) return exact(rows, columns, costs);
    if (shortList)
        if (auto matching = exactOverShortList(rows, columns, costs)) return std::move(*matching);
    return rows * columns > kSortedPairs ? rowByRow(rows, columns, cost) : cheapestPairsFirst(rows, columns, costs);
}

}  // namespace ondrake
