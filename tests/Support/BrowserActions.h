#pragma once

#include "BrowserChanges.h"

#include <algorithm>
#include <map>
#include <optional>
#include <random>
#include <string>
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

// Every way one action of a person in the browser turns the last poll into this one, as the
// place each tab of this poll came from: opening tabs (active now, or the active tab kept),
// closing tabs (the active one among them hands on to the tab after them, or before them when
// they were last), a tab showing another page, a block dragged past its neighbours (the active
// tab kept, or a tab dragged alone made active), or another tab activated. Found by trying them all.
inline std::vector<Origins> everyExplanation(const std::vector<Shows> &before, std::size_t was, const std::vector<Shows> &after,
                                      std::size_t now) {
    const auto n = before.size();
    const auto m = after.size();
    std::vector<Origins> found;
    // Keeps an explanation whose pages are this poll's and whose active tab is allowed.
    const auto offer = [&](const Origins &origins, const std::vector<bool> &mayBeActive, std::optional<std::size_t> wentOn = {}) {
        for (std::size_t t = 0; t < m; ++t)
            if (origins[t] && t != wentOn && before[*origins[t]] != after[t]) return;
        std::optional<std::size_t> kept;
        for (std::size_t t = 0; t < m; ++t)
            if (origins[t] == was) kept = t;
        if (kept == now || mayBeActive[now]) found.push_back(origins);
    };
    const std::vector<bool> none(m, false);
    if (m > n) {
        const auto count = m - n;
        for (std::size_t at = 0; at <= n; ++at) {
            Origins o(m);
            std::vector<bool> opened(m, false);
            for (std::size_t t = 0; t < m; ++t) {
                if (t < at) o[t] = t;
                else if (t >= at + count) o[t] = t - count;
                else opened[t] = true;
            }
            offer(o, opened);
        }
    } else if (m < n) {
        const auto count = n - m;
        for (std::size_t at = 0; at + count <= n; ++at) {
            Origins o(m);
            for (std::size_t t = 0; t < m; ++t) o[t] = t < at ? t : t + count;
            // A closed active tab hands on to the tab after the closed ones, or before them.
            std::vector<bool> handedOn(m, false);
            if (was >= at && was < at + count) handedOn[at + count < n ? at : at - 1] = true;
            offer(o, handedOn);
        }
    } else {
        Origins same(m);
        for (std::size_t t = 0; t < m; ++t) same[t] = t;
        if (before == after) found.push_back(same);  // another tab activated, or nothing
        for (std::size_t at = 0; at < n; ++at) {
            // One tab shows another page, where it stands.
            bool others = before[at] != after[at];
            for (std::size_t t = 0; t < m && others; ++t) others = t == at || before[t] == after[t];
            if (others) offer(same, none, at);
        }
        for (std::size_t x = 0; x < n; ++x)
            for (auto z = x + 1; z < n; ++z)
                for (auto y = z + 1; y <= n; ++y) {
                    Origins o = same;
                    for (auto t = x; t < y; ++t) o[t] = t < x + (y - z) ? z + (t - x) : x + (t - x - (y - z));
                    // A tab dragged alone may have become active.
                    std::vector<bool> dragged(m, false);
                    if (y - z == 1) dragged[x] = true;
                    if (z - x == 1) dragged[y - 1] = true;
                    offer(o, dragged);
                }
    }
    return found;
}


// A random small window over two or three pages shown more than once and pages shown once.
inline Strip randomStrip(std::mt19937 &random, int &fresh) {
    const auto pick = [&](std::size_t n) { return std::size_t(random() % n); };
    // Pages of their own, so that records of other windows never wait for them.
    const auto set = ++fresh;
    std::vector<Shows> twins;
    for (std::size_t k = 0, count = 2 + pick(2); k < count; ++k)
        twins.push_back({QStringLiteral("T%1.%2").arg(set).arg(k), QStringLiteral("https://t%1-%2.example/").arg(set).arg(k)});
    Strip strip;
    for (std::size_t k = 0, n = 2 + pick(7); k < n; ++k) {
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
inline std::optional<std::string> act(std::mt19937 &random, Strip &s, int &fresh) {
    const auto pick = [&](std::size_t n) { return std::size_t(random() % n); };
    const auto n = s.pages.size();
    switch (pick(5)) {
    case 0: {
        const std::size_t count = pick(4) == 0 ? 2 : 1;
        const auto at = pick(n + 1);
        for (std::size_t k = 0; k < count; ++k) {
            s.pages.insert(s.pages.begin() + std::ptrdiff_t(at + k), randomPage(random, s, fresh));
            s.from.insert(s.from.begin() + std::ptrdiff_t(at + k), std::nullopt);
        }
        if (pick(2) == 0) {
            s.active = at + pick(count);
            return "opened in front";
        }
        if (s.active >= at) s.active += count;
        return "opened in the background";
    }
    case 1: {
        const std::size_t count = pick(4) == 0 ? 2 : 1;
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
        auto page = randomPage(random, s, fresh);
        if (page == s.pages[at]) return std::nullopt;
        s.pages[at] = page;
        return "went to another page";
    }
    case 3: {
        const auto count = std::min<std::size_t>(n - 1, pick(3) == 0 ? 2 : 1);
        if (count == 0) return std::nullopt;
        const auto at = pick(n - count + 1);
        const auto to = pick(n - count + 1);
        if (to == at) return std::nullopt;
        const auto activeID = s.from[s.active];
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
        s.active = std::size_t(std::find(s.from.begin(), s.from.end(), activeID) - s.from.begin());
        return "dragged";
    }
    default: s.active = pick(n); return "activated";
    }
}


// Two windows sharing pages, the second showing some of the first's.
inline std::pair<Strip, Strip> randomPair(std::mt19937 &random, int &fresh) {
    auto from = randomStrip(random, fresh);
    auto to = randomStrip(random, fresh);
    for (auto &p : to.pages)
        if (random() % 2 == 0) p = from.pages[random() % from.pages.size()];
    return {std::move(from), std::move(to)};
}

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
    to.from.insert(to.from.begin() + std::ptrdiff_t(landing), std::nullopt);
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

}  // namespace ondrake::test
