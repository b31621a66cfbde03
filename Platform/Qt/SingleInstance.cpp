#include "Qt/SingleInstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>

#include <sys/stat.h>
#include <sys/un.h>
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
// An instance that hangs up without a word is quitting and gone from the socket a moment later;
// a peer that keeps doing so is not the instance.
constexpr int kHangUpsTolerated = 3;
// How often a launch looks whether a lock it waits for has been let go.
constexpr std::chrono::milliseconds kLockPolling{20};

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

// The socket's path in `folder`; empty, and logged, when it is too long for a socket's address.
QString socketPathIn(const QString &folder, const QString &socketName, const Logger &log) {
    const QString path = QDir(folder).filePath(socketName);
    const qsizetype length = QFile::encodeName(path).size();
    if (length <= SingleInstance::kLongestSocketPath) return path;
    log.error("Not using %{public}s for the instance socket: its path would be %{public}d bytes long, more than a "
              "socket takes (%{public}d)",
              folder, int(length), int(SingleInstance::kLongestSocketPath));
    return {};
}

// Whether what stood at `path` is gone; a folder goes with everything in it.
bool clearAway(const QString &path) {
    struct stat status {};
    if (::lstat(QFile::encodeName(path).constData(), &status) == 0 && S_ISDIR(status.st_mode))
        return QDir(path).removeRecursively();
    return QFile::remove(path);
}

// Tries `lock` until it is taken or unusable, or `patience` has passed. The event loop runs
// meanwhile, which lets the holder run on when it is in this same process (in tests).
ProcessLock::Attempt takeWithin(ProcessLock &lock, std::chrono::milliseconds patience) {
    auto attempt = lock.tryTake();
    if (attempt != ProcessLock::Attempt::heldElsewhere) return attempt;
    const QDeadlineTimer deadline(patience);
    QEventLoop waiting;
    QTimer polling;
    QObject::connect(&polling, &QTimer::timeout, &waiting, [&] {
        attempt = lock.tryTake();
        if (attempt != ProcessLock::Attempt::heldElsewhere || deadline.hasExpired()) waiting.quit();
    });
    polling.start(kLockPolling);
    waiting.exec(QEventLoop::ExcludeUserInputEvents);
    return attempt;
}

}  // namespace

// The address has room for the path and its ending zero, less one byte the toolkit keeps for names
// outside the file system whether or not one is used.
const qsizetype SingleInstance::kLongestSocketPath = sizeof(sockaddr_un::sun_path) - 2;

SingleInstance::SingleInstance(QString socketPath, QString instanceLockPath, std::chrono::milliseconds answerTimeout)
    : socketPath_(std::move(socketPath)), answerTimeout_(answerTimeout), instanceLock_(std::move(instanceLockPath)) {}

// The server removes its socket file as it closes.
SingleInstance::~SingleInstance() = default;

QString SingleInstance::socketPathFor(const QString &applicationID, const Paths &paths) {
    const Logger log(QStringLiteral("Instance"));
    const QString socketName = QStringLiteral("%1.%2.instance").arg(applicationID).arg(getuid());
    if (const QString runtime = trustedRuntimeFolder(log); !runtime.isEmpty()) {
        if (QString path = socketPathIn(runtime, socketName, log); !path.isEmpty()) return path;
    }

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
        // Measured before the folder is made, so that none is left where no socket fits.
        if (socketPathIn(QDir(base).filePath(name), socketName, log).isEmpty()) continue;
        const auto folder = PrivateFolder::in(base, name);
        if (!folder.distrust) return QDir(folder.path).filePath(socketName);
        log.error("Not using %{public}s for the instance socket: %{public}s", folder.path, folder.distrust->describe());
    }
    log.error("No folder of this user alone for the instance socket");
    return {};
}

bool SingleInstance::isListening() const { return server_ && server_->isListening(); }

// A file that is missing may be made; one of the user's own may be used. Anything else is named,
// with what is done `instead`.
bool SingleInstance::mayUse(const QString &path, FileKind kind, const char *instead) const {
    const auto distrust = distrustOf(path, kind);
    if (!distrust || distrust->reason == Distrust::Reason::missing) return true;
    log_.error("Not trusting %{public}s, %{public}s; %{public}s", path, distrust->describe(), instead);
    return false;
}

