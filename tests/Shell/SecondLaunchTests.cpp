#include "AppWorld.h"

#include "DemoSession.h"
#include "ManualScheduler.h"
#include "NativeMessaging.h"
#include "NoNetwork.h"
#include "Paths.h"
#include "Qt/SingleInstance.h"
#include "Store/FaviconLoader.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <thread>

namespace ondrake {
namespace {

TEST(SecondLaunch, BringsBackASidebarTheUserHid) {
    test::AppWorld world;
    world.openBrowser({test::page("Alpha")});
    world.workspace.launch(test::AppWorld::kEditor);
    world.activate(test::AppWorld::kEditor);
    auto &app = world.launch();
    QTemporaryDir runtime;
    const QString socket = QDir(runtime.path()).filePath(QStringLiteral("app.instance"));
    const QString lock = QDir(runtime.path()).filePath(QStringLiteral("records.lock"));
    SingleInstance running(socket, lock);
    app.answerLaterLaunches(running);
    ASSERT_EQ(running.claim(), SingleInstance::Claim::first);
    ASSERT_TRUE(world.statusItem.choose({"Hide Sidebar"}));
    world.settle();
    ASSERT_FALSE(world.panel().isVisible());

    LogCapture log;
    SingleInstance later(socket, lock);
    EXPECT_EQ(later.claim(), SingleInstance::Claim::reopenedRunning);
    world.settle();
    EXPECT_TRUE(world.panel().isVisible());
    EXPECT_TRUE(world.safari.isActive()) << "with the browser brought forward";
    EXPECT_TRUE(log.contains(QStringLiteral("Opened again by a later launch; the sidebar is shown")));
}

// The built application, started as separate processes over folders of the test's own.

// Long enough for a start under the sanitizers; only a failing test waits this long.
constexpr int kPatienceMs = 60000;

// A user of their own for the processes: home, data, preferences, caches, temporary and runtime
// folders, no display and no session bus.
struct UserFolders {
    QTemporaryDir root;
    // Whether the session names a runtime folder.
    bool hasRuntimeFolder = true;
    // Below the root.
    QString runtimeName = QStringLiteral("runtime");
    QString temporaryName = QStringLiteral("tmp");

    QString folder(const QString &name) const {
        const QString path = QDir(root.path()).filePath(name);
        QDir().mkpath(path);
        return path;
    }
    QString folder(const char *name) const { return folder(QString::fromLatin1(name)); }
    // A name below the root whose whole path is `length` characters long.
    QString nameForPathOf(qsizetype length) const {
        return QString(length - root.path().size() - 1, QLatin1Char('x'));
    }
    QString runtime() const {
        const QString path = folder(runtimeName);
        // The desktop's runtime folder is the user's alone; Qt insists on it.
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        return path;
    }
    Paths paths() const {
        return {folder("data"), folder("cache"), folder("config"), folder(temporaryName), folder("home")};
    }

    QProcessEnvironment environment() const {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_MESSAGE_PATTERN"})
            environment.remove(QString::fromLatin1(name));
        const Paths p = paths();
        const std::pair<const char *, QString> values[] = {
            {"QT_QPA_PLATFORM", QStringLiteral("offscreen")},
            {"HOME", p.home},
            {kTestRealHomeVariable, p.home},
            {"XDG_DATA_HOME", p.applicationSupport},
            {"XDG_CONFIG_HOME", p.preferences},
            {"XDG_CACHE_HOME", p.caches},
            {"TMPDIR", p.temporary},
            {"DBUS_SESSION_BUS_ADDRESS", test::kNoBus},
            // The test reads the info lines, and the icon loader's word of a fetch that failed.
            {"QT_LOGGING_RULES", QStringLiteral("*.debug=false;com.ondrake.Ondrake.Favicon.debug=true")},
        };
        for (const auto &[name, value] : values) environment.insert(QString::fromLatin1(name), value);
        if (hasRuntimeFolder) environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime());
        else environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        return environment;
    }

    QStringList socketsInRuntimeFolder() const {
        return QDir(runtime()).entryList({QStringLiteral("*.instance")}, QDir::System | QDir::Files);
    }
    QString recordFile() const {
        return QDir(paths().applicationSupport).filePath(QStringLiteral("com.ondrake.Ondrake/TabRecords.json"));
    }

