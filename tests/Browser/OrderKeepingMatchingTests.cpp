#include "Browser/OrderKeepingMatching.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <random>

using namespace ondrake;

namespace {

using Matching = std::vector<std::optional<std::size_t>>;
constexpr auto kMax = std::numeric_limits<std::int64_t>::max();

Matching solve(std::size_t rows, std::size_t columns, const std::vector<std::int64_t> &costs) {
    return orderKeepingMatching(rows, columns, [&](std::size_t r, std::size_t c) { return costs[r * columns + c]; });
}

std::int64_t total(const Matching &matching, std::size_t columns, const std::vector<std::int64_t> &costs) {
    std::int64_t sum = 0;
    for (std::size_t r = 0; r < matching.size(); ++r)
        if (matching[r]) sum = addCosts(sum, costs[r * columns + *matching[r]]);
    return sum;
}

// As many pairs as the smaller side has members, and none crossing another.
void expectWellFormed(const Matching &matching, std::size_t rows, std::size_t columns) {
    ASSERT_EQ(matching.size(), rows);
    std::size_t pairs = 0;
    std::optional<std::size_t> last;
    for (const auto &c : matching) {
        if (!c) continue;
        EXPECT_LT(*c, columns);
        if (last) {
            EXPECT_GT(*c, *last) << "pairs cross";
        }
        last = c;
        ++pairs;
    }
    EXPECT_EQ(pairs, std::min(rows, columns));
}

// The least total over every pairing that keeps the order, tried one by one.
std::int64_t bruteForce(std::size_t row, std::size_t column, std::size_t rows, std::size_t columns, std::size_t left,
                        const std::vector<std::int64_t> &costs) {
    if (left == 0) return 0;
    if (rows - row < left || columns - column < left) return kMax;
    std::int64_t best = kMax;
    if (rows - row > left) best = std::min(best, bruteForce(row + 1, column, rows, columns, left, costs));
    if (columns - column > left) best = std::min(best, bruteForce(row, column + 1, rows, columns, left, costs));
    const auto rest = bruteForce(row + 1, column + 1, rows, columns, left - 1, costs);
    if (rest != kMax) best = std::min(best, addCosts(rest, costs[row * columns + column]));
    return best;
}

TEST(OrderKeepingMatching, ChoosesAsTheCasesWant) {
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
        // Crossed would cost 0 + 0; as many places as tabs pair in order whatever the costs.
        {"equal sides never cross", 2, 2, {5, 0, 0, 5}, {0, 1}},
        // The shift the places have all taken: crossing would cost as much, and is not taken.
        {"a uniform shift pairs in order", 2, 3, {1, 0, 2, 2, 1, 0}, {1, 2}},
        {"equal totals: the earlier places", 2, 3, {0, 0, 0, 0, 0, 0}, {0, 1}},
        {"the dearest row is left over", 3, 2, {9, 9, 0, 5, 5, 0}, {std::nullopt, 0, 1}},
        {"nothing to pair", 2, 0, {}, {std::nullopt, std::nullopt}},
        {"saturated costs do not wrap", 2, 3, {kMax, 0, kMax, kMax, kMax, 0}, {1, 2}},
    };
    for (const auto &c : cases) EXPECT_EQ(solve(c.rows, c.columns, c.costs), c.expected) << c.what;
}

// Wherever the pairing claims to be exact, in both shapes, its total equals the best of every
// order-keeping pairing; it never crosses, whatever the size.
TEST(OrderKeepingMatching, ReachesTheLeastTotalWithoutCrossing) {
    std::mt19937 random(20261209);
    int checked = 0;
    for (int round = 0; round < 2000; ++round) {
        std::size_t rows = 1 + random() % 9;
        std::size_t columns = 1 + random() % 9;
        ASSERT_TRUE(orderKeepingMatchingIsExact(rows, columns));
        std::vector<std::int64_t> costs(rows * columns);
        // Now distances on a line, now costs of any shape with many ties, now a few saturated.
        std::vector<std::int64_t> rowAt(rows), columnAt(columns);
        for (auto &p : rowAt) p = std::int64_t(random() % 20);
        for (auto &p : columnAt) p = std::int64_t(random() % 20);
        std::sort(rowAt.begin(), rowAt.end());
        std::sort(columnAt.begin(), columnAt.end());
        for (std::size_t r = 0; r < rows; ++r)
            for (std::size_t c = 0; c < columns; ++c) {
                auto &cost = costs[r * columns + c];
                switch (round % 3) {
                case 0: cost = positionDistance(rowAt[r], columnAt[c]); break;
                case 1: cost = std::int64_t(random() % 6); break;
                default: cost = random() % 7 == 0 ? kMax : std::int64_t(random() % 1000); break;
                }
            }
        const auto matching = solve(rows, columns, costs);
        expectWellFormed(matching, rows, columns);
        EXPECT_EQ(total(matching, columns, costs), bruteForce(0, 0, rows, columns, std::min(rows, columns), costs))
            << rows << " x " << columns << ", round " << round;
        ++checked;
    }
    EXPECT_EQ(checked, 2000);
}

// A page open thousands of times, with hundreds more of it on one side: too large for the table,
// still never crossing, and where every row has a place at its own position (a block opened or
// closed anywhere) each row finds it.
TEST(OrderKeepingMatching, LargeGroupsStayInOrderAndFindTheirPlaces) {
    std::mt19937 random(7);
    for (const auto &[rows, columns] : {std::pair<std::size_t, std::size_t>{16000, 17000}, {17000, 16000}, {4000, 6000}}) {
        EXPECT_FALSE(orderKeepingMatchingIsExact(rows, columns));
        const auto small = std::min(rows, columns);
        const auto extra = std::max(rows, columns) - small;
        // The larger side stands at 0, 1, 2, ...; the smaller one lines up with it but for a
        // block of `extra` at a random place.
        const auto at = random() % (small + 1);
        const auto partner = [&](std::size_t k) { return k < at ? k : k + extra; };
        const auto matching = orderKeepingMatching(rows, columns, [&](std::size_t r, std::size_t c) {
            return rows < columns ? positionDistance(std::int64_t(partner(r)), std::int64_t(c))
                                  : positionDistance(std::int64_t(r), std::int64_t(partner(c)));
        });
        expectWellFormed(matching, rows, columns);
        for (std::size_t k = 0; k < small; ++k) {
            const auto wanted = partner(k);
            const auto found = rows < columns ? matching[k] : matching[wanted];
            EXPECT_EQ(found, rows < columns ? wanted : k) << rows << " x " << columns << ", at " << k;
        }
    }
}

TEST(OrderKeepingMatching, DistancesAndSumsSaturate) {
    constexpr auto kMin = std::numeric_limits<std::int64_t>::min();
    EXPECT_EQ(positionDistance(3, 8), 5);
    EXPECT_EQ(positionDistance(8, 3), 5);
    EXPECT_EQ(positionDistance(kMin, kMax), kMax);
    EXPECT_EQ(positionDistance(kMax, -1), kMax);
    EXPECT_EQ(addCosts(kMax - 1, 5), kMax);
    EXPECT_EQ(addCosts(2, 3), 5);
}

}  // namespace
