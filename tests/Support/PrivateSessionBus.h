#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

namespace ondrake::test {

// A session bus of the test's own, so that nothing reaches the user's desktop session. Not running
// where the bus daemon is not installed; tests then skip.
class PrivateSessionBus {
public:
    PrivateSessionBus() {
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (daemon.isEmpty()) return;
        daemon_.start(daemon, {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
        if (!daemon_.waitForStarted(10000)) return;
        QByteArray line;
        while (!line.contains('\n') && daemon_.waitForReadyRead(10000)) line += daemon_.readAllStandardOutput();
        address_ = QString::fromUtf8(line).trimmed();
    }
    ~PrivateSessionBus() {
        for (const QString &name : std::as_const(connections_)) QDBusConnection::disconnectFromBus(name);
        if (daemon_.state() != QProcess::NotRunning) {
            daemon_.terminate();
            if (!daemon_.waitForFinished(10000)) daemon_.kill();
            daemon_.waitForFinished(10000);
        }
    }
    PrivateSessionBus(const PrivateSessionBus &) = delete;
    PrivateSessionBus &operator=(const PrivateSessionBus &) = delete;

    bool isRunning() const { return !address_.isEmpty(); }
    QString address() const { return address_; }

    // A new connection of this process to the bus, closed when the bus goes.
    QDBusConnection connect() {
        const QString name = QStringLiteral("private-bus-%1").arg(connections_.size());
        connections_.append(name);
        return QDBusConnection::connectToBus(address_, name);
    }

private:
    QProcess daemon_;
    QString address_;
    QStringList connections_;
};

}  // namespace ondrake::test
