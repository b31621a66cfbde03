#pragma once

#include <QByteArray>
#include <QUrl>

#include <QCoro/QCoroTask>

namespace ondrake {

// What came back for one GET. A transport failure (no address, no connection, TLS, time-out)
// has no status.
struct HttpResponse {
    enum class Body { complete, failed, tooLarge };

    int status = 0;  // 0: no HTTP response arrived
    Body body = Body::failed;
    QByteArray bytes;  // the whole body when complete; a 2xx body only

    bool isSuccess() const { return status >= 200 && status <= 299; }
    bool operator==(const HttpResponse &) const = default;

    static HttpResponse transportFailure() { return {}; }
};

// The network as the system uses it: one GET at a time per call, awaited on the main thread.
class HttpClient {
public:
    virtual ~HttpClient() = default;

    // Never throws. A body is read only for a 2xx status, and only while it stays within
    // `maxBodyBytes`; past that reading stops and the response says `tooLarge`.
    virtual QCoro::Task<HttpResponse> get(QUrl url, qint64 maxBodyBytes) = 0;
    // Ends every request under way as a transport failure and fails every later one at once, so
    // that nothing waits on the network any more; for quitting.
    virtual void close() = 0;
};

}  // namespace ondrake
