#include "OneActionReading.h"

#include <QHash>

#include <algorithm>
#include <cstdint>

namespace ondrake {

namespace {

using Mapping = std::vector<std::optional<std::size_t>>;

bool samePage(const PageKey &a, const PageKey &b) { return a.url == b.url && a.title == b.title; }

// How far a reading is from the plainest: lower is likelier.
struct Rank {
    std::size_t closedKept = 0;  // places this system closed that still stand
    int surprise = 0;            // a dragged tab made active
    std::uint64_t shifted = 0;   // how far places moved, added up
    auto operator<=>(const Rank &) const = default;
};

// One action, as what it does to the places.
struct Reading {
    enum class Kind { same, opened, closed, swapped };
    Kind kind = Kind::same;
    // opened: tabs [first, first + count) are new; closed: places [first, first + count) are gone;
    // swapped: places [first, split) and [split, end) trade sides.
    std::size_t first = 0;
    std::size_t count = 0;
    std::size_t split = 0;
    std::size_t end = 0;
    Rank rank;

    static Reading same() { return {}; }
    static Reading opened(std::size_t at, std::size_t count) { return make(Kind::opened, at, count, 0, 0); }
    static Reading closed(std::size_t at, std::size_t count) { return make(Kind::closed, at, count, 0, 0); }
    static Reading swapped(std::size_t x, std::size_t z, std::size_t y) { return make(Kind::swapped, x, 0, z, y); }

    std::optional<std::size_t> tabOf(std::size_t place) const {
        switch (kind) {
        case Kind::same: return place;
        case Kind::opened: return place < first ? place : place + count;
        case Kind::closed:
            if (place < first) return place;
            if (place < first + count) return std::nullopt;
            return place - count;
        case Kind::swapped:
            if (place < first || place >= end) return place;
            return place < split ? place + (end - split) : place - (split - first);
        }
        return std::nullopt;
    }

private:
    static Reading make(Kind kind, std::size_t first, std::size_t count, std::size_t split, std::size_t end) {
        Reading r;
        r.kind = kind;
        r.first = first;
        r.count = count;
        r.split = split;
        r.end = end;
        return r;
    }
};

// Hashes of every stretch of a part of a list of pages, to compare two stretches at once. Equal
// hashes are checked before a reading is taken.
class StretchHashes {
public:
    StretchHashes(std::span<const PageKey> keys, std::size_t from, std::size_t to) : from_(from), prefix_(to - from + 1, 0) {
        for (auto i = from; i < to; ++i) {
            const auto page = std::uint64_t(::qHash(keys[i].url, 0)) * 0x9E3779B97F4A7C15ull ^ std::uint64_t(::qHash(keys[i].title, 1));
            prefix_[i - from + 1] = prefix_[i - from] * kBase + (page | 1);
        }
    }
    std::uint64_t of(std::size_t from, std::size_t to, const std::vector<std::uint64_t> &powers) const {
        return prefix_[to - from_] - prefix_[from - from_] * powers[to - from];
    }
    static constexpr std::uint64_t kBase = 0x100000001B3ull;

private:
    std::size_t from_;
    std::vector<std::uint64_t> prefix_;
};

class Explainer {
public:
    Explainer(std::span<const PageKey> places, std::span<const PageKey> tabs, WindowFocus focus)
        : places_(places), tabs_(tabs), focus_(focus), n_(places.size()), m_(tabs.size()) {
        if (focus_.activePlace && *focus_.activePlace >= n_) focus_.activePlace.reset();
        if (focus_.activeTab && *focus_.activeTab >= m_) focus_.activeTab.reset();
        closedBefore_.assign(n_ + 1, 0);
        for (std::size_t p = 0; p < n_; ++p)
            closedBefore_[p + 1] = closedBefore_[p] + (p < focus_.closedPlaces.size() && focus_.closedPlaces[p] != 0 ? 1 : 0);
        const auto shorter = std::min(n_, m_);
        while (head_ < shorter && samePage(places_[head_], tabs_[head_])) ++head_;
        while (tail_ < shorter && samePage(places_[n_ - 1 - tail_], tabs_[m_ - 1 - tail_])) ++tail_;
    }

    std::optional<Reading> explain() {
        if (m_ > n_) return opened();
        if (m_ < n_) return closed();
        if (head_ == n_) return Reading::same();  // another tab activated, or nothing
        if (head_ + tail_ + 1 == n_) return fitting(Reading::same());  // one tab shows another page
        return swapped();
    }

