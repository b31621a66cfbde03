#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <utility>
#include <vector>

namespace ondrake {

using AlignedPairs = std::vector<std::pair<std::size_t, std::size_t>>;

// Pairs of positions (in a, in b), ascending on both sides, whose weights add up to the most
// among the pairings whose path keeps to the diagonals lo <= j - i <= hi, with that total;
// `weight(i, j)` is what pairing a[i] with b[j] is worth, 0 where they may not pair. The band must
// hold both ends' diagonals and one more on each side, to step past a mismatch. Work and memory
// grow with the lengths times the band. Among equally heavy pairings, elements are paired as
// early as they can be.
template<typename Weight>
std::pair<AlignedPairs, std::int64_t> heaviestOnBand(std::size_t aSize, std::size_t bSize, const Weight &weight,
                                                     std::int64_t lo, std::int64_t hi) {
    const auto n = std::int64_t(aSize);
    const auto m = std::int64_t(bSize);
    constexpr std::int64_t kUnreachable = -1;
    // best[i * stride + (j - i - lo + 1)]: the heaviest pairing of a[i..] with b[j..]. A column
    // on either side of the band and a row past the end stay unreachable, so that no step needs
    // a bound checked.
    const std::int64_t stride = hi - lo + 3;
    std::vector<std::int64_t> best(std::size_t((n + 2) * stride), kUnreachable);
    const auto offset = [&](std::int64_t i, std::int64_t j) { return std::size_t(i * stride + (j - i - lo + 1)); };
    // What pairing a[i] with b[j] adds to the rest, unreachable where they may not pair.
    const auto diagonal = [&](std::int64_t i, std::int64_t j, std::size_t at) -> std::int64_t {
        if (i >= n || j >= m) return kUnreachable;
        const std::int64_t worth = weight(std::size_t(i), std::size_t(j));
        if (worth <= 0) return kUnreachable;
        const auto rest = best[at + std::size_t(stride)];
        return rest == kUnreachable ? kUnreachable : rest + worth;
    };
    for (std::int64_t i = n; i >= 0; --i) {
        const auto from = std::max<std::int64_t>(0, i + lo);
        for (std::int64_t j = std::min(m, i + hi); j >= from; --j) {
            const auto at = offset(i, j);
            std::int64_t value = i == n && j == m ? 0 : kUnreachable;
            // Passing a[i] by, b[j] by, or pairing them.
            value = std::max({value, diagonal(i, j, at), best[at + std::size_t(stride) - 1], best[at + 1]});
            best[at] = value;
        }
    }

    AlignedPairs pairs;
    std::int64_t i = 0;
    std::int64_t j = 0;
    while (i < n || j < m) {
        const auto at = offset(i, j);
        const auto here = best[at];
        if (diagonal(i, j, at) == here) {
            pairs.emplace_back(std::size_t(i), std::size_t(j));
            ++i, ++j;
        } else if (best[at + std::size_t(stride) - 1] == here) {
            ++i;
        } else {
            ++j;
        }
    }
    return {std::move(pairs), best[offset(0, 0)]};
}

// The heaviest pairing of all, found on a band that widens until no path off it could weigh as
// much: `most` holds what each element of a, then of b, is worth at the most in a pair, at least
// `least` or nothing, so a path that strays k diagonals further skips k more elements on each
// side; `slack` is twice what pairs may add beyond their elements' worth. Work grows with the
// lengths times the number of elements left unpaired, and stops before the bands tried would
// take more than `maxCells` in all: then none, or with `orWidest` the heaviest on the widest
// band tried (none when not even the narrowest fits).
template<typename Weight>
std::optional<AlignedPairs> heaviestPairing(std::size_t aSize, std::size_t bSize, const Weight &weight,
                                            std::span<const std::int64_t> most, std::int64_t least,
                                            std::size_t maxCells, std::int64_t slack, bool orWidest = false) {
    const auto n = std::int64_t(aSize);
    const auto m = std::int64_t(bSize);
    std::int64_t total = 0;
    for (const auto w : most) total += w;
    const auto apart = m > n ? m - n : n - m;
    std::optional<AlignedPairs> widest;
    std::size_t spent = 0;
    for (std::int64_t extra = 32;; extra *= 2) {
        const auto lo = std::min<std::int64_t>(0, m - n) - extra;
        const auto hi = std::max<std::int64_t>(0, m - n) + extra;
        spent += std::size_t(n + 1) * std::size_t(hi - lo + 1);
        if (spent > maxCells) return orWidest ? std::move(widest) : std::nullopt;
        auto [pairs, value] = heaviestOnBand(aSize, bSize, weight, lo, hi);
        // Twice what a path off the band could reach: every element it pairs, at its most.
        const auto offBand = total - (apart + 2 * extra + 2) * least + slack;
        if (2 * value >= offBand || extra >= n + m) return std::move(pairs);
        widest = std::move(pairs);
    }
}

// The longest common subsequence of two lists under `same`, by the difference of the fewest
// insertions and deletions, split at the middle of a shortest edit path and solved on each side
// in turn: time grows with the lengths times the size of the difference, memory with the
// lengths. None when a part's difference takes more than `limit` steps from either end, or the
// whole more than `work` comparisons and steps.
template<typename Same>
class ShortestDifference {
public:
    ShortestDifference(const Same &same, std::int64_t limit, std::int64_t work = std::numeric_limits<std::int64_t>::max())
        : same_(same), limit_(limit), work_(work) {}

