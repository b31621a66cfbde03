#include "AtomicFile.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE (1 << 0)
#endif

namespace ondrake::AtomicFile {

FileResult write(const QString &path, const QByteArray &data, bool createParents) {
    if (createParents) {
        const QString parent = QFileInfo(path).absolutePath();
        if (!QDir().mkpath(parent)) return FileResult::failure(QStringLiteral("could not create folder %1").arg(parent));
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return FileResult::failure(file.errorString());
    if (file.write(data) != data.size()) {
        const QString why = file.errorString();
        file.cancelWriting();
        return FileResult::failure(why);
    }
    if (!file.commit()) return FileResult::failure(file.errorString());
    return FileResult::success();
}

FileResult replaceUnsynced(const QString &path, const QByteArray &data) {
    const auto failure = [](int error) { return FileResult::failure(QString::fromLocal8Bit(std::strerror(error))); };
    // Beside the target, so the rename stays atomic; readable by the user alone.
    QByteArray temporary = QFile::encodeName(path) + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) return failure(errno);
    int error = 0;
    for (qsizetype done = 0; done < data.size() && !error;) {
        const ssize_t n = ::write(fd, data.constData() + done, std::size_t(data.size() - done));
        if (n > 0) done += n;
        else if (n == 0) error = EIO;
        else if (errno != EINTR) error = errno;
    }
    if (::close(fd) != 0 && !error) error = errno;
    if (!error && ::rename(temporary.constData(), QFile::encodeName(path).constData()) != 0) error = errno;
    if (error) {
        ::unlink(temporary.constData());
        return failure(error);
    }
    return FileResult::success();
}

FileResult moveNoReplace(const QString &from, const QString &to) {
    const QByteArray src = QFile::encodeName(from);
    const QByteArray dst = QFile::encodeName(to);
#ifdef SYS_renameat2
    if (syscall(SYS_renameat2, AT_FDCWD, src.constData(), AT_FDCWD, dst.constData(), RENAME_NOREPLACE) == 0)
        return FileResult::success();
    if (errno != EINVAL && errno != ENOSYS)
        return FileResult::failure(QString::fromLocal8Bit(std::strerror(errno)));
#endif
    // File systems without renameat2: a hard link fails when the target exists.
    if (::link(src.constData(), dst.constData()) != 0)
        return FileResult::failure(QString::fromLocal8Bit(std::strerror(errno)));
    if (::unlink(src.constData()) != 0) {
        const int saved = errno;
        ::unlink(dst.constData());
        return FileResult::failure(QString::fromLocal8Bit(std::strerror(saved)));
    }
    return FileResult::success();
}

}  // namespace ondrake::AtomicFile
