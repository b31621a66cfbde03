#include "Qt/SingleInstance.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <QTimer>

#include <unistd.h>

namespace ondrake {

namespace {

void drop(QLocalSocket &connection) {
    connection.abort();
    connection.deleteLater();
}

const QByteArray kReopenRequest = QByteArrayLiteral("reopen\n");
const QByteArray kAnswer = QByteArrayLiteral("ok\n");
// Longer than any request of ours: a peer that sends more without ending its line is a stranger.
constexpr qint64 kLongestRequest = 64;
// A peer that connects and never finishes its request is let go.
constexpr std::chrono::seconds kIdleConnection{10};

}  // namespace

SingleInstance::SingleInstance(QString socketPath, QObject *parent)
    : QObject(parent), socketPath_(std::move(socketPath)) {}

// The server removes its socket file as it closes.
SingleInstance::~SingleInstance() = default;

QString SingleInstance::socketPathFor(const QString &applicationID) {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty()) folder = QDir::tempPath();
    return QDir(folder).filePath(QStringLiteral("%1.%2.instance").arg(applicationID).arg(getuid()));
}

bool SingleInstance::isListening() const { return server_ && server_->isListening(); }

SingleInstance::Claim SingleInstance::claim(std::chrono::milliseconds answerTimeout) {
    if (server_) return Claim::first;
    // Two launches that both found a dead instance's socket would each remove it and listen.
    QLockFile turn(socketPath_ + QStringLiteral(".lock"));
    if (!turn.tryLock(int((answerTimeout + std::chrono::seconds(1)).count())))
        log_.error("Could not take turns with other launches (lock error %{public}d); going on", int(turn.error()));

    switch (askRunningInstance(answerTimeout)) {
    case Contact::answered: return Claim::reopenedRunning;
    case Contact::unanswered: return Claim::unanswered;
    case Contact::nobodyThere: break;
    }
    return listen() ? Claim::first : Claim::unguarded;
}

SingleInstance::Contact SingleInstance::askRunningInstance(std::chrono::milliseconds answerTimeout) {
    QLocalSocket socket;
    socket.connectToServer(socketPath_);
    if (!socket.waitForConnected(int(answerTimeout.count()))) {
        // Only a listener that does not take the connection counts as there; a missing or dead
        // socket, or one that cannot be reached at all, leaves the place to this launch.
        return socket.error() == QLocalSocket::SocketTimeoutError ? Contact::unanswered : Contact::nobodyThere;
    }
    socket.write(kReopenRequest);

    // The answer comes through the event loop, which also lets an instance in this same process
    // (in tests) hear the request.
    QEventLoop waiting;
    QTimer deadline;
    deadline.setSingleShot(true);
    connect(&deadline, &QTimer::timeout, &waiting, &QEventLoop::quit);
    connect(&socket, &QLocalSocket::readyRead, &waiting, [&] {
        if (socket.canReadLine()) waiting.quit();
    });
    connect(&socket, &QLocalSocket::disconnected, &waiting, &QEventLoop::quit);
    connect(&socket, &QLocalSocket::errorOccurred, &waiting, &QEventLoop::quit);
    deadline.start(answerTimeout);
    waiting.exec(QEventLoop::ExcludeUserInputEvents);

    if (socket.canReadLine() && socket.readLine(kLongestRequest) == kAnswer) return Contact::answered;
    log_.error("The instance at %{public}s did not answer", socketPath_);
    return Contact::unanswered;
}

bool SingleInstance::listen() {
    auto server = std::make_unique<QLocalServer>();
    // Should the socket land outside the user's own runtime folder, only the user reaches it.
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (QFileInfo::exists(socketPath_)) {
        log_.info("Taking over the socket of an instance that is gone");
        QLocalServer::removeServer(socketPath_);
    }
    if (!server->listen(socketPath_)) {
        log_.error("Cannot listen for later launches at %{public}s: %{public}s", socketPath_, server->errorString());
        return false;
    }
    connect(server.get(), &QLocalServer::newConnection, this, &SingleInstance::accept);
    server_ = std::move(server);
    return true;
}

void SingleInstance::accept() {
    while (QLocalSocket *connection = server_->nextPendingConnection()) {
        connect(connection, &QLocalSocket::disconnected, connection, &QObject::deleteLater);
        connect(connection, &QLocalSocket::readyRead, this, [this, connection] { serve(*connection); });
        QTimer::singleShot(kIdleConnection, connection, [connection] { drop(*connection); });
        serve(*connection);
    }
}

void SingleInstance::serve(QLocalSocket &connection) {
    if (!connection.canReadLine()) {
        if (connection.bytesAvailable() > kLongestRequest) drop(connection);
        return;
    }
    if (connection.readLine(kLongestRequest) != kReopenRequest) {
        log_.error("Ignored a request on the instance socket that is not a reopen");
        drop(connection);
        return;
    }
    log_.info("A later launch asked this instance to reopen");
    Q_EMIT reopenRequested();
    connection.write(kAnswer);
    connection.disconnectFromServer();
}

}  // namespace ondrake
