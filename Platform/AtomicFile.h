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
// a mixture. Creates missing parent folders when asked. The bytes go first to a temporary file
// beside the target, named "." + the target's name (cut short when long) + "." + six letters or
// digits + ".tmp".
[[nodiscard]] FileResult write(const QString &path, const QByteArray &data, bool createParents = true);

// Replaces the file as `write` does, without waiting for the bytes to reach the disk: readers still
// see the old bytes or the new, but a crash may lose both. For files that are cheap to lose, such
// as a state that another program rewrites every few seconds. The parent folder must exist.
[[nodiscard]] FileResult replaceUnsynced(const QString &path, const QByteArray &data);
// Whether `fileName` is one of the temporary files that `write` makes for `targetName`.
bool isTemporaryFor(const QString &fileName, const QString &targetName);
// Removes the temporary files a write to `path` that never finished left beside it, and says how
// many. Only when no write to `path` can be under way.
int removeLeftoverTemporaries(const QString &path);

// Moves `from` to `to` without ever replacing an existing `to`.
[[nodiscard]] FileResult moveNoReplace(const QString &from, const QString &to);

}  // namespace AtomicFile
}  // namespace ondrake
