#include "FrameClock.h"

#include <cmath>

namespace ondrake {

double PacedDisplayLink::periodFor(double refreshRate) {
    // A screen that reports no usable rate is driven at the common 60 Hz.
    return (std::isfinite(refreshRate) && refreshRate >= 1) ? 1.0 / refreshRate : 1.0 / 60;
}

PacedDisplayLink::PacedDisplayLink(Scheduler &scheduler, double refreshRate, FrameClock::FrameCallback onFrame,
                                   FrameClock::LostCallback onLost)
    : scheduler_(scheduler), period_(periodFor(refreshRate)),
      onFrame_(std::make_shared<FrameClock::FrameCallback>(std::move(onFrame))),
      onLost_(std::make_shared<FrameClock::LostCallback>(std::move(onLost))) {
    arm();
}

PacedDisplayLink::~PacedDisplayLink() {
    // A loss notice already posted must not reach an owner that let the link go.
    *onLost_ = nullptr;
    *onFrame_ = nullptr;
}

void PacedDisplayLink::arm() {
    std::weak_ptr<FrameClock::FrameCallback> weak = onFrame_;
    const double period = period_;
    timer_ = scheduler_.every(Seconds(period), [weak, period, &scheduler = scheduler_] {
        const auto callback = weak.lock();
        if (!callback || !*callback) return;
        const auto frame = *callback;  // the owner may destroy the link from inside
        frame(scheduler.now() + period);
    });
}

void PacedDisplayLink::setRefreshRate(double refreshRate) {
    const double period = periodFor(refreshRate);
    if (!valid_ || period == period_) return;
    period_ = period;
    arm();
}

void PacedDisplayLink::lose() {
    if (!valid_) return;
    valid_ = false;
    timer_.cancel();
    std::weak_ptr<FrameClock::LostCallback> weak = onLost_;
    scheduler_.post([weak] {
        const auto callback = weak.lock();
        if (!callback || !*callback) return;
        const auto lost = *callback;
        lost();
    });
}

}  // namespace ondrake
