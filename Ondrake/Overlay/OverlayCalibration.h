#pragma once

#include "Overlay/SafariChromeInsets.h"

#include <QDateTime>
#include <QJsonObject>
#include <QString>

namespace ondrake {

// A tab row placed by hand, for one Safari major version.
struct OverlayCalibration {
    QString safariVersion;  // Safari's full version when saved, or "unknown"
    SafariChromeInsets insets;
    QDateTime savedAt;

    bool operator==(const OverlayCalibration &) const = default;

    // "savedAt" is a number of seconds since 2001-01-01 00:00:00 UTC.
    QJsonObject toJson() const;
    // Every member is required; throws json::DecodingError.
    static OverlayCalibration fromJson(const QJsonValue &value, const QString &path = {});
};

}  // namespace ondrake
