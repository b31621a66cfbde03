#pragma once

#include <functional>

namespace ondrake {

// Keeps one running instance of the application per user. A later launch asks the running one to
// reopen instead of running beside it, where both would poll and save the same record file and
// the last save would win. Main thread.
class InstanceGuard {
public:
    enum class Claim {
        // This process is the one instance; later launches reach it.
        first,
        // This process is the one instance, but later launches cannot reach it: they find it
        // running and end without starting.
        firstUnreachable,
        // Another instance runs and has answered the request to reopen.
        reopenedRunning,
        // Another instance runs (or is still ending) and did not answer in time.
        unanswered,
        // Nothing could keep a second instance out; this process runs without knowing of others.
        unguarded,
    };

    virtual ~InstanceGuard() = default;

    // Becomes the one instance, or asks the one that runs to reopen. Launches that claim at the
    // same moment take turns; one that finds an instance quitting waits for it to end and then
    // runs in its place.
    virtual Claim claim() = 0;
    // Runs each time a later launch asks this instance to reopen; that launch is answered once it
    // returns.
    virtual void setReopenHandler(std::function<void()> handler) = 0;
    // For the quit: later launches are no longer answered, which an instance about to end could
    // not honour; they wait for this process to end instead and then run in its place.
    virtual void stopAnswering() = 0;
};

}  // namespace ondrake
