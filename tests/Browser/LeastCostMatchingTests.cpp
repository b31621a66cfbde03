#include "Browser/LeastCostMatching.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <map>
#include <random>
#include <set>

using namespace ondrake;

namespace {

using Matching = std::vector<std::optional<std::size_t>>;
constexpr auto kMax = std::numeric_limits<std::int64_t>::max();

// The matching of costs laid out row after row.
Matching solve(std::size_t rows, std::size_t columns, const std::vector<std::int64_t> &costs) {
    return leastCostMatching(rows, columns, [&](std::size_t r, std::size_t c) { return costs[r * columns + c]; });
}

std::int64_t total(const Matching &matching, std::size_t columns, const std::vector<std::int64_t> &costs) {
    std::int64_t sum = 0;
    for (std::size_t r = 0; r < matching.size(); ++r)
        if (matching[r]) sum += costs[r * columns + *matching[r]];
    return sum;
}

// Every column at most once, and as many pairs as the smaller side has members.
void expectWellFormed(const Matching &matching, std::size_t rows, std::size_t columns) {
    ASSERT_EQ(matching.size(), rows);
    std::set<std::size_t> used;
    for (const auto &c : matching)
        if (c) {
            EXPECT_LT(*c, columns);
            EXPECT_TRUE(used.insert(*c).second) << "column " << *c << " twice";
        }
    EXPECT_EQ(used.size(), std::min(rows, columns));
}

// The least total over every way of pairing, tried one by one (each set of columns still free
// answered once).
std::int64_t bruteForce(std::size_t row, std::size_t rows, std::size_t columns, std::uint32_t used, std::size_t pairsLeft,
                        const std::vector<std::int64_t> &costs, std::map<std::pair<std::size_t, std::uint32_t>, std::int64_t> &seen) {
    if (pairsLeft == 0) return 0;
    if (rows - row < pairsLeft) return kMax;
    if (const auto found = seen.find({row, used}); found != seen.end()) return found->second;
    auto best = bruteForce(row + 1, rows, columns, used, pairsLeft, costs, seen);
    for (std::size_t c = 0; c < columns; ++c) {
        if (used & (1u << c)) continue;
        const auto rest = bruteForce(row + 1, rows, columns, used | (1u << c), pairsLeft - 1, costs, seen);
        if (rest != kMax) best = std::min(best, rest + costs[row * columns + c]);
    }
    seen[{row, used}] = best;
    return best;
}

std::int64_t bruteForce(std::size_t rows, std::size_t columns, const std::vector<std::int64_t> &costs) {
    std::map<std::pair<std::size_t, std::uint32_t>, std::int64_t> seen;
    return bruteForce(0, rows, columns, 0, std::min(rows, columns), costs, seen);
}

TEST(LeastCostMatching, ChoosesAsTheCasesWant) {
    struct Case {
        const char *what;
        std::size_t rows;
        std::size_t columns;
        std::vector<std::int64_t> costs;
        Matching expected;
    };
    const Case cases[] = {
        {"a lone row takes its cheapest column", 1, 3, {4, 1, 2}, {1}},
        {"a lone row takes the earlier column on a tie", 1, 3, {4, 1, 1}, {1}},
        {"a lone column goes to the cheapest row, not the first", 3, 1, {2, 0, 1}, {std::nullopt, 0, std::nullopt}},
        {"a lone column goes to the earlier row on a tie", 2, 1, {1, 1}, {0, std::nullopt}},
        // Row 0 would take column 0 at 2 and leave column 1 to row 1 at 7: 9 in all; crossed, 5.
        {"the least total, not the first row's best", 2, 2, {2, 3, 2, 7}, {1, 0}},
        {"equal totals: the earlier row gets its cheapest", 2, 2, {1, 1, 1, 1}, {0, 1}},
        {"equal totals: the earlier row's cheaper column wins", 2, 2, {0, 2, 2, 0}, {0, 1}},
        {"rows left over are the dearest", 3, 2, {9, 9, 0, 5, 5, 0}, {std::nullopt, 0, 1}},
        {"nothing to pair", 2, 0, {}, {std::nullopt, std::nullopt}},
        {"saturated costs do not wrap", 2, 2, {kMax, 0, kMax, kMax}, {1, 0}},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(solve(c.rows, c.columns, c.costs), c.expected) << c.what;
    }
}

// Wherever the pairing claims to be exact, in both shapes (more rows than columns and the
// reverse), its total equals the best found by trying every pairing.
TEST(LeastCostMatching, ClaimedShapesReachTheLeastTotal) {
    std::mt19937 random(20260318);
    int checked = 0;
    for (int round = 0; round < 1500; ++round) {
        std::size_t rows = 1 + random() % 11;
        std::size_t columns = 1 + random() % 11;
        // Now and then a few against many, either way round.
        if (round % 5 == 0) {
            rows = 1 + random() % 3;
            columns = 12 + random() % 20;
            if (random() % 2) std::swap(rows, columns);
        }
        if (!leastCostMatchingIsExact(rows, columns)) continue;
        std::vector<std::int64_t> costs(rows * columns);
        // Now small costs with many ties, now positions far apart.
        const std::uint32_t spread = round % 2 == 0 ? 12 : 100000;
        for (auto &cost : costs) cost = std::int64_t(random() % spread);
        const auto matching = solve(rows, columns, costs);
        expectWellFormed(matching, rows, columns);
        EXPECT_EQ(total(matching, columns, costs), bruteForce(rows, columns, costs))
            << rows << " x " << columns << ", round " << round;
        ++checked;
    }
    EXPECT_GT(checked, 600);
    // What the claim covers: a smaller side of three against any larger one, either way round.
    for (const auto &[rows, columns] : {std::pair<std::size_t, std::size_t>{2, 9}, {9, 2}, {3, 40}, {40, 3}, {6, 6}})
        EXPECT_TRUE(leastCostMatchingIsExact(rows, columns)) << rows << " x " << columns;
}

// Two tabs against nine remembered places: the pair that costs least in all, not the first
// row's nearest place.
TEST(LeastCostMatching, FewRowsAgainstManyColumnsAreSolvedExactly) {
    // Row 0 is nearest to column 4 (1 away), which row 1 needs more: 2 + 2 beats 1 + 5.
    std::vector<std::int64_t> costs{9, 9, 9, 2, 1, 9, 9, 9, 9,  //
                                    9, 9, 9, 9, 2, 5, 9, 9, 9};
    const auto matching = solve(2, 9, costs);
    EXPECT_EQ(matching, (Matching{3, 4}));
    EXPECT_EQ(total(matching, 9, costs), 4);
}

// Past the exact sizes the pairing takes the cheapest pairs first, and past that row by row.
// Where every row has one place it stands at exactly, among places at all sorts of distances,
// both still find all of them.
TEST(LeastCostMatching, GreedyTiersFindEveryExactPlace) {
    std::mt19937 random(7);
    for (const auto &[rows, columns] : {std::pair<std::size_t, std::size_t>{40, 60}, {60, 40}, {300, 320}, {320, 300}}) {
        // Rows and columns at scattered positions; the first min(rows, columns) rows each have
        // a column at the same position, in shuffled order.
        std::vector<std::int64_t> spots(100000);
        for (std::size_t i = 0; i < spots.size(); ++i) spots[i] = std::int64_t(i);
        std::shuffle(spots.begin(), spots.end(), random);
        std::vector<std::int64_t> rowAt(spots.begin(), spots.begin() + std::ptrdiff_t(rows));
        std::vector<std::int64_t> columnAt(spots.begin() + std::ptrdiff_t(rows), spots.begin() + std::ptrdiff_t(rows + columns));
        std::vector<std::size_t> order(columns);
        for (std::size_t c = 0; c < columns; ++c) order[c] = c;
        std::shuffle(order.begin(), order.end(), random);
        const auto pairs = std::min(rows, columns);
        for (std::size_t r = 0; r < pairs; ++r) columnAt[order[r]] = rowAt[r];
        std::vector<std::int64_t> costs(rows * columns);
        for (std::size_t r = 0; r < rows; ++r)
            for (std::size_t c = 0; c < columns; ++c) costs[r * columns + c] = positionDistance(rowAt[r], columnAt[c]);
        EXPECT_FALSE(leastCostMatchingIsExact(rows, columns));
        const auto matching = solve(rows, columns, costs);
        expectWellFormed(matching, rows, columns);
        for (std::size_t r = 0; r < pairs; ++r) EXPECT_EQ(matching[r], order[r]) << rows << " x " << columns << ", row " << r;
    }
}

TEST(LeastCostMatching, PositionDistanceSaturates) {
    constexpr auto kMin = std::numeric_limits<std::int64_t>::min();
    EXPECT_EQ(positionDistance(3, 8), 5);
    EXPECT_EQ(positionDistance(8, 3), 5);
    EXPECT_EQ(positionDistance(kMin, kMax), kMax);
    EXPECT_EQ(positionDistance(kMax, -1), kMax);
}

}  // namespace
