#include "RefreshCoalescer.h"

namespace ondrake {

QCoro::Task<> RefreshCoalescer::request() {
    if (isRefreshing_) {
        refreshQueued_ = true;
        co_return;
    }
    isRefreshing_ = true;
    refreshQueued_ = false;
    try {
        do {
            refreshQueued_ = false;
            co_await pass_();
        } while (refreshQueued_);
    } catch (...) {
        // A pass that fails must not leave every later request queued behind it for good.
        isRefreshing_ = false;
        refreshQueued_ = false;
        throw;
    }
    isRefreshing_ = false;
}

}  // namespace ondrake
