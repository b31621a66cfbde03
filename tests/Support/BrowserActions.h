#pragma once

#include "BrowserChanges.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace ondrake::test {

using Origins = std::vector<std::optional<std::size_t>>;  // the place each tab came from; none: new

// One window as the browser holds it: what each tab shows, the place each came from at the last
// poll, and the active tab.
struct Strip {
    std::vector<Shows> pages;
    Origins from;
    std::size_t active = 0;
};

// One way a person's actions turn the last poll into this one: the place each tab came from,
// how many actions it takes, and the places closed and tabs opened one by themselves, either of
// which may be a tab dragged between windows.
struct Explanation {
    Origins origins;
    int actions = 0;
    std::vector<std::size_t> closedAlone;
    std::vector<std::size_t> openedAlone;
    bool operator==(const Explanation &) const = default;
};

// What the actions may do: how many, and whether a page may retitle where it stands for nothing
// (but to no title: that is the page loading again).
struct Rules {
    int most = 1;
    bool freeRetitles = false;
    std::size_t largestBlock = 64;  // opened, closed or dragged at once by each of several actions
    bool bruteForce = false;  // the last action tried everywhere, not only where the strips differ
};

// A tab opened onto the page of one the same actions closed is rather that tab: an explanation
// owes one action it did not see for each.
inline int owedActions(const std::vector<Shows> &before, const Origins &origins, const std::vector<Shows> &after) {
    std::vector<bool> kept(before.size(), false);
    for (const auto &from : origins)
        if (from) kept[*from] = true;
    int owed = 0;
    for (std::size_t t = 0; t < after.size(); ++t) {
        if (origins[t]) continue;
        for (std::size_t p = 0; p < before.size(); ++p)
            if (!kept[p] && before[p] == after[t]) {
                kept[p] = true;
                ++owed;
                break;
            }
    }
    return owed;
}

