#pragma once

#include "Log.h"
#include "ManualScheduler.h"

#include <QCoro/QCoroTask>

#include <coroutine>
#include <exception>
#include <memory>
#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

namespace ondrake {

namespace detail {
template<typename T>
QCoro::Task<> runDetached(QCoro::Task<T> task, Logger log, QString what) {
    try {
        co_await std::move(task);
    } catch (const std::exception &e) {
        log.error("%{public}s failed: %{public}s", what, e.what());
    } catch (...) {
        log.error("%{public}s failed", what);
    }
}
}  // namespace detail

// Lets a task run on by itself; an error it ends with is logged rather than lost.
template<typename T>
void startDetached(QCoro::Task<T> task, const Logger &log, const QString &what) {
    detail::runDetached(std::move(task), log, what);
}

// A value that arrives later, settled by hand: tests use it to hold an operation at an
// await point and release it in the order they choose. Copies share one state.
template<typename T = void>
class Deferred {
    struct State {
        std::optional<std::conditional_t<std::is_void_v<T>, bool, T>> value;
        std::exception_ptr error;
        std::vector<std::coroutine_handle<>> waiters;
        bool settled() const { return value.has_value() || error != nullptr; }
    };

public:
    Deferred() : state_(std::make_shared<State>()) {}

    template<typename U = T>
        requires(!std::is_void_v<U>)
    void resolve(U value) {
        settle([&](State &s) { s.value.emplace(std::move(value)); });
    }
    template<typename U = T>
        requires std::is_void_v<U>
    void resolve() {
        settle([](State &s) { s.value.emplace(true); });
    }
    template<typename E>
    void fail(E error) {
        settle([&](State &s) { s.error = std::make_exception_ptr(std::move(error)); });
    }

    bool isSettled() const { return state_->settled(); }
    std::size_t waiterCount() const { return state_->waiters.size(); }

    class Awaiter {
    public:
        explicit Awaiter(std::shared_ptr<State> state) : state_(std::move(state)) {}
        bool await_ready() const noexcept { return state_->settled(); }
        void await_suspend(std::coroutine_handle<> h) { state_->waiters.push_back(h); }
        T await_resume() const {
            if (state_->error) std::rethrow_exception(state_->error);
            if constexpr (!std::is_void_v<T>) return *state_->value;
        }

    private:
        std::shared_ptr<State> state_;
    };
    Awaiter operator co_await() const { return Awaiter(state_); }

private:
    template<typename F>
    void settle(F &&apply) {
        if (state_->settled()) throw std::logic_error("Deferred settled twice");
        apply(*state_);
        auto waiters = std::move(state_->waiters);
        state_->waiters.clear();
        for (auto h : waiters) h.resume();
    }
    std::shared_ptr<State> state_;
};

// Operations under way, counted so that one can wait until none is. Each holds a ticket while it
// runs; the count lives with the tickets, so that one ending after its owner went still lets the
// waiters go. Main thread.
class OperationsInFlight {
    struct State {
        int count = 0;
        std::vector<Deferred<>> waiters;
    };

public:
    class Ticket {
    public:
        explicit Ticket(std::shared_ptr<State> state) : state_(std::move(state)) { ++state_->count; }
        Ticket(Ticket &&) noexcept = default;
        Ticket &operator=(Ticket &&) = delete;
        ~Ticket() {
            if (!state_ || --state_->count > 0) return;
            for (auto &waiter : std::exchange(state_->waiters, {})) waiter.resolve();
        }

    private:
        std::shared_ptr<State> state_;
    };

    Ticket begin() { return Ticket(state_); }
    bool isIdle() const { return state_->count == 0; }
    // Ends once no operation is under way; at once when none is.
    QCoro::Task<> idle() const {
        if (isIdle()) co_return;
        const Deferred<> waiter;
        state_->waiters.push_back(waiter);
        co_await waiter;
    }

private:
    std::shared_ptr<State> state_ = std::make_shared<State>();
};

// The outcome of a task that a test drives by hand.
template<typename T>
struct TaskResult {
    std::optional<std::conditional_t<std::is_void_v<T>, bool, T>> value;
    std::exception_ptr error;
    bool done = false;
};

namespace detail {
template<typename T>
QCoro::Task<> capture(QCoro::Task<T> task, std::shared_ptr<TaskResult<T>> out) {
    try {
        if constexpr (std::is_void_v<T>) {
            co_await std::move(task);
            out->value.emplace(true);
        } else {
            out->value.emplace(co_await std::move(task));
        }
    } catch (...) {
        out->error = std::current_exception();
    }
    out->done = true;
}
}  // namespace detail

// Starts `task` and hands back a result that fills in when it ends, so a test can step the
// scheduler and look in between.
template<typename T>
std::shared_ptr<TaskResult<T>> observe(QCoro::Task<T> task) {
    auto result = std::make_shared<TaskResult<T>>();
    detail::capture(std::move(task), result);
    return result;
}

// Runs the main queue of `scheduler` until `task` ends and returns its value or rethrows its
// error. Waits for work on other threads when some is in flight, else moves virtual time to the
// next timer; throws when the task can no longer end (nothing queued, nothing in flight) or has
// not ended within `limit` of virtual time.
template<typename T>
T runToCompletion(ManualScheduler &scheduler, QCoro::Task<T> task, Seconds limit = Seconds(3600)) {
    auto result = observe(std::move(task));
    const double deadline = scheduler.now() + limit.count();
    for (;;) {
        scheduler.runUntilIdle();
        if (result->done) break;
        if (scheduler.externalWorkInFlight() > 0) {
            scheduler.waitForExternalWork();
            continue;
        }
        // Work on another thread may have posted its completion and ended after the run above:
        // run once more before deciding nothing is left.
        scheduler.runUntilIdle();
        if (result->done) break;
        if (scheduler.externalWorkInFlight() > 0) continue;
        const auto next = scheduler.nextTimerTime();
        if (!next) throw std::logic_error("task cannot finish: nothing is queued and no work is in flight");
        if (*next > deadline) throw std::logic_error("task did not finish within its virtual time limit");
        scheduler.advanceToNextTimer();
    }
    if (result->error) std::rethrow_exception(result->error);
    if constexpr (!std::is_void_v<T>) return std::move(*result->value);
}

// Runs what is due on the main queue, waiting for work on other threads to report back,
// without moving the clock.
inline void settle(ManualScheduler &scheduler) {
    for (;;) {
        scheduler.runUntilIdle();
        if (scheduler.externalWorkInFlight() == 0) {
            // A completion posted just after the run above still counts as due now.
            scheduler.runUntilIdle();
            if (scheduler.externalWorkInFlight() == 0) return;
        }
        scheduler.waitForExternalWork();
    }
}

// Moves virtual time on by `d`, timer by timer, settling after each: work on other threads
// answers at once in virtual time.
inline void step(ManualScheduler &scheduler, Seconds d) {
    const double target = scheduler.now() + d.count();
    settle(scheduler);
    while (const auto next = scheduler.nextTimerTime()) {
        if (*next > target) break;
        scheduler.advance(Seconds(*next - scheduler.now()));
        settle(scheduler);
    }
    scheduler.advance(Seconds(target - scheduler.now()));
    settle(scheduler);
}

}  // namespace ondrake
