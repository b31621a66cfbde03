#include "Store/TabViewProvider.h"

#include "Browser/BrowserURL.h"
#include "FixedIdentities.h"

#include <QHash>
#include <QTimeZone>

#include <gtest/gtest.h>

using namespace ondrake;
using namespace ondrake::TabViewProvider;

namespace {

const QTimeZone kBerlin("Europe/Berlin");

QDateTime berlin(int year, int month, int day, int hour, int minute = 0, int second = 0) {
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second), kBerlin);
}

SafariTab tab(const QString &id, const QString &url = {}) {
    SafariTab t;
    t.id = id;
    t.windowID = 1;
    t.title = id;
    t.url = parseURL(url);
    return t;
}

using test::gid;
using test::rid;

// Records by session id, as the store would answer them.
struct Records {
    QHash<QString, TabRecord> bySession;

    void add(const QString &session, QDateTime createdAt, std::optional<TabGroupID> group = std::nullopt) {
        bySession.insert(session, TabRecord{.id = rid(int(bySession.size()) + 1),
                                            .sessionTabID = session,
                                            .groupID = group,
                                            .createdAt = std::move(createdAt)});
    }
    TabRecordLookup lookup() const {
        return [this](const QString &id) {
            const auto it = bySession.constFind(id);
            return it == bySession.cend() ? nullptr : &*it;
        };
    }
};

// Each section as its id, its title and the ids of its tabs.
struct Shown {
    QString id;
    QString title;
    QStringList tabs;
    bool operator==(const Shown &) const = default;
    friend std::ostream &operator<<(std::ostream &os, const Shown &s) {
        return os << s.id.toStdString() << " \"" << s.title.toStdString() << "\" [" << s.tabs.join(',').toStdString()
                  << "]";
    }
};

std::vector<Shown> shown(const std::vector<TabViewSection> &sections) {
    std::vector<Shown> out;
    for (const auto &section : sections) {
        Shown s{section.id, section.title, {}};
        for (const auto &row : section.rows) {
            s.tabs << row.tab.id;
            EXPECT_EQ(row, TabTreeRow{.tab = row.tab}) << "rows of a flat arrangement are flat";
        }
        out.push_back(std::move(s));
    }
    return out;
}

