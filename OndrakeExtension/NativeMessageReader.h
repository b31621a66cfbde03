#pragma once

#include "Shared/OndrakeExtensionProtocol.h"

#include <QByteArray>
#include <QIODevice>

namespace ondrake {

// Splits a native-messaging stream into messages: each is a 32-bit length in the machine's byte
// order followed by that many bytes. A message over the limit is read past, never kept, so the
// stream goes on with the message after it.
class NativeMessageReader {
public:
    static constexpr quint32 kMaximumLength = quint32(OndrakeExtensionProtocol::maximumMessageLength);

    enum class Outcome {
        message,    // `payload` holds one message
        end,        // the input ended between messages, or inside one that was refused
        tooLong,    // the length announced more than the limit; `length` holds it
        truncated,  // the input ended inside a length or a payload
    };
    struct Next {
        Outcome outcome = Outcome::end;
        QByteArray payload;
        quint32 length = 0;
    };

    explicit NativeMessageReader(QIODevice &input, quint32 maximumLength = kMaximumLength)
        : input_(input), maximumLength_(maximumLength) {}

    quint32 maximumLength() const { return maximumLength_; }
    Next next();

private:
    // Reads up to `size` bytes, fewer only when the input ends or fails.
    qint64 readFully(char *data, qint64 size);
    // Reads and drops up to `size` bytes.
    void skip(qint64 size);

    QIODevice &input_;
    quint32 maximumLength_;
};

}  // namespace ondrake
