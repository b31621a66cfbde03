#include "WindowMotionPrediction.h"

#include <algorithm>
#include <cmath>

namespace ondrake {

namespace {
double bounded(double offset) {
    if (!std::isfinite(offset)) return 0;
    return std::clamp(offset, -WindowMotionPrediction::kMaxOffset, WindowMotionPrediction::kMaxOffset);
}
}  // namespace

QRectF WindowMotionPrediction::predict(const QRectF &frame, double now, std::optional<double> targetTimestamp,
                                       const std::optional<Sample> &previous) {
    if (!targetTimestamp || !previous) return frame;
    if (previous->frame.width() != frame.width() || previous->frame.height() != frame.height()) return frame;
    const double dt = now - previous->time;
    const double lead = *targetTimestamp - now;
    if (!(dt > 0 && dt <= kMaxInterval) || !(lead > 0)) return frame;
    const double dx = bounded((frame.x() - previous->frame.x()) / dt * lead);
    const double dy = bounded((frame.y() - previous->frame.y()) / dt * lead);
    return frame.translated(dx, dy);
}

}  // namespace ondrake
