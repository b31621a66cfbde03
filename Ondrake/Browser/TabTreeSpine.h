#pragma once

#include <QString>

#include <algorithm>
#include <optional>
#include <vector>

namespace ondrake {

// Walks a window's tabs in order under the rule the browser's tree keeps: a tab stays nested
// under its parent only while it stands beside it, with nothing between them but the parent's
// own nested tabs.
class TabTreeSpine {
public:
    // Whether the next tab may stay under `parent`.
    bool holds(const QString &parent) const { return std::find(chain_.begin(), chain_.end(), parent) != chain_.end(); }

    // Takes the next tab in, under `parent` when that holds and at the top level otherwise;
    // answers the tab's depth.
    int take(const QString &id, const std::optional<QString> &parent) {
        const auto at = parent ? std::find(chain_.begin(), chain_.end(), *parent) : chain_.end();
        chain_.erase(at == chain_.end() ? chain_.begin() : std::next(at), chain_.end());
        chain_.push_back(id);
        return int(chain_.size()) - 1;
    }

private:
    std::vector<QString> chain_;  // the last tab taken and its ancestors, top level first
};

}  // namespace ondrake
