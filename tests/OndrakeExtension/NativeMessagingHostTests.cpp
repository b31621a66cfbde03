#include "ExtensionTestWorld.h"
#include "NativeMessageReader.h"
#include "NativeMessagingHost.h"
#include "NativeMessaging.h"

#include "Log.h"

#include <QBuffer>

#include <algorithm>
#include <cstring>

using namespace ondrake;

namespace {

QByteArray state(int focused) {
    return QStringLiteral(R"({"type":"state","tabs":[],"focusedWindowId":%1})").arg(focused).toUtf8();
}

// A state message padded with spaces to exactly `size` bytes.
QByteArray paddedState(int focused, qsizetype size) {
    QByteArray payload = state(focused);
    payload += QByteArray(size - payload.size(), ' ');
    return payload;
}

// Standard input as a browser feeds it, with long runs made up as they are read instead of held.
class StreamedInput final : public QIODevice {
public:
    void add(QByteArray bytes) { parts_.push_back({std::move(bytes), 0}); }
    void addRun(char byte, qint64 count) { parts_.push_back({QByteArray(1, byte), count}); }
    bool isSequential() const override { return true; }
    qint64 consumed() const { return consumed_; }

protected:
    qint64 readData(char *data, qint64 size) override {
        qint64 done = 0;
        while (done < size && next_ < parts_.size()) {
            Part &part = parts_[next_];
            const qint64 length = part.run > 0 ? part.run : part.bytes.size();
            const qint64 n = std::min(size - done, length - offset_);
            if (part.run > 0) std::memset(data + done, part.bytes[0], std::size_t(n));
            else std::memcpy(data + done, part.bytes.constData() + offset_, std::size_t(n));
            done += n;
            offset_ += n;
            if (offset_ == length) {
                ++next_;
                offset_ = 0;
            }
        }
        consumed_ += done;
        return done;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    struct Part {
        QByteArray bytes;
        qint64 run;  // bytes[0] repeated this often when positive
    };
    std::vector<Part> parts_;
    std::size_t next_ = 0;
    qint64 offset_ = 0;
    qint64 consumed_ = 0;
};

// A small limit keeps the inputs small; the reader treats any limit alike.
TEST(NativeMessagingHost, HandlesEveryFramedMessageAndSkipsThoseOverTheLimit) {
    constexpr quint32 kLimit = 64;
    const QByteArray refused70 = "Refusing a native message of 70 bytes; the limit is 64";
    const QByteArray refusedHuge = "Refusing a native message of 4294967295 bytes; the limit is 64";
    const QByteArray cutLine = "Native message input ended inside a message";
    struct Case {
        const char *name;
        QByteArray input;
        int posts;                      // state messages handled
        std::optional<qint64> last;     // focused window of the file written last
        std::vector<QByteArray> lines;  // the lines logged
    };
    const QByteArray one = test::framed(state(1));
    const std::vector<Case> cases = {
        {"nothing", {}, 0, std::nullopt, {}},
        {"one message", one, 1, 1, {}},
        {"several in one stream", one + test::framed(state(2)) + test::framed(state(3)), 3, 3, {}},
        {"zero length between", one + test::framed(QByteArray()) + test::framed(state(2)), 2, 2, {}},
        {"invalid UTF-8 skipped", test::framed("{\"type\":\"state\",\"tabs\":[],\"t\":\"\xc3\x28\"}") + test::framed(state(4)),
         1, 4, {}},
        {"exactly the limit", test::framed(paddedState(5, kLimit)), 1, 5, {}},
        {"over the limit, then more", one + test::framed(paddedState(9, 70)) + test::framed(state(2)), 2, 2, {refused70}},
        {"two over the limit in a row", test::framed(paddedState(9, 70)) + test::framed(paddedState(8, 70)) + one, 1, 1,
         {refused70, refused70}},
        {"over the limit and cut off", one + test::framed(state(2), 0xFFFFFFFF), 1, 1, {refusedHuge}},
        {"cut inside a length", one + QByteArray("\x05\x00", 2), 1, 1, {cutLine}},
        {"cut inside a message", one + test::framed(state(2)).chopped(3), 1, 1, {cutLine}},
    };
    for (const auto &c : cases) {
        test::ExtensionTestWorld world;
        QByteArray input = c.input;
        QBuffer buffer(&input);
        ASSERT_TRUE(buffer.open(QIODevice::ReadOnly));
        const LogCapture log;
        EXPECT_EQ(NativeMessagingHost(buffer, world.handler, kLimit).run(), 0) << c.name;
        EXPECT_EQ(world.posts(), c.posts) << c.name;
        const auto written = world.written();
        EXPECT_EQ(written ? written->focusedWindowID : std::nullopt, c.last) << c.name;
        std::vector<QByteArray> lines;
        for (const auto &entry : log.entries()) {
            // A refused message is a session lost to the application, which whoever reads the log
            // must see; input that ends early is only the browser going away.
            const bool refused = entry.message.startsWith(QStringLiteral("Refusing"));
            EXPECT_EQ(entry.level, refused ? LogLevel::error : LogLevel::debug) << c.name;
            lines.push_back(entry.message.toUtf8());
        }
        EXPECT_EQ(lines, c.lines) << c.name;
        EXPECT_TRUE(buffer.atEnd()) << c.name;
    }
}

TEST(NativeMessagingHost, TakesMessagesUpTo64MiBAndSkipsLargerOnes) {
    EXPECT_EQ(NativeMessageReader::kMaximumLength, 64u * 1024 * 1024);
    const qint64 limit = NativeMessageReader::kMaximumLength;
    test::ExtensionTestWorld world;
    StreamedInput input;
    // A whole session's worth: the largest message taken, then one byte more, then a small one.
    const QByteArray head = state(7);
    input.add(test::framed(head, quint32(limit)).left(4) + head);
    input.addRun(' ', limit - head.size());
    input.add(test::framed(QByteArray(), quint32(limit + 1)));
    input.addRun('x', limit + 1);
    input.add(test::framed(state(8)));
    ASSERT_TRUE(input.open(QIODevice::ReadOnly));

    const LogCapture log;
    EXPECT_EQ(NativeMessagingHost(input, world.handler).run(), 0);
    EXPECT_EQ(world.posts(), 2);  // the largest message and the last
    EXPECT_EQ(world.written()->focusedWindowID, 8);
    EXPECT_EQ(log.messages(QStringLiteral("extension")),
              std::vector<QString>{QStringLiteral("Refusing a native message of 67108865 bytes; the limit is 67108864")});
    EXPECT_EQ(input.consumed(), 4 + limit + 4 + limit + 1 + test::framed(state(8)).size());
}

}  // namespace
