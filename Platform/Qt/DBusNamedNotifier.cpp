#include "DBusNamedNotifier.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QPointer>
#include <QThread>

namespace ondrake {

namespace {

// Receives the bus's signals on the main thread, whichever thread asked to observe.
class PostedReceiver final : public QObject {
    Q_OBJECT
public:
    PostedReceiver(QString name, std::function<void()> callback) : name_(std::move(name)), callback_(std::move(callback)) {}

public Q_SLOTS:
    void posted(const QString &name) {
        if (name == name_ && callback_) callback_();
    }

private:
    QString name_;
    std::function<void()> callback_;
};

}  // namespace

DBusNamedNotifier::DBusNamedNotifier(QDBusConnection connection) : connection_(std::move(connection)) {}

namespace {

// Messages leave a connection in order and the bus handles them in order, so once it has answered
// this call it has handled everything the connection sent before.
void awaitBus(QDBusConnection &connection) {
    connection.call(QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                                   QStringLiteral("/org/freedesktop/DBus"),
                                                   QStringLiteral("org.freedesktop.DBus.Peer"), QStringLiteral("Ping")),
                    QDBus::Block, 2000);
}

}  // namespace

void DBusNamedNotifier::post(const QString &name) {
    if (!connection_.isConnected()) return;
    QDBusMessage signal = QDBusMessage::createSignal(kObjectPath, kInterface, kSignal);
    signal << name;
    if (!connection_.send(signal)) return;
    // A program that exits right after posting must not lose the signal.
    awaitBus(connection_);
}

NotificationObservation DBusNamedNotifier::observe(const QString &name, std::function<void()> callback) {
    if (!connection_.isConnected()) return {};
    auto *receiver = new PostedReceiver(name, std::move(callback));
    if (const auto *app = QCoreApplication::instance(); app && receiver->thread() != app->thread())
        receiver->moveToThread(app->thread());
    const QStringList match{name};
    if (!connection_.connect(QString(), kObjectPath, kInterface, kSignal, match, QString(), receiver,
                             SLOT(posted(QString)))) {
        delete receiver;
        return {};
    }
    // The bus learns of the match rule without being waited for; a post from another process right
    // after observing would otherwise slip past it.
    awaitBus(connection_);
    return NotificationObservation([connection = connection_, receiver = QPointer<PostedReceiver>(receiver), match]() mutable {
        if (!receiver) return;
        connection.disconnect(QString(), kObjectPath, kInterface, kSignal, match, QString(), receiver,
                              SLOT(posted(QString)));
        if (receiver->thread() == QThread::currentThread()) delete receiver;
        else receiver->deleteLater();
    });
}

}  // namespace ondrake

#include "DBusNamedNotifier.moc"
