#pragma once

#include "Browser/BrowserURL.h"
#include "Browser/SafariTab.h"
#include "Ondrake/Model/TabGroup.h"
#include "Ondrake/Model/TabRecord.h"
#include "Store/TabRecordLookup.h"

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <map>
#include <random>
#include <vector>

namespace ondrake::bench {

// A long, mixed session as the sidebar would list it: tabs of a few hundred sites with Latin
// titles (dashes, accents) and some CJK ones, about half of them in one of 20 groups, some with
// text metadata, created over the last two months. The same every run.
struct TabCorpus {
    std::vector<SafariTab> tabs;
    QHash<QString, TabRecord> records;  // by session id
    std::map<TabGroupID, TabGroup> groups;
    QDateTime now = QDateTime(QDate(2026, 3, 18), QTime(15, 0), Qt::UTC);

    explicit TabCorpus(std::int64_t count) {
        std::mt19937 random(20260318);
        const auto pick = [&](const QStringList &list) { return list[int(random() % std::uint32_t(list.size()))]; };
        const QStringList words{"Release", "notes", "Kubernetes", "deployment", "guide", "Café", "menu", "weather",
                                "forecast", "pull", "request", "review", "issue", "tracker", "design", "Über",
                                "uns", "recipe", "pasta", "invoice", "budget", "quarterly", "report", "news",
                                "football", "results", "travel", "booking", "hotel", "documentation"};
        const QStringList cjk{"東京の天気予報", "ニュース速報", "料理のレシピ", "旅行の予約"};
        const QStringList sites{"github", "docs", "news", "mail", "wiki", "shop", "maps", "blog", "forum", "cloud"};
        const QStringList tlds{"com", "org", "example", "de", "io"};
        const QStringList groupNames{"Work", "Reading", "Travel", "Recipes", "Research", "Shopping", "Finance",
                                     "Sport", "News", "Projects"};

        for (int g = 0; g < 20; ++g) {
            TabGroup group;
            group.name = groupNames[g % groupNames.size()] + (g >= groupNames.size() ? QStringLiteral(" 2") : QString());
            group.sortIndex = (g * 7) % 20;
            group.createdAt = now;
            groups.emplace(group.id, group);
        }
        std::vector<TabGroupID> groupIDs;
        for (const auto &[id, group] : groups) groupIDs.push_back(id);

        for (std::int64_t i = 0; i < count; ++i) {
            const QString host = QStringLiteral("%1%2.%3").arg(pick(sites)).arg(random() % 40).arg(pick(tlds));
            QString title;
            if (random() % 20 == 0) {
                title = pick(cjk) + QStringLiteral(" | ") + host;
            } else {
                title = pick(words) + u' ' + pick(words) + QStringLiteral(" — ") + pick(words) + u' ' + pick(words);
            }
            const QString url = QStringLiteral("https://%1%2/%3/%4?id=%5")
                                    .arg(random() % 3 == 0 ? QStringLiteral("www.") : QString(), host,
                                         pick(words).toLower(), pick(words).toLower())
                                    .arg(i);

            SafariTab tab;
            tab.id = QStringLiteral("tab-%1").arg(i + 1);
            tab.windowID = 100 + i % 5;
            tab.index = i / 5 + 1;
            tab.title = title;
            tab.url = parseURL(url);
            tabs.push_back(tab);

            TabRecord record;
            record.sessionTabID = tab.id;
            record.url = url;
            record.title = title;
            record.createdAt = now.addSecs(-std::int64_t(random() % (60 * 86400)));
            if (random() % 2 == 0) record.groupID = groupIDs[random() % groupIDs.size()];
            if (random() % 3 == 0) record.metadata.emplace(QStringLiteral("note"), pick(words) + u' ' + pick(words));
            if (random() % 5 == 0) record.metadata.emplace(QStringLiteral("visits"), std::int64_t(random() % 100));
            records.insert(tab.id, record);
        }
    }

    TabRecordLookup lookup() const {
        return [this](const QString &id) {
            const auto it = records.constFind(id);
            return it == records.cend() ? nullptr : &*it;
        };
    }
};

}  // namespace ondrake::bench
