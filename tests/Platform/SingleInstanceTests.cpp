#include "ProcessLock.h"
#include "Qt/SingleInstance.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <string>

using namespace ondrake;
using namespace std::chrono_literals;

namespace {

// A runtime folder of the test's own, with the instance's lock beside it.
struct RuntimeFolder {
    QTemporaryDir dir;
    QString socketPath() const { return QDir(dir.path()).filePath(QStringLiteral("app.instance")); }
    QString lockPath() const { return QDir(dir.path()).filePath(QStringLiteral("records.lock")); }
};

// Whether another process could take the lock at `path` now.
bool isFree(const QString &path) {
    ProcessLock probe(path);
    return probe.tryTake() == ProcessLock::Attempt::taken;
}

// What a crashed instance leaves: a socket file that nothing listens on any more.
bool leaveDeadSocket(const QString &path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0) return false;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray encoded = QFile::encodeName(path);
    std::memcpy(address.sun_path, encoded.constData(), std::min(sizeof address.sun_path - 1, std::size_t(encoded.size())));
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    ::close(fd);
    return bound;
}

// Another account on the machine. Handing files to it takes root, as CI runs.
constexpr uid_t kNobody = 65534;
bool handToNobody(const QString &path) { return ::lchown(QFile::encodeName(path).constData(), kNobody, kNobody) == 0; }
bool canHandFilesToOthers() { return ::geteuid() == 0; }

bool logMentions(const LogCapture &log, const QString &text) {
    const auto messages = log.messages();
    return std::any_of(messages.begin(), messages.end(), [&](const QString &m) { return m.contains(text); });
}

// An environment variable set (or unset) for one test and put back after it.
class ScopedVariable {
public:
    ScopedVariable(const char *name, const std::optional<QByteArray> &value)
        : name_(name), old_(qgetenv(name)), had_(qEnvironmentVariableIsSet(name)) {
        if (value) qputenv(name, *value);
        else qunsetenv(name);
    }
    ~ScopedVariable() {
        if (had_) qputenv(name_, old_);
        else qunsetenv(name_);
    }
    ScopedVariable(const ScopedVariable &) = delete;
    ScopedVariable &operator=(const ScopedVariable &) = delete;

private:
    const char *name_;
    QByteArray old_;
    bool had_;
};

TEST(SingleInstance, LaterLaunchesAskTheFirstToReopenUntilItGoes) {
    RuntimeFolder runtime;
    {
        SingleInstance first(runtime.socketPath(), runtime.lockPath());
        int reopened = 0;
        first.setReopenHandler([&] { ++reopened; });
        ASSERT_EQ(first.claim(), SingleInstance::Claim::first);
        EXPECT_TRUE(first.isListening());
        EXPECT_TRUE(QFileInfo(runtime.socketPath()).exists());
        EXPECT_TRUE(isFree(runtime.socketPath() + QStringLiteral(".lock"))) << "turns end with the claim";
        EXPECT_FALSE(isFree(runtime.lockPath())) << "the instance's lock is held while it runs";

        for (int launch = 1; launch <= 2; ++launch) {
            SingleInstance later(runtime.socketPath(), runtime.lockPath());
            EXPECT_EQ(later.claim(), SingleInstance::Claim::reopenedRunning) << launch;
            EXPECT_FALSE(later.isListening()) << launch;
            EXPECT_EQ(reopened, launch) << "each launch asks once";
        }
        EXPECT_TRUE(first.isListening()) << "the later ones leave the socket to the first";
    }
    EXPECT_FALSE(QFileInfo::exists(runtime.socketPath())) << "the socket goes with the instance";
    EXPECT_TRUE(isFree(runtime.lockPath())) << "and so does its lock";
    SingleInstance next(runtime.socketPath(), runtime.lockPath());
    EXPECT_EQ(next.claim(), SingleInstance::Claim::first);
}

