#pragma once

#include "Log.h"
#include "Ondrake/Model/PersistedState.h"
#include "Ondrake/Model/SchemaMigrator.h"
#include "Paths.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QString>

#include <optional>
#include <stdexcept>

namespace ondrake {

// A failure to read or write the record file, with a description fit for the log.
class RecordFileError : public std::runtime_error {
public:
    explicit RecordFileError(const QString &description)
        : std::runtime_error(description.toStdString()), description_(description) {}
    const QString &localizedDescription() const { return description_; }

private:
    QString description_;
};

// The only code that touches "TabRecords.json". Loading always yields a usable document; a file
// that cannot be used is moved aside so no save overwrites it, and a file of a newer schema is
// left alone with every save refused.
class TabRecordFileStore {
public:
    // What a load found.
    struct LoadOutcome {
        enum class Kind { migrated, recovered, refusedFutureVersion, empty, loaded };

        Kind kind = Kind::empty;
        qint64 version = 0;  // migrated: the version migrated from; refusedFutureVersion: the file's
        QString reason{};    // recovered: why the file was unusable

        static LoadOutcome migrated(qint64 from) { return {Kind::migrated, from, {}}; }
        static LoadOutcome recovered(QString reason) { return {Kind::recovered, 0, std::move(reason)}; }
        static LoadOutcome refusedFutureVersion(qint64 fileVersion) { return {Kind::refusedFutureVersion, fileVersion, {}}; }
        static LoadOutcome empty() { return {Kind::empty, 0, {}}; }
        static LoadOutcome loaded() { return {Kind::loaded, 0, {}}; }

        // e.g. migrated(from: 2), recovered(reason: "empty file"), loaded.
        QString description() const;
        bool operator==(const LoadOutcome &) const = default;
    };

    struct LoadResult {
        PersistedState state;
        LoadOutcome outcome;
    };

    static inline const QString kFileName = QStringLiteral("TabRecords.json");

    TabRecordFileStore(QString fileURL, SchemaMigrator migrator, Logger logger);
    // The application's store: the default location, the standard migrations.
    TabRecordFileStore(const Paths &paths, Logger logger);

    // <application support, or the temporary folder when there is none>/<bundle>/TabRecords.json.
    // Creates nothing.
    static QString defaultFileURL(const Paths &paths, const QString &bundleIdentifier);

    const QString &fileURL() const { return fileURL_; }
    const SchemaMigrator &migrator() const { return migrator_; }

    // Never throws. `now` stamps a fresh document and names a quarantined file.
    LoadResult load(const QDateTime &now);

    // Writes the document atomically. Throws SchemaMigrationError when the file on disk is of a
    // newer schema and RecordFileError when the file cannot be read, written, or was found
    // unusable and could not be moved aside this session; nothing is written then.
    void save(const PersistedState &state, const QDateTime &now);

    // A top-level object as is; a top-level array as the "records" of an unversioned document;
    // anything else as nothing.
    static std::optional<QJsonObject> readRawDocument(const QByteArray &bytes);

private:
    LoadOutcome quarantine(const QString &reason, const QDateTime &now);

    QString fileURL_;
    SchemaMigrator migrator_;
    Logger logger_;
    // Set when an unusable file could not be moved aside: saving would destroy it.
    std::optional<QString> saveRefusal_;
};

}  // namespace ondrake