    // Every site of the demo session has its icon cached already, so the application fetches none
    // from the network.
    void cacheDemoSessionIcons() const {
        ManualScheduler scheduler;
        FaviconLoader icons(paths(), std::make_shared<test::NoNetwork>(), scheduler);
        QImage icon(FaviconLoader::iconSide, FaviconLoader::iconSide, QImage::Format_ARGB32);
        icon.fill(Qt::darkCyan);
        auto tabs = std::vector{DemoSession::linkedTab()};
        for (const auto &w : DemoSession::windows()) tabs.insert(tabs.end(), w.tabs.begin(), w.tabs.end());
        for (const auto &tab : tabs)
            if (const auto host = FaviconLoader::faviconHost(QUrl(tab.url))) icons.store(icon, *host, true);
    }
};

// One start of the application program, its output read as it comes. Killed if still running
// when the test ends.
class Launch {
public:
    explicit Launch(const UserFolders &user) {
        process_.setProcessEnvironment(user.environment());
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.start(QStringLiteral(ONDRAKE_APP_PROGRAM), {});
    }
    ~Launch() {
        if (process_.state() == QProcess::NotRunning) return;
        process_.kill();
        process_.waitForFinished(kPatienceMs);
    }
    Launch(const Launch &) = delete;
    Launch &operator=(const Launch &) = delete;

