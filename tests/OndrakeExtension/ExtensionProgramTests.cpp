#include "NativeMessaging.h"
#include "PrivateSessionBus.h"
#include "Qt/DBusNamedNotifier.h"
#include "Shared/ExtensionState.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace ondrake;

namespace {

const QString kProgram = QStringLiteral(ONDRAKE_EXTENSION_PROGRAM);

QByteArray stateMessage(int tabID) {
    return test::framed(QStringLiteral(R"({"type":"state","tabs":[{"safariTabId":%1,"safariWindowId":1,"title":"T"}]})")
                            .arg(tabID)
                            .toUtf8());
}

std::optional<ExtensionState> stateUnder(const QString &home) {
    QFile file(QDir(*OndrakeExtensionProtocol::exchangeDirectory(false, home)).filePath("extension-state.json"));
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    return ExtensionState::decode(file.readAll());
}

TEST(OndrakeExtensionProgram, WritesEachStateNeverAnswersAndExitsCleanlyAtTheEnd) {
    test::TemporaryPaths tmp;
    const auto run = test::runExtensionHandler(
        kProgram, stateMessage(1) + test::framed(R"({"type":"hello"})") + stateMessage(2), tmp.paths().home, test::kNoBus);
    ASSERT_TRUE(run.finished) << run.standardError.toStdString();
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.standardOutput.isEmpty());
    const auto state = stateUnder(tmp.paths().home);
    ASSERT_TRUE(state);
    ASSERT_EQ(state->tabs.size(), 1u);
    EXPECT_EQ(state->tabs[0].safariTabID, 2);
}

TEST(OndrakeExtensionProgram, SkipsAMessageOver64MiBWithOneLineAndGoesOn) {
    test::TemporaryPaths tmp;
    const qsizetype tooLong = 64 * 1024 * 1024 + 1;
    const auto run = test::runExtensionHandler(kProgram, test::framed(QByteArray(tooLong, ' ')) + stateMessage(3),
                                               tmp.paths().home, test::kNoBus);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.standardOutput.isEmpty());
    EXPECT_EQ(run.standardError.count("Refusing a native message of 67108865 bytes"), 1) << run.standardError.toStdString();
    const auto state = stateUnder(tmp.paths().home);
    ASSERT_TRUE(state);
    EXPECT_EQ(state->tabs.at(0).safariTabID, 3);
}

TEST(OndrakeExtensionProgram, ALengthPastTheEndOfInputEndsTheRunCleanly) {
    test::TemporaryPaths tmp;
    const auto run = test::runExtensionHandler(kProgram, stateMessage(1) + test::framed("{}", 0xFFFFFFFF), tmp.paths().home,
                                               test::kNoBus);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.standardError.contains("Refusing a native message of 4294967295 bytes")) << run.standardError.toStdString();
    EXPECT_EQ(stateUnder(tmp.paths().home)->tabs.at(0).safariTabID, 1);
}

TEST(OndrakeExtensionProgram, PostsOnTheSessionBusAfterWriting) {
    test::PrivateSessionBus bus;
    if (!bus.isRunning()) GTEST_SKIP() << "no dbus-daemon to run a private session bus";
    test::TemporaryPaths tmp;
    DBusNamedNotifier listener(bus.connect());
    int heard = 0;
    std::optional<ExtensionState> seen;
    const auto observation = listener.observe(OndrakeExtensionProtocol::stateChangedNotification, [&] {
        ++heard;
        seen = stateUnder(tmp.paths().home);  // already on disk when the notification arrives
    });
    const auto run = test::runExtensionHandler(kProgram, stateMessage(7), tmp.paths().home, bus.address());
    ASSERT_TRUE(run.finished);
    ASSERT_TRUE(QTest::qWaitFor([&] { return heard > 0; }, 10000));
    EXPECT_EQ(heard, 1);
    ASSERT_TRUE(seen);
    EXPECT_EQ(seen->tabs.at(0).safariTabID, 7);
}

}  // namespace
