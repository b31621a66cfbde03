#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace ondrake {

// What a poll tells of the browser windows its records were last seen in (by their window keys).
struct WindowEvidence {
    // A page open more than once, or with more than one record: the poll windows its tabs stand
    // in, a window a tab, and the keys its records carry, a record a key.
    struct Page {
        std::vector<std::size_t> windows{};
        std::vector<std::optional<std::int64_t>> keys{};
    };

    std::size_t windowCount = 0;
    // The window and key of each record placed with certainty.
    std::vector<std::pair<std::size_t, std::int64_t>> landmarks{};
    std::vector<Page> pages{};
    // Each poll window's own key while the application has been watching it; none before.
    std::vector<std::optional<std::int64_t>> own{};
};

// The keys each poll window shows records of: its own, and those of the windows it took over
// while the application was away. A window split in two shows one key in both; windows merged
// show two keys in one. A window shows a key its records placed with certainty carry, and the
// key of a page whose tabs all stand in it and whose records all carry that key; then, a page's tabs in a window none of its records'
// keys explain, with its records of one key no window shows yet, pair that window and key, and
// each pairing may explain another page; windows left that mirror each other are taken to be
// back in the order they were first seen. A window's own key is shown by that window alone.
std::vector<std::vector<std::int64_t>> keysShown(const WindowEvidence &evidence);

}  // namespace ondrake
