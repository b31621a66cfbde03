#include "WindowOrigins.h"

#include <QSet>

#include <algorithm>

namespace ondrake {

std::vector<std::vector<std::int64_t>> keysShown(const WindowEvidence &evidence) {
    std::vector<std::vector<std::int64_t>> shows(evidence.windowCount);
    const auto has = [&](std::size_t w, std::int64_t key) {
        return std::find(shows[w].begin(), shows[w].end(), key) != shows[w].end();
    };
    QSet<std::int64_t> shown;
    const auto add = [&](std::size_t w, std::int64_t key) {
        if (!has(w, key)) shows[w].push_back(key);
        shown.insert(key);
    };
    QSet<std::int64_t> own;
    for (std::size_t w = 0; w < evidence.own.size() && w < evidence.windowCount; ++w)
        if (const auto &key = evidence.own[w]) {
            add(w, *key);
            own.insert(*key);
        }
    const auto taken = [&](const std::optional<std::int64_t> &key) { return key && !own.contains(*key); };

    for (const auto &[w, key] : evidence.landmarks)
        if (taken(key)) add(w, key);
    const auto one = [](const auto &list) {
        return !list.empty() && std::all_of(list.begin(), list.end(), [&](const auto &v) { return v == list.front(); });
    };
    for (const auto &page : evidence.pages)
        if (one(page.windows) && one(page.keys) && taken(page.keys.front())) add(page.windows.front(), *page.keys.front());

    const auto explains = [&](std::size_t w, const WindowEvidence::Page &page) {
        return std::any_of(page.keys.begin(), page.keys.end(), [&](const auto &key) { return key && has(w, *key); });
    };
    // A page whose windows are all explained, or whose keys are all shown, stays so.
    std::vector<char> settled(evidence.pages.size(), 0);
    for (bool placed = true; placed;) {
        placed = false;
        for (std::size_t p = 0; p < evidence.pages.size(); ++p) {
            if (settled[p]) continue;
            const auto &page = evidence.pages[p];
            std::optional<std::size_t> window;
            bool single = true;
            for (const auto w : page.windows)
                if (!explains(w, page)) {
                    if (window && *window != w) single = false;
                    window = w;
                }
            std::optional<std::int64_t> key;
            for (const auto &k : page.keys)
                if (taken(k) && !shown.contains(*k)) {
                    if (key && *key != *k) single = false;
                    key = k;
                }
            if (!window || !key) settled[p] = 1;
            if (!single || !window || !key) continue;
            add(*window, *key);
            placed = true;
        }
    }

    // As many windows left as keys no window shows: each takes the key whose records its tabs
    // match most, page by page; where that does not tell them apart, they are taken to be back
    // in the order they were first seen.
    std::vector<std::size_t> windowsLeft;
    std::vector<std::int64_t> keysLeft;
    for (const auto &page : evidence.pages) {
        for (const auto w : page.windows)
            if (!explains(w, page)) windowsLeft.push_back(w);
        for (const auto &k : page.keys)
            if (taken(k) && !shown.contains(*k)) keysLeft.push_back(*k);
    }
    const auto distinct = [](auto &list) {
        std::sort(list.begin(), list.end());
        list.erase(std::unique(list.begin(), list.end()), list.end());
    };
    distinct(windowsLeft);
    distinct(keysLeft);
    if (windowsLeft.empty() || windowsLeft.size() != keysLeft.size()) return shows;
    const auto n = windowsLeft.size();
    std::vector<std::size_t> matches(n * n, 0);  // window by key
    // Each page counts only for the windows and keys it has, a few of each.
    std::vector<std::size_t> pageWindows;
    std::vector<std::size_t> pageKeys;
    const auto counted = [](std::vector<std::size_t> &list, const auto &each) {
        std::sort(list.begin(), list.end());
        for (std::size_t i = 0; i < list.size();) {
            auto j = i;
            while (j < list.size() && list[j] == list[i]) ++j;
            each(list[i], j - i);
            i = j;
        }
    };
    for (const auto &page : evidence.pages) {
        pageWindows.clear();
        pageKeys.clear();
        for (const auto w : page.windows)
            if (const auto at = std::lower_bound(windowsLeft.begin(), windowsLeft.end(), w); at != windowsLeft.end() && *at == w)
                pageWindows.push_back(std::size_t(at - windowsLeft.begin()));
        for (const auto &k : page.keys)
            if (k)
                if (const auto at = std::lower_bound(keysLeft.begin(), keysLeft.end(), *k); at != keysLeft.end() && *at == *k)
                    pageKeys.push_back(std::size_t(at - keysLeft.begin()));
        if (pageWindows.empty() || pageKeys.empty()) continue;
        counted(pageWindows, [&](std::size_t w, std::size_t tabs) {
            counted(pageKeys, [&](std::size_t k, std::size_t records) { matches[w * n + k] += std::min(tabs, records); });
        });
    }
    // The pairs that match most first; of equal ones, the earlier window with the earlier key.
    std::vector<std::size_t> order(n * n);
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return matches[a] > matches[b]; });
    std::vector<bool> windowTaken(n, false);
    std::vector<bool> keyTaken(n, false);
    for (const auto pair : order) {
        if (windowTaken[pair / n] || keyTaken[pair % n]) continue;
        windowTaken[pair / n] = keyTaken[pair % n] = true;
        add(windowsLeft[pair / n], keysLeft[pair % n]);
    }
    return shows;
}

}  // namespace ondrake
