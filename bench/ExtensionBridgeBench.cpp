// The main thread's share of one reload of the extension's state file: the longest single stretch
// the main thread spends on it (asking for the read, and later taking the decoded state in), with
// the read and the decoding left to whatever thread does them.

#include "Shell/ExtensionBridge.h"

#include "Async.h"
#include "AtomicFile.h"
#include "ManualScheduler.h"
#include "TemporaryFolder.h"

#include <QDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <ctime>

namespace ondrake {
namespace {

class QuietNotifier final : public NamedNotifier {
public:
    void post(const QString &) override {}
    NotificationObservation observe(const QString &, std::function<void()>) override { return {}; }
};

// `count` tabs over ten windows, about 180 bytes each in the file (5,000 tabs: some 900 KiB).
QByteArray stateFile(int count, const QDateTime &at) {
    ExtensionStateWriter writer(1, at, qsizetype(count) * 200);
    for (int i = 0; i < count; ++i)
        writer.add({10'000 + i, i % 10, QStringLiteral("Page %1 of a long session \u2014 Example").arg(i),
                    QUrl(QStringLiteral("https://site%1.example/path/to/page?id=%2&ref=sidebar").arg(i % 97).arg(i)),
                    i % 10 == 0, i < 5});
    return std::move(writer).finish(3);
}

// The main thread's own processor time: on a shared machine the wall clock also counts the time
// the thread waited for a processor, which is the machine's, not the bridge's.
double threadSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

// Each iteration is one reload; its time is the longer of the two stretches on the main thread.
// With `changes`, every reload finds a new state (two files taking turns); without, the file is
// the one already taken in, as for the second and later reloads that one write causes.
void BM_ExtensionBridgeReloadMainThreadStall(benchmark::State &state) {
    const int count = int(state.range(0));
    const bool changes = state.range(1) != 0;
    test::TemporaryFolder home;
    ManualScheduler scheduler;
    QuietNotifier notifier;
    ExtensionBridge bridge(home.paths(), notifier, scheduler);
    const QString folder = *OndrakeExtensionProtocol::exchangeDirectory(true, home.paths().home);
    const QString file = QDir(folder).filePath(OndrakeExtensionProtocol::stateFileName);
    const QDateTime at = scheduler.wallNow();
    const QByteArray files[] = {stateFile(count, at), stateFile(count, at.addSecs(1))};
    if (!AtomicFile::replaceUnsynced(file, files[0])) {
        state.SkipWithError("cannot write the state file");
        return;
    }
    bridge.reload();
    settle(scheduler);

    double longestAsk = 0, longestTakeIn = 0, worstStall = 0;
    std::size_t turn = 0;
    for (auto _ : state) {
        if (changes) (void)AtomicFile::replaceUnsynced(file, files[++turn % 2]);
        const double asked = threadSeconds();
        bridge.reload();
        const double ask = threadSeconds() - asked;
        while (scheduler.externalWorkInFlight() > 0) scheduler.waitForExternalWork();
        const double taking = threadSeconds();
        scheduler.runUntilIdle();
        const double takeIn = threadSeconds() - taking;
        settle(scheduler);  // whatever the take-in handed back to another thread
        const double stall = std::max(ask, takeIn);
        state.SetIterationTime(stall);
        longestAsk = std::max(longestAsk, ask);
        longestTakeIn = std::max(longestTakeIn, takeIn);
        worstStall = std::max(worstStall, stall);
    }
    state.counters["file_KiB"] = double(files[0].size()) / 1024.0;
    state.counters["worst_stall_ms"] = worstStall * 1e3;
    state.counters["worst_ask_ms"] = longestAsk * 1e3;
    state.counters["worst_take_in_ms"] = longestTakeIn * 1e3;
}
BENCHMARK(BM_ExtensionBridgeReloadMainThreadStall)
    ->ArgNames({"tabs", "changes"})
    ->ArgsProduct({{5'000, 20'000}, {1, 0}})
    ->UseManualTime()
    ->Iterations(100)  // the reads between the measured stretches take far longer than the stretches
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace ondrake
