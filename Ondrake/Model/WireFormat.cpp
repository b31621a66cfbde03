#include "Ondrake/Model/WireFormat.h"

#include <QJsonObject>

#include <array>

namespace ondrake::wire {

namespace {

constexpr qint64 kSecondsPerDay = 86400;

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
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

int digitAt(QStringView text, qsizetype i) {
    const char16_t c = text[i].unicode();
    return c >= u'0' && c <= u'9' ? int(c - u'0') : -1;
}

int number(QStringView text, qsizetype at, int width) {
    int value = 0;
    for (int i = 0; i < width; ++i) {
        const int digit = digitAt(text, at + i);
        if (digit < 0) return -1;
        value = value * 10 + digit;
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

QString dateText(const QDateTime &date) {
    if (!date.isValid()) return json::formatDate(date);
    const qint64 ms = date.toMSecsSinceEpoch();
    const qint64 seconds = ms >= 0 ? ms / 1000 : -((-ms + 999) / 1000);
    const qint64 days = seconds >= 0 ? seconds / kSecondsPerDay : -((-seconds + kSecondsPerDay - 1) / kSecondsPerDay);
    const qint64 secondOfDay = seconds - days * kSecondsPerDay;
    qint64 year = 0;
    int month = 0;
    int day = 0;
    civilFromDays(days, year, month, day);
    if (year < 1 || year > 9999) return json::formatDate(date);
    const int hour = int(secondOfDay / 3600);
    const int minute = int(secondOfDay / 60 % 60);
    const int second = int(secondOfDay % 60);
    std::array<char16_t, 20> text{};
    const auto put = [&](qsizetype at, int value, int width) {
        for (int i = width - 1; i >= 0; --i, value /= 10) text[std::size_t(at + i)] = char16_t(u'0' + value % 10);
    };
    put(0, int(year), 4);
    text[4] = u'-';
    put(5, month, 2);
    text[7] = u'-';
    put(8, day, 2);
    text[10] = u'T';
    put(11, hour, 2);
    text[13] = u':';
    put(14, minute, 2);
    text[16] = u':';
    put(17, second, 2);
    text[19] = u'Z';
    return QString(reinterpret_cast<const QChar *>(text.data()), qsizetype(text.size()));
}

std::optional<QDateTime> dateFromText(QStringView text) {
    // The common form, "YYYY-MM-DDTHH:MM:SSZ"; anything else goes the general way.
    if (text.size() == 20 && text[4] == u'-' && text[7] == u'-' && text[10] == u'T' && text[13] == u':'
        && text[16] == u':' && text[19] == u'Z') {
        const int year = number(text, 0, 4);
        const int month = number(text, 5, 2);
        const int day = number(text, 8, 2);
        const int hour = number(text, 11, 2);
        const int minute = number(text, 14, 2);
        const int second = number(text, 17, 2);
        if (year >= 1 && month >= 1 && day >= 1 && hour >= 0 && hour <= 23 && minute >= 0 && minute <= 59
            && second >= 0 && second <= 59 && QDate::isValid(year, month, day)) {
            const qint64 seconds = daysFromCivil(year, month, day) * kSecondsPerDay + hour * 3600 + minute * 60 + second;
            return QDateTime::fromMSecsSinceEpoch(seconds * 1000, Qt::UTC);
        }
    }
    return json::parseDate(text);
}

QString uuidText(const QUuid &uuid) {
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

std::optional<QUuid> uuidFromText(QStringView text) {
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

std::optional<QDateTime> optionalDate(const json::Reader &reader, const QString &key) {
    const auto text = reader.optionalString(key);
    if (!text) return std::nullopt;
    auto date = dateFromText(*text);
    if (!date) reader.fail(key, QStringLiteral("Expected date string to be ISO8601-formatted."));
    return date;
}

QDateTime requiredDate(const json::Reader &reader, const QString &key) {
    if (!reader.has(key)) reader.fail(key, QStringLiteral("No value associated with key \"%1\".").arg(key));
    return *optionalDate(reader, key);
}

void putDate(QJsonObject &object, const QString &key, const std::optional<QDateTime> &date) {
    if (date) object.insert(key, dateText(*date));
}

}  // namespace ondrake::wire
