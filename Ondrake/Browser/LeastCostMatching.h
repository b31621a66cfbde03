#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace ondrake {

// Row r's cost for column c; not negative.
using MatchingCost = std::function<std::int64_t(std::size_t row, std::size_t column)>;

// Pairs tabs (rows) with remembered places (columns) that show one page, as many pairs as the
// smaller side allows, so that their costs add up to the least total. Among equally cheap
// pairings earlier rows are served first, each with its cheapest column, the earlier one on a
// tie; so a lone tab simply takes its cheapest place. Answers the column of each row, none for a
// row left over. Groups larger than `leastCostMatchingIsExact` allows take the cheapest pairs
// first; a page open hundreds of times is paired row by row, in no more memory than the answer
// takes.
std::vector<std::optional<std::size_t>> leastCostMatching(std::size_t rows, std::size_t columns,
                                                          const MatchingCost &cost);
// Whether every pairing of this shape reaches the least total: whichever side is larger, so long
// as the smaller has at most three members, and more while the groups stay small.
bool leastCostMatchingIsExact(std::size_t rows, std::size_t columns);

// How far apart two positions are, saturating instead of wrapping for positions read from a file.
std::int64_t positionDistance(std::int64_t a, std::int64_t b);
// The sum of two costs, saturating.
std::int64_t addCosts(std::int64_t a, std::int64_t b);

}  // namespace ondrake