// Every way up to `rules.most` actions of a person, as the browser carries them out, give this
// poll's pages and active tab: opening a tab or a block anywhere, its first or last tab made
// active or not; closing a tab or a block (the active one among them hands on to the tab after them, or
// before them when they were last); a tab going to another page or title where it stands;
// dragging a tab or a block past its neighbours (the active tab kept, or a tab dragged alone
// made active); activating another tab. One action may take a block of any size; of several,
// one at most more than `largestBlock` tabs. Found by trying them all, but for the last action,
// tried only where it can give this poll: it leaves alone the tabs before and after the stretch
// where the strips differ, and takes as many as they differ by.
inline std::vector<Explanation> explanations(const std::vector<Shows> &before, std::size_t was, const std::vector<Shows> &after,
                                             std::size_t now, Rules rules = {}) {
    struct Tab {
        std::optional<std::size_t> from;
        bool any = false;  // opened, or gone to another page: shows whatever it shows now
        bool alone = false;
    };
    struct State {
        std::vector<Tab> tabs;
        std::uint64_t active = 0;  // the tabs that may be active
        std::vector<std::size_t> closedAlone;
        int large = 0;  // actions that took a block larger than several actions take
        bool alike = true;  // every large one opened, or every one closed
        int largeKind = 0;  // of the large ones: 1 opened, 2 closed, 3 dragged
    };
    const auto m = after.size();
    // A title that goes to none is the page loading again, not a retitle.
    const auto same = [&](const Shows &was, const Shows &is) {
        return rules.freeRetitles ? was.url == is.url && (!is.title.isEmpty() || was.title.isEmpty()) : was == is;
    };
    std::vector<Explanation> found;
    std::map<std::tuple<Origins, std::vector<std::size_t>, std::vector<std::size_t>>, std::size_t> foundAt;
    const auto record = [&](const State &s, int actions) {
        if (s.tabs.size() != m || !(s.active >> now & 1)) return;
        for (std::size_t t = 0; t < m; ++t) {
            const auto &tab = s.tabs[t];
            if (tab.any) continue;
            if (!same(before[*tab.from], after[t])) return;
        }
        // A tab opened onto the page of one the same actions closed is rather that tab: the
        // explanation owes the action it did not see.
        std::vector<bool> kept(before.size(), false);
        for (const auto &tab : s.tabs)
            if (tab.from) kept[*tab.from] = true;
        for (std::size_t t = 0; t < m; ++t) {
            if (s.tabs[t].from) continue;
            for (std::size_t p = 0; p < before.size(); ++p)
                if (!kept[p] && before[p] == after[t]) {
                    kept[p] = true;
                    ++actions;
                    break;
                }
        }
        if (actions > rules.most) return;
        Explanation e{Origins(m), actions, s.closedAlone, {}};
        for (std::size_t t = 0; t < m; ++t) {
            e.origins[t] = s.tabs[t].from;
            if (!s.tabs[t].from && s.tabs[t].alone) e.openedAlone.push_back(t);
        }
        actions += owedActions(before, e.origins, after);
        if (actions > rules.most) return;
        e.actions = actions;
        std::sort(e.closedAlone.begin(), e.closedAlone.end());
        const auto [at, fresh] = foundAt.try_emplace({e.origins, e.closedAlone, e.openedAlone}, found.size());
        if (!fresh) found[at->second].actions = std::min(found[at->second].actions, actions);
        else found.push_back(std::move(e));
    };
    const auto bit = [](std::size_t i) { return std::uint64_t(1) << i; };
    // Each next state after one action. The last one must leave as many tabs as the poll shows,
    // and leaves the first `head` and last `tail` tabs as they stand, which fit the poll's.
    const auto each = [&](const State &s, bool last, const auto &visit) {
        const auto n = s.tabs.size();
        const auto fits = [&](std::size_t i, std::size_t t) { return s.tabs[i].any || same(before[*s.tabs[i].from], after[t]); };
        std::size_t head = 0;
        std::size_t tail = 0;
        const bool everywhere = !last || rules.bruteForce;
        if (!everywhere) {
            while (head < std::min(n, m) && fits(head, head)) ++head;
            while (tail < std::min(n, m) && fits(n - 1 - tail, m - 1 - tail)) ++tail;
        }
        // The places an action may start at or end at, to leave those tabs alone.
        const auto from = [&](std::size_t end, std::size_t kept) { return everywhere ? 0 : end > kept ? end - kept : 0; };
        const auto upTo = [&](std::size_t most) { return everywhere ? most : std::min(most, head); };
        const auto mapped = [&](const auto &where) {  // where(i): the new place of tab i, or none
            std::uint64_t active = 0;
            for (std::size_t i = 0; i < n; ++i)
                if (s.active >> i & 1)
                    if (const auto to = where(i)) active |= bit(*to);
            return active;
        };
        // Opened.
        for (auto at = from(n, tail); at <= upTo(n); ++at)
            for (std::size_t count = 1; n + count <= 62 && count <= std::max(m, n) + 1; ++count) {
                if (last && n + count != m) continue;
                State next = s;
                next.large += count > rules.largestBlock;
                if (count > rules.largestBlock) {
                    next.alike = next.alike && s.largeKind != 2 && s.largeKind != 3;
                    next.largeKind = 1;
                }
                next.tabs.insert(next.tabs.begin() + std::ptrdiff_t(at), count, Tab{std::nullopt, true, count == 1});
                next.active = mapped([&](std::size_t i) { return std::optional(i < at ? i : i + count); });
                visit(next);
                next.active = bit(at) | bit(at + count - 1);  // in front: the first or the last opened
                visit(next);
            }
        // Closed.
        for (auto at = from(m, tail); at < n && at <= upTo(n); ++at)
            for (std::size_t count = 1; at + count <= n && count < n; ++count) {
                if (last && n - count != m) continue;
                State next = s;
                next.large += count > rules.largestBlock;
                if (count > rules.largestBlock) {
                    next.alike = next.alike && s.largeKind != 1 && s.largeKind != 3;
                    next.largeKind = 2;
                }
                if (count == 1 && s.tabs[at].from) next.closedAlone.push_back(*s.tabs[at].from);
                next.tabs.erase(next.tabs.begin() + std::ptrdiff_t(at), next.tabs.begin() + std::ptrdiff_t(at + count));
                next.active = mapped([&](std::size_t i) -> std::optional<std::size_t> {
                    if (i < at) return i;
                    if (i >= at + count) return i - count;
                    return std::nullopt;
                });
                bool closedActive = false;
                for (std::size_t i = at; i < at + count; ++i) closedActive = closedActive || (s.active >> i & 1);
                if (closedActive) next.active |= bit(at + count < n ? at : at - 1);
                visit(next);
            }
        if (last && n != m) return;
        // Gone to another page: the one tab that does not fit.
        for (std::size_t at = everywhere ? 0 : head; at < (everywhere ? n : std::min(n, head + 1)); ++at) {
            if (s.tabs[at].any || (!everywhere && head + tail + 1 < n)) continue;
            State next = s;
            next.tabs[at].any = true;
            visit(next);
        }
        // Dragged: blocks [x, z) and [z, y) trade places.
        for (std::size_t x = 0; x < n && x <= upTo(n); ++x)
            for (auto z = x + 1; z < n; ++z)
                for (auto y = std::max(z + 1, from(n, tail)); y <= n; ++y) {
                    const auto where = [&](std::size_t i) {
                        if (i < x || i >= y) return std::optional(i);
                        return std::optional(i < z ? i + (y - z) : i - (z - x));
                    };
                    bool fit = true;
                    for (auto i = x; i < y && fit && !everywhere; ++i) fit = fits(i, *where(i));
                    if (!fit) continue;
                    State next = s;
                    if (std::min(z - x, y - z) > rules.largestBlock) {
                        ++next.large;
                        next.alike = next.alike && s.largeKind == 0;
                        next.largeKind = 3;
                    }
                    for (std::size_t i = x; i < y; ++i) next.tabs[*where(i)] = s.tabs[i];
                    next.active = mapped(where);
                    if (z - x == 1) next.active |= bit(y - 1);
                    if (y - z == 1) next.active |= bit(x);
                    visit(next);
                }
        // Another tab activated.
        if (!everywhere && head < n) return;
        State next = s;
        next.active = n >= 64 ? ~std::uint64_t(0) : bit(n) - 1;
        visit(next);
    };
    State start;
    for (std::size_t p = 0; p < before.size(); ++p) start.tabs.push_back({p, false, false});
    start.active = bit(was);
    record(start, 0);
    const auto deeper = [&](const State &s, int actions, const auto &self) -> void {
        each(s, actions + 1 == rules.most, [&](const State &next) {
            // A block of any size alone; of several actions, one at most takes more than a few,
            // but for blocks all opened or all closed.
            if (next.large > 1 && !next.alike) return;
            record(next, actions + 1);
            if (actions + 1 < rules.most) self(next, actions + 1, self);
        });
    };
    if (rules.most > 0) deeper(start, 0, deeper);
    return found;
}

