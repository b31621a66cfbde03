#include "ActionReading.h"

#include <QHash>

#include <algorithm>
#include <iterator>
#include <limits>
#include <tuple>
#include <utility>

namespace ondrake {

std::vector<std::optional<std::size_t>> ActionReading::tabsOf(std::size_t places) const {
    std::vector<std::optional<std::size_t>> tabOf(places);
    std::size_t tab = 0;
    for (std::size_t s = 0; s < segmentCount_; ++s) {
        const auto &seg = segments_[s];
        if (!seg.opened)
            for (std::uint32_t k = 0; k < seg.length && seg.from + k < places; ++k) tabOf[seg.from + k] = tab + k;
        tab += seg.length;
    }
    return tabOf;
}

std::vector<std::size_t> ActionReading::closedAlone() const {
    return {closedAlone_.begin(), closedAlone_.begin() + std::ptrdiff_t(closedAloneCount_)};
}

std::vector<std::size_t> ActionReading::openedAlone() const {
    std::vector<std::size_t> tabs;
    std::size_t tab = 0;
    for (std::size_t s = 0; s < segmentCount_; ++s) {
        if (segments_[s].opened && segments_[s].alone) tabs.push_back(tab);
        tab += segments_[s].length;
    }
    return tabs;
}

namespace {

using Segment = ActionReading::Segment;

// Stretches of pages compare by polynomial hashes modulo a Mersenne prime; a reading that is
// taken is checked page by page as well.
constexpr std::uint64_t kMod = (std::uint64_t(1) << 61) - 1;
constexpr std::uint64_t kBase = 0x1D6A3F5B97C3ull;
__extension__ using Wide = unsigned __int128;

std::uint64_t mulMod(std::uint64_t a, std::uint64_t b) {
    const Wide p = Wide(a) * b;
    const auto r = std::uint64_t(p & kMod) + std::uint64_t(p >> 61);
    return r >= kMod ? r - kMod : r;
}
std::uint64_t subMod(std::uint64_t a, std::uint64_t b) { return a >= b ? a - b : a + kMod - b; }
std::uint64_t valueOf(std::uint64_t x) {
    x ^= x >> 33;
    x *= 0xFF51AFD7ED558CCDull;
    x ^= x >> 33;
    return x % (kMod - 1) + 1;
}

template<typename ValueAt>
void prefixHashes(std::vector<std::uint64_t> &out, std::size_t n, const ValueAt &valueAt) {
    out.resize(n + 1);
    out[0] = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const auto next = mulMod(out[i], kBase) + valueAt(i);
        out[i + 1] = next >= kMod ? next - kMod : next;
    }
}

// One action that changes the strip, in the places of the strip it is done to.
struct Op {
    enum class Kind : std::uint8_t { open, close, move };
    Kind kind = Kind::open;
    std::size_t a = 0;  // open, close: the first place; move: where the blocks start
    std::size_t b = 0;  // open, close: how many; move: where the second block starts
    std::size_t c = 0;  // move: where the blocks end
    bool front = false;  // open: made active
    bool operator==(const Op &) const = default;
};

// The window's tabs as a few stretches of the last poll's places and of opened tabs.
class Strip {
public:
    std::size_t length() const {
        std::size_t total = 0;
        for (std::size_t i = 0; i < count_; ++i) total += segments_[i].length;
        return total;
    }
    std::size_t count() const { return count_; }
    const Segment &operator[](std::size_t i) const { return segments_[i]; }
    bool push(const Segment &s) {
        if (s.length == 0) return true;
        if (count_ == segments_.size()) return false;
        segments_[count_++] = s;
        return true;
    }

    // The index of the stretch that starts at `at`, splitting one there; none when full.
    // Adds a place after the last, to its stretch when it follows it.
    bool append(std::uint32_t place) {
        if (count_ > 0 && !segments_[count_ - 1].opened && segments_[count_ - 1].from + segments_[count_ - 1].length == place) {
            ++segments_[count_ - 1].length;
            return true;
        }
        return count_ < segments_.size() / 2 && push({place, 1, false, false});
    }

