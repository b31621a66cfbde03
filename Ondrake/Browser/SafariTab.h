#pragma once

#include <QString>
#include <QUrl>

#include <cstdint>
#include <optional>
#include <vector>

namespace ondrake {

// One browser tab as a poll reports it, with its per-session id ("tab-" and a serial) and its
// place in the tab tree.
struct SafariTab {
    QString id;
    std::int64_t windowID = 0;
    std::int64_t index = 0;  // 1-based position in the window's tab bar
    QString title;
    std::optional<QUrl> url;
    bool isActive = false;
    std::optional<QString> parentID;

    // Field by field, with addresses compared as shared values first: a poll is mostly compared
    // with the one before, which hands its addresses on.
    bool operator==(const SafariTab &other) const;
};

struct SafariWindow {
    std::int64_t safariID = 0;
    std::int64_t index = 0;  // window order, 1 = front
    bool isFrontmost = false;
    std::vector<SafariTab> tabs;  // tab-bar order

    QString id() const;  // "window-<safariID>"
    std::optional<SafariTab> activeTab() const;

    bool operator==(const SafariWindow &) const = default;
};

}  // namespace ondrake
