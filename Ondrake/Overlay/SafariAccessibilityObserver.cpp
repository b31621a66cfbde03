#include "Overlay/SafariAccessibilityObserver.h"

namespace ondrake {

const QStringList &SafariAccessibilityObserver::applicationNotifications() {
    static const QStringList names = {
        QStringLiteral("AXFocusedWindowChanged"),  QStringLiteral("AXMainWindowChanged"),
        QStringLiteral("AXWindowCreated"),         QStringLiteral("AXApplicationActivated"),
        QStringLiteral("AXApplicationDeactivated"), QStringLiteral("AXApplicationHidden"),
        QStringLiteral("AXApplicationShown"),
    };
    return names;
}

const QStringList &SafariAccessibilityObserver::windowNotifications() {
    static const QStringList names = {
        QStringLiteral("AXWindowMiniaturized"),
        QStringLiteral("AXWindowDeminiaturized"),
        QStringLiteral("AXUIElementDestroyed"),
    };
    return names;
}

SafariAccessibilityObserver::SafariAccessibilityObserver(Workspace &workspace, Accessibility &accessibility,
                                                         std::function<FirstScreenHeight()> firstScreenHeight,
                                                         QObject *parent)
    : QObject(parent), workspace_(workspace), accessibility_(accessibility),
      firstScreenHeight_(std::move(firstScreenHeight)) {}

SafariAccessibilityObserver::~SafariAccessibilityObserver() {
    disconnect(launched_);
    disconnect(terminated_);
}

void SafariAccessibilityObserver::start() {
    if (isRunning_) return;
    isRunning_ = true;
    const auto lifecycle = [this](const RunningApplication &application) { safariLifecycleChanged(application); };
    launched_ = connect(&workspace_, &Workspace::applicationLaunched, this, lifecycle);
    terminated_ = connect(&workspace_, &Workspace::applicationTerminated, this, lifecycle);
    attach();
}

void SafariAccessibilityObserver::stop() {
    isRunning_ = false;
    disconnect(launched_);
    disconnect(terminated_);
    detach();
}

void SafariAccessibilityObserver::attach() {
    if (!isRunning_) return;
    std::optional<RunningApplication> safari;
    for (const auto &app : workspace_.runningApplications(safariBundleIdentifier)) {
        if (!app.isTerminated) {
            safari = app;
            break;
        }
    }
    if (!safari) {
        report(SafariChromeChange::gone());
        return;
    }
    const auto pid = safari->processIdentifier;
    // Delivered on the main thread; the observer ends with this object, and its deliveries too.
    auto created = accessibility_.createObserver(pid, [this](const AXUIElement &, const QString &) {
        reportFocusedWindow();
    });
    if (!created.ok() || !*created.value()) {
        log_.debug("Could not create AX observer for Safari (pid %{public}d)", pid);
        report(SafariChromeChange::gone());
        return;
    }
    auto observer = std::move(*std::move(created).value());
    const AXUIElement application = accessibility_.createApplication(pid);
    application.setMessagingTimeout(messagingTimeout);
    for (const auto &name : applicationNotifications()) observer->addNotification(application, name);
    observer->addToMainRunLoop();

    observer_ = std::move(observer);
    application_ = AccessibilityElement{application};
    processIdentifier_ = pid;
    reportFocusedWindow();
}

void SafariAccessibilityObserver::detach() {
    if (observer_) observer_->removeFromMainRunLoop();
    // Whatever was registered on the window and the application ends with the observer.
    observer_.reset();
    application_.reset();
    observedWindow_.reset();
    processIdentifier_.reset();
}

void SafariAccessibilityObserver::reportFocusedWindow() {
    if (!application_) {
        report(SafariChromeChange::gone());
        return;
    }
    const FirstScreenHeight screenHeight = firstScreenHeight_ ? firstScreenHeight_() : std::nullopt;
    if (auto window = SafariFocusedWindow::read(*application_, screenHeight)) {
        refreshObservedWindow(window->element);
        report(SafariChromeChange::replaced(std::move(*window)));
    } else {
        forgetObservedWindow();
        report(SafariChromeChange::gone());
    }
}

void SafariAccessibilityObserver::refreshObservedWindow(const AccessibilityElement &window) {
    if (!observer_) return;
    if (observedWindow_ && *observedWindow_ == window) return;
    forgetObservedWindow();
    for (const auto &name : windowNotifications()) observer_->addNotification(window.element, name);
    observedWindow_ = window;
}

// A window that is no longer observed keeps no registration behind.
void SafariAccessibilityObserver::forgetObservedWindow() {
    if (observer_ && observedWindow_)
        for (const auto &name : windowNotifications()) observer_->removeNotification(observedWindow_->element, name);
    observedWindow_.reset();
}

void SafariAccessibilityObserver::safariLifecycleChanged(const std::optional<RunningApplication> &application) {
    if (application && application->bundleIdentifier != safariBundleIdentifier) return;
    detach();
    attach();
}

void SafariAccessibilityObserver::report(const SafariChromeChange &change) {
    if (onChange) onChange(change);
}

}  // namespace ondrake
