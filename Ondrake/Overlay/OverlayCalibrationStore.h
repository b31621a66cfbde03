#pragma once

#include "Overlay/OverlayCalibration.h"
#include "Scheduler.h"
#include "UserDefaults.h"

#include <QString>

#include <map>
#include <optional>

namespace ondrake {

// The hand-placed tab rows, one per Safari major version, kept as one JSON document in the user
// defaults. Entries are read one by one: an unreadable entry is left out of what is used, and
// kept as it was when the others are written back.
class OverlayCalibrationStore {
public:
    using Calibrations = std::map<QString, OverlayCalibration>;

    static inline const QString defaultsKey = QStringLiteral("ImmersiveCalibrations");

    OverlayCalibrationStore(UserDefaults &defaults, const Scheduler &clock) : defaults_(defaults), clock_(clock) {}

    // The part of the version before its first ".", or "unknown".
    static QString key(const std::optional<QString> &safariVersion);

    std::optional<OverlayCalibration> load(const std::optional<QString> &safariVersion) const;
    void save(const SafariChromeInsets &insets, const std::optional<QString> &safariVersion);
    // Removes the version's entry, readable or not.
    void forget(const std::optional<QString> &safariVersion);

    Calibrations readAll() const;
    // Stores `calibrations`, and beside them every stored entry that could not be read and has
    // no replacement among them. Stores nothing when a value cannot be written as JSON.
    void writeAll(const Calibrations &calibrations);

private:
    void write(const Calibrations &calibrations, const std::optional<QString> &droppedKey);

    UserDefaults &defaults_;
    const Scheduler &clock_;
};

}  // namespace ondrake
