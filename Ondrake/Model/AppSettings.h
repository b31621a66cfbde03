#pragma once

#include <QJsonObject>
#include <QString>

#include <array>
#include <cstddef>
#include <optional>

namespace ondrake {

// What closing a tab that has nested tabs does.
enum class ParentCloseBehavior {
    parentOnly,            // the nested tabs move up a level and stay open
    parentAndDescendants,  // the whole subtree closes
};

inline constexpr std::array<ParentCloseBehavior, 2> kAllParentCloseBehaviors = {
    ParentCloseBehavior::parentOnly, ParentCloseBehavior::parentAndDescendants};

// The stored string, "parentOnly" or "parentAndDescendants".
QString toString(ParentCloseBehavior behavior);
std::optional<ParentCloseBehavior> parentCloseBehaviorFromString(QStringView text);
// Strict form for a value coded on its own: an unknown string throws json::DecodingError.
ParentCloseBehavior parentCloseBehaviorFromJson(const QJsonValue &value, const QString &path = {});

inline std::size_t qHash(ParentCloseBehavior behavior, std::size_t seed = 0) noexcept {
    return ::qHash(static_cast<int>(behavior), seed);
}

// Settings that travel with the records (record file and export archive), not with the defaults.
struct AppSettings {
    ParentCloseBehavior parentCloseBehavior = ParentCloseBehavior::parentOnly;

    bool operator==(const AppSettings &) const = default;

    QJsonObject toJson() const;
    // Any value other than exactly "parentAndDescendants" reads as parentOnly.
    static AppSettings fromJson(const QJsonValue &value, const QString &path = {});
};

inline std::size_t qHash(const AppSettings &settings, std::size_t seed = 0) noexcept {
    return qHash(settings.parentCloseBehavior, seed);
}

}  // namespace ondrake
