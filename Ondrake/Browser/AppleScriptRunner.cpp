#include "AppleScriptRunner.h"

#include <pthread.h>

#include <coroutine>
#include <exception>

namespace ondrake {

struct AppleScriptRunner::CallState {  // main thread only
    std::optional<AppleEventDescriptor> reply;
    std::exception_ptr error;
    std::coroutine_handle<> waiter;
    bool done = false;

    void settle() {
        done = true;
        if (auto h = std::exchange(waiter, nullptr)) h.resume();
    }
};

class AppleScriptRunner::CallAwaiter {
public:
    explicit CallAwaiter(std::shared_ptr<CallState> state) : state_(std::move(state)) {}
    bool await_ready() const noexcept { return state_->done; }
    void await_suspend(std::coroutine_handle<> h) { state_->waiter = h; }
    AppleEventDescriptor await_resume() const {
        if (state_->error) std::rethrow_exception(state_->error);
        return std::move(*state_->reply);
    }

private:
    std::shared_ptr<CallState> state_;
};

AppleScriptRunner::AppleScriptRunner(QString source, ScriptEngine &engine, Scheduler &scheduler)
    : source_(std::move(source)), engine_(engine), scheduler_(scheduler), thread_([this] { threadMain(); }) {}

AppleScriptRunner::~AppleScriptRunner() {
    std::deque<Work> abandoned;
    {
        const std::lock_guard lock(mutex_);
        cancelled_ = true;
        abandoned.swap(queue_);
    }
    wake_.notify_all();
    for (auto &work : abandoned)
        finish(work, SafariControllerError::automationFailure(QStringLiteral("Runner deallocated")));
    thread_.join();  // the handler in progress, if any, still reports its own outcome
}

QCoro::Task<AppleEventDescriptor> AppleScriptRunner::call(QString handler, std::vector<AppleEventDescriptor> args) {
    auto state = std::make_shared<CallState>();
    {
        const std::lock_guard lock(mutex_);
        queue_.push_back(Work{std::move(handler), std::move(args), state, scheduler_.beginExternalWork()});
    }
    wake_.notify_one();
    co_return co_await CallAwaiter(state);
}

void AppleScriptRunner::threadMain() {
    // Linux caps a thread name at 15 characters, so "com.ondrake.Ondrake.applescript" is
    // shortened. There is no quality-of-service class to set here.
    pthread_setname_np(pthread_self(), "ondrake.ascript");
    for (;;) {
        Work work;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return cancelled_ || !queue_.empty(); });
            if (cancelled_) return;  // the destructor fails what is still queued
            work = std::move(queue_.front());
            queue_.pop_front();
        }
        perform(work);
    }
}

void AppleScriptRunner::perform(Work &work) {
    try {
        auto &script = compileIfNeeded();
        auto execution = script.execute(subroutineEvent(work.handler, work.args));
        if (execution.error) throw mapError(*execution.error);
        finish(work, std::move(execution.reply));
    } catch (const SafariControllerError &error) {
        finish(work, error);
    } catch (const std::exception &error) {
        finish(work, SafariControllerError::automationFailure(QString::fromUtf8(error.what())));
    }
}

Script &AppleScriptRunner::compileIfNeeded() {
    if (compiled_) return *compiled_;
    auto script = engine_.makeScript(source_);
    if (!script) throw SafariControllerError::automationFailure(QStringLiteral("Could not create the Safari script"));
    if (const auto error = script->compile()) {
        const auto text = error->message.value_or(QStringLiteral("unknown error"));
        logger_.fault("Safari script failed to compile: %{public}s", text);
        throw SafariControllerError::automationFailure(QStringLiteral("Script failed to compile: ") + text);
    }
    compiled_ = std::move(script);
    return *compiled_;
}

void AppleScriptRunner::finish(Work &work, AppleEventDescriptor reply) {
    work.completion.complete([state = work.state, reply = std::move(reply)]() mutable {
        state->reply = std::move(reply);
        state->settle();
    });
}

void AppleScriptRunner::finish(Work &work, const SafariControllerError &error) {
    work.completion.complete([state = work.state, error] {
        state->error = std::make_exception_ptr(error);
        state->settle();
    });
}

AppleEvent AppleScriptRunner::subroutineEvent(const QString &handler, const std::vector<AppleEventDescriptor> &args) {
    AppleEvent event;
    event.eventClass = QStringLiteral("ascr");
    event.eventID = QStringLiteral("psbr");
    event.target = {0, 2};  // kCurrentProcess
    event.returnID = AppleEvent::kAutoGenerateReturnID;
    event.transactionID = AppleEvent::kAnyTransactionID;
    event.parameters[QStringLiteral("snam")] = AppleEventDescriptor::fromString(handler.toLower());
    if (!args.empty()) event.parameters[AppleEvent::keyDirectObject] = AppleEventDescriptor::list(args);
    return event;
}

SafariControllerError AppleScriptRunner::mapError(const ScriptErrorInfo &error) {
    const auto number = error.number.value_or(0);
    switch (number) {
    case -600:
    case -609: return SafariControllerError::safariNotRunning();
    case -1743:
    case -1744:
    case -10004: return SafariControllerError::permissionDenied();
    case -1719:
    case -1728: return SafariControllerError::tabNotFound();
    case -1712: return SafariControllerError::automationFailure(QStringLiteral("Safari did not respond in time"));
    default: break;
    }
    const auto message = error.message.value_or(QStringLiteral("Unknown AppleScript error"));
    return SafariControllerError::automationFailure(QStringLiteral("%1 (%2)").arg(message).arg(number));
}

}  // namespace ondrake
