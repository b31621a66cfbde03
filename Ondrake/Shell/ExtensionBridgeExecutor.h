#pragma once

#include "Scheduler.h"

#include <QThreadPool>

#include <functional>

namespace ondrake {

// Where the bridge reads the state file: off the main thread, one piece of work at a time in the
// order given. A piece of work returns what the main thread does with its result (or nothing).
class ExtensionBridgeExecutor {
public:
    using Completion = std::function<void()>;
    using Work = std::function<Completion()>;

    virtual ~ExtensionBridgeExecutor() = default;
    // Main thread. The completion runs on the main thread; `work` must not touch what the main
    // thread may change or free meanwhile.
    virtual void run(Work work) = 0;
};

// The bridge's own thread, started when there is work and let go after a while without any. Its
// completions reach the main thread through the scheduler, which counts them as external work.
// Destroying it waits for the work in progress, so that no work outlives its owner.
class ExtensionBridgeWorker final : public ExtensionBridgeExecutor {
public:
    explicit ExtensionBridgeWorker(Scheduler &scheduler);
    ~ExtensionBridgeWorker() override;
    ExtensionBridgeWorker(const ExtensionBridgeWorker &) = delete;
    ExtensionBridgeWorker &operator=(const ExtensionBridgeWorker &) = delete;

    void run(Work work) override;

private:
    Scheduler &scheduler_;
    QThreadPool thread_;
};

}  // namespace ondrake
