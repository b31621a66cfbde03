#include "Ondrake/Settings/TunableScale.h"

#include <algorithm>
#include <cmath>

namespace ondrake {

namespace {

// 10^d for the fewest decimals d that write the step exactly enough (0.05 → 100, 30 → 1).
double decimalScale(double step) {
    double scale = 1;
    for (int d = 0; d < 9; ++d, scale *= 10) {
        const double scaled = step * scale;
        if (std::fabs(scaled - std::round(scaled)) < 1e-9 * std::max(1.0, scaled)) return scale;
    }
    return scale;
}

}  // namespace

TunableScale::TunableScale(const AdvancedFlag::Number &number) : number_(number) {
    if (number_.step > 0 && number_.upperBound > number_.lowerBound) {
        maximumTick_ = int(std::lround((number_.upperBound - number_.lowerBound) / number_.step));
        scale_ = decimalScale(number_.step);
    }
    defaultTick_ = tick(number_.defaultValue);
}

int TunableScale::tick(double value) const {
    if (maximumTick_ == 0) return 0;
    if (!std::isfinite(value)) return defaultTick_;
    const long ticks = std::lround((value - number_.lowerBound) / number_.step);
    return int(std::clamp<long>(ticks, 0, maximumTick_));
}

double TunableScale::value(int tick) const {
    tick = std::clamp(tick, 0, maximumTick_);
    if (tick == defaultTick_ && number_.defaultValue >= number_.lowerBound && number_.defaultValue <= number_.upperBound)
        return number_.defaultValue;
    if (tick == 0) return number_.lowerBound;
    if (tick == maximumTick_) return number_.upperBound;
    const double raw = number_.lowerBound + tick * number_.step;
    return std::clamp(std::round(raw * scale_) / scale_, number_.lowerBound, number_.upperBound);
}

}  // namespace ondrake
