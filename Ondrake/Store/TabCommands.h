#pragma once

#include "Store/CommandOutcome.h"
#include "Store/TabRecordWriting.h"

#include "Browser/BrowserAdapter.h"
#include "Log.h"
#include "Ondrake/Model/FeatureFlags.h"
#include "Scheduler.h"

#include <QHash>
#include <QSet>

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

    // The store is held weakly: it owns the commands.
    TabCommands(BrowserAdapter &adapter, const FeatureFlags &flags, std::weak_ptr<TabRecordWriting> records,
                Scheduler &scheduler);

    // No behaviour: the stored settings decide (parentOnly once the store is gone).
    ClosePlan planClose(const std::vector<SafariTab> &tabs, const std::vector<SafariWindow> &windows,
                        std::optional<ParentCloseBehavior> behavior = std::nullopt) const;
    // The batch enters the history before the browser is asked and leaves it again when the
    // browser closed none of the tabs. The records learn of the close from the next poll.
    QCoro::Task<CloseResult> closeTabs(std::vector<SafariTab> tabs, std::vector<SafariWindow> windows,
                                       std::optional<ParentCloseBehavior> behavior = std::nullopt);

    QHash<QString, TabRecord> recordsBySessionID() const;
    std::optional<ClosedTabBatch> rememberClose(const std::vector<SafariTab> &tabs);

    static ClosePlan closeScope(const std::vector<QString> &askedFor, const std::vector<SafariWindow> &windows,
                                ParentCloseBehavior behavior, const QSet<QString> &locked, const QSet<QString> &pinned);
    static ClosedTab closedTab(const SafariTab &tab, const QHash<QString, TabRecord> &records, const QDateTime &closedAt);

    BrowserAdapter &adapter() const { return adapter_; }
    const FeatureFlags &flags() const { return flags_; }

private:
    // After a failed close: the remembered tabs that the browser no longer shows.
    QCoro::Task<std::optional<std::vector<SafariTab>>> tabsGoneAfterFailure(const std::vector<SafariTab> &asked);

    BrowserAdapter &adapter_;
    const FeatureFlags &flags_;
    std::weak_ptr<TabRecordWriting> records_;
    Scheduler &scheduler_;
    const Logger logger_{QStringLiteral("Commands")};
};

}  // namespace ondrake
