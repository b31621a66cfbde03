#include "SidebarWindowOrdering.h"

#include <QHash>
#include <QSet>

#include <algorithm>

namespace ondrake {

bool SidebarWindowOrdering::update(const std::vector<SafariWindow> &windows) {
    QSet<std::int64_t> current;
    for (const auto &w : windows) current.insert(w.safariID);
    std::vector<std::int64_t> next;
    next.reserve(windows.size());
    QSet<std::int64_t> kept;
    for (const auto id : order)
        if (current.contains(id)) {
            next.push_back(id);
            kept.insert(id);
        }
    for (const auto &w : windows)
        if (!kept.contains(w.safariID)) {
            next.push_back(w.safariID);
            kept.insert(w.safariID);
        }
    if (next == order) return false;
    order = std::move(next);
    return true;
}

std::vector<SafariWindow> SidebarWindowOrdering::sorted(std::vector<SafariWindow> windows) const {
    QHash<std::int64_t, std::size_t> positions;
    for (std::size_t i = 0; i < order.size(); ++i) positions.insert(order[i], i);
    std::vector<std::pair<std::size_t, std::size_t>> keys;  // key, position given
    keys.reserve(windows.size());
    for (std::size_t i = 0; i < windows.size(); ++i)
        keys.emplace_back(positions.value(windows[i].safariID, order.size() + i), i);
    std::stable_sort(keys.begin(), keys.end());
    std::vector<SafariWindow> result;
    result.reserve(windows.size());
    for (const auto &[_, i] : keys) result.push_back(std::move(windows[i]));
    return result;
}

QString SidebarWindowOrdering::label(std::int64_t windowID, std::int64_t index) const {
    const auto it = std::find(order.begin(), order.end(), windowID);
    const auto number = it != order.end() ? std::int64_t(it - order.begin()) + 1 : index;
    return QStringLiteral("Window %1").arg(number);
}

}  // namespace ondrake