// The explanations of the fewest actions, up to `rules.most`: more are tried only when fewer
// explain nothing.
inline std::vector<Explanation> fewestExplanations(const std::vector<Shows> &before, std::size_t was, const std::vector<Shows> &after,
                                                   std::size_t now, Rules rules) {
    const auto most = rules.most;
    for (rules.most = 0; rules.most <= most; ++rules.most)
        if (auto found = explanations(before, was, after, now, rules); !found.empty()) return found;
    return {};
}

// The places the tabs came from, of each explanation.
inline std::vector<Origins> originsOf(const std::vector<Explanation> &found) {
    std::vector<Origins> out;
    for (const auto &e : found) out.push_back(e.origins);
    return out;
}

// The places the tabs came from, of every explanation of one action.
inline std::vector<Origins> everyExplanation(const std::vector<Shows> &before, std::size_t was, const std::vector<Shows> &after,
                                             std::size_t now) {
    std::vector<Origins> out;
    for (const auto &e : explanations(before, was, after, now, {1, false}))
        if (std::find(out.begin(), out.end(), e.origins) == out.end()) out.push_back(e.origins);
    return out;
}

// Two windows read together: the explanations of each that, with a tab closed alone in the one
// and opened alone of its address in the other read as one drag, take no more actions in all
// than `most`; and for each tab of the second window, the place of the first it came from in
// every one of them, when they agree that it was dragged.
struct AcrossWindows {
    std::vector<Origins> left;  // of the window a tab may have left
    std::vector<Origins> came;  // of the window it may have come to
    std::vector<std::optional<std::size_t>> dragged;  // for each tab of the second window
    std::vector<bool> goneForSure;  // for each place of the first: closed, and dragged nowhere
};
inline AcrossWindows acrossWindows(const std::vector<Explanation> &left, const std::vector<Explanation> &came,
                                   const std::vector<Shows> &leftBefore, const std::vector<Shows> &cameAfter, int most) {
    AcrossWindows out;
    std::vector<std::optional<std::optional<std::size_t>>> dragged(cameAfter.size());  // outer: none seen yet
    std::vector<bool> agrees(cameAfter.size(), true);
    out.goneForSure.assign(leftBefore.size(), true);
    const auto add = [](std::vector<Origins> &list, const Origins &o) {
        if (std::find(list.begin(), list.end(), o) == list.end()) list.push_back(o);
    };
    const auto combination = [&](const Explanation &a, const Explanation &b, std::optional<std::pair<std::size_t, std::size_t>> drag) {
        add(out.left, a.origins);
        add(out.came, b.origins);
        for (std::size_t t = 0; t < cameAfter.size(); ++t) {
            const auto from = drag && drag->second == t ? std::optional(drag->first) : std::nullopt;
            if (!dragged[t]) dragged[t] = from;
            else if (*dragged[t] != from) agrees[t] = false;
        }
        std::vector<bool> kept(leftBefore.size(), false);
        for (const auto &o : a.origins)
            if (o) kept[*o] = true;
        if (drag) kept[drag->first] = true;
        for (std::size_t p = 0; p < kept.size(); ++p)
            if (kept[p]) out.goneForSure[p] = false;
    };
    for (const auto &a : left)
        for (const auto &b : came) {
            if (a.actions + b.actions <= most) combination(a, b, std::nullopt);
            if (a.actions + b.actions - 1 > most) continue;
            for (const auto p : a.closedAlone)
                for (const auto t : b.openedAlone)
                    if (leftBefore[p].url == cameAfter[t].url) combination(a, b, std::pair(p, t));
        }
    out.dragged.resize(cameAfter.size());
    for (std::size_t t = 0; t < cameAfter.size(); ++t)
        if (agrees[t] && dragged[t]) out.dragged[t] = *dragged[t];
    if (out.left.empty()) out.goneForSure.assign(leftBefore.size(), false);
    return out;
}

