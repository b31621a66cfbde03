#include "Ondrake/Model/SchemaMigrator.h"

#include "FoundationJson.h"
#include "Ondrake/Model/PersistedState.h"

#include <QJsonArray>

#include <algorithm>

namespace ondrake {

SchemaMigrationError::SchemaMigrationError(Kind kind, qint64 first, qint64 second)
    : kind_(kind), first_(first), second_(second), what_(description().toStdString()) {}

SchemaMigrationError SchemaMigrationError::fromTheFuture(qint64 fileVersion, qint64 supported) {
    return {Kind::fromTheFuture, fileVersion, supported};
}

SchemaMigrationError SchemaMigrationError::noPathForward(qint64 from, qint64 to) {
    return {Kind::noPathForward, from, to};
}

SchemaMigrationError SchemaMigrationError::malformed() { return {Kind::malformed, 0, 0}; }

QString SchemaMigrationError::description() const {
    switch (kind_) {
    case Kind::fromTheFuture:
        return QStringLiteral("fromTheFuture(fileVersion: %1, supported: %2)").arg(first_).arg(second_);
    case Kind::noPathForward: return QStringLiteral("noPathForward(from: %1, to: %2)").arg(first_).arg(second_);
    case Kind::malformed: return QStringLiteral("malformed");
    }
    return {};
}

void UnversionedToV1::migrate(QJsonObject &document) const {
    if (!document.contains(QStringLiteral("records"))) document.insert(QStringLiteral("records"), QJsonArray());
    if (!document.contains(QStringLiteral("groups"))) document.insert(QStringLiteral("groups"), QJsonArray());
    if (!document.contains(QStringLiteral("featureOverrides")))
        document.insert(QStringLiteral("featureOverrides"), QJsonObject());
}

void V1ToV2::migrate(QJsonObject &document) const {
    if (!document.contains(QStringLiteral("settings")))
        document.insert(QStringLiteral("settings"), QJsonObject{{QStringLiteral("parentCloseBehavior"), QStringLiteral("parentOnly")}});
    if (!document.contains(QStringLiteral("recentlyClosed")))
        document.insert(QStringLiteral("recentlyClosed"), QJsonArray());
}

SchemaMigrator::SchemaMigrator(Migrations migrations, qint64 targetVersion)
    : migrations_(std::move(migrations)), targetVersion_(targetVersion) {}

const SchemaMigrator::Migrations &SchemaMigrator::standardMigrations() {
    static const Migrations migrations = {
        std::make_shared<UnversionedToV1>(),
        std::make_shared<V1ToV2>(),
        std::make_shared<V2ToV3>(),
    };
    return migrations;
}

SchemaMigrator SchemaMigrator::standard() {
    Migrations sorted = standardMigrations();
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const auto &a, const auto &b) { return a->fromVersion() < b->fromVersion(); });
    return SchemaMigrator(std::move(sorted), kCurrentSchemaVersion);
}

qint64 SchemaMigrator::versionOf(const QJsonObject &document) {
    return json::integerValue(document.value(QStringLiteral("schemaVersion"))).value_or(0);
}

SchemaMigrator::Result SchemaMigrator::run(QJsonObject document) const {
    const qint64 start = versionOf(document);
    if (start > targetVersion_) throw SchemaMigrationError::fromTheFuture(start, targetVersion_);
    if (start == targetVersion_) return {std::move(document), false};

    qint64 current = start;
    while (true) {
        const auto step = std::find_if(migrations_.begin(), migrations_.end(),
                                       [&](const auto &m) { return m->fromVersion() == current; });
        // A step that does not move forward would never reach the target.
        if (step == migrations_.end() || (*step)->toVersion() <= current)
            throw SchemaMigrationError::noPathForward(current, targetVersion_);
        (*step)->migrate(document);
        current = (*step)->toVersion();
        document.insert(QStringLiteral("schemaVersion"), current);
        if (current >= targetVersion_) break;
    }
    return {std::move(document), true};
}

}  // namespace ondrake
