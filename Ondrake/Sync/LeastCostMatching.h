#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace ondrake {

// Pairs tabs (rows) with remembered places (columns) that show one page, as many pairs as the
// smaller side allows, so that their costs add up to the least total. Among equally cheap
// pairings earlier rows are served first, each with its cheapest column, the earlier one on a
// tie; so a lone tab simply takes its cheapest place. Costs are not negative; row r's cost for
// column c is costs[r * columns + c]. Answers the column of each row, none for a row left over.
std::vector<std::optional<std::size_t>> leastCostMatching(std::size_t rows, std::size_t columns,
                                                          std::span<const std::int64_t> costs);

// How far apart two positions are, saturating instead of wrapping for positions read from a file.
std::int64_t positionDistance(std::int64_t a, std::int64_t b);
// The sum of two costs, saturating.
std::int64_t addCosts(std::int64_t a, std::int64_t b);

}  // namespace ondrake
