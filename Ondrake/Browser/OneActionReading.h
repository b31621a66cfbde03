#pragma once

#include "Browser/SamePageMatching.h"

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

namespace ondrake {

// What a window's two polls say beyond their pages: which tab was active at the last one, which
// is active now, and which of the last poll's tabs this system has just closed.
struct WindowFocus {
    std::optional<std::size_t> activePlace;  // among the last poll's tabs
    std::optional<std::size_t> activeTab;    // among this poll's
    std::span<const char> closedPlaces;      // empty, or a flag for each place
};

// Explains how a window changed between two polls by one thing a person does in the browser, as
// the browser does it:
// - opens a tab, or a block of tabs, that it makes active or leaves in the background;
// - closes a tab or a block; when the active tab was among them, the tab after them becomes
//   active, or the one before when they were the last;
// - a tab shows another page or title where it stands;
// - drags a tab or a block to another place in the strip; the active tab stays the same tab, or
//   a tab dragged alone becomes active;
// - activates another tab;
// a tab dragged to another window reads, in each window, as a close and an open.
// Where several such actions give this poll, the one that changes least is taken: one that
// leaves a tab this system closed still standing, then one that makes a dragged tab active, come
// last; then the one that shifts tabs the least. Whatever action is taken, a place that every
// fitting action pairs with the same tab is paired with it. Answers the tab each place (the last
// poll's tabs) stands at now, none for a place closed; nothing when no one action explains the
// change. Time grows with the window; the keys must outlive the call.
std::optional<std::vector<std::optional<std::size_t>>> readOneAction(std::span<const PageKey> places,
                                                                     std::span<const PageKey> tabs, WindowFocus focus);

}  // namespace ondrake
