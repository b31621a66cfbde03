#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>

namespace ondrake::strip {

// A stretch of a window's tabs: places of the last poll standing in order from `from`, or tabs
// opened.
struct Segment {
    std::uint32_t from = 0;
    std::uint32_t length = 0;
    bool opened = false;
    bool alone = false;  // opened, one tab by itself
};
constexpr std::size_t kMostSegments = 16;

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

    // Adds a place after the last, to its stretch when it follows it.
    bool append(std::uint32_t place) {
        if (count_ > 0 && !segments_[count_ - 1].opened && segments_[count_ - 1].from + segments_[count_ - 1].length == place) {
            ++segments_[count_ - 1].length;
            return true;
        }
        return count_ < segments_.size() / 2 && push({place, 1, false, false});
    }

    // The index of the stretch that starts at `at`, splitting one there; none when full.
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
    void copyTo(std::array<Segment, kMostSegments> &out, std::size_t &count) const {
        std::copy(segments_.begin(), segments_.begin() + std::ptrdiff_t(count_), out.begin());
        count = count_;
    }

private:
    std::array<Segment, kMostSegments> segments_{};
    std::size_t count_ = 0;
};

// The tabs that may be active after the actions so far: any, when the last poll did not tell.
struct Activity {
    bool any = true;
    std::array<std::pair<std::size_t, std::size_t>, 12> spans{};  // [from, to)
    std::array<bool, 12> dragged{};  // made active by a drag
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
inline void pieces(const Op &op, std::size_t length, const Each &each) {
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

inline Activity afterAction(const Op &op, const Activity &was, std::size_t length) {
    // The browser activates the first tab of what it opens in front, or the last.
    if (op.kind == Op::Kind::open && op.front) {
        Activity now;
        now.any = false;
        now.add(op.a, op.a + 1);
        if (op.b > 1) now.add(op.a + op.b - 1, op.a + op.b);
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

// Does an action to a strip, noting a place closed alone: false when it does not fit the strip.
inline bool apply(Strip &s, Activity &active, const Op &op, std::array<std::uint32_t, 3> &closedAlone,
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

}  // namespace ondrake::strip
