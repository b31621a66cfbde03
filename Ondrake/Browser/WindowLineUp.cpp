#include "WindowLineUp.h"

#include "Browser/SequenceAlignment.h"

#include <QHash>

#include <algorithm>
#include <limits>

namespace ondrake {

namespace {

// How far a stretch may be lined up off its diagonal beyond the difference of its lengths, and
// the most work that lining up one stretch may take; past that, a window's middle is divided at
// its pages shown once, and a stretch still too large is lined up at its ends alone.
constexpr std::size_t kBand = 32;
constexpr std::size_t kMaxCells = std::size_t(1) << 21;
constexpr auto kUnnumbered = std::numeric_limits<std::uint32_t>::max();

bool samePage(const PageKey &a, const PageKey &b) { return a.url == b.url && a.title == b.title; }

// A place lined up with a tab: showing the same page, or the same address under another title.
struct Lined {
    std::size_t place;
    std::size_t tab;
    bool samePage = true;
    bool operator==(const Lined &) const = default;
};

// Pages (address and title) and addresses as small numbers, equal for equal ones, given only to
// the places and tabs that need them.
class Numbers {
public:
    Numbers(std::span<const PageKey> places, std::span<const PageKey> tabs) : places_(places), tabs_(tabs) {}

    void numberPlaces(std::size_t from, std::size_t to) { number(places_, from, to, placePage, placeAddress); }
    void numberTabs(std::size_t from, std::size_t to) { number(tabs_, from, to, tabPage, tabAddress); }
    std::size_t pages() const { return std::size_t(pages_.size()); }
    std::size_t addresses() const { return std::size_t(addresses_.size()); }

    std::vector<std::uint32_t> placePage, tabPage, placeAddress, tabAddress;
    std::vector<std::uint32_t> pageAddress;
    std::vector<bool> pageUntitled;  // still loading
    std::vector<PageKey> pageKey;

private:
    void number(std::span<const PageKey> keys, std::size_t from, std::size_t to, std::vector<std::uint32_t> &page,
                std::vector<std::uint32_t> &address) {
        // Most polls change nothing and number nothing.
        if (placePage.empty() && tabPage.empty()) {
            placePage.assign(places_.size(), kUnnumbered);
            tabPage.assign(tabs_.size(), kUnnumbered);
            placeAddress.assign(places_.size(), 0);
            tabAddress.assign(tabs_.size(), 0);
        }
        for (std::size_t i = from; i < to; ++i) {
            if (page[i] != kUnnumbered) continue;
            const auto &key = keys[i];
            auto p = pages_.find({key.url, key.title});
            auto a = addresses_.find(key.url);
            if (a == addresses_.end()) a = addresses_.insert(key.url, std::uint32_t(addresses_.size()));
            address[i] = *a;
            if (p == pages_.end()) {
                p = pages_.insert({key.url, key.title}, std::uint32_t(pages_.size()));
                pageAddress.push_back(*a);
                pageUntitled.push_back(key.title.isEmpty());
                pageKey.push_back(key);
            }
            page[i] = *p;
        }
    }