TEST(AgeBucket, DaysAndWeeks) {
    const Calendar monday{kBerlin, Qt::Monday};
    const Calendar sunday{kBerlin, Qt::Sunday};
    // 1 March 2025 is a Saturday; 1 January 2026 a Thursday.
    struct Case {
        const char *what;
        QDateTime date;
        QDateTime now;
        Calendar calendar;
        AgeBucket expected;
    };
    const Case cases[] = {
        {"a minute after midnight, a minute before the next", berlin(2025, 3, 5, 0, 1), berlin(2025, 3, 5, 23, 59),
         monday, AgeBucket::today},
        {"just after that midnight", berlin(2025, 3, 5, 0, 1), berlin(2025, 3, 6, 0, 0, 30), monday,
         AgeBucket::yesterday},
        {"the last second of the day before yesterday", berlin(2025, 3, 4, 23, 59, 59), berlin(2025, 3, 6, 8), monday,
         AgeBucket::thisWeek},
        {"the future counts as now", berlin(2025, 3, 9, 12), berlin(2025, 3, 5, 12), monday, AgeBucket::today},
        {"no date at all counts as now", QDateTime(), berlin(2025, 3, 5, 12), monday, AgeBucket::today},
        {"days begin in the calendar's zone, not in UTC", QDateTime(QDate(2025, 3, 4), QTime(23, 30), Qt::UTC),
         berlin(2025, 3, 5, 9), monday, AgeBucket::today},
        {"Monday weeks: Saturday seen on Monday", berlin(2025, 3, 1, 12), berlin(2025, 3, 3, 10), monday,
         AgeBucket::older},
        {"Monday weeks: Sunday seen on Monday is yesterday, across the week", berlin(2025, 3, 2, 12),
         berlin(2025, 3, 3, 10), monday, AgeBucket::yesterday},
        {"Monday weeks: Monday seen on Wednesday", berlin(2025, 3, 3, 0, 0), berlin(2025, 3, 5, 10), monday,
         AgeBucket::thisWeek},
        {"Monday weeks: Sunday seen on Wednesday", berlin(2025, 3, 2, 23, 59), berlin(2025, 3, 5, 10), monday,
         AgeBucket::older},
        {"Sunday weeks: Sunday seen on Wednesday", berlin(2025, 3, 2, 0, 0), berlin(2025, 3, 5, 10), sunday,
         AgeBucket::thisWeek},
        {"Sunday weeks: Saturday seen on Wednesday", berlin(2025, 3, 1, 23, 59), berlin(2025, 3, 5, 10), sunday,
         AgeBucket::older},
        {"Monday weeks: Friday seen on Sunday", berlin(2025, 2, 28, 12), berlin(2025, 3, 2, 10), monday,
         AgeBucket::thisWeek},
        {"Sunday weeks: Friday seen on Sunday", berlin(2025, 2, 28, 12), berlin(2025, 3, 2, 10), sunday,
         AgeBucket::older},
        {"a week that spans New Year", berlin(2025, 12, 29, 9), berlin(2026, 1, 1, 9), monday, AgeBucket::thisWeek},
        {"a year ago, same week number", berlin(2024, 3, 5, 9), berlin(2025, 3, 5, 9), monday, AgeBucket::older},
        {"a day that starts late after a clock change",
         QDateTime(QDate(2018, 11, 4), QTime(1, 30), QTimeZone("America/Sao_Paulo")),
         QDateTime(QDate(2018, 11, 4), QTime(12, 0), QTimeZone("America/Sao_Paulo")),
         Calendar{QTimeZone("America/Sao_Paulo"), Qt::Sunday}, AgeBucket::today},
        {"the evening before that day", QDateTime(QDate(2018, 11, 3), QTime(23, 30), QTimeZone("America/Sao_Paulo")),
         QDateTime(QDate(2018, 11, 4), QTime(12, 0), QTimeZone("America/Sao_Paulo")),
         Calendar{QTimeZone("America/Sao_Paulo"), Qt::Sunday}, AgeBucket::yesterday},
    };
    for (const auto &c : cases) EXPECT_EQ(ageBucket(c.date, c.now, c.calendar), c.expected) << c.what;
}

TEST(AgeSections, BucketsInOrderWithoutEmptyOnes) {
    const Calendar calendar{kBerlin, Qt::Monday};
    const QDateTime now = berlin(2025, 3, 5, 15);  // a Wednesday
    Records records;
    records.add("tab-old", berlin(2024, 12, 1, 9));
    records.add("tab-yesterday", berlin(2025, 3, 4, 9));
    records.add("tab-old2", berlin(2025, 3, 2, 9));
    records.add("tab-yesterday2", berlin(2025, 3, 4, 20));
    const std::vector<SafariTab> tabs{tab("tab-old"), tab("tab-yesterday"), tab("tab-old2"), tab("tab-yesterday2")};
    EXPECT_EQ(shown(ageSections(tabs, now, records.lookup(), calendar)),
              (std::vector<Shown>{{"Yesterday", "Yesterday", {"tab-yesterday", "tab-yesterday2"}},
                                  {"Older", "Older", {"tab-old", "tab-old2"}}}));

    records.add("tab-week", berlin(2025, 3, 3, 9));
    records.add("tab-today", berlin(2025, 3, 5, 9));
    const std::vector<SafariTab> all{tab("tab-norecord"), tab("tab-week"), tab("tab-old"), tab("tab-today"),
                                     tab("tab-yesterday")};
    EXPECT_EQ(shown(ageSections(all, now, records.lookup(), calendar)),
              (std::vector<Shown>{{"Today", "Today", {"tab-norecord", "tab-today"}},
                                  {"Yesterday", "Yesterday", {"tab-yesterday"}},
                                  {"This Week", "This Week", {"tab-week"}},
                                  {"Older", "Older", {"tab-old"}}}));
}

