#include "Qt/QtHttpClient.h"

#include <QCoreApplication>
#include <QTcpServer>
#include <QTest>
#include <QTcpSocket>

#include <gtest/gtest.h>

#include <map>

using namespace ondrake;

namespace {

// A web server on the loopback address that answers each path from a script. With `length`
// false the body ends when the connection closes; `cutAt` closes it after that many bytes.
class LoopbackServer {
public:
    struct Reply {
        int status = 200;
        QByteArray body;
        bool length = true;
        qsizetype cutAt = -1;
    };

    LoopbackServer() {
        EXPECT_TRUE(server_.listen(QHostAddress::LocalHost));
        QObject::connect(&server_, &QTcpServer::newConnection, &server_, [this] {
            while (QTcpSocket *socket = server_.nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { serve(*socket); });
                QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }

    void on(const QByteArray &path, Reply reply) { replies_[path] = std::move(reply); }
    QUrl url(const char *path) const {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(server_.serverPort()).arg(QLatin1String(path)));
    }
    quint16 port() const { return server_.serverPort(); }

private:
    void serve(QTcpSocket &socket) {
        QByteArray &request = pending_[&socket];
        request += socket.readAll();
        if (!QByteArray("GET ").startsWith(request.left(4))) {  // not HTTP: a TLS hello, say
            pending_.erase(&socket);
            socket.abort();
            return;
        }
        if (!request.contains("\r\n\r\n")) return;
        const QByteArray path = request.split(' ').value(1);
        const Reply reply = replies_.count(path) ? replies_.at(path) : Reply{404, "missing"};
        QByteArray head = "HTTP/1.1 " + QByteArray::number(reply.status) + " X\r\nConnection: close\r\n";
        if (reply.length) head += "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n";
        socket.write(head + "\r\n");
        socket.write(reply.cutAt < 0 ? reply.body : reply.body.left(reply.cutAt));
        socket.disconnectFromHost();
        pending_.erase(&socket);
    }

    QTcpServer server_;
    std::map<QByteArray, Reply> replies_;
    std::map<QTcpSocket *, QByteArray> pending_;
};

TEST(QtHttpClient, ReadsABodyOnlyWithinItsLimitAndForA2xxStatus) {
    constexpr qint64 limit = 300'000;  // more than one read buffer, so the limit is met mid-stream
    const QByteArray exact(limit, 'x');
    const QByteArray over(limit + 1, 'x');
    LoopbackServer server;
    server.on("/exact", {200, exact});
    server.on("/exact-unannounced", {200, exact, false});
    server.on("/over", {200, over});
    server.on("/over-unannounced", {200, over, false});
    server.on("/empty", {204, {}});
    server.on("/gone", {410, "gone"});
    server.on("/cut", {200, exact, true, 1000});

    using Body = HttpResponse::Body;
    struct Case {
        const char *path;
        HttpResponse expected;
    };
    const std::vector<Case> cases = {
        {"/exact", {200, Body::complete, exact}},
        {"/exact-unannounced", {200, Body::complete, exact}},
        {"/over", {200, Body::tooLarge, {}}},
        {"/over-unannounced", {200, Body::tooLarge, {}}},
        {"/empty", {204, Body::complete, {}}},
        {"/gone", {410, Body::failed, {}}},
        {"/missing", {404, Body::failed, {}}},
        {"/cut", {200, Body::failed, {}}},
    };
    QtHttpClient client;
    QUrl tls = server.url("/exact");
    tls.setScheme(QStringLiteral("https"));  // the server speaks no TLS: the handshake fails
    EXPECT_EQ(QCoro::waitFor(client.get(tls, limit)), HttpResponse::transportFailure());
    for (const auto &c : cases) {
        const HttpResponse response = QCoro::waitFor(client.get(server.url(c.path), limit));
        EXPECT_EQ(response.status, c.expected.status) << c.path;
        EXPECT_EQ(response.body, c.expected.body) << c.path;
        EXPECT_EQ(response.bytes.size(), c.expected.bytes.size()) << c.path;
    }
}

TEST(QtHttpClient, ANoAnswerHasNoStatus) {
    quint16 closedPort = 0;
    {
        LoopbackServer gone;
        closedPort = gone.port();
    }
    QtHttpClient client;
    for (const char *scheme : {"http", "https"}) {
        const QUrl url(QStringLiteral("%1://127.0.0.1:%2/favicon.ico").arg(QLatin1String(scheme)).arg(closedPort));
        EXPECT_EQ(QCoro::waitFor(client.get(url, 1000)), HttpResponse::transportFailure()) << scheme;
    }
    EXPECT_EQ(QCoro::waitFor(client.get(QUrl(QStringLiteral("https://")), 1000)), HttpResponse::transportFailure());
}

TEST(QtHttpClient, ClosingEndsTheRequestsUnderWayAndRefusesLaterOnes) {
    // A server that takes the connection and never says a word, as a host behind a dead route.
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    int connections = 0;
    QObject::connect(&silent, &QTcpServer::newConnection, &silent, [&] {
        while (silent.nextPendingConnection()) ++connections;
    });
    const QUrl url(QStringLiteral("http://127.0.0.1:%1/favicon.ico").arg(silent.serverPort()));

    QtHttpClient client(std::chrono::minutes(1));
    auto waiting = client.get(url, 1000);
    ASSERT_TRUE(QTest::qWaitFor([&] { return connections == 1; }, 5000));
    client.close();
    EXPECT_EQ(QCoro::waitFor(std::move(waiting)), HttpResponse::transportFailure());

    EXPECT_EQ(QCoro::waitFor(client.get(url, 1000)), HttpResponse::transportFailure());
    QCoreApplication::processEvents();
    EXPECT_EQ(connections, 1) << "nothing more reached the network";
}

}  // namespace
