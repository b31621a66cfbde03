#pragma once

#include "AppDesktop.h"
#include "ScriptedHttpClient.h"
#include "TestSupport.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <memory>

namespace ondrake::test {

// The application over one simulated desktop, its dialogs answered by the test. The delegate is
// made and launched on request; a second one may follow over the same folders.
struct AppWorld : AppDesktop {
    static inline const QString kBrowser = QStringLiteral("com.apple.Safari");
    static inline const QString kEditor = QStringLiteral("com.example.Editor");

    std::shared_ptr<ScriptedHttpClient> http = std::make_shared<ScriptedHttpClient>();
    Environment environment;
    SimulatedUpdater *updater = nullptr;  // the last one made
    std::unique_ptr<AppDelegate> delegate;

    AppWorld() { EXPECT_TRUE(folders.isValid()); }
    ~AppWorld() {
        settle();
        delegate.reset();
        // Work that was waiting on a timer (a refresh due shortly after the browser quit) ends
        // now, finding its owner gone, rather than being dropped half done with the clock.
        const double until = scheduler.now() + 60;
        while (const auto next = scheduler.nextTimerTime()) {
            if (*next > until) break;
            scheduler.advance(Seconds(*next - scheduler.now()));
            settle();
        }
    }

    using AppDesktop::platform;
    AppDelegate::Platform platform() {
        return platform(
            http,
            [this] {
                auto made = std::make_unique<SimulatedUpdater>(scheduler);
                updater = made.get();
                updater->setAlertPresenter([](const SimulatedUpdater::Alert &, std::function<void()> dismissed) { dismissed(); });
                return made;
            },
            environment);
    }
    // A new delegate, launched, as at a start of the application.
    AppDelegate &launch() {
        if (delegate) {
            settle();
            delegate.reset();
        }
        delegate = std::make_unique<AppDelegate>(platform());
        delegate->applicationDidFinishLaunching();
        settle();
        return *delegate;
    }
    AppDelegate &app() { return *delegate; }
    TabStore &store() { return delegate->store(); }
    SidebarPanel &panel() { return delegate->windowController()->panel(); }
    SidebarPresence &presence() { return delegate->presence(); }

    void poll() {
        runToCompletion(scheduler, store().requestRefresh());
        settle();
    }

    // The browser running with one window of these tabs at these bounds (left, top, right,
    // bottom; origin top left), frontmost.
    std::int64_t openBrowser(std::vector<SimulatedSafari::Tab> tabs,
                             SimulatedSafari::Bounds bounds = {400, 25, 1400, 875}) {
        safari.launch();
        SimulatedSafari::Window w;
        w.bounds = bounds;
        w.tabs = std::move(tabs);
        const auto id = safari.addWindow(std::move(w));
        safari.activate();
        settle();
        return id;
    }
    std::optional<SimulatedSafari::Window> browserWindow(std::int64_t id) const { return safari.window(id); }
    void activate(const QString &bundle) {
        workspace.activate(bundle);
        settle();
    }
    std::int64_t launchEditor(QRectF bounds = QRectF(300, 100, 800, 600)) {
        const auto pid = workspace.launch(kEditor);
        WindowInfo info;
        info.layer = 0;
        info.bounds = bounds;
        info.ownerProcessID = pid;
        info.isOnScreen = true;
        windowServer.addWindow(info);
        return pid;
    }
};

// The record file as the application last saved it; empty when there is none.
inline QJsonObject recordFile(const AppWorld &world) {
    QFile file(TabRecordFileStore(world.folders.paths(), Logger(QStringLiteral("Persistence"))).fileURL());
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

inline SimulatedSafari::Tab page(const QString &name) {
    return {name, QStringLiteral("https://%1.example/").arg(name.toLower())};
}

}  // namespace ondrake::test
