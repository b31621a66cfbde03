#include "ActionReading.h"

#include "Platform/TextHash.h"

#include <algorithm>
#include <iterator>
#include <limits>
#include <tuple>
#include <unordered_set>
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
using strip::Activity;
using strip::Op;
using strip::Strip;

}  // namespace

constexpr std::size_t kLargestBlockOfTwo = 2;
// A window whose tabs are each worth trying as the edge of a first action.
constexpr std::size_t kSmallWindow = 12;
// A stretch an action may slide along in which every change of title is worth trying.
constexpr std::size_t kShortStretch = 64;

struct ActionReader::Search {
    const StretchComparison cmp;
    const WindowPages &pages;
    std::size_t n;
    std::size_t m;
    std::optional<std::size_t> activeTab;
    std::size_t budget;
    // The places a second action's drag may still try as the edge between its blocks: each costs
    // a scan, and a first action is tried at many places.
    mutable std::size_t dragSteps = 0;
    mutable std::vector<std::uint8_t> placeCount{};  // by address, up to 2
    mutable std::vector<std::uint32_t> onceAt{};     // by address: the one tab showing it

    struct Found {
        ActionReading reading;
        Strip start;  // the window the actions were done to
        int navigations = 0;
        bool retitlesKnown = false;
    };
    std::optional<Found> best{};
    std::vector<std::pair<std::pair<int, std::uint32_t>, Found>> byAddress{};  // (opened, address)

    // Whether a tab the actions close, or send to another address, shows a page that a block of
    // more than two tabs opened with it shows: tabs a person opens together are other pages than
    // one just closed or left.
    bool reopensInABlock(const Strip &start, const Strip &now) const {
        std::vector<std::uint32_t> opened;
        std::size_t t = 0;
        std::vector<char> kept(n, 0);
        for (std::size_t i = 0; i < now.count(); ++i) {
            const auto &seg = now[i];
            if (seg.opened && seg.length > kLargestBlockOfTwo)
                for (std::uint32_t k = 0; k < seg.length; ++k) opened.push_back(pages.tabAddresses[t + k]);
            if (!seg.opened)
                for (std::uint32_t k = 0; k < seg.length; ++k)
                    kept[seg.from + k] = pages.placeAddresses[seg.from + k] == pages.tabAddresses[t + k];
            t += seg.length;
        }
        if (opened.empty()) return false;
        std::sort(opened.begin(), opened.end());
        for (std::size_t i = 0; i < start.count(); ++i)
            for (auto p = start[i].from; p < start[i].from + start[i].length; ++p)
                if (!kept[p] && std::binary_search(opened.begin(), opened.end(), pages.placeAddresses[p])) return true;
        return false;
    }

