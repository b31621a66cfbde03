#include "TabCommands.h"

#include "Store/WindowTabs.h"

#include "Browser/BrowserURL.h"
#include "Sync/TabLocation.h"
#include "Ondrake/Model/FaviconHost.h"

#include <algorithm>

namespace ondrake {

TabCommands::TabCommands(BrowserAdapter &adapter, const FeatureFlags &flags, std::weak_ptr<TabRecordWriting> records,
                         Scheduler &scheduler)
    : adapter_(adapter), flags_(flags), records_(std::move(records)), scheduler_(scheduler) {}

TextMap<TabRecord> TabCommands::recordsBySessionID() const {
    TextMap<TabRecord> bySession;
    const auto store = records_.lock();
    if (!store) return bySession;
    // The book iterates in identity order, so of two records claiming one tab the later id wins.
    for (const auto &[_, record] : store->book().records)
        if (record.sessionTabID) bySession.insert_or_assign(*record.sessionTabID, record);
    return bySession;
}

TabCommands::ClosePlan TabCommands::closeScope(const std::vector<QString> &askedFor,
                                               const std::vector<SafariWindow> &windows, ParentCloseBehavior behavior,
                                               const TextSet &locked, const TextSet &pinned) {
    const TextSet asked(askedFor.begin(), askedFor.end());
    TextSet close, keptLocked, keptPinned;
    const bool withNested = behavior == ParentCloseBehavior::parentAndDescendants;
    for (const auto &window : windows) {
        // Indexed once per window: walking the whole window for every tab asked for made closing
        // a long selection quadratic.
        const auto index = withNested ? nestedTabIndex(window) : NestedTabIndex{};
        for (const auto &tab : window.tabs) {
            if (!asked.contains(tab.id)) continue;
            (locked.contains(tab.id) ? keptLocked : close).insert(tab.id);
            if (!withNested) continue;
            for (const auto &nestedID : nestedTabIDs(tab.id, index)) {
                if (asked.contains(nestedID)) continue;
                if (locked.contains(nestedID)) keptLocked.insert(nestedID);
                else if (pinned.contains(nestedID)) keptPinned.insert(nestedID);
                else close.insert(nestedID);
            }
        }
    }

    ClosePlan plan;
    for (const auto &window : windows)
        for (const auto &tab : window.tabs) {
            if (close.contains(tab.id)) plan.close.push_back(tab);
            else if (keptLocked.contains(tab.id)) plan.keptLocked.push_back(tab);
            else if (keptPinned.contains(tab.id)) plan.keptPinned.push_back(tab);
        }
    return plan;
}

TabCommands::ClosePlan TabCommands::planClose(const std::vector<SafariTab> &tabs,
                                              const std::vector<SafariWindow> &windows,
                                              std::optional<ParentCloseBehavior> behavior) const {
    TextSet locked, pinned;
    for (const auto &[sessionID, record] : recordsBySessionID()) {
        if (record.locked) locked.insert(sessionID);
        if (record.pinned) pinned.insert(sessionID);
    }
    if (!behavior) {
        const auto store = records_.lock();
        behavior = store ? store->settings().parentCloseBehavior : ParentCloseBehavior::parentOnly;
    }
    std::vector<QString> ids;
    ids.reserve(tabs.size());
    for (const auto &tab : tabs) ids.push_back(tab.id);
    return closeScope(ids, windows, *behavior, locked, pinned);
}

ClosedTab TabCommands::closedTab(const SafariTab &tab, const TextMap<TabRecord> &records, const QDateTime &closedAt) {
    if (const auto it = records.find(tab.id); it != records.end()) return ClosedTab::fromRecord(it->second, closedAt);
    const auto urlText = tab.url ? std::optional<QString>(absoluteText(*tab.url)) : std::nullopt;
    return ClosedTab{
        .id = OndrakeID(),
        .url = urlText,
        .title = tab.title,
        .faviconHost = urlText && !urlText->isEmpty() ? faviconHost(tab.url) : std::nullopt,
        .windowID = tab.windowID,
        .index = tab.index,
        .closedAt = closedAt,
    };
}

std::optional<ClosedTabBatch> TabCommands::rememberClose(const std::vector<SafariTab> &tabs) {
    const auto store = records_.lock();
    if (!store || tabs.empty()) return std::nullopt;
    const auto records = recordsBySessionID();
    const auto now = scheduler_.wallNow();
    ClosedTabBatch batch{.id = QUuid::createUuid(), .tabs = {}, .closedAt = now};
    batch.tabs.reserve(tabs.size());
    for (const auto &tab : tabs) batch.tabs.push_back(closedTab(tab, records, now));
    store->updateRecentlyClosed([&](ClosedTabStack &history) {
        history.batches.push_back(batch);
        history.trim();
    });
    logger_.debug("Remembered a close of %{public}ld tab(s)", qint64(tabs.size()));
    return batch;
}

QCoro::Task<std::optional<std::vector<SafariTab>>> TabCommands::tabsGoneAfterFailure(
    const std::vector<SafariTab> &asked) {
    std::vector<SafariWindow> windows;
    try {
        windows = co_await adapter_.snapshot();
    } catch (...) {
        co_return std::nullopt;
    }
    TextSet present;
    for (const auto &window : windows)
        for (const auto &tab : window.tabs) present.insert(tab.id);
    std::vector<SafariTab> gone;
    for (const auto &tab : asked)
        if (!present.contains(tab.id)) gone.push_back(tab);
    co_return gone;
}

QCoro::Task<TabCommands::CloseResult> TabCommands::closeTabs(std::vector<SafariTab> tabs,
                                                             std::vector<SafariWindow> windows,
                                                             std::optional<ParentCloseBehavior> behavior) {
    const auto self = shared_from_this();  // a close outlives nothing it needs
    if (!adapter_.supports(BrowserCapabilities::close) || tabs.empty()) co_return CloseResult{};

    const auto plan = planClose(tabs, windows, behavior);
    const int keptLocked = int(plan.keptLocked.size());
    const int keptPinned = int(plan.keptPinned.size());
    if (plan.close.empty()) {
        logger_.debug("Close refused: every tab asked for is protected");
        co_return CloseResult{0, keptLocked, keptPinned, std::nullopt};
    }

    const auto batch = rememberClose(plan.close);
    QString failure;
    try {
        co_await adapter_.closeTabs(plan.close);
        co_return CloseResult{int(plan.close.size()), keptLocked, keptPinned, batch};
    } catch (const std::exception &error) {
        failure = QString::fromUtf8(error.what());
    } catch (...) {
        failure = QStringLiteral("unknown error");
    }
    logger_.debug("Planned close failed: %s", failure);
    if (records_.expired()) co_return CloseResult{0, keptLocked, keptPinned, std::nullopt};

    // The browser may have closed some tabs before it failed: those stay in the history.
    const auto gone = co_await tabsGoneAfterFailure(plan.close);
    const auto store = records_.lock();
    if (!batch || !store) co_return CloseResult{0, keptLocked, keptPinned, std::nullopt};

    std::optional<ClosedTabBatch> kept;
    if (gone && !gone->empty()) {
        TextSet goneIDs;
        for (const auto &tab : *gone) goneIDs.insert(tab.id);
        kept = *batch;
        kept->tabs.clear();
        for (std::size_t i = 0; i < plan.close.size(); ++i)
            if (goneIDs.contains(plan.close[i].id)) kept->tabs.push_back(batch->tabs[i]);
    }
    store->updateRecentlyClosed([&](ClosedTabStack &history) {
        const auto it = std::find_if(history.batches.begin(), history.batches.end(),
                                     [&](const ClosedTabBatch &b) { return b.id == batch->id; });
        if (it == history.batches.end()) return;
        if (kept) *it = *kept;
        else history.batches.erase(it);
    });
    co_return CloseResult{kept ? int(kept->tabs.size()) : 0, keptLocked, keptPinned, kept};
}

}  // namespace ondrake