TEST(SingleInstance, ASocketLeftByACrashedInstanceIsTakenOver) {
    RuntimeFolder runtime;
    ASSERT_TRUE(leaveDeadSocket(runtime.socketPath()));
    ASSERT_TRUE(QFileInfo(runtime.socketPath()).exists());

    SingleInstance next(runtime.socketPath(), runtime.lockPath());
    int reopened = 0;
    next.setReopenHandler([&] { ++reopened; });
    ASSERT_EQ(next.claim(), SingleInstance::Claim::first);
    EXPECT_TRUE(next.isListening());
    SingleInstance later(runtime.socketPath(), runtime.lockPath());
    EXPECT_EQ(later.claim(), SingleInstance::Claim::reopenedRunning) << "the new owner answers";
    EXPECT_EQ(reopened, 1);
}

TEST(SingleInstance, APeerThatDoesNotAnswerIsNeitherTakenForTheInstanceNorReplaced) {
    struct Case {
        const char *name;
        std::function<void(QLocalSocket &)> reply;
    };
    const Case cases[] = {
        {"hangs up", [](QLocalSocket &peer) { peer.disconnectFromServer(); }},
        {"answers something else",
         [](QLocalSocket &peer) {
             peer.write("no\n");
             peer.disconnectFromServer();
         }},
        {"stays silent", [](QLocalSocket &) {}},
    };
    for (const auto &c : cases) {
        RuntimeFolder runtime;
        QLocalServer peer;
        ASSERT_TRUE(peer.listen(runtime.socketPath())) << c.name;
        QObject::connect(&peer, &QLocalServer::newConnection, [&] {
            auto *connection = peer.nextPendingConnection();
            QObject::connect(connection, &QLocalSocket::readyRead, connection, [&c, connection] {
                if (connection->canReadLine()) c.reply(*connection);
            });
        });

        SingleInstance launch(runtime.socketPath(), runtime.lockPath(), 50ms);
        EXPECT_EQ(launch.claim(), SingleInstance::Claim::unanswered) << c.name;
        EXPECT_FALSE(launch.isListening()) << c.name;
        EXPECT_TRUE(peer.isListening()) << c.name;
        EXPECT_TRUE(QFileInfo(runtime.socketPath()).exists()) << c.name << ": the socket was not removed";
    }
}

TEST(SingleInstance, RequestsThatAreNotAReopenAreRefused) {
    const std::pair<const char *, QByteArray> requests[] = {
        {"another word", "quit\n"},
        {"a reopen with more on its line", "reopen now\n"},
        {"a long line that never ends", QByteArray(200, 'x')},
    };
    for (const auto &[name, request] : requests) {
        RuntimeFolder runtime;
        SingleInstance instance(runtime.socketPath(), runtime.lockPath());
        ASSERT_EQ(instance.claim(), SingleInstance::Claim::first) << name;
        int reopened = 0;
        instance.setReopenHandler([&] { ++reopened; });

        QLocalSocket stranger;
        stranger.connectToServer(runtime.socketPath());
        ASSERT_TRUE(stranger.waitForConnected(5000)) << name;
        QSignalSpy hungUp(&stranger, &QLocalSocket::disconnected);
        stranger.write(request);
        ASSERT_TRUE(hungUp.wait(5000)) << name << ": the instance hangs up";
        EXPECT_EQ(reopened, 0) << name;
        EXPECT_EQ(stranger.readAll(), QByteArray()) << name << ": and answers nothing";
        EXPECT_TRUE(instance.isListening()) << name;
    }
}

