#pragma once

#include "Log.h"
#include "Scheduler.h"
#include "Updater.h"

#include <functional>
#include <memory>

namespace ondrake {

class UserDefaults;

// The updater of a build that has no update feed. It keeps the two user settings and, asked to
// check, says that no update source is configured. Tests script the rest: a feed address, whether
// automatic updates are allowed, checks that begin and end, and updates shown to the user.
class SimulatedUpdater final : public Updater {
    Q_OBJECT
public:
    struct Alert {
        QString title;
        QString message;
        bool operator==(const Alert &) const = default;
    };
    // Shows the alert and calls `dismissed` once the user has closed it.
    using AlertPresenter = std::function<void(const Alert &alert, std::function<void()> dismissed)>;

    static inline const QString kChecksKey = QStringLiteral("UpdaterChecksAutomatically");
    static inline const QString kDownloadsKey = QStringLiteral("UpdaterDownloadsAutomatically");

    // With `settings`, the two user settings persist there across launches.
    explicit SimulatedUpdater(Scheduler &scheduler, UserDefaults *settings = nullptr, QObject *parent = nullptr);
    ~SimulatedUpdater() override;

    void setUserDriverDelegate(UpdaterUserDriverDelegate *delegate) override { delegate_ = delegate; }
    void start() override;

    bool automaticallyChecksForUpdates() const override { return checksAutomatically_; }
    void setAutomaticallyChecksForUpdates(bool checks) override;
    bool automaticallyDownloadsUpdates() const override { return downloadsAutomatically_; }
    void setAutomaticallyDownloadsUpdates(bool downloads) override;
    bool canCheckForUpdates() const override { return started_ && !checking_; }
    std::optional<QDateTime> lastUpdateCheckDate() const override { return lastCheck_; }
    bool allowsAutomaticUpdates() const override { return allowsAutomaticUpdates_; }
    std::optional<QUrl> feedURL() const override { return feedURL_; }
    // Without a feed the check ends in the alert that no update source is configured; with a
    // scripted feed it runs until `endCheck`.
    void checkForUpdates() override;

    void setAlertPresenter(AlertPresenter presenter) { presenter_ = std::move(presenter); }
    static Alert noUpdateSourceAlert();

    // Scripting.
    void setFeedURL(std::optional<QUrl> feed) { feedURL_ = std::move(feed); }
    void setAllowsAutomaticUpdates(bool allows) { allowsAutomaticUpdates_ = allows; }
    void beginCheck();
    // `checkedAt`: the check completed then; none leaves the last check date as it was.
    void endCheck(std::optional<QDateTime> checkedAt = std::nullopt);
    // The updater's interface is about to show a found update in its own window.
    void showUpdate(const UpdateUserState &state);

    bool isStarted() const { return started_; }
    bool isChecking() const { return checking_; }
    int checkRequests() const { return checkRequests_; }
    // Writes of either user setting through the setters.
    int settingWrites() const { return settingWrites_; }

private:
    void setChecking(bool checking);

    Scheduler &scheduler_;
    UserDefaults *settings_;
    const Logger logger_{QStringLiteral("updates")};
    UpdaterUserDriverDelegate *delegate_ = nullptr;
    AlertPresenter presenter_;
    bool started_ = false;
    bool checking_ = false;
    bool checksAutomatically_ = false;
    bool downloadsAutomatically_ = false;
    bool allowsAutomaticUpdates_ = false;  // nothing could be downloaded
    std::optional<QDateTime> lastCheck_;
    std::optional<QUrl> feedURL_;
    int checkRequests_ = 0;
    int settingWrites_ = 0;
    // Lets posted work notice that the updater is gone.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace ondrake
