#include "Ondrake/Model/TabRecord.h"

#include "Ondrake/Model/Hashing.h"
#include "Ondrake/Model/MemberCoding.h"
#include "Ondrake/Model/TabFields.h"
#include "JsonOutput.h"

namespace ondrake {

bool TabRecord::hasUserState() const {
    return pinned || locked || important || readLater || readAt || snoozeUntil || reminderAt || groupID
           || !metadata.empty();
}

namespace {

// The stored members in key order; the session fields are never written.
template<typename Visit, typename... Record>
void visitStored(Visit &&visit, Record &&...record) {
    visit(QStringLiteral("id"), record.id...);
    visit(QStringLiteral("index"), record.index...);
    visit(QStringLiteral("windowKey"), record.windowKey...);
    tabfields::visitPlace(visit, record...);
    tabfields::visitLifetime(visit, record...);
    tabfields::visitUserState(visit, record...);
}

}  // namespace

QJsonObject TabRecord::toJson() const {
    QJsonObject object;
    visitStored(members::JsonWriter(object), *this);
    return object;
}

void TabRecord::write(JsonOutput &out) const {
    members::writeSorted(out, *this, [](auto &&visit, const TabRecord &record) { visitStored(visit, record); });
}

TabRecord TabRecord::fromJson(const QJsonValue &value, const QDateTime &now, const QString &path) {
    const auto reader = json::Reader::of(value, path);
    // Members are read in key order so that the first bad key is the one reported. The identity
    // is read below; a random one would only be thrown away.
    TabRecord record{.id = OndrakeID(QUuid()), .createdAt = now};
    visitStored(members::JsonReader(reader), record);
    if (!record.addedToReadLaterAt && record.readLater) record.addedToReadLaterAt = record.createdAt;
    return record;
}

std::size_t qHash(const TabRecord &record, std::size_t seed) noexcept {
    Hasher hasher(seed);
    hasher.add(record.sessionTabID).add(record.windowID);
    visitStored(members::HashWriter(hasher), record);
    return hasher.value();
}

}  // namespace ondrake