    std::optional<std::size_t> cut(std::size_t at) {
        std::size_t start = 0;
        for (std::size_t i = 0; i < count_; ++i) {
            if (start == at) return i;
            const auto length = segments_[i].length;
            if (at < start + length) {
                if (count_ == segments_.size()) return std::nullopt;
                std::move_backward(segments_.begin() + std::ptrdiff_t(i + 1), segments_.begin() + std::ptrdiff_t(count_),
                                   segments_.begin() + std::ptrdiff_t(count_ + 1));
                ++count_;
                auto right = segments_[i];
                const auto left = std::uint32_t(at - start);
                segments_[i].length = left;
                right.length -= left;
                if (!right.opened) right.from += left;
                segments_[i + 1] = right;
                return i + 1;
            }
            start += length;
        }
        return start == at ? std::optional(count_) : std::nullopt;
    }
    bool insert(std::size_t i, const Segment &s) {
        if (count_ == segments_.size()) return false;
        std::move_backward(segments_.begin() + std::ptrdiff_t(i), segments_.begin() + std::ptrdiff_t(count_),
                           segments_.begin() + std::ptrdiff_t(count_ + 1));
        segments_[i] = s;
        ++count_;
        return true;
    }
    void erase(std::size_t from, std::size_t to) {
        std::move(segments_.begin() + std::ptrdiff_t(to), segments_.begin() + std::ptrdiff_t(count_),
                  segments_.begin() + std::ptrdiff_t(from));
        count_ -= to - from;
    }
    void rotate(std::size_t from, std::size_t middle, std::size_t to) {
        std::rotate(segments_.begin() + std::ptrdiff_t(from), segments_.begin() + std::ptrdiff_t(middle),
                    segments_.begin() + std::ptrdiff_t(to));
    }
    // Stretches of places that stand on in order are one.
    void join() {
        std::size_t out = 0;
        for (std::size_t i = 0; i < count_; ++i) {
            const auto &s = segments_[i];
            if (out > 0 && !s.opened && !segments_[out - 1].opened && segments_[out - 1].from + segments_[out - 1].length == s.from)
                segments_[out - 1].length += s.length;
            else segments_[out++] = s;
        }
        count_ = out;
    }
    void copyTo(std::array<Segment, ActionReading::kMostSegments> &out, std::size_t &count) const {
        std::copy(segments_.begin(), segments_.begin() + std::ptrdiff_t(count_), out.begin());
        count = count_;
    }

private:
    std::array<Segment, ActionReading::kMostSegments> segments_{};
    std::size_t count_ = 0;
};

// The tabs that may be active after the actions so far: any, when the last poll did not tell.
struct Activity {
    bool any = true;
    std::array<std::pair<std::size_t, std::size_t>, 8> spans{};  // [from, to)
    std::array<bool, 8> dragged{};  // made active by a drag
    std::size_t count = 0;

    void add(std::size_t from, std::size_t to, bool byDrag = false) {
        if (from < to && count < spans.size()) {
            dragged[count] = byDrag;
            spans[count++] = {from, to};
        }
    }
    // Whether the tab may be active: as the browser leaves it (0), only by a drag (1).
    std::optional<int> holds(std::size_t p) const {
        if (any) return 0;
        std::optional<int> found;
        for (std::size_t i = 0; i < count; ++i)
            if (p >= spans[i].first && p < spans[i].second && (!found || !dragged[i])) found = dragged[i] ? 1 : 0;
        return found;
    }
    // Positions the active tab may take near which an action's edges are worth trying.
    template<typename Each>
    void edges(const Each &each) const {
        for (std::size_t i = 0; i < count && !any; ++i) {
            each(spans[i].first);
            each(spans[i].second);
        }
    }
};

// What one action does to the places it leaves standing: each stretch [from, to) either moves
// by `by` or is gone.
template<typename Each>
void pieces(const Op &op, std::size_t length, const Each &each) {
    const auto shift = [](std::size_t n) { return std::ptrdiff_t(n); };
    switch (op.kind) {
    case Op::Kind::open:
        each(0, op.a, 0, false);
        each(op.a, length, shift(op.b), false);
        break;
    case Op::Kind::close:
        each(0, op.a, 0, false);
        each(op.a, op.a + op.b, 0, true);
        each(op.a + op.b, length, -shift(op.b), false);
        break;
    case Op::Kind::move:
        each(0, op.a, 0, false);
        each(op.a, op.b, shift(op.c - op.b), false);
        each(op.b, op.c, -shift(op.b - op.a), false);
        each(op.c, length, 0, false);
        break;
    }
}

Activity afterAction(const Op &op, const Activity &was, std::size_t length) {
    // The browser activates the first tab of what it opens in front.
    if (op.kind == Op::Kind::open && op.front) {
        Activity now;
        now.any = false;
        now.add(op.a, op.a + 1);
        return now;
    }
    Activity now;
    now.any = was.any;
    bool lost = false;
    for (std::size_t i = 0; i < was.count; ++i) {
        const auto [from, to] = was.spans[i];
        pieces(op, length, [&](std::size_t f, std::size_t t, std::ptrdiff_t by, bool gone) {
            const auto lo = std::max(from, f);
            const auto hi = std::min(to, t);
            if (lo >= hi) return;
            if (gone) lost = true;
            else now.add(std::size_t(std::ptrdiff_t(lo) + by), std::size_t(std::ptrdiff_t(hi) + by), was.dragged[i]);
        });
    }
    if (op.kind == Op::Kind::close && lost && length > op.b) {
        // The tab after the closed ones, or the one before when they were the last.
        const auto left = length - op.b;
        const auto next = op.a < left ? op.a : op.a - 1;
        now.add(next, next + 1);
    }
    if (op.kind == Op::Kind::move && !was.any) {
        // A tab dragged alone may have become active.
        if (op.b - op.a == 1) now.add(op.c - 1, op.c, true);
        if (op.c - op.b == 1) now.add(op.a, op.a + 1, true);
    }
    return now;
}

}  // namespace

struct ActionReader::Search {
    ActionReader &reader;
    const WindowPages &pages;
    std::size_t n;
    std::size_t m;
    std::optional<std::size_t> activeTab;
    std::size_t budget;
    mutable bool pageHashed = false;
    std::vector<std::size_t> blank{};  // tabs still loading, untitled

    struct Found {
        ActionReading reading;
        int navigations = 0;
        bool retitlesKnown = false;
    };
    std::optional<Found> best{};
    std::vector<std::pair<std::pair<int, std::uint32_t>, Found>> byAddress{};  // (opened, address)

