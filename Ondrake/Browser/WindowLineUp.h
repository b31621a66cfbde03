#pragma once

#include "Browser/SamePageMatching.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <utility>
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

// Lines places up with tabs by what they show (address and title), at any size of change:
// pages shown once on either side anchor the rest, tabs of addresses one side alone has opened
// or closed count for nothing, and between anchors identical tabs line up in order, a page open
// more than once counting double. Where positions alone cannot tell which of identical tabs
// went, the tab that was active and still is tells: `active` is the place active at the last
// poll with the tab active now. The keys must outlive the call.
WindowLineUp lineUpWindow(std::span<const PageKey> places, std::span<const PageKey> tabs,
                          std::optional<std::pair<std::size_t, std::size_t>> active = std::nullopt);

}  // namespace ondrake
