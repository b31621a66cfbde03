#include "Ondrake/Model/TabGroup.h"

#include "Ondrake/Model/Hashing.h"
#include "Ondrake/Model/WireFormat.h"

namespace ondrake {

QJsonObject TabGroup::toJson() const {
    QJsonObject object;
    object.insert(QStringLiteral("id"), id.toJson());
    object.insert(QStringLiteral("name"), name);
    json::putString(object, QStringLiteral("colorName"), colorName);
    object.insert(QStringLiteral("createdAt"), wire::dateText(createdAt));
    object.insert(QStringLiteral("sortIndex"), sortIndex);
    object.insert(QStringLiteral("isCollapsed"), isCollapsed);
    return object;
}

TabGroup TabGroup::fromJson(const QJsonValue &value, const QDateTime &now, const QString &path) {
    const auto reader = json::Reader::of(value, path);
    return TabGroup{
        .id = json::requiredIdentity<TabGroupID>(reader, QStringLiteral("id")),
        .name = reader.string(QStringLiteral("name")),
        .colorName = reader.optionalString(QStringLiteral("colorName")),
        .createdAt = wire::date(reader, QStringLiteral("createdAt"), now),
        .sortIndex = reader.integer(QStringLiteral("sortIndex")),
        .isCollapsed = reader.boolean(QStringLiteral("isCollapsed")),
    };
}

std::size_t qHash(const TabGroup &group, std::size_t seed) noexcept {
    return Hasher(seed)
        .add(group.id)
        .add(group.name)
        .add(group.colorName)
        .add(group.createdAt)
        .add(group.sortIndex)
        .add(group.isCollapsed)
        .value();
}

}  // namespace ondrake
