#pragma once

#include "SessionIdentities/StretchComparison.h"
#include "SessionIdentities/TabStrip.h"

#include <array>
#include <compare>
#include <cstddef>
#include <cstdint>
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

// One way a window changed between two polls by what a person did in the browser, as the
// browser does it: opening a tab or a block, in front (its first or last tab made active) or behind;
// closing one (the active one among them hands on to the tab after them, or before them when they
// were last); a tab going to another address where it stands; dragging a tab or a block past its
// neighbours (the active tab kept, or a tab dragged alone made active); activating another tab.
// One action may take a block of any size; of two, one at most more than a tab or two, unless
// both open or both close. A tab dragged to another window reads, in each, as a close and an
// open. What a page does by itself where it stands (a new title at the same address) is no
// action, though of two readings alike in actions the one with fewer comes first.
class ActionReading {
public:
    struct Rank {
        int actions = 0;
        std::size_t closedKept = 0;    // tabs this system closed that still stand
        std::size_t lost = 0;          // places gone or gone to another address: fewer is likelier
        std::size_t retitles = 0;      // titles of an address that became others
        std::size_t retitledTabs = 0;  // tabs showing their address under another title
        std::size_t touched = 0;       // tabs the actions open, close, drag or send elsewhere
        int surprise = 0;              // a tab dragged made active, which the browser does less
        std::uint64_t shifted = 0;    // how far the places moved, added up
        auto operator<=>(const Rank &) const = default;
    };

    const Rank &rank() const { return rank_; }
    // The tab each place stands at now; none for a place that closed.
    std::vector<std::optional<std::size_t>> tabsOf(std::size_t places) const;
    // Places closed alone and tabs opened alone: either may be a tab dragged between windows.
    std::vector<std::size_t> closedAlone() const;
    std::vector<std::size_t> openedAlone() const;

    using Segment = strip::Segment;
    static constexpr std::size_t kMostSegments = strip::kMostSegments;

private:
    friend class ActionReader;
    std::array<Segment, kMostSegments> segments_{};
    std::size_t segmentCount_ = 0;
    std::array<std::uint32_t, 2> closedAlone_{};
    std::size_t closedAloneCount_ = 0;
    Rank rank_;
};

// Reads a window's change as the fewest actions that explain it, up to two. Answers the likeliest
// reading first: fewest actions, then the fewest tabs left standing that this system closed, then
// the most places showing what they showed, then fewest retitles, then the fewest tabs the
// actions touch, then a dragged tab left inactive, then the least shift, then the earlier
// places paired with the earlier tabs; after it, for each address a reading as likely in actions
// closes or opens one tab of alone, the likeliest such, so that polls of several windows can be
// read together. Nothing when no two actions explain the change. The work is bounded by a budget
// that grows with the window; the tables it needs are kept from one read to the next.
class ActionReader {
public:
    std::vector<ActionReading> read(const WindowPages &pages, WindowFocus focus);
    // Reads that spent their whole budget before the search was done, since this reader began.
    std::uint64_t overBudget() const { return overBudget_; }

private:
    std::uint64_t overBudget_ = 0;
    struct Search;
    StretchComparison::Tables tables_;
};

}  // namespace ondrake
