#include "ActionReading.h"

#include "Platform/Log.h"
#include "Platform/TextHash.h"
#include "SessionIdentities/ActionCandidates.h"

#include <algorithm>
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

bool ActionReading::sameTabsAs(const ActionReading &o) const {
    return segmentCount_ == o.segmentCount_ &&
           std::equal(segments_.begin(), segments_.begin() + std::ptrdiff_t(segmentCount_), o.segments_.begin(), [](const Segment &a, const Segment &b) {
               return a.from == b.from && a.length == b.length && a.opened == b.opened && a.alone == b.alone;
           });
}

namespace {

using strip::Activity;
using strip::Op;
using strip::Strip;

std::uint64_t pageKey(std::uint32_t address, QStringView title) {
    return std::uint64_t(address) * 0x9E3779B97F4A7C15ull ^ textHash(title, 11);
}

}  // namespace

class ActionReader::Search {
public:
    Search(const StretchComparison &cmp, const WindowPages &pages, std::optional<std::size_t> activeTab)
        : cmp_(cmp), pages_(pages), n_(pages.places.size()), m_(pages.tabs.size()), activeTab_(activeTab),
          candidates_(cmp, pages, activeTab) {}

    struct Found {
        ActionReading reading;
        Strip start;  // the window the actions were done to
        int navigations = 0;
        bool retitlesKnown = false;
    };
    std::optional<Found> best;
    std::vector<std::pair<std::pair<int, std::uint32_t>, Found>> byAddress;  // (opened, address)

    const ActionCandidates &candidates() const { return candidates_; }
    void allow(int actions) {
        most_ = actions;
        buffers_.resize(std::size_t(actions) + 1);
    }

    // The readings of `ops` actions done to the start, then one that finishes.
    void level(const Strip &start, const Activity &active, std::size_t closedKept, int ops) {
        if (ops == 0) return evaluate(start, active, {}, closedKept);
        std::vector<Op> chosen;
        descend(start, active, closedKept, start, active, chosen, ops);
    }

    // The reading checked page by page: hashes may, however rarely, agree on different pages.
    bool holds(const Found &f) const {
        const auto &r = f.reading;
        Strip now;
        for (std::size_t i = 0; i < r.segmentCount_; ++i) now.push(r.segments_[i]);
        const ClosedPages closed(*this, f.start, now);
        int navigations = 0;
        std::size_t t = 0;
        for (std::size_t i = 0; i < r.segmentCount_; ++i) {
            const auto &seg = r.segments_[i];
            if (!seg.opened)
                for (std::uint32_t k = 0; k < seg.length; ++k)
                    navigations += pages_.placeAddresses[seg.from + k] != pages_.tabAddresses[t + k] || unnatural(seg.from + k, t + k, closed);
            t += seg.length;
        }
        return navigations == f.navigations;
    }

    void countRetitles(Found &f) const {
        if (!f.retitlesKnown) std::tie(f.reading.cost_.retitles, f.reading.cost_.retitledTabs) = retitles(f.reading);
        f.retitlesKnown = true;
    }

private:
    void descend(const Strip &start, const Activity &startActive, std::size_t closedKept, const Strip &s, const Activity &active,
                 std::vector<Op> &chosen, int left) {
        if (cmp_.budget().exhausted()) return;
        auto &ops = buffers_[chosen.size()];
        ops.clear();
        if (left == 1) {
            candidates_.last(s, active, most_ - int(chosen.size()) - 1, ops);
        } else {
            candidates_.first(s, active, most_ - int(chosen.size()) - 2, ops);
            // The first of three actions stands anywhere near a short difference; of two, one
            // stands at each end of what is left.
            if (chosen.empty() && left > 2 && candidates_.isShort(s)) candidates_.everyNear(s, active, ops);
            std::sort(ops.begin(), ops.end(), [](const Op &a, const Op &b) {
                return std::tie(a.kind, a.a, a.b, a.c, a.front) < std::tie(b.kind, b.a, b.b, b.c, b.front);
            });
            ops.erase(std::unique(ops.begin(), ops.end()), ops.end());
        }
        cmp_.budget().spend(ops.size());
        for (const auto &op : ops) {
            if (cmp_.budget().exhausted()) return;
            chosen.push_back(op);
            if (left == 1) {
                evaluate(start, startActive, chosen, closedKept);
            } else {
                Strip next = s;
                Activity after = active;
                std::array<std::uint32_t, 3> closed{};
                std::size_t closedCount = 0;
                if (strip::apply(next, after, op, closed, closedCount))
                    descend(start, startActive, closedKept, next, after, chosen, left - 1);
            }
            chosen.pop_back();
        }
    }

