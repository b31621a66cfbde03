#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <utility>
#include <vector>

namespace ondrake {

// Pairs of positions (in a, in b), ascending on both sides, whose weights add up to the most;
// `weight(i, j)` is what pairing a[i] with b[j] is worth, 0 where they may not pair. Only
// pairings that stay within `band` of the diagonal count, that is where no prefix of one list has
// gained or lost more than `band` elements against the other (at least one, to step past a
// mismatch): the work and memory grow with the lengths times the band, so a few changes in a
// long list cost little. None when the lengths differ by more than the band. Among equally heavy
// pairings, elements are paired as early as they can be.
template<typename Weight>
std::optional<std::vector<std::pair<std::size_t, std::size_t>>> heaviestCommonSubsequence(std::size_t aSize, std::size_t bSize,
                                                                                          const Weight &weight,
                                                                                          std::size_t band) {
    const auto n = std::int64_t(aSize);
    const auto m = std::int64_t(bSize);
    if (n - m > std::int64_t(band) || m - n > std::int64_t(band)) return std::nullopt;
    // A mismatch is passed by one step off the diagonal and one back.
    const auto wide = std::max<std::int64_t>(std::int64_t(band), 1);
    const std::int64_t width = 2 * wide + 1;
    constexpr std::int64_t kUnreachable = -1;
    // best[i][j - i + band]: the heaviest pairing of a[i..] with b[j..]; unreachable off the band.
    std::vector<std::int64_t> best(std::size_t((n + 1) * width), kUnreachable);
    const auto cell = [&](std::int64_t i, std::int64_t j) -> std::int64_t {
        if (i > n || j > m || j < 0 || j - i > wide || i - j > wide) return kUnreachable;
        return best[std::size_t(i * width + (j - i + wide))];
    };
    const auto diagonal = [&](std::int64_t i, std::int64_t j) -> std::int64_t {
        if (i >= n || j >= m) return kUnreachable;
        const std::int64_t worth = weight(std::size_t(i), std::size_t(j));
        if (worth <= 0) return kUnreachable;
        const auto rest = cell(i + 1, j + 1);
        return rest == kUnreachable ? kUnreachable : rest + worth;
    };
    for (std::int64_t i = n; i >= 0; --i) {
        for (std::int64_t j = std::min(m, i + wide); j >= std::max<std::int64_t>(0, i - wide); --j) {
            std::int64_t value = i == n && j == m ? 0 : kUnreachable;
            value = std::max({value, diagonal(i, j), cell(i + 1, j), cell(i, j + 1)});
            best[std::size_t(i * width + (j - i + wide))] = value;
        }
    }

    std::vector<std::pair<std::size_t, std::size_t>> pairs;
    std::int64_t i = 0;
    std::int64_t j = 0;
    while (i < n || j < m) {
        const auto here = cell(i, j);
        if (diagonal(i, j) == here) {
            pairs.emplace_back(std::size_t(i), std::size_t(j));
            ++i, ++j;
        } else if (cell(i + 1, j) == here) {
            ++i;
        } else {
            ++j;
        }
    }
    return pairs;
}

// The same for equal elements of two lists, each worth `weight[value]`.
inline std::optional<std::vector<std::pair<std::size_t, std::size_t>>> heaviestCommonSubsequence(
    std::span<const std::uint32_t> a, std::span<const std::uint32_t> b, std::span<const std::uint32_t> weight,
    std::size_t band) {
    return heaviestCommonSubsequence(
        a.size(), b.size(), [&](std::size_t i, std::size_t j) { return a[i] == b[j] ? std::int64_t(weight[a[i]]) : 0; },
        band);
}

}  // namespace ondrake
