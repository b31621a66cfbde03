#pragma once

#include "SessionIdentities/SamePageMatching.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace ondrake {

// How the tabs a window showed at the last poll (places) line up with the tabs it shows now.
struct WindowLineUp {
    // The tab each place stands at now; none for a place that lines up with no tab.
    std::vector<std::optional<std::size_t>> tabOf;
    // Where each place should stand now, in half positions (twice a tab's index), so that a
    // place left between two tabs can stand between them.
    std::vector<std::int64_t> expected;
};

// Lines places up with tabs by what they show (address and title), at any size of change, in
// time that grows with the window and the size of the change: tabs of addresses one side alone
// has opened or closed count for nothing, identical tabs line up in order, a page open more than
// once counting double against a page shown once, which may have moved. For a change too large to
// read as what a person did; the keys must outlive the call.
// One side's keys, and the number of each one's address, equal for equal addresses on both sides.
struct WindowPageKeys {
    std::span<const PageKey> keys;
    std::span<const std::uint32_t> addresses;
};
WindowLineUp lineUpWindow(const WindowPageKeys &places, const WindowPageKeys &tabs);

}  // namespace ondrake