InstanceGuard::Claim SingleInstance::claim() {
    if (server_) return Claim::first;
    if (instanceLock_.isHeld()) return Claim::firstUnreachable;

    const bool reachable = socketFolderIsTrusted();
    const auto turn = reachable ? takeTurn() : nullptr;
    if (reachable) {
        if (const auto asked = askRunningInstance()) return *asked;
    }

    switch (takeInstanceLock()) {
    case ProcessLock::Attempt::taken: break;
    case ProcessLock::Attempt::heldElsewhere:
        log_.error("Another instance holds %{public}s and did not end in time; not starting beside it",
                   instanceLock_.path());
        return Claim::unanswered;
    case ProcessLock::Attempt::unusable:
        log_.error("Cannot lock %{public}s: %{public}s; only the socket keeps a second instance out",
                   instanceLock_.path(), instanceLock_.errorString());
        break;
    }
    if (reachable && listen()) return Claim::first;
    if (!instanceLock_.isHeld()) return Claim::unguarded;
    log_.error("Later launches cannot reach this instance; they will end without starting");
    return Claim::firstUnreachable;
}

bool SingleInstance::socketFolderIsTrusted() const {
    if (socketPath_.isEmpty()) return false;
    const QString folder = QFileInfo(socketPath_).absolutePath();
    const auto distrust = distrustOf(folder, FileKind::folder);
    if (!distrust) return true;
    if (distrust->reason != Distrust::Reason::missing)
        log_.error("Not trusting %{public}s, %{public}s; not listening for later launches", folder, distrust->describe());
    else
        log_.error("Cannot listen for later launches in %{public}s: missing", folder);
    return false;
}

// Two launches that both found a dead instance's socket would each remove it and listen.
std::unique_ptr<ProcessLock> SingleInstance::takeTurn() const {
    // Whatever stands in the lock's place and cannot be a lock of ours would hold every launch
    // back or keep them from taking turns: a file another account left, a link, a folder. It goes.
    const QString lockPath = socketPath_ + QStringLiteral(".lock");
    if (!mayUse(lockPath, FileKind::regularFile, "clearing it away") && !clearAway(lockPath)) {
        log_.error("Could not clear %{public}s away; not taking turns with other launches", lockPath);
        return nullptr;
    }
    // The launch ahead may wait for an answer, and then for a quitting instance to end.
    auto turn = std::make_unique<ProcessLock>(lockPath);
    const auto attempt = takeWithin(*turn, answerTimeout_ * 2 + std::chrono::seconds(1));
    if (attempt == ProcessLock::Attempt::taken) return turn;
    log_.error("Could not take turns with other launches (%{public}s); going on",
               attempt == ProcessLock::Attempt::unusable ? turn->errorString() : QStringLiteral("no turn came"));
    return nullptr;
}

std::optional<InstanceGuard::Claim> SingleInstance::askRunningInstance() {
    // Only a socket of the user's own is asked; anything else there is replaced.
    if (!mayUse(socketPath_, FileKind::socket, "listening in its place")) return std::nullopt;
    for (int hangUps = 0;;) {
        switch (askOnce()) {
        case Contact::answered: return Claim::reopenedRunning;
        case Contact::nobodyThere: return std::nullopt;
        case Contact::unanswered:
            log_.error("The instance at %{public}s did not answer", socketPath_);
            return Claim::unanswered;
        case Contact::hungUp:
            if (++hangUps == kHangUpsTolerated) {
                log_.error("The instance at %{public}s did not answer and kept hanging up", socketPath_);
                return Claim::unanswered;
            }
            log_.info("The instance at %{public}s hung up without answering, as one that quits does; asking again",
                      socketPath_);
        }
    }
}

SingleInstance::Contact SingleInstance::askOnce() {
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

    if (socket.canReadLine()) return socket.readLine(kLongestRequest) == kAnswer ? Contact::answered : Contact::unanswered;
    // Not a word before the end, which is not what a stranger that says something else does.
    if (socket.state() != QLocalSocket::ConnectedState && socket.bytesAvailable() == 0) return Contact::hungUp;
    return Contact::unanswered;
}

// An instance that is quitting holds the lock until it has saved and ended.
ProcessLock::Attempt SingleInstance::takeInstanceLock() {
    if (const auto attempt = instanceLock_.tryTake(); attempt != ProcessLock::Attempt::heldElsewhere) return attempt;
    log_.info("Waiting for the instance that holds %{public}s to end", instanceLock_.path());
    return takeWithin(instanceLock_, answerTimeout_);
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

void SingleInstance::stopAnswering() {
    if (!isListening()) return;
    // Closing removes the socket, so later launches find no one there and wait for the lock.
    server_->close();
    // Those already connected are hung up on, so they ask again and find the same.
    for (QLocalSocket *connection : server_->findChildren<QLocalSocket *>()) drop(*connection);
    log_.info("No longer answering later launches");
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
    if (!isListening()) {
        drop(connection);
        return;
    }
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
