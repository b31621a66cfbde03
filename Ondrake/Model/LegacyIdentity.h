#pragma once

#include "Log.h"
#include "Paths.h"

#include <QString>

#include <optional>

namespace ondrake {

class UserDefaults;

// The one-time carry-over from the identity the application had before: its preferences
// ("dev.local.Wickline") and its record file. Nothing is ever deleted from the old places.
namespace LegacyIdentity {

inline const char *const kMigratedKey = "MigratedFromLegacyIdentifier";

// <home>/Library/Preferences/dev.local.Wickline.plist; nothing without a home folder.
std::optional<QString> legacyPreferencesURL(const QString &home);
// <home>/Library/Application Support/dev.local.Wickline/TabRecords.json; nothing without a home folder.
std::optional<QString> legacyRecordFileURL(const QString &home);

// Copies the keys that `defaults` does not have yet from the legacy preferences; a file over
// 16 MiB is not read, and says so in one line.
void copyLegacyDefaults(const std::optional<QString> &legacyPreferences, UserDefaults &defaults, const Logger &logger);
// Copies the legacy record file when there is one and the current location has none.
void copyLegacyRecordFile(const std::optional<QString> &legacyRecordFile, const QString &currentRecordFile,
                          const Logger &logger);

// Runs both halves once per user account, then marks the carry-over done in `defaults`, whatever
// it achieved. The home folder is `paths.home`; the current record file lives where the record
// file store puts it.
void migrateFromLegacyIdentity(const Paths &paths, UserDefaults &defaults);

}  // namespace LegacyIdentity
}  // namespace ondrake
