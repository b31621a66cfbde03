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
