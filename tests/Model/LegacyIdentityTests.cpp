#include "ModelTestSupport.h"
#include "TestSupport.h"

#include "Log.h"
#include "Ondrake/Model/LegacyIdentity.h"
#include "Ondrake/Model/TabRecordFileStore.h"
#include "UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QCoreApplication>
#include <QFileInfo>

#include <sys/stat.h>

using namespace ondrake;
using namespace ondrake::test;

namespace {

const QByteArray kLegacyPreferences = R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
  <key>SidebarWidth</key><real>300</real>
  <key>SidebarTheme</key><string>dusk</string>
  <key>SidebarIsCompact</key><true/>
</dict></plist>)";

void writeFile(const QString &path, const QByteArray &bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

QByteArray readFile(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

class LegacyIdentityTest : public ::testing::Test {
protected:
    const Paths &paths() const { return root_.paths(); }
    QString legacyPreferences() const { return *LegacyIdentity::legacyPreferencesURL(paths().home); }
    QString legacyRecords() const { return *LegacyIdentity::legacyRecordFileURL(paths().home); }
    QString currentRecords() const {
        return TabRecordFileStore::defaultFileURL(paths(), QStringLiteral("com.ondrake.Ondrake"));
    }
    void migrate() { LegacyIdentity::migrateFromLegacyIdentity(paths(), defaults_); }
    std::vector<QString> migrationLog() const { return log_.messages(QStringLiteral("Migration")); }

    TemporaryPaths root_;
    UserDefaults defaults_;
    LogCapture log_;
};

TEST(LegacyIdentityLocations, AreUnderTheRealHomeOrNowhere) {
    EXPECT_EQ(LegacyIdentity::legacyPreferencesURL(QStringLiteral("/Users/ann")),
              QStringLiteral("/Users/ann/Library/Preferences/dev.local.Wickline.plist"));
    EXPECT_EQ(LegacyIdentity::legacyRecordFileURL(QStringLiteral("/Users/ann")),
              QStringLiteral("/Users/ann/Library/Application Support/dev.local.Wickline/TabRecords.json"));
    EXPECT_EQ(LegacyIdentity::legacyPreferencesURL(QString()), std::nullopt);
    EXPECT_EQ(LegacyIdentity::legacyRecordFileURL(QString()), std::nullopt);
}

TEST_F(LegacyIdentityTest, CarriesMissingSettingsAndTheRecordFileOnce) {
    writeFile(legacyPreferences(), kLegacyPreferences);
    writeFile(legacyRecords(), R"({"schemaVersion": 2})");
    defaults_.setString(QStringLiteral("SidebarTheme"), QStringLiteral("dawn"));

    migrate();
    EXPECT_EQ(defaults_.doubleForKey(QStringLiteral("SidebarWidth")), 300.0);
    EXPECT_TRUE(defaults_.boolForKey(QStringLiteral("SidebarIsCompact")));
    EXPECT_EQ(defaults_.stringForKey(QStringLiteral("SidebarTheme")), QStringLiteral("dawn"));
    EXPECT_EQ(readFile(currentRecords()), QByteArray(R"({"schemaVersion": 2})"));
    EXPECT_EQ(readFile(legacyRecords()), QByteArray(R"({"schemaVersion": 2})"));
    EXPECT_TRUE(defaults_.boolForKey(QStringLiteral("MigratedFromLegacyIdentifier")));
    EXPECT_EQ(migrationLog(), (std::vector<QString>{QStringLiteral("Carried 2 settings across from the legacy domain"),
                                                    QStringLiteral("Copied the record book across from the legacy directory")}));

    // Done once: later launches read nothing, even with new legacy data.
    log_.clear();
    QFile::remove(currentRecords());
    defaults_.removeObject(QStringLiteral("SidebarWidth"));
    migrate();
    EXPECT_FALSE(QFileInfo::exists(currentRecords()));
    EXPECT_FALSE(defaults_.objectForKey(QStringLiteral("SidebarWidth")));
    EXPECT_TRUE(migrationLog().empty());
}

TEST_F(LegacyIdentityTest, UnusablePreferencesAreSkippedSilently) {
    for (const QByteArray &contents : {QByteArray("<plist version=\"1.0\"><dict/></plist>"), QByteArray("garbage"),
                                       QByteArray("<plist><array><string>a</string></array></plist>")}) {
        writeFile(legacyPreferences(), contents);
        UserDefaults defaults;
        LegacyIdentity::copyLegacyDefaults(legacyPreferences(), defaults, Logger(QStringLiteral("Migration")));
        EXPECT_TRUE(defaults.dictionaryRepresentation().isEmpty()) << contents.constData();
    }
    LegacyIdentity::copyLegacyDefaults(std::nullopt, defaults_, Logger(QStringLiteral("Migration")));
    EXPECT_TRUE(migrationLog().empty());
}

TEST_F(LegacyIdentityTest, AllThreeKeysAlreadyPresentStillLogsTheCount) {
    writeFile(legacyPreferences(), kLegacyPreferences);
    for (const char *key : {"SidebarWidth", "SidebarTheme", "SidebarIsCompact"}) defaults_.setInteger(QString::fromLatin1(key), 1);
    LegacyIdentity::copyLegacyDefaults(legacyPreferences(), defaults_, Logger(QStringLiteral("Migration")));
    EXPECT_EQ(migrationLog(), (std::vector<QString>{QStringLiteral("Carried 0 settings across from the legacy domain")}));
}

TEST_F(LegacyIdentityTest, KeepsAnExistingRecordFile) {
    writeFile(legacyRecords(), "legacy");
    writeFile(currentRecords(), "current");
    migrate();
    EXPECT_EQ(readFile(currentRecords()), QByteArray("current"));
    EXPECT_TRUE(migrationLog().empty());
}

TEST_F(LegacyIdentityTest, AFailedCopyIsLoggedAndNeverRetried) {
    writeFile(legacyRecords(), "legacy");
    const QString folder = QFileInfo(currentRecords()).absolutePath();
    writeFile(folder, "a file where the folder belongs");
    migrate();
    ASSERT_EQ(migrationLog().size(), 1u);
    EXPECT_TRUE(migrationLog()[0].startsWith(QStringLiteral("Could not carry the record book across: ")));
    EXPECT_TRUE(defaults_.boolForKey(QStringLiteral("MigratedFromLegacyIdentifier")));

    QFile::remove(folder);
    migrate();
    EXPECT_FALSE(QFileInfo::exists(currentRecords()));
}

TEST_F(LegacyIdentityTest, AnUnknownHomeSkipsBothHalves) {
    Paths homeless = paths();
    homeless.home.clear();
    writeFile(legacyRecords(), "legacy");
    LegacyIdentity::migrateFromLegacyIdentity(homeless, defaults_);
    EXPECT_FALSE(QFileInfo::exists(currentRecords()));
    EXPECT_TRUE(defaults_.boolForKey(QStringLiteral("MigratedFromLegacyIdentifier")));
}

TEST_F(LegacyIdentityTest, ACarryOverOfManySettingsWritesTheDefaultsOnce) {
    QByteArray plist = "<plist version=\"1.0\"><dict>";
    for (int i = 0; i < 3000; ++i) plist += "<key>Key" + QByteArray::number(i) + "</key><integer>" + QByteArray::number(i) + "</integer>";
    writeFile(legacyPreferences(), plist + "</dict></plist>");
    UserDefaults standard(paths(), QStringLiteral("com.ondrake.Ondrake"));

    LegacyIdentity::migrateFromLegacyIdentity(paths(), standard);

    EXPECT_EQ(standard.integerForKey(QStringLiteral("Key2999")), 2999);
    EXPECT_TRUE(standard.boolForKey(QStringLiteral("MigratedFromLegacyIdentifier")));
    EXPECT_FALSE(QFile::exists(standard.filePath()));
    QCoreApplication::sendPostedEvents(&standard, QEvent::MetaCall);
    EXPECT_EQ(UserDefaults(paths(), QStringLiteral("com.ondrake.Ondrake")).dictionaryRepresentation().size(), 3001);
}

TEST_F(LegacyIdentityTest, PreferencesOver16MiBAreSkippedWithOneLine) {
    // A valid list padded with one long value to an exact size.
    const QByteArray head = "<plist version=\"1.0\"><dict><key>SidebarTheme</key><string>";
    const QByteArray tail = "</string></dict></plist>";
    const auto sized = [&](qsizetype size) { return head + QByteArray(size - head.size() - tail.size(), 'x') + tail; };
    constexpr qsizetype kLimit = 16 * 1024 * 1024;
    writeFile(legacyPreferences(), sized(kLimit + 1));
    LegacyIdentity::copyLegacyDefaults(legacyPreferences(), defaults_, Logger(QStringLiteral("Migration")));
    EXPECT_EQ(defaults_.objectForKey(QStringLiteral("SidebarTheme")), std::nullopt);
    EXPECT_EQ(migrationLog(),
              std::vector<QString>{QStringLiteral("Skipped the legacy preferences: 16777217 bytes is over the limit of 16777216")});
    ASSERT_EQ(log_.entries().size(), 1u);
    EXPECT_EQ(log_.entries()[0].level, LogLevel::error);

    log_.clear();
    writeFile(legacyPreferences(), sized(kLimit));
    LegacyIdentity::copyLegacyDefaults(legacyPreferences(), defaults_, Logger(QStringLiteral("Migration")));
    EXPECT_EQ(defaults_.stringForKey(QStringLiteral("SidebarTheme"))->size(), kLimit - head.size() - tail.size());
    EXPECT_EQ(migrationLog(), std::vector<QString>{QStringLiteral("Carried 1 settings across from the legacy domain")});
}

TEST_F(LegacyIdentityTest, FifosInTheLegacyPlacesAreSkippedWithoutWaiting) {
    for (const QString &path : {legacyPreferences(), legacyRecords()}) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    }
    migrate();
    EXPECT_TRUE(defaults_.boolForKey(QStringLiteral("MigratedFromLegacyIdentifier")));
    EXPECT_FALSE(QFileInfo::exists(currentRecords()));
    EXPECT_TRUE(migrationLog().empty());
}

}  // namespace
