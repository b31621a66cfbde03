#include "FoundationJson.h"

#include <QRegularExpression>
#include <QTimeZone>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <vector>

namespace ondrake::json {

namespace {

void writeString(QByteArray &out, const QString &text) {
    static const char hex[] = "0123456789abcdef";
    out += '"';
    for (const char c : text.toUtf8()) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '/': out += "\\/"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                out += "\\u00";
                out += hex[(c >> 4) & 0xF];
                out += hex[c & 0xF];
            } else {
                out += c;
            }
        }
    }
    out += '"';
}

void writeDouble(QByteArray &out, double d) {
    if (!std::isfinite(d)) {
        out += "null";
        return;
    }
    constexpr double kInt64Limit = 9223372036854775808.0;  // 2^63
    if (d == std::trunc(d) && std::fabs(d) < kInt64Limit) {
        out += QByteArray::number(static_cast<qint64>(d));
        return;
    }
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, d);
    out.append(buffer, result.ptr - buffer);
}

void writeNumber(QByteArray &out, const QJsonValue &value) {
    // Qt keeps integers that fit in 64 bits exact; only true doubles go through the double path.
    const QVariant variant = value.toVariant();
    if (variant.typeId() == QMetaType::LongLong || variant.typeId() == QMetaType::Int) {
        out += QByteArray::number(variant.toLongLong());
        return;
    }
    writeDouble(out, value.toDouble());
}

void indent(QByteArray &out, int depth) { out.append(QByteArray(depth * 2, ' ')); }

void writeValue(QByteArray &out, const QJsonValue &value, int depth) {
    switch (value.type()) {
    case QJsonValue::Null:
    case QJsonValue::Undefined: out += "null"; break;
    case QJsonValue::Bool: out += value.toBool() ? "true" : "false"; break;
    case QJsonValue::Double: writeNumber(out, value); break;
    case QJsonValue::String: writeString(out, value.toString()); break;
    case QJsonValue::Array: {
        const QJsonArray array = value.toArray();
        out += "[\n";
        if (array.isEmpty()) out += '\n';
        for (qsizetype i = 0; i < array.size(); ++i) {
            indent(out, depth + 1);
            writeValue(out, array.at(i), depth + 1);
            out += i + 1 < array.size() ? ",\n" : "\n";
        }
        indent(out, depth);
        out += ']';
        break;
    }
    case QJsonValue::Object: {
        const QJsonObject object = value.toObject();
        std::vector<std::pair<QByteArray, QString>> keys;
        keys.reserve(std::size_t(object.size()));
        for (auto it = object.begin(); it != object.end(); ++it) keys.emplace_back(it.key().toUtf8(), it.key());
        std::sort(keys.begin(), keys.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
        out += "{\n";
        if (keys.empty()) out += '\n';
        for (std::size_t i = 0; i < keys.size(); ++i) {
            indent(out, depth + 1);
            writeString(out, keys[i].second);
            out += " : ";
            writeValue(out, object.value(keys[i].second), depth + 1);
            out += i + 1 < keys.size() ? ",\n" : "\n";
        }
        indent(out, depth);
        out += '}';
        break;
    }
    }
}

}  // namespace

QByteArray write(const QJsonValue &value) {
    QByteArray out;
    writeValue(out, value, 0);
    return out;
}

DecodingError::DecodingError(const QString &path, const QString &message)
    : std::runtime_error((path.isEmpty() ? message : path + QStringLiteral(": ") + message).toStdString()),
      path_(path), message_(message) {}

std::optional<QJsonDocument> parse(const QByteArray &bytes, QString *error) {
    QJsonParseError parseError{};
    QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        if (error) *error = parseError.errorString();
        return std::nullopt;
    }
    return document;
}

std::optional<qint64> integerValue(const QJsonValue &value) {
    if (value.type() != QJsonValue::Double) return std::nullopt;
    const QVariant variant = value.toVariant();
    if (variant.typeId() == QMetaType::LongLong || variant.typeId() == QMetaType::Int) return variant.toLongLong();
    const double d = value.toDouble();
    constexpr double kInt64Limit = 9223372036854775808.0;  // 2^63
    if (!std::isfinite(d) || d != std::trunc(d) || d < -kInt64Limit || d >= kInt64Limit) return std::nullopt;
    return static_cast<qint64>(d);
}

QString formatDate(const QDateTime &date) {
    const qint64 ms = date.toMSecsSinceEpoch();
    const qint64 seconds = ms >= 0 ? ms / 1000 : -((-ms + 999) / 1000);
    return QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC).toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss'Z'"));
}

std::optional<QDateTime> parseDate(QStringView text) {
    static const QRegularExpression pattern(QStringLiteral(
        R"(^(\d{4})-(\d{2})-(\d{2})T(\d{2}):(\d{2}):(\d{2})(Z|([+-])(\d{2}):?(\d{2}))$)"));
    const auto match = pattern.match(text);
    if (!match.hasMatch()) return std::nullopt;
    const QDate day(match.capturedView(1).toInt(), match.capturedView(2).toInt(), match.capturedView(3).toInt());
    const QTime time(match.capturedView(4).toInt(), match.capturedView(5).toInt(), match.capturedView(6).toInt());
    if (!day.isValid() || !time.isValid()) return std::nullopt;
    QDateTime result(day, time, Qt::UTC);
    if (match.capturedView(7) != u"Z") {
        const int hours = match.capturedView(9).toInt();
        const int minutes = match.capturedView(10).toInt();
        if (hours > 23 || minutes > 59) return std::nullopt;
        const int offset = (hours * 3600 + minutes * 60) * (match.capturedView(8) == u"-" ? -1 : 1);
        result = result.addSecs(-offset);
    }
    return result;
}

