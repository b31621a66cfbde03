#pragma once

#include <QJsonObject>
#include <QString>

#include <exception>
#include <memory>
#include <string>
#include <vector>

namespace ondrake {

// Why a raw record file could not be brought to the current layout.
class SchemaMigrationError : public std::exception {
public:
    enum class Kind { fromTheFuture, noPathForward, malformed };

    // The document is newer than this build writes.
    static SchemaMigrationError fromTheFuture(qint64 fileVersion, qint64 supported);
    // No step starts at the version reached.
    static SchemaMigrationError noPathForward(qint64 from, qint64 to);
    static SchemaMigrationError malformed();

    Kind kind() const { return kind_; }
    // fromTheFuture: the file's version and the supported one; noPathForward: from and to.
    qint64 first() const { return first_; }
    qint64 second() const { return second_; }

    // The case with its labelled payload, e.g. "noPathForward(from: -1, to: 3)".
    QString description() const;
    const char *what() const noexcept override { return what_.c_str(); }

    bool operator==(const SchemaMigrationError &other) const {
        return kind_ == other.kind_ && first_ == other.first_ && second_ == other.second_;
    }

private:
    SchemaMigrationError(Kind kind, qint64 first, qint64 second);
    Kind kind_;
    qint64 first_;
    qint64 second_;
    std::string what_;
};

// One step that edits a raw document in place, from one layout version to the next.
class SchemaMigration {
public:
    virtual ~SchemaMigration() = default;
    virtual qint64 fromVersion() const = 0;
    virtual qint64 toVersion() const = 0;
    // Adds what the newer layout needs; never removes or rewrites a member that is present.
    virtual void migrate(QJsonObject &document) const = 0;
};

// Adds "records", "groups" and "featureOverrides" when missing.
class UnversionedToV1 final : public SchemaMigration {
public:
    qint64 fromVersion() const override { return 0; }
    qint64 toVersion() const override { return 1; }
    void migrate(QJsonObject &document) const override;
};

// Adds "settings" and "recentlyClosed" when missing.
class V1ToV2 final : public SchemaMigration {
public:
    qint64 fromVersion() const override { return 1; }
    qint64 toVersion() const override { return 2; }
    void migrate(QJsonObject &document) const override;
};

// Only raises the version.
class V2ToV3 final : public SchemaMigration {
public:
    qint64 fromVersion() const override { return 2; }
    qint64 toVersion() const override { return 3; }
    void migrate(QJsonObject &) const override {}
};

// Brings a raw document up to `targetVersion` one step at a time.
class SchemaMigrator {
public:
    using Migrations = std::vector<std::shared_ptr<const SchemaMigration>>;

    struct Result {
        QJsonObject document;
        bool migrated = false;  // at least one step ran
    };

    SchemaMigrator(Migrations migrations, qint64 targetVersion);

    // The steps from an unversioned document up to version 3, in order.
    static const Migrations &standardMigrations();
    // The standard steps sorted by starting version, with the current version as target.
    static SchemaMigrator standard();

    const Migrations &migrations() const { return migrations_; }
    qint64 targetVersion() const { return targetVersion_; }

    // The starting version is "schemaVersion" when it is an integer, else 0. Throws
    // SchemaMigrationError, or whatever a step throws; the input is never changed.
    Result run(QJsonObject document) const;

    // The version a raw document declares: its integer "schemaVersion", else 0.
    static qint64 versionOf(const QJsonObject &document);

private:
    Migrations migrations_;
    qint64 targetVersion_;
};

}  // namespace ondrake
