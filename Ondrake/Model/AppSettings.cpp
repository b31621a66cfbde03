#include "Ondrake/Model/AppSettings.h"

#include "FoundationJson.h"

namespace ondrake {

namespace {
const QString kParentOnly = QStringLiteral("parentOnly");
const QString kParentAndDescendants = QStringLiteral("parentAndDescendants");
const QString kParentCloseBehaviorKey = QStringLiteral("parentCloseBehavior");
}  // namespace

QString toString(ParentCloseBehavior behavior) {
    switch (behavior) {
    case ParentCloseBehavior::parentOnly: return kParentOnly;
    case ParentCloseBehavior::parentAndDescendants: return kParentAndDescendants;
    }
    return kParentOnly;
}

std::optional<ParentCloseBehavior> parentCloseBehaviorFromString(QStringView text) {
    if (text == kParentOnly) return ParentCloseBehavior::parentOnly;
    if (text == kParentAndDescendants) return ParentCloseBehavior::parentAndDescendants;
    return std::nullopt;
}

ParentCloseBehavior parentCloseBehaviorFromJson(const QJsonValue &value, const QString &path) {
    if (!value.isString())
        throw json::DecodingError(
            path, QStringLiteral("Expected to decode string but found %1 instead.").arg(json::typeName(value)));
    const auto behavior = parentCloseBehaviorFromString(value.toString());
    if (!behavior)
        throw json::DecodingError(
            path, QStringLiteral("Cannot initialize ParentCloseBehavior from invalid String value %1").arg(value.toString()));
    return *behavior;
}

QJsonObject AppSettings::toJson() const {
    return QJsonObject{{kParentCloseBehaviorKey, toString(parentCloseBehavior)}};
}

AppSettings AppSettings::fromJson(const QJsonValue &value, const QString &path) {
    const auto reader = json::Reader::of(value, path);
    const auto stored = reader.optionalString(kParentCloseBehaviorKey);
    return AppSettings{stored == kParentAndDescendants ? ParentCloseBehavior::parentAndDescendants
                                                       : ParentCloseBehavior::parentOnly};
}

}  // namespace ondrake
