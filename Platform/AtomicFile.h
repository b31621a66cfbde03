#pragma once

#include <QByteArray>
#include <QString>

namespace ondrake {

// The result of a file operation: success, or the reason it failed.
struct FileResult {
    bool ok = true;
    QString error;

    static FileResult success() { return {}; }
    static FileResult failure(QString why) { return {false, std::move(why)}; }
    explicit operator bool() const { return ok; }
};

namespace AtomicFile {

// Replaces the file at `path` with `data` in one step: readers see the old bytes or the new, never
// a mixture. Creates missing parent folders when asked.
[[nodiscard]] FileResult write(const QString &path, const QByteArray &data, bool createParents = true);

// Moves `from` to `to` without ever replacing an existing `to`.
[[nodiscard]] FileResult moveNoReplace(const QString &from, const QString &to);

}  // namespace AtomicFile
}  // namespace ondrake
