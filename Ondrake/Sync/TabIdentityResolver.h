#pragma once

#include "Sync/TabIdentityMapping.h"

#include "Browser/SafariTab.h"
#include "Log.h"
#include "Ondrake/Model/TabRecord.h"

#include <QSet>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace ondrake {

// Lays persistent identities over the browser's per-session tab ids. A tab keeps the identity it
// had at the last poll; a tab new to the session takes a stored record waiting in the pool, by
// URL and title first, then by URL alone; any other tab gets a new one. A record that a command
// released to reopen its page is taken before any other waiting for that page. Tabs that show
// one page take its records in the order both stand in, each record expected where it stood,
// shifted as the records of its own window placed with certainty around it were. A record goes
// first to the tabs of the windows that show its window's records, wherever the browser put
// them while the application was away; it waits there while one of them shows its page, and
// else goes to any tab of its page. A record whose tab had closed goes to a tab only when no open
// record of its page is left.
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

    // The key the application gives a browser window (`WindowKeys`).
    using WindowKeyOf = std::function<std::int64_t(std::int64_t windowID)>;

    // Pools every open record (once, at start-up).
    void loadPool(const std::vector<TabRecord> &records);
    // An identity for every tab of the poll; the mapping becomes the bindings. `windowKey` names
    // the windows the application has been watching, so that records waiting keep their window.
    TabIdentityMapping resolve(const std::vector<SafariWindow> &windows, const WindowKeyOf &windowKey = {});
    // Frees the record's session binding and pools the record, once. A record `reopened` by a
    // command goes to the tab that opens with its page before any other record of that page,
    // unless the tab that holds it is still open at the next poll: then that tab keeps it.
    void release(const TabRecord &record, bool reopened = false);
    // The browser quit: no session id means anything any more; the open records wait in the pool.
    void unbindAll(const std::vector<TabRecord> &records);

    const TabIdentityMapping &bindings() const { return bindings_; }
    const std::vector<PoolEntry> &pool() const { return pool_; }
    // Records still waiting whose window the last resolve found under another key, with that key:
    // the records note it, so that they keep their window through later restarts too.
    const std::vector<std::pair<OndrakeID, std::int64_t>> &rekeyed() const { return rekeyed_; }

private:
    // For each pool position, the pending tab that claimed it, counting from 1; 0 while unclaimed.
    using Claims = std::vector<std::size_t>;
    // A record placed with certainty: its tab's position and the pool entry it took.
    struct Certain {
        std::size_t pending = 0;
        std::size_t position = 0;
    };
    // What the pairing of one poll's pending tabs works from.
    struct Poll {
        const std::vector<SafariWindow> &windows;
        const std::vector<Pending> &pending;
        const std::vector<Certain> &certain;  // in the poll's order
        const std::vector<std::vector<std::int64_t>> &shows;  // the keys each window shows
    };

    void poolIfOpen(const TabRecord &record);
    // Records released to reopen their page while their tab still held them: pooled once that
    // tab is gone, forgotten while it is still there.
    void settleHeldReopens(const std::vector<SafariWindow> &windows);
    // Pairs pending tabs (rows, unmapped; each with its expectation) with pool entries, claiming
    // them; answers how many.
    std::size_t claim(const std::vector<Pending> &pending, const std::vector<std::size_t> &rows,
                      const std::vector<Expectation> &expected, const std::vector<std::size_t> &columns,
                      Claims &claimed, TabIdentityMapping &mapping) const;
    // Pairs the tabs of pages open more than once (rows, in the poll's order) with the records
    // left; answers how many.
    std::size_t claimTwins(const Poll &poll, const std::vector<std::size_t> &rows, const std::vector<std::size_t> &columns,
                           Claims &claimed, TabIdentityMapping &mapping) const;
    // The poll window each record that no shown key places belongs in, where a link tells.
    std::vector<std::optional<std::size_t>> linkedWindows(const Poll &poll, const std::vector<std::size_t> &columns) const;
    // Waiting records of a window the application did not watch go with the window they wait in.
    void rekeyWaiting(const Poll &poll, const std::vector<std::optional<std::int64_t>> &own,
                      const Claims &claimed);
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
    std::vector<std::pair<OndrakeID, std::int64_t>> rekeyed_;
};

}  // namespace ondrake
