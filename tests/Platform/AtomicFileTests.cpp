#include "AtomicFile.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>

using namespace ondrake;

namespace {

QByteArray readAll(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST(AtomicFile, WritesWholeAndCreatesFolders) {
    test::TemporaryPaths tmp;
    const QString path = tmp.root() + "/a/b/file.json";
    ASSERT_TRUE(AtomicFile::write(path, "first"));
    ASSERT_TRUE(AtomicFile::write(path, "second"));
    EXPECT_EQ(readAll(path), "second");
    EXPECT_EQ(QDir(tmp.root() + "/a/b").entryList(QDir::Files).size(), 1);  // no temporary left behind
}

TEST(AtomicFile, WriteReportsAFolderItCannotCreate) {
    test::TemporaryPaths tmp;
    ASSERT_TRUE(AtomicFile::write(tmp.root() + "/blocker", "x"));
    const FileResult result = AtomicFile::write(tmp.root() + "/blocker/inside.json", "y");
    EXPECT_FALSE(result);
    EXPECT_FALSE(result.error.isEmpty());
}

TEST(AtomicFile, MoveNeverReplacesAnExistingTarget) {
    test::TemporaryPaths tmp;
    const QString from = tmp.root() + "/from", to = tmp.root() + "/to";
    ASSERT_TRUE(AtomicFile::write(from, "new"));
    ASSERT_TRUE(AtomicFile::write(to, "old"));
    EXPECT_FALSE(AtomicFile::moveNoReplace(from, to));
    EXPECT_EQ(readAll(to), "old");
    EXPECT_EQ(readAll(from), "new");
    QFile::remove(to);
    EXPECT_TRUE(AtomicFile::moveNoReplace(from, to));
    EXPECT_EQ(readAll(to), "new");
    EXPECT_FALSE(QFile::exists(from));
    EXPECT_FALSE(AtomicFile::moveNoReplace(tmp.root() + "/missing", tmp.root() + "/x"));
}

TEST(AtomicFile, KnowsItsOwnTemporaryNames) {
    const QString target = QStringLiteral("TabRecords.json");
    struct Case {
        const char *name;
        bool ours;
    };
    const Case cases[] = {
        {".TabRecords.json.Ab12Cd.tmp", true},
        {".TabRecords.json.zzzzzz.tmp", true},
        {"TabRecords.json.Ab12Cd.tmp", false},
        {".TabRecords.json.Ab12C.tmp", false},
        {".TabRecords.json.Ab12Cde.tmp", false},
        {".TabRecords.json.Ab-2Cd.tmp", false},
        {".TabRecords.json.Ab12Cd.tmp.keep", false},
        {".Other.json.Ab12Cd.tmp", false},
        {"TabRecords.json.backup", false},
        {"TabRecords.json.1767225600.corrupt", false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(AtomicFile::isTemporaryFor(QString::fromLatin1(c.name), target), c.ours) << c.name;
}

TEST(AtomicFile, RemovesOnlyItsOwnLeftovers) {
    test::TemporaryPaths tmp;
    const QString target = tmp.root() + "/TabRecords.json";
    const QStringList kept = {"TabRecords.json", "TabRecords.json.backup", ".Other.json.Ab12Cd.tmp"};
    for (const QString &name : kept + QStringList{".TabRecords.json.Ab12Cd.tmp", ".TabRecords.json.xY98zW.tmp"})
        ASSERT_TRUE(AtomicFile::write(tmp.root() + "/" + name, "x"));
    QDir(tmp.root()).mkdir(".TabRecords.json.Folder.tmp");

    EXPECT_EQ(AtomicFile::removeLeftoverTemporaries(target), 2);
    QStringList left = QDir(tmp.root()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    left.sort();
    QStringList expected = kept + QStringList{".TabRecords.json.Folder.tmp"};
    expected.sort();
    EXPECT_EQ(left, expected);
}

TEST(AtomicFile, WritesTheLongestNameAFolderTakesAndKeepsTheFileMode) {
    test::TemporaryPaths tmp;
    const QString path = tmp.root() + "/" + QString(255, QLatin1Char('n'));
    ASSERT_TRUE(AtomicFile::write(path, "first"));
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    ASSERT_TRUE(AtomicFile::write(path, "second"));
    EXPECT_EQ(readAll(path), "second");
    EXPECT_EQ(QFile::permissions(path), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser | QFileDevice::WriteUser);
    EXPECT_EQ(QDir(tmp.root()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

}  // namespace

namespace {

TEST(AtomicFile, ReplaceUnsyncedSwapsTheWholeFileOrLeavesItAlone) {
    test::TemporaryPaths tmp;
    const QString path = tmp.root() + "/state.json";
    ASSERT_TRUE(AtomicFile::replaceUnsynced(path, "first"));
    QFile reader(path);
    ASSERT_TRUE(reader.open(QIODevice::ReadOnly));
    ASSERT_TRUE(AtomicFile::replaceUnsynced(path, QByteArray(200'000, 'x')));
    EXPECT_EQ(reader.readAll(), "first");  // a reader that opened the old file keeps it whole
    EXPECT_EQ(readAll(path), QByteArray(200'000, 'x'));
    EXPECT_EQ(QDir(tmp.root()).entryList(QDir::Files | QDir::Hidden), QStringList{"state.json"});

    // A folder in the file's place, or no folder at all: an error, and nothing left behind.
    ASSERT_TRUE(QDir(tmp.root()).mkdir("taken"));
    const FileResult taken = AtomicFile::replaceUnsynced(tmp.root() + "/taken", "y");
    EXPECT_FALSE(taken);
    EXPECT_FALSE(taken.error.isEmpty());
    EXPECT_FALSE(AtomicFile::replaceUnsynced(tmp.root() + "/missing/state.json", "y"));
    EXPECT_EQ(QDir(tmp.root()).entryList(QDir::Files | QDir::Hidden), QStringList{"state.json"});
}

}  // namespace
