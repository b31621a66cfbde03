#pragma once

#include "InstanceGuard.h"
#include "Log.h"
#include "Paths.h"
#include "PrivateFolder.h"

#include <QString>

#include <chrono>
#include <functional>
#include <memory>

class QLocalServer;
class QLocalSocket;

namespace ondrake {

// The instance guard over a local socket: the first launch listens on it, a later one finds it
// there and asks through it. The socket and its lock live in a folder only this user can reach,
// and one that anyone else owns is never trusted, so another account can neither answer for the
// instance nor hold launches back. Main thread.
class SingleInstance final : public InstanceGuard {
public:
    // `socketPath` is best had from `socketPathFor`; its folder must be this user's alone, else the
    // launch runs unguarded, as it does with an empty path. A later launch waits up to
    // `answerTimeout` for the running instance's answer.
    explicit SingleInstance(QString socketPath, std::chrono::milliseconds answerTimeout = std::chrono::seconds(5));
    ~SingleInstance() override;
    SingleInstance(const SingleInstance &) = delete;
    SingleInstance &operator=(const SingleInstance &) = delete;

    // Named for the application and the user, in the user's runtime folder when that is the
    // user's alone, else in a private folder of the user's own made in the temporary, cache or
    // home folder, the first that can be had. Empty when none can; each folder passed by is
    // logged.
    static QString socketPathFor(const QString &applicationID, const Paths &paths);

    // A socket left by an instance that is gone is taken over, as is anything there that another
    // account owns.
    Claim claim() override;
    void setReopenHandler(std::function<void()> handler) override { onReopen_ = std::move(handler); }
    bool isListening() const;
    const QString &socketPath() const { return socketPath_; }

private:
    enum class Contact { answered, unanswered, nobodyThere };
    Contact askRunningInstance();
    bool mayUse(const QString &path, FileKind kind) const;
    bool listen();
    void accept();
    void serve(QLocalSocket &connection);

    const QString socketPath_;
    const std::chrono::milliseconds answerTimeout_;
    const Logger log_{QStringLiteral("Instance")};
    std::function<void()> onReopen_;
    std::unique_ptr<QLocalServer> server_;
};

}  // namespace ondrake
