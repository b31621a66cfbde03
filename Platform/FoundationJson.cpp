#include "FoundationJson.h"

#include "JsonOutput.h"


#include <array>
#include <cmath>

namespace ondrake::json {

QByteArray write(const QJsonValue &value) {
    JsonOutput out;
    out.value(value);
    return out.take();
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

namespace {

constexpr qint64 kSecondsPerDay = 86400;

// Days since 1970-01-01 to a proleptic Gregorian date and back, without a time-zone database:
// a record file holds tens of thousands of dates.
void civilFromDays(qint64 days, qint64 &year, int &month, int &day) {
    days += 719468;
    const qint64 era = (days >= 0 ? days : days - 146096) / 146097;
    const qint64 dayOfEra = days - era * 146097;
    const qint64 yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const qint64 dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const qint64 mp = (5 * dayOfYear + 2) / 153;
    day = int(dayOfYear - (153 * mp + 2) / 5 + 1);
    month = int(mp < 10 ? mp + 3 : mp - 9);
    year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
}

qint64 daysFromCivil(qint64 year, int month, int day) {
    year -= month <= 2 ? 1 : 0;
    const qint64 era = (year >= 0 ? year : year - 399) / 400;
    const qint64 yearOfEra = year - era * 400;
    const qint64 dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const qint64 dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

// A fixed-width run of ASCII digits, or -1.
int digits(QStringView text, qsizetype at, int width) {
    int value = 0;
    for (int i = 0; i < width; ++i) {
        const char16_t c = text[at + i].unicode();
        if (c < u'0' || c > u'9') return -1;
        value = value * 10 + int(c - u'0');
    }
    return value;
}

int hexValue(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

}  // namespace

QString formatDate(const QDateTime &date) {
    const qint64 ms = date.toMSecsSinceEpoch();
    const qint64 seconds = ms >= 0 ? ms / 1000 : -((-ms + 999) / 1000);
    const qint64 days = seconds >= 0 ? seconds / kSecondsPerDay : -((-seconds + kSecondsPerDay - 1) / kSecondsPerDay);
    const qint64 secondOfDay = seconds - days * kSecondsPerDay;
    qint64 year = 0;
    int month = 0;
    int day = 0;
    civilFromDays(days, year, month, day);
    if (!date.isValid() || year < 1 || year > 9999)  // beyond four digits: Qt's own form
        return QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC).toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss'Z'"));
    std::array<char16_t, 20> text{};
    const auto put = [&](std::size_t at, int value, int width) {
        for (int i = width - 1; i >= 0; --i, value /= 10) text[at + std::size_t(i)] = char16_t(u'0' + value % 10);
    };
    put(0, int(year), 4);
    text[4] = u'-';
    put(5, month, 2);
    text[7] = u'-';
    put(8, day, 2);
    text[10] = u'T';
    put(11, int(secondOfDay / 3600), 2);
    text[13] = u':';
    put(14, int(secondOfDay / 60 % 60), 2);
    text[16] = u':';
    put(17, int(secondOfDay % 60), 2);
    text[19] = u'Z';
    return QString(reinterpret_cast<const QChar *>(text.data()), qsizetype(text.size()));
}

std::optional<QDateTime> parseDate(QStringView text) {
    // "YYYY-MM-DDTHH:MM:SS" followed by "Z", "+HH:MM", "-HH:MM", "+HHMM" or "-HHMM".
    if (text.size() < 20 || text[4] != u'-' || text[7] != u'-' || text[10] != u'T' || text[13] != u':'
        || text[16] != u':')
        return std::nullopt;
    const int year = digits(text, 0, 4);
    const int month = digits(text, 5, 2);
    const int day = digits(text, 8, 2);
    const int hour = digits(text, 11, 2);
    const int minute = digits(text, 14, 2);
    const int second = digits(text, 17, 2);
    if (year < 0 || month < 1 || day < 1 || hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0
        || second > 59 || !QDate::isValid(year, month, day))
        return std::nullopt;
    qint64 offset = 0;
    const QStringView zone = text.sliced(19);
    if (zone != u"Z") {
        const bool colon = zone.size() == 6 && zone[3] == u':';
        if ((zone.size() != 5 && !colon) || (zone[0] != u'+' && zone[0] != u'-')) return std::nullopt;
        const int hours = digits(zone, 1, 2);
        const int minutes = digits(zone, colon ? 4 : 3, 2);
        if (hours < 0 || hours > 23 || minutes < 0 || minutes > 59) return std::nullopt;
        offset = (hours * 3600 + minutes * 60) * (zone[0] == u'-' ? -1 : 1);
    }
    const qint64 seconds = daysFromCivil(year, month, day) * kSecondsPerDay + hour * 3600 + minute * 60 + second - offset;
    // The writer puts out UTC, which has four-digit years only from 1 to 9999: an offset that
    // carries a date past either end would be written as a text no reader takes back.
    static const qint64 first = daysFromCivil(1, 1, 1) * kSecondsPerDay;
    static const qint64 last = daysFromCivil(10000, 1, 1) * kSecondsPerDay - 1;
    if (seconds < first || seconds > last) return std::nullopt;
    return QDateTime::fromMSecsSinceEpoch(seconds * 1000, Qt::UTC);
}

QString uuidString(const QUuid &uuid) {
    static const char16_t hex[] = u"0123456789ABCDEF";
    const QByteArray bytes = uuid.toRfc4122();
    std::array<char16_t, 36> text{};
    std::size_t at = 0;
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) text[at++] = u'-';
        const auto byte = static_cast<unsigned char>(bytes[i]);
        text[at++] = hex[byte >> 4];
        text[at++] = hex[byte & 0xF];
    }
    return QString(reinterpret_cast<const QChar *>(text.data()), qsizetype(text.size()));
}

std::optional<QUuid> parseUuid(QStringView text) {
    if (text.size() != 36) return std::nullopt;
    QByteArray bytes(16, '\0');
    int byte = 0;
    for (qsizetype i = 0; i < 36;) {
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (text[i] != u'-') return std::nullopt;
            ++i;
            continue;
        }
        const int high = hexValue(text[i].unicode());
        const int low = hexValue(text[i + 1].unicode());
        if (high < 0 || low < 0) return std::nullopt;
        bytes[byte++] = char(high << 4 | low);
        i += 2;
    }
    return QUuid::fromRfc4122(bytes);
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