    // A place's or a tab's page (address and title) as one number, each hashed at most once per
    // read (none is zero, which stands for not yet).
    std::uint64_t placeKey(std::size_t p) const { return keyOf(placeKeys_, pages_.places, pages_.placeAddresses, p); }
    std::uint64_t tabKey(std::size_t t) const { return keyOf(tabKeys_, pages_.tabs, pages_.tabAddresses, t); }
    std::uint64_t keyOf(std::vector<std::uint64_t> &keys, std::span<const PageKey> side, std::span<const std::uint32_t> addresses,
                        std::size_t i) const {
        if (keys.empty()) keys.assign(side.size(), 0);
        if (keys[i] == 0) {
            keys[i] = pageKey(addresses[i], side[i].title) | 1;
            cmp_.budget().spend();
        }
        return keys[i];
    }

    // The pages (address and title) of the places the reading does not keep, counted; found when
    // first needed, as most readings never ask, in time linear in how many there are.
    class ClosedPages {
    public:
        ClosedPages(const Search &search, const Strip &start, const Strip &now) : search_(search), start_(start), now_(now) {}
        bool contains(std::uint64_t key) const {
            const auto &slot = find(key);
            return slot.used && slot.count > 0;
        }
        // Counts a closed page off, once for each place that showed it.
        bool take(std::uint64_t key) {
            auto &slot = find(key);
            if (!slot.used || slot.count == 0) return false;
            --slot.count;
            return true;
        }