    // Stretches compared by address, or with `pages` by address and title, through hashes.
    void hashPages() const {
        if (pageHashed) return;
        const auto page = [](const std::span<const PageKey> keys, std::span<const std::uint32_t> addresses) {
            return [keys, addresses](std::size_t i) {
                return valueOf(std::uint64_t(addresses[i]) * 0x9E3779B97F4A7C15ull ^ std::uint64_t(::qHash(keys[i].title, 7)));
            };
        };
        prefixHashes(reader.placePageHashes_, n, page(pages.places, pages.placeAddresses));
        prefixHashes(reader.tabPageHashes_, m, page(pages.tabs, pages.tabAddresses));
        pageHashed = true;
    }
    std::uint64_t hashOf(const std::vector<std::uint64_t> &h, std::size_t at, std::size_t length) const {
        return subMod(h[at + length], mulMod(h[at], reader.powers_[length]));
    }
    bool sameStretch(std::size_t p, std::size_t t, std::size_t length, bool byPage) const {
        return byPage ? hashOf(reader.placePageHashes_, p, length) == hashOf(reader.tabPageHashes_, t, length)
                      : hashOf(reader.placeHashes_, p, length) == hashOf(reader.tabHashes_, t, length);
    }
    bool same(std::size_t p, std::size_t t, bool byPage) const {
        return pages.placeAddresses[p] == pages.tabAddresses[t] && (!byPage || pages.places[p].title == pages.tabs[t].title);
    }

    // How many places from `p` show the addresses (or pages) of the tabs from `t`, up to `limit`.
    std::size_t common(std::size_t p, std::size_t t, std::size_t limit, bool byPage = false) const {
        std::size_t l = 0;
        for (; l < limit && l < 8; ++l)
            if (!same(p + l, t + l, byPage)) return l;
        if (l == limit) return l;
        std::size_t step = 8;
        while (l + step <= limit && sameStretch(p + l, t + l, step, byPage)) {
            l += step;
            step *= 2;
        }
        auto hi = std::min(limit, l + step);
        while (l < hi) {
            const auto mid = (l + hi + 1) / 2;
            if (sameStretch(p + l, t + l, mid - l, byPage)) l = mid;
            else hi = mid - 1;
        }
        return l;
    }
    // The same backwards, ending before `p` and `t`.
    std::size_t commonBefore(std::size_t p, std::size_t t, std::size_t limit, bool byPage = false) const {
        std::size_t l = 0;
        for (; l < limit && l < 8; ++l)
            if (!same(p - 1 - l, t - 1 - l, byPage)) return l;
        if (l == limit) return l;
        std::size_t step = 8;
        while (l + step <= limit && sameStretch(p - l - step, t - l - step, step, byPage)) {
            l += step;
            step *= 2;
        }
        auto hi = std::min(limit, l + step);
        while (l < hi) {
            const auto mid = (l + hi + 1) / 2;
            if (sameStretch(p - mid, t - mid, mid - l, byPage)) l = mid;
            else hi = mid - 1;
        }
        return l;
    }
    std::size_t mismatches(std::size_t p, std::size_t t, std::size_t length, std::size_t cap) const {
        std::size_t count = 0;
        for (std::size_t k = 0; k < length && count <= cap;) {
            k += common(p + k, t + k, length - k);
            if (k < length) {
                ++count;
                ++k;
            }
        }
        return count;
    }

    // The address at a place of the strip; none for an opened tab, which may show any.
    static std::optional<std::uint32_t> addressAt(const Strip &s, std::size_t at, std::span<const std::uint32_t> places) {
        for (std::size_t i = 0; i < s.count(); ++i) {
            if (at < s[i].length) return s[i].opened ? std::nullopt : std::optional(places[s[i].from + at]);
            at -= s[i].length;
        }
        return std::nullopt;
    }
    // How many of the strip's tabs from `at` show the addresses of this poll's tabs from `t`.
    std::size_t stripCommon(const Strip &s, std::size_t at, std::size_t t, bool byPage = false) const {
        std::size_t total = 0;
        std::size_t start = 0;
        for (std::size_t i = 0; i < s.count() && t < m; ++i) {
            const auto &seg = s[i];
            if (at >= start + seg.length) {
                start += seg.length;
                continue;
            }
            const auto offset = at - start;
            const auto limit = std::min<std::size_t>(seg.length - offset, m - t);
            const auto same = seg.opened ? limit : common(seg.from + offset, t, limit, byPage);
            total += same;
            if (same < seg.length - offset) return total;
            at += same;
            t += same;
            start += seg.length;
        }
        return total;
    }
    // The same backwards, ending before `at` and `t`.
    std::size_t stripCommonBefore(const Strip &s, std::size_t at, std::size_t t, bool byPage = false) const {
        std::size_t total = 0;
        std::size_t end = s.length();
        for (std::size_t i = s.count(); i-- > 0 && t > 0;) {
            const auto &seg = s[i];
            const auto start = end - seg.length;
            if (at <= start) {
                end = start;
                continue;
            }
            const auto within = at - start;
            const auto limit = std::min<std::size_t>(within, t);
            const auto same = seg.opened ? limit : commonBefore(seg.from + within, t, limit, byPage);
            total += same;
            if (same < within) return total;
            at -= same;
            t -= same;
            end = start;
        }
        return total;
    }

