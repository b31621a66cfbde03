#pragma once

#include "InstanceGuard.h"
#include "Log.h"
#include "Paths.h"
#include "PrivateFolder.h"
#include "ProcessLock.h"

#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class QLocalServer;
class QLocalSocket;

namespace ondrake {

// The instance guard over a local socket and a lock: the first launch holds the lock and listens
// on the socket, a later one finds it there and asks through it. The lock lies beside the files
// only one instance may write, so that two instances never run on them even where launches cannot
// reach each other. The socket and its turn lock live in a folder only this user can reach, and
// one that anyone else owns is never trusted, so another account can neither answer for the
// instance nor hold launches back. Main thread.
class SingleInstance final : public InstanceGuard {
public:
    // `socketPath` is best had from `socketPathFor`; its folder must be this user's alone, else
    // later launches cannot reach this one, as with an empty path. `instanceLockPath` is held for
    // as long as this process is the instance. A later launch waits up to `answerTimeout` for the
    // running instance's answer, and as long for one that is quitting to end.
    SingleInstance(QString socketPath, QString instanceLockPath,
                   std::chrono::milliseconds answerTimeout = std::chrono::seconds(5));
    ~SingleInstance() override;
    SingleInstance(const SingleInstance &) = delete;
    SingleInstance &operator=(const SingleInstance &) = delete;

    // Named for the application and the user, in the user's runtime folder when that is the
    // user's alone, else in a private folder of the user's own made in the temporary, cache or
    // home folder: the first that can be had and whose socket path fits a socket's address. Empty
    // when none can; each folder passed by is logged.
    static QString socketPathFor(const QString &applicationID, const Paths &paths);
    // The most bytes a socket's path may have.
    static const qsizetype kLongestSocketPath;

    // A socket left by an instance that is gone is taken over, as is anything there that another
    // account owns.
    Claim claim() override;
    void setReopenHandler(std::function<void()> handler) override { onReopen_ = std::move(handler); }
    void stopAnswering() override;
    bool isListening() const;
    const QString &socketPath() const { return socketPath_; }

private:
    enum class Contact { answered, unanswered, hungUp, nobodyThere };
    bool socketFolderIsTrusted() const;
    std::optional<Claim> askRunningInstance();
    Contact askOnce();
    std::unique_ptr<ProcessLock> takeTurn() const;
    ProcessLock::Attempt takeInstanceLock();
    bool mayUse(const QString &path, FileKind kind, const char *instead) const;
    bool listen();
    void accept();
    void serve(QLocalSocket &connection);

    const QString socketPath_;
    const std::chrono::milliseconds answerTimeout_;
    const Logger log_{QStringLiteral("Instance")};
    std::function<void()> onReopen_;
    // Let go of after the server has closed, so that a launch waiting for it finds the socket free.
    ProcessLock instanceLock_;
    std::unique_ptr<QLocalServer> server_;
};

}  // namespace ondrake
