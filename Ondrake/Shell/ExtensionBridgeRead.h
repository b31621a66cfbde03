#pragma once

#include "Shared/ExtensionState.h"

#include <QString>

#include <memory>

namespace ondrake {

// One read of the extension's state file, made away from the main thread: everything the bridge
// needs to decide on the main thread at once, without touching the file or the JSON there.
struct ExtensionStateRead {
    // Which file, as of which change.
    struct Stamp {
        quint64 device = 0;
        quint64 inode = 0;
        qint64 size = 0;
        qint64 modified = 0;  // nanoseconds since 1970
        bool operator==(const Stamp &) const = default;
    };
    enum class Outcome {
        nothing,       // no readable file, no state in it, or the state the bridge holds already
        tooLarge,      // not read: larger than the largest message the handler takes
        newerVersion,  // a state of a version this program does not know
        changed,       // a state that differs from the one the bridge holds
    };

    Outcome outcome = Outcome::nothing;
    Stamp stamp;                                  // tooLarge
    qint64 version = 0;                           // newerVersion
    std::shared_ptr<const ExtensionState> state;  // changed

    // Reads and decodes the file at `path` and compares it with `held`, the state the bridge
    // holds (none: nothing held yet). Any thread.
    static ExtensionStateRead of(const QString &path, const ExtensionState *held);
};

}  // namespace ondrake
