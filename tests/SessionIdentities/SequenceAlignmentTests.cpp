#include "SessionIdentities/SequenceAlignment.h"

#include <gtest/gtest.h>

#include <random>

using namespace ondrake;

namespace {

// The heaviest pairing of equal values, each worth `weight[value]`, within `band` diagonals of the
// main one (at least one, to step past a mismatch); none when the lengths differ by more.
std::optional<AlignedPairs> heaviestCommonSubsequence(const std::vector<std::uint32_t> &a, const std::vector<std::uint32_t> &b,
                                                      const std::vector<std::uint32_t> &weight, std::size_t band) {
    const auto apart = a.size() > b.size() ? a.size() - b.size() : b.size() - a.size();
    if (apart > band) return std::nullopt;
    const auto wide = std::int64_t(std::max<std::size_t>(band, 1));
    const auto worth = [&](std::size_t i, std::size_t j) { return a[i] == b[j] ? std::int64_t(weight[a[i]]) : 0; };
    return heaviestOnBand(a.size(), b.size(), worth, -wide, wide).first;
}

// The heaviest common subsequence's weight by the textbook table, with no band.
std::uint32_t heaviest(const std::vector<std::uint32_t> &a, const std::vector<std::uint32_t> &b,
                       const std::vector<std::uint32_t> &weight) {
    std::vector<std::vector<std::uint32_t>> table(a.size() + 1, std::vector<std::uint32_t>(b.size() + 1, 0));
    for (std::size_t i = a.size(); i-- > 0;)
        for (std::size_t j = b.size(); j-- > 0;)
            table[i][j] = std::max({table[i + 1][j], table[i][j + 1],
                                    a[i] == b[j] ? table[i + 1][j + 1] + weight[a[i]] : 0u});
    return table[0][0];
}

// Lists of few distinct values of weight 1 or 2, one derived from the other by some edits or
// drawn afresh. The pairs are of equal values, ascending on both sides; with a band as wide as
// the lists their weight is the most any pairing reaches, with a narrower one never more; and
// there is none exactly when the lengths differ by more than the band.
TEST(SequenceAlignment, FindsTheHeaviestCommonSubsequenceWithinTheBand) {
    std::mt19937 random(11);
    for (int round = 0; round < 3000; ++round) {
        const std::uint32_t values = 1 + random() % 5;
        std::vector<std::uint32_t> weight(values);
        for (auto &w : weight) w = 1 + random() % 2;
        std::vector<std::uint32_t> a(random() % 14);
        for (auto &v : a) v = random() % values;
        std::vector<std::uint32_t> b = a;
        if (round % 3 == 0) {
            b.resize(random() % 14);
            for (auto &v : b) v = random() % values;
        } else {
            for (int edits = int(random() % 4); edits > 0; --edits) {
                if (!b.empty() && random() % 2 == 0) b.erase(b.begin() + std::ptrdiff_t(random() % b.size()));
                else b.insert(b.begin() + std::ptrdiff_t(random() % (b.size() + 1)), random() % values);
            }
        }
        const bool wide = round % 2 == 0;
        const std::size_t band = wide ? a.size() + b.size() : random() % 6;
        const auto pairs = heaviestCommonSubsequence(a, b, weight, band);
        const auto apart = a.size() > b.size() ? a.size() - b.size() : b.size() - a.size();
        ASSERT_EQ(pairs.has_value(), apart <= band) << "round " << round;
        if (!pairs) continue;
        std::uint32_t total = 0;
        for (std::size_t k = 0; k < pairs->size(); ++k) {
            const auto [i, j] = (*pairs)[k];
            ASSERT_LT(i, a.size());
            ASSERT_LT(j, b.size());
            ASSERT_EQ(a[i], b[j]);
            total += weight[a[i]];
            if (k > 0) {
                EXPECT_LT((*pairs)[k - 1].first, i);
                EXPECT_LT((*pairs)[k - 1].second, j);
            }
        }
        if (wide) EXPECT_EQ(total, heaviest(a, b, weight)) << "round " << round;
        else EXPECT_LE(total, heaviest(a, b, weight)) << "round " << round;
    }
}

// A tab moved past two twins: the twins stay paired, whichever way the move is read.
TEST(SequenceAlignment, HeavierElementsWinOverAMovedLightOne) {
    const std::vector<std::uint32_t> weight{1, 2};  // 0: a page open once, 1: a page open twice
    const std::vector<std::uint32_t> before{0, 1, 1};
    const std::vector<std::uint32_t> after{1, 0, 1};
    const auto pairs = heaviestCommonSubsequence(before, after, weight, 4);
    using Pairs = std::vector<std::pair<std::size_t, std::size_t>>;
    EXPECT_EQ(pairs, (Pairs{{1, 0}, {2, 2}}));
}

}  // namespace

