#pragma once

#include "Store/TabRecordLookup.h"
#include "Store/TabViewSection.h"

#include "Browser/SafariTab.h"
#include "Ondrake/Model/TabGroup.h"

#include <QDateTime>
#include <QString>
#include <QTimeZone>

#include <array>
#include <map>
#include <optional>
#include <vector>

namespace ondrake::TabViewProvider {

// The sections of the flat arrangements. Tabs keep the order they are given in within every
// section; nothing here keeps state.

enum class AgeBucket { today, yesterday, thisWeek, older };

inline constexpr std::array<AgeBucket, 4> kAllAgeBuckets = {AgeBucket::today, AgeBucket::yesterday,
                                                            AgeBucket::thisWeek, AgeBucket::older};

// "Today", "Yesterday", "This Week", "Older": both the section's id and its title.
QString toString(AgeBucket bucket);

// The calendar rules the age arrangement needs: where days begin and which day starts a week.
struct Calendar {
    QTimeZone timeZone = QTimeZone::utc();
    Qt::DayOfWeek firstDayOfWeek = Qt::Monday;

    // The user's: the system time zone and the system locale's first day of the week.
    static Calendar current();
};

// A date after `now` counts as now. The day before today is always "Yesterday", even in the
// previous week; a week that spans New Year is still one week.
AgeBucket ageBucket(const QDateTime &date, const QDateTime &now, const Calendar &calendar);

// Buckets by the creation date of each tab's record; a tab without one counts as made now.
// Buckets without tabs get no section.
std::vector<TabViewSection> ageSections(const std::vector<SafariTab> &tabs, const QDateTime &now,
                                        const TabRecordLookup &record,
                                        const Calendar &calendar = Calendar::current());

// The same, with each tab's creation date given beside it (none: made now), for callers that
// know the dates without a record lookup per tab.
std::vector<TabViewSection> ageSections(const std::vector<SafariTab> &tabs,
                                        const std::vector<std::optional<QDateTime>> &createdAt, const QDateTime &now,
                                        const Calendar &calendar = Calendar::current());

// One section per favicon host in natural order ("Other", for tabs without one, last).
std::vector<TabViewSection> domainSections(const std::vector<SafariTab> &tabs);

// One section per group that has a tab here, by sort index, then "Ungrouped" when needed.
std::vector<TabViewSection> groupSections(const std::vector<SafariTab> &tabs,
                                          const std::map<TabGroupID, TabGroup> &groups,
                                          const TabRecordLookup &record);

// The same, with each tab's group given beside it.
std::vector<TabViewSection> groupSections(const std::vector<SafariTab> &tabs,
                                          const std::vector<std::optional<TabGroupID>> &groupOfTab,
                                          const std::map<TabGroupID, TabGroup> &groups);

}  // namespace ondrake::TabViewProvider
