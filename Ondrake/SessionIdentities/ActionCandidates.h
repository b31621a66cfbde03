#pragma once

#include "SessionIdentities/StretchComparison.h"
#include "SessionIdentities/TabStrip.h"

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <vector>

namespace ondrake {

// Where the actions of a reading may stand. An action's edges stand where the strip first or
// last differs from this poll, or slide from there along tabs alike; of the places a slide may
// take, only its ends and those where something tells the tabs apart (the active tab, a title)
// are worth trying, the others giving the same pages at a worse position. A block's other edge
// is found by the address of the tab it brings, never by trying every place. Every step is paid
// from the comparison's budget.
class ActionCandidates {
public:
    using Op = strip::Op;
    using Strip = strip::Strip;
    using Activity = strip::Activity;

    ActionCandidates(const StretchComparison &cmp, const WindowPages &pages, std::optional<std::size_t> activeTab)
        : cmp_(cmp), pages_(pages), m_(pages.tabs.size()), activeTab_(activeTab) {}

    // The actions that may finish turning the strip into this poll, with up to `spare` tabs sent
    // to another address besides.
    void last(const Strip &s, const Activity &active, int spare, std::vector<Op> &out) const;
    // The first of several actions: one that stands at the first difference or at the last, or
    // a drag whose blocks reach from one to the other. Whichever comes second of two actions that
    // stand apart, one of them stands at each end; a drag that spans both ends, done first, leaves
    // what the other action did inside one of its blocks.
    // With `spare` tabs sent elsewhere before it, at either end.
    void first(const Strip &s, const Activity &active, int spare, std::vector<Op> &out) const;
    // Every action whose edges stand inside the difference, or slide from it: for a difference of
    // up to `kShortDifference` tabs, where three actions are read.
    void everyNear(const Strip &s, const Activity &active, std::vector<Op> &out) const;

    // A difference short enough to read as up to three actions: the tabs between the first and
    // the last difference, on the longer side.
    static constexpr std::size_t kShortDifference = 8;
    bool isShort(const Strip &s) const;

    // Where the strip stops showing this poll's tabs from the start, after skipping up to two
    // differences, and where it starts showing them to the end.
    struct Edges {
        std::array<std::size_t, 3> head{};
        std::array<std::size_t, 3> tailStart{};  // in the strip
    };
    Edges edgesOf(const Strip &s) const;

private:
    // Places worth trying in [lo, hi]: its ends, those beside where the active tab was and is,
    // `titled`, and where a title changes.
    void within(const Strip &s, std::size_t lo, std::size_t hi, std::size_t size, const Activity &active,
                std::span<const std::size_t> titled, std::vector<std::size_t> &out) const;
    std::array<std::size_t, 2> titledEnds(const Strip &s, std::ptrdiff_t shiftBy) const;
    void openOrClose(const Strip &s, const Activity &active, int spare, const Edges &e, std::vector<Op> &out) const;
    void drags(const Strip &s, const Activity &active, int spare, const Edges &e, std::vector<Op> &out) const;
    // What an action that explains this poll's tab `q` may be, seen from the start of the strip
    // or, mirrored, from its end: everything before `q` stands as it stood, or slid along tabs
    // alike, and the action brings the tab to q. A last action must leave the rest standing
    // (`last`: from where, with how many tabs sent elsewhere); a first one may stop anywhere,
    // also at the cuts `there`.
    struct Finish {
        std::size_t from = 0;
        int spare = 0;
    };
    void anchoredAt(const Strip &s, const Activity &active, bool mirrored, std::size_t q, std::optional<Finish> last,
                    std::span<const std::size_t> there, std::vector<Op> &out) const;
    std::optional<std::size_t> shownOnceAt(std::uint32_t address) const;

    const StretchComparison &cmp_;
    const WindowPages &pages_;
    std::size_t m_;
    std::optional<std::size_t> activeTab_;
    mutable std::vector<std::uint8_t> placeCount_{};  // by address, up to 2
    mutable std::vector<std::uint32_t> onceAt_{};     // by address: the one tab showing it
};

}  // namespace ondrake
