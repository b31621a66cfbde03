#pragma once

#include "XSession.h"

#include <QJsonDocument>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <memory>
#include <optional>
#include <vector>

class QSocketNotifier;

namespace ondrake::test {

// The application started as a person starts it, on a server of the test's own, with a home of
// its own. Every log line is kept with the time it was written. Its output goes into a pipe that
// this side reads, as a terminal or `| tee` would.
class OndrakeProcess {
public:
    struct Line {
        double time = 0;  // seconds on the monotonic clock, as Qt stamps log lines
        QString text;
    };
    struct Exit {
        int code = -1;
        bool normal = false;
        // From the log line written after the final save to the end of the process.
        double afterFinalSave = -1;
    };

    // `home` holds the application's folders; the preferences there are what it starts with.
    // `environment`: added to the application's, as a person's settings (a scale factor).
    OndrakeProcess(const XServer &server, const QString &home, const QProcessEnvironment &environment = {});
    ~OndrakeProcess();
    OndrakeProcess(const OndrakeProcess &) = delete;
    OndrakeProcess &operator=(const OndrakeProcess &) = delete;

    bool isRunning() const { return process_.state() == QProcess::Running; }
    qint64 processID() const { return process_.processId(); }
    // The first line holding `text`, waiting for it at most `timeout`.
    std::optional<Line> waitForLine(const QString &text, Milliseconds timeout);
    int count(const QString &text);
    const std::vector<Line> &lines();
    // User and system time the process has used so far, in seconds.
    double cpuSeconds() const;
    // Sends SIGTERM and waits for the end.
    std::optional<Exit> terminate(Milliseconds timeout);
    // Sends the signal and waits for the end.
    std::optional<Exit> endWith(int signalNumber, Milliseconds timeout);
    // Waits for an end that something else brings about: a quit from the menu.
    std::optional<Exit> waitForEnd(Milliseconds timeout);
    // Reads nothing more the process writes, as when the terminal that showed its log has gone:
    // its writes fail from now on.
    void stopReadingOutput();

    static QString preferencesFile(const QString &home);
    static QString recordFile(const QString &home);
    static QJsonDocument readJson(const QString &path);

private:
    void readOutput();

    QTemporaryDir pipeFolder_;
    // The pipe's reading end, and a writing end of this side's that keeps it from ever reading
    // as ended before the process has opened it.
    int output_ = -1;
    int keepOpen_ = -1;
    std::unique_ptr<QSocketNotifier> outputReady_;
    QProcess process_;
    QByteArray pending_;
    std::vector<Line> lines_;
};

}  // namespace ondrake::test
