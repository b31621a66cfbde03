#include "WindowLineUp.h"

#include "SessionIdentities/OrderKeepingMatching.h"
#include "SessionIdentities/SequenceAlignment.h"
#include "Platform/TextHash.h"

#include <QHash>

#include <algorithm>
#include <limits>
#include <map>
#include <optional>

namespace ondrake {

namespace {

// The work within which lining up a stretch by its heaviest pairing is made exact, and the most
// its narrowest band may take; a middle larger than the first is divided at its pages shown
// once first.
constexpr std::size_t kExactCells = std::size_t(1) << 16;
constexpr std::size_t kMaxCells = std::size_t(1) << 21;
// Past this many steps from either end, or past this much work in all, a difference is too large
// to follow: a few hundred tabs opened or closed here and there in a large window are, a whole
// window reordered is not.
constexpr std::int64_t kMaxDifference = 8192;
constexpr std::int64_t kDifferenceWorkPerTab = 4;
constexpr std::int64_t kDifferenceWork = std::int64_t(1) << 16;
constexpr auto kUnnumbered = std::numeric_limits<std::uint32_t>::max();

bool samePage(const PageKey &a, const PageKey &b) { return a.url == b.url && a.title == b.title; }

// A place lined up with a tab: showing the same page, or the same address under another title.
struct Lined {
    std::size_t place;
    std::size_t tab;
    bool samePage = true;
};

// A page as its address's number and its title.
struct NumberedPage {
    std::uint32_t address;
    HashedText title;
    bool operator==(const NumberedPage &) const = default;
};
std::size_t qHash(const NumberedPage &key, std::size_t seed) {
    return (std::size_t(key.address) * 0x9E3779B97F4A7C15ull ^ key.title.hash) ^ seed;
}

// Pages (address and title) and addresses as small numbers, equal for equal ones, given only to
// the places and tabs that need them.
class Numbers {
public:
    Numbers(const WindowPageKeys &places, const WindowPageKeys &tabs) : places_(places), tabs_(tabs) {}

    void numberPlaces(std::size_t from, std::size_t to) { number(places_, from, to, placePage, placeAddress); }
    void numberTabs(std::size_t from, std::size_t to) { number(tabs_, from, to, tabPage, tabAddress); }
    std::size_t pages() const { return std::size_t(pages_.size()); }
    std::size_t addresses() const { return addressCount_; }

    // How many places and tabs of the whole window show each page.
    void countWhole() {
        if (!wholePlaceCount.empty() && wholePlaceCount.size() == pages()) return;
        numberPlaces(0, places_.keys.size());
        numberTabs(0, tabs_.keys.size());
        wholePlaceCount.assign(pages(), 0);
        wholeTabCount.assign(pages(), 0);
        for (const auto k : placePage) ++wholePlaceCount[k];
        for (const auto k : tabPage) ++wholeTabCount[k];
    }

    std::vector<std::uint32_t> placePage, tabPage, placeAddress, tabAddress;
    std::vector<std::uint32_t> pageAddress;
    std::vector<bool> pageUntitled;  // still loading
    std::vector<std::uint32_t> wholePlaceCount, wholeTabCount;

private:
    void number(const WindowPageKeys &side, std::size_t from, std::size_t to, std::vector<std::uint32_t> &page,
                std::vector<std::uint32_t> &address) {
        // Most polls change nothing and number nothing.
        if (placePage.empty() && tabPage.empty()) {
            placePage.assign(places_.keys.size(), kUnnumbered);
            tabPage.assign(tabs_.keys.size(), kUnnumbered);
            placeAddress.assign(places_.keys.size(), 0);
            tabAddress.assign(tabs_.keys.size(), 0);
        }
        if (pages_.isEmpty()) pages_.reserve(qsizetype(to - from));
        for (std::size_t i = from; i < to; ++i) {
            if (page[i] != kUnnumbered) continue;
            const auto &key = side.keys[i];
            const NumberedPage numbered{addressOf(side, i), HashedText(key.title)};
            auto p = pages_.find(numbered);
            if (p == pages_.end()) {
                p = pages_.insert(numbered, std::uint32_t(pages_.size()));
                pageAddress.push_back(numbered.address);
                pageUntitled.push_back(key.title.isEmpty());
            }
            page[i] = *p;
            address[i] = numbered.address;
        }
    }
    // Addresses from 0 in the order first seen.
    std::uint32_t addressOf(const WindowPageKeys &side, std::size_t i) {
        const auto given = side.addresses[i];
        if (given >= dense_.size()) dense_.resize(std::size_t(given) + 1, kUnnumbered);
        if (dense_[given] == kUnnumbered) dense_[given] = std::uint32_t(addressCount_++);
        return dense_[given];
    }

