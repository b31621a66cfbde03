#pragma once

#include "Sync/TabIdentityMapping.h"

#include "Browser/SafariTab.h"
#include "Log.h"
#include "Ondrake/Model/TabRecord.h"

#include <QSet>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace ondrake {

// Lays persistent identities over the browser's per-session tab ids. A tab keeps the identity it
// had at the last poll; a tab new to the session takes a stored record waiting in the pool, by
// URL and title first, then by URL alone; any other tab gets a new one. A record that a command
// released to reopen its page is taken before any other waiting for that page. Tabs that show
// one page take its records in the order both stand in, each record expected where it stood,
// shifted as the records placed with certainty around it were. Each window's tabs take the
// records of the window they were last seen in first, as the records placed with certainty, the
// pages open in one window only and the links of certain records tell which window that is; a
// record whose tab had closed goes to a tab only when no open record of its page is left.
class TabIdentityResolver {
public:
    struct PoolEntry {
        OndrakeID id;
        std::optional<QString> url;
        QString title;
        std::optional<std::int64_t> index;
        bool reopened = false;  // released by a command that opens its page again
        bool closed = false;    // its tab had closed: tabs that come back take open records first
        std::optional<std::int64_t> windowKey{};  // of the window the record was last seen in
        std::optional<OndrakeID> parentID{};
        std::optional<TabGroupID> groupID{};

        static PoolEntry from(const TabRecord &record);
        bool operator==(const PoolEntry &) const = default;
    };

    // A tab of the current poll that had no binding.
    struct Pending {
        QString sessionTabID;
        std::optional<QString> url;  // absolute text
        QString title;
        std::size_t windowOrdinal = 0;  // of the poll's window
        std::int64_t index = 0;
        bool operator==(const Pending &) const = default;
    };

    // Where a pending tab is expected among its window's stored positions: shifted as the
    // records placed with certainty around it that kept their order were, or as the nearest of
    // them on either side, whichever fits a record best.
    struct Expectation {
        std::int64_t at = 0;
        std::optional<std::int64_t> before{};
        std::optional<std::int64_t> after{};
    };

    // What pairing a tab expected there with the entry costs: how far the entry stood from the
    // nearest place the tab is expected at (nothing for an entry without a position), and more
    // than any distance for the record of a closed tab, which goes to a tab only when no open
    // record of its page is left.
    static std::int64_t cost(const PoolEntry &entry, const Expectation &expected);

    // Pools every open record (once, at start-up).
    void loadPool(const std::vector<TabRecord> &records);
    // An identity for every tab of the poll; the mapping becomes the bindings.
    TabIdentityMapping resolve(const std::vector<SafariWindow> &windows);
    // Frees the record's session binding and pools the record, once. A record `reopened` by a
    // command goes to the tab that opens with its page before any other record of that page,
    // unless the tab that holds it is still open at the next poll: then that tab keeps it.
    void release(const TabRecord &record, bool reopened = false);
    // The browser quit: no session id means anything any more; the open records wait in the pool.
    void unbindAll(const std::vector<TabRecord> &records);

    const TabIdentityMapping &bindings() const { return bindings_; }
    const std::vector<PoolEntry> &pool() const { return pool_; }

private:
    // A record placed with certainty: its tab's position and the pool entry it took.
    struct Certain {
        std::size_t pending = 0;
        std::size_t position = 0;
    };
    // A page open more than once: the windows its tabs stand in, and the windows its records
    // were last seen in.
    struct TwinPage {
        std::vector<std::size_t> windows;
        std::vector<std::optional<std::int64_t>> keys;
    };

    void poolIfOpen(const TabRecord &record);
    // Records released to reopen their page while their tab still held them: pooled once that
    // tab is gone, forgotten while it is still there.
    void settleHeldReopens(const std::vector<SafariWindow> &windows);
    // Pairs pending tabs (rows, unmapped) with pool entries, claiming them; answers how many.
    std::size_t claim(const std::vector<Pending> &pending, const std::vector<std::size_t> &rows,
                      const std::vector<std::size_t> &columns, const std::vector<Expectation> &expected,
                      std::vector<bool> &claimed, TabIdentityMapping &mapping) const;
    // Pairs the tabs of pages open more than once with the records left; answers how many.
    std::size_t claimTwins(const std::vector<Pending> &pending, std::size_t windowCount, const std::vector<Certain> &certain,
                           const std::vector<TwinPage> &pages, const std::vector<std::size_t> &rows,
                           const std::vector<std::size_t> &columns,
                           std::vector<Expectation> &expected, std::vector<bool> &claimed,
                           TabIdentityMapping &mapping) const;
    // The key of the window each poll window's records were last seen in, as its records placed
    // with certainty and the pages it alone shows tell; none where nothing does.
    std::vector<std::optional<std::int64_t>> windowKeysOfPoll(const std::vector<Pending> &pending, std::size_t windowCount,
                                                              const std::vector<Certain> &certain,
                                                              const std::vector<TwinPage> &pages) const;
    // The poll window each record belongs in, where its window's key or a link tells.
    std::vector<std::optional<std::size_t>> homesOf(const std::vector<Pending> &pending,
                                                    const std::vector<std::optional<std::int64_t>> &keys,
                                                    const std::vector<Certain> &certain,
                                                    const std::vector<std::size_t> &columns) const;
    // The poll shows the session ids of the last one, in the same order, and none was unbound
    // since: the bindings answer it as they stand.
    bool repeatsLastPoll(const std::vector<SafariWindow> &windows) const;

    const Logger logger_{QStringLiteral("Identity")};
    TabIdentityMapping bindings_;
    // The last poll's session ids in poll order while they are exactly the bindings' keys; a
    // sequential comparison with it spares a hash lookup per tab in the usual poll.
    std::vector<QString> lastOrder_;
    bool lastOrderValid_ = false;
    std::vector<PoolEntry> pool_;
    QSet<OndrakeID> pooled_;  // the ids in pool_
    std::vector<std::pair<QString, PoolEntry>> heldReopens_;  // by the session id of the tab holding it
};

}  // namespace ondrake
