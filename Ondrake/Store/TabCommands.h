#pragma once

#include "Store/CommandOutcome.h"
#include "Store/TabRecordWriting.h"

#include "Browser/BrowserAdapter.h"
#include "Log.h"
#include "Ondrake/Model/FeatureFlags.h"
#include "Scheduler.h"
#include "Sync/PendingRestore.h"
#include "Platform/TextHash.h"


#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace ondrake {

// The user's commands on tabs: checks the feature and the browser's capabilities, keeps
// protected tabs out, asks the browser, and writes the records and the closed-tab history through
// the store. Never throws; answers with outcomes. Main thread only.
class TabCommands : public std::enable_shared_from_this<TabCommands> {
public:
    struct ClosePlan {
        std::vector<SafariTab> close;
        std::vector<SafariTab> keptLocked;
        std::vector<SafariTab> keptPinned;
        bool operator==(const ClosePlan &) const = default;
    };

    struct CloseResult {
        int closed = 0;  // handed to the browser and gone
        int keptLocked = 0;
        int keptPinned = 0;  // nested tabs only: a pinned tab asked for closes
        std::optional<ClosedTabBatch> batch;  // the history entry added
        bool operator==(const CloseResult &) const = default;
    };

    // The store is held weakly: it owns the commands. The adapter and the flags must outlive the
    // store; a command the browser resumes after the store went asks nothing more of either.
    TabCommands(BrowserAdapter &adapter, const FeatureFlags &flags, std::weak_ptr<TabRecordWriting> records,
                Scheduler &scheduler);

    // No behaviour: the stored settings decide (parentOnly once the store is gone).
    ClosePlan planClose(const std::vector<SafariTab> &tabs, const std::vector<SafariWindow> &windows,
                        std::optional<ParentCloseBehavior> behavior = std::nullopt) const;
    // The batch enters the history before the browser is asked and leaves it again when the
    // browser closed none of the tabs. The records learn of the close from the next poll.
    QCoro::Task<CloseResult> closeTabs(std::vector<SafariTab> tabs, std::vector<SafariWindow> windows,
                                       std::optional<ParentCloseBehavior> behavior = std::nullopt);

    TextMap<TabRecord> recordsBySessionID() const;
    std::optional<ClosedTabBatch> rememberClose(const std::vector<SafariTab> &tabs);

    static ClosePlan closeScope(const std::vector<QString> &askedFor, const std::vector<SafariWindow> &windows,
                                ParentCloseBehavior behavior, const TextSet &locked, const TextSet &pinned);
    static ClosedTab closedTab(const SafariTab &tab, const TextMap<TabRecord> &records, const QDateTime &closedAt);

    BrowserAdapter &adapter() const { return adapter_; }
    const FeatureFlags &flags() const { return flags_; }

    // Marks. Pinning, locking and read later are the system's own and stand even when the
    // browser cannot follow; muting exists only in the browser.
    QCoro::Task<CommandOutcome> setPinned(bool pinned, std::vector<OndrakeID> ids);
    QCoro::Task<CommandOutcome> setMuted(bool muted, std::vector<OndrakeID> ids);
    // The record and the records nested under it whose tabs are open.
    QCoro::Task<CommandOutcome> muteSubtree(OndrakeID id, bool muted);
    CommandOutcome setLocked(bool locked, const std::vector<OndrakeID> &ids);
    // Putting a record on the list also adds its page to the browser's Reading List where it can.
    QCoro::Task<CommandOutcome> toggleReadLater(bool readLater, OndrakeID id);
    // No window: the browser chooses. An address that is not safe to open is refused before
    // anything changes.
    QCoro::Task<CommandOutcome> openReadLaterItem(OndrakeID id, bool markRead, std::optional<std::int64_t> windowID);

    // Groups. The name is taken as given; the caller trims it.
    std::optional<TabGroup> createGroup(const QString &name, const std::optional<QString> &colorName);
    using GroupEdit = std::function<void(TabRecordBook &, const TabGroupID &)>;
    CommandOutcome editGroups(const TabGroupID &id, const GroupEdit &edit);
    static GroupEdit renameGroup(QString name);
    static GroupEdit setGroupColor(std::optional<QString> colorName);
    static GroupEdit setGroupCollapsed(bool collapsed);
    // The group goes; its records stay and leave it.
    static GroupEdit deleteGroup();
    CommandOutcome reorderGroups(const std::vector<TabGroupID> &order);
    // No group files the records out of theirs.
    CommandOutcome assignGroup(const std::vector<OndrakeID> &ids, const std::optional<TabGroupID> &groupID);

    struct ReopenResult {
        CommandOutcome outcome;
        std::vector<PendingRestore> restores;  // the opened tabs still to be put in place
        int unsafe = 0;                        // tabs left closed for their address
        bool operator==(const ReopenResult &) const = default;
    };
    // Revives the batch's records and lets the next poll give them to the tabs it opens. No
    // window: each tab goes back to the window it was closed in. Tabs that need a new window
    // share one, and a tab whose window has gone opens in a new one. A tab whose address is not
    // safe to open stays closed and unrevived; a batch of only such tabs is refused as
    // unsafeAddress. The history is the caller's.
    QCoro::Task<ReopenResult> reopen(ClosedTabBatch batch, std::optional<std::int64_t> windowID);

    // The tab the record was bound to at the last poll, as the browser is handed it.
    std::optional<SafariTab> liveTab(const OndrakeID &id) const;

private:
    // Opens the page, in a new window when none is named or the named one has gone. `windows`
    // maps the windows asked for to the ones the batch was given instead, so the tabs that
    // needed a new window share it.
    struct WindowChoice;
    QCoro::Task<bool> openInBatch(std::optional<QUrl> url, std::optional<std::int64_t> windowID, WindowChoice &windows);
    QCoro::Task<std::optional<std::vector<std::int64_t>>> windowIDs();  // front to back

    // After a failed close: the remembered tabs that the browser no longer shows.
    QCoro::Task<std::optional<std::vector<SafariTab>>> tabsGoneAfterFailure(const std::vector<SafariTab> &asked);

    BrowserAdapter &adapter_;
    const FeatureFlags &flags_;
    std::weak_ptr<TabRecordWriting> records_;
    Scheduler &scheduler_;
    const Logger logger_{QStringLiteral("Commands")};
};

}  // namespace ondrake
