#pragma once

#include "Ondrake/Model/Identifiers.h"

#include <QDateTime>
#include <QJsonObject>
#include <QString>

#include <optional>

namespace ondrake {

// A user-made group. Tabs point at it through their group id; the group lists nothing itself.
struct TabGroup {
    TabGroupID id{};
    QString name{};
    std::optional<QString> colorName{};  // stored as given, never checked
    QDateTime createdAt{};
    qint64 sortIndex = 0;  // smaller comes first
    bool isCollapsed = false;

    bool operator==(const TabGroup &) const = default;

    QJsonObject toJson() const;
    // Lenient about everything but "id"; a missing "createdAt" becomes `now`.
    static TabGroup fromJson(const QJsonValue &value, const QDateTime &now, const QString &path = {});
};

std::size_t qHash(const TabGroup &group, std::size_t seed = 0) noexcept;

}  // namespace ondrake

template<>
struct std::hash<ondrake::TabGroup> {
    std::size_t operator()(const ondrake::TabGroup &group) const noexcept { return qHash(group); }
};
