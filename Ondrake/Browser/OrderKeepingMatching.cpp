#include "OrderKeepingMatching.h"

#include <algorithm>
#include <limits>

namespace ondrake {

namespace {

constexpr auto kMaxCost = std::numeric_limits<std::int64_t>::max();
// The table of the exact pairing holds one cost per row and number of places passed over.
constexpr std::size_t kMaxCells = std::size_t(1) << 21;

using Matching = std::vector<std::optional<std::size_t>>;

std::size_t cellsFor(std::size_t rows, std::size_t columns) {
    const auto small = std::min(rows, columns);
    const auto skipped = std::max(rows, columns) - small;
    return small * (skipped + 1);
}

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

// Every row of [r0, r1) paired with a column of [c0, c1), in order, at the least total: the row
// at i takes column i + s, s the places passed over so far, which never falls.
void exact(Oriented &o, std::size_t r0, std::size_t r1, std::size_t c0, std::size_t c1) {
    const std::size_t n = r1 - r0;
    const std::size_t skips = (c1 - c0) - n + 1;
    // best[i * skips + s]: the least total of rows r0..r0+i with row r0+i at column c0+i+s.
    std::vector<std::int64_t> best(n * skips);
    for (std::size_t i = 0; i < n; ++i) {
        std::int64_t least = kMaxCost;  // of the row before, over the skips up to s
        for (std::size_t s = 0; s < skips; ++s) {
            if (i > 0) least = std::min(least, best[(i - 1) * skips + s]);
            const auto here = o.cost(r0 + i, c0 + i + s);
            best[i * skips + s] = i == 0 ? here : addCosts(least, here);
        }
    }
    // The earliest places among equally cheap ends, then back row by row.
    std::size_t s = std::size_t(std::min_element(best.end() - std::ptrdiff_t(skips), best.end()) -
                                (best.end() - std::ptrdiff_t(skips)));
    for (std::size_t i = n; i-- > 0;) {
        o.pair(r0 + i, c0 + i + s);
        if (i == 0) break;
        const auto row = best.begin() + std::ptrdiff_t((i - 1) * skips);
        s = std::size_t(std::min_element(row, row + std::ptrdiff_t(s) + 1) - row);
    }
}

// Too large to solve whole: each row in turn takes its cheapest place among those that leave
// enough for the rows after it. Costs are mostly distances from where a row should stand: once
// the places looked at add up to as many as the table would hold, a row whose costs have stayed
// above the least for a stretch of places has passed where it should stand, and looks no further.
void inTurn(Oriented &o, std::size_t r0, std::size_t r1, std::size_t c0, std::size_t c1) {
    constexpr std::size_t kPastBest = 64;
    std::size_t looked = 0;
    std::size_t next = c0;
    for (std::size_t r = r0; r < r1; ++r) {
        const auto last = c1 - (r1 - r);  // the latest place this row may take
        std::size_t chosen = next;
        std::int64_t least = o.cost(r, next);
        const auto stretch = looked < kMaxCells ? last - next + 1 : kPastBest;
        std::size_t above = 0;
        for (std::size_t c = next + 1; c <= last && least > 0 && above < stretch; ++c) {
            const auto here = o.cost(r, c);
            ++looked;
            if (here < least) {
                chosen = c;
                least = here;
            }
            above = here > least ? above + 1 : 0;
        }
        o.pair(r, chosen);
        next = chosen + 1;
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

bool orderKeepingMatchingIsExact(std::size_t rows, std::size_t columns) {
    return rows == columns || cellsFor(rows, columns) <= kMaxCells;
}

std::vector<std::optional<std::size_t>> orderKeepingMatching(std::size_t rows, std::size_t columns,
                                                             const MatchingCost &cost) {
    Oriented o(rows, columns, cost);
    std::size_t r0 = 0;
    std::size_t r1 = std::min(rows, columns);
    std::size_t c0 = 0;
    std::size_t c1 = std::max(rows, columns);
    if (r1 == 0) return std::move(o).result();
    if (r1 == c1) {
        // As many places as tabs: in order is the only pairing that does not cross.
        for (std::size_t i = 0; i < r1; ++i) o.pair(i, i);
        return std::move(o).result();
    }
    if (cellsFor(r1 - r0, c1 - c0) > kMaxCells) {
        // A pair at either end that costs nothing belongs to a cheapest pairing.
        while (r0 < r1 && o.cost(r0, c0) == 0) o.pair(r0++, c0++);
        while (r0 < r1 && o.cost(r1 - 1, c1 - 1) == 0) o.pair(--r1, --c1);
        if (r0 == r1) return std::move(o).result();
        if (cellsFor(r1 - r0, c1 - c0) > kMaxCells) {
            inTurn(o, r0, r1, c0, c1);
            return std::move(o).result();
        }
    }
    exact(o, r0, r1, c0, c1);
    return std::move(o).result();
}

}  // namespace ondrake