// The socket lands in the runtime folder, else in a private folder of the user's own in the
// temporary, cache or home folder, passing by (and naming) every folder another account could
// reach or has taken.
TEST(SingleInstance, TheSocketLandsOnlyInAFolderOfTheUsersAlone) {
    if (!canHandFilesToOthers()) GTEST_SKIP() << "handing files to another account needs root";
    const QString own = QStringLiteral("app-%1").arg(getuid());
    const QString ownInTmp = QStringLiteral("tmp/") + own;
    const QString ownInCache = QStringLiteral("cache/") + own;
    // A stranger's folder, made before the user's launch.
    const auto taken = [](const QString &path) { return QDir().mkdir(path) && handToNobody(path); };
    const auto open = [](const QString &path) {
        return QDir().mkpath(path) && ::chmod(QFile::encodeName(path).constData(), 0777) == 0;
    };
    struct Case {
        const char *name;
        bool runtimeNamed;
        // Given the path of a folder below the test's own.
        std::function<bool(const std::function<QString(const QString &)> &)> prepare;
        QString landsIn;  // below the test's folder; empty for nowhere
        QStringList passedBy;
    };
    const Case cases[] = {
        {"the runtime folder", true, [](auto &) { return true; }, QStringLiteral("runtime"), {}},
        {"no runtime folder", false, [](auto &) { return true; }, ownInTmp, {}},
        {"a runtime folder that is missing", true,
         [](auto &at) { return QDir(at(QStringLiteral("runtime"))).removeRecursively(); }, ownInTmp, {QStringLiteral("runtime")}},
        {"a runtime folder of another account", true, [](auto &at) { return handToNobody(at(QStringLiteral("runtime"))); },
         ownInTmp, {QStringLiteral("runtime")}},
        {"a runtime folder open to others", true, [&](auto &at) { return open(at(QStringLiteral("runtime"))); }, ownInTmp,
         {QStringLiteral("runtime")}},
        {"the temporary one taken by another account", false, [&](auto &at) { return taken(at(ownInTmp)); }, ownInCache,
         {ownInTmp}},
        {"the temporary one left open", false, [&](auto &at) { return open(at(ownInTmp)); }, ownInCache, {ownInTmp}},
        {"the temporary one a link to a private folder", false,
         [&](auto &at) { return QFile::link(at(QStringLiteral("runtime")), at(ownInTmp)); }, ownInCache, {ownInTmp}},
        {"the temporary and cache ones taken", false,
         [&](auto &at) { return taken(at(ownInTmp)) && QDir().mkpath(at(QStringLiteral("cache"))) && taken(at(ownInCache)); },
         QStringLiteral("home/.") + own, {ownInTmp, ownInCache}},
        {"every one taken", false,
         [&](auto &at) {
             return taken(at(ownInTmp)) && QDir().mkpath(at(QStringLiteral("cache"))) && taken(at(ownInCache))
                 && QDir().mkpath(at(QStringLiteral("home"))) && taken(at(QStringLiteral("home/.") + own));
         },
         QString(), {ownInTmp, ownInCache, QStringLiteral("home/.") + own}},
    };
    for (const auto &c : cases) {
        QTemporaryDir root;
        const QDir dir(root.path());
        const auto at = [&](const QString &below) { return dir.filePath(below); };
        ASSERT_TRUE(dir.mkdir(QStringLiteral("runtime")) && dir.mkdir(QStringLiteral("tmp"))) << c.name;
        ::chmod(QFile::encodeName(at(QStringLiteral("runtime"))).constData(), 0700);
        ASSERT_TRUE(c.prepare(at)) << c.name;
        const ScopedVariable runtime("XDG_RUNTIME_DIR",
                                     c.runtimeNamed ? std::optional(QFile::encodeName(at(QStringLiteral("runtime")))) : std::nullopt);
        const Paths paths{at(QStringLiteral("data")), at(QStringLiteral("cache")), at(QStringLiteral("config")),
                          at(QStringLiteral("tmp")), at(QStringLiteral("home"))};

        LogCapture log;
        const QString path = SingleInstance::socketPathFor(QStringLiteral("app"), paths);
        for (const auto &passed : c.passedBy)
            EXPECT_TRUE(logMentions(log, at(passed))) << c.name << ": names " << passed.toStdString();
        const QString lockPath = at(QStringLiteral("data/records.lock"));
        if (c.landsIn.isEmpty()) {
            EXPECT_EQ(path, QString()) << c.name;
            SingleInstance instance(path, lockPath);
            EXPECT_EQ(instance.claim(), SingleInstance::Claim::firstUnreachable) << c.name;
            continue;
        }
        EXPECT_EQ(path, QDir(at(c.landsIn)).filePath(QStringLiteral("app.%1.instance").arg(getuid()))) << c.name;
        struct stat folder {};
        ASSERT_EQ(::lstat(QFile::encodeName(at(c.landsIn)).constData(), &folder), 0) << c.name;
        EXPECT_EQ(folder.st_uid, getuid()) << c.name;
        EXPECT_EQ(folder.st_mode & 0777, 0700u) << c.name << ": no one else may enter";

        SingleInstance instance(path, lockPath);
        ASSERT_EQ(instance.claim(), SingleInstance::Claim::first) << c.name;
        EXPECT_EQ(QFileInfo(path).ownerId(), getuid()) << c.name;
    }
}

