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
// shifted as the records placed with certainty around it were. Records carry no window into the
// pool, so the windows count only for those shifts.
class TabIdentityResolver {
public:
    struct PoolEntry {
        OndrakeID id;
        std::optional<QString> url;
        QString title;
        std::optional<std::int64_t> index;
        bool reopened = false;  // released by a command that opens its page again

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

    // How far the entry is from where it is expected to stand, for a tab whose window shifted its
    // records by `shift`; an entry without a position costs nothing.
    static std::int64_t cost(const PoolEntry &entry, const Pending &tab, std::int64_t shift = 0);

    // Pools every open record (once, at start-up).
    void loadPool(const std::vector<TabRecord> &records);
    // An identity for every tab of the poll; the mapping becomes the bindings.
    TabIdentityMapping resolve(const std::vector<SafariWindow> &windows);
    // Frees the record's session binding and pools the record, once. A record `reopened` by a
    // command goes to the tab that opens with its page before any other record of that page.
    void release(const TabRecord &record, bool reopened = false);
    // The browser quit: no session id means anything any more; the open records wait in the pool.
    void unbindAll(const std::vector<TabRecord> &records);

    const TabIdentityMapping &bindings() const { return bindings_; }
    const std::vector<PoolEntry> &pool() const { return pool_; }

private:
    void poolIfOpen(const TabRecord &record);
    // Pairs pending tabs (rows, unmapped) with pool entries, claiming them; answers how many.
    std::size_t claim(const std::vector<Pending> &pending, const std::vector<std::size_t> &rows,
                      const std::vector<std::size_t> &columns, const std::vector<std::int64_t> &shift,
                      std::vector<bool> &claimed, TabIdentityMapping &mapping) const;
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
};

}  // namespace ondrake
