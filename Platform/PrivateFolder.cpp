#include "PrivateFolder.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace ondrake {

QString Distrust::describe() const {
    switch (reason) {
    case Reason::missing: return QStringLiteral("missing");
    case Reason::unreadable: return QString::fromLocal8Bit(std::strerror(int(detail)));
    case Reason::link: return QStringLiteral("a link");
    case Reason::otherOwner: return QStringLiteral("owned by user %1").arg(detail);
    case Reason::otherKind: return QStringLiteral("not of the kind expected");
    case Reason::openToOthers: return QStringLiteral("open to others");
    }
    return {};
}

std::optional<Distrust> distrustOf(const QString &path, FileKind expected) {
    using Reason = Distrust::Reason;
    struct stat status {};
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
        return errno == ENOENT ? Distrust{Reason::missing} : Distrust{Reason::unreadable, errno};
    if (S_ISLNK(status.st_mode)) return Distrust{Reason::link};
    if (status.st_uid != ::geteuid()) return Distrust{Reason::otherOwner, long(status.st_uid)};
    switch (expected) {
    case FileKind::folder:
        if (!S_ISDIR(status.st_mode)) return Distrust{Reason::otherKind};
        if ((status.st_mode & 077) != 0) return Distrust{Reason::openToOthers};
        break;
    case FileKind::socket:
        if (!S_ISSOCK(status.st_mode)) return Distrust{Reason::otherKind};
        break;
    case FileKind::regularFile:
        if (!S_ISREG(status.st_mode)) return Distrust{Reason::otherKind};
        break;
    }
    return std::nullopt;
}

PrivateFolder PrivateFolder::in(const QString &base, const QString &name) {
    PrivateFolder folder{QDir(base).filePath(name), std::nullopt};
    QDir().mkpath(base);
    // Made closed from the start: one made open and closed afterwards could be entered in between.
    if (::mkdir(QFile::encodeName(folder.path).constData(), 0700) != 0 && errno != EEXIST) {
        folder.distrust = Distrust{Distrust::Reason::unreadable, errno};
        return folder;
    }
    folder.distrust = distrustOf(folder.path, FileKind::folder);
    return folder;
}

}  // namespace ondrake
