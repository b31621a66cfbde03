#include "SafariTab.h"

#include "BrowserURL.h"

#include <algorithm>

namespace ondrake {

// A field added to the tab must be added to the comparison below.
static_assert(sizeof(SafariTab) == 120, "compare every field of SafariTab");

bool SafariTab::operator==(const SafariTab &other) const {
    return id == other.id && windowID == other.windowID && index == other.index && isActive == other.isActive &&
           title == other.title && parentID == other.parentID && sameURL(url, other.url);
}

QString SafariWindow::id() const { return QStringLiteral("window-") + QString::number(safariID); }

std::optional<SafariTab> SafariWindow::activeTab() const {
    const auto it = std::find_if(tabs.begin(), tabs.end(), [](const SafariTab &t) { return t.isActive; });
    if (it == tabs.end()) return std::nullopt;
    return *it;
}

}  // namespace ondrake
