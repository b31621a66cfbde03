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
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <functional>

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

TEST(SingleInstance, LaterLaunchesAskTheFirstToReopenUntilItGoes) {
    RuntimeFolder runtime;
    {
        SingleInstance first(runtime.socketPath());
        QSignalSpy reopened(&first, &SingleInstance::reopenRequested);
        ASSERT_EQ(first.claim(), SingleInstance::Claim::first);
        EXPECT_TRUE(first.isListening());
        EXPECT_TRUE(QFileInfo(runtime.socketPath()).exists());
        EXPECT_FALSE(QFileInfo::exists(runtime.socketPath() + QStringLiteral(".lock"))) << "turns end with the claim";

        for (int launch = 1; launch <= 2; ++launch) {
            SingleInstance later(runtime.socketPath());
            EXPECT_EQ(later.claim(), SingleInstance::Claim::reopenedRunning) << launch;
            EXPECT_FALSE(later.isListening()) << launch;
            EXPECT_EQ(reopened.count(), launch) << "each launch asks once";
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
    QSignalSpy reopened(&next, &SingleInstance::reopenRequested);
    ASSERT_EQ(next.claim(), SingleInstance::Claim::first);
    EXPECT_TRUE(next.isListening());
    SingleInstance later(runtime.socketPath());
    EXPECT_EQ(later.claim(), SingleInstance::Claim::reopenedRunning) << "the new owner answers";
    EXPECT_EQ(reopened.count(), 1);
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

        SingleInstance launch(runtime.socketPath());
        EXPECT_EQ(launch.claim(50ms), SingleInstance::Claim::unanswered) << c.name;
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
        QSignalSpy reopened(&instance, &SingleInstance::reopenRequested);

        QLocalSocket stranger;
        stranger.connectToServer(runtime.socketPath());
        ASSERT_TRUE(stranger.waitForConnected(5000)) << name;
        QSignalSpy hungUp(&stranger, &QLocalSocket::disconnected);
        stranger.write(request);
        ASSERT_TRUE(hungUp.wait(5000)) << name << ": the instance hangs up";
        EXPECT_EQ(reopened.count(), 0) << name;
        EXPECT_EQ(stranger.readAll(), QByteArray()) << name << ": and answers nothing";
        EXPECT_TRUE(instance.isListening()) << name;
    }
}

// An environment variable set for one test and put back after it.
class ScopedVariable {
public:
    ScopedVariable(const char *name, const QByteArray &value)
        : name_(name), old_(qgetenv(name)), had_(qEnvironmentVariableIsSet(name)) {
        qputenv(name, value);
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

// Wherever the socket lands, in the runtime folder or, when that cannot be had, in a private
// folder of the temporary one, it is named for the user and only the user can reach it.
TEST(SingleInstance, TheSocketIsTheUsersAloneWithOrWithoutARuntimeFolder) {
    struct Case {
        const char *name;
        const char *runtime;  // below the test's folder
        const char *landsIn;  // likewise
    };
    const Case cases[] = {
        {"the runtime folder", "runtime", "runtime"},
        {"a runtime folder that cannot be made", "missing/runtime", "tmp/"},
    };
    for (const auto &c : cases) {
        QTemporaryDir root;
        const QDir dir(root.path());
        ASSERT_TRUE(dir.mkdir(QStringLiteral("runtime")) && dir.mkdir(QStringLiteral("tmp"))) << c.name;
        QFile::setPermissions(dir.filePath(QStringLiteral("runtime")),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        const auto below = [&](const char *name) { return QFile::encodeName(dir.filePath(QString::fromLatin1(name))); };
        const ScopedVariable runtime("XDG_RUNTIME_DIR", below(c.runtime));
        const ScopedVariable temporary("TMPDIR", below("tmp"));

        const QString path = SingleInstance::socketPathFor(QStringLiteral("app"));
        EXPECT_TRUE(QFile::encodeName(path).startsWith(below(c.landsIn))) << c.name << ": " << path.toStdString();
        EXPECT_EQ(QFileInfo(path).fileName(), QStringLiteral("app.%1.instance").arg(getuid())) << c.name;

        SingleInstance instance(path);
        ASSERT_EQ(instance.claim(50ms), SingleInstance::Claim::first) << c.name;
        const QFileInfo socket(path);
        EXPECT_EQ(socket.ownerId(), getuid()) << c.name;
        EXPECT_EQ(socket.permissions() & (QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup
                                          | QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther),
                  QFileDevice::Permissions()) << c.name << ": no one else may connect";
    }
}

TEST(SingleInstance, WithoutAPlaceForTheSocketTheLaunchRunsUnguarded) {
    RuntimeFolder runtime;
    const QString missingFolder = QDir(runtime.dir.path()).filePath(QStringLiteral("missing/app.instance"));
    SingleInstance launch(missingFolder);
    EXPECT_EQ(launch.claim(50ms), SingleInstance::Claim::unguarded);
    EXPECT_FALSE(launch.isListening());
}

}  // namespace
