#pragma once

#include "SessionIdentities/SamePageMatching.h"
#include "SessionIdentities/TabStrip.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <vector>

namespace ondrake {

// One window's last poll (places) and this one (tabs): what each shows, and each address as a
// number, equal for equal addresses across every window of the poll.
struct WindowPages {
    std::span<const PageKey> places;
    std::span<const PageKey> tabs;
    std::span<const std::uint32_t> placeAddresses;
    std::span<const std::uint32_t> tabAddresses;
};

// What a search may still spend: every comparison of a place with a tab, or of two stretches by
// their hashes, every place or tab looked up by its address, and every action the search offers
// or judges costs one step, and a tab it hashes or counts one more.
class SearchBudget {
public:
    explicit SearchBudget(std::size_t steps) : left_(steps) {}
    void spend(std::size_t steps = 1) const {
        if (steps >= left_) {
            left_ = 0;
            exhausted_ = true;
        } else {
            left_ -= steps;
        }
    }
    bool exhausted() const { return exhausted_; }
    std::size_t left() const { return left_; }

private:
    mutable std::size_t left_;
    mutable bool exhausted_ = false;
};

// Compares stretches of a window's last poll and this one by address, or by address and title,
// through polynomial hashes modulo a Mersenne prime, so that a long stretch costs a few steps;
// a reading that is taken is checked tab by tab as well. The tables are the caller's, kept from
// one window to the next; the pages must outlive the comparison.
class StretchComparison {
public:
    struct Tables {
        std::vector<std::uint64_t> powers;
        std::vector<std::uint64_t> placeHashes;
        std::vector<std::uint64_t> tabHashes;
        std::vector<std::uint64_t> placePageHashes;
        std::vector<std::uint64_t> tabPageHashes;
        // Places and tabs by address, ascending: where each address starts in `places` and `tabs`.
        std::vector<std::uint32_t> placeStarts;
        std::vector<std::uint32_t> places;
        std::vector<std::uint32_t> tabStarts;
        std::vector<std::uint32_t> tabs;
    };
    using Strip = strip::Strip;

    StretchComparison(Tables &tables, const WindowPages &pages, const SearchBudget &budget);
    const SearchBudget &budget() const { return budget_; }

    // Titles are hashed only when first asked for.
    void hashPages() const;
    bool sameStretch(std::size_t p, std::size_t t, std::size_t length, bool byPage) const;
    // How many places from `p` show the addresses (or pages) of the tabs from `t`, up to `limit`.
    std::size_t common(std::size_t p, std::size_t t, std::size_t limit, bool byPage = false) const;
    // The same backwards, ending before `p` and `t`.
    std::size_t commonBefore(std::size_t p, std::size_t t, std::size_t limit, bool byPage = false) const;
    // How many of `length` places from `p` show other addresses than the tabs from `t`, up to
    // one more than `cap`.
    std::size_t mismatches(std::size_t p, std::size_t t, std::size_t length, std::size_t cap) const;

    // The address at a place of the strip; any for an opened tab, which may show any.
    static constexpr std::uint32_t kAnyAddress = std::numeric_limits<std::uint32_t>::max();
    std::uint32_t addressAt(const Strip &s, std::size_t at) const;
    // How many of the strip's tabs from `at` show the addresses of this poll's tabs from `t`.
    std::size_t stripCommon(const Strip &s, std::size_t at, std::size_t t, bool byPage = false) const;
    // The same backwards, ending before `at` and `t`.
    std::size_t stripCommonBefore(const Strip &s, std::size_t at, std::size_t t, bool byPage = false) const;
    // Whether the strip's tabs [at, at + length) show the addresses of this poll's from `t`, but
    // for up to `spare` of them, which it takes from.
    bool fits(const Strip &s, std::size_t at, std::size_t t, std::size_t length, int &spare) const;
    static bool onlyOpened(const Strip &s, std::size_t from, std::size_t to);
    // The positions of the strip in [from, to) that show the address, ascending; every tab
    // opened there, which may show any.
    void stripPositionsOf(const Strip &s, std::uint32_t address, std::size_t from, std::size_t to,
                          std::vector<std::size_t> &out) const;
    // This poll's tabs in [from, to) that show the address, ascending.
    void tabPositionsOf(std::uint32_t address, std::size_t from, std::size_t to, std::vector<std::size_t> &out) const;

private:
    std::uint64_t hashOf(const std::vector<std::uint64_t> &h, std::size_t at, std::size_t length) const;
    bool same(std::size_t p, std::size_t t, bool byPage) const;
    void indexAddresses() const;

    Tables &tables_;
    const WindowPages &pages_;
    std::size_t n_;
    std::size_t m_;
    const SearchBudget &budget_;
    mutable bool pageHashed_ = false;
    mutable bool indexed_ = false;
};

}  // namespace ondrake
