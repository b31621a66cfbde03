#include "SessionIdentities/OrderKeepingMatching.h"

#include "TestSeed.h"

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

// The whole table, one total for each row and number of places passed over, walked back from the
// earliest cheapest end to the earliest cheapest place of each row before: the pairing to equal.
Matching fullScan(std::size_t rows, std::size_t columns, const MatchingCost &cost) {
    Matching matching(rows);
    const bool swapped = rows > columns;
    const auto n = std::min(rows, columns);
    const auto skips = std::max(rows, columns) - n + 1;
    if (n == 0) return matching;
    const auto at = [&](std::size_t r, std::size_t c) { return swapped ? cost(c, r) : cost(r, c); };
    std::vector<std::int64_t> best(n * skips);
    for (std::size_t i = 0; i < n; ++i) {
        std::int64_t least = kMax;
        for (std::size_t s = 0; s < skips; ++s) {
            if (i > 0) least = std::min(least, best[(i - 1) * skips + s]);
            best[i * skips + s] = i == 0 ? at(i, i + s) : addCosts(least, at(i, i + s));
        }
    }
    const auto end = best.begin() + std::ptrdiff_t(n * skips);
    auto s = std::size_t(std::min_element(end - std::ptrdiff_t(skips), end) - (end - std::ptrdiff_t(skips)));
    for (std::size_t i = n; i-- > 0;) {
        if (swapped) matching[i + s] = i;
        else matching[i] = i + s;
        if (i == 0) break;
        const auto row = best.begin() + std::ptrdiff_t((i - 1) * skips);
        s = std::size_t(std::min_element(row, row + std::ptrdiff_t(s) + 1) - row);
    }
    return matching;
}

// Costs as the restart resolver builds them: tabs expected at a place, or as near as the tabs
// beside them say, several at the same place; records at their stored places, some without one,
// and a record whose tab had closed dearer than any distance.
struct ResolverCosts {
    struct Tab {
        std::int64_t at = 0;
        std::optional<std::int64_t> before, after;
    };
    struct Record {
        std::optional<std::int64_t> at;
        bool closed = false;
    };
    std::vector<Tab> tabs;
    std::vector<Record> records;

    std::int64_t operator()(std::size_t t, std::size_t r) const {
        constexpr std::int64_t kClosed = std::int64_t(1) << 40;
        const auto &record = records[r];
        const std::int64_t base = record.closed ? kClosed : 0;
        if (!record.at) return base;
        auto least = positionDistance(*record.at, tabs[t].at);
        if (tabs[t].before) least = std::min(least, positionDistance(*record.at, *tabs[t].before));
        if (tabs[t].after) least = std::min(least, positionDistance(*record.at, *tabs[t].after));
        return addCosts(least, base);
    }

    // Records in stored order, every `closedEvery`-th (or a random share) closed; tabs where
    // records stood, shifted by blocks, repeated, or between two places.
    static ResolverCosts random(std::mt19937 &random, std::size_t tabCount, std::size_t recordCount, std::size_t closedEvery) {
        ResolverCosts costs;
        std::int64_t place = 0;
        for (std::size_t r = 0; r < recordCount; ++r) {
            place += std::int64_t(random() % 3);  // two records may have stood at one place
            const bool unplaced = random() % 50 == 0;
            const bool closed = closedEvery > 0 ? r % closedEvery == closedEvery - 1 : random() % 3 == 0;
            costs.records.push_back({unplaced ? std::nullopt : std::optional(place), closed});
        }
        std::sort(costs.records.begin(), costs.records.end(), [](const Record &a, const Record &b) {
            return a.at.value_or(-1) < b.at.value_or(-1);
        });
        std::int64_t at = 0;
        std::int64_t shift = 0;
        for (std::size_t t = 0; t < tabCount; ++t) {
            if (random() % 40 == 0) shift += std::int64_t(random() % 9) - 4;
            if (random() % 4 != 0) at += 1 + std::int64_t(random() % 2);  // several expected at one place
            Tab tab{at + shift, std::nullopt, std::nullopt};
            if (random() % 5 == 0) tab.before = at + shift - std::int64_t(random() % 6);
            if (random() % 5 == 0) tab.after = at + shift + std::int64_t(random() % 6);
            costs.tabs.push_back(tab);
        }
        return costs;
    }

