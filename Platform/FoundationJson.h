#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QUuid>

#include <optional>
#include <stdexcept>

namespace ondrake::json {

// Writes JSON the way the system's files have always looked: keys sorted at every level,
// two-space indentation with " : " after keys, "/" escaped, whole doubles without a fraction,
// other doubles in their shortest round-trip form, and non-finite numbers as null.
QByteArray write(const QJsonValue &value);
inline QByteArray write(const QJsonObject &object) { return write(QJsonValue(object)); }
inline QByteArray write(const QJsonArray &array) { return write(QJsonValue(array)); }

// A value failed to decode: a required key is missing or a present value has the wrong type.
class DecodingError : public std::runtime_error {
public:
    DecodingError(const QString &path, const QString &message);
    const QString &path() const { return path_; }
    const QString &message() const { return message_; }

private:
    QString path_;
    QString message_;
};

// Parses untrusted bytes; nothing for anything that is not one JSON document.
std::optional<QJsonDocument> parse(const QByteArray &bytes, QString *error = nullptr);

// An integer is a number whose value is whole and fits in 64 bits; true and false never are.
std::optional<qint64> integerValue(const QJsonValue &value);

// ISO 8601 in UTC with whole seconds and "Z"; fractions of a second are dropped.
QString formatDate(const QDateTime &date);
// Reads "Z" or a numeric offset ("+02:00", "+0200"); rejects fractions of a second and a date
// whose UTC form falls outside the years 1 to 9999, so every date it reads can be written back.
std::optional<QDateTime> parseDate(QStringView text);

// Identities: written as the upper-case canonical form, read in either case.
QString uuidString(const QUuid &uuid);
std::optional<QUuid> parseUuid(QStringView text);

QString typeName(const QJsonValue &value);

// Reads the members of one object with the lenient rule: a missing or null key takes the
// default, a present value of the wrong type throws DecodingError for the whole value.
class Reader {
public:
    explicit Reader(QJsonObject object, QString path = {});
    // Reads `value` as an object, or throws.
    static Reader of(const QJsonValue &value, const QString &path);

    const QJsonObject &object() const { return object_; }
    const QString &path() const { return path_; }
    QString pathOf(const QString &key) const;

    bool has(const QString &key) const;  // present and not null
    QJsonValue value(const QString &key) const;

    std::optional<QString> optionalString(const QString &key) const;
    QString string(const QString &key, const QString &fallback = {}) const;
    QString requiredString(const QString &key) const;
    std::optional<bool> optionalBool(const QString &key) const;
    bool boolean(const QString &key, bool fallback = false) const;
    std::optional<qint64> optionalInteger(const QString &key) const;
    qint64 integer(const QString &key, qint64 fallback = 0) const;
    std::optional<double> optionalDouble(const QString &key) const;
    double number(const QString &key, double fallback = 0) const;
    std::optional<QDateTime> optionalDate(const QString &key) const;
    QDateTime date(const QString &key, const QDateTime &fallback) const;
    QDateTime requiredDate(const QString &key) const;
    std::optional<QUuid> optionalUuid(const QString &key) const;
    QUuid requiredUuid(const QString &key) const;
    std::optional<QJsonArray> optionalArray(const QString &key) const;
    QJsonArray array(const QString &key) const;  // empty when missing
    std::optional<QJsonObject> optionalObject(const QString &key) const;

    [[noreturn]] void fail(const QString &key, const QString &message) const;

private:
    [[noreturn]] void mismatch(const QString &key, const QString &expected) const;
    QJsonObject object_;
    QString path_;
};

// Writers for optional members: an absent optional is left out, never written as null.
void putDate(QJsonObject &object, const QString &key, const std::optional<QDateTime> &date);
void putString(QJsonObject &object, const QString &key, const std::optional<QString> &text);
void putUuid(QJsonObject &object, const QString &key, const std::optional<QUuid> &uuid);

}  // namespace ondrake::json
