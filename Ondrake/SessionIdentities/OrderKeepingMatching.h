#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace ondrake {

// Row r's cost for column c; not negative.
using MatchingCost = std::function<std::int64_t(std::size_t row, std::size_t column)>;

// Pairs tabs (rows) with remembered places (columns) that show one page. Both come in the order
// they stand in, and no two pairs cross: identical tabs cannot be told apart by what they show,
// only by their order, so they keep it. As many pairs as the smaller side allows, at the least
// total cost; among equally cheap pairings the earlier places are taken. Answers the column of
// each row, none for a row left over. Exact at any size: the work grows with the smaller side
// times how many more the larger has, less where rows find places that cost nothing, and the
// memory by one bit for each of those.
std::vector<std::optional<std::size_t>> orderKeepingMatching(std::size_t rows, std::size_t columns,
                                                             const MatchingCost &cost);

// Of values given in the order of another list, the positions of the most that rise strictly,
// ascending: pairs that keep their order on both sides, those that moved past others left out.
std::vector<std::size_t> longestRisingRun(const std::vector<std::int64_t> &values);

// How far apart two positions are, saturating instead of wrapping for positions read from a file.
std::int64_t positionDistance(std::int64_t a, std::int64_t b);
// The sum of two costs, saturating.
std::int64_t addCosts(std::int64_t a, std::int64_t b);

}  // namespace ondrake
