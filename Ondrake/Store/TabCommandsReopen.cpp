#include "TabCommands.h"

#include "Browser/BrowserURL.h"
#include "SafeAddress.h"

#include <algorithm>
#include <map>

namespace ondrake {

namespace {
QString describe(const std::exception &error) { return QString::fromUtf8(error.what()); }

CommandOutcome noSuchRecord() { return CommandOutcome::refused(CommandOutcome::Refusal::noSuchRecord()); }
CommandOutcome nothingToDo() { return CommandOutcome::refused(CommandOutcome::Refusal::nothingToDo()); }
}  // namespace

// The windows one batch opened its tabs in, by the window each tab asked for (none for a new one).
struct TabCommands::WindowChoice {
    std::map<std::optional<std::int64_t>, std::int64_t> given;
    std::optional<std::vector<std::int64_t>> known;  // the browser's windows, front to back, as last seen
};

QCoro::Task<std::optional<std::vector<std::int64_t>>> TabCommands::windowIDs() {
    std::vector<SafariWindow> windows;
    try {
        windows = co_await adapter_.snapshot();
    } catch (...) {
        co_return std::nullopt;
    }
    std::vector<std::int64_t> ids;
    ids.reserve(windows.size());
    for (const auto &window : windows) ids.push_back(window.safariID);
    co_return ids;
}

QCoro::Task<bool> TabCommands::openInBatch(std::optional<QUrl> url, std::optional<std::int64_t> windowID,
                                           WindowChoice &windows) {
    const auto asked = windowID;
    if (const auto it = windows.given.find(asked); it != windows.given.end()) windowID = it->second;
    if (windowID) {
        try {
            co_await adapter_.openTab(url, windowID);
            co_return true;
        } catch (const SafariControllerError &error) {
            if (error.kind() != SafariControllerError::Kind::windowNotFound) {
                logger_.debug("Could not reopen a tab: %s", describe(error));
                co_return false;
            }
        } catch (const std::exception &error) {
            logger_.debug("Could not reopen a tab: %s", describe(error));
            co_return false;
        }
    }

    // A new window. The browser does not say which one it made, so its windows are compared
    // before and after; without that answer later tabs each get a window of their own.
    if (records_.expired()) co_return false;
    if (!windows.known) windows.known = co_await windowIDs();
    if (records_.expired()) co_return false;
    try {
        co_await adapter_.openTab(url, std::nullopt);
    } catch (const std::exception &error) {
        logger_.debug("Could not reopen a tab: %s", describe(error));
        co_return false;
    }
    if (records_.expired()) co_return true;
    const auto before = std::exchange(windows.known, co_await windowIDs());
    if (before && windows.known) {
        // Windows come front to back, and a new window opens in front.
        const auto made = std::find_if(windows.known->begin(), windows.known->end(), [&](std::int64_t id) {
            return std::find(before->begin(), before->end(), id) == before->end();
        });
        if (made != windows.known->end()) windows.given[asked] = *made;
    }
    co_return true;
}

QCoro::Task<CommandOutcome> TabCommands::openReadLaterItem(OndrakeID id, bool markRead,
                                                          std::optional<std::int64_t> windowID) {
    const auto self = shared_from_this();
    if (!adapter_.supports(BrowserCapabilities::open)) co_return CommandOutcome::unavailable(BrowserCapabilities::open);
    std::optional<QUrl> url;
    {
        const auto store = records_.lock();
        const auto record = store ? store->book().record(id) : std::nullopt;
        if (!record) co_return noSuchRecord();
        if (!record->url) co_return nothingToDo();
        // One that does not even parse is no more to be trusted than one that does.
        url = parseURL(*record->url);
        if (!url || !isSafeToOpen(*url)) co_return CommandOutcome::refused(CommandOutcome::Refusal::unsafeAddress());
        store->releaseForReattachment(*record);
    }
    try {
        co_await adapter_.openTab(*url, windowID);
    } catch (const std::exception &error) {
        logger_.debug("Could not open Read Later item: %s", describe(error));
        co_return nothingToDo();
    }
    if (markRead)
        if (const auto store = records_.lock())
            store->updateBook([&](TabRecordBook &book) { book.markRead(id, scheduler_.wallNow()); });
    co_return CommandOutcome::applied();
}

QCoro::Task<TabCommands::ReopenResult> TabCommands::reopen(ClosedTabBatch batch, std::optional<std::int64_t> windowID) {
    const auto self = shared_from_this();
    if (!adapter_.supports(BrowserCapabilities::open))
        co_return ReopenResult{CommandOutcome::unavailable(BrowserCapabilities::open), {}};
    // A tab without an address opens blank; one with an address opens only when it is safe.
    const auto unsafe = std::stable_partition(batch.tabs.begin(), batch.tabs.end(), [](const ClosedTab &closed) {
        return !closed.url || isSafeToOpen(*closed.url);
    });
    const int unsafeCount = int(batch.tabs.end() - unsafe);
    batch.tabs.erase(unsafe, batch.tabs.end());
    {
        const auto store = records_.lock();
        if (!store || (batch.tabs.empty() && unsafeCount == 0)) co_return ReopenResult{nothingToDo(), {}};
        if (batch.tabs.empty())
            co_return ReopenResult{CommandOutcome::refused(CommandOutcome::Refusal::unsafeAddress()), {}, unsafeCount};
        std::vector<TabRecord> revived;
        revived.reserve(batch.tabs.size());
        store->updateBook([&](TabRecordBook &book) {
            for (const auto &closed : batch.tabs) revived.push_back(book.reviveClosedTab(closed));
        });
        // Before any tab opens, so the poll that first sees one gives it its old identity.
        for (const auto &record : revived) store->releaseForReattachment(record);
    }

    WindowChoice windows;
    std::vector<PendingRestore> restores;
    int opened = 0;
    for (const auto &closed : batch.tabs) {
        if (records_.expired()) break;
        const auto url = closed.url ? parseURL(*closed.url) : std::nullopt;
        std::optional<std::int64_t> target = windowID;
        if (!target && closed.windowID) target = *closed.windowID;
        if (!co_await openInBatch(url, target, windows)) continue;
        ++opened;
        if (closed.parentID || closed.index)
            restores.push_back(PendingRestore{closed.id, closed.parentID, closed.index, PendingRestore::kAttempts});
    }
    if (opened == 0) co_return ReopenResult{nothingToDo(), {}, unsafeCount};
    co_return ReopenResult{CommandOutcome::applied(), std::move(restores), unsafeCount};
}

}  // namespace ondrake
