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
// URL and title first, then by URL alone, nearest position first, and tabs that show one page
// share its records so that they move least in all; any other tab gets a new one. Records carry
// no window into the pool, so the windows count for nothing.
class TabIdentityResolver {
public:
    struct PoolEntry {
        OndrakeID id;
        std::optional<QString> url;
        QString title;
        std::optional<std::int64_t> index;

        static PoolEntry from(const TabRecord &record);
        bool operator==(const PoolEntry &) const = default;
    };

    // A tab of the current poll that had no binding.
    struct Pending {
        QString sessionTabID;
        std::optional<QString> url;  // absolute text
        QString title;
        std::int64_t index = 0;
        bool operator==(const Pending &) const = default;
    };

    // How far the entry is from where the tab stands; an entry without a position costs nothing.
    static std::int64_t cost(const PoolEntry &entry, const Pending &tab);

    // Pools every open record (once, at start-up).
    void loadPool(const std::vector<TabRecord> &records);
    // An identity for every tab of the poll; the mapping becomes the bindings.
    TabIdentityMapping resolve(const std::vector<SafariWindow> &windows);
    // Frees the record's session binding and pools the record, once.
    void release(const TabRecord &record);
    // The browser quit: no session id means anything any more; the open records wait in the pool.
    void unbindAll(const std::vector<TabRecord> &records);

    const TabIdentityMapping &bindings() const { return bindings_; }
    const std::vector<PoolEntry> &pool() const { return pool_; }

private:
    void poolIfOpen(const TabRecord &record);
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
