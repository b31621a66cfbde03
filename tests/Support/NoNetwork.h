#pragma once

#include "HttpClient.h"

namespace ondrake::test {

// A machine without a network: every fetch fails at once, and nothing is remembered of it.
struct NoNetwork final : HttpClient {
    QCoro::Task<HttpResponse> get(QUrl, qint64) override { co_return HttpResponse::transportFailure(); }
    void close() override {}
};

}  // namespace ondrake::test
