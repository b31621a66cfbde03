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

    // As many windows left as keys no window shows: nothing tells them apart any more.
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
    if (windowsLeft.size() == keysLeft.size())
        for (std::size_t i = 0; i < windowsLeft.size(); ++i) add(windowsLeft[i], keysLeft[i]);
    return shows;
}

}  // namespace ondrake