    // Whether the strip's tabs [at, at + length) show the addresses of this poll's from `t`, but
    // for up to `spare` of them, which it takes from.
    bool fits(const Strip &s, std::size_t at, std::size_t t, std::size_t length, int &spare) const {
        if (t + length > m) return false;
        for (std::size_t k = 0;;) {
            k += stripCommon(s, at + k, t + k);
            if (k >= length) return true;
            if (spare == 0) return false;
            --spare;
            ++k;
        }
    }
    static bool onlyOpened(const Strip &s, std::size_t from, std::size_t to) {
        std::size_t start = 0;
        for (std::size_t i = 0; i < s.count(); ++i) {
            const auto end = start + s[i].length;
            if (end > from && start < to && !s[i].opened) return false;
            start = end;
        }
        return true;
    }

    // Applies actions to a strip: false when one does not fit it.
    static bool apply(Strip &s, Activity &active, const Op &op, std::array<std::uint32_t, 2> &closedAlone,
                      std::size_t &closedAloneCount) {
        const auto length = s.length();
        switch (op.kind) {
        case Op::Kind::open: {
            if (op.a > length || op.b == 0) return false;
            const auto i = s.cut(op.a);
            if (!i || !s.insert(*i, {0, std::uint32_t(op.b), true, op.b == 1})) return false;
            break;
        }
        case Op::Kind::close: {
            if (op.b == 0 || op.a + op.b > length) return false;
            const auto from = s.cut(op.a);
            const auto to = from ? s.cut(op.a + op.b) : std::nullopt;
            if (!to) return false;
            if (op.b == 1 && !s[*from].opened && closedAloneCount < closedAlone.size())
                closedAlone[closedAloneCount++] = s[*from].from;
            s.erase(*from, *to);
            break;
        }
        case Op::Kind::move: {
            if (!(op.a < op.b && op.b < op.c && op.c <= length)) return false;
            if (!s.cut(op.a) || !s.cut(op.b) || !s.cut(op.c)) return false;
            const auto x = s.cut(op.a);
            const auto z = s.cut(op.b);
            const auto y = s.cut(op.c);
            s.rotate(*x, *z, *y);
            break;
        }
        }
        active = afterAction(op, active, length);
        return true;
    }

    // Whether more than two tabs the actions close show addresses that tabs they open show, or a
    // page shown once does among a block opened: then those tabs most likely stayed, and more
    // happened than two actions.
    bool reappears(const Strip &start, const Strip &now) const {
        std::vector<std::pair<std::uint32_t, std::uint32_t>> kept;  // [from, to) of places
        for (std::size_t i = 0; i < now.count(); ++i)
            if (!now[i].opened) kept.emplace_back(now[i].from, now[i].from + now[i].length);
        std::sort(kept.begin(), kept.end());
        std::vector<std::uint32_t> closed;
        for (std::size_t i = 0; i < start.count(); ++i) {
            auto p = start[i].from;
            const auto end = start[i].from + start[i].length;
            for (const auto &[from, to] : kept) {
                if (to <= p || from >= end) continue;
                for (; p < from; ++p) closed.push_back(pages.placeAddresses[p]);
                p = std::max(p, to);
            }
            for (; p < end; ++p) closed.push_back(pages.placeAddresses[p]);
        }
        std::sort(closed.begin(), closed.end());
        std::vector<std::uint32_t> opened;
        std::vector<std::uint32_t> openedInBlocks;  // of more than two tabs
        std::size_t t = 0;
        for (std::size_t i = 0; i < now.count(); ++i) {
            if (now[i].opened)
                for (std::uint32_t k = 0; k < now[i].length; ++k) {
                    opened.push_back(pages.tabAddresses[t + k]);
                    if (now[i].length > 2) openedInBlocks.push_back(pages.tabAddresses[t + k]);
                }
            t += now[i].length;
        }
        std::sort(opened.begin(), opened.end());
        std::vector<std::uint32_t> both;
        std::set_intersection(closed.begin(), closed.end(), opened.begin(), opened.end(), std::back_inserter(both));
        if (both.size() > 2) return true;
        // A page shown once before and once now, closed and found among a block opened, is one
        // tab that moved there.
        for (const auto address : both)
            if (std::find(openedInBlocks.begin(), openedInBlocks.end(), address) != openedInBlocks.end() &&
                std::count(pages.placeAddresses.begin(), pages.placeAddresses.end(), address) == 1 &&
                std::count(pages.tabAddresses.begin(), pages.tabAddresses.end(), address) == 1)
                return true;
        return false;
    }

