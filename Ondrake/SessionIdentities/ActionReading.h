#pragma once

#include "SessionIdentities/ReadingCost.h"
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
// A tab dragged to another window reads, in each, as a close and an open. What a page does by
// itself where it stands (a new title at the same address) is no action, but is counted.
class ActionReading {
public:
    const ReadingCost &cost() const { return cost_; }
    // The tab each place stands at now; none for a place that closed.
    std::vector<std::optional<std::size_t>> tabsOf(std::size_t places) const;
    // Places closed alone and tabs opened alone: either may be a tab dragged between windows.
    std::vector<std::size_t> closedAlone() const;
    std::vector<std::size_t> openedAlone() const;

    using Segment = strip::Segment;
    static constexpr std::size_t kMostSegments = strip::kMostSegments;
    bool sameTabsAs(const ActionReading &o) const;

private:
    friend class ActionReader;
    std::array<Segment, kMostSegments> segments_{};
    std::size_t segmentCount_ = 0;
    std::array<std::uint32_t, 3> closedAlone_{};
    std::size_t closedAloneCount_ = 0;
    ReadingCost cost_;
};

// Reads a window's change as the cheapest few actions that explain it: up to two on any
// window, up to three where the difference is short. Of readings that cost the same, the one
// that pairs the earlier places with the earlier tabs; after it, for each address a reading of
// as many actions closes or opens one tab of alone, the cheapest such, so that polls of several
// windows can be read together. Nothing when no reading fits, or when the search ran out of its
// budget; the tables it needs are kept from one read to the next.
class ActionReader {
public:
    // What the readings of one poll may spend together. Every unit of work is a step (a
    // comparison, a lookup, an action offered or judged, a tab a reading closes or opens), so
    // that steps are time: a few for each tab the poll and the last one show, and as many as a
    // full search of a short difference in three actions takes, once, whatever the windows. The
    // poll runs on the main thread, so the whole stays within a frame.
    static constexpr std::size_t kStepsPerTab = 8;
    static constexpr std::size_t kStepsForAShortDifference = std::size_t(1) << 19;
    static SearchBudget budgetFor(std::size_t tabs);

    std::vector<ActionReading> read(const WindowPages &pages, WindowFocus focus, const SearchBudget &budget);
    // Reads that spent their whole budget before the search was done, since this reader began.
    std::uint64_t overBudget() const { return overBudget_; }

private:
    class Search;
    std::uint64_t overBudget_ = 0;
    StretchComparison::Tables tables_;
};

}  // namespace ondrake
