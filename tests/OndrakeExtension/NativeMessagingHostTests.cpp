#include "ExtensionTestWorld.h"
#include "NativeMessageReader.h"
#include "NativeMessagingHost.h"
#include "NativeMessaging.h"

#include "Log.h"

#include <QBuffer>

using namespace ondrake;

namespace {

QByteArray state(int focused) {
    return QStringLiteral(R"({"type":"state","tabs":[],"focusedWindowId":%1})").arg(focused).toUtf8();
}

TEST(NativeMessagingHost, HandlesEveryFramedMessageUntilTheInputEnds) {
    const QByteArray refusedLine = "Refusing a native message of 1048577 bytes; the limit is 1048576";
    const QByteArray cutLine = "Native message input ended inside a message";
    const QByteArray tooLong = test::framed(state(9), NativeMessageReader::kMaximumLength + 1) + test::framed(state(10));
    struct Case {
        const char *name;
        QByteArray input;
        int posts;                    // state messages handled
        std::optional<qint64> last;   // focused window of the file written last
        QByteArray logLine;           // the one debug line, if any
        qint64 consumed;              // bytes read from the input
    };
    const QByteArray one = test::framed(state(1));
    const QByteArray several = test::framed(state(1)) + test::framed(state(2)) + test::framed(state(3));
    const QByteArray withEmpty = test::framed(state(1)) + test::framed(QByteArray()) + test::framed(state(2));
    const QByteArray badUtf8 = test::framed("{\"type\":\"state\",\"tabs\":[],\"t\":\"\xc3\x28\"}") + test::framed(state(4));
    const QByteArray cutHeader = one + QByteArray("\x05\x00", 2);
    const QByteArray cutPayload = one + test::framed(state(2)).chopped(3);
    const std::vector<Case> cases = {
        {"nothing", {}, 0, std::nullopt, {}, 0},
        {"one message", one, 1, 1, {}, one.size()},
        {"several in one stream", several, 3, 3, {}, several.size()},
        {"zero length between", withEmpty, 2, 2, {}, withEmpty.size()},
        {"invalid UTF-8 skipped", badUtf8, 1, 4, {}, badUtf8.size()},
        {"over-long length", tooLong, 0, std::nullopt, refusedLine, 4},
        {"cut inside a length", cutHeader, 1, 1, cutLine, cutHeader.size()},
        {"cut inside a message", cutPayload, 1, 1, cutLine, cutPayload.size()},
    };
    for (const auto &c : cases) {
        test::ExtensionTestWorld world;
        QByteArray input = c.input;
        QBuffer buffer(&input);
        ASSERT_TRUE(buffer.open(QIODevice::ReadOnly));
        const LogCapture log;
        EXPECT_EQ(NativeMessagingHost(buffer, world.handler).run(), 0) << c.name;
        EXPECT_EQ(world.posts(), c.posts) << c.name;
        const auto written = world.written();
        EXPECT_EQ(written ? written->focusedWindowID : std::nullopt, c.last) << c.name;
        const auto lines = log.messages(QStringLiteral("extension"));
        if (c.logLine.isEmpty()) {
            EXPECT_TRUE(lines.empty()) << c.name;
        } else {
            ASSERT_EQ(lines.size(), 1u) << c.name;
            EXPECT_EQ(lines[0], QString::fromUtf8(c.logLine)) << c.name;
        }
        EXPECT_EQ(buffer.pos(), c.consumed) << c.name;  // never reads past a refused message
    }
}

TEST(NativeMessageReader, AcceptsAMessageOfExactlyTheLimit) {
    QByteArray payload = state(5);
    payload += QByteArray(qsizetype(NativeMessageReader::kMaximumLength) - payload.size(), ' ');
    QByteArray input = test::framed(payload);
    QBuffer buffer(&input);
    ASSERT_TRUE(buffer.open(QIODevice::ReadOnly));
    NativeMessageReader reader(buffer);
    const auto next = reader.next();
    EXPECT_EQ(next.outcome, NativeMessageReader::Outcome::message);
    EXPECT_EQ(next.payload, payload);
    EXPECT_EQ(reader.next().outcome, NativeMessageReader::Outcome::end);
}

}  // namespace
