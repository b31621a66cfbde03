#include "NativeMessageReader.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace ondrake {

qint64 NativeMessageReader::readFully(char *data, qint64 size) {
    qint64 done = 0;
    while (done < size) {
        const qint64 n = input_.read(data + done, size - done);
        if (n <= 0) break;  // a blocking input reads nothing only at its end
        done += n;
    }
    return done;
}

void NativeMessageReader::skip(qint64 size) {
    std::array<char, 64 * 1024> scratch{};
    while (size > 0) {
        const qint64 n = readFully(scratch.data(), std::min<qint64>(size, qint64(scratch.size())));
        if (n <= 0) return;
        size -= n;
    }
}

NativeMessageReader::Next NativeMessageReader::next() {
    char header[sizeof(quint32)];
    const qint64 got = readFully(header, sizeof header);
    if (got == 0) return {Outcome::end, {}, 0};
    if (got < qint64(sizeof header)) return {Outcome::truncated, {}, 0};
    quint32 length = 0;
    std::memcpy(&length, header, sizeof length);  // the machine's own byte order
    if (length > maximumLength_) {
        skip(length);
        return {Outcome::tooLong, {}, length};
    }
    QByteArray payload(qsizetype(length), Qt::Uninitialized);
    if (readFully(payload.data(), length) < qint64(length)) return {Outcome::truncated, {}, length};
    return {Outcome::message, std::move(payload), length};
}

}  // namespace ondrake