// Whatever another account leaves beside the socket is named and passed by: it neither answers
// for the instance nor holds the launch back.
TEST(SingleInstance, NothingAnotherAccountOwnsIsTrusted) {
    if (!canHandFilesToOthers()) GTEST_SKIP() << "handing files to another account needs root";
    using Claim = SingleInstance::Claim;
    // Listens where the instance would and answers "ok" to anyone who asks.
    struct Impostor {
        QLocalServer server;
        bool wasAsked() { return server.hasPendingConnections() || server.waitForNewConnection(0); }
    };
    struct Case {
        const char *name;
        // Plants something of another account's beside the socket and says what it is.
        std::function<QString(const QString &socket, Impostor &)> plant;
        Claim expected;
    };
    const Case cases[] = {
        {"a socket that answers",
         [](const QString &socket, Impostor &impostor) {
             EXPECT_TRUE(impostor.server.listen(socket) && handToNobody(socket));
             return socket;
         },
         Claim::first},
        {"a fresh lock",
         [](const QString &socket, Impostor &) {
             const QString path = socket + QStringLiteral(".lock");
             QFile lock(path);
             EXPECT_TRUE(lock.open(QIODevice::WriteOnly) && lock.write("planted\n") > 0 && handToNobody(path));
             return path;
         },
         Claim::first},
        {"the folder, with a socket that answers",
         [](const QString &socket, Impostor &impostor) {
             const QString folder = QFileInfo(socket).absolutePath();
             EXPECT_TRUE(impostor.server.listen(socket) && handToNobody(folder));
             return folder;
         },
         Claim::firstUnreachable},
    };
    for (const auto &c : cases) {
        RuntimeFolder runtime;
        Impostor impostor;
        QObject::connect(&impostor.server, &QLocalServer::newConnection, [&] {
            auto *connection = impostor.server.nextPendingConnection();
            connection->write("ok\n");
            connection->disconnectFromServer();
        });
        const QString planted = c.plant(runtime.socketPath(), impostor);

        LogCapture log;
        // Long enough that a launch held back by the lock would say it gave up waiting.
        SingleInstance launch(runtime.socketPath(), runtime.lockPath(), 200ms);
        EXPECT_EQ(launch.claim(), c.expected) << c.name;
        EXPECT_TRUE(logMentions(log, QStringLiteral("Not trusting %1, owned by user %2").arg(planted).arg(kNobody))) << c.name;
        EXPECT_FALSE(logMentions(log, QStringLiteral("Could not take turns"))) << c.name;
        EXPECT_FALSE(impostor.wasAsked()) << c.name;
        if (c.expected == Claim::first) {
            EXPECT_EQ(QFileInfo(runtime.socketPath()).ownerId(), getuid()) << c.name << ": the launch listens in its place";
        }
    }
}

// Without a socket of its own the instance cannot be asked to reopen, but its lock still keeps a
// second one from running beside it.
TEST(SingleInstance, WithoutAPlaceForTheSocketTheInstanceRunsAloneAndLaterLaunchesEnd) {
    RuntimeFolder runtime;
    const QString missingFolder = QDir(runtime.dir.path()).filePath(QStringLiteral("missing/app.instance"));
    for (const QString &path : {missingFolder, QString()}) {
        const auto name = path.isEmpty() ? "no socket" : "a socket in a missing folder";
        {
            SingleInstance alone(path, runtime.lockPath(), 50ms);
            EXPECT_EQ(alone.claim(), SingleInstance::Claim::firstUnreachable) << name;
            EXPECT_FALSE(alone.isListening()) << name;
            SingleInstance later(path, runtime.lockPath(), 50ms);
            EXPECT_EQ(later.claim(), SingleInstance::Claim::unanswered) << name;
        }
        SingleInstance next(path, runtime.lockPath(), 50ms);
        EXPECT_EQ(next.claim(), SingleInstance::Claim::firstUnreachable) << name << ": once the first has gone";
    }
}