TEST(FlatArrangements, NoTabsNoSections) {
    const Records records;
    EXPECT_TRUE(ageSections({}, berlin(2025, 3, 5, 15), records.lookup(), Calendar{kBerlin, Qt::Monday}).empty());
    EXPECT_TRUE(domainSections({}).empty());
    EXPECT_TRUE(groupSections({}, {{gid(1), TabGroup{.id = gid(1), .name = "Work"}}}, records.lookup()).empty());
}

TEST(DomainSections, HostsInNaturalOrderOtherLast) {
    const std::vector<SafariTab> tabs{
        tab("tab-1", "https://www.Example.com/a"),
        tab("tab-2", "file:///Users/me/notes.txt"),
        tab("tab-3", "https://server10.example/"),
        tab("tab-4", "http://EXAMPLE.com/b"),
        tab("tab-5", "favorites://"),
        tab("tab-6", "https://server9.example/"),
        tab("tab-7"),
        tab("tab-8", "https://zeta.example/"),
        tab("tab-9", "https://apple.example/"),
        tab("tab-10", "https://example.com/c"),
    };
    EXPECT_EQ(shown(domainSections(tabs)), (std::vector<Shown>{
                                               {"apple.example", "apple.example", {"tab-9"}},
                                               {"example.com", "example.com", {"tab-1", "tab-4", "tab-10"}},
                                               {"server9.example", "server9.example", {"tab-6"}},
                                               {"server10.example", "server10.example", {"tab-3"}},
                                               {"zeta.example", "zeta.example", {"tab-8"}},
                                               {"Other", "Other", {"tab-2", "tab-5", "tab-7"}},
                                           }));
}

TEST(DomainSections, NumbersCompareByValueAnywhere) {
    const std::vector<SafariTab> tabs{tab("a", "https://v100.a2.example/"), tab("b", "https://v20.a10.example/"),
                                      tab("c", "https://v20.a2.example/"), tab("d", "https://v3.a1.example/")};
    QStringList order;
    for (const auto &section : domainSections(tabs)) order << section.id;
    EXPECT_EQ(order.join(' ').toStdString(), "v3.a1.example v20.a2.example v20.a10.example v100.a2.example");
}

TEST(GroupSections, BySortIndexThenFirstMet) {
    std::map<TabGroupID, TabGroup> groups;
    const auto group = [&](int n, const char *name, qint64 sortIndex) {
        groups[gid(n)] = TabGroup{.id = gid(n), .name = name, .sortIndex = sortIndex};
    };
    group(1, "Reading", 1);
    group(2, "Work", 0);
    group(3, "Empty", -1);
    group(4, "Later A", 5);
    group(5, "Later B", 5);
    Records records;
    records.add("tab-r", {}, gid(1));
    records.add("tab-lb", {}, gid(5));
    records.add("tab-w", {}, gid(2));
    records.add("tab-gone", {}, gid(9));  // its group was deleted
    records.add("tab-plain", {});
    records.add("tab-la", {}, gid(4));
    records.add("tab-w2", {}, gid(2));
    const std::vector<SafariTab> tabs{tab("tab-r"),  tab("tab-lb"),   tab("tab-w"),  tab("tab-gone"),
                                      tab("tab-none"), tab("tab-plain"), tab("tab-la"), tab("tab-w2")};
    EXPECT_EQ(shown(groupSections(tabs, groups, records.lookup())),
              (std::vector<Shown>{
                  {gid(2).toString(), "Work", {"tab-w", "tab-w2"}},
                  {gid(1).toString(), "Reading", {"tab-r"}},
                  {gid(5).toString(), "Later B", {"tab-lb"}},
                  {gid(4).toString(), "Later A", {"tab-la"}},
                  {"ungrouped", "Ungrouped", {"tab-gone", "tab-none", "tab-plain"}},
              }));

    const std::vector<SafariTab> grouped{tab("tab-la"), tab("tab-r")};
    EXPECT_EQ(shown(groupSections(grouped, groups, records.lookup())),
              (std::vector<Shown>{{gid(1).toString(), "Reading", {"tab-r"}},
                                  {gid(4).toString(), "Later A", {"tab-la"}}}));
}

}  // namespace