    // Records at one place after another, every `closedEvery`-th closed; tabs of a window with
    // nothing else to go by, each expected at its own place.
    static ResolverCosts inPlace(std::size_t tabCount, std::size_t recordCount, std::size_t closedEvery) {
        ResolverCosts costs;
        for (std::size_t r = 0; r < recordCount; ++r)
            costs.records.push_back({std::int64_t(r + 1), r % closedEvery == closedEvery - 1});
        for (std::size_t t = 0; t < tabCount; ++t) costs.tabs.push_back({std::int64_t(t + 1), std::nullopt, std::nullopt});
        return costs;
    }
};

// Tabs paired with records whose tab had closed while records of open tabs were left unpaired.
int closedBeforeOpen(const Matching &matching, const ResolverCosts &costs) {
    std::vector<bool> taken(costs.records.size(), false);
    int closed = 0;
    for (const auto &r : matching)
        if (r) {
            taken[*r] = true;
            closed += costs.records[*r].closed;
        }
    int openLeft = 0;
    for (std::size_t r = 0; r < costs.records.size(); ++r) openLeft += !taken[r] && !costs.records[r].closed;
    return std::min(closed, openLeft);
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

// In both shapes, the pairing's total equals the best of every order-keeping pairing; it never
// crosses, whatever the size.
TEST(OrderKeepingMatching, ReachesTheLeastTotalWithoutCrossing) {
    const test::Seed seed(20261209);
    std::mt19937 random(seed.value());
    int checked = 0;
    for (int round = 0; round < 2000; ++round) {
        std::size_t rows = 1 + random() % 9;
        std::size_t columns = 1 + random() % 9;
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

// Large pairings as the restart resolver builds them, records of closed tabs among those of open
// ones and tabs expected at the same places: the same pairing as the whole table gives, and no
// closed tab's record taken while an open one's is left. The pages the cases name, then pages
// of random shapes either way round.
TEST(OrderKeepingMatching, LargePairingsEqualTheWholeTable) {
    const test::Seed seed(20261210);
    std::mt19937 random(seed.value());
    struct Case {
        const char *what;
        std::size_t tabs;
        std::size_t records;
        std::size_t closedEvery;  // 0: a random third
        bool inPlace = false;     // each tab expected at its own place
    };
    std::vector<Case> cases{
        {"2,000 tabs at their own places, 3,200 records, every third closed", 2000, 3200, 3, true},
        {"2,000 tabs, 3,200 records, every third closed", 2000, 3200, 3},
        {"more tabs than records", 2600, 1500, 4},
        {"a few more records than tabs", 3000, 3100, 0},
    };
    for (int round = 0; round < 8; ++round) {
        const auto tabs = 600 + std::size_t(random() % 1800);
        const auto records = round % 2 == 0 ? tabs + 300 + random() % 1500 : tabs - 200 - random() % 400;
        cases.push_back({"random", tabs, records, 0});
    }
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.what << ": " << c.tabs << " tabs, " << c.records << " records");
        const auto costs = c.inPlace ? ResolverCosts::inPlace(c.tabs, c.records, c.closedEvery)
                                     : ResolverCosts::random(random, c.tabs, c.records, c.closedEvery);
        const auto matching = orderKeepingMatching(c.tabs, c.records, costs);
        expectWellFormed(matching, c.tabs, c.records);
        EXPECT_EQ(matching, fullScan(c.tabs, c.records, costs));
        if (c.tabs <= c.records) {
            EXPECT_EQ(closedBeforeOpen(matching, costs), 0);
        }
    }
}

// A page open thousands of times, with hundreds more of it on one side: never crossing, and
// where every row has a place at its own position (a block opened or closed anywhere) each row
// finds it.
TEST(OrderKeepingMatching, LargeGroupsStayInOrderAndFindTheirPlaces) {
    std::mt19937 random(7);
    for (const auto &[rows, columns] : {std::pair<std::size_t, std::size_t>{16000, 17000}, {17000, 16000}, {4000, 6000}}) {
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