// Only when neither a socket nor the lock can be had does an instance run unguarded.
TEST(SingleInstance, AnUnusableLockLeavesTheSocketToKeepASecondInstanceOut) {
    RuntimeFolder runtime;
    ASSERT_TRUE(QDir().mkpath(runtime.lockPath()));
    LogCapture log;
    SingleInstance first(runtime.socketPath(), runtime.lockPath(), 50ms);
    EXPECT_EQ(first.claim(), SingleInstance::Claim::first);
    EXPECT_TRUE(logMentions(log, QStringLiteral("Cannot lock %1").arg(runtime.lockPath())));
    SingleInstance later(runtime.socketPath(), runtime.lockPath(), 50ms);
    EXPECT_EQ(later.claim(), SingleInstance::Claim::reopenedRunning);

    SingleInstance unguarded(QString(), runtime.lockPath(), 50ms);
    EXPECT_EQ(unguarded.claim(), SingleInstance::Claim::unguarded);
}

// A peer that hangs up without a word is taken for an instance that is quitting: the launch asks
// again, and once the peer has gone from the socket and let go of the lock, runs in its place.
TEST(SingleInstance, ALaunchThatIsHungUpOnRunsInThePlaceOfTheInstanceOnceThatHasEnded) {
    struct Case {
        const char *name;
        // How many connections the peer hangs up on before it stops listening.
        int hangUps;
        // When it lets go of the instance's lock, after it stopped listening.
        std::chrono::milliseconds endsAfter;
    };
    const Case cases[] = {
        {"gone at the first hang-up", 1, 0ms},
        {"gone at the second, and ending a while later", 2, 150ms},
    };
    for (const auto &c : cases) {
        RuntimeFolder runtime;
        auto quittingLock = std::make_unique<ProcessLock>(runtime.lockPath());
        ASSERT_EQ(quittingLock->tryTake(), ProcessLock::Attempt::taken) << c.name;
        QLocalServer quitting;
        ASSERT_TRUE(quitting.listen(runtime.socketPath())) << c.name;
        int hungUp = 0;
        QObject::connect(&quitting, &QLocalServer::newConnection, [&] {
            while (QLocalSocket *connection = quitting.nextPendingConnection()) connection->abort();
            if (++hungUp < c.hangUps) return;
            quitting.close();
            QTimer::singleShot(c.endsAfter, [&] { quittingLock.reset(); });
        });

        LogCapture log;
        SingleInstance launch(runtime.socketPath(), runtime.lockPath(), 2s);
        EXPECT_EQ(launch.claim(), SingleInstance::Claim::first) << c.name;
        EXPECT_EQ(hungUp, c.hangUps) << c.name;
        EXPECT_FALSE(quittingLock) << c.name << ": only once the other had ended";
        EXPECT_TRUE(launch.isListening()) << c.name;
        EXPECT_TRUE(logMentions(log, QStringLiteral("hung up without answering"))) << c.name;
    }
}

