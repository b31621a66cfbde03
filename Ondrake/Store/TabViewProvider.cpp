#include "Store/TabViewProvider.h"

#include "Ondrake/Model/FaviconHost.h"

#include <QCollator>
#include <QCollatorSortKey>
#include "Platform/TextHash.h"

#include <QHash>
#include <QLocale>
#include <QStringList>

#include <algorithm>
#include <numeric>

namespace ondrake::TabViewProvider {

namespace {

const QString kOther = QStringLiteral("Other");
const QString kUngrouped = QStringLiteral("Ungrouped");
const QString kUngroupedID = QStringLiteral("ungrouped");

TabTreeRow flatRow(const SafariTab &tab) { return TabTreeRow{.tab = tab}; }

// The tabs as flat rows in `lists` lists, tab i going to `listOfTab[i]` and keeping its order.
// Each list is sized before it is filled: growing a few long lists row by row costs more than
// making the rows.
std::vector<std::vector<TabTreeRow>> deal(const std::vector<SafariTab> &tabs, const std::vector<std::size_t> &listOfTab,
                                          std::size_t lists) {
    std::vector<std::size_t> counts(lists);
    for (const auto list : listOfTab) ++counts[list];
    std::vector<std::vector<TabTreeRow>> dealt(lists);
    for (std::size_t l = 0; l < lists; ++l) dealt[l].reserve(counts[l]);
    for (std::size_t i = 0; i < tabs.size(); ++i) dealt[listOfTab[i]].push_back(flatRow(tabs[i]));
    return dealt;
}

// The C locale collates by code point and ignores numeric mode, so hosts would sort "10" before
// "9"; a process without a locale gets the root collation instead.
QLocale naturalOrderLocale() {
    const QLocale locale;
    return locale.language() == QLocale::C ? QLocale(QLocale::English) : locale;
}

// The first instants of today, of yesterday and of this week. Every date up to `now` falls into
// a bucket by comparing with them, so a long list costs no calendar arithmetic per tab.
struct AgeBoundaries {
    qint64 today = 0;
    qint64 yesterday = 0;
    qint64 week = 0;

    AgeBoundaries(const QDateTime &now, const Calendar &calendar) {
        const QTimeZone &zone = calendar.timeZone;
        const QDate day = now.toTimeZone(zone).date();
        const auto start = [&](const QDate &d) { return d.startOfDay(zone).toMSecsSinceEpoch(); };
        const int intoWeek = (day.dayOfWeek() - int(calendar.firstDayOfWeek) + 7) % 7;
        today = start(day);
        yesterday = start(day.addDays(-1));
        week = start(day.addDays(-intoWeek));
    }

    // A date after now lies after the start of today as well, so it counts as today, as now would.
    AgeBucket bucket(const QDateTime &date) const {
        if (!date.isValid()) return AgeBucket::today;
        const qint64 ms = date.toMSecsSinceEpoch();
        if (ms >= today) return AgeBucket::today;
        if (ms >= yesterday) return AgeBucket::yesterday;
        if (ms >= week) return AgeBucket::thisWeek;
        return AgeBucket::older;
    }
};

}  // namespace

QString toString(AgeBucket bucket) {
    switch (bucket) {
    case AgeBucket::today: return QStringLiteral("Today");
    case AgeBucket::yesterday: return QStringLiteral("Yesterday");
    case AgeBucket::thisWeek: return QStringLiteral("This Week");
    case AgeBucket::older: return QStringLiteral("Older");
    }
    return QStringLiteral("Older");
}

Calendar Calendar::current() { return Calendar{QTimeZone::systemTimeZone(), QLocale::system().firstDayOfWeek()}; }

AgeBucket ageBucket(const QDateTime &date, const QDateTime &now, const Calendar &calendar) {
    return AgeBoundaries(now, calendar).bucket(date);
}

std::vector<TabViewSection> ageSections(const std::vector<SafariTab> &tabs, const QDateTime &now,
                                        const TabRecordLookup &record, const Calendar &calendar) {
    std::vector<std::optional<QDateTime>> createdAt;
    createdAt.reserve(tabs.size());
    for (const auto &tab : tabs) {
        const TabRecord *found = record ? record(tab.id) : nullptr;
        createdAt.push_back(found ? std::optional<QDateTime>(found->createdAt) : std::nullopt);
    }
    return ageSections(tabs, createdAt, now, calendar);
}

std::vector<TabViewSection> ageSections(const std::vector<SafariTab> &tabs,
                                        const std::vector<std::optional<QDateTime>> &createdAt, const QDateTime &now,
                                        const Calendar &calendar) {
    const AgeBoundaries boundaries(now, calendar);
    std::vector<std::size_t> bucketOfTab;
    bucketOfTab.reserve(tabs.size());
    for (std::size_t i = 0; i < tabs.size(); ++i) {
        const bool dated = i < createdAt.size() && createdAt[i];
        bucketOfTab.push_back(std::size_t(dated ? boundaries.bucket(*createdAt[i]) : AgeBucket::today));
    }
    auto buckets = deal(tabs, bucketOfTab, kAllAgeBuckets.size());

    std::vector<TabViewSection> sections;
    for (const auto bucket : kAllAgeBuckets) {
        auto &rows = buckets[std::size_t(bucket)];
        if (rows.empty()) continue;
        const QString name = toString(bucket);
        sections.push_back({name, name, std::move(rows)});
    }
    return sections;
}

std::vector<TabViewSection> domainSections(const std::vector<SafariTab> &tabs) {
    QStringList hosts;  // in the order first met
    TextMap<std::size_t> indexOfHost;
    std::vector<std::size_t> listOfTab;
    listOfTab.reserve(tabs.size());
    constexpr std::size_t kOtherList = 0;  // the hosts' lists follow it
    for (const auto &tab : tabs) {
        const auto host = faviconHost(tab.url);
        if (!host) {
            listOfTab.push_back(kOtherList);
            continue;
        }
        auto it = indexOfHost.find(*host);
        if (it == indexOfHost.end()) {
            it = indexOfHost.emplace(*host, std::size_t(hosts.size())).first;
            hosts.push_back(*host);
        }
        listOfTab.push_back(it->second + 1);
    }
    auto lists = deal(tabs, listOfTab, std::size_t(hosts.size()) + 1);

    // Sort keys are made once per host; comparing them is far cheaper than collating the texts.
    QCollator collator{naturalOrderLocale()};
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::vector<QCollatorSortKey> keys;
    keys.reserve(std::size_t(hosts.size()));
    for (const auto &host : std::as_const(hosts)) keys.push_back(collator.sortKey(host));
    std::vector<std::size_t> order(keys.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return keys[a].compare(keys[b]) < 0; });