// Two windows seen before and after up to two actions of a person, read together.
inline AcrossWindows twoWindowsRead(const Strip &leftBefore, const Strip &left, const Strip &cameBefore, const Strip &came) {
    return acrossWindows(explanations(leftBefore.pages, leftBefore.active, left.pages, left.active, {2, false, 2}),
                         explanations(cameBefore.pages, cameBefore.active, came.pages, came.active, {2, false, 2}),
                         leftBefore.pages, came.pages, 2);
}

// The size of a random window: how many tabs, and over how many pages shown more than once.
struct StripShape {
    std::size_t fewest = 2;
    std::size_t most = 8;
    std::size_t fewestTwins = 2;
    std::size_t mostTwins = 3;
};

// A random small window over pages shown more than once and pages shown once.
inline Strip randomStrip(std::mt19937 &random, int &fresh, StripShape shape = {}) {
    const auto pick = [&](std::size_t n) { return std::size_t(random() % n); };
    // Pages of their own, so that records of other windows never wait for them.
    const auto set = ++fresh;
    std::vector<Shows> twins;
    for (std::size_t k = 0, count = shape.fewestTwins + pick(shape.mostTwins - shape.fewestTwins + 1); k < count; ++k)
        twins.push_back({QStringLiteral("T%1.%2").arg(set).arg(k), QStringLiteral("https://t%1-%2.example/").arg(set).arg(k)});
    Strip strip;
    for (std::size_t k = 0, n = shape.fewest + pick(shape.most - shape.fewest + 1); k < n; ++k) {
        if (pick(3) == 0) {
            ++fresh;
            strip.pages.push_back({QStringLiteral("O%1").arg(fresh), QStringLiteral("https://o%1.example/").arg(fresh)});
        } else {
            strip.pages.push_back(twins[pick(twins.size())]);
        }
        strip.from.push_back(k);
    }
    strip.active = pick(strip.pages.size());
    return strip;
}