// A launch that connected before the quit began is hung up on, whether or not the instance had
// taken it in yet, and nothing is reopened. A launch during the quit waits for the instance to end
// and runs in its place; one that waits in vain ends without starting.
TEST(SingleInstance, AnInstanceThatStopsAnsweringLeavesItsPlaceOnlyOnceItHasEnded) {
    for (const bool takenIn : {false, true}) {
        const auto name = takenIn ? "taken in" : "not yet taken in";
        RuntimeFolder runtime;
        std::optional<SingleInstance> quitting(std::in_place, runtime.socketPath(), runtime.lockPath());
        int reopened = 0;
        quitting->setReopenHandler([&] { ++reopened; });
        ASSERT_EQ(quitting->claim(), SingleInstance::Claim::first) << name;

        QLocalSocket early;
        early.connectToServer(runtime.socketPath());
        ASSERT_TRUE(early.waitForConnected(5000)) << name;
        QSignalSpy hungUp(&early, &QLocalSocket::disconnected);
        if (takenIn) QCoreApplication::processEvents();
        early.write("reopen\n");
        ASSERT_TRUE(early.waitForBytesWritten(5000)) << name;

        quitting->stopAnswering();
        EXPECT_FALSE(quitting->isListening()) << name;
        EXPECT_FALSE(QFileInfo::exists(runtime.socketPath())) << name << ": later launches find no one there";
        ASSERT_TRUE(hungUp.count() > 0 || hungUp.wait(5000)) << name;
        EXPECT_EQ(early.readAll(), QByteArray()) << name;
        EXPECT_EQ(reopened, 0) << name;

        SingleInstance tooEarly(runtime.socketPath(), runtime.lockPath(), 50ms);
        EXPECT_EQ(tooEarly.claim(), SingleInstance::Claim::unanswered) << name << ": the quitting one has not ended";
        EXPECT_FALSE(tooEarly.isListening()) << name;

        QTimer::singleShot(100ms, [&] { quitting.reset(); });
        SingleInstance next(runtime.socketPath(), runtime.lockPath(), 5s);
        EXPECT_EQ(next.claim(), SingleInstance::Claim::first) << name;
        EXPECT_FALSE(quitting.has_value()) << name << ": only once the quitting one had ended";
        EXPECT_TRUE(next.isListening()) << name;
        SingleInstance later(runtime.socketPath(), runtime.lockPath());
        EXPECT_EQ(later.claim(), SingleInstance::Claim::reopenedRunning) << name;
    }
}

// Whatever stands where the launches' turn lock goes is cleared away at once, and launches go on
// taking turns: the first claims without waiting, and a later one waits while the turn is held.
TEST(SingleInstance, WhateverStandsInPlaceOfTheTurnLockNeitherHoldsLaunchesBackNorEndsTheTurns) {
    struct Case {
        const char *name;
        std::function<bool(const QString &lock, const QString &folder)> plant;
    };
    const Case cases[] = {
        {"an empty folder", [](const QString &lock, const QString &) { return QDir().mkdir(lock); }},
        {"a folder with things in it",
         [](const QString &lock, const QString &) {
             QFile inside(QDir(lock).filePath(QStringLiteral("inside/file")));
             return QDir().mkpath(QDir(lock).filePath(QStringLiteral("inside"))) && inside.open(QIODevice::WriteOnly);
         }},
        {"a link to a folder",
         [](const QString &lock, const QString &folder) {
             const QString elsewhere = QDir(folder).filePath(QStringLiteral("elsewhere"));
             return QDir().mkdir(elsewhere) && QFile::link(elsewhere, lock);
         }},
        {"a link to nothing",
         [](const QString &lock, const QString &folder) {
             return QFile::link(QDir(folder).filePath(QStringLiteral("nothing")), lock);
         }},
        {"a file that holds no lock",
         [](const QString &lock, const QString &) {
             QFile file(lock);
             return file.open(QIODevice::WriteOnly) && file.write("not a lock\n") > 0;
         }},
        {"a socket",
         [](const QString &lock, const QString &) { return leaveDeadSocket(lock); }},
    };
    for (const auto &c : cases) {
        RuntimeFolder runtime;
        const QString turnLock = runtime.socketPath() + QStringLiteral(".lock");
        ASSERT_TRUE(c.plant(turnLock, runtime.dir.path())) << c.name;

        LogCapture log;
        SingleInstance first(runtime.socketPath(), runtime.lockPath(), 2s);
        EXPECT_EQ(first.claim(), SingleInstance::Claim::first) << c.name;
        // A launch held back waits out its patience and says that no turn came.
        EXPECT_FALSE(logMentions(log, QStringLiteral("Could not take turns"))) << c.name;
        EXPECT_FALSE(logMentions(log, QStringLiteral("not taking turns"))) << c.name;

        auto held = std::make_unique<ProcessLock>(turnLock);
        ASSERT_EQ(held->tryTake(), ProcessLock::Attempt::taken) << c.name << ": the turn lock is a lock again";
        QTimer::singleShot(150ms, [&] { held.reset(); });
        SingleInstance later(runtime.socketPath(), runtime.lockPath(), 2s);
        EXPECT_EQ(later.claim(), SingleInstance::Claim::reopenedRunning) << c.name;
        EXPECT_FALSE(held) << c.name << ": the later launch waited for its turn";
    }
}

