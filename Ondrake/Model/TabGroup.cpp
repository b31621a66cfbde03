#include "Ondrake/Model/TabGroup.h"

#include "Ondrake/Model/Hashing.h"
#include "Ondrake/Model/MemberCoding.h"

namespace ondrake {

namespace {

template<typename Visit, typename... Group>
void visitGroup(Visit &&visit, Group &&...group) {
    visit(QStringLiteral("id"), group.id...);
    visit(QStringLiteral("name"), group.name...);
    visit(QStringLiteral("colorName"), group.colorName...);
    visit(QStringLiteral("createdAt"), group.createdAt...);
    visit(QStringLiteral("sortIndex"), group.sortIndex...);
    visit(QStringLiteral("isCollapsed"), group.isCollapsed...);
}

}  // namespace

QJsonObject TabGroup::toJson() const {
    QJsonObject object;
    visitGroup(members::JsonWriter(object), *this);
    return object;
}

TabGroup TabGroup::fromJson(const QJsonValue &value, const QDateTime &now, const QString &path) {
    const auto reader = json::Reader::of(value, path);
    TabGroup group{.id = TabGroupID(QUuid()), .createdAt = now};  // the identity is required and read below
    visitGroup(members::JsonReader(reader), group);
    return group;
}

std::size_t qHash(const TabGroup &group, std::size_t seed) noexcept {
    Hasher hasher(seed);
    visitGroup(members::HashWriter(hasher), group);
    return hasher.value();
}

}  // namespace ondrake
