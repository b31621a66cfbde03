#include "ModelTestSupport.h"
#include "TestSupport.h"

#include "Log.h"
#include "Ondrake/Model/TabRecordFileStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <limits>

#include <sys/stat.h>

using namespace ondrake;
using namespace ondrake::test;

namespace {

using Outcome = TabRecordFileStore::LoadOutcome;

QByteArray readFile(const QString &path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll();
}

void writeFile(const QString &path, const QByteArray &bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

class RecordFileStoreTest : public ::testing::Test {
protected:
    TabRecordFileStore makeStore() const { return TabRecordFileStore(paths_.paths(), Logger(QStringLiteral("Persistence"))); }
    QString fileURL() const { return makeStore().fileURL(); }
    QString quarantined(const QDateTime &at, const QString &suffix = {}) const {
        return fileURL() + QLatin1Char('.') + QString::number(at.toSecsSinceEpoch()) + suffix + QStringLiteral(".corrupt");
    }
    QStringList folderEntries() const {
        return QDir(QFileInfo(fileURL()).absolutePath()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name);
    }

    TemporaryPaths paths_;
    LogCapture log_;
};

TEST(LoadOutcome, DescribesItselfLikeTheCaseItIs) {
    EXPECT_EQ(Outcome::migrated(2).description(), QStringLiteral("migrated(from: 2)"));
    EXPECT_EQ(Outcome::recovered(QStringLiteral("empty file")).description(), QStringLiteral("recovered(reason: \"empty file\")"));
    EXPECT_EQ(Outcome::recovered(QStringLiteral("say \"hi\"")).description(), QStringLiteral("recovered(reason: \"say \\\"hi\\\"\")"));
    EXPECT_EQ(Outcome::refusedFutureVersion(7).description(), QStringLiteral("refusedFutureVersion(fileVersion: 7)"));
    EXPECT_EQ(Outcome::empty().description(), QStringLiteral("empty"));
    EXPECT_EQ(Outcome::loaded().description(), QStringLiteral("loaded"));
}

TEST(TabRecordFileStore, LivesUnderApplicationSupportOrElseTheTemporaryFolder) {
    Paths paths = Paths::under(QStringLiteral("/r"));
    EXPECT_EQ(TabRecordFileStore::defaultFileURL(paths, QStringLiteral("com.ondrake.Ondrake")),
              QStringLiteral("/r/Application Support/com.ondrake.Ondrake/TabRecords.json"));
    paths.applicationSupport.clear();
    EXPECT_EQ(TabRecordFileStore::defaultFileURL(paths, QStringLiteral("com.ondrake.Ondrake")),
              QStringLiteral("/r/tmp/com.ondrake.Ondrake/TabRecords.json"));
}

TEST_F(RecordFileStoreTest, NoFileLoadsEmptyAndTheFirstSaveCreatesIt) {
    auto store = makeStore();
    const auto [state, outcome] = store.load(utc());
    EXPECT_EQ(outcome, Outcome::empty());
    EXPECT_EQ(state, PersistedState::fresh(utc()));
    EXPECT_FALSE(QFileInfo::exists(QFileInfo(fileURL()).absolutePath()));

    PersistedState changed = state;
    changed.records.push_back(TabRecord{.id = OndrakeID(), .index = 4, .title = QStringLiteral("T"), .createdAt = utc(2024)});
    store.save(changed, utc(2026));
    const auto reloaded = makeStore().load(utc(2030));
    EXPECT_EQ(reloaded.outcome, Outcome::loaded());
    EXPECT_EQ(reloaded.state, changed.preparedForSave(utc(2026)));
    EXPECT_EQ(reloaded.state.savedAt, utc(2026));
    EXPECT_EQ(reloaded.state.records.at(0).index, 4) << "the last position survives a save";
}

TEST_F(RecordFileStoreTest, TwoSavesOfOneStateWriteTheSameBytes) {
    PersistedState state = PersistedState::fresh(utc());
    for (int i = 0; i < 20; ++i)
        state.records.push_back(TabRecord{.id = OndrakeID(), .createdAt = utc(2024).addSecs(i % 3)});
    auto store = makeStore();
    store.save(state, utc());
    const QByteArray first = readFile(fileURL());
    std::reverse(state.records.begin(), state.records.end());
    store.save(state, utc());
    EXPECT_EQ(readFile(fileURL()), first);
}

TEST_F(RecordFileStoreTest, AStateReadBackSavesToTheSameBytes) {
    // Made within one second, later identities earlier: the file keeps only the second.
    PersistedState state = PersistedState::fresh(utc());
    for (int i = 0; i < 5; ++i)
        state.records.push_back(TabRecord{
            .id = *OndrakeID::fromString(QStringLiteral("00000000-0000-0000-0000-00000000000%1").arg(i)),
            .createdAt = utc(2024).addMSecs(900 - i * 100)});
    auto store = makeStore();
    store.save(state, utc());
    const QByteArray first = readFile(fileURL());
    store.save(makeStore().load(utc()).state, utc());
    EXPECT_EQ(readFile(fileURL()), first);
}

TEST_F(RecordFileStoreTest, QuarantinesEachKindOfUnusableFile) {
    struct Case {
        QByteArray bytes;
        const char *reason;  // prefix of the reason
    };
    const Case cases[] = {
        {"", "empty file"},
        {"{\"records\": [", "not JSON"},
        {"null", "not JSON"},
        {"\"text\"", "not JSON"},
        {"42", "not JSON"},
        {QByteArray(100000, '['), "not JSON"},
        {"\xff\xfe{}", "not JSON"},
        {R"({"schemaVersion": -1})", "migration failed: noPathForward(from: -1, to: 3)"},
        {R"({"schemaVersion": 3, "records": [{"title": "no id"}]})", "decode failed: "},
        {R"({"schemaVersion": 3, "records": [{"id": "00000000-0000-0000-0000-000000000001", "index": 1e300}]})", "decode failed: "},
        {R"({"schemaVersion": 3, "records": [{"id": "00000000-0000-0000-0000-000000000001", "index": 1e400}]})", "not JSON"},
        {R"({"schemaVersion": 3, "records": {"id": 1}})", "decode failed: "},
        {R"({"schemaVersion": 3, "savedAt": "2025-03-01T09:30:00.5Z"})", "decode failed: "},
    };
    QDateTime now = utc();
    for (const auto &c : cases) {
        now = now.addSecs(1);
        writeFile(fileURL(), c.bytes);
        log_.clear();
        const auto [state, outcome] = makeStore().load(now);
        EXPECT_EQ(outcome.kind, Outcome::Kind::recovered) << c.reason;
        EXPECT_TRUE(outcome.reason.startsWith(QString::fromLatin1(c.reason))) << outcome.reason.toStdString();
        EXPECT_EQ(state, PersistedState::fresh(now));
        EXPECT_FALSE(QFileInfo::exists(fileURL())) << c.reason;
        EXPECT_EQ(readFile(quarantined(now)), c.bytes);
        EXPECT_EQ(log_.messages(), (std::vector<QString>{QStringLiteral("Persisted state unusable (%1); moving it aside").arg(outcome.reason)}));
    }
}

TEST_F(RecordFileStoreTest, AFolderInPlaceOfTheFileIsUnreadable) {
    QDir().mkpath(fileURL());
    const auto outcome = makeStore().load(utc()).outcome;
    EXPECT_EQ(outcome.kind, Outcome::Kind::recovered);
    EXPECT_TRUE(outcome.reason.startsWith(QStringLiteral("unreadable: "))) << outcome.reason.toStdString();
    EXPECT_TRUE(QFileInfo(quarantined(utc())).isDir());
}

TEST_F(RecordFileStoreTest, ASecondQuarantineInTheSameSecondGetsItsOwnName) {
    writeFile(fileURL(), "first");
    EXPECT_EQ(makeStore().load(utc()).outcome, Outcome::recovered(QStringLiteral("not JSON")));
    writeFile(fileURL(), "");
    auto store = makeStore();
    EXPECT_EQ(store.load(utc().addMSecs(900)).outcome, Outcome::recovered(QStringLiteral("empty file")));
    EXPECT_EQ(readFile(quarantined(utc())), QByteArray("first"));
    EXPECT_EQ(readFile(quarantined(utc(), QStringLiteral("-2"))), QByteArray());
    store.save(PersistedState::fresh(utc()), utc());
    EXPECT_EQ(folderEntries().size(), 3);
}

TEST_F(RecordFileStoreTest, AFileThatCannotBeMovedAsideIsNeverOverwritten) {
    for (int i = 1; i <= 100; ++i)
        writeFile(quarantined(utc(), i == 1 ? QString() : QStringLiteral("-%1").arg(i)), "older");
    writeFile(fileURL(), "precious but broken");
    auto store = makeStore();
    const auto [state, outcome] = store.load(utc());
    EXPECT_EQ(outcome, Outcome::recovered(QStringLiteral("not JSON")));
    EXPECT_EQ(state, PersistedState::fresh(utc()));
    EXPECT_TRUE(log_.contains(QStringLiteral("Could not quarantine: no free name for the quarantined file")));
    EXPECT_THROW(store.save(state, utc()), RecordFileError);
    EXPECT_THROW(store.save(state, utc().addSecs(60)), RecordFileError);
    EXPECT_EQ(readFile(fileURL()), QByteArray("precious but broken"));
}

TEST_F(RecordFileStoreTest, ANewerSchemaIsLeftAloneAndRefusesEverySave) {
    const QByteArray newer = R"({"schemaVersion": 7, "records": "a new layout"})";
    writeFile(fileURL(), newer);
    auto store = makeStore();
    const auto [state, outcome] = store.load(utc());
    EXPECT_EQ(outcome, Outcome::refusedFutureVersion(7));
    EXPECT_EQ(state, PersistedState::fresh(utc()));
    EXPECT_EQ(log_.messages(), (std::vector<QString>{QStringLiteral(
                                   "Persisted file is schema v7, this build supports v3. Running without persistence.")}));
    try {
        store.save(state, utc());
        FAIL();
    } catch (const SchemaMigrationError &error) {
        EXPECT_EQ(error, SchemaMigrationError::fromTheFuture(7, 3));
    }
    EXPECT_EQ(readFile(fileURL()), newer);
    EXPECT_EQ(folderEntries(), QStringList{QStringLiteral("TabRecords.json")});
}

TEST_F(RecordFileStoreTest, MigratesOlderLayoutsOnLoadButWritesThemOnlyOnSave) {
    struct Case {
        QByteArray bytes;
        qint64 from;
        std::size_t records;
    };
    const Case cases[] = {
        {R"([{"id": "00000000-0000-0000-0000-000000000001", "title": "bare"}])", 0, 1},
        {R"({"records": [{"id": "00000000-0000-0000-0000-000000000001"}]})", 0, 1},
        {R"({"schemaVersion": 1, "records": [], "groups": [], "featureOverrides": {"tabGroups": true}})", 1, 0},
        {R"({"schemaVersion": 2, "records": [], "groups": [], "featureOverrides": {}, "settings": {}, "recentlyClosed": []})", 2, 0},
    };
    for (const auto &c : cases) {
        writeFile(fileURL(), c.bytes);
        log_.clear();
        const auto [state, outcome] = makeStore().load(utc());
        EXPECT_EQ(outcome, Outcome::migrated(c.from)) << c.bytes.constData();
        EXPECT_EQ(state.records.size(), c.records);
        EXPECT_EQ(state.schemaVersion, 3);
        EXPECT_EQ(log_.messages(), (std::vector<QString>{QStringLiteral("Migrated persisted state from v%1").arg(c.from)}));
        EXPECT_EQ(readFile(fileURL()), c.bytes);
    }
    auto store = makeStore();
    store.save(store.load(utc()).state, utc());
    EXPECT_EQ(makeStore().load(utc()).outcome, Outcome::loaded());
}

TEST_F(RecordFileStoreTest, ASaveOverAnUnusableOrOlderFileGoesAhead) {
    for (const QByteArray &existing : {QByteArray("garbage"), QByteArray(R"({"schemaVersion": 2})"),
                                      QByteArray(R"({"schemaVersion": "9"})"), QByteArray("[]")}) {
        writeFile(fileURL(), existing);
        makeStore().save(PersistedState::fresh(utc()), utc());
        EXPECT_EQ(makeStore().load(utc()).outcome, Outcome::loaded()) << existing.constData();
    }
}

TEST_F(RecordFileStoreTest, AFailedSaveLeavesTheOldFileAndSaysWhy) {
    // A file where the folder should be.
    const Paths paths = paths_.paths();
    writeFile(QDir(paths.applicationSupport).filePath(QStringLiteral("com.ondrake.Ondrake")), "in the way");
    EXPECT_THROW(makeStore().save(PersistedState::fresh(utc()), utc()), RecordFileError);
    EXPECT_EQ(readFile(QDir(paths.applicationSupport).filePath(QStringLiteral("com.ondrake.Ondrake"))), QByteArray("in the way"));
}

}  // namespace

namespace {

TEST_F(RecordFileStoreTest, DeepButValidMetadataLoadsAndSavesAgain) {
    const int depth = 1000;
    const QByteArray nested = QByteArray(depth, '[') + "1" + QByteArray(depth, ']');
    writeFile(fileURL(), R"({"schemaVersion": 3, "records": [{"id": "00000000-0000-0000-0000-000000000001", "metadata": {"deep": )"
                             + nested + "}}]}");
    auto store = makeStore();
    const auto [state, outcome] = store.load(utc());
    EXPECT_EQ(outcome, Outcome::loaded());
    ASSERT_EQ(state.records.size(), 1u);
    store.save(state, utc());
    EXPECT_EQ(makeStore().load(utc()).state.records, state.records);
}

}  // namespace

namespace {

TEST_F(RecordFileStoreTest, ANonFiniteMetadataNumberIsSavedAsNull) {
    PersistedState state = PersistedState::fresh(utc());
    state.records.push_back(TabRecord{.id = OndrakeID(), .createdAt = utc(),
                                      .metadata = {{QStringLiteral("ratio"), std::numeric_limits<double>::infinity()}}});
    auto store = makeStore();
    store.save(state, utc());
    store.save(state, utc());
    const auto reloaded = makeStore().load(utc());
    EXPECT_EQ(reloaded.outcome, Outcome::loaded());
    EXPECT_EQ(reloaded.state.records.at(0).metadata.at(QStringLiteral("ratio")), TabMetadataValue::null());
}

TEST_F(RecordFileStoreTest, EveryTruncationOfAFileLoadsOrIsQuarantined) {
    PersistedState state = PersistedState::fresh(utc());
    state.records.push_back(TabRecord{.id = OndrakeID(), .title = QStringLiteral("T"), .createdAt = utc(),
                                      .metadata = {{QStringLiteral("k"), TabMetadataValue::Array{1.5, "x"}}}});
    state.recentlyClosed.add(ClosedTabBatch{.tabs = {ClosedTab::fromRecord(state.records[0], utc())}, .closedAt = utc()});
    const QByteArray whole = state.preparedForSave(utc()).encode();
    for (qsizetype length = 0; length < whole.size(); length += 7) {
        writeFile(fileURL(), whole.left(length));
        const auto outcome = makeStore().load(utc().addSecs(length)).outcome;
        EXPECT_EQ(outcome.kind, Outcome::Kind::recovered) << length;
    }
}

}  // namespace

namespace {

TEST_F(RecordFileStoreTest, ASaveCutShortLeavesNothingAfterTheNextStart) {
    makeStore().save(PersistedState::fresh(utc()), utc());
    const QString folder = QFileInfo(fileURL()).absolutePath();
    const QStringList others = {QStringLiteral("TabRecords.json.backup"), QStringLiteral("TabRecords.json.1767225600.corrupt")};
    for (const QString &name : others + QStringList{QStringLiteral(".TabRecords.json.Ab12Cd.tmp")})
        writeFile(QDir(folder).filePath(name), "half a save");

    EXPECT_EQ(makeStore().load(utc()).outcome, Outcome::loaded());

    QStringList expected = others + QStringList{QStringLiteral("TabRecords.json")};
    expected.sort();
    QStringList left = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    EXPECT_EQ(left, expected);
    EXPECT_TRUE(log_.contains(QStringLiteral("Removed 1 unfinished save(s) of the record file")));
}

TEST_F(RecordFileStoreTest, AFifoInPlaceOfTheFileIsRefusedWithoutWaiting) {
    QDir().mkpath(QFileInfo(fileURL()).absolutePath());
    ASSERT_EQ(::mkfifo(QFile::encodeName(fileURL()).constData(), 0600), 0);
    auto store = makeStore();
    const auto outcome = store.load(utc()).outcome;
    EXPECT_EQ(outcome.kind, Outcome::Kind::recovered);
    EXPECT_EQ(outcome.reason, QStringLiteral("unreadable: The file “TabRecords.json” couldn’t be opened because it is not a regular file."));
    EXPECT_FALSE(QFileInfo::exists(fileURL()));

    // One that appears later is not read by a save either.
    ASSERT_EQ(::mkfifo(QFile::encodeName(fileURL()).constData(), 0600), 0);
    EXPECT_THROW(store.save(PersistedState::fresh(utc()), utc()), RecordFileError);
}

}  // namespace