TEST(ProcessLock, ExcludesOtherHoldersUntilLetGoAndCannotBeAFolder) {
    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath(QStringLiteral("new folder/lock"));
    ProcessLock first(path);
    EXPECT_EQ(first.tryTake(), ProcessLock::Attempt::taken) << "its folder is made";
    EXPECT_EQ(first.tryTake(), ProcessLock::Attempt::taken) << "taking it again keeps it";
    ProcessLock second(path);
    EXPECT_EQ(second.tryTake(), ProcessLock::Attempt::heldElsewhere) << "even within one process";
    first.release();
    EXPECT_EQ(second.tryTake(), ProcessLock::Attempt::taken);
    EXPECT_TRUE(QFileInfo(path).isFile());

    ProcessLock folder(dir.path());
    EXPECT_EQ(folder.tryTake(), ProcessLock::Attempt::unusable);
    EXPECT_FALSE(folder.isHeld());
    EXPECT_FALSE(folder.errorString().isEmpty());
}

// Folders of chosen path lengths for every place the socket may go.
struct Layout {
    // No runtime folder when absent.
    std::optional<qsizetype> runtime;
    qsizetype temporary, caches, home;
};

// The user's folders laid out below a folder of the test's own.
struct LaidOutFolders {
    QTemporaryDir root;
    std::optional<QString> runtime;
    Paths paths;

    explicit LaidOutFolders(const Layout &layout) {
        // Each below a folder of its own, so that equal lengths do not meet.
        const auto folderOf = [&](const char *tag, qsizetype length) {
            const QString base = QDir(root.path()).filePath(QString::fromLatin1(tag));
            const QString path = base + QLatin1Char('/') + QString(length - base.size() - 1, QLatin1Char('x'));
            QDir().mkpath(path);
            ::chmod(QFile::encodeName(path).constData(), 0700);
            return path;
        };
        if (layout.runtime) runtime = folderOf("r", *layout.runtime);
        paths = Paths{QDir(root.path()).filePath(QStringLiteral("data")), folderOf("c", layout.caches),
                      QDir(root.path()).filePath(QStringLiteral("config")), folderOf("t", layout.temporary),
                      folderOf("h", layout.home)};
    }
    QString lockPath() const { return QDir(paths.applicationSupport).filePath(QStringLiteral("records.lock")); }
};

const QString kSocketName = QStringLiteral("app.%1.instance").arg(getuid());
const QString kOwnFolder = QStringLiteral("app-%1").arg(getuid());
// What a socket's address holds: 108 bytes, of which the ending zero takes one and the toolkit
// keeps one for names outside the file system.
constexpr qsizetype kSocketAddressRoom = 106;

enum class Place { runtime, temporary, caches, home, none };

QString socketPathAt(const LaidOutFolders &folders, Place place) {
    switch (place) {
    case Place::runtime: return QDir(*folders.runtime).filePath(kSocketName);
    case Place::temporary: return QDir(folders.paths.temporary).filePath(kOwnFolder + QLatin1Char('/') + kSocketName);
    case Place::caches: return QDir(folders.paths.caches).filePath(kOwnFolder + QLatin1Char('/') + kSocketName);
    case Place::home:
        return QDir(folders.paths.home).filePath(QLatin1Char('.') + kOwnFolder + QLatin1Char('/') + kSocketName);
    case Place::none: return {};
    }
    return {};
}