    // Judges actions done to the starting strip: whether they give this poll, in at most two
    // actions with the tabs that went to another address and a tab activated, and how likely.
    void evaluate(const Strip &start, const Activity &startActive, std::span<const Op> ops, std::size_t closedKept) {
        if (budget == 0) return;
        --budget;
        Strip s = start;
        Activity active = startActive;
        Found f;
        auto &r = f.reading;
        for (const auto &op : ops)
            if (!apply(s, active, op, r.closedAlone_, r.closedAloneCount_)) return;
        if (s.length() != m) return;
        s.join();
        const auto allowed = 2 - int(ops.size());
        int navigations = 0;
        std::uint64_t shifted = 0;
        std::size_t t = 0;
        std::size_t kept = 0;
        for (std::size_t i = 0; i < s.count(); ++i) {
            const auto &seg = s[i];
            if (!seg.opened) {
                kept += seg.length;
                navigations += int(mismatches(seg.from, t, seg.length, std::size_t(allowed - navigations)));
                if (navigations > allowed) return;
                shifted += std::uint64_t(t > seg.from ? t - seg.from : seg.from - t) * seg.length;
            }
            t += seg.length;
        }
        if (start.length() > kept && kept < m && reappears(start, s)) return;
        // A tab seen with a title does not go back to loading at its address by itself.
        if (!blank.empty()) {
            std::size_t from = 0;
            for (std::size_t i = 0; i < s.count(); ++i) {
                const auto &seg = s[i];
                if (!seg.opened)
                    for (auto it = std::lower_bound(blank.begin(), blank.end(), from); it != blank.end() && *it < from + seg.length; ++it)
                        navigations += !pages.places[seg.from + (*it - from)].title.isEmpty();
                from += seg.length;
            }
            if (navigations > allowed) return;
        }
        const auto holds = activeTab ? active.holds(*activeTab) : std::optional(0);
        const int activated = holds ? 0 : 1;
        const int actions = int(ops.size()) + navigations + activated;
        if (actions > 2) return;
        s.copyTo(r.segments_, r.segmentCount_);
        std::size_t touched = std::size_t(navigations + activated);
        for (const auto &op : ops) touched += op.kind == Op::Kind::move ? std::min(op.b - op.a, op.c - op.b) : op.b;
        r.rank_ = {actions, closedKept, start.length() - kept + std::size_t(navigations), touched, 0, holds.value_or(0), shifted};
        f.navigations = navigations;
        consider(std::move(f));
    }

    std::size_t retitles(const ActionReading &r) const {
        hashPages();
        std::size_t count = 0;
        std::size_t t = 0;
        for (std::size_t i = 0; i < r.segmentCount_; ++i) {
            const auto &seg = r.segments_[i];
            if (!seg.opened && !sameStretch(seg.from, t, seg.length, true))
                for (std::uint32_t k = 0; k < seg.length; ++k) {
                    const auto &place = pages.places[seg.from + k];
                    const auto &tab = pages.tabs[t + k];
                    count += place.url == tab.url && place.title != tab.title;
                }
            t += seg.length;
        }
        return count;
    }

    bool better(Found &a, Found &b) {
        const auto &ra = a.reading.rank_;
        const auto &rb = b.reading.rank_;
        if (std::tie(ra.actions, ra.closedKept, ra.lost, ra.touched) != std::tie(rb.actions, rb.closedKept, rb.lost, rb.touched))
            return std::tie(ra.actions, ra.closedKept, ra.lost, ra.touched) < std::tie(rb.actions, rb.closedKept, rb.lost, rb.touched);
        for (auto *f : {&a, &b})
            if (!f->retitlesKnown) {
                f->reading.rank_.retitles = retitles(f->reading);
                f->retitlesKnown = true;
            }
        if (a.reading.rank_ != b.reading.rank_) return a.reading.rank_ < b.reading.rank_;
        // Of identical tabs, the earlier ones keep the earlier places.
        const auto ta = a.reading.tabsOf(n);
        const auto tb = b.reading.tabsOf(n);
        for (std::size_t p = 0; p < n; ++p)
            if (ta[p] != tb[p]) return ta[p].has_value() && (!tb[p] || *ta[p] < *tb[p]);
        return false;
    }

    void consider(Found f) {
        const auto keep = [&](std::pair<int, std::uint32_t> key) {
            const auto it = std::find_if(byAddress.begin(), byAddress.end(), [&](const auto &e) { return e.first == key; });
            if (it == byAddress.end()) byAddress.emplace_back(key, f);
            else if (better(f, it->second)) it->second = f;
        };
        for (const auto p : f.reading.closedAlone()) keep({0, pages.placeAddresses[p]});
        for (const auto t : f.reading.openedAlone()) keep({1, pages.tabAddresses[t]});
        if (!best || better(f, *best)) best = std::move(f);
    }

    // Where the strip stops showing this poll's tabs from the start, after skipping up to two
    // differences, and where it starts showing them to the end.
    struct Edges {
        std::array<std::size_t, 3> head{};
        std::array<std::size_t, 3> tailStart{};  // in the strip
    };
    Edges edgesOf(const Strip &s) const {
        const auto length = s.length();
        Edges e;
        std::size_t h = stripCommon(s, 0, 0);
        for (std::size_t k = 0; k < 3; ++k) {
            e.head[k] = h;
            if (h < length && h < m) h += 1 + stripCommon(s, h + 1, h + 1);
        }
        std::size_t tail = stripCommonBefore(s, length, m);
        for (std::size_t k = 0; k < 3; ++k) {
            e.tailStart[k] = length - std::min(tail, length);
            if (tail < length && tail < m) tail += 1 + stripCommonBefore(s, length - tail - 1, m - tail - 1);
        }
        return e;
    }

