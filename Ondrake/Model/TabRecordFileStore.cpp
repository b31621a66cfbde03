#include "Ondrake/Model/TabRecordFileStore.h"

#include "AtomicFile.h"
#include "FoundationJson.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ondrake {

namespace {

constexpr qint64 kFirstFutureVersion = 4;
// Quarantined copies made in the same second get numbered names; beyond this many, give up.
constexpr int kQuarantineNameAttempts = 100;

QString quoted(const QString &text) {
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QStringLiteral("\\\\")).replace(QLatin1Char('"'), QStringLiteral("\\\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

struct ReadResult {
    std::optional<QByteArray> bytes;
    QString error;
};

// Only a regular file is read. Opening never waits: a FIFO in the file's place would otherwise
// hold the start-up until something wrote to it.
ReadResult readWhole(const QString &path) {
    const QString name = QFileInfo(path).fileName();
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return {std::nullopt, QStringLiteral("The file “%1” couldn’t be opened: %2")
                                  .arg(name, QString::fromLocal8Bit(std::strerror(errno)))};
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        const bool folder = S_ISDIR(info.st_mode);
        ::close(fd);
        return {std::nullopt, folder ? QStringLiteral("The file “%1” couldn’t be opened because it is a folder.").arg(name)
                                     : QStringLiteral("The file “%1” couldn’t be opened because it is not a regular file.")
                                           .arg(name)};
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return {std::nullopt, QStringLiteral("The file “%1” couldn’t be opened: %2").arg(name, file.errorString())};
    }
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return {std::nullopt, QStringLiteral("The file “%1” couldn’t be read: %2").arg(name, file.errorString())};
    return {std::move(bytes), {}};
}

}  // namespace

QString TabRecordFileStore::LoadOutcome::description() const {
    switch (kind) {
    case Kind::migrated: return QStringLiteral("migrated(from: %1)").arg(version);
    case Kind::recovered: return QStringLiteral("recovered(reason: %1)").arg(quoted(reason));
    case Kind::refusedFutureVersion: return QStringLiteral("refusedFutureVersion(fileVersion: %1)").arg(version);
    case Kind::empty: return QStringLiteral("empty");
    case Kind::loaded: return QStringLiteral("loaded");
    }
    return {};
}

TabRecordFileStore::TabRecordFileStore(QString fileURL, SchemaMigrator migrator, Logger logger)
    : fileURL_(std::move(fileURL)), migrator_(std::move(migrator)), logger_(std::move(logger)) {}

TabRecordFileStore::TabRecordFileStore(const Paths &paths, Logger logger)
    : TabRecordFileStore(defaultFileURL(paths, QStringLiteral("com.ondrake.Ondrake")), SchemaMigrator::standard(),
                         std::move(logger)) {}

QString TabRecordFileStore::defaultFileURL(const Paths &paths, const QString &bundleIdentifier) {
    const QString base = paths.applicationSupport.isEmpty() ? paths.temporary : paths.applicationSupport;
    return QDir(QDir(base).filePath(bundleIdentifier)).filePath(kFileName);
}

std::optional<QJsonObject> TabRecordFileStore::readRawDocument(const QByteArray &bytes) {
    const auto document = json::parse(bytes);
    if (!document) return std::nullopt;
    if (document->isObject()) return document->object();
    if (document->isArray()) return QJsonObject{{QStringLiteral("records"), document->array()}};
    return std::nullopt;
}

TabRecordFileStore::LoadResult TabRecordFileStore::load(const QDateTime &now) {
    const auto fresh = [&](LoadOutcome outcome) { return LoadResult{PersistedState::fresh(now), std::move(outcome)}; };

    // Nothing else writes the file before the store has loaded it, so these are from a save that was cut short.
    if (const int removed = AtomicFile::removeLeftoverTemporaries(fileURL_); removed > 0)
        logger_.info("Removed %{public}ld unfinished save(s) of the record file", removed);

    if (!QFileInfo::exists(fileURL_)) return fresh(LoadOutcome::empty());

    const ReadResult read = readWhole(fileURL_);
    if (!read.bytes) return fresh(quarantine(QStringLiteral("unreadable: ") + read.error, now));
    if (read.bytes->isEmpty()) return fresh(quarantine(QStringLiteral("empty file"), now));

    auto raw = readRawDocument(*read.bytes);
    if (!raw) return fresh(quarantine(QStringLiteral("not JSON"), now));

    const qint64 startingVersion = SchemaMigrator::versionOf(*raw);
    SchemaMigrator::Result migrated;
    try {
        migrated = migrator_.run(std::move(*raw));
    } catch (const SchemaMigrationError &error) {
        if (error.kind() == SchemaMigrationError::Kind::fromTheFuture) {
            logger_.error("Persisted file is schema v%{public}ld, this build supports v%{public}ld. Running without "
                          "persistence.",
                          error.first(), error.second());
            return fresh(LoadOutcome::refusedFutureVersion(error.first()));
        }
        return fresh(quarantine(QStringLiteral("migration failed: ") + error.description(), now));
    } catch (const std::exception &error) {
        return fresh(quarantine(QStringLiteral("migration failed: ") + QString::fromUtf8(error.what()), now));
    }

    PersistedState state;
    try {
        state = PersistedState::fromJson(migrated.document, now);
    } catch (const json::DecodingError &error) {
        return fresh(quarantine(QStringLiteral("decode failed: ") + QString::fromUtf8(error.what()), now));
    }

    if (!migrated.migrated) return {std::move(state), LoadOutcome::loaded()};
    logger_.info("Migrated persisted state from v%{public}ld", startingVersion);
    return {std::move(state), LoadOutcome::migrated(startingVersion)};
}

TabRecordFileStore::LoadOutcome TabRecordFileStore::quarantine(const QString &reason, const QDateTime &now) {
    logger_.error("Persisted state unusable (%{public}s); moving it aside", reason);

    // Whole seconds since 1970, truncated toward zero.
    const qint64 ms = now.toMSecsSinceEpoch();
    const QString seconds = QString::number(ms / 1000);
    FileResult moved = FileResult::failure(QStringLiteral("no free name for the quarantined file"));
    for (int attempt = 1; attempt <= kQuarantineNameAttempts; ++attempt) {
        const QString stamp = attempt == 1 ? seconds : seconds + QLatin1Char('-') + QString::number(attempt);
        const QString target = fileURL_ + QLatin1Char('.') + stamp + QStringLiteral(".corrupt");
        if (QFileInfo::exists(target) || QFileInfo(target).isSymLink()) continue;
        moved = AtomicFile::moveNoReplace(fileURL_, target);
        break;
    }
    if (!moved) {
        logger_.error("Could not quarantine: %{public}s", moved.error);
        logger_.error("Refusing to save this session so the unusable record file is kept");
        saveRefusal_ = moved.error;
    }
    return LoadOutcome::recovered(reason);
}

void TabRecordFileStore::save(const PersistedState &state, const QDateTime &now) {
    if (saveRefusal_)
        throw RecordFileError(QStringLiteral("The unusable record file could not be moved aside (%1); saving is off "
                                             "until the next launch.")
                                  .arg(*saveRefusal_));

    if (QFileInfo::exists(fileURL_)) {
        const ReadResult read = readWhole(fileURL_);
        if (!read.bytes) throw RecordFileError(read.error);
        if (const auto raw = readRawDocument(*read.bytes)) {
            const auto version = json::integerValue(raw->value(QStringLiteral("schemaVersion")));
            if (version && *version >= kFirstFutureVersion)
                throw SchemaMigrationError::fromTheFuture(*version, kCurrentSchemaVersion);
        }
    }

    const QString folder = QFileInfo(fileURL_).absolutePath();
    if (!QDir().mkpath(folder))
        throw RecordFileError(QStringLiteral("The folder “%1” couldn’t be created.").arg(folder));

    const QByteArray bytes = state.preparedForSave(now).encode();
    if (const FileResult written = AtomicFile::write(fileURL_, bytes, false); !written)
        throw RecordFileError(QStringLiteral("The file “%1” couldn’t be saved: %2")
                                  .arg(QFileInfo(fileURL_).fileName(), written.error));
}

}  // namespace ondrake