// Pages that retitle where they stand, each tab alone: "Inbox" becomes "Inbox (1)".
inline void retitleSome(std::mt19937 &random, Strip &s, int &fresh) {
    for (auto &page : s.pages)
        if (random() % 3 == 0) page.title += QStringLiteral(" (%1)").arg(++fresh);
}

// A page for a tab to open or go to: one the window shows, or a new one.
inline Shows randomPage(std::mt19937 &random, const Strip &strip, int &fresh) {
    if (random() % 3 == 0) {
        ++fresh;
        return {QStringLiteral("N%1").arg(fresh), QStringLiteral("https://n%1.example/").arg(fresh)};
    }
    return strip.pages[random() % strip.pages.size()];
}

// One action a person takes, as the browser carries it out; answers its name, or nothing when
// the window is too small for it.
// With `retitles`, a tab going to another page may instead retitle at its address. Now and then
// it takes a block of two to `largestBlock` tabs.
inline std::optional<std::string> act(std::mt19937 &random, Strip &s, int &fresh, bool retitles = false, std::size_t largestBlock = 2) {
    const auto pick = [&](std::size_t n) { return std::size_t(random() % n); };
    const auto block = [&] { return largestBlock > 2 ? 2 + pick(largestBlock - 1) : 2; };
    const auto n = s.pages.size();
    switch (pick(5)) {
    case 0: {
        const std::size_t count = pick(4) == 0 ? block() : 1;
        const auto at = pick(n + 1);
        for (std::size_t k = 0; k < count; ++k) {
            s.pages.insert(s.pages.begin() + std::ptrdiff_t(at + k), randomPage(random, s, fresh));
            s.from.insert(s.from.begin() + std::ptrdiff_t(at + k), std::nullopt);
        }
        if (pick(2) == 0) {
            s.active = at;  // the first of what it opens
            return "opened in front";
        }
        if (s.active >= at) s.active += count;
        return "opened in the background";
    }
    case 1: {
        const std::size_t count = pick(4) == 0 ? block() : 1;
        if (n <= count) return std::nullopt;
        const auto at = pick(n - count + 1);
        s.pages.erase(s.pages.begin() + std::ptrdiff_t(at), s.pages.begin() + std::ptrdiff_t(at + count));
        s.from.erase(s.from.begin() + std::ptrdiff_t(at), s.from.begin() + std::ptrdiff_t(at + count));
        const bool activeClosed = s.active >= at && s.active < at + count;
        if (activeClosed) s.active = at < s.pages.size() ? at : at - 1;
        else if (s.active >= at + count) s.active -= count;
        return activeClosed ? "active closed" : "closed in the background";
    }
    case 2: {
        const auto at = pick(n);
        if (retitles && pick(2) == 0) {
            s.pages[at].title += QStringLiteral(" (%1)").arg(++fresh);
            return "retitled";
        }
        auto page = randomPage(random, s, fresh);
        if (page == s.pages[at]) return std::nullopt;
        s.pages[at] = page;
        return "went to another page";
    }
    case 3: {
        const auto count = std::min<std::size_t>(n - 1, pick(3) == 0 ? block() : 1);
        if (count == 0) return std::nullopt;
        const auto at = pick(n - count + 1);
        const auto to = pick(n - count + 1);
        if (to == at) return std::nullopt;
        // Where the active tab goes: with the block, or past it.
        auto active = s.active;
        if (active >= at && active < at + count) active = to + (active - at);
        else {
            if (active > at) active -= count;
            if (active >= to) active += count;
        }
        std::vector<Shows> pages(s.pages.begin() + std::ptrdiff_t(at), s.pages.begin() + std::ptrdiff_t(at + count));
        Origins from(s.from.begin() + std::ptrdiff_t(at), s.from.begin() + std::ptrdiff_t(at + count));
        s.pages.erase(s.pages.begin() + std::ptrdiff_t(at), s.pages.begin() + std::ptrdiff_t(at + count));
        s.from.erase(s.from.begin() + std::ptrdiff_t(at), s.from.begin() + std::ptrdiff_t(at + count));
        s.pages.insert(s.pages.begin() + std::ptrdiff_t(to), pages.begin(), pages.end());
        s.from.insert(s.from.begin() + std::ptrdiff_t(to), from.begin(), from.end());
        if (count == 1 && pick(3) == 0) {
            s.active = to;
            return "dragged and made active";
        }
        s.active = active;
        return "dragged";
    }
    default: s.active = pick(n); return "activated";
    }
}


