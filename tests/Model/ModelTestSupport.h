#pragma once

#include "FoundationJson.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <gtest/gtest.h>

namespace ondrake::test {

// A whole-second UTC instant, "2025-03-01T09:30:00Z" by default.
inline QDateTime utc(int year = 2025, int month = 3, int day = 1, int hour = 9, int minute = 30, int second = 0) {
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second), Qt::UTC);
}

// Parses a JSON text written in a test; fails the test when it does not parse.
inline QJsonValue jsonValue(const char *text) {
    const QByteArray wrapped = QByteArray("[") + text + "]";
    QString error;
    const auto document = json::parse(wrapped, &error);
    EXPECT_TRUE(document.has_value()) << error.toStdString() << " in " << text;
    return document ? document->array().at(0) : QJsonValue();
}

inline QJsonObject jsonObject(const char *text) { return jsonValue(text).toObject(); }

inline QString written(const QJsonValue &value) { return QString::fromUtf8(json::write(value)); }

}  // namespace ondrake::test

// Readable failure messages for Qt values.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &text, std::ostream *os) { *os << '"' << text.toStdString() << '"'; }
inline void PrintTo(const QDateTime &date, std::ostream *os) { *os << date.toString(Qt::ISODateWithMs).toStdString(); }
QT_END_NAMESPACE