    std::optional<AlignedPairs> pairs(std::size_t aSize, std::size_t bSize) {
        AlignedPairs pairs;
        // Parts to solve, the leftmost last; a part's equal end follows the parts inside it.
        std::vector<Range> ranges{{0, std::int64_t(aSize), 0, std::int64_t(bSize), false}};
        while (!ranges.empty()) {
            auto r = ranges.back();
            ranges.pop_back();
            if (r.equalEnd) {
                for (auto k = r.i0; k < r.i1; ++k) pairs.emplace_back(std::size_t(k), std::size_t(r.j0 + (k - r.i0)));
                continue;
            }
            while (r.i0 < r.i1 && r.j0 < r.j1 && same(r.i0, r.j0)) pairs.emplace_back(std::size_t(r.i0++), std::size_t(r.j0++));
            auto end = r;
            while (r.i0 < r.i1 && r.j0 < r.j1 && same(r.i1 - 1, r.j1 - 1)) --r.i1, --r.j1;
            if (r.i1 < end.i1) ranges.push_back({r.i1, end.i1, r.j1, end.j1, true});
            if (r.i0 == r.i1 || r.j0 == r.j1) continue;
            std::int64_t x = 0;
            std::int64_t y = 0;
            switch (bisect(r, x, y)) {
            case Split::tooLarge: return std::nullopt;
            case Split::none: continue;
            case Split::found: break;
            }
            if ((x == 0 && y == 0) || (x == r.i1 - r.i0 && y == r.j1 - r.j0)) return std::nullopt;  // no progress
            ranges.push_back({r.i0 + x, r.i1, r.j0 + y, r.j1, false});
            ranges.push_back({r.i0, r.i0 + x, r.j0, r.j0 + y, false});
        }
        return pairs;
    }

private:
    struct Range {
        std::int64_t i0, i1, j0, j1;
        bool equalEnd;  // pairs in order, already found
    };
    enum class Split { found, none, tooLarge };

    bool same(std::int64_t i, std::int64_t j) {
        --work_;
        return same_(std::size_t(i), std::size_t(j));
    }

    // Where the furthest paths from both corners meet, relative to the range's corner.
    Split bisect(const Range &r, std::int64_t &splitX, std::int64_t &splitY) {
        const auto n = r.i1 - r.i0;
        const auto m = r.j1 - r.j0;
        const auto maxD = (n + m + 1) / 2;
        // Paths of more than `limit_` steps are never followed, so need no room.
        const auto offset = std::min(maxD, limit_ + 1);
        forward_.assign(std::size_t(2 * offset + 2), -1);
        backward_.assign(std::size_t(2 * offset + 2), -1);
        forward_[std::size_t(offset + 1)] = 0;
        backward_[std::size_t(offset + 1)] = 0;
        const auto delta = n - m;
        const bool front = delta % 2 != 0;
        std::int64_t k1start = 0, k1end = 0, k2start = 0, k2end = 0;
        for (std::int64_t d = 0; d < maxD; ++d) {
            work_ -= 2 * d + 2;
            if (d > limit_ || work_ < 0) return Split::tooLarge;
            for (auto k1 = -d + k1start; k1 <= d - k1end; k1 += 2) {
                const auto at = std::size_t(offset + k1);
                auto x1 = k1 == -d || (k1 != d && forward_[at - 1] < forward_[at + 1]) ? forward_[at + 1] : forward_[at - 1] + 1;
                auto y1 = x1 - k1;
                while (x1 < n && y1 < m && same(r.i0 + x1, r.j0 + y1)) ++x1, ++y1;
                forward_[at] = x1;
                if (x1 > n) {
                    k1end += 2;
                } else if (y1 > m) {
                    k1start += 2;
                } else if (front) {
                    const auto other = offset + delta - k1;
                    if (other >= 0 && other < std::int64_t(backward_.size()) && backward_[std::size_t(other)] != -1 &&
                        x1 >= n - backward_[std::size_t(other)]) {
                        splitX = x1;
                        splitY = y1;
                        return Split::found;
                    }
                }
            }
            for (auto k2 = -d + k2start; k2 <= d - k2end; k2 += 2) {
                const auto at = std::size_t(offset + k2);
                auto x2 = k2 == -d || (k2 != d && backward_[at - 1] < backward_[at + 1]) ? backward_[at + 1] : backward_[at - 1] + 1;
                auto y2 = x2 - k2;
                while (x2 < n && y2 < m && same(r.i1 - x2 - 1, r.j1 - y2 - 1)) ++x2, ++y2;
                backward_[at] = x2;
                if (x2 > n) {
                    k2end += 2;
                } else if (y2 > m) {
                    k2start += 2;
                } else if (!front) {
                    const auto other = offset + delta - k2;
                    if (other >= 0 && other < std::int64_t(forward_.size()) && forward_[std::size_t(other)] != -1) {
                        const auto x1 = forward_[std::size_t(other)];
                        if (x1 >= n - x2) {
                            splitX = x1;
                            splitY = offset + x1 - other;
                            return Split::found;
                        }
                    }
                }
            }
        }
        return Split::none;
    }

    const Same &same_;
    std::int64_t limit_;
    std::int64_t work_;
    std::vector<std::int64_t> forward_;
    std::vector<std::int64_t> backward_;
};

}  // namespace ondrake
