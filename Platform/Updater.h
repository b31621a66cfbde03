#pragma once

#include <QDateTime>
#include <QObject>
#include <QUrl>

#include <optional>

namespace ondrake {

// How the update session that is about to show something began.
struct UpdateUserState {
    bool userInitiated = false;  // false: a scheduled check in the background
    bool operator==(const UpdateUserState &) const = default;
};

// Told by the updater's own user interface before it shows a window. Main thread.
class UpdaterUserDriverDelegate {
public:
    virtual ~UpdaterUserDriverDelegate() = default;
    // A modal alert (an error, "you are up to date") is about to be shown.
    virtual void willShowModalAlert() = 0;
    // An update was found; `handleShowingUpdate`: the updater shows it in its own window.
    virtual void willHandleShowingUpdate(bool handleShowingUpdate, const UpdateUserState &state) = 0;
};

// The software updater: its two user settings, whether a check can start now, and the check
// itself. Feed, download and installation are its own business. Main thread.
class Updater : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~Updater() override = default;

    // Set once, before `start`; it must outlive the updater.
    virtual void setUserDriverDelegate(UpdaterUserDriverDelegate *delegate) = 0;
    // From here on the updater schedules its own checks.
    virtual void start() = 0;

    virtual bool automaticallyChecksForUpdates() const = 0;
    virtual void setAutomaticallyChecksForUpdates(bool checks) = 0;
    virtual bool automaticallyDownloadsUpdates() const = 0;
    virtual void setAutomaticallyDownloadsUpdates(bool downloads) = 0;
    // False while a check is under way or the updater is not ready.
    virtual bool canCheckForUpdates() const = 0;
    virtual std::optional<QDateTime> lastUpdateCheckDate() const = 0;
    virtual bool allowsAutomaticUpdates() const = 0;
    virtual std::optional<QUrl> feedURL() const = 0;
    // A check the user asked for; its outcome is shown by the updater's own interface.
    virtual void checkForUpdates() = 0;

Q_SIGNALS:
    void canCheckForUpdatesChanged();
};

}  // namespace ondrake
