#include "Ondrake/Model/TabMetadataValue.h"

#include "FoundationJson.h"
#include "Ondrake/Model/Hashing.h"
#include "Ondrake/Model/JsonOutput.h"

#include <QJsonArray>
#include <QJsonObject>

#include <algorithm>
#include <cmath>

namespace ondrake {

namespace {

template<typename... F>
struct Overloaded : F... {
    using F::operator()...;
};

QString elementPath(const QString &path, qsizetype index) {
    return path + QStringLiteral("[%1]").arg(index);
}

QString memberPath(const QString &path, const QString &key) {
    return path.isEmpty() ? key : path + QLatin1Char('.') + key;
}

}  // namespace

QJsonValue TabMetadataValue::toJson() const {
    return std::visit(
        Overloaded{
            [](const QString &v) { return QJsonValue(v); },
            [](qint64 v) { return QJsonValue(v); },
            [](double v) { return std::isfinite(v) ? QJsonValue(v) : QJsonValue(QJsonValue::Null); },
            [](bool v) { return QJsonValue(v); },
            [](const QDateTime &v) { return QJsonValue(double(v.toMSecsSinceEpoch()) / 1000.0); },
            [](const Array &v) {
                QJsonArray array;
                for (const auto &element : v) array.append(element.toJson());
                return QJsonValue(array);
            },
            [](const Object &v) { return QJsonValue(metadataToJson(v)); },
            [](Null) { return QJsonValue(QJsonValue::Null); },
        },
        storage_);
}

TabMetadataValue TabMetadataValue::fromJson(const QJsonValue &value, const QString &path) {
    switch (value.type()) {
    case QJsonValue::Null: return {};
    case QJsonValue::Bool: return value.toBool();
    case QJsonValue::Double:
        if (const auto integer = json::integerValue(value)) return *integer;
        return value.toDouble();
    case QJsonValue::String: return value.toString();
    case QJsonValue::Array: {
        const QJsonArray array = value.toArray();
        Array elements;
        elements.reserve(std::size_t(array.size()));
        for (qsizetype i = 0; i < array.size(); ++i) elements.push_back(fromJson(array.at(i), elementPath(path, i)));
        return elements;
    }
    case QJsonValue::Object: return metadataFromJson(value.toObject(), path);
    case QJsonValue::Undefined: break;
    }
    throw json::DecodingError(path, QStringLiteral("Unrecognised metadata value"));
}

void TabMetadataValue::write(JsonOutput &out) const {
    std::visit(Overloaded{
                   [&](const QString &v) { out.string(v); },
                   [&](qint64 v) { out.integer(v); },
                   [&](double v) { out.number(v); },
                   [&](bool v) { out.boolean(v); },
                   [&](const QDateTime &v) { out.number(double(v.toMSecsSinceEpoch()) / 1000.0); },
                   [&](const Array &v) {
                       out.beginArray();
                       for (const auto &element : v) element.write(out);
                       out.endArray();
                   },
                   [&](const Object &v) { writeMetadata(out, v); },
                   [&](Null) { out.null(); },
               },
               storage_);
}

void writeMetadata(JsonOutput &out, const TabMetadata &metadata) {
    // The map orders keys by UTF-16 code units, the file by UTF-8 bytes; they differ only when a
    // key holds a character beyond the basic plane.
    const bool mapOrderIsFileOrder = std::none_of(metadata.begin(), metadata.end(), [](const auto &entry) {
        return std::any_of(entry.first.begin(), entry.first.end(), [](QChar c) { return c.isSurrogate(); });
    });
    out.beginObject();
    if (mapOrderIsFileOrder) {
        for (const auto &[key, value] : metadata) {
            out.key(key);
            value.write(out);
        }
    } else {
        std::vector<std::pair<QByteArray, const TabMetadata::value_type *>> entries;
        for (const auto &entry : metadata) entries.emplace_back(entry.first.toUtf8(), &entry);
        std::sort(entries.begin(), entries.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
        for (const auto &[utf8, entry] : entries) {
            out.key(entry->first);
            entry->second.write(out);
        }
    }
    out.endObject();
}

QJsonObject metadataToJson(const TabMetadata &metadata) {
    QJsonObject object;
    for (const auto &[key, value] : metadata) object.insert(key, value.toJson());
    return object;
}

TabMetadata metadataFromJson(const QJsonObject &object, const QString &path) {
    TabMetadata metadata;
    for (auto it = object.begin(); it != object.end(); ++it)
        metadata.emplace_hint(metadata.end(), it.key(), TabMetadataValue::fromJson(it.value(), memberPath(path, it.key())));
    return metadata;
}

std::size_t qHash(const TabMetadataValue &value, std::size_t seed) noexcept {
    Hasher hasher(seed);
    hasher.add(qint64(value.storage().index()));
    std::visit(Overloaded{
                   [&](const QString &v) { hasher.add(v); },
                   [&](qint64 v) { hasher.add(v); },
                   [&](double v) { hasher.add(v == 0 ? 0.0 : v); },  // 0.0 and -0.0 are equal
                   [&](bool v) { hasher.add(v); },
                   [&](const QDateTime &v) { hasher.add(v.toMSecsSinceEpoch()); },
                   [&](const TabMetadataValue::Array &v) {
                       hasher.add(qint64(v.size()));
                       for (const auto &element : v) hasher.mix(qHash(element));
                   },
                   [&](const TabMetadataValue::Object &v) { hasher.mix(qHash(v)); },
                   [](TabMetadataValue::Null) {},
               },
               value.storage());
    return hasher.value();
}

std::size_t qHash(const TabMetadata &metadata, std::size_t seed) noexcept {
    std::size_t combined = 0;
    for (const auto &[key, value] : metadata) combined += Hasher().add(key).mix(qHash(value)).value();
    return Hasher(seed).add(qint64(metadata.size())).mix(combined).value();
}

}  // namespace ondrake
