#pragma once

#include "FoundationJson.h"

#include <QDateTime>
#include <QString>
#include <QUuid>

#include <optional>

namespace ondrake::wire {

// The same texts as json::formatDate, json::parseDate, json::uuidString and json::parseUuid,
// without the general-purpose machinery: a record file holds tens of thousands of them.
QString dateText(const QDateTime &date);
std::optional<QDateTime> dateFromText(QStringView text);
QString uuidText(const QUuid &uuid);
// Exactly 36 characters, hyphens at 8, 13, 18 and 23, hexadecimal digits of either case.
std::optional<QUuid> uuidFromText(QStringView text);

// Date members with the lenient rule of json::Reader.
std::optional<QDateTime> optionalDate(const json::Reader &reader, const QString &key);
inline QDateTime date(const json::Reader &reader, const QString &key, const QDateTime &fallback) {
    return optionalDate(reader, key).value_or(fallback);
}
QDateTime requiredDate(const json::Reader &reader, const QString &key);
void putDate(QJsonObject &object, const QString &key, const std::optional<QDateTime> &date);

}  // namespace ondrake::wire
