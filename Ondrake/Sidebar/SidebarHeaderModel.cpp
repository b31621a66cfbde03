#include "Ondrake/Sidebar/SidebarHeaderModel.h"

#include "Store/SidebarKeyCommand.h"
#include "Store/TabStore.h"

#include <QCoreApplication>

namespace ondrake {

namespace {
QString tr(const char *text) { return QCoreApplication::translate("SidebarView", text); }
}  // namespace

HeaderIcon SidebarHeaderModel::newTabGroupButton() {
    return {QStringLiteral("plus.circle"), tr("New Tab Group"), tr("New Tab Group")};
}

HeaderIcon SidebarHeaderModel::searchButton() {
    return {QStringLiteral("magnifyingglass"),
            tr("Search Tabs (%1)").arg(keyCaption(keySequence(SidebarKeyCommand::focusSearch))), tr("Search Tabs")};
}

HeaderIcon SidebarHeaderModel::closeSearchButton() {
    return {QStringLiteral("xmark.circle.fill"), tr("Close Search"), tr("Close Search")};
}

HeaderIcon SidebarHeaderModel::compactToggle(bool isCompact) {
    const QString key = keyCaption(keySequence(SidebarKeyCommand::toggleCompactMode));
    if (isCompact) return {QStringLiteral("chevron.left"), tr("Expand Sidebar (%1)").arg(key), tr("Expand Sidebar")};
    return {QStringLiteral("chevron.right"), tr("Collapse to Favicons (%1)").arg(key), tr("Collapse to Favicons")};
}

int SidebarHeaderModel::visibleTabCount(const std::vector<SafariWindow> &listedWindows) {
    int count = 0;
    for (const auto &window : listedWindows) count += int(window.tabs.size());
    return count;
}

std::optional<SidebarHeaderModel::Count> SidebarHeaderModel::toolbarCount(int selectedCount, bool isReady,
                                                                          int visibleTabs) {
    if (selectedCount >= 2) return Count{tr("%1 selected").arg(selectedCount), Tone::accent};
    if (isReady && visibleTabs > 0) return Count{tr("%1").arg(visibleTabs), Tone::muted};
    return std::nullopt;
}

std::optional<QString> SidebarHeaderModel::compactCount(bool isReady, int visibleTabs) {
    if (isReady && visibleTabs > 0) return tr("%1").arg(visibleTabs);
    return std::nullopt;
}

std::optional<QString> SidebarHeaderModel::statusLine(bool isCompact, const std::optional<QString> &summary) {
    if (isCompact) return std::nullopt;
    return summary;
}

QString SidebarHeaderModel::newTabHelp(std::size_t windowCount, const QString &windowLabel) {
    if (windowCount < 2) return QStringLiteral("New Tab");
    return QStringLiteral("New Tab in ") + windowLabel;
}

std::optional<QString> SidebarHeaderModel::newTabWindowLabel(std::size_t windowCount, const QString &windowLabel) {
    if (windowCount < 2) return std::nullopt;
    return windowLabel;
}

QString SidebarHeaderModel::windowLabel(const TabStore &store, const SafariWindow &window) {
    return store.windowOrdering().label(window.safariID, window.index);
}

QString ArrangeMenu::symbol(SidebarViewMode mode) {
    switch (mode) {
    case SidebarViewMode::tree: return QStringLiteral("list.bullet.indent");
    case SidebarViewMode::age: return QStringLiteral("clock");
    case SidebarViewMode::domain: return QStringLiteral("globe");
    case SidebarViewMode::group: return QStringLiteral("folder");
    }
    return {};
}

QString ArrangeMenu::title(SidebarViewMode mode) {
    switch (mode) {
    case SidebarViewMode::tree: return tr("Tree");
    case SidebarViewMode::age: return tr("By Age");
    case SidebarViewMode::domain: return tr("By Domain");
    case SidebarViewMode::group: return tr("By Group");
    }
    return {};
}

QString ArrangeMenu::help(SidebarViewMode current) { return tr("Arrange Tabs: %1").arg(title(current)); }

QString ArrangeMenu::accessibleName() { return tr("Arrange Tabs"); }

std::vector<ArrangeMenu::Item> ArrangeMenu::items(SidebarViewMode current) {
    std::vector<Item> items;
    for (const auto mode : kAllSidebarViewModes) items.push_back({mode, title(mode), mode == current});
    return items;
}

void ArrangeMenu::choose(TabStore &store, SidebarViewMode mode) {
    if (store.viewMode() != mode) store.setViewMode(mode);
}

}  // namespace ondrake