    // Places worth trying in [lo, hi]: its ends, those beside where the active tab was and is, and
    // the ends of the stretch where titles agree too.
    template<typename Each>
    void within(std::size_t lo, std::size_t hi, std::size_t size, const Activity &active, std::span<const std::size_t> titled,
                const Each &each) const {
        if (lo > hi) return;
        std::array<std::size_t, 24> tried{};
        std::size_t count = 0;
        const auto offer = [&](std::size_t p) {
            if (p < lo || p > hi || std::find(tried.begin(), tried.begin() + std::ptrdiff_t(count), p) != tried.begin() + std::ptrdiff_t(count))
                return;
            if (count < tried.size()) tried[count++] = p;
            each(p);
        };
        offer(hi);
        offer(lo);
        for (const auto p : titled) offer(p);
        const auto near = [&](std::size_t v) {
            for (const auto d : {std::ptrdiff_t(0), std::ptrdiff_t(1), -std::ptrdiff_t(1), -std::ptrdiff_t(size),
                                 -std::ptrdiff_t(size) + 1, -std::ptrdiff_t(size) - 1})
                if (std::ptrdiff_t(v) + d >= 0) offer(std::size_t(std::ptrdiff_t(v) + d));
        };
        if (activeTab) near(*activeTab);
        active.edges(near);
    }

    // The one action that finishes turning the strip into this poll, allowing `spare` tabs that
    // went to another address.
    template<typename Each>
    void lastActions(const Strip &s, const Activity &active, int spare, const Each &each) const {
        const auto length = s.length();
        const auto e = edgesOf(s);
        const auto h0 = e.head[0];
        const auto e0 = e.tailStart[0];
        if (m > length || m < length) {
            const bool open = m > length;
            const auto c = open ? m - length : length - m;
            const auto last = open ? length : m;  // the last place the action may start at
            const auto shiftBy = open ? std::ptrdiff_t(0) : std::ptrdiff_t(c);
            hashPages();
            const auto titledHead = stripCommon(s, 0, 0, true);
            const auto titledTail = std::ptrdiff_t(length - std::min(length, stripCommonBefore(s, length, m, true))) - shiftBy;
            const std::array<std::size_t, 2> titled{titledHead, std::size_t(std::max<std::ptrdiff_t>(titledTail, 0))};
            const auto range = [&](std::ptrdiff_t lo, std::ptrdiff_t hi) {
                lo = std::max<std::ptrdiff_t>(lo, 0);
                hi = std::min<std::ptrdiff_t>(hi, std::ptrdiff_t(last));
                if (lo > hi) return;
                within(std::size_t(lo), std::size_t(hi), c, active, titled, [&](std::size_t at) {
                    if (open) {
                        each(Op{Op::Kind::open, at, c, 0, false});
                        each(Op{Op::Kind::open, at, c, 0, true});
                    } else {
                        each(Op{Op::Kind::close, at, c, 0, false});
                    }
                });
            };
            const auto P = [](std::size_t v) { return std::ptrdiff_t(v); };
            range(P(e0) - shiftBy, P(h0));
            if (spare > 0) {
                // A tab that went to another address before the action, or after it.
                range(std::max(P(e0) - shiftBy, P(h0) + 1), P(e.head[1]));
                if (e0 > 0) range(P(e.tailStart[1]) - shiftBy, std::min(P(h0), P(e0) - 1 - shiftBy));
            }
            return;
        }
        if (h0 >= length) return;
        // A block dragged: its edges may reach past the first and last differences where
        // identical tabs stand beside them.
        const auto span = e0 > h0 ? e0 - h0 : 0;
        std::size_t reach = 0;
        while (reach < 16 && (reach + 2) * (reach + 2) * (span + 2 * reach + 4) <= (std::size_t(1) << 15)) ++reach;
        // Blocks whose tabs would not stand where the drag puts them are not tried; nor a block
        // of opened tabs only, which could as well have opened where it stands.
        const auto tryBlocks = [&](std::size_t x, std::size_t y) {
            for (auto z = x + 1; z < y && budget > 0; ++z) {
                const auto first = y - z;
                auto left = spare;
                if (!fits(s, z, x, first, left) || !fits(s, x, x + first, z - x, left) || onlyOpened(s, x, z) || onlyOpened(s, z, y))
                    continue;
                each(Op{Op::Kind::move, x, z, y, false});
            }
        };
        const auto blocks = [&](std::size_t xLo, std::size_t xHi, std::size_t yLo, std::size_t yHi) {
            for (auto x = xHi + 1; x-- > xLo;)
                for (auto y = std::max(yLo, x + 2); y <= std::min(yHi, length); ++y) tryBlocks(x, y);
        };
        blocks(h0 - std::min(reach, h0), h0, e0, e0 + reach);
        if (spare > 0) {
            blocks(h0 + 1, e.head[1], e0, e0 + reach);
            if (e0 > 0) blocks(h0 - std::min(reach, h0), h0, e.tailStart[1], e0 - 1);
        }
    }