    Mapping mapping(const Reading &reading) const {
        Mapping tabOf(n_);
        for (std::size_t p = 0; p < n_; ++p) tabOf[p] = reading.tabOf(p);
        return tabOf;
    }

private:
    // The reading with its rank, when the active tabs allow it.
    std::optional<Reading> fitting(Reading r) const {
        const auto surprise = this->surprise(r);
        if (!surprise) return std::nullopt;
        r.rank.surprise = *surprise;
        r.rank.closedKept = closedBefore_[n_];
        switch (r.kind) {
        case Reading::Kind::same: break;
        case Reading::Kind::opened: r.rank.shifted = std::uint64_t(n_ - r.first) * r.count; break;
        case Reading::Kind::closed:
            r.rank.closedKept -= closedBefore_[r.first + r.count] - closedBefore_[r.first];
            r.rank.shifted = std::uint64_t(n_ - r.first - r.count) * r.count;
            break;
        case Reading::Kind::swapped: r.rank.shifted = 2 * std::uint64_t(r.split - r.first) * (r.end - r.split); break;
        }
        return r;
    }

    // How the tab active now follows from the reading: as the browser leaves it (0), as a drag
    // that activated the dragged tab (1); nothing when it cannot.
    std::optional<int> surprise(const Reading &r) const {
        if (!focus_.activePlace || !focus_.activeTab) return 0;
        const auto was = *focus_.activePlace;
        const auto now = *focus_.activeTab;
        switch (r.kind) {
        case Reading::Kind::opened:
            if (now >= r.first && now < r.first + r.count) return 0;  // opened in front
            break;
        case Reading::Kind::closed:
            if (was >= r.first && was < r.first + r.count) {
                // The tab after the closed ones, or the one before when they were the last.
                const auto next = r.first + r.count < n_ ? r.first : r.first - 1;
                return now == next ? std::optional(0) : std::nullopt;
            }
            break;
        case Reading::Kind::swapped: {
            if (r.tabOf(was) == now) return 0;
            // A tab dragged alone, either way, may have become active.
            const bool leftAlone = r.split - r.first == 1 && r.tabOf(r.first) == now;
            const bool rightAlone = r.end - r.split == 1 && r.tabOf(r.split) == now;
            return leftAlone || rightAlone ? std::optional(1) : std::nullopt;
        }
        case Reading::Kind::same: break;
        }
        return r.tabOf(was) == now ? std::optional(0) : std::nullopt;
    }

    // A block opened where the tabs around it are those that stood side by side.
    std::optional<Reading> opened() const {
        const auto count = m_ - n_;
        const auto lowest = n_ - std::min(tail_, n_);
        const auto highest = std::min(head_, n_);
        // Later places shift fewer tabs: the first that fits from the end is the best.
        for (auto at = highest + 1; at-- > lowest;)
            if (auto r = fitting(Reading::opened(at, count))) return r;
        return std::nullopt;
    }

    std::optional<Reading> closed() const {
        const auto count = n_ - m_;
        const auto lowest = m_ - std::min(tail_, m_);
        const auto highest = std::min(head_, m_);
        std::optional<Reading> best;
        for (auto at = highest + 1; at-- > lowest;)
            if (auto r = fitting(Reading::closed(at, count)); r && (!best || r->rank < best->rank)) best = r;
        return best;
    }

