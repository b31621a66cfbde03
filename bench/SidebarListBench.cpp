#include "NoNetwork.h"
#include "Ondrake/Sidebar/SidebarEnvironment.h"
#include "Ondrake/Sidebar/SidebarTabList.h"
#include "StorePlatform.h"
#include "WidgetApplication.h"

#include <QImage>
#include <QScrollBar>

#include <benchmark/benchmark.h>

using namespace ondrake;

namespace {

// `tabs` tabs over three windows, nested up to three levels: every fourth tab a root, the next
// its child, the two after that grandchildren.
std::vector<SafariWindow> nestedSession(std::int64_t tabs) {
    std::vector<SafariWindow> windows;
    for (std::int64_t w = 0; w < 3; ++w) windows.push_back(SafariWindow{10 + w, w + 1, w == 0, {}});
    for (std::int64_t i = 0; i < tabs; ++i) {
        SafariWindow &window = windows[std::size_t(i % 3)];
        const auto n = std::int64_t(window.tabs.size());
        std::optional<QString> parent;
        if (n % 4 == 1) parent = window.tabs[std::size_t(n - 1)].id;
        if (n % 4 >= 2) parent = window.tabs[std::size_t(n - n % 4 + 1)].id;
        window.tabs.push_back(SafariTab{QStringLiteral("tab-%1").arg(i), window.safariID, n + 1,
                                        QStringLiteral("Page %1 of a long session").arg(i),
                                        QUrl(QStringLiteral("https://site%1.example/page?id=%2").arg(i % 97).arg(i)),
                                        i == 0, parent});
    }
    return windows;
}

struct ListBench : bench::WithWidgetApplication, test::MockBrowserStore {
    explicit ListBench(std::int64_t tabs) : MockBrowserStore(nestedSession(tabs), std::make_shared<test::NoNetwork>()) {
        showAllWindows();
        poll();
    }
    std::unique_ptr<SidebarTabList> makeList() {
        auto list = std::make_unique<SidebarTabList>(*store, environment);
        list->resize(280, 800);
        list->show();
        list->doItemsLayout();
        return list;
    }

    SidebarEnvironment environment;
};

// Opening the sidebar: the row model built from the store and the first screenful painted.
void BM_TabListBuildAndPaint(benchmark::State &state) {
    ListBench bench(state.range(0));
    QImage frame(280, 800, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        auto list = bench.makeList();
        list->render(&frame);
        benchmark::DoNotOptimize(frame.constBits());
        state.PauseTiming();
        list.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_TabListBuildAndPaint)->ArgNames({"tabs"})->Arg(5000)->Unit(benchmark::kMillisecond);

// One frame of scrolling: the list moved on by a screen and the new screenful painted.
void BM_TabListScrollOneScreen(benchmark::State &state) {
    ListBench bench(state.range(0));
    auto list = bench.makeList();
    QImage frame(280, 800, QImage::Format_ARGB32_Premultiplied);
    QScrollBar *bar = list->verticalScrollBar();
    for (auto _ : state) {
        const int next = bar->value() + list->viewport()->height();
        bar->setValue(next > bar->maximum() ? 0 : next);
        list->render(&frame);
        benchmark::DoNotOptimize(frame.constBits());
    }
    state.counters["screens"] = double(bar->maximum()) / list->viewport()->height();
}
BENCHMARK(BM_TabListScrollOneScreen)->ArgNames({"tabs"})->Arg(5000)->Unit(benchmark::kMillisecond);

// A poll that finds nothing new: the list looks again and tells its view nothing.
void BM_TabListUnchangedPoll(benchmark::State &state) {
    ListBench bench(state.range(0));
    auto list = bench.makeList();
    auto &model = list->rowModel();
    int signalled = 0;
    const auto count = [&] { ++signalled; };
    QObject::connect(&model, &QAbstractItemModel::modelReset, count);
    QObject::connect(&model, &QAbstractItemModel::rowsInserted, count);
    QObject::connect(&model, &QAbstractItemModel::rowsRemoved, count);
    QObject::connect(&model, &QAbstractItemModel::dataChanged, count);
    QObject::connect(&model, &QAbstractItemModel::layoutChanged, count);
    for (auto _ : state) {
        state.PauseTiming();
        bench.poll();
        state.ResumeTiming();
        list->rebuild();
    }
    state.counters["model_signals"] = signalled;
    if (signalled != 0) state.SkipWithError("an unchanged poll signalled the view");
}
BENCHMARK(BM_TabListUnchangedPoll)->ArgNames({"tabs"})->Arg(5000)->Unit(benchmark::kMillisecond);

}  // namespace
