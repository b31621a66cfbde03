#include "OndrakeProcess.h"

#include <QDir>
#include <QDeadlineTimer>
#include <QFile>
#include <QSocketNotifier>

#include <cmath>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ondrake::test {

namespace {

// Qt stamps "%{time boot}" with the monotonic clock's milliseconds in 32 bits.
constexpr double kStampWrap = 4294967.296;

double now() { return std::fmod(double(QDeadlineTimer::current().deadline()) / 1000.0, kStampWrap); }

double since(double earlier, double later) { return std::fmod(later - earlier + kStampWrap, kStampWrap); }

}  // namespace

OndrakeProcess::OndrakeProcess(const XServer &server, const QString &home, const QProcessEnvironment &environment) {
    auto env = server.clientEnvironment(home);
    env.insert(environment);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("com.ondrake.*.debug=true"));
    // The same clock as this side's, so a line's time can be set against the end of the process.
    env.insert(QStringLiteral("QT_MESSAGE_PATTERN"), QStringLiteral("%{time boot} %{category}: %{message}"));
    env.insert(QStringLiteral("ONDRAKE_TEST_REAL_HOME"), home);
    process_.setProcessEnvironment(env);
    const QByteArray pipe = QFile::encodeName(QDir(pipeFolder_.path()).filePath(QStringLiteral("output")));
    if (::mkfifo(pipe.constData(), 0600) == 0) {
        output_ = ::open(pipe.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        // Room for every line written while this side is busy elsewhere.
        ::fcntl(output_, F_SETPIPE_SZ, 1 << 20);
        keepOpen_ = ::open(pipe.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        outputReady_ = std::make_unique<QSocketNotifier>(output_, QSocketNotifier::Read);
        QObject::connect(outputReady_.get(), &QSocketNotifier::activated, outputReady_.get(), [this] { readOutput(); });
    }
    process_.setStandardOutputFile(QFile::decodeName(pipe));
    process_.setStandardErrorFile(QFile::decodeName(pipe));
    endWithThisProgram(process_);
    process_.start(QStringLiteral(ONDRAKE_APP_PROGRAM), QStringList{});
    process_.waitForStarted(10000);
}

OndrakeProcess::~OndrakeProcess() {
    stopReadingOutput();
    if (process_.state() == QProcess::NotRunning) return;
    process_.kill();
    process_.waitForFinished(5000);
}

void OndrakeProcess::readOutput() {
    char buffer[65536];
    for (qsizetype got; output_ >= 0 && (got = ::read(output_, buffer, sizeof buffer)) > 0;) pending_.append(buffer, got);
    qsizetype end;
    while ((end = pending_.indexOf('\n')) >= 0) {
        const QString text = QString::fromUtf8(pending_.left(end)).trimmed();
        pending_.remove(0, end + 1);
        bool ok = false;
        const double stamp = text.section(QLatin1Char(' '), 0, 0).toDouble(&ok);
        lines_.push_back({ok ? stamp : now(), ok ? text.section(QLatin1Char(' '), 1) : text});
    }
}

const std::vector<OndrakeProcess::Line> &OndrakeProcess::lines() {
    readOutput();
    return lines_;
}

std::optional<OndrakeProcess::Line> OndrakeProcess::waitForLine(const QString &text, Milliseconds timeout) {
    std::optional<Line> found;
    waitUntil(
        [&] {
            for (const auto &line : lines())
                if (line.text.contains(text)) {
                    found = line;
                    return true;
                }
            return false;
        },
        timeout);
    return found;
}

int OndrakeProcess::count(const QString &text) {
    int n = 0;
    for (const auto &line : lines())
        if (line.text.contains(text)) ++n;
    return n;
}

double OndrakeProcess::cpuSeconds() const {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(process_.processId()));
    if (!stat.open(QIODevice::ReadOnly)) return -1;
    // The name in parentheses may hold spaces; the fields after it are plain.
    const QByteArray content = stat.readAll();
    const auto fields = content.mid(content.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13) return -1;
    const double ticks = double(fields[11].toLongLong() + fields[12].toLongLong());  // utime, stime
    return ticks / double(sysconf(_SC_CLK_TCK));
}

std::optional<OndrakeProcess::Exit> OndrakeProcess::terminate(Milliseconds timeout) { return endWith(SIGTERM, timeout); }

std::optional<OndrakeProcess::Exit> OndrakeProcess::endWith(int signalNumber, Milliseconds timeout) {
    if (process_.state() != QProcess::Running) return std::nullopt;
    ::kill(pid_t(process_.processId()), signalNumber);
    return waitForEnd(timeout);
}

void OndrakeProcess::stopReadingOutput() {
    if (output_ < 0) return;
    readOutput();
    outputReady_.reset();
    ::close(output_);
    ::close(keepOpen_);
    output_ = keepOpen_ = -1;
}

std::optional<OndrakeProcess::Exit> OndrakeProcess::waitForEnd(Milliseconds timeout) {
    double endedAt = 0;
    const bool ended = waitUntil(
        [&] {
            if (process_.state() != QProcess::NotRunning) return false;
            endedAt = now();
            return true;
        },
        timeout);
    if (!ended) return std::nullopt;
    Exit exit;
    exit.code = process_.exitCode();
    exit.normal = process_.exitStatus() == QProcess::NormalExit;
    readOutput();
    for (const auto &line : lines_)
        if (line.text.contains(QStringLiteral("Ondrake stopped"))) exit.afterFinalSave = since(line.time, endedAt);
    return exit;
}

QString OndrakeProcess::preferencesFile(const QString &home) {
    return QDir(home).filePath(QStringLiteral(".config/com.ondrake.Ondrake.json"));
}

QString OndrakeProcess::recordFile(const QString &home) {
    return QDir(home).filePath(QStringLiteral(".local/share/com.ondrake.Ondrake/TabRecords.json"));
}

QJsonDocument OndrakeProcess::readJson(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QJsonDocument::fromJson(file.readAll());
}

}  // namespace ondrake::test
