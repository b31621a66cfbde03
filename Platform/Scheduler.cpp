#include "Scheduler.h"

namespace ondrake {

TimerHandle &TimerHandle::operator=(TimerHandle &&other) noexcept {
    if (this != &other) {
        cancel();
        state_ = std::move(other.state_);
    }
    return *this;
}

void TimerHandle::cancel() {
    if (!state_) return;
    auto state = std::move(state_);
    if (state->active) {
        state->active = false;
        if (state->onCancel) state->onCancel();
    }
    state->action = nullptr;  // drops what the action captured, now rather than when the queue forgets it
}

ExternalWork &ExternalWork::operator=(ExternalWork &&other) noexcept {
    if (this != &other) {
        end();
        scheduler_ = std::exchange(other.scheduler_, nullptr);
    }
    return *this;
}

void ExternalWork::complete(std::function<void()> completion) {
    if (auto *scheduler = std::exchange(scheduler_, nullptr)) scheduler->externalWorkCompleted(std::move(completion));
}

void ExternalWork::end() {
    if (auto *scheduler = std::exchange(scheduler_, nullptr)) scheduler->externalWorkEnded();
}

}  // namespace ondrake
