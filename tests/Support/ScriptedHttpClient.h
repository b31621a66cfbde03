#pragma once

#include "Async.h"
#include "HttpClient.h"

#include <QHash>

#include <optional>
#include <vector>

namespace ondrake::test {

// An HTTP client that answers from a script. An address it was not given fails as an
// unreachable host does, which is what every address is on a machine without a network.
class ScriptedHttpClient final : public HttpClient {
public:
    struct Answer {
        int status = 200;
        QByteArray body;
        bool bodyFails = false;  // the connection drops while the body is read
    };

    void answer(const QUrl &url, int status, QByteArray body = {}) { answers_[url] = Answer{status, std::move(body)}; }
    void answer(const QUrl &url, Answer a) { answers_[url] = std::move(a); }
    // Requests for `url` wait until the returned gate is resolved.
    Deferred<> hold(const QUrl &url) { return gates_[url]; }

    const std::vector<QUrl> &requests() const { return requests_; }
    bool isClosed() const { return closed_; }
    std::optional<qint64> lastLimit() const { return lastLimit_; }

    QCoro::Task<HttpResponse> get(QUrl url, qint64 maxBodyBytes) override {
        requests_.push_back(url);
        lastLimit_ = maxBodyBytes;
        if (const auto gate = gates_.constFind(url); gate != gates_.constEnd() && !closed_) {
            const Deferred<> waiting = *gate;
            co_await waiting;
        }
        if (closed_) co_return HttpResponse::transportFailure();
        const auto found = answers_.constFind(url);
        if (found == answers_.constEnd()) co_return HttpResponse::transportFailure();
        const Answer a = *found;
        if (a.status < 200 || a.status > 299) co_return HttpResponse{a.status, HttpResponse::Body::failed, {}};
        if (a.body.size() > maxBodyBytes) co_return HttpResponse{a.status, HttpResponse::Body::tooLarge, {}};
        if (a.bodyFails) co_return HttpResponse{a.status, HttpResponse::Body::failed, {}};
        co_return HttpResponse{a.status, HttpResponse::Body::complete, a.body};
    }

    void close() override {
        closed_ = true;
        for (auto &gate : gates_)
            if (!gate.isSettled()) gate.resolve();
    }

private:
    bool closed_ = false;
    QHash<QUrl, Answer> answers_;
    QHash<QUrl, Deferred<>> gates_;
    std::vector<QUrl> requests_;
    std::optional<qint64> lastLimit_;
};

}  // namespace ondrake::test
