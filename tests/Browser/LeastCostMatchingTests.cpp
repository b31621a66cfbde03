#include "Browser/LeastCostMatching.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
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

// The least total over every way of pairing, tried one by one.
std::int64_t bruteForce(std::size_t row, std::size_t rows, std::size_t columns, std::vector<bool> &used,
                        std::size_t pairsLeft, const std::vector<std::int64_t> &costs) {
    if (pairsLeft == 0) return 0;
    if (rows - row < pairsLeft) return kMax;
    auto best = bruteForce(row + 1, rows, columns, used, pairsLeft, costs);
    for (std::size_t c = 0; c < columns; ++c) {
        if (used[c]) continue;
        used[c] = true;
        const auto rest = bruteForce(row + 1, rows, columns, used, pairsLeft - 1, costs);
        used[c] = false;
        if (rest != kMax) best = std::min(best, rest + costs[row * columns + c]);
    }
    return best;
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

// Small groups are solved exactly: the totals equal the best found by trying every pairing.
TEST(LeastCostMatching, SmallGroupsReachTheLeastTotal) {
    std::mt19937 random(20260318);
    for (int round = 0; round < 400; ++round) {
        const std::size_t rows = 1 + random() % 5;
        const std::size_t columns = 1 + random() % 5;
        std::vector<std::int64_t> costs(rows * columns);
        for (auto &cost : costs) cost = std::int64_t(random() % 12);
        const auto matching = solve(rows, columns, costs);
        expectWellFormed(matching, rows, columns);
        std::vector<bool> used(columns, false);
        EXPECT_EQ(total(matching, columns, costs), bruteForce(0, rows, columns, used, std::min(rows, columns), costs))
            << "round " << round;
    }
}

// Large groups stay well formed, and positions that did not change pair up at no cost.
TEST(LeastCostMatching, LargeGroupsPairEveryoneOnce) {
    for (const std::size_t size : {30u, 300u}) {
        std::vector<std::int64_t> costs(size * size);
        for (std::size_t r = 0; r < size; ++r)
            for (std::size_t c = 0; c < size; ++c) costs[r * size + c] = positionDistance(std::int64_t(r), std::int64_t(c));
        const auto matching = solve(size, size, costs);
        expectWellFormed(matching, size, size);
        EXPECT_EQ(total(matching, size, costs), 0) << size;
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