// Lays the folders out, finds the socket's place, and checks that the guard holds there: the
// first launch listens, a later one reaches it; without a place the first runs alone and the
// later one does not start. Places passed by are named in the log and get no folder.
void expectTheGuardHolds(const Layout &layout, Place expected, const std::string &name) {
    const LaidOutFolders folders(layout);
    const ScopedVariable runtime("XDG_RUNTIME_DIR",
                                 folders.runtime ? std::optional(QFile::encodeName(*folders.runtime)) : std::nullopt);
    LogCapture log;
    const QString path = SingleInstance::socketPathFor(QStringLiteral("app"), folders.paths);
    EXPECT_EQ(path, socketPathAt(folders, expected)) << name;
    for (const Place passed : {Place::runtime, Place::temporary, Place::caches, Place::home}) {
        if (passed == expected) break;
        if (passed == Place::runtime && !folders.runtime) continue;
        const QString folder = QFileInfo(socketPathAt(folders, passed)).absolutePath();
        EXPECT_TRUE(logMentions(log, QStringLiteral("Not using %1 for the instance socket: its path would be").arg(folder)))
            << name << ": names " << folder.toStdString();
        if (passed != Place::runtime) {
            EXPECT_FALSE(QFileInfo::exists(folder)) << name << ": " << folder.toStdString();
        }
    }

    SingleInstance first(path, folders.lockPath(), 50ms);
    SingleInstance later(path, folders.lockPath(), 50ms);
    if (expected == Place::none) {
        EXPECT_EQ(first.claim(), SingleInstance::Claim::firstUnreachable) << name;
        EXPECT_EQ(later.claim(), SingleInstance::Claim::unanswered) << name;
        return;
    }
    EXPECT_EQ(first.claim(), SingleInstance::Claim::first) << name;
    EXPECT_TRUE(first.isListening()) << name;
    EXPECT_EQ(later.claim(), SingleInstance::Claim::reopenedRunning) << name;
}

TEST(SingleInstance, TheSocketGoesToTheFirstPlaceWhereItsPathFits) {
    // The runtime folder's length that makes the socket's path exactly the room there is.
    const qsizetype fullRuntime = kSocketAddressRoom - 1 - kSocketName.size();
    struct Case {
        const char *name;
        Layout layout;
        Place expected;
    };
    const Case cases[] = {
        {"a runtime folder of 120 characters", Layout{120, 40, 40, 40}, Place::temporary},
        {"no runtime folder and a temporary one of 120 characters", Layout{std::nullopt, 120, 40, 40}, Place::caches},
        {"runtime, temporary and cache folders of 120 characters", Layout{120, 120, 120, 40}, Place::home},
        {"every folder 120 characters long", Layout{120, 120, 120, 120}, Place::none},
        {"a socket path that just fits", Layout{fullRuntime, 40, 40, 40}, Place::runtime},
        {"one a byte longer", Layout{fullRuntime + 1, 40, 40, 40}, Place::temporary},
    };
    for (const auto &c : cases) expectTheGuardHolds(c.layout, c.expected, c.name);
}

// Folders of any length: the socket lands in the first place, in order, whose path fits.
TEST(SingleInstance, TheGuardHoldsWhateverTheLengthsOfTheUsersFolders) {
    const auto seed = std::random_device{}();
    std::mt19937 random(seed);
    std::uniform_int_distribution<qsizetype> length(40, 130);
    for (int round = 0; round < 30; ++round) {
        Layout layout{std::nullopt, length(random), length(random), length(random)};
        if (random() % 4 != 0) layout.runtime = length(random);
        // The ground truth: the order of the places and the room in an address.
        const qsizetype afterRuntime = 1 + kSocketName.size();
        const qsizetype afterPrivate = 1 + kOwnFolder.size() + 1 + kSocketName.size();
        const Place expected = layout.runtime && *layout.runtime + afterRuntime <= kSocketAddressRoom ? Place::runtime
                             : layout.temporary + afterPrivate <= kSocketAddressRoom                   ? Place::temporary
                             : layout.caches + afterPrivate <= kSocketAddressRoom                      ? Place::caches
                             : layout.home + 1 + afterPrivate <= kSocketAddressRoom                    ? Place::home
                                                                                                       : Place::none;
        expectTheGuardHolds(layout, expected,
                            "seed " + std::to_string(seed) + ", round " + std::to_string(round) + ": runtime "
                                + (layout.runtime ? std::to_string(*layout.runtime) : "none") + ", temporary "
                                + std::to_string(layout.temporary) + ", caches " + std::to_string(layout.caches)
                                + ", home " + std::to_string(layout.home));
    }
}

}  // namespace
