#pragma once

#include "Browser/SafariControllerError.h"

#include "AppleEventDescriptor.h"
#include "Log.h"
#include "Scheduler.h"
#include "ScriptEngine.h"

#include <QCoro/QCoroTask>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace ondrake {

// Runs the handlers of one script on a thread of its own, one at a time in the order they were
// asked for, and hands each reply back to the awaiting caller on the main thread. Executing a
// handler blocks that thread until the browser answers or the handler's own time-out expires,
// which is why it never happens on the main thread.
class AppleScriptRunner {
public:
    AppleScriptRunner(QString source, ScriptEngine &engine, Scheduler &scheduler);
    // Fails every call still queued with automationFailure("Runner deallocated") and waits for
    // the handler in progress; no caller is left waiting.
    ~AppleScriptRunner();
    AppleScriptRunner(const AppleScriptRunner &) = delete;
    AppleScriptRunner &operator=(const AppleScriptRunner &) = delete;

    // Calls `handler` (written form, e.g. "getSnapshot") with positional arguments. Throws
    // SafariControllerError.
    QCoro::Task<AppleEventDescriptor> call(QString handler, std::vector<AppleEventDescriptor> args = {});

    // The "run subroutine" event for a handler call, addressed to this process.
    static AppleEvent subroutineEvent(const QString &handler, const std::vector<AppleEventDescriptor> &args);
    static SafariControllerError mapError(const ScriptErrorInfo &error);

private:
    struct CallState;
    struct Work {
        QString handler;
        std::vector<AppleEventDescriptor> args;
        std::shared_ptr<CallState> state;
        ExternalWork completion;
    };
    class CallAwaiter;

    void threadMain();
    void perform(Work &work);
    Script &compileIfNeeded();
    static void finish(Work &work, AppleEventDescriptor reply);
    static void finish(Work &work, const SafariControllerError &error);

    const Logger logger_{QStringLiteral("AppleScript")};
    const QString source_;
    ScriptEngine &engine_;
    Scheduler &scheduler_;
    std::unique_ptr<Script> compiled_;  // script thread only

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Work> queue_;
    bool cancelled_ = false;
    std::thread thread_;  // declared last: starts once everything it uses exists
};

}  // namespace ondrake
