#include "Overlay/OverlayCalibration.h"

#include "FoundationJson.h"

#include <cmath>

namespace ondrake {

namespace {
// Seconds from the Unix epoch to 2001-01-01 00:00:00 UTC, where these dates count from.
constexpr double kReferenceDateOffset = 978307200;

double secondsSinceReferenceDate(const QDateTime &date) {
    return double(date.toMSecsSinceEpoch()) / 1000.0 - kReferenceDateOffset;
}

QDateTime fromSecondsSinceReferenceDate(double seconds) {
    return QDateTime::fromMSecsSinceEpoch(qint64(std::llround((seconds + kReferenceDateOffset) * 1000.0)),
                                          Qt::UTC);
}
}  // namespace

QJsonObject OverlayCalibration::toJson() const {
    return {{QStringLiteral("safariVersion"), safariVersion},
            {QStringLiteral("insets"), insets.toJson()},
            {QStringLiteral("savedAt"), secondsSinceReferenceDate(savedAt)}};
}

OverlayCalibration OverlayCalibration::fromJson(const QJsonValue &value, const QString &path) {
    const auto reader = json::Reader::of(value, path);
    const auto require = [&](const QString &key) {
        if (!reader.has(key)) reader.fail(key, QStringLiteral("is missing"));
    };
    const QString versionKey = QStringLiteral("safariVersion"), insetsKey = QStringLiteral("insets"),
                  savedAtKey = QStringLiteral("savedAt");
    require(versionKey);
    require(insetsKey);
    require(savedAtKey);
    const double savedAt = *reader.optionalDouble(savedAtKey);
    // Beyond this a date has no millisecond form.
    if (!(std::abs(savedAt) < 1e14)) reader.fail(savedAtKey, QStringLiteral("is no date"));
    return {.safariVersion = *reader.optionalString(versionKey),
            .insets = SafariChromeInsets::fromJson(reader.value(insetsKey), reader.pathOf(insetsKey)),
            .savedAt = fromSecondsSinceReferenceDate(savedAt)};
}

}  // namespace ondrake
