#pragma once

#include "Log.h"

#include <QObject>
#include <QString>

#include <chrono>
#include <memory>

class QLocalServer;
class QLocalSocket;

namespace ondrake {

// Keeps one running instance of the application per user. The first launch listens on a local
// socket; a later one finds it there and asks it to reopen instead of running beside it, where
// both would poll and save the same record file and the last save would win. Main thread.
class SingleInstance final : public QObject {
    Q_OBJECT
public:
    enum class Claim {
        // This process is the one instance; later launches reach it.
        first,
        // Another instance runs and has answered the request to reopen.
        reopenedRunning,
        // Something holds the socket but did not answer in time.
        unanswered,
        // No socket could be made here (folder missing, name too long); this process runs alone
        // without being reachable.
        unguarded,
    };

    // The socket's file name; its folder must exist.
    explicit SingleInstance(QString socketPath, QObject *parent = nullptr);
    ~SingleInstance() override;

    // In the user's runtime folder, named for the application and the user.
    static QString socketPathFor(const QString &applicationID);

    // Becomes the instance that listens, or asks the one that does to reopen and waits up to
    // `answerTimeout` for its answer. A socket left by an instance that is gone is taken over.
    // Launches that claim at the same moment take turns.
    Claim claim(std::chrono::milliseconds answerTimeout = std::chrono::seconds(5));
    bool isListening() const;
    const QString &socketPath() const { return socketPath_; }

Q_SIGNALS:
    // A later launch asked this instance to reopen; it is answered once the receivers return.
    void reopenRequested();

private:
    enum class Contact { answered, unanswered, nobodyThere };
    Contact askRunningInstance(std::chrono::milliseconds answerTimeout);
    bool listen();
    void accept();
    void serve(QLocalSocket &connection);

    const QString socketPath_;
    const Logger log_{QStringLiteral("Instance")};
    std::unique_ptr<QLocalServer> server_;
};

}  // namespace ondrake