    private:
        struct Slot {
            std::uint64_t key = 0;
            std::uint32_t count = 0;
            bool used = false;
        };
        Slot &find(std::uint64_t key) const {
            if (!filled_) fill();
            const auto mask = slots_.size() - 1;
            for (auto at = std::size_t(key * 0x9E3779B97F4A7C15ull >> 32) & mask;; at = (at + 1) & mask)
                if (!slots_[at].used || slots_[at].key == key) return slots_[at];
        }
        void fill() const {
            filled_ = true;
            const auto closed = search_.closedPages(start_, now_);
            std::size_t size = 8;
            while (size < 2 * closed.size()) size <<= 1;
            slots_.assign(size, {});
            for (const auto key : closed) {
                auto &slot = find(key);
                slot.key = key;
                slot.used = true;
                ++slot.count;
            }
        }
        const Search &search_;
        const Strip &start_;
        const Strip &now_;
        mutable bool filled_ = false;
        mutable std::vector<Slot> slots_;
    };
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
                for (; p < from; ++p) closed.push_back(placeKey(p));
                p = std::max(p, to);
            }
            for (; p < end; ++p) closed.push_back(placeKey(p));
        }
        cmp_.budget().spend(closed.size());
        return closed;
    }
    // Whether a place keeps its address under a title a page does not take by itself: none again
    // (a tab seen with a title does not go back to loading), or that of a tab the reading closes
    // (its title moving onto a twin is rather that twin staying).
    bool unnatural(std::size_t p, std::size_t t, const ClosedPages &closed) const {
        const auto &place = pages_.places[p];
        const auto &tab = pages_.tabs[t];
        return pages_.placeAddresses[p] == pages_.tabAddresses[t] && !place.title.isEmpty() && place.title != tab.title &&
               (tab.title.isEmpty() || closed.contains(tabKey(t)));
    }
    // Of `length` places from `p` paired with the tabs from `t`, up to one more than `cap`, those
    // whose title changed so.
    std::size_t unnaturalRetitles(std::size_t p, std::size_t t, std::size_t length, std::size_t cap,
                                  const ClosedPages &closed) const {
        cmp_.hashPages();
        if (cmp_.sameStretch(p, t, length, true)) return 0;
        std::size_t count = 0;
        for (std::size_t k = 0; k < length && count <= cap;) {
            k += cmp_.common(p + k, t + k, length - k, true);
            if (k >= length) break;
            count += unnatural(p + k, t + k, closed);
            ++k;
        }
        return count;
    }

    // Judges actions done to the starting strip: whether they give this poll, with the tabs sent
    // to another address and a tab activated, in as many actions as are allowed, and at what cost.
    void evaluate(const Strip &start, const Activity &startActive, std::span<const Op> ops, std::size_t closedKept) {
        Strip s = start;
        Activity active = startActive;
        Found f;
        auto &r = f.reading;
        std::uint64_t total = std::uint64_t(closedKept) * ReadingCost::kKeptClosed;
        for (const auto &op : ops) {
            if (!strip::apply(s, active, op, r.closedAlone_, r.closedAloneCount_)) return;
            total += ReadingCost::of(op);
        }
        cmp_.budget().spend(s.count() + ops.size());
        if (s.length() != m_) return;
        s.join();
        const auto allowed = most_ - int(ops.size());
        int navigations = 0;
        std::size_t t = 0;
        std::uint64_t shifted = 0;
        for (std::size_t i = 0; i < s.count(); ++i) {
            const auto &seg = s[i];
            if (!seg.opened) {
                shifted += std::uint64_t(t > seg.from ? t - seg.from : seg.from - t) * seg.length;
                navigations += int(cmp_.mismatches(seg.from, t, seg.length, std::size_t(allowed - navigations)));
                if (navigations > allowed) return;
            }
            t += seg.length;
        }
        // Retitles a page does not do by itself count as the tab going elsewhere.
        ClosedPages closed(*this, start, s);
        t = 0;
        for (std::size_t i = 0; i < s.count() && navigations <= allowed; ++i) {
            const auto &seg = s[i];
            if (!seg.opened) navigations += int(unnaturalRetitles(seg.from, t, seg.length, std::size_t(allowed - navigations), closed));
            t += seg.length;
        }
        if (navigations > allowed) return;
        const auto holds = activeTab_ ? active.holds(*activeTab_) : std::optional(0);
        const auto reopens = reopened(s, closed);
        const int actions = int(ops.size()) + navigations + (holds ? 0 : 1) + int(reopens);
        if (actions > most_) return;
        total += std::uint64_t(navigations) * ReadingCost::kSentElsewhere;
        if (!holds) total += ReadingCost::kActivated;
        total += std::uint64_t(reopens) * ReadingCost::kReopened;
        s.copyTo(r.segments_, r.segmentCount_);
        r.cost_ = {total, actions, closedKept, 0, 0, holds.value_or(0), shifted};
        f.navigations = navigations;
        f.start = start;
        consider(std::move(f));
    }

    // Tabs the reading opens onto the page of one it closes, each closed tab counted once.
    std::size_t reopened(const Strip &now, ClosedPages &closed) const {
        std::size_t count = 0;
        std::size_t t = 0;
        for (std::size_t i = 0; i < now.count(); ++i) {
            if (now[i].opened) {
                cmp_.budget().spend(now[i].length);
                for (std::uint32_t k = 0; k < now[i].length; ++k) count += closed.take(tabKey(t + k));
            }
            t += now[i].length;
        }
        return count;
    }

    // Pages that retitled: identical tabs retitle together, so each title of an address that
    // became another counts once, then each tab that did.
    std::pair<std::size_t, std::size_t> retitles(const ActionReading &r) const {
        cmp_.hashPages();
        std::vector<std::uint64_t> changes;
        std::size_t t = 0;
        for (std::size_t i = 0; i < r.segmentCount_; ++i) {
            const auto &seg = r.segments_[i];
            if (!seg.opened && !cmp_.sameStretch(seg.from, t, seg.length, true))
                for (std::uint32_t k = 0; k < seg.length; ++k) {
                    const auto &place = pages_.places[seg.from + k];
                    const auto &tab = pages_.tabs[t + k];
                    if (place.url == tab.url && place.title != tab.title)
                        changes.push_back(std::uint64_t(pages_.placeAddresses[seg.from + k]) * 0x9E3779B97F4A7C15ull ^
                                          textHash(place.title, 3) * 0xC2B2AE3D27D4EB4Full ^ textHash(tab.title, 5));
                }
            t += seg.length;
        }
        const auto tabs = changes.size();
        std::sort(changes.begin(), changes.end());
        return {std::size_t(std::unique(changes.begin(), changes.end()) - changes.begin()), tabs};
    }

    bool better(Found &a, Found &b) const {
        if (a.reading.cost_.total != b.reading.cost_.total) return a.reading.cost_.total < b.reading.cost_.total;
        countRetitles(a);
        countRetitles(b);
        if (a.reading.cost_ < b.reading.cost_ || b.reading.cost_ < a.reading.cost_) return a.reading.cost_ < b.reading.cost_;
        // Of identical tabs, the earlier ones keep the earlier places.
        const auto ta = a.reading.tabsOf(n_);
        const auto tb = b.reading.tabsOf(n_);
        for (std::size_t p = 0; p < n_; ++p)
            if (ta[p] != tb[p]) return ta[p].has_value() && (!tb[p] || *ta[p] < *tb[p]);
        return false;
    }

    void consider(Found f) {
        const auto keep = [&](std::pair<int, std::uint32_t> key) {
            const auto it = std::find_if(byAddress.begin(), byAddress.end(), [&](const auto &e) { return e.first == key; });
            if (it == byAddress.end()) byAddress.emplace_back(key, f);
            else if (better(f, it->second)) it->second = f;
        };
        for (const auto p : f.reading.closedAlone()) keep({0, pages_.placeAddresses[p]});
        for (const auto t : f.reading.openedAlone()) keep({1, pages_.tabAddresses[t]});
        if (!best || better(f, *best)) best = std::move(f);
    }

    const StretchComparison &cmp_;
    const WindowPages &pages_;
    std::size_t n_;
    std::size_t m_;
    std::optional<std::size_t> activeTab_;
    ActionCandidates candidates_;
    int most_ = 2;
    // One list of actions for each depth, kept from one call to the next: a first action's
    // list may be long.
    std::vector<std::vector<Op>> buffers_;
    mutable std::vector<std::uint64_t> placeKeys_;
    mutable std::vector<std::uint64_t> tabKeys_;
};

