#include "ActionCandidates.h"

#include <algorithm>
#include <tuple>
#include <limits>

namespace ondrake {

namespace {

using Op = strip::Op;
using Strip = strip::Strip;

std::ptrdiff_t signedOf(std::size_t v) { return std::ptrdiff_t(v); }

void addUnique(std::vector<std::size_t> &to, std::size_t p) {
    if (std::find(to.begin(), to.end(), p) == to.end()) to.push_back(p);
}

}  // namespace

ActionCandidates::Edges ActionCandidates::edgesOf(const Strip &s) const {
    const auto length = s.length();
    Edges e;
    std::size_t h = cmp_.stripCommon(s, 0, 0);
    for (std::size_t k = 0; k < 3; ++k) {
        e.head[k] = h;
        if (h < length && h < m_) h += 1 + cmp_.stripCommon(s, h + 1, h + 1);
    }
    std::size_t tail = cmp_.stripCommonBefore(s, length, m_);
    for (std::size_t k = 0; k < 3; ++k) {
        e.tailStart[k] = length - std::min(tail, length);
        if (tail < length && tail < m_) tail += 1 + cmp_.stripCommonBefore(s, length - tail - 1, m_ - tail - 1);
    }
    return e;
}

bool ActionCandidates::isShort(const Strip &s) const {
    const auto length = s.length();
    const auto e = edgesOf(s);
    const auto h = e.head[0];
    const auto tail = length - e.tailStart[0];
    const auto inStrip = length > h + tail ? length - h - tail : 0;
    const auto inTabs = m_ > h + tail ? m_ - h - tail : 0;
    return std::max(inStrip, inTabs) <= kShortDifference;
}

std::array<std::size_t, 2> ActionCandidates::titledEnds(const Strip &s, std::ptrdiff_t shiftBy) const {
    const auto length = s.length();
    cmp_.hashPages();
    const auto head = cmp_.stripCommon(s, 0, 0, true);
    const auto tail = signedOf(length - std::min(length, cmp_.stripCommonBefore(s, length, m_, true))) - shiftBy;
    return {head, std::size_t(std::max<std::ptrdiff_t>(tail, 0))};
}

void ActionCandidates::within(const Strip &s, std::size_t lo, std::size_t hi, std::size_t size, const Activity &active,
                              std::span<const std::size_t> titled, std::vector<std::size_t> &out) const {
    if (lo > hi) return;
    const auto offer = [&](std::size_t p) {
        if (p >= lo && p <= hi) addUnique(out, p);
    };
    offer(hi);
    offer(lo);
    for (const auto p : titled) offer(p);
    const auto near = [&](std::size_t v) {
        for (const auto d : {std::ptrdiff_t(0), std::ptrdiff_t(1), -std::ptrdiff_t(1), -signedOf(size), -signedOf(size) + 1,
                             -signedOf(size) - 1})
            if (signedOf(v) + d >= 0) offer(std::size_t(signedOf(v) + d));
    };
    if (activeTab_) near(*activeTab_);
    active.edges(near);
    cmp_.budget().spend(out.size());
    // Along a short slide, where a title changes tells which of identical tabs the action took.
    constexpr std::size_t kShortStretch = 64;
    if (hi - lo > kShortStretch) return;
    cmp_.budget().spend(hi - lo);
    // From the place before lo: the titles there and after.
    const auto first = lo > 0 ? lo - 1 : 0;
    std::size_t start = 0;
    QStringView before;
    for (std::size_t i = 0; i < s.count() && start <= hi; start += s[i].length, ++i) {
        if (start + s[i].length <= first) continue;
        for (auto at = std::max(start, first); at < start + s[i].length && at <= hi; ++at) {
            const auto title = s[i].opened ? QStringView() : pages_.places[s[i].from + (at - start)].title;
            if (at > lo && title != before) offer(at);
            before = title;
        }
    }
}

void ActionCandidates::openOrClose(const Strip &s, const Activity &active, int spare, const Edges &e, std::vector<Op> &out) const {
    const auto length = s.length();
    const bool open = m_ > length;
    const auto c = open ? m_ - length : length - m_;
    const auto last = open ? length : m_;  // the last place the action may start at
    const auto shiftBy = open ? std::ptrdiff_t(0) : signedOf(c);
    const auto titled = titledEnds(s, shiftBy);
    std::vector<std::size_t> at;
    // A start whose tabs before it show this poll's but for k1, and after it but for k2.
    for (int k1 = 0; k1 <= std::min(spare, 2); ++k1)
        for (int k2 = 0; k1 + k2 <= std::min(spare, 2); ++k2) {
            const auto lo = std::max<std::ptrdiff_t>(signedOf(e.tailStart[std::size_t(k2)]) - shiftBy, 0);
            const auto hi = std::min(e.head[std::size_t(k1)], last);
            if (lo <= signedOf(hi)) within(s, std::size_t(lo), hi, c, active, titled, at);
        }
    for (const auto a : at) {
        if (open) {
            out.push_back({Op::Kind::open, a, c, 0, false});
            out.push_back({Op::Kind::open, a, c, 0, true});
        } else {
            out.push_back({Op::Kind::close, a, c, 0, false});
        }
    }
}

std::optional<std::size_t> ActionCandidates::shownOnceAt(std::uint32_t address) const {
    constexpr auto kNone = std::numeric_limits<std::uint32_t>::max();
    constexpr auto kMany = kNone - 1;
    if (onceAt_.empty()) {
        std::uint32_t most = 0;
        for (const auto a : pages_.placeAddresses) most = std::max(most, a);
        for (const auto a : pages_.tabAddresses) most = std::max(most, a);
        placeCount_.assign(std::size_t(most) + 1, 0);
        onceAt_.assign(std::size_t(most) + 1, kNone);
        for (const auto a : pages_.placeAddresses) placeCount_[a] = std::uint8_t(std::min(placeCount_[a] + 1, 2));
        for (std::size_t t = 0; t < m_; ++t) {
            auto &at = onceAt_[pages_.tabAddresses[t]];
            at = at == kNone ? std::uint32_t(t) : kMany;
        }
        cmp_.budget().spend(pages_.placeAddresses.size() + m_);
    }
    if (address >= onceAt_.size() || placeCount_[address] != 1 || onceAt_[address] >= kMany) return std::nullopt;
    return onceAt_[address];
}

void ActionCandidates::drags(const Strip &s, const Activity &active, int spare, const Edges &e, std::vector<Op> &out) const {
    const auto length = s.length();
    const auto h0 = e.head[0];
    const auto e0 = e.tailStart[0];
    if (h0 >= length) return;
    const auto most = std::size_t(std::min(spare, 2));
    // The tab at the first difference, or past tabs sent elsewhere before the block; and the
    // same seen from the end, where what a block passed may have gone elsewhere at the front.
    std::vector<std::size_t> anchors{h0};
    std::vector<std::size_t> mirrored{length - e0};
    for (std::size_t k = 1; k <= most; ++k) {
        addUnique(anchors, e.head[k]);
        addUnique(mirrored, length - e.tailStart[k]);
    }
    for (const auto q : anchors)
        if (q < length) anchoredAt(s, active, false, q, Finish{e.tailStart[most], spare}, {}, out);
    for (const auto q : mirrored)
        if (q < length) anchoredAt(s, active, true, q, Finish{length - std::min(e.head[most], length), spare}, {}, out);
    // A page shown once before and now that stands at a difference went where it shows now.
    for (const auto at : {h0, e0 > 0 ? e0 - 1 : length}) {
        if (at >= length) continue;
        const auto address = cmp_.addressAt(s, at);
        if (address == StretchComparison::kAnyAddress) continue;
        const auto to = shownOnceAt(address);
        if (!to || *to == at) continue;
        if (*to < at) out.push_back({Op::Kind::move, *to, at, at + 1, false});
        else out.push_back({Op::Kind::move, at, at + 1, *to + 1, false});
    }
}

void ActionCandidates::anchoredAt(const Strip &s, const Activity &active, bool mirrored, std::size_t q, std::optional<Finish> last,
                                  std::span<const std::size_t> there, std::vector<Op> &out) const {
    const auto length = s.length();
    const auto m = m_;
    const auto any = StretchComparison::kAnyAddress;
    // Positions and cuts seen from the end when mirrored.
    const auto stripAddress = [&](std::size_t p) { return p < length ? cmp_.addressAt(s, mirrored ? length - 1 - p : p) : any; };
    const auto tabAddress = [&](std::size_t t) { return pages_.tabAddresses[mirrored ? m - 1 - t : t]; };
    // How many of the strip's tabs from p show this poll's from t, and before them.
    const auto common = [&](std::size_t p, std::size_t t) {
        return mirrored ? cmp_.stripCommonBefore(s, length - p, m - t) : cmp_.stripCommon(s, p, t);
    };
    const auto commonBefore = [&](std::size_t p, std::size_t t) {
        return mirrored ? cmp_.stripCommon(s, length - p, m - t) : cmp_.stripCommonBefore(s, p, t);
    };
    std::vector<std::size_t> found;
    const auto inStrip = [&](std::uint32_t address, std::size_t from, std::size_t to) {
        found.clear();
        to = std::min(to, length);
        if (from >= to) return;
        if (!mirrored) return cmp_.stripPositionsOf(s, address, from, to, found);
        cmp_.stripPositionsOf(s, address, length - to, length - from, found);
        for (auto &p : found) p = length - 1 - p;
    };
    const auto inTabs = [&](std::uint32_t address, std::size_t from, std::size_t to) {
        found.clear();
        to = std::min(to, m);
        if (from >= to) return;
        if (!mirrored) return cmp_.tabPositionsOf(address, from, to, found);
        cmp_.tabPositionsOf(address, m - to, m - from, found);
        for (auto &t : found) t = m - 1 - t;
    };
    // The places worth trying of a slide [lo, hi], as cuts seen from this end.
    const auto titled = titledEnds(s, 0);
    std::vector<std::size_t> slide;
    const auto slideOf = [&](std::size_t lo, std::size_t hi) {
        slide.clear();
        if (!mirrored) return within(s, lo, hi, 0, active, titled, slide);
        within(s, length - hi, length - lo, 0, active, titled, slide);
        for (auto &p : slide) p = length - p;
    };
    // Every action offered is paid as the comparisons that judge it will be, before the list
    // grows: a first action's may be many.
    constexpr std::size_t kStepsPerOffer = 8;
    const auto open = [&](std::size_t a, std::size_t c) {
        if (c == 0 || a > length) return;
        cmp_.budget().spend(2 * kStepsPerOffer);
        const auto at = mirrored ? length - a : a;
        out.push_back({Op::Kind::open, at, c, 0, false});
        out.push_back({Op::Kind::open, at, c, 0, true});
    };
    const auto close = [&](std::size_t a, std::size_t c) {
        if (c == 0 || c >= length || a + c > length) return;
        cmp_.budget().spend(kStepsPerOffer);
        out.push_back({Op::Kind::close, mirrored ? length - a - c : a, c, 0, false});
    };
    const auto push = [&](std::size_t x, std::size_t z, std::size_t y) {
        cmp_.budget().spend(kStepsPerOffer);
        if (mirrored) out.push_back({Op::Kind::move, length - y, length - z, length - x, false});
        else out.push_back({Op::Kind::move, x, z, y, false});
    };
    // Where the active tab is, was or may be, seen from this end: a slid block lands beside them.
    std::vector<std::size_t> marks;
    if (activeTab_) marks.push_back(mirrored ? m - 1 - *activeTab_ : *activeTab_);
    active.edges([&](std::size_t p) {
        for (const auto at : {p, p > 0 ? p - 1 : p})
            if (at < length) marks.push_back(mirrored ? length - 1 - at : at);
    });
    // Of `most` steps of a slide from `from`, each `step` long, those that bring the block to
    // the marks, and the first and the last.
    const auto stepsOf = [&](std::size_t most, std::size_t from, std::size_t step, bool back) {
        std::vector<std::size_t> steps{1, most};
        for (const auto a : marks) {
            const auto distance = back ? (a <= from ? from - a : 0) : (a >= from ? a - from : 0);
            for (const auto j : {distance / step, distance / step + 1})
                if (j >= 1 && j <= most) addUnique(steps, j);
        }
        return steps;
    };
    const auto move = [&](std::size_t x, std::size_t z, std::size_t y) {
        if (!(x < z && z < y && y <= length)) return;
        push(x, z, y);
        // The block brought back lands as well wherever the tabs before x repeat it, and the one
        // passed lands as well wherever those after y repeat it: the same pages at other places.
        const auto second = y - z;
        std::size_t back = 0;
        for (auto at = x; at >= second && !cmp_.budget().exhausted() && common(z, at - second) >= second; at -= second) ++back;
        if (back > 0)
            for (const auto j : stepsOf(back, x, second, true)) push(x - j * second, z, y);
        if (!last) return;
        const auto first = z - x;
        std::size_t on = 0;
        for (auto at = y; at + first <= std::min(length, m) && !cmp_.budget().exhausted() && common(x, at) >= first; at += first) ++on;
        if (on > 0)
            for (const auto j : stepsOf(on, y, first, false)) push(x, z, y + j * first);
    };
    const auto offset = std::ptrdiff_t(m) - std::ptrdiff_t(length);
    if (q >= m && q >= length) return;

    // Dragged: a tab w of the strip comes to q, with the block it starts (or that reaches back
    // from it along tabs alike); the block it passed starts at x and comes back right after. In
    // a last action, the first `skip` tabs of the block brought may have gone elsewhere.
    const auto spare = last ? std::min(last->spare, 2) : 0;
    const auto commonSkipping = [&](std::size_t p, std::size_t t, int k) {
        std::size_t total = 0;
        for (;;) {
            const auto same = common(p + total, t + total);
            total += same;
            if (k-- == 0 || p + total >= length || t + total >= m) return total;
            ++total;
        }
    };
    for (int skip = 0; skip <= std::min(spare, 1); ++skip) {
        const auto qa = q + std::size_t(skip);
        if (qa >= m) break;
        inStrip(tabAddress(qa), qa + 1, length);
        const std::vector<std::size_t> bringing(found);
        for (const auto w : bringing) {
            if (cmp_.budget().exhausted()) return;
            const auto start = w - std::size_t(skip);
            slideOf(q - std::min(q, commonBefore(start, q)), q);
            const std::vector<std::size_t> xs(slide);
            for (const auto x : xs) {
                if (cmp_.budget().exhausted()) return;
                const auto z = start - (q - x);
                if (z <= x) continue;
                const auto same = commonSkipping(z, x, spare);
                if (same == 0) continue;
                std::vector<std::size_t> ys;
                // The block passed starts again right after, at its first tab or, gone elsewhere,
                // its second.
                for (std::size_t lead = 0; lead <= std::size_t(spare) && lead < 2; ++lead) {
                    const auto sx = stripAddress(x + lead);
                    if (sx == any) {
                        ys.push_back(z + same);
                        continue;
                    }
                    inTabs(sx, x + 1 + lead, x + same + 1 + lead);
                    for (const auto d : found) ys.push_back(z + (d - lead - x));
                }
                // Or the block brought ends where it stops showing this poll's tabs, what it
                // passed having gone elsewhere.
                ys.push_back(z + common(z, x));
                if (!last) {
                    ys.push_back(z + same);
                    for (const auto y : there) ys.push_back(y);
                }
                for (const auto y : ys) {
                    if (y <= z || y > length) continue;
                    if (last) {
                        if (y < last->from) continue;
                        // Both blocks as this poll shows them, but for tabs sent elsewhere.
                        auto left = last->spare;
                        const auto [px, pz, py] = mirrored ? std::tuple(length - y, length - z, length - x) : std::tuple(x, z, y);
                        if (!cmp_.fits(s, pz, px, py - pz, left) || !cmp_.fits(s, px, px + (py - pz), pz - px, left) ||
                            StretchComparison::onlyOpened(s, px, pz) || StretchComparison::onlyOpened(s, pz, py))
                            continue;
                    }
                    move(x, z, y);
                }
            }
        }
    }
    if (last) return;
    // Closed: the strip's tab w shows this poll's at q once the tabs before it close.
    if (q < m && q < length) {
        inStrip(tabAddress(q), q + 1, length);
        const std::vector<std::size_t> bringing(found);
        for (const auto w : bringing) {
            if (cmp_.budget().exhausted()) return;
            slideOf(q - std::min(q, commonBefore(w, q)), q);
            for (const auto x : slide) close(x, w - q);
        }
        if (offset < 0) close(q, std::size_t(-offset));
        if (offset < -1) close(q, 1);
        for (const auto y : there)
            if (y > q) close(q, y - q);
    }
    // Opened: the strip's tab at q comes back at this poll's tab d, after the opened ones.
    if (q <= length) {
        if (const auto sq = stripAddress(q); sq != any) {
            inTabs(sq, q + 1, m);
            const std::vector<std::size_t> back(found);
            for (const auto d : back) {
                if (cmp_.budget().exhausted()) return;
                slideOf(q - std::min(q, commonBefore(q, d)), q);
                for (const auto x : slide) open(x, d - q);
            }
        }
        if (offset > 0) open(q, std::size_t(offset));
        // A tab opened alone where more open: one dragged in from another window, say.
        if (offset > 1) open(q, 1);
        for (const auto y : there)
            if (std::ptrdiff_t(y) + offset > std::ptrdiff_t(q)) open(q, std::size_t(std::ptrdiff_t(y) + offset) - q);
    }
    // Or what opens or closes stands inside the block that a drag done after it brings to q: the
    // strip's tab w shows this poll's at q, and what closes ends the stretch from w that does, or
    // what opens does, or stands right before w when the block brought starts with what opened.
    if (q < m && q < length && offset != 0) {
        const auto c = std::size_t(offset < 0 ? -offset : offset);
        for (std::size_t k = 0; k <= (offset > 0 ? c : 0) && q + k < m; ++k) {
            inStrip(tabAddress(q + k), q + 1, length);
            const std::vector<std::size_t> continuing(found);
            for (const auto w : continuing) {
                if (cmp_.budget().exhausted()) return;
                const auto end = k == 0 ? w + common(w, q) : w;
                if (offset < 0) close(end, c);
                else open(end, c);
            }
        }
    }
}

void ActionCandidates::last(const Strip &s, const Activity &active, int spare, std::vector<Op> &out) const {
    const auto e = edgesOf(s);
    if (m_ != s.length()) openOrClose(s, active, spare, e, out);
    else drags(s, active, spare, e, out);
}

void ActionCandidates::first(const Strip &s, const Activity &active, int spare, std::vector<Op> &out) const {
    const auto length = s.length();
    const auto e = edgesOf(s);
    const auto titled = titledEnds(s, 0);
    std::vector<std::size_t> left;
    std::vector<std::size_t> right;
    within(s, 0, std::min(e.head[0], length), 0, active, titled, left);
    within(s, std::min(e.tailStart[0], length), length, 0, active, titled, right);
    // The far cuts, seen from each end.
    std::vector<std::size_t> fromEnd;
    for (const auto y : right) fromEnd.push_back(y);
    std::vector<std::size_t> fromStart;
    for (const auto x : left) fromStart.push_back(length - x);
    const auto most = std::size_t(std::min(spare, 2));
    for (std::size_t k = 0; k <= most; ++k) {
        anchoredAt(s, active, false, e.head[k], std::nullopt, fromEnd, out);
        anchoredAt(s, active, true, length - e.tailStart[k], std::nullopt, fromStart, out);
    }
}

void ActionCandidates::everyNear(const Strip &s, const Activity &active, std::vector<Op> &out) const {
    const auto length = s.length();
    const auto e = edgesOf(s);
    const auto lo = std::min(e.head[0], e.tailStart[0]);
    const auto hi = std::min(std::max(e.head[0], e.tailStart[0]), length);
    const auto titled = titledEnds(s, 0);
    // Every place of the difference and one each side, and where slides end beyond.
    std::vector<std::size_t> at;
    const auto from = lo > 0 ? lo - 1 : 0;
    const auto to = std::min(length, hi + 1);
    within(s, 0, from, 0, active, titled, at);
    for (auto p = from; p <= to; ++p) addUnique(at, p);
    within(s, to, length, 0, active, titled, at);
    std::sort(at.begin(), at.end());
    const auto opened = (m_ > length ? m_ - length : 0) + (hi - lo) + 1;
    for (std::size_t i = 0; i < at.size(); ++i) {
        const auto a = at[i];
        for (std::size_t c = 1; c <= std::min(opened, kShortDifference + (m_ > length ? m_ - length : 0) + 1); ++c) {
            out.push_back({Op::Kind::open, a, c, 0, false});
            out.push_back({Op::Kind::open, a, c, 0, true});
        }
        for (auto j = i + 1; j < at.size(); ++j) {
            if (at[j] - a < length) out.push_back({Op::Kind::close, a, at[j] - a, 0, false});
            for (auto k = j + 1; k < at.size(); ++k) out.push_back({Op::Kind::move, a, at[j], at[k], false});
        }
    }
    cmp_.budget().spend(out.size());
}

}  // namespace ondrake
