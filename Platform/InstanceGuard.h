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
        // Another instance runs and has answered the request to reopen.
        reopenedRunning,
        // An instance of this user holds the place but did not answer in time.
        unanswered,
        // No place only this user can reach could be had; this process runs alone without being
        // reachable.
        unguarded,
    };

    virtual ~InstanceGuard() = default;

    // Becomes the one instance, or asks the one that runs to reopen. Launches that claim at the
    // same moment take turns.
    virtual Claim claim() = 0;
    // Runs each time a later launch asks this instance to reopen; that launch is answered once it
    // returns.
    virtual void setReopenHandler(std::function<void()> handler) = 0;
};

}  // namespace ondrake
