#include "TestSupport.h"
#include "UserDefaults.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSignalSpy>

#include <cmath>
#include <thread>

#include <sys/stat.h>

using namespace ondrake;

namespace {

TEST(UserDefaults, AbsentKeysReadAsFalseZeroAndNothing) {
    UserDefaults d;
    EXPECT_EQ(d.domain(), "com.ondrake.Ondrake");
    EXPECT_FALSE(d.boolForKey("k"));
    EXPECT_EQ(d.integerForKey("k"), 0);
    EXPECT_EQ(d.doubleForKey("k"), 0.0);
    EXPECT_EQ(d.stringForKey("k"), std::nullopt);
    EXPECT_EQ(d.objectForKey("k"), std::nullopt);
}

TEST(UserDefaults, ConversionsBetweenStoredTypes) {
    UserDefaults d;
    struct Case {
        QVariant stored;
        bool asBool;
        qint64 asInteger;
        double asDouble;
        std::optional<QString> asString;
    };
    const Case cases[] = {
        {QVariant(qint64(30)), true, 30, 30.0, "30"},
        {QVariant(0.12), true, 0, 0.12, "0.12"},
        {QVariant(30.0), true, 30, 30.0, "30"},
        {QVariant(true), true, 1, 1.0, "1"},
        {QVariant(QStringLiteral("0.5")), false, 0, 0.5, "0.5"},
        {QVariant(QStringLiteral(" 42 ")), true, 42, 42.0, " 42 "},
        {QVariant(QStringLiteral("YES")), true, 0, 0.0, "YES"},
        {QVariant(QStringLiteral("activeWindow")), false, 0, 0.0, "activeWindow"},
        {QVariant(QVariantList{1, 2}), false, 0, 0.0, std::nullopt},
        {QVariant(std::nan("")), true, 0, std::nan(""), "nan"},
    };
    for (const auto &c : cases) {
        d.setObject("k", c.stored);
        SCOPED_TRACE(c.stored.toString().toStdString());
        EXPECT_EQ(d.boolForKey("k"), c.asBool);
        EXPECT_EQ(d.integerForKey("k"), c.asInteger);
        if (std::isnan(c.asDouble)) EXPECT_TRUE(std::isnan(d.doubleForKey("k")));
        else EXPECT_DOUBLE_EQ(d.doubleForKey("k"), c.asDouble);
        EXPECT_EQ(d.stringForKey("k"), c.asString);
        EXPECT_TRUE(d.objectForKey("k").has_value());
    }
}

TEST(UserDefaults, ChangesSignalAndRemoveClears) {
    UserDefaults d;
    QSignalSpy spy(&d, &UserDefaults::didChange);
    d.setDouble("SidebarWidth", 280);
    d.removeObject("SidebarWidth");
    d.removeObject("SidebarWidth");  // nothing there: no change
    EXPECT_EQ(spy.count(), 2);
    EXPECT_EQ(d.objectForKey("SidebarWidth"), std::nullopt);
}

TEST(UserDefaults, ChangeFromAnotherThreadSignalsOnTheOwnersThread) {
    UserDefaults d;
    QSignalSpy spy(&d, &UserDefaults::didChange);
    std::thread([&] { d.setBool("x", true); }).join();
    EXPECT_EQ(spy.count(), 0);
    EXPECT_TRUE(spy.wait(5000));
    EXPECT_TRUE(d.boolForKey("x"));
}

TEST(UserDefaults, PersistsEveryTypeAcrossInstances) {
    test::TemporaryPaths tmp;
    {
        UserDefaults d(tmp.paths(), "com.ondrake.Ondrake");
        d.setBool("b", true);
        d.setInteger("i", 7);
        d.setDouble("f", 0.25);
        d.setString("s", "a/b");
        d.setData("d", QByteArray("\x00\x01\xff", 3));
        d.setObject("l", QVariantList{1, "two"});
        d.setObject("m", QVariantMap{{"k", 1.5}});
        d.setObject("t", QDateTime(QDate(2025, 5, 6), QTime(7, 8, 9, 250), Qt::UTC));
    }
    UserDefaults d(tmp.paths(), "com.ondrake.Ondrake");
    EXPECT_TRUE(d.boolForKey("b"));
    EXPECT_EQ(d.integerForKey("i"), 7);
    EXPECT_EQ(d.doubleForKey("f"), 0.25);
    EXPECT_EQ(d.stringForKey("s"), "a/b");
    EXPECT_EQ(d.dataForKey("d"), QByteArray("\x00\x01\xff", 3));
    EXPECT_EQ(d.arrayForKey("l"), (QVariantList{qint64(1), "two"}));
    EXPECT_EQ(d.dictionaryForKey("m"), (QVariantMap{{"k", 1.5}}));
    EXPECT_EQ(d.objectForKey("t"), QVariant(QDateTime(QDate(2025, 5, 6), QTime(7, 8, 9, 250), Qt::UTC)));
    EXPECT_EQ(d.stringForKey("t"), std::nullopt);
    EXPECT_EQ(d.dictionaryRepresentation().size(), 8);
}

TEST(UserDefaults, UnreadableFileIsMovedAsideNotOverwritten) {
    test::TemporaryPaths tmp;
    QDir().mkpath(tmp.paths().preferences);
    const QString path = tmp.paths().preferences + "/com.ondrake.Ondrake.json";
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("{ not json");
    }
    UserDefaults d(tmp.paths(), "com.ondrake.Ondrake");
    EXPECT_TRUE(d.dictionaryRepresentation().isEmpty());
    d.setBool("fresh", true);
    const QStringList aside = QDir(tmp.paths().preferences).entryList({"com.ondrake.Ondrake.json.unreadable-*"});
    ASSERT_EQ(aside.size(), 1);
    QFile kept(tmp.paths().preferences + "/" + aside.first());
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "{ not json");
}

