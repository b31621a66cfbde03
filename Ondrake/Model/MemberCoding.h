#pragma once

#include "FoundationJson.h"
#include "JsonOutput.h"
#include "Ondrake/Model/Hashing.h"
#include "Ondrake/Model/Identifiers.h"
#include "Ondrake/Model/TabMetadataValue.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <QUuid>

#include <algorithm>
#include <array>
#include <cstddef>
#include <optional>
#include <variant>
#include <vector>

// A record-like type lists its members once, as (JSON key, member) pairs in its key order, in a
// function template that takes a visitor and one or more values. The visitors here turn that one
// list into its writer, reader, hash and copy, so that types sharing members share their rules.
namespace ondrake::members {

// Puts each member into a JSON object; an absent optional is left out, never written as null.
class JsonWriter {
public:
    explicit JsonWriter(QJsonObject &object) : object_(object) {}

    template<typename Tag>
    void operator()(const QString &key, const Identity<Tag> &id) const { object_.insert(key, id.toJson()); }
    void operator()(const QString &key, const QString &text) const { object_.insert(key, text); }
    void operator()(const QString &key, const QDateTime &date) const { object_.insert(key, json::formatDate(date)); }
    void operator()(const QString &key, bool flag) const { object_.insert(key, flag); }
    void operator()(const QString &key, qint64 number) const { object_.insert(key, number); }
    void operator()(const QString &key, const TabMetadata &metadata) const {
        object_.insert(key, metadataToJson(metadata));
    }
    template<typename T>
    void operator()(const QString &key, const std::optional<T> &value) const {
        if (value) (*this)(key, *value);
    }

private:
    QJsonObject &object_;
};

// Reads each member with the lenient rule into a value that holds its defaults: a missing or null
// key leaves the member as it is; a present value of the wrong type throws json::DecodingError.
// Identities are required.
class JsonReader {
public:
    explicit JsonReader(const json::Reader &reader) : reader_(reader) {}

    template<typename Tag>
    void operator()(const QString &key, Identity<Tag> &id) const {
        id = json::requiredIdentity<Identity<Tag>>(reader_, key);
    }
    template<typename Tag>
    void operator()(const QString &key, std::optional<Identity<Tag>> &id) const {
        if (auto read = json::optionalIdentity<Identity<Tag>>(reader_, key)) id = *read;
    }
    void operator()(const QString &key, QString &text) const { keep(text, reader_.optionalString(key)); }
    void operator()(const QString &key, std::optional<QString> &text) const { keep(text, reader_.optionalString(key)); }
    void operator()(const QString &key, QDateTime &date) const { keep(date, reader_.optionalDate(key)); }
    void operator()(const QString &key, std::optional<QDateTime> &date) const { keep(date, reader_.optionalDate(key)); }
    void operator()(const QString &key, bool &flag) const { keep(flag, reader_.optionalBool(key)); }
    void operator()(const QString &key, qint64 &number) const { keep(number, reader_.optionalInteger(key)); }
    void operator()(const QString &key, std::optional<qint64> &number) const {
        keep(number, reader_.optionalInteger(key));
    }
    void operator()(const QString &key, TabMetadata &metadata) const {
        if (const auto object = reader_.optionalObject(key)) metadata = metadataFromJson(*object, reader_.pathOf(key));
    }

private:
    template<typename Member, typename T>
    static void keep(Member &member, std::optional<T> read) {
        if (read) member = std::move(*read);
    }

    const json::Reader &reader_;
};

// Folds each member into a hash; the metadata map counts regardless of its order.
class HashWriter {
public:
    explicit HashWriter(Hasher &hasher) : hasher_(hasher) {}

    template<typename T>
    void operator()(const QString &, const T &value) const { hasher_.add(value); }
    void operator()(const QString &, const TabMetadata &metadata) const { hasher_.mix(qHash(metadata)); }

private:
    Hasher &hasher_;
};

// Visited with a target and a source: copies each member across.
inline constexpr auto copy = [](const QString &, auto &to, const auto &from) { to = from; };

namespace detail {

// One member as the streamed writer sees it; monostate is an absent optional.
using Ref = std::variant<std::monostate, const QString *, const QDateTime *, bool, qint64, const QUuid *,
                         const TabMetadata *>;

inline constexpr std::size_t kMaxMembers = 32;

struct Refs {
    std::array<Ref, kMaxMembers> at{};
    std::size_t count = 0;

    void push(Ref ref) { at[count++] = ref; }
};

class Collector {
public:
    explicit Collector(Refs &refs) : refs_(refs) {}

    template<typename Tag>
    void operator()(const QString &, const Identity<Tag> &id) const { refs_.push(&id.rawValue()); }
    void operator()(const QString &, const QString &text) const { refs_.push(&text); }
    void operator()(const QString &, const QDateTime &date) const { refs_.push(&date); }
    void operator()(const QString &, bool flag) const { refs_.push(flag); }
    void operator()(const QString &, qint64 number) const { refs_.push(number); }
    void operator()(const QString &, const TabMetadata &metadata) const { refs_.push(&metadata); }
    template<typename T>
    void operator()(const QString &key, const std::optional<T> &value) const {
        if (value) (*this)(key, *value);
        else refs_.push(std::monostate{});
    }

private:
    Refs &refs_;
};

struct Slot {
    QByteArray key;  // UTF-8, the order json::write sorts by
    std::size_t position = 0;  // in the type's own member order
};

// Writes one member, or nothing for an absent optional.
void write(JsonOutput &out, const QByteArray &key, const Ref &ref);

}  // namespace detail

// Streams `value` as the JSON object JsonWriter would give, with its keys in json::write's order,
// without building the object first. `visitMembers(visitor, value)` lists the members.
template<typename T, typename VisitMembers>
void writeSorted(JsonOutput &out, const T &value, VisitMembers visitMembers) {
    // The keys do not depend on the value: sort them once per type.
    static const std::vector<detail::Slot> order = [&] {
        std::vector<detail::Slot> sorted;
        visitMembers([&](const QString &key, const auto &) { sorted.push_back({key.toUtf8(), sorted.size()}); }, value);
        Q_ASSERT(sorted.size() <= detail::kMaxMembers);
        std::sort(sorted.begin(), sorted.end(), [](const auto &a, const auto &b) { return a.key < b.key; });
        return sorted;
    }();
    detail::Refs refs;
    visitMembers(detail::Collector(refs), value);
    out.beginObject();
    for (const detail::Slot &slot : order) detail::write(out, slot.key, refs.at[slot.position]);
    out.endObject();
}

}  // namespace ondrake::members