    // A block moved: two blocks side by side traded places. The first and the last tab that
    // differ lie in them; the blocks may reach further where identical tabs stand beside them.
    std::optional<Reading> swapped() {
        const auto from = head_;
        const auto to = n_ - tail_;
        const auto length = to - from;
        std::size_t reach = 0;
        while (reach < kMostReach && (reach + 2) * (reach + 2) * (length + 2 * reach + 2) <= kMostChecks) ++reach;
        // Only the part of the window any block looked at can reach is hashed.
        const auto margin = reach + kRunReach;
        const auto first = from - std::min(from, margin);
        const auto last = std::min(n_, to + margin);
        std::vector<std::uint64_t> powers(last - first + 1, 1);
        for (std::size_t k = 1; k < powers.size(); ++k) powers[k] = powers[k - 1] * StretchHashes::kBase;
        const StretchHashes placeHashes(places_, first, last);
        const StretchHashes tabHashes(tabs_, first, last);
        const auto fits = [&](std::size_t x, std::size_t z, std::size_t y) {
            const auto right = y - z;
            return tabHashes.of(x, x + right, powers) == placeHashes.of(z, y, powers) &&
                   tabHashes.of(x + right, y, powers) == placeHashes.of(x, z, powers);
        };
        std::vector<Reading> found;
        const auto consider = [&](std::size_t x, std::size_t z, std::size_t y) {
            if (found.size() >= kMostReadings || x < first || y > last || !fits(x, z, y)) return;
            if (auto r = fitting(Reading::swapped(x, z, y))) found.push_back(*r);
        };
        for (std::size_t x = from + 1; x-- > from - std::min(reach, from);)
            for (auto y = to; y <= std::min(n_, to + reach); ++y)
                for (auto z = x + 1; z < y; ++z) consider(x, z, y);
        // One tab dragged may have gone from anywhere among its twins to anywhere among those
        // where it landed.
        const auto foundSoFar = found.size();
        for (std::size_t k = 0; k < foundSoFar; ++k) {
            const auto r = found[k];
            if (r.split - r.first != 1 && r.end - r.split != 1) continue;
            const bool rightward = r.split - r.first == 1;
            const auto source = rightward ? r.first : r.end - 1;
            const auto target = rightward ? r.end - 1 : r.first;
            const auto [sourceFrom, sourceTo] = runAround(places_, source);
            const auto [targetFrom, targetTo] = runAround(tabs_, target);
            for (auto i = sourceFrom; i < sourceTo; ++i)
                for (auto j = targetFrom; j < targetTo; ++j) {
                    if (i < j) consider(i, i + 1, j + 1);
                    else if (i > j) consider(j, i, i + 1);
                }
        }
        std::sort(found.begin(), found.end(), [](const Reading &a, const Reading &b) { return a.rank < b.rank; });
        std::optional<Reading> best;
        std::size_t ties = 0;
        for (const auto &r : found) {
            if (best && (r.rank != best->rank || ++ties > kMostTies)) break;
            if (!holds(r)) continue;
            if (!best || earlierKeepEarlier(r, *best)) best = r;
        }
        return best;
    }

    // Of two readings alike in every other way, the one where the first place they pair apart
    // goes to the earlier tab: of identical tabs, the earlier ones keep the earlier places.
    static bool earlierKeepEarlier(const Reading &a, const Reading &b) {
        for (auto p = std::min(a.first, b.first); p < std::max(a.end, b.end); ++p)
            if (const auto ta = a.tabOf(p), tb = b.tabOf(p); ta != tb) return ta < tb;
        return false;
    }

    // Identical tabs around one, within a few places of it.
    static std::pair<std::size_t, std::size_t> runAround(std::span<const PageKey> keys, std::size_t at) {
        auto from = at;
        while (from > 0 && at - from < kRunReach && samePage(keys[from - 1], keys[at])) --from;
        auto to = at + 1;
        while (to < keys.size() && to - at < kRunReach && samePage(keys[to], keys[at])) ++to;
        return {from, to};
    }

    // Whether every place stands at a tab of its page under the reading.
    bool holds(const Reading &r) const {
        for (auto p = r.first; p < r.end; ++p)
            if (!samePage(places_[p], tabs_[*r.tabOf(p)])) return false;
        return true;
    }

    // Bounds on the search for moved blocks, so that a poll stays quick at any size.
    static constexpr std::size_t kMostReach = 64;
    static constexpr std::size_t kMostChecks = std::size_t(1) << 18;
    static constexpr std::size_t kMostReadings = std::size_t(1) << 14;
    static constexpr std::size_t kRunReach = 32;
    static constexpr std::size_t kMostTies = 64;

    std::span<const PageKey> places_;
    std::span<const PageKey> tabs_;
    WindowFocus focus_;
    std::size_t n_;
    std::size_t m_;
    std::size_t head_ = 0;  // equal at the start
    std::size_t tail_ = 0;  // equal at the end
    std::vector<std::size_t> closedBefore_;
};

}  // namespace

std::optional<std::vector<std::optional<std::size_t>>> readOneAction(std::span<const PageKey> places,
                                                                     std::span<const PageKey> tabs, WindowFocus focus) {
    if (places.empty() || tabs.empty()) return std::nullopt;
    Explainer explainer(places, tabs, focus);
    const auto reading = explainer.explain();
    if (!reading) return std::nullopt;
    return explainer.mapping(*reading);
}

}  // namespace ondrake
