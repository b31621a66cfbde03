#pragma once

#include "HttpClient.h"

#include <chrono>
#include <memory>

class QNetworkAccessManager;

namespace ondrake {

// HTTP through Qt's network access: nothing kept on disk, less safe redirects refused, and a
// transfer that stays silent for `timeout` given up. Main thread; callers keep the client alive
// until their requests end.
class QtHttpClient final : public HttpClient {
public:
    explicit QtHttpClient(std::chrono::milliseconds timeout = std::chrono::seconds(6));
    ~QtHttpClient() override;
    QtHttpClient(const QtHttpClient &) = delete;
    QtHttpClient &operator=(const QtHttpClient &) = delete;

    QCoro::Task<HttpResponse> get(QUrl url, qint64 maxBodyBytes) override;
    void close() override;

private:
    std::unique_ptr<QNetworkAccessManager> manager_;
    std::chrono::milliseconds timeout_;
    bool closed_ = false;
};

}  // namespace ondrake