    WindowPageKeys places_;
    WindowPageKeys tabs_;
    QHash<NumberedPage, std::uint32_t> pages_;
    std::vector<std::uint32_t> dense_;
    std::size_t addressCount_ = 0;
};

// The anchors that keep their order on both sides, the most of them; `anchors` come in the
// order of their places.
std::vector<bool> longestInOrder(const std::vector<Lined> &anchors) {
    std::vector<std::int64_t> tabs;
    tabs.reserve(anchors.size());
    for (const auto &a : anchors) tabs.push_back(std::int64_t(a.tab));
    std::vector<bool> chained(anchors.size(), false);
    for (const auto k : longestRisingRun(tabs)) chained[k] = true;
    return chained;
}

// The pairs that find the shorter of two sequences in order in the longer, each element as early
// as it can; none when it does not stand in it whole.
template<typename Same>
std::optional<AlignedPairs> embedding(std::size_t n, std::size_t m, const Same &same) {
    AlignedPairs pairs;
    if (n <= m) {
        for (std::size_t i = 0, j = 0; i < n; ++i, ++j) {
            while (j < m && !same(i, j)) ++j;
            if (j == m) return std::nullopt;
            pairs.emplace_back(i, j);
        }
    } else {
        for (std::size_t i = 0, j = 0; j < m; ++i, ++j) {
            while (i < n && !same(i, j)) ++i;
            if (i == n) return std::nullopt;
            pairs.emplace_back(i, j);
        }
    }
    return pairs;
}

// Two sequences lined up: the equal ends first, then the middle as heavily as can be, where
// `worth(i, j)` is what pairing a[i] with b[j] is worth (0: they may not pair), `same(i, j)`
// whether they are equal, and `most(i, fromA)` the most an element is worth when equal to
// another (0 when it is equal to none), less than any such worth is `least`, and `slack` what
// pairs of unequal elements add at the most. A middle whose elements that can be equal are all
// worth alike is lined up by its difference when it is more than a few changes. Answers the pairs;
// when the middle is too large to line up, none, or with `always` the ends alone.
template<typename Worth, typename Same, typename Most>
std::optional<AlignedPairs> alignSequences(std::size_t n, std::size_t m, const Worth &worth, const Same &same, const Most &most,
                                           std::int64_t least, std::int64_t slack, bool always) {
    AlignedPairs pairs;
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
        std::vector<std::int64_t> mostOf;
        mostOf.reserve(middleN + middleM);
        for (std::size_t i = 0; i < middleN; ++i) mostOf.push_back(most(head + i, true));
        for (std::size_t j = 0; j < middleM; ++j) mostOf.push_back(most(head + j, false));
        std::int64_t alike = 0;
        bool uniform = true;
        std::size_t unequal = 0;  // elements equal to none
        for (const auto w : mostOf) {
            if (w == 0) ++unequal;
            else if (alike == 0) alike = w;
            else uniform = uniform && w == alike;
        }
        const auto at = [&](std::size_t i, std::size_t j) { return worth(head + i, head + j); };
        const auto sameAt = [&](std::size_t i, std::size_t j) { return same(head + i, head + j); };
        // Only closes or only opens: the shorter side stands in the longer in order, and every
        // one of it pairs, as early as it can.
        auto found = embedding(middleN, middleM, sameAt);
        const auto difference = [&] {
            return ShortestDifference(sameAt, kMaxDifference, kDifferenceWorkPerTab * std::int64_t(middleN + middleM) + kDifferenceWork)
                .pairs(middleN, middleM);
        };
        // Where all are worth alike a small difference is found faster than by a table, and a
        // large one is not worth more than a band around the diagonal at about twice the work of
        // its narrowest. Otherwise the table widens until it is exact or its work reaches a
        // fixed amount, and keeps the widest band tried.
        const auto bandCells = (middleN + 1) * (std::max(middleN, middleM) - std::min(middleN, middleM) + 65);
        const auto heaviest = [&](std::size_t cells, bool orWidest) {
            return heaviestPairing(middleN, middleM, at, mostOf, least, cells, std::int64_t(unequal) * least + 2 * slack, orWidest);
        };
        if (!found) found = heaviest(kExactCells, false);
        if (!found && uniform) found = difference();
        if (!found && bandCells <= kMaxCells) found = heaviest(uniform ? std::max(kExactCells, 2 * bandCells) : kMaxCells, true);
        if (found) {
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
    };

    Aligner(const WindowPageKeys &places, const WindowPageKeys &tabs)
        : places_(places.keys), tabs_(tabs.keys), numbers_(places, tabs) {}

    Numbers &numbers() { return numbers_; }

    // Places [p0, p1) lined up with tabs [t0, t1).
    Result align(std::size_t p0, std::size_t p1, std::size_t t0, std::size_t t1) {
        Result result;
        while (p0 < p1 && t0 < t1 && samePage(places_[p0], tabs_[t0])) result.inOrder.push_back({p0++, t0++, true});
        std::vector<Lined> tail;
        while (p0 < p1 && t0 < t1 && samePage(places_[p1 - 1], tabs_[t1 - 1])) tail.push_back({--p1, --t1, true});
        if (p0 < p1 && t0 < t1) {
            middle(p0, p1, t0, t1, result);
        }
        result.inOrder.insert(result.inOrder.end(), tail.rbegin(), tail.rend());
        return result;
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
        auto page = retitles(placeCount, tabCount, {p0, p1, t0, t1});
        // Looking across the window may have numbered pages the range does not show.
        placeCount.resize(numbers_.pages(), 0);
        tabCount.resize(numbers_.pages(), 0);
        tabOfPage.resize(numbers_.pages(), 0);
        for (auto k = std::uint32_t(page.size()); k < numbers_.pages(); ++k) page.push_back(k);
        // Places by the page they show now.
        std::vector<std::uint32_t> shownCount(numbers_.pages(), 0);
        for (auto p = p0; p < p1; ++p) ++shownCount[page[placePage[p]]];
        // A place with its own page outweighs any number with their address alone, and a page
        // open more than once lines up before a page shown once, which may have moved.
        const auto unit = std::int64_t((p1 - p0) + (t1 - t0) + 1);
        std::vector<std::int64_t> pageWorth(numbers_.pages(), unit);
        for (std::size_t k = 0; k < pageWorth.size(); ++k)
            if (shownCount[k] > 1 || tabCount[k] > 1) pageWorth[k] = 2 * unit;
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
            // What each side shows, laid out flat for the table's inner loop.
            std::vector<std::uint32_t> aPage(a.size()), aAddress(a.size()), bPage(b.size()), bAddress(b.size());
            std::vector<std::int64_t> bWorth(b.size());
            for (std::size_t i = 0; i < a.size(); ++i) {
                aPage[i] = page[placePage[a[i]]];
                aAddress[i] = placeAddress[a[i]];
            }
            for (std::size_t j = 0; j < b.size(); ++j) {
                bPage[j] = tabPage[b[j]];
                bAddress[j] = tabAddress[b[j]];
                bWorth[j] = pageWorth[bPage[j]];
            }
            const auto same = [&](std::size_t i, std::size_t j) { return aPage[i] == bPage[j]; };
            const auto worth = [&](std::size_t i, std::size_t j) -> std::int64_t {
                if (aPage[i] == bPage[j]) return bWorth[j];
                return aAddress[i] == bAddress[j] ? 1 : 0;
            };
            const auto most = [&](std::size_t k, bool place) -> std::int64_t {
                if (place) {
                    const auto shown = page[placePage[a[k]]];
                    return tabCount[shown] > 0 ? pageWorth[shown] : 0;
                }
                const auto shown = tabPage[b[k]];
                return shownCount[shown] > 0 ? pageWorth[shown] : 0;
            };
            const auto pairs = alignSequences(a.size(), b.size(), worth, same, most, unit,
                                              std::int64_t(std::min(a.size(), b.size())), always);
            if (!pairs) return false;
            for (const auto &[i, j] : *pairs) result.inOrder.push_back({a[i], b[j], same(i, j)});
            return true;
        };
        const auto once = [&](std::size_t p) { return placeCount[placePage[p]] == 1 && tabCount[placePage[p]] == 1; };
        const auto movedOnce = [&] {
            // Pages shown once on either side that did not line up in order moved.
            std::vector<bool> lined(p1 - p0, false);
            std::vector<bool> tabLined(t1 - t0, false);
            for (const auto &l : result.inOrder)
                if (l.place >= p0 && l.place < p1) {
                    lined[l.place - p0] = true;
                    tabLined[l.tab - t0] = true;
                }
            for (auto p = p0; p < p1; ++p) {
                const auto k = placePage[p];
                if (!lined[p - p0] && placeCount[k] == 1 && tabCount[k] == 1 && !tabLined[tabOfPage[k] - t0])
                    result.moved.push_back({p, tabOfPage[k]});
            }
        };
        // A large middle of mostly pages shown once on both sides is divided at them first: a
        // reversal, shuffle or sort of such pages then costs a lookup a tab.
        std::size_t onceCount = 0;
        for (auto p = p0; p < p1; ++p) onceCount += once(p);
        const auto n = p1 - p0;
        const auto m = t1 - t0;
        const bool large = (n + 1) * (std::max(n, m) - std::min(n, m) + 65) > kExactCells;
        if (!(large && 2 * onceCount > n) && stretch(p0, p1, t0, t1, noneMoved, noneMoved, false)) {
            movedOnce();
            return;
        }

        // Too large a change to line up whole: pages shown once on either side anchor the rest;
        // the most of them that keep their order divide the middle into stretches, and the
        // others moved.
        std::vector<Lined> anchors;
        for (auto p = p0; p < p1; ++p)
            if (once(p)) anchors.push_back({p, tabOfPage[placePage[p]]});
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
            result.inOrder.push_back({anchors[k].place, anchors[k].tab, true});
            fromP = anchors[k].place + 1;
            fromT = anchors[k].tab + 1;
        }
        stretch(fromP, p1, fromT, t1, placeMoved, tabMoved, true);
    }

