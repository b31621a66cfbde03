#include "Qt/SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <optional>

using namespace ondrake;
using namespace std::chrono_literals;

namespace {

// A runtime folder of the test's own.
struct RuntimeFolder {
    QTemporaryDir dir;
    QString socketPath() const { return QDir(dir.path()).filePath(QStringLiteral("app.instance")); }
};

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

TEST(SingleInstance, LaterLaunchesAskTheFirstToReopenUntilItGoes) {
    RuntimeFolder runtime;
    {
        SingleInstance first(runtime.socketPath());
        int reopened = 0;
        first.setReopenHandler([&] { ++reopened; });
        ASSERT_EQ(first.claim(), SingleInstance::Claim::first);
        EXPECT_TRUE(first.isListening());
        EXPECT_TRUE(QFileInfo(runtime.socketPath()).exists());
        EXPECT_FALSE(QFileInfo::exists(runtime.socketPath() + QStringLiteral(".lock"))) << "turns end with the claim";

        for (int launch = 1; launch <= 2; ++launch) {
            SingleInstance later(runtime.socketPath());
            EXPECT_EQ(later.claim(), SingleInstance::Claim::reopenedRunning) << launch;
            EXPECT_FALSE(later.isListening()) << launch;
            EXPECT_EQ(reopened, launch) << "each launch asks once";
        }
        EXPECT_TRUE(first.isListening()) << "the later ones leave the socket to the first";
    }
    EXPECT_FALSE(QFileInfo::exists(runtime.socketPath())) << "the socket goes with the instance";
    SingleInstance next(runtime.socketPath());
    EXPECT_EQ(next.claim(), SingleInstance::Claim::first);
}

TEST(SingleInstance, ASocketLeftByACrashedInstanceIsTakenOver) {
    RuntimeFolder runtime;
    ASSERT_TRUE(leaveDeadSocket(runtime.socketPath()));
    ASSERT_TRUE(QFileInfo(runtime.socketPath()).exists());

    SingleInstance next(runtime.socketPath());
    int reopened = 0;
    next.setReopenHandler([&] { ++reopened; });
    ASSERT_EQ(next.claim(), SingleInstance::Claim::first);
    EXPECT_TRUE(next.isListening());
    SingleInstance later(runtime.socketPath());
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

        SingleInstance launch(runtime.socketPath(), 50ms);
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
        SingleInstance instance(runtime.socketPath());
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
        if (c.landsIn.isEmpty()) {
            EXPECT_EQ(path, QString()) << c.name;
            SingleInstance instance(path);
            EXPECT_EQ(instance.claim(), SingleInstance::Claim::unguarded) << c.name;
            continue;
        }
        EXPECT_EQ(path, QDir(at(c.landsIn)).filePath(QStringLiteral("app.%1.instance").arg(getuid()))) << c.name;
        struct stat folder {};
        ASSERT_EQ(::lstat(QFile::encodeName(at(c.landsIn)).constData(), &folder), 0) << c.name;
        EXPECT_EQ(folder.st_uid, getuid()) << c.name;
        EXPECT_EQ(folder.st_mode & 0777, 0700u) << c.name << ": no one else may enter";

        SingleInstance instance(path);
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
         Claim::unguarded},
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
        SingleInstance launch(runtime.socketPath(), 200ms);
        EXPECT_EQ(launch.claim(), c.expected) << c.name;
        EXPECT_TRUE(logMentions(log, QStringLiteral("Not trusting %1, owned by user %2").arg(planted).arg(kNobody))) << c.name;
        EXPECT_FALSE(logMentions(log, QStringLiteral("Could not take turns"))) << c.name;
        EXPECT_FALSE(impostor.wasAsked()) << c.name;
        if (c.expected == Claim::first) {
            EXPECT_EQ(QFileInfo(runtime.socketPath()).ownerId(), getuid()) << c.name << ": the launch listens in its place";
        }
    }
}

TEST(SingleInstance, WithoutAPlaceForTheSocketTheLaunchRunsUnguarded) {
    RuntimeFolder runtime;
    const QString missingFolder = QDir(runtime.dir.path()).filePath(QStringLiteral("missing/app.instance"));
    for (const QString &path : {missingFolder, QString()}) {
        SingleInstance launch(path, 50ms);
        EXPECT_EQ(launch.claim(), SingleInstance::Claim::unguarded) << path.toStdString();
        EXPECT_FALSE(launch.isListening());
    }
}

}  // namespace
