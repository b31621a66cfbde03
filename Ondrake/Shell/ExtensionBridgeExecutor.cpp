#include "ExtensionBridgeExecutor.h"

#include <memory>

namespace ondrake {

ExtensionBridgeWorker::ExtensionBridgeWorker(Scheduler &scheduler) : scheduler_(scheduler) {
    thread_.setMaxThreadCount(1);  // one at a time, in order
}

ExtensionBridgeWorker::~ExtensionBridgeWorker() { thread_.waitForDone(); }

void ExtensionBridgeWorker::run(Work work) {
    // The pool copies what it runs; the work is ended, once, by whichever copy runs.
    auto external = std::make_shared<ExternalWork>(scheduler_.beginExternalWork());
    thread_.start([work = std::move(work), external] {
        if (auto completion = work()) external->complete(std::move(completion));
        else *external = ExternalWork();
    });
}

}  // namespace ondrake
