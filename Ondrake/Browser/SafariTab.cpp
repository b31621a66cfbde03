#include "SafariTab.h"

#include <algorithm>

namespace ondrake {

QString SafariWindow::id() const { return QStringLiteral("window-") + QString::number(safariID); }

std::optional<SafariTab> SafariWindow::activeTab() const {
    const auto it = std::find_if(tabs.begin(), tabs.end(), [](const SafariTab &t) { return t.isActive; });
    if (it == tabs.end()) return std::nullopt;
    return *it;
}

}  // namespace ondrake