// Two windows sharing pages, the second showing some of the first's.
inline std::pair<Strip, Strip> randomPair(std::mt19937 &random, int &fresh, StripShape shape = {}) {
    auto from = randomStrip(random, fresh, shape);
    auto to = randomStrip(random, fresh, shape);
    for (auto &p : to.pages)
        if (random() % 2 == 0) p = from.pages[random() % from.pages.size()];
    return {std::move(from), std::move(to)};
}

// Where a tab dragged to another window came from, in that window's origins.
constexpr std::size_t kDragged = std::numeric_limits<std::size_t>::max();
// Whether the tab dragged to the window is still there.
inline bool stillThere(const Strip &to) { return std::find(to.from.begin(), to.from.end(), kDragged) != to.from.end(); }

// A tab dragged from one window to another, as the browser does it: the window it left reads
// as after its close, and where it lands it becomes the active tab or not. Answers whether it
// did; the first window needs two tabs.
inline bool dragAcross(std::mt19937 &random, Strip &from, Strip &to) {
    const auto at = std::size_t(random() % from.pages.size());
    const auto page = from.pages[at];
    from.pages.erase(from.pages.begin() + std::ptrdiff_t(at));
    from.from.erase(from.from.begin() + std::ptrdiff_t(at));
    if (from.active == at) from.active = at < from.pages.size() ? at : at - 1;
    else if (from.active > at) --from.active;
    const auto landing = std::size_t(random() % (to.pages.size() + 1));
    to.pages.insert(to.pages.begin() + std::ptrdiff_t(landing), page);
    to.from.insert(to.from.begin() + std::ptrdiff_t(landing), kDragged);
    const bool front = random() % 2 == 0;
    if (front) to.active = landing;
    else if (to.active >= landing) ++to.active;
    return front;
}

// Where every explanation pairs a place of the last poll with one tab of this one, that tab;
// where every one closes it, none inside; not judged where they differ.
inline std::vector<std::optional<std::optional<std::size_t>>> agreedPlaces(const std::vector<Origins> &explanations,
                                                                           std::size_t places) {
    std::vector<std::optional<std::optional<std::size_t>>> agreed(places);
    std::vector<bool> agrees(places, true);
    bool first = true;
    for (const auto &origins : explanations) {
        Origins tabOf(places);
        for (std::size_t t = 0; t < origins.size(); ++t)
            if (origins[t]) tabOf[*origins[t]] = t;
        for (std::size_t p = 0; p < places; ++p) {
            if (first) agreed[p] = tabOf[p];
            else if (*agreed[p] != tabOf[p]) agrees[p] = false;
        }
        first = false;
    }
    for (std::size_t p = 0; p < places; ++p)
        if (!agrees[p] || first) agreed[p].reset();
    return agreed;
}

// The tab every explanation opens, when there is one.
inline std::optional<std::size_t> openedForSure(const std::vector<Origins> &explanations, std::size_t tabs) {
    std::optional<std::size_t> opened;
    for (std::size_t t = 0; t < tabs; ++t) {
        const bool always = std::all_of(explanations.begin(), explanations.end(), [&](const Origins &o) { return !o[t]; });
        if (!always) continue;
        if (opened) return std::nullopt;
        opened = t;
    }
    return opened;
}

// A window written as its tabs: a page's name (its title, or another after a tilde), a label
// after a colon for each tab the test follows (tabs with one label are one tab), a star on the
// active one: "H S:a* S~S (1):b".
struct Written {
    Shows shows;
    QString label;
    bool active = false;
};
inline std::vector<Written> written(const QString &text) {
    std::vector<Written> tabs;
    for (auto token : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        Written w;
        w.active = token.endsWith(QLatin1Char('*'));
        if (w.active) token.chop(1);
        const auto colon = token.indexOf(QLatin1Char(':'));
        const auto page = colon < 0 ? token : token.left(colon);
        w.label = colon < 0 ? token : token.mid(colon + 1);
        const auto tilde = page.indexOf(QLatin1Char('~'));
        const auto name = tilde < 0 ? page : page.left(tilde);
        w.shows = {tilde < 0 ? name : name + QStringLiteral(" (") + page.mid(tilde + 1) + QLatin1Char(')'),
                   QStringLiteral("https://%1.example/").arg(name.toLower())};
        tabs.push_back(w);
    }
    return tabs;
}