TEST(UserDefaults, ABurstOfChangesIsWrittenOnceAtTheNextTurnOfTheLoop) {
    test::TemporaryPaths tmp;
    UserDefaults d(tmp.paths(), "com.ondrake.Ondrake");
    const QString path = d.filePath();
    for (int i = 0; i < 1000; ++i) d.setInteger(QStringLiteral("k%1").arg(i), i);
    EXPECT_EQ(d.integerForKey("k999"), 999);
    EXPECT_FALSE(QFile::exists(path));

    QCoreApplication::sendPostedEvents(&d, QEvent::MetaCall);
    EXPECT_EQ(UserDefaults(tmp.paths(), "com.ondrake.Ondrake").dictionaryRepresentation().size(), 1000);

    // Nothing waiting: nothing written. One more burst: one more write.
    const auto inode = [&] {  // every write puts a new file in place
        struct stat info {};
        EXPECT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0);
        return info.st_ino;
    };
    const auto first = inode();
    QCoreApplication::sendPostedEvents(&d, QEvent::MetaCall);
    EXPECT_EQ(inode(), first);
    d.setBool("a", true);
    d.removeObject("k0");
    EXPECT_EQ(inode(), first);
    d.synchronize();
    const auto second = inode();
    EXPECT_NE(second, first);
    QCoreApplication::sendPostedEvents(&d, QEvent::MetaCall);
    EXPECT_EQ(inode(), second);
    EXPECT_EQ(UserDefaults(tmp.paths(), "com.ondrake.Ondrake").dictionaryRepresentation().size(), 1000);
}

TEST(UserDefaults, ChangesStillWaitingAreWrittenWhenItGoes) {
    test::TemporaryPaths tmp;
    {
        UserDefaults d(tmp.paths(), "com.ondrake.Ondrake");
        d.setString("SidebarTheme", "dusk");
    }
    EXPECT_EQ(UserDefaults(tmp.paths(), "com.ondrake.Ondrake").stringForKey("SidebarTheme"), "dusk");
}

}  // namespace
