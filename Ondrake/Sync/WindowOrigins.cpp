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
    for (bool placed = true; placed;) {
        placed = false;
        for (const auto &page : evidence.pages) {
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
    std::vector<std::size_t> tabs(n);
    std::vector<std::size_t> records(n);
    for (const auto &page : evidence.pages) {
        std::fill(tabs.begin(), tabs.end(), 0);
        std::fill(records.begin(), records.end(), 0);
        for (const auto w : page.windows)
            if (const auto at = std::lower_bound(windowsLeft.begin(), windowsLeft.end(), w); at != windowsLeft.end() && *at == w)
                ++tabs[std::size_t(at - windowsLeft.begin())];
        for (const auto &k : page.keys)
            if (k)
                if (const auto at = std::lower_bound(keysLeft.begin(), keysLeft.end(), *k); at != keysLeft.end() && *at == *k)
                    ++records[std::size_t(at - keysLeft.begin())];
        for (std::size_t w = 0; w < n; ++w)
            for (std::size_t k = 0; k < n; ++k) matches[w * n + k] += std::min(tabs[w], records[k]);
    }
    std::vector<bool> windowTaken(n, false);
    std::vector<bool> keyTaken(n, false);
    for (std::size_t round = 0; round < n; ++round) {
        std::optional<std::size_t> best;
        for (std::size_t w = 0; w < n; ++w)
            for (std::size_t k = 0; k < n; ++k)
                if (!windowTaken[w] && !keyTaken[k] && (!best || matches[w * n + k] > matches[*best])) best = w * n + k;
        windowTaken[*best / n] = keyTaken[*best % n] = true;
        add(windowsLeft[*best / n], keysLeft[*best % n]);
    }
    return shows;
}

}  // namespace ondrake