// A round read wrong, written as the named cases are: the first poll's tabs labelled a, b,
// c..., this poll's by the place every reading agrees they came from ("?" where the readings
// differ, "+" opened), and as `given` carries them ("+" new).
inline std::string writtenRound(const Strip &before, const Strip &after, const std::vector<Origins> &readings, const Origins &given) {
    QHash<QString, QString> names;  // address -> page name
    QHash<Shows, QString> pages;
    const auto page = [&](const Shows &s) {
        if (!names.contains(s.url))
            names.insert(s.url, QString(QChar(char16_t(u'A' + names.size() % 26))) + (names.size() < 26 ? QString() : QString::number(names.size() / 26)));
        if (!pages.contains(s)) {
            const auto titles = std::count_if(pages.keyBegin(), pages.keyEnd(), [&](const Shows &o) { return o.url == s.url; });
            pages.insert(s, names.value(s.url) + (titles ? QStringLiteral("~%1").arg(titles) : QString()));
        }
        return pages.value(s).toStdString();
    };
    const auto label = [](std::optional<std::size_t> p) {
        return !p ? std::string("+") : *p < 26 ? std::string(1, char('a' + *p)) : "t" + std::to_string(*p);
    };
    const auto agreed = agreedPlaces(readings, before.pages.size());
    const auto line = [&](const Strip &s, const auto &labelOf) {
        std::string out;
        for (std::size_t t = 0; t < s.pages.size(); ++t) out += (t ? " " : "") + page(s.pages[t]) + ":" + labelOf(t) + (t == s.active ? "*" : "");
        return out;
    };
    const auto read = [&](std::size_t t) {
        for (std::size_t p = 0; p < agreed.size(); ++p)
            if (agreed[p] && *agreed[p] == t) return label(p);
        return std::all_of(readings.begin(), readings.end(), [&](const Origins &o) { return !o[t]; }) ? label({}) : std::string("?");
    };
    return line(before, [&](std::size_t p) { return label(p); }) + " -> " + line(after, read) + " (given " +
           line(after, [&](std::size_t t) { return label(given[t]); }) + ")";
}

