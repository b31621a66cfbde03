#pragma once

#include <QByteArray>
#include <QString>
#include <QVariantMap>

#include <optional>

namespace ondrake::PropertyList {

// Reads a property list in XML or binary form whose top level is a dictionary with text keys
// throughout. Values become QString, bool, qint64, double, QDateTime (UTC), QByteArray,
// QVariantList and QVariantMap. Anything else (a missing or unreadable file, malformed or
// hostile bytes, another top level, a key that is not text) reads as nothing.
// A file larger than `maxBytes` (at most 32 MiB) is not read at all.
std::optional<QVariantMap> readDictionary(const QString &path, qint64 maxBytes = 32 * 1024 * 1024);
std::optional<QVariantMap> dictionaryFromData(const QByteArray &data);

}  // namespace ondrake::PropertyList