// The pairing on a widening band and the shortest difference reach what the textbook table
// reaches, on lists that differ by a few edits or wholly; the difference gives up past its limit.
TEST(SequenceAlignment, TheWideningBandAndTheShortestDifferenceFindTheBest) {
    std::mt19937 random(12);
    for (int round = 0; round < 3000; ++round) {
        const std::uint32_t values = 1 + random() % 5;
        std::vector<std::uint32_t> weight(values);
        for (auto &w : weight) w = 4 + 4 * (random() % 2);
        std::vector<std::uint32_t> a(random() % 60);
        for (auto &v : a) v = random() % values;
        std::vector<std::uint32_t> b = a;
        if (round % 4 == 0) {
            b.resize(random() % 60);
            for (auto &v : b) v = random() % values;
        } else {
            for (int edits = int(random() % 12); edits > 0; --edits) {
                if (!b.empty() && random() % 2 == 0) b.erase(b.begin() + std::ptrdiff_t(random() % b.size()));
                else b.insert(b.begin() + std::ptrdiff_t(random() % (b.size() + 1)), random() % values);
            }
        }
        const auto expectValid = [&](const AlignedPairs &pairs) {
            std::uint32_t total = 0;
            for (std::size_t k = 0; k < pairs.size(); ++k) {
                EXPECT_EQ(a[pairs[k].first], b[pairs[k].second]);
                if (k > 0) {
                    EXPECT_LT(pairs[k - 1].first, pairs[k].first);
                    EXPECT_LT(pairs[k - 1].second, pairs[k].second);
                }
                total += weight[a[pairs[k].first]];
            }
            return total;
        };
        std::vector<std::int64_t> most;
        for (const auto v : a) most.push_back(weight[v]);
        for (const auto v : b) most.push_back(weight[v]);
        const auto paired = heaviestPairing(
            a.size(), b.size(), [&](std::size_t i, std::size_t j) { return a[i] == b[j] ? std::int64_t(weight[a[i]]) : 0; }, most,
            4, std::size_t(1) << 20, 0);
        ASSERT_TRUE(paired.has_value());
        EXPECT_EQ(expectValid(*paired), heaviest(a, b, weight)) << "round " << round;

        const std::vector<std::uint32_t> unit(values, 1);
        const auto same = [&](std::size_t i, std::size_t j) { return a[i] == b[j]; };
        const auto difference = ShortestDifference(same, 1000).pairs(a.size(), b.size());
        ASSERT_TRUE(difference.has_value());
        expectValid(*difference);
        EXPECT_EQ(difference->size(), heaviest(a, b, unit)) << "round " << round;
    }
    // Two lists with nothing in common differ by all of both: past a limit of a few steps, none.
    const std::vector<std::uint32_t> zeros(50, 0);
    const std::vector<std::uint32_t> ones(50, 1);
    const auto same = [&](std::size_t i, std::size_t j) { return zeros[i] == ones[j]; };
    EXPECT_FALSE(ShortestDifference(same, 10).pairs(50, 50).has_value());
    EXPECT_EQ(ShortestDifference(same, 100).pairs(50, 50), AlignedPairs{});
    // The same past a budget of work in all, however many steps it allows.
    EXPECT_FALSE(ShortestDifference(same, 100, 500).pairs(50, 50).has_value());
    EXPECT_EQ(ShortestDifference(same, 100, 100000).pairs(50, 50), AlignedPairs{});
}

// Past its budget of cells the table gives up, or keeps to the widest band it could afford: a
// block traded past another further than the band reaches is then left unpaired, never paired
// out of order.
TEST(SequenceAlignment, TheTableStaysWithinItsBudget) {
    std::vector<std::uint32_t> a(400);
    for (std::size_t k = 0; k < a.size(); ++k) a[k] = std::uint32_t(k);
    auto b = a;
    std::rotate(b.begin() + 10, b.begin() + 210, b.begin() + 390);
    const auto weight = [&](std::size_t i, std::size_t j) { return a[i] == b[j] ? std::int64_t(1) : 0; };
    const std::vector<std::int64_t> most(a.size() + b.size(), 1);
    const auto exact = heaviestPairing(a.size(), b.size(), weight, most, 1, std::size_t(1) << 22, 0);
    ASSERT_TRUE(exact.has_value());
    EXPECT_EQ(exact->size(), 400u - 180u);
    EXPECT_FALSE(heaviestPairing(a.size(), b.size(), weight, most, 1, 50000, 0).has_value());
    const auto banded = heaviestPairing(a.size(), b.size(), weight, most, 1, 50000, 0, true);
    ASSERT_TRUE(banded.has_value());
    EXPECT_LT(banded->size(), exact->size());
    for (std::size_t k = 0; k < banded->size(); ++k) {
        EXPECT_EQ(a[(*banded)[k].first], b[(*banded)[k].second]);
        if (k > 0) {
            EXPECT_LT((*banded)[k - 1], (*banded)[k]);
        }
    }
    EXPECT_FALSE(heaviestPairing(a.size(), b.size(), weight, most, 1, 1000, 0, true).has_value()) << "not even the narrowest band";
}