    std::span<const PageKey> places_;
    std::span<const PageKey> tabs_;
    QHash<std::pair<QStringView, QStringView>, std::uint32_t> pages_;
    QHash<QStringView, std::uint32_t> addresses_;
};

// The anchors that keep their order on both sides, the most of them; `anchors` come in the
// order of their places.
std::vector<bool> longestInOrder(const std::vector<Lined> &anchors) {
    std::vector<std::size_t> ends;  // of the chains of each length, the one ending at the lowest tab
    std::vector<std::size_t> before(anchors.size(), anchors.size());
    for (std::size_t k = 0; k < anchors.size(); ++k) {
        const auto at = std::lower_bound(ends.begin(), ends.end(), anchors[k].tab,
                                         [&](std::size_t e, std::size_t tab) { return anchors[e].tab < tab; });
        if (at != ends.begin()) before[k] = *(at - 1);
        if (at == ends.end()) ends.push_back(k);
        else *at = k;
    }
    std::vector<bool> chained(anchors.size(), false);
    for (auto k = ends.empty() ? anchors.size() : ends.back(); k < anchors.size(); k = before[k]) chained[k] = true;
    return chained;
}

// Two sequences lined up: the equal ends first, then the middle as heavily as can be, where
// `worth(i, j)` is what pairing a[i] with b[j] is worth (0: they may not pair) and `same(i, j)`
// whether they are equal. Answers the pairs; when the middle is too large to line up, none, or
// with `always` the ends alone.
template<typename Worth, typename Same>
std::optional<std::vector<std::pair<std::size_t, std::size_t>>> alignSequences(std::size_t n, std::size_t m, const Worth &worth,
                                                                               const Same &same, bool always) {
    std::vector<std::pair<std::size_t, std::size_t>> pairs;
    std::size_t head = 0;
    while (head < n && head < m && same(head, head)) {
        pairs.emplace_back(head, head);
        ++head;
    }
    std::size_t tail = 0;
    while (head + tail < n && head + tail < m && same(n - 1 - tail, m - 1 - tail)) ++tail;
    const auto middleN = n - head - tail;
    const auto middleM = m - head - tail;
    if (middleN > 0 && middleM > 0) {
        const auto band = std::max(middleN, middleM) - std::min(middleN, middleM) + kBand;
        if ((middleN + 1) * (2 * band + 1) <= kMaxCells) {
            const auto found = heaviestCommonSubsequence(
                middleN, middleM, [&](std::size_t i, std::size_t j) { return worth(head + i, head + j); }, band);
            if (found)
                for (const auto &[i, j] : *found) pairs.emplace_back(head + i, head + j);
        } else if (!always) {
            return std::nullopt;
        }
    }
    for (std::size_t k = tail; k-- > 0;) pairs.emplace_back(n - 1 - k, m - 1 - k);
    return pairs;
}

class Aligner {
public:
    struct Result {
        std::vector<Lined> inOrder;  // ascending on both sides
        std::vector<Lined> moved;    // pages shown once that moved past others

        bool pairs(std::size_t place, std::size_t tab) const {
            const auto has = [&](const std::vector<Lined> &list) {
                return std::any_of(list.begin(), list.end(), [&](const Lined &l) { return l.place == place && l.tab == tab; });
            };
            return has(inOrder) || has(moved);
        }
    };

    Aligner(std::span<const PageKey> places, std::span<const PageKey> tabs)
        : places_(places), tabs_(tabs), numbers_(places, tabs) {}

    Numbers &numbers() { return numbers_; }

    // Places [p0, p1) lined up with tabs [t0, t1).
    Result align(std::size_t p0, std::size_t p1, std::size_t t0, std::size_t t1) {
        Result result;
        while (p0 < p1 && t0 < t1 && samePage(places_[p0], tabs_[t0])) result.inOrder.push_back({p0++, t0++});
        std::vector<Lined> tail;
        while (p0 < p1 && t0 < t1 && samePage(places_[p1 - 1], tabs_[t1 - 1])) tail.push_back({--p1, --t1});
        if (p0 < p1 && t0 < t1) middle(p0, p1, t0, t1, result);
        result.inOrder.insert(result.inOrder.end(), tail.rbegin(), tail.rend());
        return result;
    }

    // Whether the place's title has become the tab's, its twins' with it, across the window.
    bool retitledTo(std::size_t place, std::size_t tab) {
        numbers_.numberPlaces(0, places_.size());
        numbers_.numberTabs(0, tabs_.size());
        std::vector<std::uint32_t> placeCount(numbers_.pages(), 0);
        std::vector<std::uint32_t> tabCount(numbers_.pages(), 0);
        for (const auto k : numbers_.placePage) ++placeCount[k];
        for (const auto k : numbers_.tabPage) ++tabCount[k];
        return retitles(placeCount, tabCount, {0, places_.size(), 0, tabs_.size()})[numbers_.placePage[place]] ==
               numbers_.tabPage[tab];
    }

