// The whole application over the simulated desktop: what it costs while nothing happens, and how
// long it takes from start to the first painted sidebar.

#include "AppDesktop.h"
#include "NoNetwork.h"
#include "WidgetApplication.h"

#include <chrono>

#include <benchmark/benchmark.h>

namespace ondrake {
namespace {

// The browser in front with `tabs` tabs over ten windows, twenty windows of other applications
// around them, and the application over it all.
struct BenchApp : bench::WithWidgetApplication, test::AppDesktop {
    std::unique_ptr<AppDelegate> delegate;

    explicit BenchApp(int tabs) {
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
            windowServer.orderBack(windowServer.addWindow(info));
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
        delegate = std::make_unique<AppDelegate>(platform(
            std::make_shared<test::NoNetwork>(), [this] { return std::make_unique<SimulatedUpdater>(scheduler); }, {}));
        delegate->applicationDidFinishLaunching();
        settle();
    }
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

// One second of the idle application: the tracker measuring four times a second (its timer, at
// 30 Hz while anything moves, waking only as often), a poll every 0.75 s, the browser in front and
// nothing changing. `core_pct` is the
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
