#pragma once

#include "AtomicFile.h"
#include "Ondrake/Model/OndrakeArchive.h"

#include <QDateTime>
#include <QString>

namespace ondrake::ArchiveFile {

// Larger than any export of real tabs; a bigger file is refused instead of read into memory.
inline constexpr qint64 kMaximumSize = 64 * 1024 * 1024;

// Writes the export file whole, or leaves what was there.
[[nodiscard]] FileResult write(const OndrakeArchive &archive, const QString &path);
// Reads and checks an export file. Throws OndrakeArchive::ArchiveError (malformed for a file that
// cannot be read or is too large) or json::DecodingError.
OndrakeArchive read(const QString &path, const QDateTime &now);

}  // namespace ondrake::ArchiveFile
