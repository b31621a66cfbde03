#pragma once

#include "Sync/ResolvedSnapshot.h"
#include "Sync/TabEvent.h"

#include "Browser/BrowserURL.h"
#include "Browser/SafariTab.h"
#include "FixedIdentities.h"
#include "Ondrake/Model/TabRecord.h"

#include <QDateTime>
#include <QString>

#include <gtest/gtest.h>

#include <ostream>

namespace ondrake::test {

// Whole-second UTC instants from a fixed origin, so dates read as offsets in a test.
inline QDateTime at(qint64 seconds) {
    return QDateTime(QDate(2025, 3, 1), QTime(9, 0), Qt::UTC).addSecs(seconds);
}

// An open, unbound record with a title and an address; change the rest in place.
inline TabRecord record(const OndrakeID &id, const QString &title = QStringLiteral("Page"),
                        std::optional<QString> url = QStringLiteral("https://page.example/")) {
    return TabRecord{.id = id, .url = std::move(url), .title = title, .createdAt = at(0)};
}

inline ResolvedTab resolved(const OndrakeID &id, std::int64_t windowID, std::int64_t index, bool active = false,
                            const QString &title = QStringLiteral("Page"),
                            std::optional<QString> url = QStringLiteral("https://page.example/"),
                            std::optional<OndrakeID> parent = std::nullopt) {
    return ResolvedTab{.ondrakeID = id,
                       .sessionTabID = QStringLiteral("tab-%1").arg(index),
                       .windowID = windowID,
                       .index = index,
                       .title = title,
                       .url = std::move(url),
                       .isActive = active,
                       .parentOndrakeID = parent};
}

inline SafariTab safariTab(const QString &id, std::int64_t windowID, std::int64_t index, const QString &title,
                           const QString &url, bool active = false, std::optional<QString> parent = std::nullopt) {
    return SafariTab{id, windowID, index, title, parseURL(url), active, std::move(parent)};
}

inline SafariWindow safariWindow(std::int64_t id, std::vector<SafariTab> tabs, std::int64_t index = 1) {
    return SafariWindow{id, index, index == 1, std::move(tabs)};
}

std::string describe(const TabEvent &event);
std::string describe(const ResolvedTab &tab);

}  // namespace ondrake::test

namespace ondrake {
inline void PrintTo(const TabEvent &event, std::ostream *os) { *os << test::describe(event); }
inline void PrintTo(const ResolvedTab &tab, std::ostream *os) { *os << test::describe(tab); }
inline void PrintTo(const OndrakeID &id, std::ostream *os) { *os << id.toString().right(4).toStdString(); }
}  // namespace ondrake

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &text, std::ostream *os) { *os << '"' << text.toStdString() << '"'; }
inline void PrintTo(const QDateTime &date, std::ostream *os) { *os << date.toString(Qt::ISODate).toStdString(); }
QT_END_NAMESPACE