QString uuidString(const QUuid &uuid) { return uuid.toString(QUuid::WithoutBraces).toUpper(); }

std::optional<QUuid> parseUuid(QStringView text) {
    static const QRegularExpression pattern(
        QStringLiteral("^[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}$"));
    if (!pattern.match(text).hasMatch()) return std::nullopt;
    return QUuid::fromString(text);
}

QString typeName(const QJsonValue &value) {
    switch (value.type()) {
    case QJsonValue::Null: return QStringLiteral("null");
    case QJsonValue::Bool: return QStringLiteral("bool");
    case QJsonValue::Double: return QStringLiteral("number");
    case QJsonValue::String: return QStringLiteral("string");
    case QJsonValue::Array: return QStringLiteral("array");
    case QJsonValue::Object: return QStringLiteral("object");
    case QJsonValue::Undefined: break;
    }
    return QStringLiteral("nothing");
}

Reader::Reader(QJsonObject object, QString path) : object_(std::move(object)), path_(std::move(path)) {}

Reader Reader::of(const QJsonValue &value, const QString &path) {
    if (!value.isObject())
        throw DecodingError(path, QStringLiteral("Expected to decode object but found %1 instead.").arg(typeName(value)));
    return Reader(value.toObject(), path);
}

QString Reader::pathOf(const QString &key) const { return path_.isEmpty() ? key : path_ + QLatin1Char('.') + key; }

bool Reader::has(const QString &key) const {
    const auto it = object_.constFind(key);
    return it != object_.constEnd() && !it->isNull() && !it->isUndefined();
}

QJsonValue Reader::value(const QString &key) const { return object_.value(key); }

void Reader::fail(const QString &key, const QString &message) const { throw DecodingError(pathOf(key), message); }

void Reader::mismatch(const QString &key, const QString &expected) const {
    fail(key, QStringLiteral("Expected to decode %1 but found %2 instead.").arg(expected, typeName(value(key))));
}

std::optional<QString> Reader::optionalString(const QString &key) const {
    if (!has(key)) return std::nullopt;
    const QJsonValue v = value(key);
    if (!v.isString()) mismatch(key, QStringLiteral("string"));
    return v.toString();
}

QString Reader::string(const QString &key, const QString &fallback) const { return optionalString(key).value_or(fallback); }

QString Reader::requiredString(const QString &key) const {
    if (!has(key)) fail(key, QStringLiteral("No value associated with key \"%1\".").arg(key));
    return *optionalString(key);
}

std::optional<bool> Reader::optionalBool(const QString &key) const {
    if (!has(key)) return std::nullopt;
    const QJsonValue v = value(key);
    if (!v.isBool()) mismatch(key, QStringLiteral("bool"));
    return v.toBool();
}

bool Reader::boolean(const QString &key, bool fallback) const { return optionalBool(key).value_or(fallback); }

std::optional<qint64> Reader::optionalInteger(const QString &key) const {
    if (!has(key)) return std::nullopt;
    const auto i = integerValue(value(key));
    if (!i) mismatch(key, QStringLiteral("integer"));
    return i;
}

qint64 Reader::integer(const QString &key, qint64 fallback) const { return optionalInteger(key).value_or(fallback); }

std::optional<double> Reader::optionalDouble(const QString &key) const {
    if (!has(key)) return std::nullopt;
    const QJsonValue v = value(key);
    if (!v.isDouble()) mismatch(key, QStringLiteral("number"));
    return v.toDouble();
}

double Reader::number(const QString &key, double fallback) const { return optionalDouble(key).value_or(fallback); }

std::optional<QDateTime> Reader::optionalDate(const QString &key) const {
    const auto text = optionalString(key);
    if (!text) return std::nullopt;
    auto date = parseDate(*text);
    if (!date) fail(key, QStringLiteral("Expected date string to be ISO8601-formatted."));
    return date;
}

QDateTime Reader::date(const QString &key, const QDateTime &fallback) const { return optionalDate(key).value_or(fallback); }

QDateTime Reader::requiredDate(const QString &key) const {
    if (!has(key)) fail(key, QStringLiteral("No value associated with key \"%1\".").arg(key));
    return *optionalDate(key);
}

std::optional<QUuid> Reader::optionalUuid(const QString &key) const {
    const auto text = optionalString(key);
    if (!text) return std::nullopt;
    auto uuid = parseUuid(*text);
    if (!uuid) fail(key, QStringLiteral("Attempted to decode UUID from invalid UUID string."));
    return uuid;
}

QUuid Reader::requiredUuid(const QString &key) const {
    if (!has(key)) fail(key, QStringLiteral("No value associated with key \"%1\".").arg(key));
    return *optionalUuid(key);
}

std::optional<QJsonArray> Reader::optionalArray(const QString &key) const {
    if (!has(key)) return std::nullopt;
    const QJsonValue v = value(key);
    if (!v.isArray()) mismatch(key, QStringLiteral("array"));
    return v.toArray();
}

QJsonArray Reader::array(const QString &key) const { return optionalArray(key).value_or(QJsonArray{}); }

std::optional<QJsonObject> Reader::optionalObject(const QString &key) const {
    if (!has(key)) return std::nullopt;
    const QJsonValue v = value(key);
    if (!v.isObject()) mismatch(key, QStringLiteral("object"));
    return v.toObject();
}

void putDate(QJsonObject &object, const QString &key, const std::optional<QDateTime> &date) {
    if (date) object.insert(key, formatDate(*date));
}

void putString(QJsonObject &object, const QString &key, const std::optional<QString> &text) {
    if (text) object.insert(key, *text);
}

void putUuid(QJsonObject &object, const QString &key, const std::optional<QUuid> &uuid) {
    if (uuid) object.insert(key, uuidString(*uuid));
}

}  // namespace ondrake::json
