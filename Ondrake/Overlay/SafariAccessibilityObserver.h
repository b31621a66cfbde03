#pragma once

#include "Accessibility.h"
#include "Log.h"
#include "Overlay/SafariFocusedWindow.h"
#include "Workspace.h"

#include <QObject>

#include <functional>
#include <memory>
#include <optional>

namespace ondrake {

// Keeps an Accessibility observer on the running Safari and reports every change of its focused
// window. Any notification from Safari leads to one fresh read of the focused window; Safari's
// launch and termination re-attach from scratch. Main thread.
class SafariAccessibilityObserver : public QObject {
    Q_OBJECT
public:
    static inline const QString safariBundleIdentifier = QStringLiteral("com.apple.Safari");
    // Bounds each message to Safari, so a busy Safari cannot stall the main thread for long.
    static constexpr double messagingTimeout = 0.25;
    static const QStringList &applicationNotifications();
    static const QStringList &windowNotifications();

    SafariAccessibilityObserver(Workspace &workspace, Accessibility &accessibility,
                                std::function<FirstScreenHeight()> firstScreenHeight, QObject *parent = nullptr);
    ~SafariAccessibilityObserver() override;

    // Set by the owner; it must not outlive what it reports to.
    std::function<void(const SafariChromeChange &)> onChange;

    // Listens for Safari's launch and termination and attaches; nothing while already running.
    void start();
    // Stops listening and drops everything attached.
    void stop();
    void attach();
    void detach();
    void reportFocusedWindow();
    // Moves the window notifications onto `window`.
    void refreshObservedWindow(const AccessibilityElement &window);
    // An application launched or terminated; none when the notification did not say which.
    void safariLifecycleChanged(const std::optional<RunningApplication> &application);

    bool isRunning() const { return isRunning_; }
    bool isAttached() const { return observer_ != nullptr; }
    const std::optional<AccessibilityElement> &application() const { return application_; }
    std::optional<std::int64_t> processIdentifier() const { return processIdentifier_; }
    const std::optional<AccessibilityElement> &observedWindow() const { return observedWindow_; }

private:
    void report(const SafariChromeChange &change);
    void forgetObservedWindow();

    Workspace &workspace_;
    Accessibility &accessibility_;
    std::function<FirstScreenHeight()> firstScreenHeight_;
    Logger log_{QStringLiteral("overlay")};

    std::unique_ptr<AXObserver> observer_;
    std::optional<AccessibilityElement> application_;
    std::optional<std::int64_t> processIdentifier_;
    std::optional<AccessibilityElement> observedWindow_;
    bool isRunning_ = false;
    QMetaObject::Connection launched_;
    QMetaObject::Connection terminated_;
};

}  // namespace ondrake
