#pragma once

#include "FoundationJson.h"

#include <QHashFunctions>
#include <QJsonValue>
#include <QString>
#include <QUuid>

#include <compare>
#include <functional>
#include <optional>

namespace ondrake {

// A persistent identity wrapping a UUID. Each tag makes a distinct type, so a tab's identity can
// never be passed where a group's is expected.
template<typename Tag>
class Identity {
public:
    // A fresh random identity.
    Identity() : raw_(QUuid::createUuid()) {}
    explicit Identity(const QUuid &raw) : raw_(raw) {}

    // Nothing when the text is not a hyphenated UUID (either letter case).
    static std::optional<Identity> fromString(QStringView text) {
        const auto uuid = json::parseUuid(text);
        if (!uuid) return std::nullopt;
        return Identity(*uuid);
    }

    const QUuid &rawValue() const { return raw_; }
    // The canonical upper-case form, also the JSON form.
    QString toString() const { return json::uuidString(raw_); }
    QJsonValue toJson() const { return toString(); }

    // Reads the bare UUID string; throws json::DecodingError otherwise.
    static Identity fromJson(const QJsonValue &value, const QString &path = {}) {
        if (!value.isString())
            throw json::DecodingError(
                path, QStringLiteral("Expected to decode string but found %1 instead.").arg(json::typeName(value)));
        const QString text = value.toString();
        auto identity = fromString(text);
        if (!identity) throw json::DecodingError(path, QStringLiteral("Not a UUID: ") + text);
        return *identity;
    }

    friend bool operator==(const Identity &a, const Identity &b) { return a.raw_ == b.raw_; }
    // Same order as the canonical text.
    friend std::strong_ordering operator<=>(const Identity &a, const Identity &b) {
        const QUuid &x = a.raw_;
        const QUuid &y = b.raw_;
        if (auto c = x.data1 <=> y.data1; c != 0) return c;
        if (auto c = x.data2 <=> y.data2; c != 0) return c;
        if (auto c = x.data3 <=> y.data3; c != 0) return c;
        for (int i = 0; i < 8; ++i)
            if (auto c = x.data4[i] <=> y.data4[i]; c != 0) return c;
        return std::strong_ordering::equal;
    }
    friend std::size_t qHash(const Identity &id, std::size_t seed = 0) noexcept { return qHash(id.raw_, seed); }

private:
    QUuid raw_;
};

struct OndrakeIDTag;
struct TabGroupIDTag;

// The persistent identity of a tab record.
using OndrakeID = Identity<OndrakeIDTag>;
// The identity of a user-made tab group.
using TabGroupID = Identity<TabGroupIDTag>;

namespace json {

// An identity member: missing or null fails the value, as does text that is not a UUID.
template<typename Id>
Id requiredIdentity(const Reader &reader, const QString &key) {
    if (!reader.has(key)) reader.fail(key, QStringLiteral("No value associated with key \"%1\".").arg(key));
    return Id::fromJson(reader.value(key), reader.pathOf(key));
}

template<typename Id>
std::optional<Id> optionalIdentity(const Reader &reader, const QString &key) {
    if (!reader.has(key)) return std::nullopt;
    return Id::fromJson(reader.value(key), reader.pathOf(key));
}

}  // namespace json
}  // namespace ondrake

template<typename Tag>
struct std::hash<ondrake::Identity<Tag>> {
    std::size_t operator()(const ondrake::Identity<Tag> &id) const noexcept { return qHash(id); }
};
