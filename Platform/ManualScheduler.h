#pragma once

#include "Scheduler.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <optional>

namespace ondrake {

// A scheduler with virtual time for tests: nothing happens until the test advances the clock or
// runs what is due. Timers due at the same moment fire in the order they were armed; posted work
// runs in FIFO order at the current moment.
class ManualScheduler final : public Scheduler {
public:
    static QDateTime defaultWallStart();  // 2026-01-01T00:00:00Z

    explicit ManualScheduler(QDateTime wallStart = defaultWallStart());
    ~ManualScheduler() override;

    double now() const override { return now_; }
    QDateTime wallNow() const override;
    void post(std::function<void()> fn) override;
    TimerHandle after(Seconds delay, std::function<void()> fn) override;
    TimerHandle every(Seconds interval, std::function<void()> fn) override;

    // Moves the clock forward by `d`, firing every timer that falls due on the way, in time order.
    void advance(Seconds d);
    // Moves the clock to the next armed timer and fires what is due then. False when none is armed.
    bool advanceToNextTimer();
    // Runs posted work and timers due now until nothing due is left; the clock stands still.
    void runUntilIdle();
    // Sets the wall clock without moving the monotonic one (the user changed the date).
    void setWallNow(const QDateTime &wall);

    std::optional<double> nextTimerTime() const;
    std::size_t pendingCount() const;
    int externalWorkInFlight() const { return externalInFlight_.load(); }
    // Blocks until work from another thread has been posted, or none is in flight any more.
    // Throws if nothing arrives within a generous bound, so a lost completion fails the test
    // instead of hanging it.
    void waitForExternalWork();

protected:
    void externalWorkBegan() override;
    void externalWorkEnded() override;
    void externalWorkCompleted(std::function<void()> completion) override;

private:
    using Key = std::pair<double, std::uint64_t>;
    Key insert(double due, std::shared_ptr<detail::TimerState> state);
    void drainIncoming();
    bool runOneDueBy(double limit);

    double now_ = 0;
    QDateTime wallStart_;
    double wallOffset_ = 0;
    std::uint64_t nextSequence_ = 0;
    std::map<Key, std::shared_ptr<detail::TimerState>> queue_;

    mutable std::mutex incomingMutex_;
    std::condition_variable incomingChanged_;
    std::deque<std::function<void()>> incoming_;
    std::atomic<int> externalInFlight_{0};
};

}  // namespace ondrake
