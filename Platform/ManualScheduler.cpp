#include "ManualScheduler.h"

#include <QTimeZone>

#include <stdexcept>

namespace ondrake {

QDateTime ManualScheduler::defaultWallStart() { return QDateTime(QDate(2026, 1, 1), QTime(0, 0), Qt::UTC); }

ManualScheduler::ManualScheduler(QDateTime wallStart) : wallStart_(std::move(wallStart)) {}

ManualScheduler::~ManualScheduler() {
    // Whatever is still queued is dropped without running.
    for (auto &[key, state] : queue_) state->active = false;
}

QDateTime ManualScheduler::wallNow() const {
    return wallStart_.addMSecs(static_cast<qint64>((now_ + wallOffset_) * 1000.0));
}

void ManualScheduler::setWallNow(const QDateTime &wall) {
    wallOffset_ = double(wallStart_.msecsTo(wall)) / 1000.0 - now_;
}

ManualScheduler::Key ManualScheduler::insert(double due, std::shared_ptr<detail::TimerState> state) {
    const Key key{due, nextSequence_++};
    queue_.emplace(key, std::move(state));
    return key;
}

// Other threads notify while they hold the lock: once it is released, the main thread may find
// what they posted, finish, and destroy this scheduler, so they must not touch it after that.
void ManualScheduler::post(std::function<void()> fn) {
    std::lock_guard lock(incomingMutex_);
    incoming_.push_back(std::move(fn));
    incomingChanged_.notify_all();
}

TimerHandle ManualScheduler::after(Seconds delay, std::function<void()> fn) {
    auto state = std::make_shared<detail::TimerState>();
    state->action = std::move(fn);
    const Key key = insert(now_ + std::max(0.0, delay.count()), state);
    state->onCancel = [this, key] { queue_.erase(key); };
    return TimerHandle(state);
}

TimerHandle ManualScheduler::every(Seconds interval, std::function<void()> fn) {
    auto state = std::make_shared<detail::TimerState>();
    state->action = std::move(fn);
    state->repeating = true;
    state->interval = Seconds(std::max(interval.count(), 1e-6));
    insert(now_ + state->interval.count(), state);
    // A repeating timer moves in the queue as it fires, so it is found by identity when cancelled.
    std::weak_ptr<detail::TimerState> weak = state;
    state->onCancel = [this, weak] {
        const auto target = weak.lock();
        for (auto it = queue_.begin(); it != queue_.end(); ++it)
            if (it->second == target) { queue_.erase(it); break; }
    };
    return TimerHandle(state);
}

void ManualScheduler::drainIncoming() {
    std::deque<std::function<void()>> arrived;
    {
        std::lock_guard lock(incomingMutex_);
        arrived.swap(incoming_);
    }
    for (auto &fn : arrived) {
        auto state = std::make_shared<detail::TimerState>();
        state->action = std::move(fn);
        insert(now_, std::move(state));
    }
}

bool ManualScheduler::runOneDueBy(double limit) {
    drainIncoming();
    if (queue_.empty() || queue_.begin()->first.first > limit) return false;
    auto node = queue_.extract(queue_.begin());
    auto state = std::move(node.mapped());
    now_ = std::max(now_, node.key().first);
    if (!state->active) return true;
    if (state->repeating) {
        insert(now_ + state->interval.count(), state);
    } else {
        state->active = false;
        state->onCancel = nullptr;
    }
    auto action = state->action;  // the action may cancel its own timer while it runs
    if (!state->repeating) state->action = nullptr;
    if (action) action();
    return true;
}

void ManualScheduler::runUntilIdle() {
    while (runOneDueBy(now_)) {}
}

void ManualScheduler::advance(Seconds d) {
    const double target = now_ + std::max(0.0, d.count());
    while (runOneDueBy(target)) {}
    now_ = target;
}

bool ManualScheduler::advanceToNextTimer() {
    drainIncoming();
    const auto next = nextTimerTime();
    if (!next) return false;
    advance(Seconds(*next - now_));
    return true;
}

std::optional<double> ManualScheduler::nextTimerTime() const {
    if (queue_.empty()) return std::nullopt;
    return queue_.begin()->first.first;
}

std::size_t ManualScheduler::pendingCount() const {
    std::lock_guard lock(incomingMutex_);
    return queue_.size() + incoming_.size();
}

void ManualScheduler::externalWorkBegan() { ++externalInFlight_; }

void ManualScheduler::externalWorkEnded() {
    std::lock_guard lock(incomingMutex_);
    --externalInFlight_;
    incomingChanged_.notify_all();
}

void ManualScheduler::externalWorkCompleted(std::function<void()> completion) {
    std::lock_guard lock(incomingMutex_);
    incoming_.push_back(std::move(completion));
    --externalInFlight_;
    incomingChanged_.notify_all();
}

void ManualScheduler::waitForExternalWork() {
    std::unique_lock lock(incomingMutex_);
    const bool arrived = incomingChanged_.wait_for(lock, std::chrono::seconds(60), [this] {
        return !incoming_.empty() || externalInFlight_.load() == 0;
    });
    if (!arrived) throw std::runtime_error("work on another thread never reported back");
}

}  // namespace ondrake
