#pragma once

#include "SessionIdentities/OrderKeepingMatching.h"

#include <QStringView>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace ondrake {

// What a tab shows, or what a remembered place showed.
struct PageKey {
    QStringView url;
    QStringView title;
};

// Pairs tabs (rows) with remembered places (columns) that show the same address: first those
// with the same title too, then by the address alone. A lone tab of an address takes its
// cheapest place, the earlier one on a tie; tabs that share an address (and title) keep their
// order, so the caller gives both sides in the order they stand in, and are paired at the least
// total cost. Answers the place of each tab, none for a tab left without one. The keys must
// outlive the call.
std::vector<std::optional<std::size_t>> matchSamePages(std::span<const PageKey> tabs, std::span<const PageKey> places,
                                                       const MatchingCost &cost);
// The same with each address as a number, equal for equal addresses, so that none is hashed again.
std::vector<std::optional<std::size_t>> matchSamePages(std::span<const PageKey> tabs, std::span<const PageKey> places,
                                                       std::span<const std::uint32_t> tabAddresses,
                                                       std::span<const std::uint32_t> placeAddresses, const MatchingCost &cost);

}  // namespace ondrake
