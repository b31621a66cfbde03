#include "ExtensionBridgeRead.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ondrake {

// Only a regular file is read: the folder is shared with another program, and a pipe or device in
// place of the file must not hold up the reading thread, which the next reload waits for.
ExtensionStateRead ExtensionStateRead::of(const QString &path, const ExtensionState *held) {
    constexpr qint64 kLimit = OndrakeExtensionProtocol::maximumMessageLength;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return {};
    struct stat info {};
    QFile file;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)
        || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return {};
    }
    const Stamp stamp{quint64(info.st_dev), quint64(info.st_ino), qint64(info.st_size),
                      qint64(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec};
    if (info.st_size > kLimit) return {Outcome::tooLarge, stamp, 0, nullptr};
    // No more than the size seen: the handler replaces the file whole, and a file that grows in
    // place is someone else's, read in part and not decoded.
    auto decoded = ExtensionState::decode(file.read(qint64(info.st_size)));
    if (!decoded) return {};
    if (decoded->version >= 2) return {Outcome::newerVersion, stamp, decoded->version, nullptr};
    // The same state again is the common case (each write reaches the bridge more than once); it
    // is compared and dropped here, so that the main thread neither compares nor frees it.
    if (held && *decoded == *held) return {};
    return {Outcome::changed, stamp, decoded->version, std::make_shared<const ExtensionState>(std::move(*decoded))};
}

}  // namespace ondrake
