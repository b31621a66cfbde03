#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <utility>
#include <vector>

namespace ondrake {

// Pairs of equal elements, as positions (in a, in b) ascending on both sides, whose weights
// (`weight[value]`) add up to the most. Only pairings that stay within `band` of the diagonal
// count, that is where no prefix of one list has gained or lost more than `band` elements
// against the other (at least one, to step past a mismatch): the work and memory grow with the
// lengths times the band, so a few changes in a long list cost little. None when the lengths
// differ by more than the band. Among equally heavy pairings, elements are paired as early as
// they can be.
std::optional<std::vector<std::pair<std::size_t, std::size_t>>> heaviestCommonSubsequence(
    std::span<const std::uint32_t> a, std::span<const std::uint32_t> b, std::span<const std::uint32_t> weight,
    std::size_t band);

}  // namespace ondrake
