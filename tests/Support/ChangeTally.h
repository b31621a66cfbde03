#pragma once

#include <algorithm>
#include <cstddef>
#include <iostream>
#include <map>
#include <string>
#include <vector>

namespace ondrake::test {

// The positions of the tabs that no other tab of the list is `same` as (alone), or that one is.
template<typename Tabs, typename Same>
std::vector<std::size_t> positionsOf(const Tabs &tabs, Same same, bool alone) {
    std::vector<std::size_t> found;
    for (std::size_t i = 0; i < tabs.size(); ++i)
        if ((std::count_if(tabs.begin(), tabs.end(), [&](const auto &t) { return same(t, tabs[i]); }) == 1) == alone)
            found.push_back(i);
    return found;
}

// Prints how many changes of each kind a randomised run made and answers their number, less
// those of the kind that only completes another.
inline int tallyChanges(const std::map<std::string, int> &made, const std::string &completing) {
    int changes = 0;
    for (const auto &[kind, count] : made) {
        std::cout << "  " << kind << ": " << count << "\n";
        if (kind != completing) changes += count;
    }
    return changes;
}

}  // namespace ondrake::test
