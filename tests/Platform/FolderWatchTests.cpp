#include "AtomicFile.h"
#include "FolderWatch.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <fcntl.h>

using namespace ondrake;

namespace {

bool isOpenDescriptor(int fd) { return fd >= 0 && fcntl(fd, F_GETFD) != -1; }

// Counts the watch's calls; a test waits for the next one on real file-system events.
struct Calls {
    std::function<void()> callback() {
        return [this] { ++count; };
    }
    bool waitForMore(int than) const {
        return QTest::qWaitFor([&] { return count > than; }, 10000);
    }
    int count = 0;
};

TEST(FolderWatch, ReportsEntriesCreatedReplacedRenamedAndDeleted) {
    test::TemporaryPaths tmp;
    const QString folder = tmp.root();
    Calls calls;
    FolderWatch watch(folder, calls.callback());
    ASSERT_TRUE(watch.isActive());
    EXPECT_EQ(watch.folder(), folder);

    const std::vector<std::pair<const char *, std::function<void()>>> steps = {
        {"atomic write", [&] { ASSERT_TRUE(AtomicFile::write(folder + "/state.json", "1")); }},
        {"atomic replace", [&] { ASSERT_TRUE(AtomicFile::write(folder + "/state.json", "2")); }},
        {"rename", [&] { ASSERT_TRUE(QFile::rename(folder + "/state.json", folder + "/other.json")); }},
        {"delete", [&] { ASSERT_TRUE(QFile::remove(folder + "/other.json")); }},
        {"subfolder", [&] { ASSERT_TRUE(QDir(folder).mkdir("sub")); }},
    };
    for (const auto &[name, step] : steps) {
        const int before = calls.count;
        step();
        EXPECT_TRUE(calls.waitForMore(before)) << name;
        EXPECT_TRUE(watch.isActive()) << name;
    }
}

TEST(FolderWatch, ClosesItsDescriptorWhenCancelledDestroyedOrReplaced) {
    test::TemporaryPaths tmp;
    int fd = -1;
    {
        FolderWatch watch(tmp.root(), [] {});
        fd = watch.descriptor();
        EXPECT_TRUE(isOpenDescriptor(fd));
        watch.cancel();
        EXPECT_FALSE(watch.isActive());
        EXPECT_EQ(watch.descriptor(), -1);
        EXPECT_FALSE(isOpenDescriptor(fd));
    }
    {
        auto watch = std::make_unique<FolderWatch>(tmp.root(), [] {});
        fd = watch->descriptor();
        watch.reset();
        EXPECT_FALSE(isOpenDescriptor(fd));
    }
    FolderWatch first(tmp.root(), [] {});
    const int firstFd = first.descriptor();
    FolderWatch moved(std::move(first));
    EXPECT_EQ(moved.descriptor(), firstFd);  // a move hands the watch over without reopening
    EXPECT_FALSE(first.isActive());
    moved = FolderWatch(tmp.root(), [] {});
    EXPECT_TRUE(moved.isActive());
    EXPECT_FALSE(isOpenDescriptor(firstFd));  // the new watch opened before the old one closed
}

TEST(FolderWatch, CannotWatchWhatIsNotAFolder) {
    test::TemporaryPaths tmp;
    EXPECT_FALSE(FolderWatch(tmp.root() + "/missing", [] {}).isActive());
    ASSERT_TRUE(AtomicFile::write(tmp.root() + "/file", "x"));
    EXPECT_FALSE(FolderWatch(tmp.root() + "/file", [] {}).isActive());
    EXPECT_FALSE(FolderWatch().isActive());
}

TEST(FolderWatch, EndsWhenTheFolderGoesAway) {
    test::TemporaryPaths tmp;
    const QString folder = tmp.root() + "/watched";
    for (const bool deleted : {true, false}) {
        ASSERT_TRUE(QDir().mkpath(folder));
        Calls calls;
        FolderWatch watch(folder, calls.callback());
        const int fd = watch.descriptor();
        if (deleted) ASSERT_TRUE(QDir(folder).removeRecursively());
        else ASSERT_TRUE(QDir().rename(folder, tmp.root() + "/moved"));
        EXPECT_TRUE(calls.waitForMore(0)) << deleted;
        EXPECT_FALSE(watch.isActive()) << deleted;
        EXPECT_FALSE(isOpenDescriptor(fd)) << deleted;
        QDir(tmp.root() + "/moved").removeRecursively();
    }
}

TEST(FolderWatch, MayBeReplacedFromItsOwnCallback) {
    test::TemporaryPaths tmp;
    Calls calls;
    FolderWatch watch;
    watch = FolderWatch(tmp.root(), [&] {
        watch = FolderWatch(tmp.root(), calls.callback());
        calls.callback()();
    });
    ASSERT_TRUE(AtomicFile::write(tmp.root() + "/a", "1"));
    ASSERT_TRUE(calls.waitForMore(0));
    ASSERT_TRUE(AtomicFile::write(tmp.root() + "/b", "1"));
    EXPECT_TRUE(calls.waitForMore(1));  // the replacement watches on
}

}  // namespace
