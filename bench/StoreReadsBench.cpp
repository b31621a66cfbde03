#include "NoNetwork.h"
#include "PerItem.h"
#include "StorePlatform.h"
#include "TabCorpus.h"

#include <benchmark/benchmark.h>

using namespace ondrake;

namespace {

// The corpus's tabs in five windows, every third one nested under the tab before it.
std::vector<SafariWindow> nestedCorpus(const bench::TabCorpus &corpus) {
    std::map<std::int64_t, SafariWindow> byID;
    for (auto tab : corpus.tabs) {
        auto &window = byID[tab.windowID];
        window.safariID = tab.windowID;
        if (window.tabs.size() % 3 == 1) tab.parentID = window.tabs.back().id;
        window.tabs.push_back(tab);
    }
    std::vector<SafariWindow> windows;
    for (auto &[id, window] : byID) {
        window.index = std::int64_t(windows.size()) + 1;
        window.isFrontmost = windows.empty();
        windows.push_back(std::move(window));
    }
    return windows;
}

// Those windows polled once by a store that lists every window, with the corpus's groups,
// creation dates and metadata on the records, one tab in fifty pinned and groups shown in the tree.
struct ReadsSession {
    bench::TabCorpus corpus;
    test::MockBrowserStore world;
    TabStore &store = *world.store;

    explicit ReadsSession(std::int64_t tabs)
        : corpus(tabs), world(nestedCorpus(corpus), std::make_shared<test::NoNetwork>()) {
        world.showAllWindows();
        world.poll();
        store.flags().setOverride(true, FeatureFlag::tabGroups());
        store.updateBook([&](TabRecordBook &book) {
            book.groups = corpus.groups;
            int n = 0;
            const auto &ids = store.ondrakeIDs();
            for (const auto &[session, id] : ids) {
                auto &record = book.records.at(id);
                const auto source = corpus.records.value(session.text);
                record.groupID = source.groupID;
                record.metadata = source.metadata;
                record.createdAt = source.createdAt;
                record.pinned = n++ % 50 == 0;
            }
        });
        world.scheduler.runUntilIdle();
    }
};

void perRow(benchmark::State &state) {
    state.counters["per_row"] = bench::perItem(double(state.range(1)));
}

const QString kQueries[] = {QStringLiteral("e"), QStringLiteral("doc"), QStringLiteral("kubernetes")};

// One keystroke in the search field: a new query and its ranked tabs. The documents are made
// once per change of the tabs or records; alternating the query's case keeps the work the same
// while defeating the last-query memo.
void BM_StoreSearchKeystroke(benchmark::State &state) {
    ReadsSession session(5000);
    const QString lower = kQueries[state.range(0)];
    const QString upper = lower.toUpper();
    auto &store = session.store;
    std::size_t found = 0;
    bool flip = false;
    for (auto _ : state) {
        flip = !flip;
        store.setSearchQuery(flip ? upper : lower);
        const auto results = store.searchResults();
        found = results.size();
        benchmark::DoNotOptimize(results.data());
    }
    state.SetLabel(QStringLiteral("\"%1\", %2 found").arg(lower).arg(found).toStdString());
}
BENCHMARK(BM_StoreSearchKeystroke)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

// The first keystroke after the records changed: the documents are made again.
void BM_StoreSearchAfterRecordChange(benchmark::State &state) {
    ReadsSession session(5000);
    auto &store = session.store;
    const auto group = store.sortedGroups().front();
    store.setSearchQuery(kQueries[state.range(0)]);
    bool flip = false;
    for (auto _ : state) {
        state.PauseTiming();
        flip = !flip;
        store.updateBook([&](TabRecordBook &book) { book.renameGroup(group.id, group.name + (flip ? "!" : "")); });
        state.ResumeTiming();
        benchmark::DoNotOptimize(store.searchResults().data());
    }
}
BENCHMARK(BM_StoreSearchAfterRecordChange)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

void BM_StoreDisplayOrder(benchmark::State &state) {
    ReadsSession session(state.range(1));
    auto &store = session.store;
    store.setViewMode(kAllSidebarViewModes[std::size_t(state.range(0))]);
    for (auto _ : state) benchmark::DoNotOptimize(store.displayOrder().data());
    perRow(state);
    state.SetLabel(toString(store.viewMode()).toStdString());
}
BENCHMARK(BM_StoreDisplayOrder)->ArgsProduct({{0, 1, 2, 3}, {500, 5000}})->Unit(benchmark::kMicrosecond);

void BM_StoreSelectAll(benchmark::State &state) {
    ReadsSession session(state.range(1));
    auto &store = session.store;
    store.setViewMode(kAllSidebarViewModes[std::size_t(state.range(0))]);
    for (auto _ : state) {
        store.clearSelection();
        store.selectAll();
    }
    perRow(state);
    state.SetLabel(toString(store.viewMode()).toStdString());
}
BENCHMARK(BM_StoreSelectAll)->ArgsProduct({{0, 1, 2, 3}, {500, 5000}})->Unit(benchmark::kMicrosecond);

}  // namespace
