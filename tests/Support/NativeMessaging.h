#pragma once

#include "Paths.h"

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <cstring>
#include <optional>

namespace ondrake::test {

// One native message as the browser frames it: the length in the machine's byte order, then the bytes.
inline QByteArray framed(const QByteArray &payload, std::optional<quint32> announced = std::nullopt) {
    const quint32 length = announced.value_or(quint32(payload.size()));
    QByteArray out(sizeof length, Qt::Uninitialized);
    std::memcpy(out.data(), &length, sizeof length);
    return out + payload;
}

inline QByteArray framed(const QJsonObject &message) {
    return framed(QJsonDocument(message).toJson(QJsonDocument::Compact));
}

struct ProcessRun {
    bool finished = false;
    int exitCode = -1;
    QByteArray standardOutput;
    QByteArray standardError;
};

// Runs the extension handler program with `input` as its standard input, `home` as its real home
// and `busAddress` as its session bus, and waits for it to end.
inline ProcessRun runExtensionHandler(const QString &program, const QByteArray &input, const QString &home,
                                      const QString &busAddress) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(kTestRealHomeVariable), home);
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), busAddress);
    process.setProcessEnvironment(environment);
    process.start(program, {QStringLiteral("chrome-extension://ondrake/")});
    ProcessRun run;
    // No clock decides a verdict: a busy machine only makes the run slower, and a run that hangs
    // is the test runner's timeout to catch.
    if (!process.waitForStarted(-1)) return run;
    process.write(input);
    process.closeWriteChannel();
    run.finished = process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit;
    run.exitCode = process.exitCode();
    run.standardOutput = process.readAllStandardOutput();
    run.standardError = process.readAllStandardError();
    return run;
}

// A session bus address where no bus listens: the program then runs without one.
inline const QString kNoBus = QStringLiteral("unix:path=/nonexistent/ondrake-test-bus");

}  // namespace ondrake::test
