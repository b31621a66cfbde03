#include "Ondrake/Model/LegacyIdentity.h"

#include "Ondrake/Model/TabRecordFileStore.h"
#include "PropertyList.h"
#include "UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace ondrake::LegacyIdentity {

namespace {

const QString kLegacyIdentifier = QStringLiteral("dev.local.Wickline");
// Preferences files are kilobytes, and carrying tens of thousands of keys across takes a fraction
// of a second; a file larger than this is not the application's and would only hold up the start.
constexpr qint64 kLegacyPreferencesMaxBytes = 16 * 1024 * 1024;

const Logger &migrationLogger() {
    static const Logger logger(QStringLiteral("Migration"));
    return logger;
}

}  // namespace

std::optional<QString> legacyPreferencesURL(const QString &home) {
    if (home.isEmpty()) return std::nullopt;
    return QDir(home).filePath(QStringLiteral("Library/Preferences/") + kLegacyIdentifier + QStringLiteral(".plist"));
}

std::optional<QString> legacyRecordFileURL(const QString &home) {
    if (home.isEmpty()) return std::nullopt;
    return QDir(home).filePath(QStringLiteral("Library/Application Support/") + kLegacyIdentifier + QLatin1Char('/')
                               + TabRecordFileStore::kFileName);
}

void copyLegacyDefaults(const std::optional<QString> &legacyPreferences, UserDefaults &defaults, const Logger &logger) {
    if (!legacyPreferences) return;
    if (const QFileInfo file(*legacyPreferences); file.isFile() && file.size() > kLegacyPreferencesMaxBytes) {
        logger.error("Skipped the legacy preferences: %{public}ld bytes is over the limit of %{public}ld", file.size(),
                     kLegacyPreferencesMaxBytes);
        return;
    }
    const auto legacy = PropertyList::readDictionary(*legacyPreferences, kLegacyPreferencesMaxBytes);
    if (!legacy || legacy->isEmpty()) return;
    qint64 copied = 0;
    for (auto it = legacy->begin(); it != legacy->end(); ++it) {
        if (defaults.objectForKey(it.key())) continue;
        defaults.setObject(it.key(), it.value());
        ++copied;
    }
    logger.info("Carried %{public}ld settings across from the legacy domain", copied);
}

void copyLegacyRecordFile(const std::optional<QString> &legacyRecordFile, const QString &currentRecordFile,
                          const Logger &logger) {
    if (!legacyRecordFile) return;
    // Only a regular file is copied: copying a FIFO would wait for a writer that never comes.
    if (!QFileInfo(*legacyRecordFile).isFile() || QFileInfo::exists(currentRecordFile)) return;
    const QString folder = QFileInfo(currentRecordFile).absolutePath();
    if (!QDir().mkpath(folder)) {
        logger.error("Could not carry the record book across: %{public}s",
                     QStringLiteral("The folder “%1” couldn’t be created.").arg(folder));
        return;
    }
    QFile legacy(*legacyRecordFile);
    if (!legacy.copy(currentRecordFile)) {
        logger.error("Could not carry the record book across: %{public}s", legacy.errorString());
        return;
    }
    logger.info("Copied the record book across from the legacy directory");
}

void migrateFromLegacyIdentity(const Paths &paths, UserDefaults &defaults) {
    const auto preferences = legacyPreferencesURL(paths.home);
    const auto recordFile = legacyRecordFileURL(paths.home);
    const QString current = TabRecordFileStore::defaultFileURL(paths, QStringLiteral("com.ondrake.Ondrake"));
    const QString key = QString::fromLatin1(kMigratedKey);
    if (defaults.boolForKey(key)) return;
    copyLegacyDefaults(preferences, defaults, migrationLogger());
    copyLegacyRecordFile(recordFile, current, migrationLogger());
    defaults.setBool(key, true);
}

}  // namespace ondrake::LegacyIdentity
