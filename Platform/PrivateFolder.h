#pragma once

#include <QString>

#include <optional>

namespace ondrake {

// What a file must be for this user to rely on it.
enum class FileKind { folder, socket, regularFile };

// Why a file cannot be relied on as this user's own.
struct Distrust {
    enum class Reason { missing, unreadable, link, otherOwner, otherKind, openToOthers };
    Reason reason;
    // The owner, for `otherOwner`; the system's error, for `unreadable`.
    long detail = 0;

    // In words for the log: "owned by user 65534", "open to others".
    QString describe() const;
    bool operator==(const Distrust &) const = default;
};

// Nothing when the file at `path` is this user's own and of the kind expected. A link is never
// trusted, since whoever owns it can point it elsewhere after the check. A folder must also be
// closed to everyone else: whoever may write in it may replace what it holds.
std::optional<Distrust> distrustOf(const QString &path, FileKind expected);

// A folder of this user alone inside `base`, made with mode 0700 when missing (with `base` when
// that is missing too). An existing one is used only as it stands, never repaired: what others
// could write in it while it was open cannot be known.
struct PrivateFolder {
    QString path;
    // Why it cannot be used; nothing when it can.
    std::optional<Distrust> distrust;

    static PrivateFolder in(const QString &base, const QString &name);
};

}  // namespace ondrake
