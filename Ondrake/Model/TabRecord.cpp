#include "Ondrake/Model/TabRecord.h"

#include "Ondrake/Model/Hashing.h"
#include "Ondrake/Model/JsonOutput.h"
#include "Ondrake/Model/WireFormat.h"

namespace ondrake {

bool TabRecord::hasUserState() const {
    return pinned || locked || important || readLater || readAt || snoozeUntil || reminderAt || groupID
           || !metadata.empty();
}

QJsonObject TabRecord::toJson() const {
    QJsonObject object;
    object.insert(QStringLiteral("id"), id.toJson());
    if (index) object.insert(QStringLiteral("index"), *index);
    json::putString(object, QStringLiteral("url"), url);
    object.insert(QStringLiteral("title"), title);
    json::putString(object, QStringLiteral("faviconHost"), faviconHost);
    json::putIdentity(object, QStringLiteral("parentID"), parentID);
    json::putIdentity(object, QStringLiteral("groupID"), groupID);
    object.insert(QStringLiteral("createdAt"), wire::dateText(createdAt));
    wire::putDate(object, QStringLiteral("lastActivatedAt"), lastActivatedAt);
    wire::putDate(object, QStringLiteral("closedAt"), closedAt);
    object.insert(QStringLiteral("pinned"), pinned);
    object.insert(QStringLiteral("locked"), locked);
    object.insert(QStringLiteral("muted"), muted);
    object.insert(QStringLiteral("important"), important);
    object.insert(QStringLiteral("readLater"), readLater);
    wire::putDate(object, QStringLiteral("addedToReadLaterAt"), addedToReadLaterAt);
    wire::putDate(object, QStringLiteral("readAt"), readAt);
    wire::putDate(object, QStringLiteral("snoozeUntil"), snoozeUntil);
    wire::putDate(object, QStringLiteral("reminderAt"), reminderAt);
    object.insert(QStringLiteral("metadata"), metadataToJson(metadata));
    return object;
}

void TabRecord::write(JsonOutput &out) const {
    const auto date = [&](QLatin1StringView key, const std::optional<QDateTime> &value) {
        if (!value) return;
        out.key(key);
        out.string(wire::dateText(*value));
    };
    const auto text = [&](QLatin1StringView key, const std::optional<QString> &value) {
        if (!value) return;
        out.key(key);
        out.string(*value);
    };
    const auto flag = [&](QLatin1StringView key, bool value) {
        out.key(key);
        out.boolean(value);
    };
    // Keys in the file's (sorted) order.
    out.beginObject();
    date(QLatin1StringView("addedToReadLaterAt"), addedToReadLaterAt);
    date(QLatin1StringView("closedAt"), closedAt);
    date(QLatin1StringView("createdAt"), createdAt);
    text(QLatin1StringView("faviconHost"), faviconHost);
    if (groupID) text(QLatin1StringView("groupID"), groupID->toString());
    text(QLatin1StringView("id"), id.toString());
    flag(QLatin1StringView("important"), important);
    if (index) {
        out.key(QLatin1StringView("index"));
        out.integer(*index);
    }
    date(QLatin1StringView("lastActivatedAt"), lastActivatedAt);
    flag(QLatin1StringView("locked"), locked);
    out.key(QLatin1StringView("metadata"));
    writeMetadata(out, metadata);
    flag(QLatin1StringView("muted"), muted);
    if (parentID) text(QLatin1StringView("parentID"), parentID->toString());
    flag(QLatin1StringView("pinned"), pinned);
    date(QLatin1StringView("readAt"), readAt);
    flag(QLatin1StringView("readLater"), readLater);
    date(QLatin1StringView("reminderAt"), reminderAt);
    date(QLatin1StringView("snoozeUntil"), snoozeUntil);
    text(QLatin1StringView("title"), title);
    text(QLatin1StringView("url"), url);
    out.endObject();
}

TabRecord TabRecord::fromJson(const QJsonValue &value, const QDateTime &now, const QString &path) {
    const auto reader = json::Reader::of(value, path);
    // Members are read in key order so that the first bad key is the one reported.
    TabRecord record{
        .id = json::requiredIdentity<OndrakeID>(reader, QStringLiteral("id")),
        .sessionTabID = std::nullopt,
        .windowID = std::nullopt,
        .index = reader.optionalInteger(QStringLiteral("index")),
        .url = reader.optionalString(QStringLiteral("url")),
        .title = reader.string(QStringLiteral("title")),
        .faviconHost = reader.optionalString(QStringLiteral("faviconHost")),
        .parentID = json::optionalIdentity<OndrakeID>(reader, QStringLiteral("parentID")),
        .groupID = json::optionalIdentity<TabGroupID>(reader, QStringLiteral("groupID")),
        .createdAt = wire::date(reader, QStringLiteral("createdAt"), now),
        .lastActivatedAt = wire::optionalDate(reader, QStringLiteral("lastActivatedAt")),
        .closedAt = wire::optionalDate(reader, QStringLiteral("closedAt")),
        .pinned = reader.boolean(QStringLiteral("pinned")),
        .locked = reader.boolean(QStringLiteral("locked")),
        .muted = reader.boolean(QStringLiteral("muted")),
        .important = reader.boolean(QStringLiteral("important")),
        .readLater = reader.boolean(QStringLiteral("readLater")),
        .addedToReadLaterAt = wire::optionalDate(reader, QStringLiteral("addedToReadLaterAt")),
        .readAt = wire::optionalDate(reader, QStringLiteral("readAt")),
        .snoozeUntil = wire::optionalDate(reader, QStringLiteral("snoozeUntil")),
        .reminderAt = wire::optionalDate(reader, QStringLiteral("reminderAt")),
        .metadata = {},
    };
    if (!record.addedToReadLaterAt && record.readLater) record.addedToReadLaterAt = record.createdAt;
    if (const auto metadata = reader.optionalObject(QStringLiteral("metadata")))
        record.metadata = metadataFromJson(*metadata, reader.pathOf(QStringLiteral("metadata")));
    return record;
}

std::size_t qHash(const TabRecord &record, std::size_t seed) noexcept {
    return Hasher(seed)
        .add(record.id)
        .add(record.sessionTabID)
        .add(record.windowID)
        .add(record.index)
        .add(record.url)
        .add(record.title)
        .add(record.faviconHost)
        .add(record.parentID)
        .add(record.groupID)
        .add(record.createdAt)
        .add(record.lastActivatedAt)
        .add(record.closedAt)
        .add(record.pinned)
        .add(record.locked)
        .add(record.muted)
        .add(record.important)
        .add(record.readLater)
        .add(record.addedToReadLaterAt)
        .add(record.readAt)
        .add(record.snoozeUntil)
        .add(record.reminderAt)
        .mix(qHash(record.metadata))
        .value();
}

}  // namespace ondrake
