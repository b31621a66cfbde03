#pragma once

#include "NamedNotifier.h"

#include <QDBusConnection>

namespace ondrake {

// Named notifications as a signal on a D-Bus bus, normally the session bus: every process of the
// user connected to it hears them. Without a bus (none running, no address) posting does nothing
// and observing registers nothing.
class DBusNamedNotifier final : public NamedNotifier {
public:
    static inline const QString kObjectPath = QStringLiteral("/com/ondrake/Ondrake");
    static inline const QString kInterface = QStringLiteral("com.ondrake.Ondrake.NamedNotifier");
    static inline const QString kSignal = QStringLiteral("Posted");  // one argument: the name

    explicit DBusNamedNotifier(QDBusConnection connection = QDBusConnection::sessionBus());

    bool isConnected() const { return connection_.isConnected(); }

    void post(const QString &name) override;
    NotificationObservation observe(const QString &name, std::function<void()> callback) override;

private:
    QDBusConnection connection_;
};

}  // namespace ondrake
