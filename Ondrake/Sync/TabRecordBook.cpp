#include "TabRecordBook.h"

#include "Browser/BrowserURL.h"
#include "Ondrake/Model/FaviconHost.h"

#include <algorithm>
#include <unordered_map>

namespace ondrake {

std::optional<QString> faviconHostOfURLText(const std::optional<QString> &urlText) {
    if (!urlText || urlText->isEmpty()) return std::nullopt;
    return faviconHost(parseURL(*urlText));
}

TabRecordBook::TabRecordBook(const std::vector<TabRecord> &recordList, const std::vector<TabGroup> &groupList) {
    for (const auto &record : recordList) records.try_emplace(record.id, record);
    for (const auto &group : groupList) groups.try_emplace(group.id, group);
}

std::optional<TabRecord> TabRecordBook::record(const OndrakeID &id) const {
    const auto it = records.find(id);
    if (it == records.end()) return std::nullopt;
    return it->second;
}

void TabRecordBook::setPinned(bool pinned, const OndrakeID &id) {
    if (const auto it = records.find(id); it != records.end()) it->second.pinned = pinned;
}

void TabRecordBook::setReadLater(bool readLater, const OndrakeID &id, const QDateTime &date) {
    const auto it = records.find(id);
    if (it == records.end() || it->second.readLater == readLater) return;
    auto &r = it->second;
    r.readLater = readLater;
    r.addedToReadLaterAt = readLater ? std::optional<QDateTime>(date) : std::nullopt;
    r.readAt.reset();
}

void TabRecordBook::markRead(const OndrakeID &id, const QDateTime &date) {
    const auto it = records.find(id);
    if (it == records.end()) return;
    auto &r = it->second;
    r.readLater = false;
    if (!r.addedToReadLaterAt) r.addedToReadLaterAt = date;
    r.readAt = date;
}

void TabRecordBook::renameGroup(const TabGroupID &id, const QString &name) {
    if (const auto it = groups.find(id); it != groups.end()) it->second.name = name;
}

void TabRecordBook::setGroupColor(const std::optional<QString> &colorName, const TabGroupID &id) {
    if (const auto it = groups.find(id); it != groups.end()) it->second.colorName = colorName;
}

void TabRecordBook::setGroupCollapsed(bool collapsed, const TabGroupID &id) {
    if (const auto it = groups.find(id); it != groups.end()) it->second.isCollapsed = collapsed;
}

void TabRecordBook::deleteGroup(const TabGroupID &id) {
    groups.erase(id);
    for (auto &[_, r] : records)
        if (r.groupID == id) r.groupID.reset();
}

void TabRecordBook::reorderGroups(const std::vector<TabGroupID> &order) {
    for (std::size_t position = 0; position < order.size(); ++position)
        if (const auto it = groups.find(order[position]); it != groups.end()) it->second.sortIndex = qint64(position);
}

void TabRecordBook::assignGroup(const std::optional<TabGroupID> &groupID, const std::vector<OndrakeID> &recordIDs) {
    if (groupID && !groups.contains(*groupID)) return;
    for (const auto &id : recordIDs)
        if (const auto it = records.find(id); it != records.end()) it->second.groupID = groupID;
}

TabRecord TabRecordBook::reviveClosedTab(const ClosedTab &closed) {
    const bool groupExists = closed.groupID && groups.contains(*closed.groupID);
    if (const auto it = records.find(closed.id); it != records.end()) {
        auto &r = it->second;
        r.closedAt.reset();
        if (!r.url) r.url = closed.url;
        if (r.title.isEmpty()) r.title = closed.title;
        if (!r.faviconHost) r.faviconHost = closed.faviconHost;
        r.parentID = closed.parentID;
        if (groupExists) r.groupID = closed.groupID;
        r.index = closed.index;
        return r;
    }
    TabRecord r{
        .id = closed.id,
        .index = closed.index,
        .url = closed.url,
        .title = closed.title,
        .faviconHost = closed.faviconHost ? closed.faviconHost : faviconHostOfURLText(closed.url),
        .parentID = closed.parentID,
        .groupID = groupExists ? closed.groupID : std::nullopt,
        .createdAt = closed.closedAt,
    };
    records.emplace(r.id, r);
    return r;
}

void TabRecordBook::unbindAll() {
    for (auto &[_, r] : records) {
        if (!r.sessionTabID) continue;
        r.sessionTabID.reset();
        r.windowID.reset();
    }
}

std::vector<TabRecord> TabRecordBook::openRecords() const {
    std::vector<TabRecord> open;
    for (const auto &[_, r] : records)
        if (!r.closedAt) open.push_back(r);
    return open;
}

std::vector<TabRecord> TabRecordBook::readLaterRecords() const {
    std::vector<TabRecord> list;
    for (const auto &[_, r] : records)
        if (r.readLater) list.push_back(r);
    // Identity order is the order of the identities' canonical text, so a stable sort on the
    // date alone breaks ties by that text.
    std::stable_sort(list.begin(), list.end(), [](const TabRecord &a, const TabRecord &b) {
        return a.addedToReadLaterAt.value_or(a.createdAt) < b.addedToReadLaterAt.value_or(b.createdAt);
    });
    return list;
}

std::vector<TabGroup> TabRecordBook::sortedGroups() const {
    std::vector<TabGroup> list;
    list.reserve(groups.size());
    for (const auto &[_, g] : groups) list.push_back(g);
    std::stable_sort(list.begin(), list.end(), [](const TabGroup &a, const TabGroup &b) { return a.sortIndex < b.sortIndex; });
    return list;
}

std::vector<TabRecord> TabRecordBook::recordsInGroup(const TabGroupID &id) const {
    std::vector<TabRecord> list;
    for (const auto &[_, r] : records)
        if (r.groupID == id) list.push_back(r);
    return list;
}

void TabRecordBook::merge(const std::vector<TabRecord> &recordList, const std::vector<TabGroup> &groupList) {
    for (const auto &group : groupList) groups.try_emplace(group.id, group);
    for (const auto &record : recordList) {
        if (records.contains(record.id)) continue;
        auto unbound = record;
        unbound.sessionTabID.reset();
        unbound.windowID.reset();
        unbound.index.reset();
        records.emplace(unbound.id, std::move(unbound));
    }
}

bool TabRecordBook::isExpired(const TabRecord &record, const QDateTime &now, Seconds interval) {
    if (!record.closedAt || record.hasUserState()) return false;
    return double(record.closedAt->msecsTo(now)) / 1000.0 > interval.count();
}

int TabRecordBook::prune(const QDateTime &now, Seconds interval) {
    const auto removed = std::erase_if(records, [&](const auto &entry) { return isExpired(entry.second, now, interval); });
    if (removed == 0) return 0;
    for (auto &[_, r] : records)
        if (r.parentID && !records.contains(*r.parentID)) r.parentID.reset();
    return int(removed);
}

namespace {
// Assigns only a different value, and notes that it did.
template<typename T, typename U>
void assign(T &field, U &&value, bool &changed) {
    if (field == value) return;
    field = std::forward<U>(value);
    changed = true;
}
}  // namespace

bool TabRecordBook::recordCreatedTab(const ResolvedTab &tab, const QDateTime &date,
                                     const std::function<std::optional<std::int64_t>(const OndrakeID &)> &windowShowing,
                                     const WindowKeyOf &windowKey) {
    const auto key = windowKey ? std::optional<qint64>(windowKey(tab.windowID)) : std::nullopt;
    if (const auto it = records.find(tab.ondrakeID); it != records.end()) {
        auto &r = it->second;
        bool changed = false;
        assign(r.sessionTabID, std::optional<QString>(tab.sessionTabID), changed);
        assign(r.windowID, std::optional<qint64>(tab.windowID), changed);
        assign(r.index, std::optional<qint64>(tab.index), changed);
        if (key) assign(r.windowKey, key, changed);
        assign(r.url, tab.url, changed);
        assign(r.title, tab.title, changed);
        assign(r.faviconHost, faviconHostOfURLText(tab.url), changed);
        // A record coming back while its parent came back in another window keeps the link: where
        // nothing told twins of two windows apart, or the parent was dragged across while the
        // application was away, a later restart may bring them together, and the child nests again.
        const auto parentWindow = !tab.parentOndrakeID && r.parentID && windowShowing ? windowShowing(*r.parentID) : std::nullopt;
        if (!parentWindow || *parentWindow == tab.windowID) assign(r.parentID, tab.parentOndrakeID, changed);
        assign(r.closedAt, std::optional<QDateTime>(), changed);
        if (tab.isActive) assign(r.lastActivatedAt, std::optional<QDateTime>(date), changed);
        return changed;
    }
    TabRecord r{
        .id = tab.ondrakeID,
        .sessionTabID = tab.sessionTabID,
        .windowID = tab.windowID,
        .index = tab.index,
        .windowKey = key,
        .url = tab.url,
        .title = tab.title,
        .faviconHost = faviconHostOfURLText(tab.url),
        .parentID = tab.parentOndrakeID,
        .createdAt = date,
        .lastActivatedAt = tab.isActive ? std::optional<QDateTime>(date) : std::nullopt,
    };
    records.emplace(tab.ondrakeID, std::move(r));
    return true;
}

namespace {
// The first tab of the snapshot with each identity, indexed on first use: most polls never ask.
class FirstTabs {
public:
    explicit FirstTabs(const std::vector<ResolvedTab> &tabs) : tabs_(tabs) {}
    const ResolvedTab *operator()(const OndrakeID &id) {
        if (!built_) {
            index_.reserve(tabs_.size());
            for (const auto &tab : tabs_) index_.try_emplace(tab.ondrakeID, &tab);
            built_ = true;
        }
        const auto it = index_.find(id);
        return it == index_.end() ? nullptr : it->second;
    }

private:
    const std::vector<ResolvedTab> &tabs_;
    std::unordered_map<OndrakeID, const ResolvedTab *> index_;
    bool built_ = false;
};
}  // namespace

bool TabRecordBook::apply(const std::vector<TabEvent> &events, const std::vector<ResolvedTab> &tabs,
                          const QDateTime &date, bool closedTabHistory, const WindowKeyOf &windowKey) {
    FirstTabs firstTab(tabs);
    const std::function<std::optional<std::int64_t>(const OndrakeID &)> windowShowing = [&](const OndrakeID &id) {
        const auto *tab = firstTab(id);
        return tab ? std::optional<std::int64_t>(tab->windowID) : std::nullopt;
    };
    bool changed = false;
    // The events about one tab mostly come one after another: its record is looked up once.
    std::optional<OndrakeID> lastID;
    auto last = records.end();
    for (const auto &event : events) {
        if (const auto *created = event.as<TabEvent::TabCreated>()) {
            if (const auto *tab = firstTab(created->id)) changed = recordCreatedTab(*tab, date, windowShowing, windowKey) || changed;
            lastID.reset();
            continue;
        }
        const auto id = event.tabID();
        if (!id) continue;
        const auto it = lastID == id ? last : records.find(*id);
        lastID = id;
        last = it;
        if (it == records.end()) continue;
        auto &r = it->second;

        std::visit(
            [&](const auto &e) {
                using Case = std::decay_t<decltype(e)>;
                if constexpr (std::is_same_v<Case, TabEvent::TabClosed>) {
                    if (!closedTabHistory && !r.hasUserState()) {
                        records.erase(it);
                        last = records.end();
                        changed = true;
                        return;
                    }
                    assign(r.closedAt, std::optional<QDateTime>(date), changed);
                    assign(r.sessionTabID, std::optional<QString>(), changed);
                    assign(r.windowID, std::optional<qint64>(), changed);
                } else if constexpr (std::is_same_v<Case, TabEvent::TabActivated>) {
                    assign(r.lastActivatedAt, std::optional<QDateTime>(date), changed);
                } else if constexpr (std::is_same_v<Case, TabEvent::URLChanged>) {
                    assign(r.url, e.to, changed);
                    assign(r.faviconHost, faviconHostOfURLText(e.to), changed);
                } else if constexpr (std::is_same_v<Case, TabEvent::TitleChanged>) {
                    assign(r.title, e.to, changed);
                } else if constexpr (std::is_same_v<Case, TabEvent::TabMovedToWindow>) {
                    assign(r.windowID, std::optional<qint64>(e.to), changed);
                    if (windowKey) assign(r.windowKey, std::optional<qint64>(windowKey(e.to)), changed);
                    if (const auto *tab = firstTab(e.id)) assign(r.index, std::optional<qint64>(tab->index), changed);
                } else if constexpr (std::is_same_v<Case, TabEvent::TabReordered>) {
                    assign(r.index, std::optional<qint64>(e.to), changed);
                } else if constexpr (std::is_same_v<Case, TabEvent::ParentChanged>) {
                    assign(r.parentID, e.to, changed);
                }
            },
            event.payload);
    }
    return changed;
}

}  // namespace ondrake
