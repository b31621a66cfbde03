#pragma once

#include <QByteArray>
#include <QIODevice>

namespace ondrake {

// Splits a native-messaging stream into messages: each is a 32-bit length in the machine's byte
// order followed by that many bytes. Reads nothing beyond a message it refuses.
class NativeMessageReader {
public:
    static constexpr quint32 kMaximumLength = 1024 * 1024;

    enum class Outcome {
        message,    // `payload` holds one message
        end,        // the input ended between messages
        tooLong,    // the length announced more than kMaximumLength; `length` holds it
        truncated,  // the input ended inside a length or a payload
    };
    struct Next {
        Outcome outcome = Outcome::end;
        QByteArray payload;
        quint32 length = 0;
    };

    explicit NativeMessageReader(QIODevice &input) : input_(input) {}

    Next next();

private:
    // Reads up to `size` bytes, fewer only when the input ends or fails.
    qint64 readFully(char *data, qint64 size);

    QIODevice &input_;
};

}  // namespace ondrake
