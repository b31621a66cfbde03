#pragma once

#include "Ondrake/Model/AdvancedFlag.h"

namespace ondrake {

// The positions of a number tunable's slider. A position is a whole number of steps above the
// lower bound, so the value it stands for is computed afresh from that count instead of being
// accumulated in floating point; the default's position gives the default itself, bit for bit.
class TunableScale {
public:
    explicit TunableScale(const AdvancedFlag::Number &number);

    int maximumTick() const { return maximumTick_; }
    int defaultTick() const { return defaultTick_; }
    // The nearest position to a value, within the range.
    int tick(double value) const;
    // The value a position stands for, rounded to the step's decimals; clamped into the range.
    double value(int tick) const;

private:
    AdvancedFlag::Number number_;
    int maximumTick_ = 0;
    int defaultTick_ = 0;
    double scale_ = 1;  // 10^(decimals of the step)
};

}  // namespace ondrake
