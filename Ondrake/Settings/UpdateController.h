#pragma once

#include "Log.h"
#include "Updater.h"

#include <QDateTime>
#include <QObject>

#include <functional>
#include <memory>
#include <optional>

namespace ondrake {

class UpdatePresentation;

// Owns the software updater from launch on, mirrors its settings and state for the settings
// window and the status menu, and passes the user's two settings back to it. Main thread.
class UpdateController final : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool checksAutomatically READ checksAutomatically WRITE setChecksAutomatically NOTIFY checksAutomaticallyChanged)
    Q_PROPERTY(bool downloadsAutomatically READ downloadsAutomatically WRITE setDownloadsAutomatically NOTIFY downloadsAutomaticallyChanged)
    Q_PROPERTY(bool canCheck READ canCheck NOTIFY canCheckChanged)
    Q_PROPERTY(bool allowsAutomaticDownloads READ allowsAutomaticDownloads NOTIFY allowsAutomaticDownloadsChanged)

public:
    // Starts the updater. `activateApplication` brings this application to the front, ignoring
    // other applications; the updater's windows would otherwise open behind them.
    UpdateController(std::unique_ptr<Updater> updater, std::function<void()> activateApplication,
                     QObject *parent = nullptr);
    ~UpdateController() override;

    Updater &updater() { return *updater_; }
    const Updater &updater() const { return *updater_; }

    bool checksAutomatically() const { return checksAutomatically_; }
    bool downloadsAutomatically() const { return downloadsAutomatically_; }
    bool canCheck() const { return canCheck_; }
    const std::optional<QDateTime> &lastCheck() const { return lastCheck_; }
    bool allowsAutomaticDownloads() const { return allowsAutomaticDownloads_; }

    // The updater is written only when it holds another value.
    void setChecksAutomatically(bool checks);
    void setDownloadsAutomatically(bool downloads);

    // Reads every mirrored value from the updater again.
    void refreshFromUpdater();

Q_SIGNALS:
    void checksAutomaticallyChanged();
    void downloadsAutomaticallyChanged();
    void canCheckChanged();
    void lastCheckChanged();
    void allowsAutomaticDownloadsChanged();

private:
    void syncChecksToUpdater();
    void syncDownloadsToUpdater();

    template<typename T, typename Signal>
    void assign(T &field, T value, Signal signal) {
        if (field == value) return;
        field = std::move(value);
        Q_EMIT(this->*signal)();
    }

    const Logger logger_{QStringLiteral("updates")};
    // Declared before the updater, which holds it as its delegate, so that it goes last.
    std::unique_ptr<UpdatePresentation> presentation_;
    std::unique_ptr<Updater> updater_;
    bool checksAutomatically_ = false;
    bool downloadsAutomatically_ = false;
    bool canCheck_ = false;
    std::optional<QDateTime> lastCheck_;
    bool allowsAutomaticDownloads_ = false;
};

}  // namespace ondrake
