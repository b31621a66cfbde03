// The whole application over the simulated desktop: what it costs while nothing happens, and how
// long it takes from start to the first painted sidebar.

#include "Shell/AppDelegate.h"
#include "WidgetApplication.h"

#include "Async.h"
#include "ManualScheduler.h"
#include "ScriptedDialogs.h"
#include "SimulatedAccessibility.h"
#include "SimulatedApplication.h"
#include "SimulatedFrameClock.h"
#include "SimulatedNamedNotifier.h"
#include "SimulatedPrivacy.h"
#include "SimulatedSafari.h"
#include "SimulatedScreens.h"
#include "SimulatedScriptEngine.h"
#include "SimulatedStatusItem.h"
#include "SimulatedUpdater.h"
#include "SimulatedWindowServer.h"
#include "SimulatedWorkspace.h"

#include <QTemporaryDir>

#include <chrono>

#include <benchmark/benchmark.h>

namespace ondrake {
namespace {

// A machine without a network: every icon fetch fails at once.
struct NoNetwork final : HttpClient {
    QCoro::Task<HttpResponse> get(QUrl, qint64) override { co_return HttpResponse::transportFailure(); }
};

// The browser in front with `tabs` tabs over ten windows, twenty windows of other applications
// around them, and the application over it all.
struct BenchApp {
    QTemporaryDir folder;
    Paths paths = Paths::under(folder.path());
    ManualScheduler scheduler;
    SimulatedWorkspace workspace{scheduler};
    SimulatedApplication application{workspace};
    SimulatedSafari safari{workspace};
    SimulatedScriptEngine engine{safari};
    SimulatedPrivacy privacy{workspace};
    SimulatedAccessibility accessibility{scheduler, safari, privacy};
    SimulatedWindowServer server{safari, workspace};
    SimulatedScreens screens;
    SimulatedPointer pointer;
    SimulatedFrameClock frameClock{scheduler, screens};
    SimulatedNamedNotifier notifier{scheduler};
    SimulatedStatusItem statusItem;
    ScriptedDialogs dialogs;
    UserDefaults defaults{paths, QString::fromLatin1(kStandardDefaultsDomain)};
    std::unique_ptr<AppDelegate> delegate;

    explicit BenchApp(int tabs) {
        bench::ensureWidgetApplication();
        safari.launch();
        for (int w = 0; w < 10; ++w) {
            SimulatedSafari::Window window;
            window.bounds = {400.0 + 10 * w, 25.0 + 10 * w, 1400.0, 875.0};
            for (int t = w; t < tabs; t += 10)
                window.tabs.push_back({QStringLiteral("Page %1 of the session").arg(t),
                                       QStringLiteral("https://site%1.example/page?id=%2").arg(t % 97).arg(t)});
            safari.addWindow(std::move(window));
        }
        const auto editor = workspace.launch(QStringLiteral("com.example.Editor"));
        for (int i = 0; i < 20; ++i) {
            WindowInfo info;
            info.layer = 0;
            info.bounds = QRectF(20.0 * i, 30.0 * i, 250.0 + 20 * i, 250.0 + 10 * i);
            info.ownerProcessID = editor;
            info.isOnScreen = true;
            server.orderBack(server.addWindow(info));
        }
        safari.activate();
        settle();
    }
    ~BenchApp() {
        settle();
        delegate.reset();
        settle();
    }

    void launch() {
        delegate = std::make_unique<AppDelegate>(AppDelegate::Platform{
            scheduler, workspace, server, screens, pointer, frameClock, defaults, paths, engine, privacy, accessibility,
            std::make_shared<NoNetwork>(), notifier, statusItem, dialogs, application,
            [this] { return std::make_unique<SimulatedUpdater>(scheduler); }, {},
            [this](SidebarPanel &panel) {
                return std::make_unique<SidebarPanelMirror>(panel, server, screens, application.processIdentifier());
            }});
        delegate->applicationDidFinishLaunching();
        settle();
    }
    void settle() { ondrake::settle(scheduler); }
    void step(double seconds) { ondrake::step(scheduler, Seconds(seconds)); }
};

// One unchanged poll of 500 tabs through the real controller and the store.
void BM_UnchangedPoll(benchmark::State &state) {
    BenchApp app(int(state.range(0)));
    app.launch();
    app.step(3);
    auto &store = app.delegate->store();
    for (auto _ : state) runToCompletion(app.scheduler, store.requestRefresh());
}
BENCHMARK(BM_UnchangedPoll)->ArgName("tabs")->Arg(500)->Unit(benchmark::kMicrosecond)->UseRealTime();

// One second of the idle application: the tracker's 30 ticks a second (measuring four times a
// second), a poll every 0.75 s, the browser in front and nothing changing. `core_pct` is the
// share of one core that second costs.
void BM_IdleSecond(benchmark::State &state) {
    BenchApp app(int(state.range(0)));
    app.launch();
    app.step(5);
    const auto began = std::chrono::steady_clock::now();
    for (auto _ : state) app.step(1.0);
    const std::chrono::duration<double> spent = std::chrono::steady_clock::now() - began;
    state.counters["core_pct"] = 100.0 * spent.count() / double(state.iterations());
}
BENCHMARK(BM_IdleSecond)->ArgName("tabs")->Arg(500)->Unit(benchmark::kMillisecond)->UseRealTime();

// From the start of the application with a record file of 1,000 records to the first painted
// sidebar: the record file loaded, the graph built, the browser polled, its tabs reattached to
// their records, and the panel drawn.
void BM_LaunchToFirstPaint(benchmark::State &state) {
    BenchApp app(int(state.range(0)));
    app.launch();
    app.delegate->applicationWillTerminate();  // leaves the record file behind
    app.delegate.reset();
    app.settle();
    for (auto _ : state) {
        app.launch();
        QCoreApplication::processEvents();  // the list lays its rows out from the event loop
        QImage painted = app.delegate->windowController()->panel().grab().toImage();
        benchmark::DoNotOptimize(painted);
        state.PauseTiming();
        app.delegate.reset();
        app.settle();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_LaunchToFirstPaint)->ArgName("records")->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace ondrake
