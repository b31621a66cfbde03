#include "QtHttpClient.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

#include <coroutine>

namespace ondrake {
namespace {

struct ReplyDeleter {
    void operator()(QNetworkReply *reply) const {
        reply->disconnect();
        reply->deleteLater();  // it may be inside one of its own signals; deleting it also stops it
    }
};

// The body as it streams in. The transfer ends at the reply's end, or as soon as what comes can
// no longer be used; the reply is then dropped, not aborted, so Qt reports no second error.
struct Transfer {
    qint64 limit = 0;
    HttpResponse response;
    bool ended = false;
    std::coroutine_handle<> waiter;
    QObject *context = nullptr;

    void take(QNetworkReply &reply) {
        if (ended) return;
        response.status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (!response.isSuccess()) return end(HttpResponse::Body::failed);
        if (announcedLength(reply) > limit) return end(HttpResponse::Body::tooLarge);
        response.bytes += reply.read(limit + 1 - response.bytes.size());
        if (response.bytes.size() > limit) end(HttpResponse::Body::tooLarge);
    }

    void finish(QNetworkReply &reply) {
        take(reply);
        if (ended) return;
        // A connection closed early can look like the end of the body; the announced length tells.
        const qint64 announced = announcedLength(reply);
        const bool whole = reply.error() == QNetworkReply::NoError && (announced <= 0 || response.bytes.size() == announced);
        end(whole ? HttpResponse::Body::complete : HttpResponse::Body::failed);
    }

    void end(HttpResponse::Body how) {
        ended = true;
        response.body = how;
        if (how != HttpResponse::Body::complete) response.bytes.clear();
        // Resumed from the event loop, not inside the reply's signal: what the caller does next
        // may well end the manager that is emitting it.
        if (auto h = std::exchange(waiter, nullptr))
            QMetaObject::invokeMethod(context, [h] { h.resume(); }, Qt::QueuedConnection);
    }

    // Qt drops the header when it decompresses the body, so it always counts the bytes we read.
    static qint64 announcedLength(const QNetworkReply &reply) {
        return reply.header(QNetworkRequest::ContentLengthHeader).toLongLong();
    }
};

struct TransferEnd {
    Transfer &transfer;
    bool await_ready() const noexcept { return transfer.ended; }
    void await_suspend(std::coroutine_handle<> h) noexcept { transfer.waiter = h; }
    void await_resume() const noexcept {}
};

}  // namespace

QtHttpClient::QtHttpClient(std::chrono::milliseconds timeout)
    : manager_(std::make_unique<QNetworkAccessManager>()), timeout_(timeout) {
    manager_->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
}

QtHttpClient::~QtHttpClient() = default;

void QtHttpClient::close() {
    closed_ = true;
    // Each reply ends at once as a failure; a name lookup it started is dropped when still queued.
    for (auto *reply : manager_->findChildren<QNetworkReply *>()) reply->abort();
}

QCoro::Task<HttpResponse> QtHttpClient::get(QUrl url, qint64 maxBodyBytes) {
    if (closed_) co_return HttpResponse::transportFailure();
    QNetworkRequest request(url);
    request.setTransferTimeout(int(timeout_.count()));
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    const std::unique_ptr<QNetworkReply, ReplyDeleter> reply(manager_->get(request));
    reply->setReadBufferSize(256 * 1024);  // the limit holds as bytes arrive, not only at the end

    auto transfer = std::make_shared<Transfer>();
    transfer->limit = maxBodyBytes;
    QNetworkReply *raw = reply.get();
    transfer->context = raw;
    QObject::connect(raw, &QNetworkReply::readyRead, raw, [raw, transfer] { transfer->take(*raw); });
    QObject::connect(raw, &QNetworkReply::finished, raw, [raw, transfer] { transfer->finish(*raw); });
    if (raw->isFinished()) transfer->finish(*raw);
    co_await TransferEnd{*transfer};
    if (transfer->response.status == 0) co_return HttpResponse::transportFailure();
    co_return std::move(transfer->response);
}

}  // namespace ondrake