    // A first action of two: at the first or the last difference, or beside the active tabs, of
    // the sizes that bring the tabs around it back in line.
    template<typename Each>
    void firstActions(const Strip &s, const Activity &active, const Each &each) const {
        const auto length = s.length();
        const auto e = edgesOf(s);
        const auto h0 = e.head[0];
        const auto e0 = e.tailStart[0];
        const auto offset = std::ptrdiff_t(m) - std::ptrdiff_t(length);  // of the equal ends' tabs
        std::array<std::size_t, 32> places{};
        std::size_t placeCount = 0;
        const auto place = [&](std::ptrdiff_t p) {
            if (p < 0 || p > std::ptrdiff_t(length)) return;
            const auto q = std::size_t(p);
            if (std::find(places.begin(), places.begin() + std::ptrdiff_t(placeCount), q) == places.begin() + std::ptrdiff_t(placeCount) &&
                placeCount < places.size())
                places[placeCount++] = q;
        };
        for (const auto d : {0, -1, 1}) {
            place(std::ptrdiff_t(h0) + d);
            place(std::ptrdiff_t(e0) + d);
        }
        const auto near = [&](std::size_t v) {
            for (const auto d : {0, 1, -1}) {
                place(std::ptrdiff_t(v) + d);
                place(std::ptrdiff_t(v) - offset + d);
            }
        };
        if (activeTab) near(*activeTab);
        active.edges(near);

        // A block looked for this far at most, so that a first action costs no more in a long window.
        constexpr std::size_t kMatches = 4;
        constexpr std::size_t kScan = 256;
        const auto tab = [&](std::ptrdiff_t t) -> std::optional<std::uint32_t> {
            if (t < 0 || t >= std::ptrdiff_t(m)) return std::nullopt;
            return pages.tabAddresses[std::size_t(t)];
        };
        const auto same = [&](std::optional<std::uint32_t> a, std::optional<std::uint32_t> b) { return a && b && *a == *b; };
        for (std::size_t k = 0; k < placeCount; ++k) {
            const auto at = places[k];
            const auto here = addressAt(s, at, pages.placeAddresses);
            const auto before = at > 0 ? addressAt(s, at - 1, pages.placeAddresses) : std::nullopt;
            std::array<std::size_t, 16> sizes{};
            std::size_t sizeCount = 0;
            const auto size = [&](std::ptrdiff_t c) {
                if (c <= 0) return;
                const auto q = std::size_t(c);
                if (std::find(sizes.begin(), sizes.begin() + std::ptrdiff_t(sizeCount), q) == sizes.begin() + std::ptrdiff_t(sizeCount) &&
                    sizeCount < sizes.size())
                    sizes[sizeCount++] = q;
            };
            // Opened: the tab that stood here stands after them, or the one before it before them.
            for (const auto c : {offset, offset + 1, offset + 2, std::ptrdiff_t(1), std::ptrdiff_t(2)}) size(c);
            for (std::size_t found = 0, c = 1; at + c < m && found < kMatches && c <= kScan; ++c)
                if (same(here, tab(std::ptrdiff_t(at + c)))) size(std::ptrdiff_t(c)), ++found;
            for (std::size_t found = 0, c = 1; found < kMatches && c <= kScan && std::ptrdiff_t(at) + offset - std::ptrdiff_t(c) - 1 >= 0; ++c)
                if (same(before, tab(std::ptrdiff_t(at) + offset - std::ptrdiff_t(c) - 1))) size(std::ptrdiff_t(c)), ++found;
            for (std::size_t i = 0; i < sizeCount; ++i) {
                each(Op{Op::Kind::open, at, sizes[i], 0, false});
                each(Op{Op::Kind::open, at, sizes[i], 0, true});
            }
            // Closed: the tab after them stands here, or the one before them before the tabs left.
            sizeCount = 0;
            for (const auto c : {-offset, -offset + 1, -offset + 2, std::ptrdiff_t(1), std::ptrdiff_t(2)}) size(c);
            for (std::size_t found = 0, c = 1; at + c < length && found < kMatches && c <= kScan; ++c)
                if (same(addressAt(s, at + c, pages.placeAddresses), tab(std::ptrdiff_t(at)))) size(std::ptrdiff_t(c)), ++found;
            for (std::size_t found = 0, c = 1; found < kMatches && c <= kScan && at + c <= length; ++c)
                if (same(before, tab(std::ptrdiff_t(at + c) + offset - 1))) size(std::ptrdiff_t(c)), ++found;
            for (std::size_t i = 0; i < sizeCount; ++i)
                if (at + sizes[i] <= length) each(Op{Op::Kind::close, at, sizes[i], 0, false});
        }
        // Dragged: a block that brings the first difference in line, or the last.
        if (h0 < length && h0 < m) {
            const auto want = pages.tabAddresses[h0];
            for (std::size_t found = 0, z = h0 + 1; z < length && found < kMatches && z - h0 <= kScan; ++z) {
                const auto a = addressAt(s, z, pages.placeAddresses);
                if (a && *a != want) continue;
                ++found;
                const auto run = stripCommon(s, z, h0);
                for (const auto y : {z + 1, z + std::max<std::size_t>(run, 1)})
                    if (y <= length) each(Op{Op::Kind::move, h0, z, y, false});
            }
        }
        if (e0 > 0 && std::ptrdiff_t(e0) + offset - 1 >= 0 && std::ptrdiff_t(e0) + offset - 1 < std::ptrdiff_t(m)) {
            const auto end = std::size_t(std::ptrdiff_t(e0) + offset);
            const auto want = pages.tabAddresses[end - 1];
            for (std::size_t found = 0, z = e0 - 1; z > 0 && found < kMatches && e0 - z <= kScan; --z) {
                const auto a = addressAt(s, z - 1, pages.placeAddresses);
                if (a && *a != want) continue;
                ++found;
                const auto run = stripCommonBefore(s, z, end);
                for (const auto x : {z - 1, z - std::min(z, std::max<std::size_t>(run, 1))})
                    if (x < z) each(Op{Op::Kind::move, x, z, e0, false});
            }
        }
    }

