#include "TabStore.h"

#include "SafeAddress.h"

#include "Platform/TextHash.h"

#include <algorithm>

namespace ondrake {

namespace {
bool succeeded(const CommandOutcome &outcome) {
    return outcome.kind == CommandOutcome::Kind::applied || outcome.kind == CommandOutcome::Kind::appliedLocally;
}

bool refusedAsUnsafe(const CommandOutcome &outcome) {
    return outcome.kind == CommandOutcome::Kind::refused
           && outcome.refusal.kind == CommandOutcome::Refusal::Kind::unsafeAddress;
}

// The windows without the closed tabs: the tabs nested under one move up to its nearest parent
// that stays, and a window left empty goes. One pass, however many tabs close.
void removeClosedTabs(std::vector<SafariWindow> &windows, const std::vector<SafariTab> &closed) {
    TextMap<std::optional<QString>> parentOf;
    for (const auto &tab : closed) parentOf.insert_or_assign(tab.id, tab.parentID);
    const auto survivingParent = [&](std::optional<QString> parent) -> std::optional<QString> {
        for (std::size_t steps = 0; parent && parentOf.contains(*parent); ++steps) {
            if (steps > parentOf.size()) return std::nullopt;  // the links loop
            parent = valueOr(parentOf, *parent);
        }
        return parent;
    };
    for (auto window = windows.begin(); window != windows.end();) {
        auto &tabs = window->tabs;
        const auto before = tabs.size();
        std::erase_if(tabs, [&](const SafariTab &tab) { return parentOf.contains(tab.id); });
        if (tabs.size() == before) {
            ++window;
            continue;
        }
        for (auto &tab : tabs)
            if (tab.parentID && parentOf.contains(*tab.parentID)) tab.parentID = survivingParent(tab.parentID);
        window = tabs.empty() ? windows.erase(window) : window + 1;
    }
}

std::optional<std::int64_t> frontmostWindowID(const std::vector<SafariWindow> &windows) {
    const auto front = std::find_if(windows.begin(), windows.end(), [](const SafariWindow &w) { return w.isFrontmost; });
    return front == windows.end() ? std::nullopt : std::optional(front->safariID);
}
}  // namespace

QCoro::Task<> TabStore::closeTabs(std::vector<SafariTab> tabs) {
    if (tabs.empty()) co_return;
    const auto commands = commands_;
    const WindowList windows = windows_;
    const auto plan = commands->planClose(tabs, windows);
    if (plan.close.empty()) {
        const bool kept = !plan.keptLocked.empty() || !plan.keptPinned.empty();
        announce(kept ? OptionalText(QStringLiteral("Locked — not closed")) : std::nullopt);
        co_return;
    }

    // The rows go before the browser has answered; a failed close comes back with the refresh.
    auto shown = windows_;
    removeClosedTabs(shown, plan.close);
    assign(windows_, std::move(shown), &TabStore::windowsChanged);

    const auto alive = lifetime();
    const auto result = co_await commands->closeTabs(std::move(tabs), windows);
    if (alive.expired()) co_return;
    announce(closeSummary(result));
    applyWindowScope();
    co_await requestRefresh();
}

TabStore::OptionalText TabStore::closeSummary(const TabCommands::CloseResult &result) {
    const int kept = result.keptLocked + result.keptPinned;
    if (result.closed == 0) {
        if (kept == 0) return std::nullopt;
        if (kept == 1) return QStringLiteral("Kept 1 protected tab");
        return QStringLiteral("Kept %1 protected tabs").arg(kept);
    }
    if (kept > 0) return QStringLiteral("Closed %1, kept %2").arg(result.closed).arg(kept);
    if (result.closed == 1) return std::nullopt;
    return QStringLiteral("Closed %1 tabs").arg(result.closed);
}

TabStore::OptionalText TabStore::lockSummary(bool locked, int count) {
    if (!locked) return std::nullopt;
    if (count < 2) return QStringLiteral("Locked — won’t close from here");
    return QStringLiteral("Locked %1 tabs").arg(count);
}

QCoro::Task<> TabStore::reopenLastClosed() {
    auto history = recentlyClosed_;
    auto batch = history.takeNewest();
    setRecentlyClosed(std::move(history));
    if (!batch) {
        announce(QStringLiteral("Nothing to reopen"));
        co_return;
    }
    co_await reopen(std::move(*batch));
}

QCoro::Task<> TabStore::reopen(ClosedTabBatch batch) {
    updateRecentlyClosed([&](ClosedTabStack &history) { history.take(batch.id); });
    const auto commands = commands_;
    const auto alive = lifetime();
    auto result = co_await commands->reopen(batch, std::nullopt);
    if (alive.expired()) co_return;
    const QString unsafe = unsafeAddressNote(result.unsafe);
    if (succeeded(result.outcome)) {
        addPendingRestores(result.restores);
        const auto count = qsizetype(batch.tabs.size()) - result.unsafe;
        if (result.unsafe == 0)
            announce(count == 1 ? QStringLiteral("Reopened") : QStringLiteral("Reopened %1 tabs").arg(count));
        else
            announce((count == 1 ? QStringLiteral("Reopened 1 tab") : QStringLiteral("Reopened %1 tabs").arg(count)) + unsafe);
    } else if (refusedAsUnsafe(result.outcome)) {
        // Trying again cannot open it: the batch stays out of the history.
        announce(QStringLiteral("Nothing reopened") + unsafe);
    } else {
        // Back as the newest, so the next reopen tries it again.
        updateRecentlyClosed([&](ClosedTabStack &history) { history.add(batch); });
        announce(QStringLiteral("Couldn’t reopen") + unsafe);
    }
    co_await requestRefresh();
}

QCoro::Task<> TabStore::openReadLater(OndrakeID id, bool markRead) {
    const auto commands = commands_;
    const auto alive = lifetime();
    const auto outcome = co_await commands->openReadLaterItem(id, markRead, frontmostWindowID(windows_));
    if (alive.expired()) co_return;
    if (refusedAsUnsafe(outcome)) announce(QStringLiteral("Didn’t open Read Later item — unsafe address"));
    else if (!succeeded(outcome)) announce(QStringLiteral("Couldn’t open Read Later item"));
    else announce(markRead ? QStringLiteral("Opened and marked read") : QStringLiteral("Opened from Read Later"));
    co_await requestRefresh();
}

void TabStore::markReadLaterItemRead(const OndrakeID &id) {
    if (!book_.records.contains(id)) return;
    updateBook([&](TabRecordBook &book) { book.markRead(id, scheduler_.wallNow()); });
}

void TabStore::setParentCloseBehavior(ParentCloseBehavior behavior) {
    if (settings_.parentCloseBehavior == behavior) return;
    auto changed = settings_;
    changed.parentCloseBehavior = behavior;
    setSettings(std::move(changed));
}

}  // namespace ondrake
