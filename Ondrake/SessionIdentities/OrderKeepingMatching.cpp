#include "OrderKeepingMatching.h"

#include <algorithm>
#include <bit>
#include <limits>

namespace ondrake {

namespace {

constexpr auto kMaxCost = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kUnreached = -1;

using Matching = std::vector<std::optional<std::size_t>>;

// The pairing as a view in which rows are never more than columns; the caller's matching is
// written through it.
class Oriented {
public:
    Oriented(std::size_t rows, std::size_t columns, const MatchingCost &cost)
        : swapped_(rows > columns), cost_(cost), matching_(rows) {}

    bool swapped() const { return swapped_; }
    std::int64_t cost(std::size_t row, std::size_t column) const {
        return swapped_ ? cost_(column, row) : cost_(row, column);
    }
    void pair(std::size_t row, std::size_t column) {
        if (swapped_) matching_[column] = row;
        else matching_[row] = column;
    }
    Matching result() && { return std::move(matching_); }

private:
    bool swapped_;
    const MatchingCost &cost_;
    Matching matching_;
};

// One bit for each row and number of places passed over: set where the row's least total falls,
// that is where the least total up to there is first reached.
class Falls {
public:
    Falls(std::size_t rows, std::size_t skips) : words_((skips + 63) / 64), bits_(rows * words_, 0) {}

    void set(std::size_t row, std::size_t skip) { bits_[row * words_ + skip / 64] |= std::uint64_t(1) << (skip % 64); }
    // Where the row's least total over at most `skip` places passed over is first reached.
    std::size_t lastUpTo(std::size_t row, std::size_t skip) const {
        const auto *words = bits_.data() + row * words_;
        auto w = skip / 64;
        const auto kept = skip % 64 + 1;
        auto word = words[w] & (kept == 64 ? ~std::uint64_t(0) : (std::uint64_t(1) << kept) - 1);
        while (word == 0 && w > 0) word = words[--w];
        return word == 0 ? 0 : w * 64 + std::size_t(63 - std::countl_zero(word));
    }

private:
    std::size_t words_;
    std::vector<std::uint64_t> bits_;
};

// The total of a pairing found quickly: each row in turn takes the cheapest of the next few
// places that leave enough for the rows after it. No pairing the exact one need beat is dearer.
std::int64_t quickTotal(const Oriented &o, std::size_t rows, std::size_t columns) {
    constexpr std::size_t kAhead = 64;
    std::int64_t total = 0;
    std::size_t next = 0;
    for (std::size_t r = 0; r < rows; ++r) {
        const auto last = std::min(columns - (rows - r), next + kAhead);
        std::size_t chosen = next;
        auto least = o.cost(r, next);
        for (std::size_t c = next + 1; c <= last && least > 0; ++c)
            if (const auto here = o.cost(r, c); here < least) {
                chosen = c;
                least = here;
            }
        total = addCosts(total, least);
        next = chosen + 1;
    }
    return total;
}

// Every row paired with a column, in order, at the least total: the row at i takes column i + s,
// s the places passed over so far, which never falls. Row by row, the least total of the rows so
// far for each s; a cell is priced only where it could lower that, below what a quick pairing
// costs in all, so that rows that find their place at no cost look no further. One bit a cell
// keeps where the totals fall, enough to walk the cheapest pairing back.
void exact(Oriented &o, std::size_t rows, std::size_t columns) {
    const std::size_t skips = columns - rows + 1;
    const auto bound = quickTotal(o, rows, columns);
    std::vector<std::int64_t> before(skips, 0);  // the least total of the rows before, up to each s
    std::vector<std::int64_t> now(skips);
    Falls falls(rows, skips);
    for (std::size_t i = 0; i < rows; ++i) {
        std::int64_t least = kUnreached;
        for (std::size_t s = 0; s < skips; ++s) {
            const auto reach = before[s];
            if (reach != kUnreached && reach <= bound && (least == kUnreached || reach < least)) {
                const auto here = addCosts(reach, o.cost(i, i + s));
                if (least == kUnreached || here < least) {
                    least = here;
                    falls.set(i, s);
                }
            }
            now[s] = least;
        }
        std::swap(before, now);
    }
    // The earliest places among equally cheap ends, then back row by row.
    auto s = falls.lastUpTo(rows - 1, skips - 1);
    for (std::size_t i = rows; i-- > 0;) {
        o.pair(i, i + s);
        if (i > 0) s = falls.lastUpTo(i - 1, s);
    }
}

}  // namespace

std::vector<std::size_t> longestRisingRun(const std::vector<std::int64_t> &values) {
    std::vector<std::size_t> ends;  // of the runs of each length, the one ending lowest
    std::vector<std::size_t> before(values.size(), values.size());
    for (std::size_t k = 0; k < values.size(); ++k) {
        const auto at = std::lower_bound(ends.begin(), ends.end(), values[k],
                                         [&](std::size_t e, std::int64_t value) { return values[e] < value; });
        if (at != ends.begin()) before[k] = *(at - 1);
        if (at == ends.end()) ends.push_back(k);
        else *at = k;
    }
    std::vector<std::size_t> run;
    for (auto k = ends.empty() ? values.size() : ends.back(); k < values.size(); k = before[k]) run.push_back(k);
    std::reverse(run.begin(), run.end());
    return run;
}

std::int64_t positionDistance(std::int64_t a, std::int64_t b) {
    const std::uint64_t distance = a > b ? std::uint64_t(a) - std::uint64_t(b) : std::uint64_t(b) - std::uint64_t(a);
    return distance > std::uint64_t(kMaxCost) ? kMaxCost : std::int64_t(distance);
}

std::int64_t addCosts(std::int64_t a, std::int64_t b) { return a > kMaxCost - b ? kMaxCost : a + b; }


std::vector<std::optional<std::size_t>> orderKeepingMatching(std::size_t rows, std::size_t columns,
                                                             const MatchingCost &cost) {
    Oriented o(rows, columns, cost);
    const auto small = std::min(rows, columns);
    const auto large = std::max(rows, columns);
    if (small == 0) return std::move(o).result();
    if (small == large) {
        // As many places as tabs: in order is the only pairing that does not cross.
        for (std::size_t i = 0; i < small; ++i) o.pair(i, i);
        return std::move(o).result();
    }
    exact(o, small, large);
    return std::move(o).result();
}

}  // namespace ondrake