    // The pages (address and title) of the places the reading does not keep, ascending.
    std::vector<std::uint64_t> closedPages(const Strip &start, const Strip &now) const {
        std::vector<std::pair<std::uint32_t, std::uint32_t>> kept;  // [from, to)
        for (std::size_t i = 0; i < now.count(); ++i)
            if (!now[i].opened) kept.emplace_back(now[i].from, now[i].from + now[i].length);
        std::sort(kept.begin(), kept.end());
        std::vector<std::uint64_t> closed;
        for (std::size_t i = 0; i < start.count(); ++i) {
            auto p = start[i].from;
            const auto end = start[i].from + start[i].length;
            for (const auto &[from, to] : kept) {
                if (to <= p || from >= end) continue;
                for (; p < from; ++p) closed.push_back(pageKey(pages.placeAddresses[p], pages.places[p].title));
                p = std::max(p, to);
            }
            for (; p < end; ++p) closed.push_back(pageKey(pages.placeAddresses[p], pages.places[p].title));
        }
        std::sort(closed.begin(), closed.end());
        return closed;
    }
    static std::uint64_t pageKey(std::uint32_t address, QStringView title) {
        return std::uint64_t(address) * 0x9E3779B97F4A7C15ull ^ textHash(title, 11);
    }
    // Whether a place keeps its address under a title a page does not take by itself: none again
    // (a tab seen with a title does not go back to loading), or that of a tab the reading closes
    // (its title moving onto a twin is rather that twin staying).
    bool unnatural(std::size_t p, std::size_t t, const std::vector<std::uint64_t> &closed) const {
        const auto &place = pages.places[p];
        const auto &tab = pages.tabs[t];
        return pages.placeAddresses[p] == pages.tabAddresses[t] && !place.title.isEmpty() && place.title != tab.title &&
               (tab.title.isEmpty() || std::binary_search(closed.begin(), closed.end(), pageKey(pages.tabAddresses[t], tab.title)));
    }
    // Of `length` places from `p` paired with the tabs from `t`, up to one more than `cap`, those
    // whose title changed so.
    std::size_t unnaturalRetitles(std::size_t p, std::size_t t, std::size_t length, std::size_t cap,
                                  const std::vector<std::uint64_t> &closed) const {
        cmp.hashPages();
        if (cmp.sameStretch(p, t, length, true)) return 0;
        std::size_t count = 0;
        for (std::size_t k = 0; k < length && count <= cap;) {
            k += cmp.common(p + k, t + k, length - k, true);
            if (k >= length) break;
            count += unnatural(p + k, t + k, closed);
            ++k;
        }
        return count;
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
            if (!strip::apply(s, active, op, r.closedAlone_, r.closedAloneCount_)) return;
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
                navigations += int(cmp.mismatches(seg.from, t, seg.length, std::size_t(allowed - navigations)));
                if (navigations > allowed) return;
                shifted += std::uint64_t(t > seg.from ? t - seg.from : seg.from - t) * seg.length;
            }
            t += seg.length;
        }
        // Retitles a page does not do by itself count as the tab going elsewhere.
        const auto closed = kept < start.length() ? closedPages(start, s) : std::vector<std::uint64_t>();
        t = 0;
        for (std::size_t i = 0; i < s.count() && navigations <= allowed; ++i) {
            const auto &seg = s[i];
            if (!seg.opened) navigations += int(unnaturalRetitles(seg.from, t, seg.length, std::size_t(allowed - navigations), closed));
            t += seg.length;
        }
        if (navigations > allowed) return;
        const auto holds = activeTab ? active.holds(*activeTab) : std::optional(0);
        const int activated = holds ? 0 : 1;
        const int actions = int(ops.size()) + navigations + activated;
        if (actions > 2) return;
        // One action may open, close or drag a block of any size; of two, one at most more than a
        // tab or two, but for two opened or two closed: a large block closed and another opened,
        // or two dragged, could stand for anything, and are more than two things a person did.
        const bool alike = ops.size() == 2 && ops[0].kind == ops[1].kind && ops[0].kind != Op::Kind::move;
        if (ops.size() == 2 && !alike && std::all_of(ops.begin(), ops.end(), [](const Op &op) {
                return (op.kind == Op::Kind::move ? std::min(op.b - op.a, op.c - op.b) : op.b) > kLargestBlockOfTwo;
            }))
            return;
        if (ops.size() + std::size_t(navigations) == 2 && !ops.empty() && reopensInABlock(start, s)) return;
        s.copyTo(r.segments_, r.segmentCount_);
        std::size_t touched = std::size_t(navigations + activated);
        for (const auto &op : ops) touched += op.kind == Op::Kind::move ? std::min(op.b - op.a, op.c - op.b) : op.b;
        r.rank_ = {actions, closedKept, start.length() - kept + std::size_t(navigations), 0, 0, touched, holds.value_or(0), shifted};
        f.navigations = navigations;
        f.start = start;
        consider(std::move(f));
    }

    // Pages that retitled: identical tabs retitle together, so each title of an address that
    // became another counts once, then each tab that did.
    std::pair<std::size_t, std::size_t> retitles(const ActionReading &r) const {
        cmp.hashPages();
        std::vector<std::uint64_t> changes;
        std::size_t t = 0;
        for (std::size_t i = 0; i < r.segmentCount_; ++i) {
            const auto &seg = r.segments_[i];
            if (!seg.opened && !cmp.sameStretch(seg.from, t, seg.length, true))
                for (std::uint32_t k = 0; k < seg.length; ++k) {
                    const auto &place = pages.places[seg.from + k];
                    const auto &tab = pages.tabs[t + k];
                    if (place.url == tab.url && place.title != tab.title)
                        changes.push_back(std::uint64_t(pages.placeAddresses[seg.from + k]) * 0x9E3779B97F4A7C15ull ^
                                          textHash(place.title, 3) * 0xC2B2AE3D27D4EB4Full ^ textHash(tab.title, 5));
                }
            t += seg.length;
        }
        const auto tabs = changes.size();
        std::sort(changes.begin(), changes.end());
        return {std::size_t(std::unique(changes.begin(), changes.end()) - changes.begin()), tabs};
    }

    bool better(Found &a, Found &b) {
        const auto &ra = a.reading.rank_;
        const auto &rb = b.reading.rank_;
        if (std::tie(ra.actions, ra.closedKept, ra.lost) != std::tie(rb.actions, rb.closedKept, rb.lost))
            return std::tie(ra.actions, ra.closedKept, ra.lost) < std::tie(rb.actions, rb.closedKept, rb.lost);
        for (auto *f : {&a, &b})
            if (!f->retitlesKnown) {
                std::tie(f->reading.rank_.retitles, f->reading.rank_.retitledTabs) = retitles(f->reading);
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
        std::size_t h = cmp.stripCommon(s, 0, 0);
        for (std::size_t k = 0; k < 3; ++k) {
            e.head[k] = h;
            if (h < length && h < m) h += 1 + cmp.stripCommon(s, h + 1, h + 1);
        }
        std::size_t tail = cmp.stripCommonBefore(s, length, m);
        for (std::size_t k = 0; k < 3; ++k) {
            e.tailStart[k] = length - std::min(tail, length);
            if (tail < length && tail < m) tail += 1 + cmp.stripCommonBefore(s, length - tail - 1, m - tail - 1);
        }
        return e;
    }

    // Places worth trying in [lo, hi]: its ends, those beside where the active tab was and is, the
    // ends of the stretch where titles agree too, and in a short stretch where a title changes.
    template<typename Each>
    void within(const Strip &s, std::size_t lo, std::size_t hi, std::size_t size, const Activity &active,
                std::span<const std::size_t> titled, const Each &each) const {
        if (lo > hi) return;
        std::vector<std::size_t> tried;
        const auto offer = [&](std::size_t p) {
            if (p < lo || p > hi || std::find(tried.begin(), tried.end(), p) != tried.end()) return;
            tried.push_back(p);
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
        if (hi - lo > kShortStretch) return;
        const auto titleAt = [&](std::size_t at) {
            for (std::size_t i = 0; i < s.count(); ++i) {
                if (at < s[i].length) return s[i].opened ? QStringView() : pages.places[s[i].from + at].title;
                at -= s[i].length;
            }
            return QStringView();
        };
        for (auto p = lo + 1; p <= hi && p < s.length(); ++p)
            if (titleAt(p) != titleAt(p - 1)) offer(p);
    }

    // Where this poll shows a page that the last one showed once, when it shows it once too. The
    // counts are gathered on first need.
    std::optional<std::size_t> shownOnceAt(std::uint32_t address) const {
        constexpr auto kNone = std::numeric_limits<std::uint32_t>::max();
        constexpr auto kMany = kNone - 1;
        if (onceAt.empty()) {
            std::uint32_t most = 0;
            for (const auto a : pages.placeAddresses) most = std::max(most, a);
            for (const auto a : pages.tabAddresses) most = std::max(most, a);
            placeCount.assign(std::size_t(most) + 1, 0);
            onceAt.assign(std::size_t(most) + 1, kNone);
            for (const auto a : pages.placeAddresses) placeCount[a] = std::min<std::uint8_t>(placeCount[a] + 1, 2);
            for (std::size_t t = 0; t < m; ++t) {
                auto &at = onceAt[pages.tabAddresses[t]];
                at = at == kNone ? std::uint32_t(t) : kMany;
            }
        }
        if (address >= onceAt.size() || placeCount[address] != 1 || onceAt[address] >= kMany) return std::nullopt;
        return onceAt[address];
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
            cmp.hashPages();
            const auto titledHead = cmp.stripCommon(s, 0, 0, true);
            const auto titledTail = std::ptrdiff_t(length - std::min(length, cmp.stripCommonBefore(s, length, m, true))) - shiftBy;
            const std::array<std::size_t, 2> titled{titledHead, std::size_t(std::max<std::ptrdiff_t>(titledTail, 0))};
            const auto range = [&](std::ptrdiff_t lo, std::ptrdiff_t hi) {
                lo = std::max<std::ptrdiff_t>(lo, 0);
                hi = std::min<std::ptrdiff_t>(hi, std::ptrdiff_t(last));
                if (lo > hi) return;
                within(s, std::size_t(lo), std::size_t(hi), c, active, titled, [&](std::size_t at) {
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
            if (spare == 0 && !cmp.mayReorder(s, x, y - x)) return;
            for (auto z = x + 1; z < y && budget > 0; ++z) {
                if (spare == 0) {
                    if (dragSteps == 0) return;
                    --dragSteps;
                }
                const auto first = y - z;
                auto left = spare;
                if (!cmp.fits(s, z, x, first, left) || !cmp.fits(s, x, x + first, z - x, left) || StretchComparison::onlyOpened(s, x, z) || StretchComparison::onlyOpened(s, z, y))
                    continue;
                each(Op{Op::Kind::move, x, z, y, false});
            }
        };
        const auto blocks = [&](std::size_t xLo, std::size_t xHi, std::size_t yLo, std::size_t yHi) {
            for (auto x = xHi + 1; x-- > xLo;)
                for (auto y = std::max(yLo, x + 2); y <= std::min(yHi, length); ++y) tryBlocks(x, y);
        };
        blocks(h0 - std::min(reach, h0), h0, e0, e0 + reach);
        // A page shown once before and now that stands at a difference went where it shows now.
        for (const auto at : {h0, e0 > 0 ? e0 - 1 : length}) {
            if (at >= length) continue;
            const auto address = cmp.addressAt(s, at);
            if (address == StretchComparison::kAnyAddress) continue;
            const auto to = shownOnceAt(address);
            if (!to || *to == at) continue;
            if (*to < at) each(Op{Op::Kind::move, *to, at, at + 1, false});
            else each(Op{Op::Kind::move, at, at + 1, *to + 1, false});
        }
        // Where titles tell which of identical tabs moved, the block's edges stand where they
        // first differ from either end.
        cmp.hashPages();
        const auto titledHead = cmp.stripCommon(s, 0, 0, true);
        const auto titledTail = length - std::min(length, cmp.stripCommonBefore(s, length, m, true));
        const bool headFar = titledHead + reach < h0;
        const bool tailFar = titledTail > e0 + reach;
        if (headFar) blocks(titledHead, titledHead, e0, e0 + reach);
        if (tailFar) blocks(h0 - std::min(reach, h0), h0, titledTail, titledTail);
        if (headFar && tailFar) blocks(titledHead, titledHead, titledTail, titledTail);
        if (spare > 0) {
            blocks(h0 + 1, e.head[1], e0, e0 + reach);
            if (e0 > 0) blocks(h0 - std::min(reach, h0), h0, e.tailStart[1], e0 - 1);
        }
    }

    // A first action of two, of a tab or two: in a small window anywhere, in a large one at the
    // first or the last difference or beside the active tabs; a drag also from there to where
    // the tabs it moves bring the first or the last difference in line.
    template<typename Each>
    void firstActions(const Strip &s, const Activity &active, const Each &each) const {
        const auto length = s.length();
        const auto e = edgesOf(s);
        const auto h0 = e.head[0];
        const auto e0 = e.tailStart[0];
        const auto offset = std::ptrdiff_t(m) - std::ptrdiff_t(length);  // of the equal ends' tabs
        std::vector<std::size_t> places;
        const auto place = [&](std::ptrdiff_t p) {
            if (p >= 0 && p <= std::ptrdiff_t(length) && std::find(places.begin(), places.end(), std::size_t(p)) == places.end())
                places.push_back(std::size_t(p));
        };
        if (length <= kSmallWindow) {
            for (std::size_t p = 0; p <= length; ++p) place(std::ptrdiff_t(p));
        } else {
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
            cmp.hashPages();
            place(std::ptrdiff_t(cmp.stripCommon(s, 0, 0, true)));
            place(std::ptrdiff_t(length - std::min(length, cmp.stripCommonBefore(s, length, m, true))));
        }
        // A larger block opened or closed first makes up the difference in tabs.
        const auto large = std::size_t(offset > 0 ? offset : -offset);
        for (const auto at : places) {
            if (large > kLargestBlockOfTwo) {
                // Of two, one at most is a large block: this one, or with another of its kind.
                if (offset > 0) {
                    each(Op{Op::Kind::open, at, large, 0, false});
                    each(Op{Op::Kind::open, at, large, 0, true});
                } else if (at + large <= length) {
                    each(Op{Op::Kind::close, at, large, 0, false});
                }
            }
            for (std::size_t c = 1; c <= kLargestBlockOfTwo; ++c) {
                each(Op{Op::Kind::open, at, c, 0, false});
                each(Op{Op::Kind::open, at, c, 0, true});
                if (at + c <= length) each(Op{Op::Kind::close, at, c, 0, false});
                for (const auto to : places) {
                    if (at + c < to && to <= length) each(Op{Op::Kind::move, at, at + c, to, false});
                    if (to < at && at + c <= length) each(Op{Op::Kind::move, to, at, at + c, false});
                }
            }
        }
        constexpr std::size_t kMatches = 4;
        constexpr std::size_t kScan = 256;  // so that a first action costs no more in a long window
        constexpr auto kAny = StretchComparison::kAnyAddress;
        // A block opened or closed at the first difference of the size that brings the tabs after
        // it back in line, when another of its kind makes up the rest.
        if (h0 < length && h0 < m && large > 2 * kLargestBlockOfTwo) {
            const auto here = cmp.addressAt(s, h0);
            for (std::size_t found = 0, c = kLargestBlockOfTwo + 1; c < large && found < kMatches && c <= kScan; ++c) {
                if (offset > 0 ? h0 + c < m && here != kAny && pages.tabAddresses[h0 + c] == here
                               : h0 + c < length && cmp.addressAt(s, h0 + c) == pages.tabAddresses[h0]) {
                    ++found;
                    if (offset > 0) {
                        each(Op{Op::Kind::open, h0, c, 0, false});
                        each(Op{Op::Kind::open, h0, c, 0, true});
                    } else {
                        each(Op{Op::Kind::close, h0, c, 0, false});
                    }
                }
            }
        }
        if (length <= kSmallWindow) return;
        if (h0 < length && h0 < m)
            for (std::size_t found = 0, z = h0 + 1; z < length && found < kMatches && z - h0 <= kScan; ++z) {
                if (const auto a = cmp.addressAt(s, z); a != kAny && a != pages.tabAddresses[h0]) continue;
                ++found;
                for (std::size_t c = 1; c <= kLargestBlockOfTwo && z + c <= length; ++c) each(Op{Op::Kind::move, h0, z, z + c, false});
            }
        if (const auto end = std::ptrdiff_t(e0) + offset; e0 > 0 && end >= 1 && end <= std::ptrdiff_t(m))
            for (std::size_t found = 0, z = e0 - 1; z > 0 && found < kMatches && e0 - z <= kScan; --z) {
                if (const auto a = cmp.addressAt(s, z - 1); a != kAny && a != pages.tabAddresses[std::size_t(end) - 1]) continue;
                ++found;
                for (std::size_t c = 1; c <= kLargestBlockOfTwo && c <= z; ++c) each(Op{Op::Kind::move, z - c, z, e0, false});
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
            if (!strip::apply(s, after, first, closed, closedCount)) return;
            lastActions(s, after, 0, [&](const Op &second) {
                const std::array<Op, 2> ops{first, second};
                evaluate(start, active, ops, closedKept);
            });
        });
    }

    // The reading checked page by page: hashes may, however rarely, agree on different pages.
    bool holds(const Found &f) const {
        const auto &r = f.reading;
        Strip now;
        for (std::size_t i = 0; i < r.segmentCount_; ++i) now.push(r.segments_[i]);
        const auto closed = closedPages(f.start, now);
        int navigations = 0;
        std::size_t t = 0;
        for (std::size_t i = 0; i < r.segmentCount_; ++i) {
            const auto &seg = r.segments_[i];
            if (!seg.opened)
                for (std::uint32_t k = 0; k < seg.length; ++k)
                    navigations += pages.placeAddresses[seg.from + k] != pages.tabAddresses[t + k] || unnatural(seg.from + k, t + k, closed);
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

    Search search{StretchComparison(tables_, pages), pages, n, m, focus.activeTab, 2048 + 2 * (n + m)};
    search.dragSteps = 16384 + 2 * (n + m);
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
    if (search.budget == 0) ++overBudget_;
    if (!search.best || !search.holds(*search.best)) return {};
    const auto known = [&](Search::Found &f) {
        if (!f.retitlesKnown) std::tie(f.reading.rank_.retitles, f.reading.rank_.retitledTabs) = search.retitles(f.reading);
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
