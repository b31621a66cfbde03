#include "AtomicFile.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE (1 << 0)
#endif

namespace ondrake::AtomicFile {

namespace {

constexpr int kRandomLength = 6;
const QString kTemporarySuffix = QStringLiteral(".tmp");

// "." + the target's name + ".", cut so that the whole temporary name still fits in a folder entry.
QString temporaryPrefix(const QString &targetName) {
    constexpr qsizetype maxNameBytes = 255 - kRandomLength - 4;
    QString prefix = QLatin1Char('.') + targetName + QLatin1Char('.');
    while (prefix.toUtf8().size() > maxNameBytes) {
        prefix.chop(prefix.size() >= 2 && prefix.at(prefix.size() - 1).isLowSurrogate() ? 2 : 1);
    }
    return prefix;
}

QString errnoText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

bool writeAll(int fd, const QByteArray &data) {
    const char *at = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, at, std::size_t(left));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        at += n;
        left -= n;
    }
    return true;
}

}  // namespace

namespace {

enum class Durability { synced, unsynced };

// Our own temporary names rather than a library's, so that leftovers can be told from the user's files.
FileResult replace(const QString &path, const QByteArray &data, bool createParents, Durability durability,
                   mode_t newFileMode) {
    const QFileInfo target(path);
    const QString folder = target.absolutePath();
    if (createParents && !QDir().mkpath(folder))
        return FileResult::failure(QStringLiteral("could not create folder %1").arg(folder));

    static constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QByteArray temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        QString name = temporaryPrefix(target.fileName());
        for (int i = 0; i < kRandomLength; ++i)
            name += QLatin1Char(alphabet[QRandomGenerator::global()->bounded(int(sizeof alphabet - 1))]);
        temporary = QFile::encodeName(QDir(folder).filePath(name + kTemporarySuffix));
        // Less the umask, as any new file; an existing file's mode is carried over below.
        fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, newFileMode);
        if (fd < 0 && errno != EEXIST) return FileResult::failure(errnoText(errno));
    }
    if (fd < 0) return FileResult::failure(QStringLiteral("no free name for a temporary file"));

    const auto fail = [&](int error) {
        ::close(fd);
        ::unlink(temporary.constData());
        return FileResult::failure(errnoText(error));
    };
    struct stat existing {};
    if (::stat(QFile::encodeName(path).constData(), &existing) == 0 && S_ISREG(existing.st_mode))
        ::fchmod(fd, existing.st_mode & 07777);
    if (!writeAll(fd, data) || (durability == Durability::synced && ::fsync(fd) != 0)) return fail(errno);
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(temporary.constData());
        return FileResult::failure(errnoText(error));
    }
    if (::rename(temporary.constData(), QFile::encodeName(path).constData()) != 0) {
        const int error = errno;
        ::unlink(temporary.constData());
        return FileResult::failure(errnoText(error));
    }
    return FileResult::success();
}

}  // namespace

FileResult write(const QString &path, const QByteArray &data, bool createParents) {
    return replace(path, data, createParents, Durability::synced, 0666);
}

FileResult replaceUnsynced(const QString &path, const QByteArray &data) {
    return replace(path, data, false, Durability::unsynced, 0600);
}

bool isTemporaryFor(const QString &fileName, const QString &targetName) {
    const QString prefix = temporaryPrefix(targetName);
    if (fileName.size() != prefix.size() + kRandomLength + kTemporarySuffix.size() || !fileName.startsWith(prefix)
        || !fileName.endsWith(kTemporarySuffix))
        return false;
    for (const QChar c : QStringView(fileName).sliced(prefix.size(), kRandomLength))
        if (c.unicode() > 127 || !std::isalnum(c.unicode())) return false;
    return true;
}

int removeLeftoverTemporaries(const QString &path) {
    const QFileInfo target(path);
    const QDir folder = target.absoluteDir();
    int removed = 0;
    for (const QFileInfo &entry : folder.entryInfoList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks)) {
        if (entry.isFile() && isTemporaryFor(entry.fileName(), target.fileName())
            && QFile::remove(entry.absoluteFilePath()))
            ++removed;
    }
    return removed;
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