    struct Range {
        std::size_t p0, p1, t0, t1;
    };

    // Each page of the range as it should show now: identical tabs retitle together, so a title
    // no tab of the window shows any more has become a title of its address that no place
    // showed, the most alike in number first, one that has finished loading before one still
    // loading.
    std::vector<std::uint32_t> retitles(const std::vector<std::uint32_t> &placeCount, const std::vector<std::uint32_t> &tabCount,
                                        Range range) {
        std::vector<std::uint32_t> page(numbers_.pages());
        for (std::size_t k = 0; k < page.size(); ++k) page[k] = std::uint32_t(k);
        // Titles gone from the range and titles new to it, by address; only an address with both
        // is looked at across the window.
        const auto addresses = numbers_.addresses();
        std::vector<bool> lostTitle(addresses, false);
        bool anyGone = false;
        for (std::uint32_t k = 0; k < page.size(); ++k)
            if (placeCount[k] > 0 && tabCount[k] == 0) anyGone = lostTitle[numbers_.pageAddress[k]] = true;
        if (!anyGone) return page;
        const bool whole = range.p0 == 0 && range.p1 == places_.size() && range.t0 == 0 && range.t1 == tabs_.size();
        // Shown outside the range: counted once for the whole window.
        const auto outside = [&](const std::vector<std::uint32_t> &wholeCount, const std::vector<std::uint32_t> &count,
                                 std::uint32_t k) {
            if (whole) return false;
            numbers_.countWhole();
            return wholeCount[k] > count[k];
        };
        // The new titles of each address, one address after the other.
        std::vector<std::uint32_t> comeStart(addresses + 1, 0);
        std::vector<std::uint32_t> come;
        for (std::uint32_t k = 0; k < page.size(); ++k)
            if (tabCount[k] > 0 && placeCount[k] == 0 && lostTitle[numbers_.pageAddress[k]] &&
                !outside(numbers_.wholePlaceCount, placeCount, k)) {
                ++comeStart[numbers_.pageAddress[k] + 1];
                come.push_back(k);
            }
        if (come.empty()) return page;
        for (std::size_t a = 0; a < addresses; ++a) comeStart[a + 1] += comeStart[a];
        {
            auto next = comeStart;
            std::vector<std::uint32_t> sorted(come.size());
            for (const auto k : come) sorted[next[numbers_.pageAddress[k]]++] = k;
            come = std::move(sorted);
        }
        // Of each address, the titles gone, ascending.
        std::vector<std::uint32_t> goneStart(addresses + 1, 0);
        std::vector<std::uint32_t> gone;
        for (std::uint32_t k = 0; k < page.size(); ++k) {
            if (placeCount[k] == 0 || tabCount[k] > 0) continue;
            const auto a = numbers_.pageAddress[k];
            if (comeStart[a] == comeStart[a + 1] || outside(numbers_.wholeTabCount, tabCount, k)) continue;
            ++goneStart[a + 1];
            gone.push_back(k);
        }
        for (std::size_t a = 0; a < addresses; ++a) goneStart[a + 1] += goneStart[a];
        {
            auto next = goneStart;
            std::vector<std::uint32_t> sorted(gone.size());
            for (const auto k : gone) sorted[next[numbers_.pageAddress[k]]++] = k;
            gone = std::move(sorted);
        }
        // Each gone title takes, of the new ones, the one whose count is nearest, finished
        // loading before still loading, then the earliest; the gone titles choose in order.
        // A group of new titles of one count and state is taken from its start, so each
        // nearness is one pass over the titles still gone.
        for (std::size_t a = 0; a < addresses; ++a) {
            if (goneStart[a] == goneStart[a + 1]) continue;
            std::map<std::pair<std::uint32_t, bool>, std::pair<std::vector<std::uint32_t>, std::size_t>> groups;
            for (auto n = comeStart[a]; n < comeStart[a + 1]; ++n)
                groups[{tabCount[come[n]], bool(numbers_.pageUntitled[come[n]])}].first.push_back(come[n]);
            std::vector<std::uint32_t> apart;
            for (auto g = goneStart[a]; g < goneStart[a + 1]; ++g)
                for (const auto &[key, group] : groups) {
                    const auto count = placeCount[gone[g]];
                    apart.push_back(count > key.first ? count - key.first : key.first - count);
                }
            std::sort(apart.begin(), apart.end());
            apart.erase(std::unique(apart.begin(), apart.end()), apart.end());
            std::vector<std::uint32_t> left(gone.begin() + goneStart[a], gone.begin() + goneStart[a + 1]);
            for (const auto d : apart)
                for (const bool untitled : {false, true}) {
                    std::vector<std::uint32_t> still;
                    for (const auto k : left) {
                        std::optional<std::uint32_t> best;
                        std::pair<std::vector<std::uint32_t>, std::size_t> *from = nullptr;
                        for (const auto count : {std::int64_t(placeCount[k]) - d, std::int64_t(placeCount[k]) + d}) {
                            if (count < 0) continue;
                            const auto group = groups.find({std::uint32_t(count), untitled});
                            if (group == groups.end() || group->second.second == group->second.first.size()) continue;
                            const auto c = group->second.first[group->second.second];
                            if (!best || c < *best) {
                                best = c;
                                from = &group->second;
                            }
                        }
                        if (best) {
                            ++from->second;
                            page[k] = *best;
                        } else {
                            still.push_back(k);
                        }
                    }
                    left = std::move(still);
                }
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
            const auto pairs = alignSequences(
                places.size(), tabs.size(), [&](std::size_t i, std::size_t j) { return same(i, j) ? 1 : 0; }, same,
                [](std::size_t, bool) -> std::int64_t { return 1; }, 1, 0, true);
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

WindowLineUp lineUpWindow(const WindowPageKeys &places, const WindowPageKeys &tabs) {
    const auto n = places.keys.size();
    const auto m = tabs.keys.size();
    Aligner aligner(places, tabs);
    const auto lined = aligner.align(0, n, 0, m);
    WindowLineUp result;
    result.tabOf.assign(n, std::nullopt);
    for (const auto *list : {&lined.inOrder, &lined.moved})
        for (const auto &l : *list)
            if (l.samePage) result.tabOf[l.place] = l.tab;
    result.expected = expectedPlaces(lined, n, m, aligner.numbers());
    return result;
}

}  // namespace ondrake
