#pragma once

#include "Scheduler.h"

#include <QByteArray>
#include <QEasingCurve>
#include <QPropertyAnimation>
#include <QVariant>

#include <functional>
#include <memory>

namespace ondrake {

// A property animation that runs on the scheduler's clock rather than Qt's animation timer, so a
// fade takes the same course in virtual time under test as it does on screen. One animation at a
// time: starting a new one stops the one under way without finishing it. Main thread.
class ScheduledAnimation {
public:
    static constexpr Seconds frameInterval{1.0 / 60.0};

    ScheduledAnimation(Scheduler &scheduler, QObject *target, const QByteArray &property);
    ~ScheduledAnimation();
    ScheduledAnimation(const ScheduledAnimation &) = delete;
    ScheduledAnimation &operator=(const ScheduledAnimation &) = delete;

    // From the property's current value to `to`; `finished` runs once the end value is set.
    void start(const QVariant &to, Seconds duration, const QEasingCurve &curve, std::function<void()> finished);
    void stop();
    bool isRunning() const { return timer_.isActive(); }
    const QVariant &endValue() const { return endValue_; }

private:
    void tick();

    Scheduler &scheduler_;
    std::unique_ptr<QPropertyAnimation> animation_;
    QVariant endValue_;
    double startedAt_ = 0;
    TimerHandle timer_;
    std::function<void()> finished_;
};

}  // namespace ondrake