    // What lining up is worth, to compare two ways: a place with its own page (or retitled with
    // its twins) far more than any number of places with their address alone or with a tab still
    // loading, and a page open more than once double.
    std::int64_t worth(const Result &result) {
        numbers_.numberPlaces(0, places_.size());
        numbers_.numberTabs(0, tabs_.size());
        std::vector<std::uint32_t> count(numbers_.pages(), 0);
        for (const auto k : numbers_.placePage) ++count[k];
        for (const auto k : numbers_.tabPage) ++count[k];
        const auto unit = std::int64_t(places_.size() + tabs_.size() + 1);
        std::int64_t total = 0;
        for (const auto *list : {&result.inOrder, &result.moved})
            for (const auto &l : *list) {
                const auto k = numbers_.placePage[l.place];
                const auto tabPage = numbers_.tabPage[l.tab];
                const bool weak = !l.samePage || (k != tabPage && numbers_.pageUntitled[tabPage]);
                total += weak ? 1 : unit * (count[k] > 2 ? 2 : 1);
            }
        return total;
    }

private:
    void middle(std::size_t p0, std::size_t p1, std::size_t t0, std::size_t t1, Result &result) {
        numbers_.numberPlaces(p0, p1);
        numbers_.numberTabs(t0, t1);
        const auto &placePage = numbers_.placePage;
        const auto &tabPage = numbers_.tabPage;
        const auto &placeAddress = numbers_.placeAddress;
        const auto &tabAddress = numbers_.tabAddress;

        std::vector<std::uint32_t> placeCount(numbers_.pages(), 0);
        std::vector<std::uint32_t> tabCount(numbers_.pages(), 0);
        std::vector<std::size_t> tabOfPage(numbers_.pages(), 0);
        for (auto p = p0; p < p1; ++p) ++placeCount[placePage[p]];
        for (auto t = t0; t < t1; ++t) {
            ++tabCount[tabPage[t]];
            tabOfPage[tabPage[t]] = t;
        }
        const auto page = retitles(placeCount, tabCount, {p0, p1, t0, t1});
        // A place with its own page outweighs any number with their address alone, and a page
        // open more than once lines up before a page shown once, which may have moved.
        const auto unit = std::int64_t((p1 - p0) + (t1 - t0) + 1);
        std::vector<std::int64_t> pageWorth(numbers_.pages(), unit);
        for (std::size_t k = 0; k < pageWorth.size(); ++k)
            if (placeCount[k] > 1 || tabCount[k] > 1) pageWorth[k] = 2 * unit;
        placeStamp_.assign(numbers_.addresses(), 0);
        tabStamp_.assign(numbers_.addresses(), 0);
        std::uint32_t stamp = 0;
        const std::vector<bool> noneMoved;
        // Lines up places [fromP, toP) with tabs [fromT, toT), less those of pages that moved and
        // of addresses one side alone shows, which were opened or closed: they line up with
        // nothing and shift nothing. False when that is too large a task.
        const auto stretch = [&](std::size_t fromP, std::size_t toP, std::size_t fromT, std::size_t toT,
                                 const std::vector<bool> &placeMoved, const std::vector<bool> &tabMoved, bool always) {
            ++stamp;
            for (auto p = fromP; p < toP; ++p) placeStamp_[placeAddress[p]] = stamp;
            for (auto t = fromT; t < toT; ++t) tabStamp_[tabAddress[t]] = stamp;
            std::vector<std::size_t> a;
            for (auto p = fromP; p < toP; ++p)
                if ((placeMoved.empty() || !placeMoved[p - p0]) && tabStamp_[placeAddress[p]] == stamp) a.push_back(p);
            std::vector<std::size_t> b;
            for (auto t = fromT; t < toT; ++t)
                if ((tabMoved.empty() || !tabMoved[t - t0]) && placeStamp_[tabAddress[t]] == stamp) b.push_back(t);
            if (a.empty() || b.empty()) return true;
            const auto same = [&](std::size_t i, std::size_t j) { return page[placePage[a[i]]] == tabPage[b[j]]; };
            const auto worth = [&](std::size_t i, std::size_t j) -> std::int64_t {
                if (same(i, j)) return pageWorth[tabPage[b[j]]];
                return placeAddress[a[i]] == tabAddress[b[j]] ? 1 : 0;
            };
            const auto pairs = alignSequences(a.size(), b.size(), worth, same, always);
            if (!pairs) return false;
            for (const auto &[i, j] : *pairs) result.inOrder.push_back({a[i], b[j], same(i, j)});
            return true;
        };
        if (stretch(p0, p1, t0, t1, noneMoved, noneMoved, false)) return;

        // Too large a change to line up whole: pages shown once on either side anchor the rest;
        // the most of them that keep their order divide the middle into stretches, and the
        // others moved.
        std::vector<Lined> anchors;
        for (auto p = p0; p < p1; ++p)
            if (const auto k = placePage[p]; placeCount[k] == 1 && tabCount[k] == 1) anchors.push_back({p, tabOfPage[k]});
        const auto chained = longestInOrder(anchors);
        std::vector<bool> placeMoved(p1 - p0, false);
        std::vector<bool> tabMoved(t1 - t0, false);
        for (std::size_t k = 0; k < anchors.size(); ++k)
            if (!chained[k]) {
                result.moved.push_back(anchors[k]);
                placeMoved[anchors[k].place - p0] = true;
                tabMoved[anchors[k].tab - t0] = true;
            }
        auto fromP = p0;
        auto fromT = t0;
        for (std::size_t k = 0; k < anchors.size(); ++k) {
            if (!chained[k]) continue;
            stretch(fromP, anchors[k].place, fromT, anchors[k].tab, placeMoved, tabMoved, true);
            result.inOrder.push_back(anchors[k]);
            fromP = anchors[k].place + 1;
            fromT = anchors[k].tab + 1;
        }
        stretch(fromP, p1, fromT, t1, placeMoved, tabMoved, true);
    }