    const QString &output() {
        output_ += QString::fromUtf8(process_.readAll());
        return output_;
    }
    // Until the output holds the line, the program ends, or patience runs out.
    bool waitForLine(const QString &line) {
        const QDeadlineTimer deadline(kPatienceMs);
        while (!output().contains(line)) {
            if (process_.state() == QProcess::NotRunning || deadline.hasExpired()) return false;
            process_.waitForReadyRead(int(deadline.remainingTime()));
        }
        return true;
    }
    // Ended of its own accord (or after `terminate`), with this exit code.
    std::optional<int> waitForExit() {
        const bool ended = hasEnded() || process_.waitForFinished(kPatienceMs);
        output();
        if (!ended || process_.exitStatus() != QProcess::NormalExit) return std::nullopt;
        return process_.exitCode();
    }
    void terminate() { process_.terminate(); }
    bool hasEnded() const { return process_.state() == QProcess::NotRunning; }
    const QProcess &process() const { return process_; }
    // As a crash would end it: no clean-up of any kind.
    void kill() {
        process_.kill();
        process_.waitForFinished(kPatienceMs);
    }

private:
    QProcess process_;
    QString output_;
};

const QString kStarted = QStringLiteral("Ondrake started");
const QString kAskedRunning = QStringLiteral("Ondrake is already running; asked it to show the sidebar");
const QString kReopened = QStringLiteral("Opened again by a later launch; the sidebar is shown");

TEST(SecondLaunch, AsksTheRunningApplicationToShowItsSidebarAndLeavesItTheRecordFile) {
    UserFolders user;
    ASSERT_TRUE(user.root.isValid());
    user.cacheDemoSessionIcons();

    Launch first(user);
    ASSERT_TRUE(first.waitForLine(kStarted)) << first.output().toStdString();
    EXPECT_EQ(user.socketsInRuntimeFolder().size(), 1) << "the first listens in the user's runtime folder";

    Launch second(user);
    EXPECT_EQ(second.waitForExit(), 0) << second.output().toStdString();
    EXPECT_TRUE(second.output().contains(kAskedRunning)) << second.output().toStdString();
    // It ended before building anything: no store, so no record file of its own to save.
    EXPECT_FALSE(second.output().contains(kStarted));
    EXPECT_FALSE(second.output().contains(QStringLiteral("TabStore")));

    EXPECT_TRUE(first.waitForLine(kReopened)) << first.output().toStdString();

    first.terminate();
    EXPECT_EQ(first.waitForExit(), 0) << first.output().toStdString();
    EXPECT_TRUE(QFile::exists(user.recordFile())) << "the one instance saved on its way out";
    EXPECT_TRUE(user.socketsInRuntimeFolder().isEmpty()) << "and took its socket with it";
    EXPECT_FALSE(first.output().contains(QStringLiteral("No favicon"))) << "no icon was fetched";
}

TEST(SecondLaunch, ALaunchAfterACrashTakesOverTheSocketItLeft) {
    UserFolders user;
    ASSERT_TRUE(user.root.isValid());
    user.cacheDemoSessionIcons();

    Launch crashed(user);
    ASSERT_TRUE(crashed.waitForLine(kStarted)) << crashed.output().toStdString();
    crashed.kill();
    ASSERT_EQ(user.socketsInRuntimeFolder().size(), 1) << "a crash leaves the socket behind";

    Launch next(user);
    ASSERT_TRUE(next.waitForLine(kStarted)) << next.output().toStdString();
    EXPECT_TRUE(next.output().contains(QStringLiteral("Taking over the socket of an instance that is gone")));

    Launch later(user);
    EXPECT_EQ(later.waitForExit(), 0) << later.output().toStdString();
    EXPECT_TRUE(later.output().contains(kAskedRunning));
    EXPECT_TRUE(next.waitForLine(kReopened)) << next.output().toStdString();

    next.terminate();
    EXPECT_EQ(next.waitForExit(), 0) << next.output().toStdString();
}

// The first of two launches to end; none when neither ends in time.
Launch *firstToEnd(Launch &a, Launch &b) {
    QEventLoop waiting;
    QTimer::singleShot(kPatienceMs, &waiting, &QEventLoop::quit);
    for (Launch *launch : {&a, &b})
        QObject::connect(&launch->process(), &QProcess::finished, &waiting, &QEventLoop::quit);
    if (!a.hasEnded() && !b.hasEnded()) waiting.exec();
    return a.hasEnded() ? &a : b.hasEnded() ? &b : nullptr;
}

// However the user's folders are laid out, of two launches at once one runs, where the socket's
// path fits, and the other asks it.
TEST(SecondLaunch, OfTwoLaunchesAtTheSameMomentOneRunsAndTheOtherAsksIt) {
    // Beyond what a socket's address may hold, whatever the name below it.
    constexpr qsizetype kLongPath = 120;
    struct Case {
        const char *name;
        bool hasRuntimeFolder;
        bool longRuntimeFolder;
        bool longTemporaryFolder;
        // Where the socket is found, given the folders.
        std::function<QString(const UserFolders &)> socketFolder;
    };
    const QString ownFolder = QStringLiteral("com.ondrake.Ondrake-%1").arg(getuid());
    const Case cases[] = {
        {"with a runtime folder", true, false, false, [](const UserFolders &user) { return user.runtime(); }},
        {"without one", false, false, false,
         [&](const UserFolders &user) { return QDir(user.paths().temporary).filePath(ownFolder); }},
        {"with a runtime folder too long for a socket", true, true, false,
         [&](const UserFolders &user) { return QDir(user.paths().temporary).filePath(ownFolder); }},
        {"without one, and a temporary folder too long for a socket", false, false, true,
         [&](const UserFolders &user) { return QDir(user.paths().caches).filePath(ownFolder); }},
    };
    for (const auto &c : cases) {
        UserFolders user;
        ASSERT_TRUE(user.root.isValid());
        user.hasRuntimeFolder = c.hasRuntimeFolder;
        if (c.longRuntimeFolder) user.runtimeName = user.nameForPathOf(kLongPath);
        if (c.longTemporaryFolder) user.temporaryName = user.nameForPathOf(kLongPath);
        ASSERT_EQ(c.longRuntimeFolder ? user.runtime().size() : kLongPath, kLongPath) << c.name;
        ASSERT_EQ(c.longTemporaryFolder ? user.paths().temporary.size() : kLongPath, kLongPath) << c.name;
        user.cacheDemoSessionIcons();

        Launch a(user);
        Launch b(user);
        Launch *asker = firstToEnd(a, b);
        ASSERT_NE(asker, nullptr) << c.name << ": one of them ends";
        Launch &runner = asker == &a ? b : a;
        EXPECT_EQ(asker->waitForExit(), 0) << c.name << ": " << asker->output().toStdString();
        EXPECT_TRUE(asker->output().contains(kAskedRunning)) << c.name << ": " << asker->output().toStdString();
        EXPECT_FALSE(asker->output().contains(kStarted)) << c.name;

        EXPECT_TRUE(runner.waitForLine(kReopened)) << c.name << ": " << runner.output().toStdString();
        EXPECT_TRUE(runner.output().contains(kStarted)) << c.name;
        const QString socket = QDir(c.socketFolder(user)).filePath(QStringLiteral("com.ondrake.Ondrake.%1.instance").arg(getuid()));
        EXPECT_TRUE(QFileInfo(socket).exists()) << c.name << ": " << runner.output().toStdString();
        runner.terminate();
        EXPECT_EQ(runner.waitForExit(), 0) << c.name << ": " << runner.output().toStdString();
    }
}

// Whether the process listening at `socket` answers a reopen as the instance does.
bool answersAsTheInstance(const QString &socket) {
    QLocalSocket connection;
    connection.connectToServer(socket);
    if (!connection.waitForConnected(kPatienceMs)) return false;
    connection.write("reopen\n");
    const QDeadlineTimer deadline(kPatienceMs);
    while (!connection.canReadLine() && connection.state() == QLocalSocket::ConnectedState && !deadline.hasExpired())
        connection.waitForReadyRead(int(deadline.remainingTime()));
    return connection.canReadLine() && connection.readLine() == "ok\n";
}

// A launch at any moment after a running instance is told to quit: afterwards exactly one instance
// runs and answers, each time. The quit goes as fast as it does, and then once more held up for a
// while, as a slow disk would hold up its final save, so that the earlier launches arrive while it
// goes on and the later ones after it. Each round's survivor is the one the next round quits.
TEST(SecondLaunch, ALaunchDuringAQuitLeavesExactlyOneInstance) {
    using Clock = std::chrono::steady_clock;
    constexpr int kTimings = 20;
    constexpr std::chrono::milliseconds kLatest{200};
    constexpr std::chrono::milliseconds kQuitHeldUpUntil{120};
    const QString quitting = QStringLiteral("Received signal %1; quitting").arg(SIGTERM);
    UserFolders user;
    ASSERT_TRUE(user.root.isValid());
    user.cacheDemoSessionIcons();

    auto running = std::make_unique<Launch>(user);
    ASSERT_TRUE(running->waitForLine(kStarted)) << running->output().toStdString();
    for (const bool heldUp : {false, true}) {
        const char *quit = heldUp ? "a quit held up" : "a quit";
        int exactlyOne = 0;
        for (int timing = 0; timing < kTimings; ++timing) {
            const auto delay = kLatest * timing / (kTimings - 1);
            const auto signalled = Clock::now();
            running->terminate();
            // The moments are what is tried here.
            std::unique_ptr<Launch> launch;
            if (heldUp) {
                ASSERT_TRUE(running->waitForLine(quitting)) << running->output().toStdString();
                const auto pid = pid_t(running->process().processId());
                ::kill(pid, SIGSTOP);
                if (delay < kQuitHeldUpUntil) {
                    std::this_thread::sleep_until(signalled + delay);
                    launch = std::make_unique<Launch>(user);
                }
                std::this_thread::sleep_until(signalled + kQuitHeldUpUntil);
                ::kill(pid, SIGCONT);
            }
            if (!launch) {
                std::this_thread::sleep_until(signalled + delay);
                launch = std::make_unique<Launch>(user);
            }

            const auto quitStatus = running->waitForExit();
            const bool started = launch->waitForLine(kStarted);
            const QStringList sockets = user.socketsInRuntimeFolder();
            const bool one = quitStatus == 0 && started && !launch->hasEnded() && sockets.size() == 1
                          && answersAsTheInstance(QDir(user.runtime()).filePath(sockets.front()));
            exactlyOne += one ? 1 : 0;
            EXPECT_TRUE(one) << quit << ", launched " << delay.count() << " ms after the signal; the quitting one ended with "
                             << (quitStatus ? *quitStatus : -1) << ", the launch "
                             << (started ? "started" : "did not start") << ", " << sockets.size() << " sockets\n"
                             << launch->output().toStdString();
            if (!started || launch->hasEnded()) {
                launch = std::make_unique<Launch>(user);
                ASSERT_TRUE(launch->waitForLine(kStarted)) << launch->output().toStdString();
            }
            running = std::move(launch);
        }
        std::printf("Launches timed across %s: %d; exactly one instance afterwards: %d\n", quit, kTimings, exactlyOne);
        EXPECT_EQ(exactlyOne, kTimings) << quit;
    }
    running->terminate();
    EXPECT_EQ(running->waitForExit(), 0) << running->output().toStdString();
}

// Another account's listener that answers "ok" to whoever asks, as if it were the running
// instance. Counts who came.
class Impostor {
public:
    static constexpr uid_t kNobody = 65534;

