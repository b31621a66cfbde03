#include "Qt/QtScheduler.h"

#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <limits>

namespace ondrake {

QtScheduler::QtScheduler() : context_(std::make_unique<QObject>()), origin_(std::chrono::steady_clock::now()) {}

QtScheduler::~QtScheduler() = default;

double QtScheduler::now() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - origin_).count();
}

QDateTime QtScheduler::wallNow() const { return QDateTime::currentDateTimeUtc(); }

void QtScheduler::post(std::function<void()> fn) {
    QMetaObject::invokeMethod(context_.get(), std::move(fn), Qt::QueuedConnection);
}

TimerHandle QtScheduler::after(Seconds delay, std::function<void()> fn) { return arm(delay, false, std::move(fn)); }

TimerHandle QtScheduler::every(Seconds interval, std::function<void()> fn) { return arm(interval, true, std::move(fn)); }

TimerHandle QtScheduler::arm(Seconds delay, bool repeating, std::function<void()> fn) {
    auto state = std::make_shared<detail::TimerState>();
    state->action = std::move(fn);
    state->repeating = repeating;
    state->interval = delay;

    auto *timer = new QTimer(context_.get());
    timer->setTimerType(Qt::PreciseTimer);
    timer->setSingleShot(!repeating);
    const double ms = std::ceil(std::max(0.0, delay.count()) * 1000.0);
    timer->setInterval(int(std::min(ms, double(std::numeric_limits<int>::max()))));
    QPointer<QTimer> guard(timer);
    state->onCancel = [guard] {
        if (guard) {
            guard->stop();
            guard->deleteLater();
        }
    };
    std::weak_ptr<detail::TimerState> weak = state;
    QObject::connect(timer, &QTimer::timeout, timer, [weak, timer] {
        const auto s = weak.lock();
        if (!s || !s->active) return;
        if (!s->repeating) {
            s->active = false;
            timer->deleteLater();
        }
        auto action = s->action;  // the action may cancel its own timer while it runs
        if (action) action();
    });
    timer->start();
    return TimerHandle(state);
}

}  // namespace ondrake
