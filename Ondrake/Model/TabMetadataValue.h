#pragma once

#include <QDateTime>
#include <QJsonValue>
#include <QString>

#include <concepts>
#include <cstddef>
#include <map>
#include <variant>
#include <vector>

namespace ondrake {

class JsonOutput;

// A JSON-like value that features attach to a tab record without changing its schema.
class TabMetadataValue {
public:
    struct Null {
        bool operator==(const Null &) const = default;
    };
    using Array = std::vector<TabMetadataValue>;
    using Object = std::map<QString, TabMetadataValue>;
    // Alternatives in case order; the index takes part in hashing.
    using Storage = std::variant<QString, qint64, double, bool, QDateTime, Array, Object, Null>;

    enum class Case { string, integer, real, boolean, date, array, object, null };

    TabMetadataValue() : storage_(Null{}) {}
    TabMetadataValue(Null) : storage_(Null{}) {}
    TabMetadataValue(QString v) : storage_(std::move(v)) {}
    TabMetadataValue(const char *v) : storage_(QString::fromUtf8(v)) {}
    TabMetadataValue(QChar v) : storage_(QString(v)) {}
    template<std::integral T>
        requires(!std::same_as<T, bool> && !std::same_as<T, char>)
    TabMetadataValue(T v) : storage_(static_cast<qint64>(v)) {}
    TabMetadataValue(double v) : storage_(v) {}
    TabMetadataValue(bool v) : storage_(v) {}
    TabMetadataValue(QDateTime v) : storage_(std::move(v)) {}
    TabMetadataValue(Array v) : storage_(std::move(v)) {}
    TabMetadataValue(Object v) : storage_(std::move(v)) {}

    static TabMetadataValue null() { return {}; }

    Case kind() const { return static_cast<Case>(storage_.index()); }
    const Storage &storage() const { return storage_; }

    template<typename T>
    bool holds() const { return std::holds_alternative<T>(storage_); }
    template<typename T>
    const T &get() const { return std::get<T>(storage_); }

    // Doubles compare numerically (NaN never equals itself); dates as instants.
    bool operator==(const TabMetadataValue &) const = default;

    // A date is written as its seconds since 1970; a non-finite double as null, which is all
    // that JSON can carry of it.
    QJsonValue toJson() const;
    // Tries null, bool, integer, double, string, array, object in that order; a date never comes
    // back. Throws json::DecodingError("Unrecognised metadata value") for anything else.
    static TabMetadataValue fromJson(const QJsonValue &value, const QString &path = {});
    // The bytes toJson() would give, streamed.
    void write(JsonOutput &out) const;

private:
    Storage storage_;
};

using TabMetadata = TabMetadataValue::Object;

std::size_t qHash(const TabMetadataValue &value, std::size_t seed = 0) noexcept;
std::size_t qHash(const TabMetadata &metadata, std::size_t seed = 0) noexcept;  // order-independent

QJsonObject metadataToJson(const TabMetadata &metadata);
TabMetadata metadataFromJson(const QJsonObject &object, const QString &path);
void writeMetadata(JsonOutput &out, const TabMetadata &metadata);

}  // namespace ondrake

template<>
struct std::hash<ondrake::TabMetadataValue> {
    std::size_t operator()(const ondrake::TabMetadataValue &value) const noexcept { return qHash(value); }
};
