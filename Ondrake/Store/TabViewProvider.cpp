#include "Store/TabViewProvider.h"

#include "Ondrake/Model/FaviconHost.h"

#include <QCollator>
#include <QCollatorSortKey>
#include <QHash>
#include <QLocale>

#include <algorithm>
#include <numeric>

namespace ondrake::TabViewProvider {

namespace {

const QString kOther = QStringLiteral("Other");
const QString kUngrouped = QStringLiteral("Ungrouped");
const QString kUngroupedID = QStringLiteral("ungrouped");

TabTreeRow flatRow(const SafariTab &tab) { return TabTreeRow{.tab = tab}; }

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

    // Dates are never later than now here, so "at or after the start of today" is today.
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
    const AgeBoundaries boundaries(now, calendar);
    std::array<std::vector<TabTreeRow>, kAllAgeBuckets.size()> buckets;
    for (const auto &tab : tabs) {
        const TabRecord *found = record ? record(tab.id) : nullptr;
        const AgeBucket bucket = found ? boundaries.bucket(found->createdAt) : AgeBucket::today;
        buckets[std::size_t(bucket)].push_back(flatRow(tab));
    }
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
    std::vector<TabViewSection> sections;  // in the order the hosts are first met
    QHash<QString, std::size_t> sectionOfKey;
    std::optional<TabViewSection> other;
    for (const auto &tab : tabs) {
        const auto host = faviconHost(tab.url);
        if (!host) {
            if (!other) other = TabViewSection{kOther, kOther, {}};
            other->rows.push_back(flatRow(tab));
            continue;
        }
        auto it = sectionOfKey.constFind(*host);
        if (it == sectionOfKey.cend()) {
            it = sectionOfKey.insert(*host, sections.size());
            sections.push_back({*host, *host, {}});
        }
        sections[*it].rows.push_back(flatRow(tab));
    }

    // Sort keys are made once per host; comparing them is far cheaper than collating the texts.
    QCollator collator{naturalOrderLocale()};
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::vector<QCollatorSortKey> keys;
    keys.reserve(sections.size());
    for (const auto &section : sections) keys.push_back(collator.sortKey(section.id));
    std::vector<std::size_t> order(sections.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return keys[a].compare(keys[b]) < 0; });

    std::vector<TabViewSection> sorted;
    sorted.reserve(sections.size() + 1);
    for (const auto i : order) sorted.push_back(std::move(sections[i]));
    if (other) sorted.push_back(std::move(*other));
    return sorted;
}

std::vector<TabViewSection> groupSections(const std::vector<SafariTab> &tabs,
                                          const std::map<TabGroupID, TabGroup> &groups,
                                          const TabRecordLookup &record) {
    std::vector<const TabGroup *> met;
    std::vector<std::vector<TabTreeRow>> rowsOfMet;
    QHash<TabGroupID, std::size_t> indexOfMet;
    std::vector<TabTreeRow> ungrouped;
    for (const auto &tab : tabs) {
        const TabRecord *found = record ? record(tab.id) : nullptr;
        const auto group = found && found->groupID ? groups.find(*found->groupID) : groups.end();
        if (group == groups.end()) {
            ungrouped.push_back(flatRow(tab));
            continue;
        }
        auto it = indexOfMet.constFind(group->first);
        if (it == indexOfMet.cend()) {
            it = indexOfMet.insert(group->first, met.size());
            met.push_back(&group->second);
            rowsOfMet.emplace_back();
        }
        rowsOfMet[*it].push_back(flatRow(tab));
    }

    std::vector<std::size_t> order(met.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return met[a]->sortIndex < met[b]->sortIndex; });

    std::vector<TabViewSection> sections;
    sections.reserve(met.size() + 1);
    for (const auto i : order) sections.push_back({met[i]->id.toString(), met[i]->name, std::move(rowsOfMet[i])});
    if (!ungrouped.empty()) sections.push_back({kUngroupedID, kUngrouped, std::move(ungrouped)});
    return sections;
}

}  // namespace ondrake::TabViewProvider
