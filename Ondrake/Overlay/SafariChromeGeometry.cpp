#include "Overlay/SafariChromeGeometry.h"

#include "Overlay/ScreenRect.h"

#include <algorithm>

namespace ondrake {

QString toString(SafariChromeGeometrySource source) {
    switch (source) {
    case SafariChromeGeometrySource::accessibility: return QStringLiteral("accessibility");
    case SafariChromeGeometrySource::calculated: return QStringLiteral("calculated");
    case SafariChromeGeometrySource::calibrated: return QStringLiteral("calibrated");
    }
    return {};
}

SafariChromeGeometry SafariChromeGeometry::calculated(const std::optional<QRectF> &toolbar,
                                                      const std::optional<QString> &safariVersion,
                                                      const QRectF &window) {
    using namespace screen;
    const auto insets = SafariChromeInsets::calculated(safariVersion);
    double fromTop = insets.fromTop;
    double confidence = assumedConfidence;
    if (toolbar && toolbar->height() > 0 && minY(*toolbar) <= maxY(window) &&
        maxY(window) - minY(*toolbar) <= maximumRowDepth) {
        fromTop = maxY(window) - minY(*toolbar);
        confidence = underToolbarConfidence;
    }
    const QRectF row(minX(window), maxY(window) - fromTop - insets.height, std::max(0.0, window.width()), insets.height);
    return {.windowFrame = window, .tabBarFrame = row, .confidence = confidence,
            .source = SafariChromeGeometrySource::calculated};
}

}  // namespace ondrake