    struct Range {
        std::size_t p0, p1, t0, t1;
    };
    // Whether a tab (or place) outside the range shows the page.
    bool shownOutside(std::span<const PageKey> keys, std::size_t from, std::size_t to, std::uint32_t page) const {
        const auto &key = numbers_.pageKey[page];
        for (std::size_t i = 0; i < keys.size(); ++i)
            if ((i < from || i >= to) && samePage(keys[i], key)) return true;
        return false;
    }

    // Each page of the range as it should show now: identical tabs retitle together, so a title
    // no tab of the window shows any more has become a title of its address that no place
    // showed, the most alike in number first, one that has finished loading before one still
    // loading.
    std::vector<std::uint32_t> retitles(const std::vector<std::uint32_t> &placeCount, const std::vector<std::uint32_t> &tabCount,
                                        Range range) const {
        std::vector<std::uint32_t> page(numbers_.pages());
        for (std::size_t k = 0; k < page.size(); ++k) page[k] = std::uint32_t(k);
        // Titles gone from the range and titles new to it, by address; only an address with both
        // is looked at across the window.
        QHash<std::uint32_t, std::vector<std::uint32_t>> gone;
        for (std::uint32_t k = 0; k < page.size(); ++k)
            if (placeCount[k] > 0 && tabCount[k] == 0) gone[numbers_.pageAddress[k]].push_back(k);
        if (gone.isEmpty()) return page;
        QHash<std::uint32_t, std::vector<std::uint32_t>> come;
        for (std::uint32_t k = 0; k < page.size(); ++k)
            if (tabCount[k] > 0 && placeCount[k] == 0 && gone.contains(numbers_.pageAddress[k]) &&
                !shownOutside(places_, range.p0, range.p1, k))
                come[numbers_.pageAddress[k]].push_back(k);
        if (come.isEmpty()) return page;
        struct Retitle {
            std::uint32_t apart;
            bool untitled;
            std::uint32_t from;
            std::uint32_t to;
            auto operator<=>(const Retitle &) const = default;
        };
        std::vector<Retitle> possible;
        for (std::uint32_t k = 0; k < page.size(); ++k) {
            if (placeCount[k] == 0 || tabCount[k] > 0) continue;
            const auto found = come.constFind(numbers_.pageAddress[k]);
            if (found == come.cend() || shownOutside(tabs_, range.t0, range.t1, k)) continue;
            for (const auto c : *found) {
                const auto apart = placeCount[k] > tabCount[c] ? placeCount[k] - tabCount[c] : tabCount[c] - placeCount[k];
                possible.push_back({apart, bool(numbers_.pageUntitled[c]), k, c});
            }
        }
        std::sort(possible.begin(), possible.end());
        std::vector<bool> used(page.size(), false);
        for (const auto &r : possible) {
            if (used[r.from] || used[r.to]) continue;
            used[r.from] = used[r.to] = true;
            page[r.from] = r.to;
        }
        return page;
    }

