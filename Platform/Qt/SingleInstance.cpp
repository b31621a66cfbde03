#include "Qt/SingleInstance.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
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

// The runtime folder as the session names it, links resolved, when it is the user's alone.
QString trustedRuntimeFolder(const Logger &log) {
    const QString named = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (named.isEmpty()) return {};
    const QString resolved = QFileInfo(named).canonicalFilePath();
    const auto distrust = distrustOf(resolved.isEmpty() ? named : resolved, FileKind::folder);
    if (!distrust) return resolved;
    log.error("Not using the runtime folder %{public}s for the instance socket: %{public}s", named, distrust->describe());
    return {};
}

}  // namespace

SingleInstance::SingleInstance(QString socketPath, std::chrono::milliseconds answerTimeout)
    : socketPath_(std::move(socketPath)), answerTimeout_(answerTimeout) {}

// The server removes its socket file as it closes.
SingleInstance::~SingleInstance() = default;

QString SingleInstance::socketPathFor(const QString &applicationID, const Paths &paths) {
    const Logger log(QStringLiteral("Instance"));
    const QString socketName = QStringLiteral("%1.%2.instance").arg(applicationID).arg(getuid());
    if (const QString runtime = trustedRuntimeFolder(log); !runtime.isEmpty())
        return QDir(runtime).filePath(socketName);

    // Named for the user too: the temporary folder is everyone's, and a home may be shared
    // between accounts.
    const QString ownName = QStringLiteral("%1-%2").arg(applicationID).arg(getuid());
    const std::pair<QString, QString> places[] = {
        {paths.temporary, ownName},
        {paths.caches, ownName},
        {paths.home, QLatin1Char('.') + ownName},
    };
    for (const auto &[base, name] : places) {
        if (base.isEmpty()) continue;
        const auto folder = PrivateFolder::in(base, name);
        if (!folder.distrust) return QDir(folder.path).filePath(socketName);
        log.error("Not using %{public}s for the instance socket: %{public}s", folder.path, folder.distrust->describe());
    }
    log.error("No folder of this user alone for the instance socket");
    return {};
}

bool SingleInstance::isListening() const { return server_ && server_->isListening(); }

// A file that is missing may be made; one of the user's own may be used. Anything else is named.
bool SingleInstance::mayUse(const QString &path, FileKind kind) const {
    const auto distrust = distrustOf(path, kind);
    if (!distrust || distrust->reason == Distrust::Reason::missing) return true;
    log_.error("Not trusting %{public}s, %{public}s; starting as the only instance", path, distrust->describe());
    return false;
}

InstanceGuard::Claim SingleInstance::claim() {
    if (server_) return Claim::first;
    if (socketPath_.isEmpty()) return Claim::unguarded;
    const QString folder = QFileInfo(socketPath_).absolutePath();
    if (const auto distrust = distrustOf(folder, FileKind::folder)) {
        if (distrust->reason != Distrust::Reason::missing)
            log_.error("Not trusting %{public}s, %{public}s; starting as the only instance", folder, distrust->describe());
        else
            log_.error("Cannot listen for later launches in %{public}s: missing", folder);
        return Claim::unguarded;
    }

    // Two launches that both found a dead instance's socket would each remove it and listen.
    // A lock someone else left would hold every launch for the whole wait; it is not theirs to hold.
    const QString lockPath = socketPath_ + QStringLiteral(".lock");
    if (!mayUse(lockPath, FileKind::regularFile)) QFile::remove(lockPath);
    QLockFile turn(lockPath);
    if (!turn.tryLock(int((answerTimeout_ + std::chrono::seconds(1)).count())))
        log_.error("Could not take turns with other launches (lock error %{public}d); going on", int(turn.error()));

    // Only a socket of the user's own is asked; anything else there is replaced.
    const bool own = mayUse(socketPath_, FileKind::socket);
    if (own) {
        switch (askRunningInstance()) {
        case Contact::answered: return Claim::reopenedRunning;
        case Contact::unanswered: return Claim::unanswered;
        case Contact::nobodyThere: break;
        }
    }
    return listen() ? Claim::first : Claim::unguarded;
}

SingleInstance::Contact SingleInstance::askRunningInstance() {
    QLocalSocket socket;
    socket.connectToServer(socketPath_);
    if (!socket.waitForConnected(int(answerTimeout_.count()))) {
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
    QObject::connect(&deadline, &QTimer::timeout, &waiting, &QEventLoop::quit);
    QObject::connect(&socket, &QLocalSocket::readyRead, &waiting, [&] {
        if (socket.canReadLine()) waiting.quit();
    });
    QObject::connect(&socket, &QLocalSocket::disconnected, &waiting, &QEventLoop::quit);
    QObject::connect(&socket, &QLocalSocket::errorOccurred, &waiting, &QEventLoop::quit);
    deadline.start(answerTimeout_);
    waiting.exec(QEventLoop::ExcludeUserInputEvents);

    if (socket.canReadLine() && socket.readLine(kLongestRequest) == kAnswer) return Contact::answered;
    log_.error("The instance at %{public}s did not answer", socketPath_);
    return Contact::unanswered;
}

bool SingleInstance::listen() {
    auto server = std::make_unique<QLocalServer>();
    // The folder keeps everyone else out already; the socket does too, should it ever be moved.
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (QFileInfo(socketPath_).exists() && !distrustOf(socketPath_, FileKind::socket))
        log_.info("Taking over the socket of an instance that is gone");
    QFile::remove(socketPath_);
    if (!server->listen(socketPath_)) {
        log_.error("Cannot listen for later launches at %{public}s: %{public}s", socketPath_, server->errorString());
        return false;
    }
    QObject::connect(server.get(), &QLocalServer::newConnection, server.get(), [this] { accept(); });
    server_ = std::move(server);
    return true;
}

void SingleInstance::accept() {
    while (QLocalSocket *connection = server_->nextPendingConnection()) {
        QObject::connect(connection, &QLocalSocket::disconnected, connection, &QObject::deleteLater);
        QObject::connect(connection, &QLocalSocket::readyRead, connection, [this, connection] { serve(*connection); });
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
    if (onReopen_) onReopen_();
    connection.write(kAnswer);
    connection.disconnectFromServer();
}

}  // namespace ondrake
