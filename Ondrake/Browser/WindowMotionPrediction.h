#pragma once

#include <QRectF>

#include <optional>

namespace ondrake {

// Extrapolates a moving window's frame to the display's next frame from its last two
// measurements, so whatever follows the window does not trail it by a frame.
struct WindowMotionPrediction {
    static constexpr double kMaxInterval = 0.05;  // older measurements tell nothing about the drag
    static constexpr double kMaxOffset = 200;     // points on each axis

    struct Sample {
        QRectF frame;
        double time = 0;  // media time
        bool operator==(const Sample &) const = default;
    };

    // `frame` offset by the velocity since `previous` times the lead to `targetTimestamp`; `frame`
    // itself when there is no previous measurement, the size changed, the measurements are too
    // far apart, or the target does not lie ahead.
    static QRectF predict(const QRectF &frame, double now, std::optional<double> targetTimestamp,
                          const std::optional<Sample> &previous);
};

}  // namespace ondrake
