#pragma once

#include "Sync/ResolvedSnapshot.h"
#include "Sync/TabEvent.h"

#include "Ondrake/Model/ClosedTabStack.h"
#include "Ondrake/Model/TabGroup.h"
#include "Ondrake/Model/TabRecord.h"
#include "Scheduler.h"

#include <QDateTime>
#include <QString>

#include <functional>
#include <map>
#include <optional>
#include <vector>

namespace ondrake {

// Everything the system knows about tabs beyond what the browser shows: the records by identity
// and the user's groups. A plain value: callers change a copy and store it back. Operations
// ignore identities the book does not hold. Lists come in identity order unless said otherwise.
struct TabRecordBook {
    // How long a closed record without user state is kept before a save drops it.
    static constexpr Seconds kClosedRecordLifetime{604800};

    std::map<OndrakeID, TabRecord> records;
    std::map<TabGroupID, TabGroup> groups;

    TabRecordBook() = default;
    // On a repeated id the first one is kept. No link is checked.
    TabRecordBook(const std::vector<TabRecord> &records, const std::vector<TabGroup> &groups);

    std::optional<TabRecord> record(const OndrakeID &id) const;

    void setPinned(bool pinned, const OndrakeID &id);
    // Only a change of the flag touches the dates.
    void setReadLater(bool readLater, const OndrakeID &id, const QDateTime &date);
    void markRead(const OndrakeID &id, const QDateTime &date);

    void renameGroup(const TabGroupID &id, const QString &name);
    void setGroupColor(const std::optional<QString> &colorName, const TabGroupID &id);
    void setGroupCollapsed(bool collapsed, const TabGroupID &id);
    // Also takes the records out of the group when the group itself is already gone.
    void deleteGroup(const TabGroupID &id);
    // Positions count from 0; unknown ids still use up theirs.
    void reorderGroups(const std::vector<TabGroupID> &order);
    // No group takes the records out of theirs; a group the book lacks changes nothing.
    void assignGroup(const std::optional<TabGroupID> &groupID, const std::vector<OndrakeID> &recordIDs);

    // Restores the record of a reopened tab, or makes it again when it was pruned; it comes back
    // open and unbound.
    TabRecord reviveClosedTab(const ClosedTab &closed);

    // The browser quit: bound records lose their session binding; the last index stays, for the
    // resolver to tell identical tabs apart when they come back.
    void unbindAll();

    std::vector<TabRecord> openRecords() const;
    // Oldest first by the date put on the list (else creation), then by identity text.
    std::vector<TabRecord> readLaterRecords() const;
    // By sort index, then by identity.
    std::vector<TabGroup> sortedGroups() const;
    std::vector<TabRecord> recordsInGroup(const TabGroupID &id) const;

    // Adds what is new, unbound; what the book holds already stays as it is.
    void merge(const std::vector<TabRecord> &records, const std::vector<TabGroup> &groups);

    // Drops the expired closed records and then parent links into them; answers how many went.
    int prune(const QDateTime &now, Seconds interval);
    static bool isExpired(const TabRecord &record, const QDateTime &now, Seconds interval);

    // The number a browser window goes by in the records (`TabRecord::windowKey`).
    using WindowKeyOf = std::function<std::int64_t(std::int64_t windowID)>;
    // Makes the records follow one poll: `tabs` is the snapshot the events were computed against,
    // `date` the poll's time. With the history off, a closed tab's record without user state is
    // forgotten instead of closed. A record that appears or moves to another window notes that
    // window's key when `windowKey` is given. Answers whether any record changed.
    bool apply(const std::vector<TabEvent> &events, const std::vector<ResolvedTab> &tabs, const QDateTime &date,
               bool closedTabHistory, const WindowKeyOf &windowKey = {});
    // A tab appeared: its record is reattached, or made. Answers whether the book changed.
    // `windowShowing` tells the window the poll shows a record in.
    bool recordCreatedTab(const ResolvedTab &tab, const QDateTime &date,
                          const std::function<std::optional<std::int64_t>(const OndrakeID &)> &windowShowing = {},
                          const WindowKeyOf &windowKey = {});

    bool operator==(const TabRecordBook &) const = default;
};

// The favicon host a record derives from its URL text: nothing for no or empty text, or text
// that is no web address.
std::optional<QString> faviconHostOfURLText(const std::optional<QString> &urlText);

}  // namespace ondrake
