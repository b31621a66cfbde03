#include "TabStore.h"

#include "Store/TabViewProvider.h"
#include "Store/WindowTabs.h"

namespace ondrake {

namespace {
QString windowKey(std::int64_t windowID) { return QStringLiteral("window-") + QString::number(windowID); }

// Every tab of the windows whose id is wanted, window by window in the browser's order.
std::vector<SafariTab> tabsAmong(const std::vector<SafariWindow> &windows, const TextSet &wanted) {
    std::vector<SafariTab> tabs;
    for (const auto &window : windows)
        for (const auto &tab : window.tabs)
            if (wanted.contains(tab.id)) tabs.push_back(tab);
    return tabs;
}
}  // namespace

// MARK: Records and groups

const TabRecord *TabStore::record(const QString &sessionTabID) const {
    const auto *id = ondrakeIDs_.find(sessionTabID);
    if (!id) return nullptr;
    const auto found = book_.records.find(*id);
    return found == book_.records.end() ? nullptr : &found->second;
}

TabRecordLookup TabStore::recordLookup() const {
    return [this](const QString &sessionTabID) { return record(sessionTabID); };
}

std::vector<TabGroup> TabStore::sortedGroups() const { return book_.sortedGroups(); }

std::optional<QString> TabStore::groupName(const QString &sessionTabID) const {
    const TabRecord *found = record(sessionTabID);
    if (!found || !found->groupID) return std::nullopt;
    const auto group = book_.groups.find(*found->groupID);
    if (group == book_.groups.end()) return std::nullopt;
    return group->second.name;
}

// MARK: Arrangements

void TabStore::watchReadInputs() {
    const auto forgetFacts = [this] { rowFacts_.reset(); };
    const auto forgetSearch = [this] { searchCache_.reset(); };
    for (const auto signal : {&TabStore::recordsChanged, &TabStore::ondrakeIDsChanged}) connect(this, signal, this, forgetFacts);
    for (const auto signal : {&TabStore::windowsChanged, &TabStore::recordsChanged, &TabStore::groupsChanged,
                              &TabStore::ondrakeIDsChanged, &TabStore::presentationRevisionChanged})
        connect(this, signal, this, forgetSearch);
}

const TabStore::RowFactsBySession &TabStore::rowFacts() const {
    if (rowFacts_) return *rowFacts_;
    RowFactsBySession facts;
    facts.reserve(std::size_t(ondrakeIDs_.size()));
    for (const auto &[sessionTabID, id] : ondrakeIDs_)
        if (const auto found = book_.records.find(id); found != book_.records.end())
            facts.insert_or_assign(sessionTabID.text, RowFacts{found->second.pinned, found->second.groupID, found->second.createdAt});
    return rowFacts_.emplace(std::move(facts));
}

std::vector<SafariTab> TabStore::listedTabs() const { return allTabs(listedWindows()); }

SidebarLayout::Sections TabStore::layout() const {
    const bool pinnedTabs = flags_->isEnabled(FeatureFlag::pinnedTabs());
    const bool tabGroups = flags_->isEnabled(FeatureFlag::tabGroups());
    const auto &facts = rowFacts();
    // The layout asks about a tab's pin and then its group: one lookup serves both.
    const SafariTab *lastTab = nullptr;
    auto lastFound = facts.end();
    const auto factsOf = [&](const SafariTab &tab) {
        if (&tab != lastTab) {
            lastTab = &tab;
            lastFound = facts.find(tab.id);
        }
        return lastFound != facts.end() ? &lastFound->second : nullptr;
    };
    return SidebarLayout::sections(
        listedWindows(), tabGroups ? sortedGroups() : std::vector<TabGroup>{},
        [&](const SafariTab &tab) {
            if (!pinnedTabs) return false;
            const RowFacts *found = factsOf(tab);
            return found && found->pinned;
        },
        [&](const SafariTab &tab) -> std::optional<TabGroupID> {
            if (!tabGroups) return std::nullopt;
            const RowFacts *found = factsOf(tab);
            return found ? found->groupID : std::nullopt;
        });
}

bool TabStore::windowSections() const {
    // One listed window still gets a heading when others exist, so the user can tell which.
    if (currentWindowScope(defaults_) == SidebarWindowScope::activeWindow) return windows_.size() > 1;
    return layout().windows.size() > 1;
}

std::vector<TabViewSection> TabStore::modeSections() const {
    if (viewMode_ == SidebarViewMode::tree) return {};
    const auto tabs = listedTabs();
    if (viewMode_ == SidebarViewMode::domain) return TabViewProvider::domainSections(tabs);
    const auto &facts = rowFacts();
    if (viewMode_ == SidebarViewMode::age) {
        std::vector<std::optional<QDateTime>> createdAt;
        createdAt.reserve(tabs.size());
        for (const auto &tab : tabs) {
            const auto found = facts.find(tab.id);
            createdAt.push_back(found != facts.end() ? std::optional<QDateTime>(found->second.createdAt) : std::nullopt);
        }
        return TabViewProvider::ageSections(tabs, createdAt, scheduler_.wallNow());
    }
    std::vector<std::optional<TabGroupID>> groupOfTab;
    groupOfTab.reserve(tabs.size());
    for (const auto &tab : tabs) {
        const auto found = facts.find(tab.id);
        groupOfTab.push_back(found != facts.end() ? found->second.groupID : std::nullopt);
    }
    return TabViewProvider::groupSections(tabs, groupOfTab, book_.groups);
}

std::vector<QString> TabStore::displayOrder() const {
    if (viewMode_ == SidebarViewMode::tree) return SidebarLayout::displayOrder(layout(), collapsedTabIDs_);
    std::vector<QString> order;
    for (const auto &section : modeSections())
        for (const auto &row : section.rows) order.push_back(row.tab.id);
    return order;
}

std::vector<SafariTab> TabStore::targets(const SafariTab &clicked) const {
    if (selection_.ids.size() < 2 || !selection_.ids.contains(clicked.id)) return {clicked};
    // Selected tabs the user cannot see (folded away, out of scope) are not acted on.
    TextSet candidates;
    for (const auto &id : displayOrder())
        if (selection_.ids.contains(id)) candidates.insert(id);
    if (candidates.size() < 2) return {clicked};
    return tabsAmong(windows_, candidates);
}

// MARK: Selection

void TabStore::setViewMode(SidebarViewMode mode) { assign(viewMode_, mode, &TabStore::viewModeChanged); }

void TabStore::select(const QString &sessionTabID, SidebarModifiers modifiers) {
    announce(std::nullopt);
    const bool extends = !modifiers.contains(SidebarModifiers::command()) && modifiers.contains(SidebarModifiers::shift());
    const auto visible = extends ? displayOrder() : std::vector<QString>{};
    updateSelection([&](TabSelection &selection) { selection.click(sessionTabID, modifiers, visible); });
}

void TabStore::clearSelection() { setSelection({}); }

std::vector<SafariTab> TabStore::selectedTabs() const {
    if (selection_.ids.empty()) return {};
    return tabsAmong(windows_, selection_.ids);
}

void TabStore::selectAll() {
    const auto order = displayOrder();
    TabSelection all;
    all.ids = TextSet(order.begin(), order.end());
    if (!order.empty()) all.anchor = order.front();
    setSelection(std::move(all));
}

// MARK: Summary line, compact mode, collapsing

void TabStore::announce(const OptionalText &summary) {
    assign(lastActionSummary_, summary, &TabStore::lastActionSummaryChanged);
}

void TabStore::setCompact(bool compact) {
    if (assign(isCompact_, compact, &TabStore::isCompactChanged)) defaults_.setBool(kCompactKey, compact);
}

void TabStore::toggleCollapsed(const QString &sessionTabID) {
    auto ids = collapsedTabIDs_;
    if (!ids.erase(sessionTabID)) ids.insert(sessionTabID);
    setCollapsedTabIDs(std::move(ids));
}

void TabStore::toggleWindowCollapsed(std::int64_t windowID) {
    auto ids = collapsedWindowIDs_;
    const auto key = windowKey(windowID);
    if (!ids.erase(key)) ids.insert(key);
    setCollapsedWindowIDs(std::move(ids));
}

bool TabStore::isWindowCollapsed(std::int64_t windowID) const {
    return collapsedWindowIDs_.contains(windowKey(windowID));
}

void TabStore::clearNewTabScrollTarget(const QString &sessionTabID) {
    if (newTabScrollTargetID_ == sessionTabID) assign(newTabScrollTargetID_, OptionalText(), &TabStore::newTabScrollTargetIDChanged);
}

// MARK: Activation and new tabs

QCoro::Task<std::optional<CommandOutcome>> TabStore::performReportingErrors(QCoro::Task<CommandOutcome> operation) {
    const auto alive = lifetime();
    try {
        co_return co_await std::move(operation);
    } catch (const SafariControllerError &error) {
        if (!alive.expired()) reportAdapterError(error);
    } catch (const std::exception &error) {
        if (!alive.expired()) reportError(error);
    } catch (...) {
        if (!alive.expired()) reportAdapterError(SafariControllerError::automationFailure(QStringLiteral("Unknown error")));
    }
    co_return std::nullopt;
}

QCoro::Task<CommandOutcome> TabStore::activate(SafariTab tab) {
    if (!adapter_.supports(BrowserCapabilities::activate)) co_return CommandOutcome::unavailable(BrowserCapabilities::activate);
    co_await adapter_.activateTab(std::move(tab));
    co_return CommandOutcome::applied();
}

std::optional<SafariWindow> TabStore::newTabWindow() const {
    if (windows_.empty()) return std::nullopt;
    const auto front = std::find_if(windows_.begin(), windows_.end(), [](const SafariWindow &w) { return w.isFrontmost; });
    return front != windows_.end() ? *front : windows_.front();
}

QCoro::Task<CommandOutcome> TabStore::openNewTab(std::int64_t windowID) {
    if (!adapter_.supports(BrowserCapabilities::open)) co_return CommandOutcome::unavailable(BrowserCapabilities::open);
    static const QUrl favorites(QStringLiteral("favorites://"));
    co_await adapter_.openTab(favorites, windowID);
    co_return CommandOutcome::applied();
}

}  // namespace ondrake
