#pragma once

#include "SessionIdentities/TabStrip.h"

#include <algorithm>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <tuple>

namespace ondrake {

// How unlikely a reading of a poll is: one sum of named weights, the likeliest reading the
// cheapest. Each weight outranks everything the lighter ones can add up to on a window of up to
// 2^18 tabs, so a reading of fewer actions is always the cheaper: what a person did is first
// what takes the fewest steps.
struct ReadingCost {
    // An action: opening, closing or dragging a tab or block, sending a tab to another address,
    // or activating another tab.
    static constexpr std::uint64_t kAction = std::uint64_t(1) << 40;
    // A tab this system closed that still stands: the browser is more likely done than not.
    static constexpr std::uint64_t kKeptClosed = std::uint64_t(1) << 30;
    // A place gone (closed, or sent to another address): the fewer, the likelier.
    static constexpr std::uint64_t kLostTab = std::uint64_t(1) << 11;
    // A tab the actions open, close, drag (the shorter of the two blocks that trade places),
    // send elsewhere or activate.
    static constexpr std::uint64_t kTouchedTab = std::uint64_t(1) << 3;

    std::uint64_t total = 0;
    int actions = 0;
    std::size_t keptClosed = 0;
    // Free, but counted: of readings that cost the same, the one with fewer comes first. Each
    // title of an address that became another counts once (identical tabs retitle together),
    // then each tab that retitled.
    std::size_t retitles = 0;
    std::size_t retitledTabs = 0;
    // Last of all, a tab dragged by itself and made active, which the browser does less than
    // leaving the active tab be.
    int draggedActive = 0;
    // And how far the places moved, added up: a tab stays where it stood if it can.
    std::uint64_t shifted = 0;

    static std::uint64_t of(const strip::Op &op) {
        using Kind = strip::Op::Kind;
        switch (op.kind) {
        case Kind::open: return kAction + kTouchedTab * op.b;
        case Kind::close: return kAction + (kLostTab + kTouchedTab) * op.b;
        case Kind::move: return kAction + kTouchedTab * std::min(op.b - op.a, op.c - op.b);
        }
        return kAction;
    }
    static constexpr std::uint64_t kSentElsewhere = kAction + kLostTab + kTouchedTab;
    static constexpr std::uint64_t kActivated = kAction + kTouchedTab;
    // A tab opened onto the page of one the same reading closes is rather that tab, stayed or
    // dragged: the reading owes the action it did not see.
    static constexpr std::uint64_t kReopened = kAction;
    // A tab closed alone in one window and opened alone in another is one drag between them:
    // what the close and the open cost beyond a drag of one tab.
    static constexpr std::uint64_t kDraggedAcross = (kAction + kLostTab + kTouchedTab) + (kAction + kTouchedTab) - (kAction + kTouchedTab);

    ReadingCost &operator+=(const ReadingCost &o) {
        total += o.total;
        actions += o.actions;
        keptClosed += o.keptClosed;
        retitles += o.retitles;
        retitledTabs += o.retitledTabs;
        draggedActive += o.draggedActive;
        shifted += o.shifted;
        return *this;
    }
    // Cheaper first; of equal cost, fewer retitles first.
    friend bool operator<(const ReadingCost &a, const ReadingCost &b) {
        return std::tie(a.total, a.retitles, a.retitledTabs, a.draggedActive, a.shifted) <
               std::tie(b.total, b.retitles, b.retitledTabs, b.draggedActive, b.shifted);
    }
};

}  // namespace ondrake
