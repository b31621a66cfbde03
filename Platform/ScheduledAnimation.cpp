#include "ScheduledAnimation.h"

#include <algorithm>
#include <cmath>

namespace ondrake {

ScheduledAnimation::ScheduledAnimation(Scheduler &scheduler, QObject *target, const QByteArray &property)
    : scheduler_(scheduler), animation_(std::make_unique<QPropertyAnimation>(target, property)) {}

ScheduledAnimation::~ScheduledAnimation() { stop(); }

void ScheduledAnimation::start(const QVariant &to, Seconds duration, const QEasingCurve &curve,
                               std::function<void()> finished) {
    stop();
    auto *target = animation_->targetObject();
    if (!target) return;
    endValue_ = to;
    finished_ = std::move(finished);
    animation_->setStartValue(target->property(animation_->propertyName().constData()));
    animation_->setEndValue(to);
    animation_->setDuration(std::max(1, int(std::lround(duration.count() * 1000))));
    animation_->setEasingCurve(curve);
    // Running then paused: the animation writes the property when told the time, but Qt's own
    // timer never advances it.
    animation_->start();
    animation_->pause();
    startedAt_ = scheduler_.now();
    timer_ = scheduler_.every(frameInterval, [this] { tick(); });
}

void ScheduledAnimation::stop() {
    timer_.cancel();
    finished_ = nullptr;
    if (animation_->state() != QAbstractAnimation::Stopped) animation_->stop();
}

void ScheduledAnimation::tick() {
    const int total = animation_->duration();
    const double elapsed = (scheduler_.now() - startedAt_) * 1000;
    const int current = std::min(total, int(std::floor(elapsed)));
    // Reaching the end stops the animation by itself.
    animation_->setCurrentTime(current);
    if (current < total) return;
    timer_.cancel();
    if (auto finished = std::exchange(finished_, nullptr)) finished();
}

}  // namespace ondrake
