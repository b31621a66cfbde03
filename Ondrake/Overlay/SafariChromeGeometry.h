#pragma once

#include "Overlay/SafariChromeInsets.h"

#include <QRectF>
#include <QString>

#include <optional>

namespace ondrake {

// Where a geometry came from.
enum class SafariChromeGeometrySource { accessibility, calculated, calibrated };

QString toString(SafariChromeGeometrySource source);

// Safari's window and its tab row, in screen coordinates with the origin at the bottom left.
struct SafariChromeGeometry {
    // A row derived from the toolbar is trusted this much; a row at the usual place without
    // even a toolbar to go by, less.
    static constexpr double underToolbarConfidence = 0.7;
    static constexpr double assumedConfidence = 0.45;
    // A toolbar whose bottom lies further down than this is no window toolbar to go by.
    static constexpr double maximumRowDepth = 260;

    QRectF windowFrame;
    QRectF tabBarFrame;
    double confidence = 0;  // 0...1
    SafariChromeGeometrySource source = SafariChromeGeometrySource::calculated;

    bool operator==(const SafariChromeGeometry &) const = default;

    // The row where Safari usually draws it: under the toolbar when there is a plausible one,
    // else at the calculated insets.
    static SafariChromeGeometry calculated(const std::optional<QRectF> &toolbarFrame,
                                           const std::optional<QString> &safariVersion, const QRectF &windowFrame);
};

}  // namespace ondrake