    std::vector<TabViewSection> sections;
    sections.reserve(order.size() + 1);
    for (const auto i : order) sections.push_back({hosts[qsizetype(i)], hosts[qsizetype(i)], std::move(lists[i + 1])});
    if (!lists[kOtherList].empty()) sections.push_back({kOther, kOther, std::move(lists[kOtherList])});
    return sections;
}

std::vector<TabViewSection> groupSections(const std::vector<SafariTab> &tabs,
                                          const std::map<TabGroupID, TabGroup> &groups,
                                          const TabRecordLookup &record) {
    std::vector<std::optional<TabGroupID>> groupOfTab;
    groupOfTab.reserve(tabs.size());
    for (const auto &tab : tabs) {
        const TabRecord *found = record ? record(tab.id) : nullptr;
        groupOfTab.push_back(found ? found->groupID : std::nullopt);
    }
    return groupSections(tabs, groupOfTab, groups);
}

std::vector<TabViewSection> groupSections(const std::vector<SafariTab> &tabs,
                                          const std::vector<std::optional<TabGroupID>> &groupOfTab,
                                          const std::map<TabGroupID, TabGroup> &groups) {
    std::vector<const TabGroup *> met;  // in the order first met
    constexpr std::size_t kUngroupedList = 0;  // the met groups' lists follow it
    QHash<TabGroupID, std::size_t> listOfGroup;  // also remembers ids of deleted groups
    std::vector<std::size_t> listOfTab;
    listOfTab.reserve(tabs.size());
    for (std::size_t i = 0; i < tabs.size(); ++i) {
        if (i >= groupOfTab.size() || !groupOfTab[i]) {
            listOfTab.push_back(kUngroupedList);
            continue;
        }
        const TabGroupID &groupID = *groupOfTab[i];
        auto it = listOfGroup.constFind(groupID);
        if (it == listOfGroup.cend()) {
            const auto group = groups.find(groupID);
            std::size_t list = kUngroupedList;
            if (group != groups.end()) {
                met.push_back(&group->second);
                list = met.size();
            }
            it = listOfGroup.insert(groupID, list);
        }
        listOfTab.push_back(*it);
    }
    auto lists = deal(tabs, listOfTab, met.size() + 1);

    std::vector<std::size_t> order(met.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return met[a]->sortIndex < met[b]->sortIndex; });

    std::vector<TabViewSection> sections;
    sections.reserve(met.size() + 1);
    for (const auto i : order) sections.push_back({met[i]->id.toString(), met[i]->name, std::move(lists[i + 1])});
    if (!lists[kUngroupedList].empty())
        sections.push_back({kUngroupedID, kUngrouped, std::move(lists[kUngroupedList])});
    return sections;
}

}  // namespace ondrake::TabViewProvider
