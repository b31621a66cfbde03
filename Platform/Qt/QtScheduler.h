#pragma once

#include "Scheduler.h"

#include <QObject>

#include <chrono>
#include <memory>

namespace ondrake {

// The application's scheduler: the Qt event loop of the thread that creates it (the main thread).
class QtScheduler final : public Scheduler {
public:
    QtScheduler();
    ~QtScheduler() override;

    double now() const override;
    QDateTime wallNow() const override;
    void post(std::function<void()> fn) override;
    TimerHandle after(Seconds delay, std::function<void()> fn) override;
    TimerHandle every(Seconds interval, std::function<void()> fn) override;

private:
    TimerHandle arm(Seconds delay, bool repeating, std::function<void()> fn);
    std::unique_ptr<QObject> context_;  // owns the timers; posted work dies with it
    std::chrono::steady_clock::time_point origin_;
};

}  // namespace ondrake
