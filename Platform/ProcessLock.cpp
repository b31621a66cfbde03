#include "ProcessLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace ondrake {

ProcessLock::Attempt ProcessLock::tryTake() {
    if (isHeld()) return Attempt::taken;
    QDir().mkpath(QFileInfo(path_).absolutePath());
    // Not handed to programs this one starts: they would keep it after this process ended.
    const int fd = ::open(QFile::encodeName(path_).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        error_ = errno;
        return Attempt::unusable;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        fd_ = fd;
        return Attempt::taken;
    }
    error_ = errno;
    ::close(fd);
    return error_ == EWOULDBLOCK ? Attempt::heldElsewhere : Attempt::unusable;
}

void ProcessLock::release() {
    if (!isHeld()) return;
    ::close(fd_);
    fd_ = -1;
}

QString ProcessLock::errorString() const { return QString::fromLocal8Bit(std::strerror(error_)); }

}  // namespace ondrake