SearchBudget ActionReader::budgetFor(std::size_t tabs) { return SearchBudget(kStepsForAShortDifference + kStepsPerTab * tabs); }

std::vector<ActionReading> ActionReader::read(const WindowPages &pages, WindowFocus focus, const SearchBudget &budget) {
    const auto n = pages.places.size();
    const auto m = pages.tabs.size();
    if (n == 0 || m == 0 || n > std::numeric_limits<std::uint32_t>::max() || m > std::numeric_limits<std::uint32_t>::max()) return {};
    // The active place as a plain number, past the places when unknown.
    const auto activePlace = focus.activePlace && *focus.activePlace < n ? *focus.activePlace : n;
    if (focus.activeTab && *focus.activeTab >= m) focus.activeTab.reset();

    if (budget.exhausted()) {
        ++overBudget_;
        return {};
    }
    const StretchComparison cmp(tables_, pages, budget);
    Search search(cmp, pages, focus.activeTab);
    const auto closed = [&](std::size_t p) { return p < focus.closedPlaces.size() && focus.closedPlaces[p] != 0; };
    std::size_t closedCount = 0;
    for (std::size_t p = 0; p < n; ++p) closedCount += closed(p);

    struct Start {
        Strip strip;
        Activity active;
        std::size_t closedKept = 0;
    };
    std::vector<Start> starts;
    // First as the browser should have done what this system asked: its closed tabs gone, and
    // the tab after an active one among them active, or the one before when none is left after.
    if (closedCount > 0 && closedCount < n) {
        Start start;
        bool fits = true;
        std::size_t kept = 0;
        std::optional<std::size_t> active;
        for (std::size_t p = 0; p < n && fits; ++p) {
            if (closed(p)) continue;
            if (activePlace < n && !active && p >= activePlace) active = kept;
            fits = start.strip.append(std::uint32_t(p));
            ++kept;
        }
        if (fits) {
            if (activePlace < n) {
                start.active.any = false;
                const auto at = active.value_or(kept - 1);
                start.active.add(at, at + 1);
            }
            starts.push_back(start);
        }
    }
    // Then as the browser may not have done it yet.
    {
        Start start;
        start.strip.push({0, std::uint32_t(n), false, false});
        if (activePlace < n) {
            start.active.any = false;
            start.active.add(activePlace, activePlace + 1);
        }
        start.closedKept = closedCount;
        starts.push_back(start);
    }
    // Fewest actions first: a reading of fewer is always the cheaper, so the search stops at the
    // first number of actions that explains the poll.
    const bool shortDifference = std::any_of(starts.begin(), starts.end(), [&](const Start &s) { return search.candidates().isShort(s.strip); });
    const int most = shortDifference ? 3 : 2;
    search.allow(most);
    for (int ops = 0; ops <= most && !budget.exhausted(); ++ops) {
        for (const auto &start : starts) search.level(start.strip, start.active, start.closedKept, ops);
        if (search.best && search.best->reading.cost().total < std::uint64_t(ops + 1) * ReadingCost::kAction) break;
    }
    if (budget.exhausted()) {
        ++overBudget_;
        static const Logger logger(QStringLiteral("Identity"));
        logger.debug("Reading a change of a window of %{public}ld tabs ran out of its budget; lining it up instead", std::int64_t(m));
        return {};
    }
    if (!search.best || !search.holds(*search.best)) return {};
    search.countRetitles(*search.best);

    std::vector<ActionReading> readings{search.best->reading};
    const auto &bestCost = search.best->reading.cost();
    for (auto &[key, found] : search.byAddress) {
        const auto &cost = found.reading.cost();
        if (cost.actions != bestCost.actions || cost.keptClosed != bestCost.keptClosed || !search.holds(found)) continue;
        if (std::any_of(readings.begin(), readings.end(), [&](const ActionReading &r) { return r.sameTabsAs(found.reading); })) continue;
        search.countRetitles(found);
        readings.push_back(found.reading);
    }
    return readings;
}

}  // namespace ondrake
