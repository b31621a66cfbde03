#pragma once

#include <QDateTime>

#include <chrono>
#include <coroutine>
#include <functional>
#include <memory>

namespace ondrake {

using Seconds = std::chrono::duration<double>;

namespace detail {
struct TimerState {
    std::function<void()> action;
    Seconds interval{0};
    bool repeating = false;
    bool active = true;
    std::function<void()> onCancel;  // lets the implementation release what backs the timer
};
}  // namespace detail

// Owns one armed timer. Destroying or cancelling the handle disarms it, so a timer never fires
// into an owner that is gone. Main thread only.
class TimerHandle {
public:
    TimerHandle() = default;
    explicit TimerHandle(std::shared_ptr<detail::TimerState> state) : state_(std::move(state)) {}
    TimerHandle(TimerHandle &&other) noexcept = default;
    TimerHandle &operator=(TimerHandle &&other) noexcept;
    TimerHandle(const TimerHandle &) = delete;
    TimerHandle &operator=(const TimerHandle &) = delete;
    ~TimerHandle() { cancel(); }

    void cancel();
    // Armed: a one-shot timer that has not fired yet, or a repeating one, not cancelled.
    bool isActive() const { return state_ && state_->active; }

private:
    std::shared_ptr<detail::TimerState> state_;
};

class Scheduler;

// Work running on another thread that will post its completion back. While any is in flight a
// manual scheduler knows to wait for it instead of declaring the main thread idle.
class ExternalWork {
public:
    ExternalWork() = default;
    explicit ExternalWork(Scheduler *scheduler) : scheduler_(scheduler) {}
    ExternalWork(ExternalWork &&other) noexcept : scheduler_(std::exchange(other.scheduler_, nullptr)) {}
    ExternalWork &operator=(ExternalWork &&other) noexcept;
    ExternalWork(const ExternalWork &) = delete;
    ExternalWork &operator=(const ExternalWork &) = delete;
    ~ExternalWork() { end(); }

    // Posts `completion` to the main thread and ends the work in one step: once the main thread
    // can see the completion, this object no longer touches the scheduler. Any thread; at most once.
    void complete(std::function<void()> completion);

private:
    void end();
    Scheduler *scheduler_ = nullptr;
};

// The main run loop: a monotonic clock, the wall clock, a FIFO main queue and timers.
// Everything but `post` and `ExternalWork::complete` is called on the main thread.
class Scheduler {
public:
    virtual ~Scheduler() = default;

    virtual double now() const = 0;  // monotonic seconds
    virtual QDateTime wallNow() const = 0;  // UTC
    // Runs `fn` on the main thread after what is already queued. Any thread.
    virtual void post(std::function<void()> fn) = 0;
    [[nodiscard]] virtual TimerHandle after(Seconds delay, std::function<void()> fn) = 0;
    [[nodiscard]] virtual TimerHandle every(Seconds interval, std::function<void()> fn) = 0;

    [[nodiscard]] ExternalWork beginExternalWork() {
        externalWorkBegan();
        return ExternalWork(this);
    }

    // `co_await scheduler.sleep(d)` resumes the coroutine on the main thread after `d`.
    class SleepAwaiter {
    public:
        SleepAwaiter(Scheduler &scheduler, Seconds delay) : scheduler_(scheduler), delay_(delay) {}
        bool await_ready() const noexcept { return false; }
        void await_suspend(std::coroutine_handle<> handle) {
            timer_ = scheduler_.after(delay_, [handle] { handle.resume(); });
        }
        void await_resume() const noexcept {}

    private:
        Scheduler &scheduler_;
        Seconds delay_;
        TimerHandle timer_;
    };
    [[nodiscard]] SleepAwaiter sleep(Seconds delay) { return SleepAwaiter(*this, delay); }

protected:
    friend class ExternalWork;
    virtual void externalWorkBegan() {}
    virtual void externalWorkEnded() {}
    // Posts `completion` and ends one piece of external work; a scheduler that counts its work
    // does both at once, as the main thread may run the completion and go away at once.
    virtual void externalWorkCompleted(std::function<void()> completion) {
        post(std::move(completion));
        externalWorkEnded();
    }
};

}  // namespace ondrake