// Polls of windows written so, in which each labelled tab should keep its own identity.
struct NamedCase {
    const char *what;
    std::vector<std::vector<QString>> polls;  // each poll's windows
};
inline std::vector<NamedCase> namedCases() {
    return {
        {"the first of two twins follows a link", {{"H I:a* I:b X"}, {"H N:a* I:b X"}}},
        {"the second of two twins follows a link", {{"H I:a I:b* X"}, {"H I:a N:b* X"}}},
        {"a twin follows a link while another tab is active", {{"H* I:a I:b X"}, {"H* N:a I:b X"}}},
        {"the middle of three twins follows a link", {{"H I:a I:b* I:c X"}, {"H I:a N:b* I:c X"}}},
        {"a twin goes away and back", {{"H I:a* I:b X"}, {"H N:a* I:b X"}, {"H I:a* I:b X"}}},
        {"a tab goes to the page its neighbours show", {{"S:a T:b* S:c"}, {"S:a S:b* S:c"}}},
        {"a tab opened in front shows the page after it", {{"U:a* V:b"}, {"U:a V:n* V:b"}}},
        {"a twin opened in front between two", {{"H S:a* S:b"}, {"H S:a S:n* S:b"}}},
        {"a twin opened in front after an active tab", {{"X:x* W:w I:i"}, {"X:x W:n* W:w I:i"}}},
        {"the same while the page after them retitles", {{"X:x* W:w I:i"}, {"X:x W:n* W:w I~1:i"}}},
        {"the last of four dragged to the front, the active one kept", {{"T:a* T:b S T:c"}, {"T:c T:a* T:b S"}}},
        {"a background twin closed", {{"H S:a S:b* X"}, {"H S:b* X"}}},
        {"a background twin closed while another tab moved", {{"H S:a S:b* X"}, {"X H S:b*"}}},
        {"the active twin and a background tab closed", {{"U:u S:a S:b* T:t"}, {"S:a T:t*"}}},
        {"a background tab closed while the active twin navigates", {{"S:a* U:u T:b"}, {"T:a* T:b"}}},
        {"a twin opened in front after the active tab, another behind at the end", {{"T:a* S:b"}, {"T:a S:n* S:b T:m"}}},
        {"two tabs navigate", {{"S:a S:b U:c*"}, {"T:a S:b T:c*"}}},
        {"a twin navigates while a twin of another page opens in front", {{"X:x* U:u S:a T:b"}, {"X:x U:u N:a T:n* T:b"}}},
        {"a block starting with a twin dragged before another", {{"S:a X1 X2 S:b Y1 Y2 E*"}, {"S:b Y1 Y2 S:a X1 X2 E*"}}},
        {"a twin dragged to another window in front of its twin", {{"A S:a* B", "C* S:b D"}, {"A B*", "C S:a* S:b D"}}},
        {"a twin dragged to another window behind its twin", {{"A S:a* B", "C* S:b D"}, {"A B*", "C* S:b S:a D"}}},
        {"a tab dragged to another window while a tab left behind goes to its page",
         {{"U0:u S:s* T:t", "U1:v S:w* U2:x"}, {"S:s* U0:t", "U1:v U0:u* S:w U2:x"}}},
        {"a tab dragged to another window while a twin there navigates", {{"T:a U:b T:c*", "T:d T:e*"}, {"T:a T:c*", "T:d U:b N:e*"}}},
        {"a tab dragged to another window behind while a block opens in front there",
         {{"O:a T:b* P:c Q:d", "S:e* S:f"}, {"O:a T:b* P:c", "S:e N:n* S:m S:f Q:d"}}},
        {"a block dragged to the end, then the active tab closed", {{"T:a* U0:b R:c T:d S:e U2:f S:g"}, {"S:e* U2:f S:g U0:b R:c T:d"}}},
        {"the active last tab closed and a block dragged past two", {{"U0:a S:b U1:c T:d S:e S:f*"}, {"T:d S:e U0:a* S:b U1:c"}}},
        {"a block and a drag of two", {{"U0:a R:b U1:c* T:d T:e U2:f S:g R:h"}, {"T:d R:h U0:a T:e U2:f S:g R:b U1:c*"}}},
        {"a close and a block", {{"R:a* R:b R:c S:d R:e R:f U1:g R:h S:i U2:j T:k S:l U3:m"},
                                 {"R:a* R:e R:f U1:g S:i U2:j R:b R:c S:d T:k S:l U3:m"}}},
        {"the only tab of its page in both polls keeps its id beside a close and a navigation", {{"T:a S:b U0:c*"}, {"S:b* N:n"}}},
        {"two tabs go to other pages beside a switch of tabs", {{"A:a* B:b C:c D:d"}, {"X:a B:b C:c* Y:d"}}},
        {"the browser reopens a closed tab while a tab of its address stays", {{"S:a T:b* U:c T:d"}, {"S:a U:c* T:d"}, {"S:a T:n* U:c T:d"}}},
        {"a tab dragged before the one before it and made active, which goes to another page",
         {{"A:a D:b B:c D:d* B:e"}, {"A:a B:c* C:b D:d B:e"}}},
        {"the active twin dragged before a page shown once, the twin it passed goes to another page",
         {{"A:a A:b C:c A:d*"}, {"A:a A:d* B:b C:c"}}},
        {"a twin dragged before a twin and made active, which goes to another page", {{"A:a C:b A:c C:d C:e*"}, {"A:a A:c* B:b C:d C:e"}}},
        {"two tabs dragged to the end past the active twin", {{"A:a B:b A:c* B:d A:e"}, {"A:c* B:d A:e A:a B:b"}}},
        {"a twin dragged to the end past the active one while the last tab goes to another page", {{"A:a A:b* C:c"}, {"A:b* B:c A:a"}}},
    };
}

}  // namespace ondrake::test
