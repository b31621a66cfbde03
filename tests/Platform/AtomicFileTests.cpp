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
