#pragma once

#include "Store/SidebarViewMode.h"

#include "Browser/SafariTab.h"

#include <QString>

#include <cstddef>
#include <optional>
#include <vector>

namespace ondrake {

class TabStore;

// An icon-only control: the symbol it shows and the words for those who do not see it.
struct HeaderIcon {
    QString symbol;
    QString help;
    QString accessibleName;
    bool operator==(const HeaderIcon &) const = default;
};

// The header's and footer's texts, decided from the store's state without pixels.
struct SidebarHeaderModel {
    enum class Tone { accent, muted };
    struct Count {
        QString text;
        Tone tone = Tone::muted;
        bool operator==(const Count &) const = default;
    };

    static HeaderIcon newTabGroupButton();
    static HeaderIcon searchButton();
    static HeaderIcon closeSearchButton();
    static HeaderIcon compactToggle(bool isCompact);

    // The tabs of the windows the sidebar lists.
    static int visibleTabCount(const std::vector<SafariWindow> &listedWindows);
    // A selection of two or more outranks the tab count; nothing while not ready or empty.
    static std::optional<Count> toolbarCount(int selectedCount, bool isReady, int visibleTabs);
    // The rail never shows the selection.
    static std::optional<QString> compactCount(bool isReady, int visibleTabs);
    static std::optional<QString> statusLine(bool isCompact, const std::optional<QString> &summary);

    // The footer names the target window only when there is more than one to choose from.
    static QString newTabHelp(std::size_t windowCount, const QString &windowLabel);
    static std::optional<QString> newTabWindowLabel(std::size_t windowCount, const QString &windowLabel);
    // "Window 2": the window's place in the sidebar's fixed order.
    static QString windowLabel(const TabStore &store, const SafariWindow &window);
};

// The Arrange menu as data: one item per arrangement, the current one checked.
struct ArrangeMenu {
    struct Item {
        SidebarViewMode mode;
        QString title;
        bool checked = false;
        bool operator==(const Item &) const = default;
    };

    static QString symbol(SidebarViewMode mode);
    static QString title(SidebarViewMode mode);
    static QString help(SidebarViewMode current);
    static QString accessibleName();
    static std::vector<Item> items(SidebarViewMode current);
    // Choosing the current arrangement publishes nothing.
    static void choose(TabStore &store, SidebarViewMode mode);
};

}  // namespace ondrake
