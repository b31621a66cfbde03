#pragma once

#include <QCoro/QCoroTask>

#include <functional>

namespace ondrake {

// Runs refresh passes one at a time: a request made while a pass runs is folded, with any
// others, into exactly one more pass after it. Main thread only; outlives every request.
class RefreshCoalescer {
public:
    using Pass = std::function<QCoro::Task<>()>;

    explicit RefreshCoalescer(Pass pass) : pass_(std::move(pass)) {}
    RefreshCoalescer(const RefreshCoalescer &) = delete;
    RefreshCoalescer &operator=(const RefreshCoalescer &) = delete;

    // Ends when the passes it started are done, at once when it only queued one.
    QCoro::Task<> request();

    bool isRefreshing() const { return isRefreshing_; }
    bool refreshQueued() const { return refreshQueued_; }

private:
    Pass pass_;
    bool isRefreshing_ = false;
    bool refreshQueued_ = false;
};

}  // namespace ondrake
