#pragma once

#include <QObject>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace ondrake {

// One running application as the workspace lists it at the moment of asking.
struct RunningApplication {
    QString bundleIdentifier;
    std::int64_t processIdentifier = 0;
    bool isActive = false;
    bool isTerminated = false;

    bool operator==(const RunningApplication &) const = default;
};

// The running applications and the frontmost one. Queries may come from any thread; the
// notifications are emitted on the main thread.
class Workspace : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~Workspace() override = default;

    // An application that has terminated may still be listed for a moment; it never counts.
    std::vector<RunningApplication> runningApplications() const;
    std::vector<RunningApplication> runningApplications(const QString &bundleIdentifier) const;
    std::optional<RunningApplication> frontmostApplication() const;
    // The short version string of the installed application with this bundle identifier;
    // nothing when it is not installed or its bundle cannot be read.
    virtual std::optional<QString> installedApplicationVersion(const QString &bundleIdentifier) const {
        (void)bundleIdentifier;
        return std::nullopt;
    }

Q_SIGNALS:
    void applicationLaunched(const ondrake::RunningApplication &application);
    void applicationActivated(const ondrake::RunningApplication &application);
    void applicationTerminated(const ondrake::RunningApplication &application);  // isTerminated set

protected:
    virtual std::vector<RunningApplication> listRunningApplications() const = 0;
};

}  // namespace ondrake
