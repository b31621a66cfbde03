#include "ArchiveFile.h"

#include <QFile>

namespace ondrake::ArchiveFile {

FileResult write(const OndrakeArchive &archive, const QString &path) { return AtomicFile::write(path, archive.encode(), false); }

OndrakeArchive read(const QString &path, const QDateTime &now) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaximumSize) throw OndrakeArchive::ArchiveError::malformed();
    // A file that grows while it is read is cut at the limit, and then fails to parse.
    const QByteArray bytes = file.read(kMaximumSize + 1);
    if (bytes.size() > kMaximumSize) throw OndrakeArchive::ArchiveError::malformed();
    return OndrakeArchive::read(bytes, now);
}

}  // namespace ondrake::ArchiveFile