    std::span<const PageKey> places_;
    std::span<const PageKey> tabs_;
    Numbers numbers_;
    std::vector<std::uint32_t> placeStamp_;
    std::vector<std::uint32_t> tabStamp_;
};

// Where each place should stand: at its tab when it lines up with one; else, between the two
// in-order pairs around it, at the tab of its own address that lines up with it, or at the
// stretch's other new tabs in order, or, those used up, just before the stretch's end.
std::vector<std::int64_t> expectedPlaces(const Aligner::Result &lined, std::size_t placeCount, std::size_t tabCount,
                                         const Numbers &numbers) {
    std::vector<std::int64_t> expected(placeCount);
    std::vector<bool> placed(placeCount, false);
    std::vector<bool> tabTaken(tabCount, false);
    for (const auto *list : {&lined.inOrder, &lined.moved})
        for (const auto &l : *list) {
            expected[l.place] = 2 * std::int64_t(l.tab);
            placed[l.place] = true;
            tabTaken[l.tab] = true;
        }
    std::size_t fromP = 0;
    std::size_t fromT = 0;
    const auto stretch = [&](std::size_t toP, std::size_t toT) {
        std::vector<std::size_t> places;
        for (auto p = fromP; p < toP; ++p)
            if (!placed[p]) places.push_back(p);
        if (places.empty()) return;
        std::vector<std::size_t> tabs;
        for (auto t = fromT; t < toT; ++t)
            if (!tabTaken[t]) tabs.push_back(t);
        std::vector<std::optional<std::size_t>> byAddress(places.size());
        if (!tabs.empty()) {
            const auto same = [&](std::size_t i, std::size_t j) {
                return numbers.placeAddress[places[i]] == numbers.tabAddress[tabs[j]];
            };
            const auto pairs = alignSequences(places.size(), tabs.size(), [&](std::size_t i, std::size_t j) { return same(i, j) ? 1 : 0; },
                                              same, true);
            for (const auto &[i, j] : *pairs) byAddress[i] = j;
        }
        std::vector<bool> used(tabs.size(), false);
        for (const auto &j : byAddress)
            if (j) used[*j] = true;
        std::size_t next = 0;
        for (std::size_t i = 0; i < places.size(); ++i) {
            if (byAddress[i]) {
                expected[places[i]] = 2 * std::int64_t(tabs[*byAddress[i]]);
                continue;
            }
            while (next < tabs.size() && used[next]) ++next;
            expected[places[i]] = next < tabs.size() ? 2 * std::int64_t(tabs[next++]) : 2 * std::int64_t(toT) - 1;
        }
    };
    for (const auto &l : lined.inOrder) {
        stretch(l.place, l.tab);
        fromP = l.place + 1;
        fromT = l.tab + 1;
    }
    stretch(placeCount, tabCount);
    return expected;
}

}  // namespace

WindowLineUp lineUpWindow(std::span<const PageKey> places, std::span<const PageKey> tabs,
                          std::optional<std::pair<std::size_t, std::size_t>> active) {
    const auto n = places.size();
    const auto m = tabs.size();
    Aligner aligner(places, tabs);
    auto lined = aligner.align(0, n, 0, m);
    // Identical tabs beside each other that positions alone cannot tell apart: the active tab
    // that still shows its page (retitled with its twins, maybe) is the one that stayed, so long
    // as nothing lines up worse.
    if (active) {
        const auto [place, tab] = *active;
        if (place < n && tab < m && places[place].url == tabs[tab].url && !lined.pairs(place, tab) &&
            (places[place].title == tabs[tab].title || aligner.retitledTo(place, tab))) {
            auto split = aligner.align(0, place, 0, tab);
            auto after = aligner.align(place + 1, n, tab + 1, m);
            split.inOrder.push_back({place, tab});
            split.inOrder.insert(split.inOrder.end(), after.inOrder.begin(), after.inOrder.end());
            split.moved.insert(split.moved.end(), after.moved.begin(), after.moved.end());
            if (aligner.worth(split) >= aligner.worth(lined)) lined = std::move(split);
        }
    }

    WindowLineUp result;
    result.tabOf.assign(n, std::nullopt);
    for (const auto *list : {&lined.inOrder, &lined.moved})
        for (const auto &l : *list)
            if (l.samePage) result.tabOf[l.place] = l.tab;
    result.expected = expectedPlaces(lined, n, m, aligner.numbers());
    return result;
}

}  // namespace ondrake