    explicit Impostor(const QString &path) : fd_(::socket(AF_UNIX, SOCK_STREAM, 0)) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray encoded = QFile::encodeName(path);
        std::memcpy(address.sun_path, encoded.constData(), std::min(sizeof address.sun_path - 1, std::size_t(encoded.size())));
        listening_ = fd_ >= 0 && ::bind(fd_, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0
                  && ::listen(fd_, 8) == 0 && ::lchown(encoded.constData(), kNobody, kNobody) == 0;
        if (listening_) answering_ = std::thread([this] { answer(); });
    }
    ~Impostor() {
        // Wakes the accept below.
        ::shutdown(fd_, SHUT_RDWR);
        if (answering_.joinable()) answering_.join();
        if (fd_ >= 0) ::close(fd_);
    }
    Impostor(const Impostor &) = delete;
    Impostor &operator=(const Impostor &) = delete;

    bool isListening() const { return listening_; }
    int visitors() const { return visitors_; }

private:
    void answer() {
        for (int peer; (peer = ::accept(fd_, nullptr, nullptr)) >= 0; ::close(peer)) {
            ++visitors_;
            [[maybe_unused]] const auto written = ::write(peer, "ok\n", 3);
        }
    }

    const int fd_;
    bool listening_ = false;
    std::atomic<int> visitors_{0};
    std::thread answering_;
};

bool handToNobody(const QString &path) {
    return ::lchown(QFile::encodeName(path).constData(), Impostor::kNobody, Impostor::kNobody) == 0;
}

// Without a runtime folder, another account has taken every place in the shared temporary folder
// where the socket could be looked for, and listens there. The user's launches pass them all by.
TEST(SecondLaunch, AnotherAccountInTheTemporaryFolderNeitherAnswersForTheApplicationNorStopsIt) {
    if (::geteuid() != 0) GTEST_SKIP() << "handing files to another account needs root";
    UserFolders user;
    ASSERT_TRUE(user.root.isValid());
    user.hasRuntimeFolder = false;
    user.cacheDemoSessionIcons();
    const QDir temporary(user.paths().temporary);
    const QString socketName = QStringLiteral("com.ondrake.Ondrake.%1.instance").arg(getuid());
    const passwd *account = ::getpwuid(::geteuid());
    ASSERT_NE(account, nullptr);
    // The runtime folder the toolkit would make for the user, the name beside it, and the user's
    // own private folder, all made first by the stranger.
    const QString strangersRuntime = temporary.filePath(QStringLiteral("runtime-") + QString::fromLocal8Bit(account->pw_name));
    const QString strangersPrivate = temporary.filePath(QStringLiteral("com.ondrake.Ondrake-%1").arg(getuid()));
    for (const QString &folder : {strangersRuntime, strangersPrivate}) {
        ASSERT_TRUE(temporary.mkdir(folder));
        ASSERT_TRUE(handToNobody(folder));
    }
    std::vector<std::unique_ptr<Impostor>> impostors;
    for (const QString &folder : {strangersRuntime, strangersPrivate, temporary.path()}) {
        impostors.push_back(std::make_unique<Impostor>(QDir(folder).filePath(socketName)));
        ASSERT_TRUE(impostors.back()->isListening());
    }

    Launch first(user);
    ASSERT_TRUE(first.waitForLine(kStarted)) << first.output().toStdString();
    EXPECT_TRUE(first.output().contains(
        QStringLiteral("Not using %1 for the instance socket: owned by user 65534").arg(strangersPrivate)))
        << first.output().toStdString();

    Launch second(user);
    EXPECT_EQ(second.waitForExit(), 0) << second.output().toStdString();
    EXPECT_TRUE(second.output().contains(kAskedRunning)) << second.output().toStdString();
    EXPECT_TRUE(first.waitForLine(kReopened)) << first.output().toStdString();
    for (const auto &impostor : impostors) EXPECT_EQ(impostor->visitors(), 0);

    first.terminate();
    EXPECT_EQ(first.waitForExit(), 0) << first.output().toStdString();
}

}  // namespace
}  // namespace ondrake