    void run(const Strip &start, const Activity &active, std::size_t closedKept) {
        evaluate(start, active, {}, closedKept);
        if (best && best->reading.rank_.actions == 0) return;
        lastActions(start, active, 1, [&](const Op &op) { evaluate(start, active, std::span(&op, 1), closedKept); });
        if (best && best->reading.rank_.actions <= 1) return;
        std::vector<Op> tried;
        firstActions(start, active, [&](const Op &first) {
            if (budget == 0 || std::find(tried.begin(), tried.end(), first) != tried.end()) return;
            tried.push_back(first);
            Strip s = start;
            Activity after = active;
            std::array<std::uint32_t, 2> closed{};
            std::size_t closedCount = 0;
            if (!apply(s, after, first, closed, closedCount)) return;
            lastActions(s, after, 0, [&](const Op &second) {
                const std::array<Op, 2> ops{first, second};
                evaluate(start, active, ops, closedKept);
            });
        });
    }

    // The reading checked page by page: hashes may, however rarely, agree on different pages.
    bool holds(const Found &f) const {
        const auto &r = f.reading;
        int navigations = 0;
        std::size_t t = 0;
        for (std::size_t i = 0; i < r.segmentCount_; ++i) {
            const auto &seg = r.segments_[i];
            if (!seg.opened)
                for (std::uint32_t k = 0; k < seg.length; ++k)
                    navigations += pages.placeAddresses[seg.from + k] != pages.tabAddresses[t + k] ||
                                   (pages.tabs[t + k].title.isEmpty() && !pages.places[seg.from + k].title.isEmpty());
            t += seg.length;
        }
        return navigations == f.navigations;
    }
};

std::vector<ActionReading> ActionReader::read(const WindowPages &pages, WindowFocus focus) {
    const auto n = pages.places.size();
    const auto m = pages.tabs.size();
    if (n == 0 || m == 0 || n > std::numeric_limits<std::uint32_t>::max() || m > std::numeric_limits<std::uint32_t>::max()) return {};
    // The active place as a plain number, past the places when unknown.
    const auto activePlace = focus.activePlace && *focus.activePlace < n ? *focus.activePlace : n;
    if (focus.activeTab && *focus.activeTab >= m) focus.activeTab.reset();

    const auto longest = std::max(n, m) + 1;
    if (powers_.size() < longest) {
        const auto from = std::max<std::size_t>(powers_.size(), 1);
        powers_.resize(longest);
        powers_[0] = 1;
        for (auto k = from; k < longest; ++k) powers_[k] = mulMod(powers_[k - 1], kBase);
    }
    prefixHashes(placeHashes_, n, [&](std::size_t i) { return valueOf(pages.placeAddresses[i]); });
    prefixHashes(tabHashes_, m, [&](std::size_t i) { return valueOf(pages.tabAddresses[i]); });

    Search search{*this, pages, n, m, focus.activeTab, 2048 + 2 * (n + m)};
    for (std::size_t t = 0; t < m; ++t)
        if (pages.tabs[t].title.isEmpty()) search.blank.push_back(t);
    const auto closed = [&](std::size_t p) { return p < focus.closedPlaces.size() && focus.closedPlaces[p] != 0; };
    std::size_t closedCount = 0;
    for (std::size_t p = 0; p < n; ++p) closedCount += closed(p);

    // First as the browser should have done what this system asked: its closed tabs gone, and
    // the tab after an active one among them active, or the one before when none is left after.
    if (closedCount > 0 && closedCount < n) {
        Strip start;
        bool fits = true;
        std::size_t kept = 0;
        std::optional<std::size_t> active;
        for (std::size_t p = 0; p < n && fits; ++p) {
            if (closed(p)) continue;
            if (activePlace < n && !active && p >= activePlace) active = kept;
            fits = start.append(std::uint32_t(p));
            ++kept;
        }
        if (fits) {
            Activity a;
            if (activePlace < n) {
                a.any = false;
                const auto at = active.value_or(kept - 1);
                a.add(at, at + 1);
            }
            search.run(start, a, 0);
        }
    }
    // Then as the browser may not have done it yet, where that takes fewer actions.
    if (!search.best || search.best->reading.rank_.actions > 0) {
        Strip start;
        start.push({0, std::uint32_t(n), false, false});
        Activity a;
        if (activePlace < n) {
            a.any = false;
            a.add(activePlace, activePlace + 1);
        }
        search.run(start, a, closedCount);
    }
    if (!search.best || !search.holds(*search.best)) return {};
    const auto known = [&](Search::Found &f) {
        if (!f.retitlesKnown) f.reading.rank_.retitles = search.retitles(f.reading);
        f.retitlesKnown = true;
    };
    known(*search.best);

    std::vector<ActionReading> readings{search.best->reading};
    const auto &bestRank = search.best->reading.rank();
    for (auto &[key, found] : search.byAddress) {
        const auto &rank = found.reading.rank();
        if (rank.actions != bestRank.actions || rank.closedKept != bestRank.closedKept || !search.holds(found)) continue;
        if (std::any_of(readings.begin(), readings.end(), [&](const ActionReading &r) {
                return r.segmentCount_ == found.reading.segmentCount_ &&
                       std::equal(r.segments_.begin(), r.segments_.begin() + std::ptrdiff_t(r.segmentCount_), found.reading.segments_.begin(),
                                  [](const Segment &a, const Segment &b) {
                                      return a.from == b.from && a.length == b.length && a.opened == b.opened && a.alone == b.alone;
                                  });
            }))
            continue;
        known(found);
        readings.push_back(found.reading);
    }
    return readings;
}

}  // namespace ondrake
